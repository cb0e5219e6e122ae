// Ctrl-C and SIGTERM on the command line. While a stage that watches for them runs (conversions
// under way), a signal only raises a flag and the stage stops the conversions in an orderly way, so
// outputs keep what was converted; in every other stage (reading settings, opening files) a signal
// ends the program at once. Handlers are installed once from the main thread.
#pragma once

#include <atomic>

namespace kavro {

constexpr int ExitInterrupted = 130;

void InstallInterruptHandlers();
// True once Ctrl-C or SIGTERM arrived.
const std::atomic<bool>& InterruptFlag();

// Marks the stage in which the main thread watches the flag, for as long as it lives.
class TWatchedStage {
public:
  TWatchedStage();
  ~TWatchedStage();
  TWatchedStage(const TWatchedStage&) = delete;
  TWatchedStage& operator=(const TWatchedStage&) = delete;
};

} // namespace kavro
