// The application: start-up, the About and Help Topics commands, and the services every
// window of the program uses (clock, message boxes, help page, owner name).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/ui/help_viewer.h"
#include "link/bluetooth_lib.h"
#include "link/com_link.h"
#include "platform/clock.h"
#include "platform/device_source.h"
#include "platform/message_sink.h"
#include "rover/rover_status.h"

namespace quillon::ui {

class CMainFrame;
class CZEPQuillonDoc;

struct AppEnvironment {
  Clock* clock = nullptr;                     // required
  MessageSink* messages = nullptr;            // required
  std::function<bool()> startSockets;         // default: sockets need no start-up
  std::function<std::u16string()> ownerName;  // default: OwnerName()
  HelpViewer help;
};

// What the mode dialogs need besides: the process's one Bluetooth library, where the COM port
// list comes from, and the folder of the settings files. Required to run a mode dialog.
struct ModeEnvironment {
  BluetoothLib* bluetooth = nullptr;
  DeviceSource* devices = nullptr;
  std::filesystem::path settingsFolder;
};

class CZEPQuillonApp {
 public:
  explicit CZEPQuillonApp(AppEnvironment environment, ModeEnvironment modes = {});
  ~CZEPQuillonApp();

  // The start-up sequence. False when the program must end: socket support failed (after the
  // box with string 104) or the document could not be made.
  bool InitInstance();

  // Command 57664: runs the About box.
  void OnAppAbout();
  // Command 32773: opens the help page's contents.
  void OnHelpTopics();

  // Runs the Rover dialog over the main window; returns how it ended.
  int RunRoverDialog();

  CMainFrame* MainFrame() const { return frame_.get(); }
  CZEPQuillonDoc* Document() const { return document_.get(); }

  Clock& GetClock() const { return *environment_.clock; }
  MessageSink& Messages() const { return *environment_.messages; }
  const HelpViewer& Help() const { return environment_.help; }
  std::u16string ReadOwnerName() const { return environment_.ownerName(); }

 private:
  AppEnvironment environment_;
  ModeEnvironment modes_;
  // The process's receiver link and Rover status, which the sessions of every dialog share.
  ComLink link_;
  RoverStatus roverStatus_;
  std::unique_ptr<CZEPQuillonDoc> document_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace quillon::ui
