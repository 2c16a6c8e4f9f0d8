// The application: start-up, the About and Help Topics commands, and the services every
// window of the program uses (clock, message boxes, help page, owner name).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/ui/help_viewer.h"
#include "app/ui/mode_dlg.h"
#include "app/ui/zep_quillon_view.h"
#include "base/base_status.h"
#include "link/com_link.h"
#include "net/data_connection.h"
#include "platform/bluetooth_lib.h"
#include "platform/clock.h"
#include "platform/device_source.h"
#include "platform/message_sink.h"
#include "rover/rover_status.h"

namespace quillon::ui {

class CMainFrame;
class CZEPQuillonDoc;

struct AppEnvironment {
  Clock* clock = nullptr;                       // required
  MessageSink* messages = nullptr;              // required
  std::function<bool()> startSockets{};         // default: sockets need no start-up
  std::function<std::u16string()> ownerName{};  // default: OwnerName()
  HelpViewer help{};
  std::function<std::u16string()> platformType{};  // default: PlatformTypeText()
  // The data connection each mode brings up: the host's addresses (default: its interfaces)
  // and a connection manager (none on Linux).
  AddressSource addresses{};
  ConnectionManager* connectionManager = nullptr;
  // The chooser's mode dialogs, a fresh one for each press.
  ModeDialogFactory roverDialog{};
  ModeDialogFactory baseDialog{};
};

// What the mode dialogs need besides: the process's one Bluetooth library, where the COM port
// list comes from, and the folder of the settings files. With them, the chooser runs the
// program's own Rover and Base dialogs where the environment names none.
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
  // box with string 104), the document could not be made, or the platform check failed.
  bool InitInstance();
  // The exit status after a failed InitInstance: 0 when the platform check refused the device
  // (the user was told), 1 otherwise.
  int ExitStatus() const { return exitStatus_; }

  // Command 57664: runs the About box.
  void OnAppAbout();
  // Command 32773: opens the help page's contents.
  void OnHelpTopics();

  CMainFrame* MainFrame() const { return frame_.get(); }
  CZEPQuillonDoc* Document() const { return document_.get(); }

  Clock& GetClock() const { return *environment_.clock; }
  MessageSink& Messages() const { return *environment_.messages; }
  const HelpViewer& Help() const { return environment_.help; }
  std::u16string ReadOwnerName() const { return environment_.ownerName(); }
  std::u16string PlatformType() const { return environment_.platformType(); }
  const ModeDialogFactory& RoverDialogFactory() const { return environment_.roverDialog; }
  const ModeDialogFactory& BaseDialogFactory() const { return environment_.baseDialog; }
  std::unique_ptr<CDataConnection> MakeDataConnection() const;

 private:
  AppEnvironment environment_;
  ModeEnvironment modes_;
  // The process's receiver link and the modes' status objects, which the sessions of every
  // dialog share.
  ComLink link_;
  RoverStatus roverStatus_;
  BaseStatus baseStatus_;
  std::optional<ModeServices> modeServices_;
  std::unique_ptr<CZEPQuillonDoc> document_;
  std::unique_ptr<CMainFrame> frame_;
  int exitStatus_ = 1;
};

}  // namespace quillon::ui
