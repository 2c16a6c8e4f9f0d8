// The main window's content. Constructing it shows the start-up splash and holds the
// user-interface thread for 4000 ms. Until the mode chooser takes its place it shows the
// program's name and where to find help.
#pragma once

#include <QWidget>
#include <cstdint>

#include "app/ui/splash_dlg.h"

namespace quillon::ui {

class CZEPQuillonApp;

inline constexpr int kSplashCountdownTicks = 2;
inline constexpr std::uint32_t kStartupHoldMs = 4000;

class CZEPQuillonView : public QWidget {
  Q_OBJECT

 public:
  explicit CZEPQuillonView(CZEPQuillonApp& app, QWidget* parent = nullptr);

  // Runs once after the view and the document exist.
  void OnInitialUpdate();

  CSplashDlg& Splash() { return splash_; }

 private:
  CSplashDlg splash_;
};

}  // namespace quillon::ui
