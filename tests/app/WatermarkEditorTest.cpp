// The watermark dialog's rules without widgets: what a row loads as, the caption, which sliders are
// enabled, the clear and reset buttons, what Ok stores (slider percents with the positions of the last
// drawn frame), the image read once and refused with its name, the crop rectangle, and the hook
// drawing while the GUI thread edits.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "WatermarkEditor.h"

namespace kavro {
namespace {

// Pictures by path; any other path cannot be read. Counts the reads.
class TFakeImages : public TImageLoader {
public:
  std::shared_ptr<const TBitmap> LoadImage(const std::string& path, std::string& error) override {
    ++Reads;
    if (!Readable.count(path)) {
      error = "no such picture";
      return nullptr;
    }
    auto image = std::make_shared<TBitmap>();
    image->SetSize(4, 4);
    for (int y = 0; y < 4; ++y)
      std::fill(image->ScanLine(y), image->ScanLine(y) + 12, 255);
    return image;
  }
  std::set<std::string> Readable;
  int Reads = 0;
};

// Records the texts it is given and where.
class TRecordingText : public TTextDrawer {
public:
  void DrawText(TBitmap&, const std::string& text, const TMarkFont& font, int x, int y) override {
    Texts.insert(text);
    LastFont = font;
    LastX = x;
    LastY = y;
  }
  std::set<std::string> Texts;
  TMarkFont LastFont;
  int LastX = -1;
  int LastY = -1;
};

bool IsCropGreen(const TBitmap& frame, int x, int y) {
  const uint8_t* pixel = frame.ScanLine(y) + x * 3;
  return pixel[0] == 0 && pixel[1] == 128 && pixel[2] == 0;
}

class WatermarkEditorTest : public ::testing::Test {
protected:
  WatermarkEditorTest() { Images.Readable = {"/pictures/logo.bmp", "/pictures/other.png"}; }

  TFakeImages Images;
  TRecordingText Text;
  TWatermarkEditor Editor{TWatermarkTools{&Text, &Images}};
};

TEST_F(WatermarkEditorTest, LoadTakesTheRowWithNonPositiveValuesAsZero) {
  TlvFilesRecord row;
  row.MarkText = "(c) Kavro";
  row.MarkFont = {"DejaVu Sans", 24, 0x0000FF, true, false, true, false};
  row.TextHorzPos = -5;
  row.TextVertPos = 40;
  row.ImageHorzPos = 0;
  row.ImageVertPos = 130;
  row.ImageAlpha = -1;
  row.TransparentStyle = 3;
  row.Brightness = 300;
  row.Contrast = -20;
  row.Saturation = 100;
  row.Exposure = -40;
  row.ProcessText = true;
  EXPECT_EQ(Editor.Load(row, "First Face"), "");
  EXPECT_EQ(Editor.Text(), "(c) Kavro");
  EXPECT_EQ(Editor.Font().Name, "DejaVu Sans");
  EXPECT_EQ(Editor.Font().Size, 24);
  EXPECT_EQ(Editor.Font().Color, 0x0000FFu);
  EXPECT_TRUE(Editor.Font().Bold);
  EXPECT_TRUE(Editor.Font().Underline);
  EXPECT_EQ(Editor.TextHorz(), 0);
  EXPECT_EQ(Editor.TextVert(), 40);
  EXPECT_EQ(Editor.ImageHorz(), 0);
  EXPECT_EQ(Editor.ImageVert(), 100); // what the slider can show
  EXPECT_EQ(Editor.ImageAlpha(), 0);
  EXPECT_EQ(Editor.TransparentStyle(), 2);
  EXPECT_EQ(Editor.Effects(), (TEffectValues{300, -20, 100, -40}));
  EXPECT_TRUE(Editor.ProcessText());
  EXPECT_FALSE(Editor.ProcessImage());

  // Without text the lists show their first entries and no style is ticked.
  TlvFilesRecord plain;
  plain.MarkFont = {"Arial", 30, 0xFFFFFF, true, true, true, true};
  plain.TransparentStyle = 1;
  Editor.Load(plain, "First Face");
  EXPECT_EQ(Editor.Text(), "");
  EXPECT_EQ(Editor.Font().Name, "First Face");
  EXPECT_EQ(Editor.Font().Size, 7);
  EXPECT_EQ(Editor.Font().Color, 0u);
  EXPECT_FALSE(Editor.Font().Bold || Editor.Font().Italic || Editor.Font().Underline ||
               Editor.Font().StrikeOut);
  EXPECT_EQ(Editor.TransparentStyle(), 1);
  EXPECT_EQ(Editor.ImageAlpha(), 168);
}

TEST_F(WatermarkEditorTest, TheCaptionShortensPathsOf56CharactersOrMore) {
  EXPECT_EQ(WatermarkCaption("/videos/holiday.mp4"), "Water Mark  /videos/holiday.mp4");
  const std::string path55 = "/" + std::string(50, 'a') + ".mp4"; // 55 characters
  EXPECT_EQ(WatermarkCaption(path55), "Water Mark  " + path55);
  const std::string path56 = "/" + std::string(51, 'b') + ".mkv";
  EXPECT_EQ(WatermarkCaption(path56), "Water Mark  /" + std::string(49, 'b') + "...mkv  ");
  // Characters, not bytes: a name in another script is neither cut short early nor split.
  std::string wide = "/";
  for (int i = 0; i < 50; ++i)
    wide += "\xC3\xA9";                                                       // é
  EXPECT_EQ(WatermarkCaption(wide + ".avi"), "Water Mark  " + wide + ".avi"); // 55 characters
  const std::string shortened = WatermarkCaption(wide + "\xC3\xA9.avi");
  EXPECT_EQ(shortened, "Water Mark  /" + wide.substr(1, 49 * 2) + "...avi  ");
}

TEST_F(WatermarkEditorTest, SlidersFollowTextAndImageAndTheButtonsClearAndReset) {
  TlvFilesRecord row;
  Editor.Load(row, "Face");
  EXPECT_FALSE(Editor.TextSlidersEnabled());
  EXPECT_FALSE(Editor.ImageSlidersEnabled());
  Editor.SetText("Hello");
  Editor.SetTextPosition(30, 70);
  EXPECT_TRUE(Editor.TextSlidersEnabled());
  std::string error;
  ASSERT_TRUE(Editor.SetImage("/pictures/logo.bmp", error)) << error;
  Editor.SetImagePosition(10, 20);
  Editor.SetImageAlpha(200);
  EXPECT_TRUE(Editor.ImageSlidersEnabled());

  Editor.ClearText();
  EXPECT_EQ(Editor.Text(), "");
  EXPECT_EQ(Editor.TextHorz(), 0);
  EXPECT_EQ(Editor.TextVert(), 0);
  EXPECT_FALSE(Editor.TextSlidersEnabled());
  EXPECT_TRUE(Editor.ImageSlidersEnabled());

  Editor.ClearImage();
  EXPECT_EQ(Editor.ImagePath(), "");
  EXPECT_FALSE(Editor.HasImage());
  EXPECT_EQ(Editor.ImageHorz(), 0);
  EXPECT_EQ(Editor.ImageVert(), 0);
  EXPECT_EQ(Editor.ImageAlpha(), 125);
  EXPECT_FALSE(Editor.ImageSlidersEnabled());

  Editor.SetEffects({10, 50, 400, -100});
  Editor.SetProcess(true, true);
  Editor.ResetEffects();
  EXPECT_EQ(Editor.Effects(), (TEffectValues{255, 0, 255, 0}));
  EXPECT_FALSE(Editor.ProcessText());
  EXPECT_FALSE(Editor.ProcessImage());
}

TEST_F(WatermarkEditorTest, OkStoresThePercentsAndThePositionsOfTheLastDrawnFrame) {
  TlvFilesRecord row;
  row.SourceFile = "/videos/a.mp4";
  row.TextX = 11;
  row.TextY = 12;
  row.TextHorzPos = 5;
  Editor.Load(row, "Face");
  // No frame drawn yet: the row's positions stay.
  TlvFilesRecord stored = row;
  Editor.Store(stored);
  EXPECT_EQ(stored.TextX, 11);
  EXPECT_EQ(stored.TextY, 12);
  EXPECT_EQ(stored.TextHorzPos, 5);

  Editor.SetText("Mark");
  Editor.SetFont({"DejaVu Serif", 20, 0x00FF00, false, true, false, true});
  Editor.SetTextPosition(50, 25);
  std::string error;
  ASSERT_TRUE(Editor.SetImage("/pictures/logo.bmp", error));
  Editor.SetImagePosition(75, 99);
  Editor.SetImageAlpha(90);
  Editor.SetTransparentStyle(2);
  Editor.SetEffects({200, 10, 300, 20});
  Editor.SetProcess(false, true);
  TBitmap frame;
  frame.SetSize(321, 241);
  Editor.DrawFrame(frame);
  EXPECT_EQ(Text.LastX, 160); // trunc(321 × 50 / 100)
  EXPECT_EQ(Text.LastY, 60);
  // Moved while paused: no frame is drawn, the percents change but not the pixels.
  Editor.SetTextPosition(10, 90);

  Editor.Store(stored);
  EXPECT_EQ(stored.MarkText, "Mark");
  EXPECT_EQ(stored.MarkFont.Name, "DejaVu Serif");
  EXPECT_EQ(stored.MarkFont.Size, 20);
  EXPECT_EQ(stored.MarkFont.Color, 0x00FF00u);
  EXPECT_TRUE(stored.MarkFont.Italic && stored.MarkFont.StrikeOut);
  EXPECT_EQ(stored.TextX, 160);
  EXPECT_EQ(stored.TextY, 60);
  EXPECT_EQ(stored.TextHorzPos, 10);
  EXPECT_EQ(stored.TextVertPos, 90);
  EXPECT_EQ(stored.ImageX, 240);
  EXPECT_EQ(stored.ImageY, 238);
  EXPECT_EQ(stored.ImageHorzPos, 75);
  EXPECT_EQ(stored.ImageVertPos, 99);
  EXPECT_EQ(stored.MarkImage, "/pictures/logo.bmp");
  EXPECT_EQ(stored.ImageAlpha, 90);
  EXPECT_EQ(stored.TransparentStyle, 2);
  EXPECT_EQ(stored.Brightness, 200);
  EXPECT_EQ(stored.Contrast, 10);
  EXPECT_EQ(stored.Saturation, 300);
  EXPECT_EQ(stored.Exposure, 20);
  EXPECT_FALSE(stored.ProcessText);
  EXPECT_TRUE(stored.ProcessImage);
  EXPECT_EQ(stored.SourceFile, "/videos/a.mp4");

  // A negative position stores 0 for the pixels and the percent alike.
  TlvFilesRecord negative;
  negative.ImageX = -4;
  negative.ImageHorzPos = 30;
  negative.TextY = -1;
  negative.TextVertPos = 60;
  Editor.Load(negative, "Face");
  Editor.Store(negative);
  EXPECT_EQ(negative.ImageX, 0);
  EXPECT_EQ(negative.ImageHorzPos, 0);
  EXPECT_EQ(negative.TextY, 0);
  EXPECT_EQ(negative.TextVertPos, 0);
}

TEST_F(WatermarkEditorTest, TheImageIsReadOnceAndAnUnreadableOneIsRefusedWithItsName) {
  TlvFilesRecord row;
  row.MarkImage = "/pictures/logo.bmp";
  row.ImageAlpha = 255;
  row.ImageHorzPos = 0;
  EXPECT_EQ(Editor.Load(row, "Face"), "");
  EXPECT_EQ(Images.Reads, 1);
  TBitmap frame;
  frame.SetSize(16, 16);
  for (int i = 0; i < 20; ++i)
    Editor.DrawFrame(frame);
  EXPECT_EQ(Images.Reads, 1);
  EXPECT_EQ(frame.ScanLine(2)[6], 254); // the white picture at the corner, (256 - 255) × 0 + 255 × 255 >> 8
  EXPECT_EQ(frame.ScanLine(8)[24], 0);

  std::string error;
  EXPECT_FALSE(Editor.SetImage("/pictures/missing.bmp", error));
  EXPECT_NE(error.find("/pictures/missing.bmp"), std::string::npos) << error;
  EXPECT_NE(error.find("no such picture"), std::string::npos) << error;
  EXPECT_EQ(Editor.ImagePath(), "/pictures/logo.bmp");
  EXPECT_TRUE(Editor.HasImage());

  // A row whose picture went missing keeps its path through Ok, and says why nothing shows.
  TlvFilesRecord moved;
  moved.MarkImage = "/pictures/gone.bmp";
  error = Editor.Load(moved, "Face");
  EXPECT_NE(error.find("/pictures/gone.bmp"), std::string::npos) << error;
  EXPECT_EQ(Editor.ImagePath(), "/pictures/gone.bmp");
  EXPECT_FALSE(Editor.HasImage());
  EXPECT_TRUE(Editor.ImageSlidersEnabled());
  Editor.Store(moved);
  EXPECT_EQ(moved.MarkImage, "/pictures/gone.bmp");
}

TEST_F(WatermarkEditorTest, TheCropRectangleLinesTheInsideOfTheKeptPart) {
  TBitmap frame;
  frame.SetSize(20, 16);
  DrawCropRectangle(frame, 2, 3, 4, 5); // kept: columns 3..14, rows 2..11
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool kept = x >= 3 && x <= 14 && y >= 2 && y <= 11;
      const bool band = kept && (x <= 4 || x >= 13 || y <= 3 || y >= 10);
      EXPECT_EQ(IsCropGreen(frame, x, y), band) << x << "," << y;
    }
  // Margins that leave nothing draw nothing; negative ones put the rectangle outside the frame.
  TBitmap small;
  small.SetSize(6, 6);
  DrawCropRectangle(small, 4, 4, 4, 4);
  DrawCropRectangle(small, -3, -3, -3, -3);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_FALSE(IsCropGreen(small, x, y)) << x << "," << y;
  // One kept column is all band.
  DrawCropRectangle(small, 0, 2, 0, 3);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(IsCropGreen(small, x, y), x == 2) << x << "," << y;
}

TEST_F(WatermarkEditorTest, TheHookSeesEveryTextWholeWhileTheGuiEditsIt) {
  TlvFilesRecord row;
  row.CropTop = row.CropLeft = row.CropBottom = row.CropRight = 1;
  Editor.Load(row, "Face");
  const std::string first = "a first text long enough to live outside the string itself";
  const std::string second = "and a second one, just as long, but different everywhere";
  Editor.SetText(first);
  std::atomic<bool> done{false};
  std::atomic<int> drawn{0};
  std::thread hook([&] {
    TBitmap frame;
    frame.SetSize(64, 48);
    while (!done) {
      frame.LockCanvas();
      Editor.DrawFrame(frame);
      frame.UnlockCanvas();
      ++drawn;
    }
    EXPECT_TRUE(IsCropGreen(frame, 1, 1));
  });
  for (int i = 0; i < 2000 || (drawn < 200 && i < 20000000); ++i) {
    Editor.SetText(i % 2 ? first : second);
    Editor.SetTextPosition(i % 101, 100 - i % 101);
  }
  done = true;
  hook.join();
  ASSERT_FALSE(Text.Texts.empty());
  for (const std::string& seen : Text.Texts)
    EXPECT_TRUE(seen == first || seen == second) << seen;
}

} // namespace
} // namespace kavro
