#include "app/ui/splash_dlg.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>

#include "app/ui/splash_layout.h"

namespace quillon::ui {

CSplashDlg::CSplashDlg(std::function<std::u16string()> readOwner,
                       std::function<void()> openAboutHelp)
    : Dialog({QString(), /*titleRow=*/false}),
      readOwner_(std::move(readOwner)),
      openAboutHelp_(std::move(openAboutHelp)) {
  // A bare, thin-bordered popup above every other window.
  setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
}

QString CSplashDlg::Notice() {
  return QStringLiteral("NTRIP client and server for GNSS receivers");
}

bool CSplashDlg::ShowSplash(int countdown, QWidget* owner) {
  countdown_ = countdown;
  owner_ = owner;
  splashMode_ = true;
  if (owner_ != nullptr) owner_->setEnabled(false);
  Create();
  repaint();  // painted before the caller goes on
  return true;
}

bool CSplashDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  const QColor background = palette().color(QPalette::Window);
  picture1_.LoadTransparent(QString::fromLatin1(kSplashLogo), background);
  picture2_.LoadTransparent(QString::fromLatin1(kSplashWordmark), background);
  notice_ = Notice();
  ownerText_ = readOwner_ ? readOwner_() : std::u16string();
  SetTimer(kSplashTimerId, kSplashTickMs);
  CentreOnScreen();
  return true;
}

void CSplashDlg::OnTimer(int id) {
  if (id != kSplashTimerId) return;
  if (--countdown_ <= 0) {
    EndDialog(kIdOk);
    DestroyWindow();
  }
}

void CSplashDlg::OnDestroy() {
  if (!splashMode_) return;
  KillTimer(kSplashTimerId);
  if (owner_ != nullptr) owner_->setEnabled(true);
  splashMode_ = false;
  picture1_.Delete();
  picture2_.Delete();
}

void CSplashDlg::resizeEvent(QResizeEvent* event) {
  Dialog::resizeEvent(event);
  CentreOnScreen();
  if (picture1_.IsEmpty() || picture2_.IsEmpty()) return;
  lineHeight_ = fontMetrics().lineSpacing();  // height and external leading, as for "Hello"
  gap_ = SplashGap(height(), picture1_.Size().height(), picture2_.Size().height(), lineHeight_);
  update();
}

void CSplashDlg::paintEvent(QPaintEvent* event) {
  Dialog::paintEvent(event);
  QPainter painter(this);
  const QRect r = rect();
  const SplashTops tops = SplashItemTops(r.top(), gap_, lineHeight_, picture1_.Size().height(),
                                         picture2_.Size().height());
  const auto draw = [&](const CTransparentBitmap& picture, int top) {
    if (picture.IsEmpty()) return;
    painter.drawImage(CentredLeft(r.left(), r.left() + r.width(), picture.Size().width()), top,
                      picture.Image());
  };
  draw(picture1_, tops.picture1);
  draw(picture2_, tops.picture2);

  painter.setPen(palette().color(QPalette::ButtonText));
  const auto line = [&](const QString& text, int top) {
    painter.drawText(QRect(r.left(), top, r.width(), r.bottom() + 1 - top),
                     Qt::AlignHCenter | Qt::AlignTop, text);
  };
  line(QString::fromStdU16String(firstLine_), tops.firstLine);
  line(notice_, tops.notice);
  if (!ownerText_.empty()) line(QString::fromStdU16String(ownerText_), tops.owner);

  // The thin border of the popup.
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawRect(r.adjusted(0, 0, -1, -1));
}

void CSplashDlg::mousePressEvent(QMouseEvent* event) {
  Dialog::mousePressEvent(event);
  if (splashMode_) EndDialog(kIdOk);
}

void CSplashDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    if (openAboutHelp_) openAboutHelp_();
    event->accept();
    return;
  }
  Dialog::keyPressEvent(event);
}

void CSplashDlg::CentreOnScreen() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  QRect frame = frameGeometry();
  frame.moveCenter(screen->availableGeometry().center());
  move(frame.topLeft());
}

}  // namespace quillon::ui
