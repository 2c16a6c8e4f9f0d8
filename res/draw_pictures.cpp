// Draws the program's pictures into res/: the splash's logo and wordmark (magenta where the
// background shows through), the program icon and the chooser's ROVER and BASE buttons.
// The PNGs are committed; run this again only to change them:
//   cmake --build --preset debug --target draw_pictures
//   QT_QPA_PLATFORM=offscreen build/debug/res/draw_pictures res
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

const QColor kMagenta(255, 0, 255);
const QColor kBlue(0x1f, 0x4e, 0x9a);
const QColor kOrange(0xe8, 0x77, 0x22);
const QColor kInk(0x30, 0x30, 0x38);

QFont Bold(int pixels, int stretch = 100) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  font.setBold(true);
  font.setStretch(stretch);
  font.setStyleStrategy(QFont::NoAntialias);  // hard edges: only exact magenta is keyed out
  return font;
}

QImage Keyed(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(kMagenta);
  return image;
}

// Signal arcs above a point, as a receiver's antenna sends and hears them.
void Arcs(QPainter& p, QPointF centre, qreal first, qreal step, int count, const QColor& colour,
          qreal width) {
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::FlatCap));
  p.setBrush(Qt::NoBrush);
  for (int i = 0; i < count; ++i) {
    const qreal r = first + i * step;
    p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), 45 * 16, 90 * 16);
  }
}

// The mark: a globe with an antenna sending arcs, in a box of `size`.
void Mark(QPainter& p, const QRectF& box, bool keyed) {
  const qreal s = box.width();
  const QPointF c = box.center() + QPointF(0, s * 0.12);
  const qreal r = s * 0.30;
  p.setPen(Qt::NoPen);
  p.setBrush(kBlue);
  p.drawEllipse(c, r, r);
  p.setPen(QPen(keyed ? QColor(Qt::white) : QColor(0xd8, 0xe4, 0xf6), qMax<qreal>(1, s / 22)));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(c, r * 0.45, r);
  p.drawLine(QPointF(c.x() - r, c.y()), QPointF(c.x() + r, c.y()));
  Arcs(p, QPointF(c.x(), c.y() - r * 0.2), r * 1.25, r * 0.45, 2, kOrange,
       qMax<qreal>(1.5, s / 14));
}

QImage Logo() {
  QImage image = Keyed(90, 23);
  QPainter p(&image);
  Mark(p, QRectF(0, 0, 23, 23), true);
  p.setFont(Bold(19));
  p.setPen(kBlue);
  p.drawText(QRect(27, 0, 63, 23), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ZEP"));
  p.setPen(kOrange);
  p.fillRect(QRect(27, 20, 48, 2), kOrange);
  return image;
}

QImage Wordmark() {
  QImage image = Keyed(190, 19);
  QPainter p(&image);
  QFont font = Bold(16);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  p.setFont(font);
  p.setPen(kBlue);
  const QString zep = QStringLiteral("ZEP ");
  const QString quillon = QStringLiteral("QUILLON");
  const int width = p.fontMetrics().horizontalAdvance(zep + quillon);
  const int left = (190 - width) / 2;
  p.drawText(QRect(left, 0, 190, 19), Qt::AlignLeft | Qt::AlignVCenter, zep);
  p.setPen(kInk);
  p.drawText(QRect(left + p.fontMetrics().horizontalAdvance(zep), 0, 190, 19),
             Qt::AlignLeft | Qt::AlignVCenter, quillon);
  return image;
}

QImage Icon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath tile;
  tile.addRoundedRect(QRectF(0.5, 0.5, size - 1, size - 1), size / 6.0, size / 6.0);
  QLinearGradient face(0, 0, 0, size);
  face.setColorAt(0, QColor(0xfa, 0xfb, 0xfd));
  face.setColorAt(1, QColor(0xdc, 0xe3, 0xee));
  p.fillPath(tile, face);
  p.setPen(QPen(kBlue, qMax(1, size / 32)));
  p.drawPath(tile);
  Mark(p, QRectF(size * 0.08, size * 0.04, size * 0.84, size * 0.84), false);
  return image;
}

enum class ButtonState { kNormal, kPressed, kFocused };

// A 64 x 64 picture button of the chooser: face, symbol and caption.
QImage ChooserButton(bool rover, ButtonState state) {
  QImage image(64, 64, QImage::Format_RGB32);
  image.fill(QColor(0xf0, 0xf0, 0xf0));
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const bool pressed = state == ButtonState::kPressed;
  const QPointF shift = pressed ? QPointF(1, 1) : QPointF(0, 0);

  QLinearGradient face(0, 0, 0, 64);
  face.setColorAt(0, pressed ? QColor(0xb8, 0xc8, 0xe0) : QColor(0xff, 0xff, 0xff));
  face.setColorAt(1, pressed ? QColor(0xd8, 0xe2, 0xf0) : QColor(0xd6, 0xde, 0xea));
  QPainterPath tile;
  tile.addRoundedRect(QRectF(1.5, 1.5, 61, 61), 8, 8);
  p.fillPath(tile, face);
  p.setPen(QPen(state == ButtonState::kFocused ? kOrange : kBlue,
                state == ButtonState::kFocused ? 3 : 1.5));
  p.drawPath(tile);

  p.translate(shift);
  const QPen rod(kInk, 2.2, Qt::SolidLine, Qt::RoundCap);
  if (rover) {
    // A survey pole with its receiver on top, hearing corrections.
    p.setPen(rod);
    p.drawLine(QPointF(32, 20), QPointF(32, 44));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(24, 15, 16, 6), 3, 3);
    Arcs(p, QPointF(32, 20), 8, 5, 2, kOrange, 2);
    // Walking: the pole's foot and a small arrow to the right.
    p.setPen(QPen(kBlue, 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(38, 41), QPointF(47, 41));
    p.drawLine(QPointF(44, 38), QPointF(47, 41));
    p.drawLine(QPointF(44, 44), QPointF(47, 41));
  } else {
    // A tripod with its antenna, sending corrections.
    p.setPen(rod);
    p.drawLine(QPointF(32, 25), QPointF(22, 44));
    p.drawLine(QPointF(32, 25), QPointF(42, 44));
    p.drawLine(QPointF(32, 25), QPointF(32, 44));
    p.setPen(Qt::NoPen);
    p.setBrush(kBlue);
    p.drawRoundedRect(QRectF(24, 19, 16, 6), 3, 3);
    Arcs(p, QPointF(32, 24), 8, 5, 2, kOrange, 2);
  }
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.setPen(kBlue);
  p.drawText(QRectF(0, 46, 64, 14), Qt::AlignCenter,
             rover ? QStringLiteral("ROVER") : QStringLiteral("BASE"));
  return image;
}

bool Save(const QImage& image, const QDir& folder, const QString& name) {
  const bool saved = image.save(folder.filePath(name));
  std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(folder.filePath(name)));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QDir folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("."));
  bool ok = Save(Logo(), folder, QStringLiteral("splash_logo.png"));
  ok &= Save(Wordmark(), folder, QStringLiteral("splash_wordmark.png"));
  ok &= Save(Icon(64), folder, QStringLiteral("quillon.png"));
  ok &= Save(Icon(32), folder, QStringLiteral("quillon_32.png"));
  const struct {
    bool rover;
    ButtonState state;
    const char* name;
  } buttons[] = {
      {true, ButtonState::kNormal, "rover_normal.png"},
      {true, ButtonState::kPressed, "rover_pressed.png"},
      {true, ButtonState::kFocused, "rover_focused.png"},
      {false, ButtonState::kNormal, "base_normal.png"},
      {false, ButtonState::kPressed, "base_pressed.png"},
      {false, ButtonState::kFocused, "base_focused.png"},
  };
  for (const auto& b : buttons) ok &= Save(ChooserButton(b.rover, b.state), folder, b.name);
  return ok ? 0 : 1;
}
