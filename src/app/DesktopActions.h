// TDesktopActions: the run's and the windows' doors to the desktop: the file manager on a folder
// (xdg-open) and powering the computer off (systemctl poweroff). The programs are started detached
// and reaped by a thread of their own, so none stays behind as a zombie. The program names are
// parameters, so tests point them at a script. Any thread.
#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <vector>

#include "ConversionRun.h"

namespace kavro {

inline constexpr const char* DefaultOpenProgram = "xdg-open";
inline constexpr const char* DefaultPowerOffProgram = "systemctl";

// Starts the program (looked up in PATH) with its arguments, without waiting for it; the child is
// reaped when it ends. Its process id, or -1 with the reason in failure.
pid_t StartDetached(const std::vector<std::string>& arguments, std::string& failure);

// What the "Open" buttons do: the file manager on the folder, when the folder text has more than
// two characters. False when there was nothing to open or the program could not be started.
bool OpenFolder(const std::string& folder, const std::string& program = DefaultOpenProgram);

class TDesktopActions : public TDesktop {
public:
  explicit TDesktopActions(std::string openProgram = DefaultOpenProgram,
                           std::string powerOffProgram = DefaultPowerOffProgram);

  // Never throw: a program that cannot be started is logged and kept in LastError.
  void OpenFolder(const std::string& folder) override { StartOpenFolder(folder); }
  void PowerOff() override { StartPowerOff(); }

  // The same, with the outcome: false when the program could not be started.
  bool StartOpenFolder(const std::string& folder);
  bool StartPowerOff();
  // Why the last start failed; empty after a success.
  std::string LastError() const;

private:
  bool Start(const std::vector<std::string>& arguments);

  std::string FOpenProgram;
  std::string FPowerOffProgram;
  // The run calls from the main thread, the windows too, but nothing forbids another thread.
  mutable std::mutex FLock;
  std::string FLastError;
};

} // namespace kavro
