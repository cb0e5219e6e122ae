#include "Interrupts.h"

#include <unistd.h>

#include <csignal>

namespace kavro {
namespace {

std::atomic<bool> GInterrupted{false};
std::atomic<bool> GWatched{false};

void OnInterrupt(int) {
  GInterrupted = true;
  // Nobody looks at the flag now: a stage that could wait without end must still stop.
  if (!GWatched) _exit(ExitInterrupted);
}

} // namespace

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

const std::atomic<bool>& InterruptFlag() {
  return GInterrupted;
}

TWatchedStage::TWatchedStage() {
  GWatched = true;
  // A signal that came just before the stage began still ends the program.
  if (GInterrupted) _exit(ExitInterrupted);
}

TWatchedStage::~TWatchedStage() {
  GWatched = false;
}

} // namespace kavro
