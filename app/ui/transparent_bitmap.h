// A picture whose magenta (0xFF00FF) pixels show the background: it is composed once onto the
// background colour, so it can be copied plainly afterwards.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace quillon::ui {

inline constexpr QRgb kTransparentColour = 0xFF00FF;

class CTransparentBitmap {
 public:
  // Loads picture `path` (a file or a ":/res/..." resource) onto `background`, replacing the
  // picture held before. False, and the holder unchanged, when the picture cannot be loaded.
  bool LoadTransparent(const QString& path, const QColor& background);

  bool IsEmpty() const { return image_.isNull(); }
  // 0 x 0 when empty.
  QSize Size() const { return image_.isNull() ? QSize(0, 0) : image_.size(); }
  const QImage& Image() const { return image_; }
  void Delete() { image_ = QImage(); }

 private:
  QImage image_;
};

}  // namespace quillon::ui
