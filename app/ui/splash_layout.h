// The splash's layout arithmetic, in integer pixels: the two pictures and the text lines
// stacked top to bottom with one gap between them, the gap computed from the window's height.
#pragma once

namespace quillon::ui {

// The gap for a client area `clientHeight` tall: what is left beside the two pictures and three
// text lines, divided by four (rounded toward zero), one pixel less when that is smaller than a
// line. A short window gives a negative gap; the pictures may then overlap.
int SplashGap(int clientHeight, int picture1Height, int picture2Height, int lineHeight);

// Where each item's top edge lies, for a client area whose top is `top`.
struct SplashTops {
  int picture1;
  int picture2;
  int firstLine;
  int notice;
  int owner;
};
SplashTops SplashItemTops(int top, int gap, int lineHeight, int picture1Height, int picture2Height);

// The left edge that centres `width` between `left` and `right` (rounded toward zero).
inline int CentredLeft(int left, int right, int width) { return (left + right - width) / 2; }

}  // namespace quillon::ui
