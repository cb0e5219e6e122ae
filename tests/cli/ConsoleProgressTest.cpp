// The progress line of kavro-convert as a terminal shows it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "ConsoleProgress.h"

namespace kavro::test {
namespace {

// What a terminal's current line shows after the text: a carriage return goes back to the start,
// "ESC [ K" clears from the cursor to the end, other characters overwrite.
std::string ShownLine(const std::string& text) {
  std::string line;
  size_t cursor = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      cursor = 0;
    } else if (text.compare(i, 3, "\033[K") == 0) {
      line.resize(cursor);
      i += 2;
    } else {
      if (cursor < line.size())
        line[cursor] = text[i];
      else
        line += text[i];
      ++cursor;
    }
  }
  while (!line.empty() && line.back() == ' ')
    line.pop_back();
  return line;
}

TEST(ConsoleProgress, AShorterLineLeavesNothingOfALongerOneOnATerminal) {
  char* buffer = nullptr;
  size_t size = 0;
  FILE* output = open_memstream(&buffer, &size);
  ASSERT_NE(output, nullptr);
  TConsoleProgress progress(output, true, 2);
  TProgressInfo info;
  info.TotalDuration = 10000000;
  progress.Update(info); // the task's clock starts here
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  info.FrameNumber = 12345;
  info.FPS = 25;
  info.CurrentSize = 1234567890;
  info.CurrentDuration = 5000000;
  progress.Update(info);
  std::fflush(output);
  const std::string longLine = ShownLine(std::string(buffer, size));
  EXPECT_GT(longLine.size(), 80u) << longLine; // longer than a classic terminal's line
  EXPECT_NE(longLine.find(" left="), std::string::npos) << longLine;
  TProgressInfo shorter;
  shorter.FrameNumber = -1;
  shorter.CurrentDuration = -1;
  progress.Update(shorter);
  std::fclose(output);
  EXPECT_EQ(ShownLine(std::string(buffer, size)), TConsoleProgress::Line(shorter, 0, 2));
  std::free(buffer);
}

} // namespace
} // namespace kavro::test
