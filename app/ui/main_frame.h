// The main window: the handheld's screen with the Help menu, the view as its content.
#pragma once

#include <QMainWindow>

namespace quillon::ui {

class CZEPQuillonApp;
class CZEPQuillonView;

// Command ids of the menu and the frame.
inline constexpr int kIdHelpTopics = 32773;
inline constexpr int kIdHelp = 32772;
inline constexpr int kIdAppAbout = 57664;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the view first (the splash and the start-up hold), then the menu bar; the frame
  // gets the handheld's size, centred on the screen, and is shown by the application.
  explicit CMainFrame(CZEPQuillonApp& app);
  ~CMainFrame() override;

  // Carries out a command of the menu or the frame; false for a command nobody handles.
  bool OnCommand(int id);

  // The help request (F1, command 32772): the "Help" box.
  void OnHelp();

  CZEPQuillonView* View() const { return view_; }

 protected:
  // Closing the window while a dialog runs is that dialog's Cancel (a mode dialog asks before it
  // ends its session); the window closes once no dialog is left running over it.
  void closeEvent(QCloseEvent* event) override;

 private:
  CZEPQuillonApp& app_;
  CZEPQuillonView* view_ = nullptr;
};

// The window title: the first field of string 128, "ZEPQuillon".
QString FrameTitle();

}  // namespace quillon::ui
