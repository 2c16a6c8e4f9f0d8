#include "app/ui/splash_layout.h"

namespace quillon::ui {

int SplashGap(int clientHeight, int picture1Height, int picture2Height, int lineHeight) {
  int gap = clientHeight - picture1Height - picture2Height;
  gap = (gap - 3 * lineHeight) / 4;
  if (gap < lineHeight) gap = gap - 1;
  return gap;
}

SplashTops SplashItemTops(int top, int gap, int lineHeight, int picture1Height,
                          int picture2Height) {
  SplashTops tops{};
  int y = top + gap / 2;
  tops.picture1 = y;
  y += picture1Height + gap;
  tops.picture2 = y;
  y += picture2Height + gap;
  tops.firstLine = y;
  y += lineHeight;
  tops.notice = y;
  y += lineHeight + (gap > lineHeight ? gap : (lineHeight + gap) / 2);
  tops.owner = y;
  return tops;
}

}  // namespace quillon::ui
