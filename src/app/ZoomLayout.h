// The arithmetic of the zoom modes: where a source picture goes inside a target frame. Pure
// functions of sizes in pixels, no state; any thread.
#pragma once

namespace kavro {

// 2 × (n div 2): sizes and offsets stay even for subsampled chroma.
int Even(int value);
// trunc(value) made even; values beyond the int range are held at its ends.
int EvenTrunc(double value);

struct TPads {
  int Top = 0;
  int Bottom = 0;
  int Left = 0;
  int Right = 0;
};

// Letterbox bars (in target pixels) for a source of sourceWidth × sourceHeight shown in a frame of
// width × height, by the size cases of the letterbox mode. Every size must be above 0.
TPads LetterboxPads(int sourceWidth, int sourceHeight, int width, int height);

// A picture placed inside a frame: its scaled size and its offset.
struct TPlacement {
  int Width = 0;
  int Height = 0;
  int X = 0;
  int Y = 0;
};

// The largest even rectangle with the picture's proportions inside width × height, centred. Every
// size must be above 0.
TPlacement CenterFit(int pictureWidth, int pictureHeight, int width, int height);

// Pan and scan to 4:3: the margin cut from each side so the picture left is 4:3. Cuts left and
// right when the picture (after the row's own crop) is wider than 4:3, top and bottom when it is
// narrower; nothing for exactly 4:3 or an empty picture.
struct TPanCut {
  bool LeftRight = false;
  bool TopBottom = false;
  int Amount = 0;
};
TPanCut PanScanCut(int sourceWidth, int sourceHeight, int pictureWidth, int pictureHeight);

} // namespace kavro
