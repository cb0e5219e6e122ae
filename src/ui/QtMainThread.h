// The windowed program's main thread: calls posted by workers are queued here and run by Qt's event
// loop, or at once when the main thread itself waits for a worker and serves the queue. Only the
// program's own calls are run while it waits, never other window messages, so no click can re-enter
// a handler that is waiting for a worker. Install once, on the GUI thread, after the QApplication.
#pragma once

namespace kavro {

void InstallQtMainThread();

} // namespace kavro
