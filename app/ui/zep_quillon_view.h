// The main window's content, the mode chooser: the ROVER and BASE picture buttons. Constructing
// it shows the start-up splash and holds the user-interface thread for 4000 ms; its initial
// update lays the buttons out and checks the platform. A button brings up the data connection,
// runs its mode's dialog and hands the connection back when the dialog has closed.
#pragma once

#include <QLabel>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/ui/bitmap_button.h"
#include "app/ui/dialog.h"
#include "app/ui/splash_dlg.h"

namespace quillon::ui {

class CZEPQuillonApp;

inline constexpr int kSplashCountdownTicks = 2;
inline constexpr std::uint32_t kStartupHoldMs = 4000;

inline constexpr int kIdBaseButton = 1000;
inline constexpr int kIdRoverButton = 1001;
inline constexpr int kIdChooserMessage = 1028;

// Makes a fresh mode dialog for one press of its button.
using ModeDialogFactory = std::function<std::unique_ptr<Dialog>()>;

class CZEPQuillonView : public QWidget {
  Q_OBJECT

 public:
  explicit CZEPQuillonView(CZEPQuillonApp& app, QWidget* parent = nullptr);

  // Runs once after the view and the document exist. False when the platform check failed and
  // the program must end (with status 0) once its box has been answered.
  bool OnInitialUpdate();

  // Whether the platform type names a Pocket PC platform.
  bool IsPocketPC() const;

  // The buttons' handlers: data connection up, the mode dialog, connection released.
  void OnRover();
  void OnBase();

  CSplashDlg& Splash() { return splash_; }
  CBitmapButton* RoverButton() const { return rover_; }
  CBitmapButton* BaseButton() const { return base_; }
  QLabel* MessageText() const { return message_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PlaceControls();
  void RunMode(const ModeDialogFactory& makeDialog);

  CZEPQuillonApp& app_;
  QLabel* message_ = nullptr;
  CBitmapButton* rover_ = nullptr;
  CBitmapButton* base_ = nullptr;
  CSplashDlg splash_;
  bool laidOut_ = false;
};

}  // namespace quillon::ui
