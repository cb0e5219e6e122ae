// The crop dialog's geometry: the fitted picture, the tracker's handles, the rectangle kept inside the
// picture, and the margins Ok stores.
#include "CropEditor.h"

#include <gtest/gtest.h>

namespace kavro::test {
namespace {

TEST(CropEditor, PicturesAreFittedAndMarginsBecomeEvenSourcePixels) {
  EXPECT_EQ(FitPicture(640, 480, 370, 253), (TRectangle{16, 0, 338, 253}));
  EXPECT_EQ(FitPicture(720, 288, 370, 253), (TRectangle{0, 52, 370, 149})); // a margin of 52.5
  EXPECT_EQ(FitPicture(0, 480, 370, 253), TRectangle{});
  // A picture shown at half its size: 1 preview pixel is 2 source pixels; odd results drop to even,
  // halves round to even first.
  EXPECT_EQ(SourceMargin(1, 640, 320), 2);
  EXPECT_EQ(SourceMargin(3, 480, 320), 4);  // 4.5 -> 4
  EXPECT_EQ(SourceMargin(5, 480, 320), 8);  // 7.5 -> 8
  EXPECT_EQ(SourceMargin(7, 300, 200), 10); // 10.5 -> 10
  EXPECT_EQ(SourceMargin(3, 300, 300), 2);  // odd -> even below
  EXPECT_EQ(SourceMargin(-4, 300, 300), 0);
}

TEST(CropEditor, ZoomModesThroughTheHiddenList) {
  EXPECT_EQ(CropZoomIndex("full"), 0);
  EXPECT_EQ(CropZoomIndex("lbox"), 1);
  EXPECT_EQ(CropZoomIndex("anything"), 0);
  for (const char* kept : {"orig", "cent", "center"}) {
    EXPECT_EQ(CropZoomIndex(kept), -1) << kept;
    EXPECT_EQ(ZoomModeAfterCrop(CropZoomIndex(kept), kept), kept);
  }
  EXPECT_EQ(ZoomModeAfterCrop(CropZoomIndex("anything"), "anything"), "full");
}

TEST(CropEditor, HandlesAreFoundInOrderAndDragsKeepTheMinimum) {
  // 65 x 65: corners, edge middles from ceil(65 / 2) - 3 = 30, the inside, the 2-pixel border.
  EXPECT_EQ(TrackerHitTest(0, 0, 65, 65), tmTopLeft);
  EXPECT_EQ(TrackerHitTest(64, 64, 65, 65), tmBottomRight);
  EXPECT_EQ(TrackerHitTest(2, 62, 65, 65), tmBottomLeft);
  EXPECT_EQ(TrackerHitTest(62, 2, 65, 65), tmTopRight);
  EXPECT_EQ(TrackerHitTest(1, 30, 65, 65), tmLeft);
  EXPECT_EQ(TrackerHitTest(63, 34, 65, 65), tmRight);
  EXPECT_EQ(TrackerHitTest(32, 1, 65, 65), tmTop);
  EXPECT_EQ(TrackerHitTest(30, 63, 65, 65), tmBottom);
  EXPECT_EQ(TrackerHitTest(20, 20, 65, 65), tmMove);
  EXPECT_EQ(TrackerHitTest(1, 20, 65, 65), tmNone);
  // On a 10-pixel rectangle the corners win over the middles.
  EXPECT_EQ(TrackerHitTest(2, 2, 10, 10), tmTopLeft);

  const TRectangle bounds{100, 100, 65, 65};
  EXPECT_EQ(TrackerDragged(bounds, tmMove, 0, 0, 7, -3), (TRectangle{107, 97, 65, 65}));
  EXPECT_EQ(TrackerDragged(bounds, tmTopLeft, 0, 0, 5, 10), (TRectangle{105, 110, 60, 55}));
  EXPECT_EQ(TrackerDragged(bounds, tmBottomRight, 0, 0, -100, 20), (TRectangle{100, 100, 10, 85}));
  EXPECT_EQ(TrackerDragged(bounds, tmLeft, 0, 0, 100, 0), (TRectangle{155, 100, 10, 65}));
}

TEST(CropEditor, TheRectangleStaysInsideThePictureAndTheMarginsFollowIt) {
  TCropGeometry crop;
  const TRectangle picture{10, 20, 300, 200};
  crop.Place(picture, {5, 6, 7, 8});
  EXPECT_EQ(crop.Tracker(), (TRectangle{16, 25, 286, 188}));
  // An edge dragged beyond the picture's right and bottom edges is pinned to them.
  crop.Dragged({16, 25, 400, 300});
  EXPECT_EQ(crop.Tracker(), (TRectangle{16, 25, 294, 195}));
  EXPECT_EQ(crop.Margins(), (TCropMargins{5, 6, 0, 0}));
  // A left edge beyond the picture: pinned, the right edge stays.
  crop.Dragged({0, 25, 310, 195});
  EXPECT_EQ(crop.Margins(), (TCropMargins{5, 0, 0, 0}));
  // A moved rectangle keeps its size and is shifted back inside.
  crop.Place(picture, {50, 50, 50, 50});
  crop.Dragged({250, -40, 200, 100});
  EXPECT_EQ(crop.Tracker(), (TRectangle{110, 20, 200, 100}));
  EXPECT_EQ(crop.Margins(), (TCropMargins{0, 100, 100, 0}));

  // The arrows: never below 0, never a rectangle under 10 pixels.
  crop.Reset();
  EXPECT_TRUE(crop.SetUp(-3));
  EXPECT_EQ(crop.Margins().Up, 0);
  EXPECT_TRUE(crop.SetUp(185));
  EXPECT_TRUE(crop.SetDown(5));
  EXPECT_EQ(crop.Tracker().Height, 10);
  EXPECT_FALSE(crop.SetDown(6));
  EXPECT_EQ(crop.Margins().Down, 5);
  EXPECT_TRUE(crop.SetUp(184)); // growing is always allowed
  EXPECT_TRUE(crop.SetLeft(40));
  EXPECT_EQ(crop.Tracker(), (TRectangle{50, 204, 260, 11}));
}

TEST(CropEditor, OkStoresPreviewAndEvenSourceMargins) {
  TlvFilesRecord row;
  row.ZoomMode = "center";
  StoreCrop({1, 3, 5, 7}, 640, 400, {0, 0, 320, 200}, -1, row);
  EXPECT_EQ((TCropMargins{row.CropEditTop, row.CropEditLeft, row.CropEditBottom, row.CropEditRight}),
            (TCropMargins{1, 3, 5, 7}));
  EXPECT_EQ(row.CropTop, 2);
  EXPECT_EQ(row.CropLeft, 6);
  EXPECT_EQ(row.CropBottom, 10);
  EXPECT_EQ(row.CropRight, 14);
  EXPECT_EQ(row.ZoomMode, "center");
  // A file without video: nothing to crop.
  StoreCrop({}, 0, 0, {}, 1, row);
  EXPECT_EQ(row.CropTop + row.CropLeft + row.CropBottom + row.CropRight, 0);
  EXPECT_EQ(row.CropEditTop + row.CropEditLeft + row.CropEditBottom + row.CropEditRight, 0);
  EXPECT_EQ(row.ZoomMode, "lbox");
}

} // namespace
} // namespace kavro::test
