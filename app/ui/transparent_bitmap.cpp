#include "app/ui/transparent_bitmap.h"

namespace quillon::ui {

bool CTransparentBitmap::LoadTransparent(const QString& path, const QColor& background) {
  const QImage loaded = QImage(path).convertToFormat(QImage::Format_RGB32);
  if (loaded.isNull()) return false;
  // The pictures are small (a few thousand pixels): plain pixel access is fast enough.
  QImage composed = loaded;
  const QRgb fill = background.rgb();
  for (int y = 0; y < composed.height(); ++y) {
    for (int x = 0; x < composed.width(); ++x) {
      if ((composed.pixel(x, y) & 0xFFFFFF) == kTransparentColour) composed.setPixel(x, y, fill);
    }
  }
  image_ = composed;
  return true;
}

}  // namespace quillon::ui
