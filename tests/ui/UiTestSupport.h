// Shared pieces of the window tests: waiting on Qt's event loop with a limit, and screenshots.
#pragma once

#include <functional>
#include <string>

class QColor;
class QWidget;

namespace kavro::test {

// Serves the event loop until done() holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 5000);
// Serves the event loop for a while.
void Pump(int milliseconds);
// The widget as it shows, written to screenshots/<formName>.png in the build tree; the file's path.
std::string SaveScreenshot(QWidget& widget, const std::string& formName);
// A picture of one colour written to the path, in the format its extension names; the path.
std::string WritePicture(const std::string& path, int width, int height, const QColor& colour);

} // namespace kavro::test
