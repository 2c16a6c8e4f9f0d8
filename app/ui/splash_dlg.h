// The start-up splash: the logo, the wordmark, a notice line and the owner's name, shown while
// the main window is being built. It closes itself after its countdown of one-second ticks, or
// at a tap; F1 opens the help page's About topic.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "app/ui/dialog.h"
#include "app/ui/transparent_bitmap.h"

namespace quillon::ui {

inline constexpr int kSplashTimerId = 1;
inline constexpr int kSplashTickMs = 1000;
inline constexpr char kSplashLogo[] = ":/res/splash_logo.png";
inline constexpr char kSplashWordmark[] = ":/res/splash_wordmark.png";

class CSplashDlg : public Dialog {
  Q_OBJECT

 public:
  // `readOwner` gives the owner text (empty when there is none); `openAboutHelp` opens the
  // help page's About topic.
  CSplashDlg(std::function<std::u16string()> readOwner, std::function<void()> openAboutHelp);

  // Shows the splash for `countdown` ticks, with `owner` (may be null) disabled meanwhile.
  bool ShowSplash(int countdown, QWidget* owner);

  // The notice line under the pictures.
  static QString Notice();

  bool InSplashMode() const { return splashMode_; }
  int Countdown() const { return countdown_; }
  int Gap() const { return gap_; }
  int LineHeight() const { return lineHeight_; }
  const std::u16string& OwnerText() const { return ownerText_; }
  const CTransparentBitmap& Picture1() const { return picture1_; }
  const CTransparentBitmap& Picture2() const { return picture2_; }

 protected:
  bool OnInitDialog() override;
  void OnTimer(int id) override;
  void OnDestroy() override;
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CentreOnScreen();

  std::function<std::u16string()> readOwner_;
  std::function<void()> openAboutHelp_;
  int gap_ = 0;
  int lineHeight_ = 0;
  std::u16string firstLine_;  // nothing sets it: drawn empty
  QString notice_;
  std::u16string ownerText_;
  bool splashMode_ = false;
  int countdown_ = 0;
  QWidget* owner_ = nullptr;
  CTransparentBitmap picture1_;
  CTransparentBitmap picture2_;
};

}  // namespace quillon::ui
