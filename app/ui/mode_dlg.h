// What the Rover and the Base dialogs share, written once: the settings controls and how they
// move between the controls, the settings record and its file; the address list's choice of a
// remembered caster; Connect up to the start of the worker; the views of an idle and a running
// dialog; the status display's counters; the painted stop sequence; and the question before the
// dialog ends a session.
#pragma once

#include <QRect>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "app/ui/dialog.h"
#include "common/connect_checks.h"
#include "common/settings_record.h"
#include "link/com_link.h"
#include "platform/bluetooth_lib.h"
#include "platform/clock.h"
#include "platform/device_source.h"
#include "platform/message_sink.h"
#include "session/session_status.h"
#include "session/stop_session.h"

namespace quillon::ui {

// What a mode dialog works with. All of it outlives the dialog.
struct ModeServices {
  Clock& clock;
  MessageSink& messages;    // the dialog's boxes and its worker's
  BluetoothLib& bluetooth;  // the process's library
  DeviceSource& devices;    // where the COM port list comes from
  ComLink& link;            // the process's receiver link
  std::filesystem::path settingsFolder;
  std::optional<int> screenHeight;  // the display's height in pixels; the dialog's screen if none
};

// Controls that both mode dialogs have.
inline constexpr int kIdPasswordLabel = 1001;
inline constexpr int kIdAddressLabel = 1002;
inline constexpr int kIdPortLabel = 1003;
inline constexpr int kIdMountPointLabel = 1004;
inline constexpr int kIdComPortLabel = 1005;
inline constexpr int kIdBaudLabel = 1006;
inline constexpr int kIdConnectTimeLabel = 1007;
inline constexpr int kIdPassword = 1009;
inline constexpr int kIdAddressList = 1010;
inline constexpr int kIdPort = 1011;
inline constexpr int kIdComPortList = 1013;
inline constexpr int kIdMountPointList = 1014;
inline constexpr int kIdBaudList = 1015;
inline constexpr int kIdProgress = 1016;
inline constexpr int kIdConnect = 1018;
inline constexpr int kIdConnectTime = 1021;
inline constexpr int kIdBytesLabel = 1025;
inline constexpr int kIdByteCount = 1026;
// Present in the Rover dialog only; the shared routines skip them where a dialog has none.
inline constexpr int kIdUserName = 1008;
inline constexpr int kIdNoAuthentication = 1020;

inline constexpr int kStatusTimer = 1;
inline constexpr int kStatusTimerMs = 1000;
inline constexpr int kInitialProgressRange = 500;

class ModeDialog : public Dialog {
  Q_OBJECT

 public:
  // `mode` and `status` are the mode's; the worker gets the status with the settings record.
  ModeDialog(DialogTemplate dialogTemplate, ConnectingMode mode, ModeServices& services,
             SessionStatus& status, QWidget* parent);

  // The settings routines.
  // LoadSettings: reads the file (false: none, the record holds the defaults and only the
  // baud-rate list is set) and fills the COM port, baud-rate and address lists and the caster's
  // boxes with the record's own values, the mount-point list from the history's entry of that
  // caster.
  // A file that is refused (a link, another user's) is said in a box.
  bool LoadSettings();
  void ApplyHostEntry();
  // The controls into the record; false, with a box and the record untouched, when a text is
  // longer than its field's maximum (the edits count UTF-16 units, the maximum is in bytes).
  bool ReadControls();
  // Optionally ReadControls (false when it refuses), then writes the record to the mode's file.
  // The first save that fails is said in a box; the dialog goes on without it.
  bool SaveSettings(bool readControls);

  // Connect or Disconnect, by the status's running flag.
  void OnConnect();
  // Opens "Caster options" for the caster in the boxes, which are read first as Connect reads
  // them; OK saves them into the settings file. During a session the options are only shown.
  void OnCasterOptions();

 protected:
  // The mode's settings record (a member of the derived dialog), its file, and its worker.
  virtual SettingsRecord& Record() = 0;
  // As ReadSettingsFile and WriteSettingsFile of the mode, with their `problem`.
  virtual bool ReadSettingsFile(std::string& problem) = 0;
  virtual bool WriteSettingsFile(std::string& problem) = 0;
  virtual void StartWorker() = 0;

  // The shared part of start-up: the edits' limits and first texts, the status timer and
  // progress range, the record and status zeroed, the COM port list filled. LoadSettings
  // follows.
  void InitSettingsControls();
  // The rows both dialogs have, at the Rover template's positions moved down by `dy` dialog
  // units: password, address, port, mount point, COM port and the baud-rate list.
  void AddSettingsRows(int dy);
  // The session's counters, placed the same way; the byte count is labelled `bytesLabel`.
  void AddSessionCounters(int dy, const QString& bytesLabel);
  // The combo boxes `lists` grow by (-20, 50) (their open lists; a closed combo box keeps its
  // height) and the controls `others` by (-20, 0) when the screen is below 320 pixels; true
  // when they did.
  bool AdjustForSmallScreen(std::initializer_list<int> lists, std::initializer_list<int> others);

  // The settings controls enabled (idle) or not (session), the session's controls the other
  // way round.
  virtual void EnableSettingsControls(bool enable);
  // The running view (counters) or the idle one (COM port list).
  virtual void ShowSessionView(bool running);

  // The counters part of the status display, under the status lock. Returns true when the
  // worker has given up since the last tick (its error flag, now cleared), so the dialog is
  // to be brought back to idle.
  bool ShowSessionStatus();
  // While a session runs, before the counters, under the status lock: true when the dialog
  // shows a text of the worker's in their place (the counters are then left alone).
  virtual bool ShowWorkerText() { return false; }
  void Disconnect();
  // Asks 61218 while a session runs (No: false, the session goes on), then stops it.
  bool ConfirmEndSession();

  void OnCommand(int id) override;
  void OnSelChange(int id) override;
  // Ctrl+T or Alt+T: OnCasterOptions.
  void OnSysKeyDown(int key) override;
  void OnOK() override;
  void OnCancel() override;

  // For the derived dialog's destructor, before its record goes: a session still running (the
  // dialog was torn down without its Cancel, as when the program is ended) is stopped without
  // the waits, so that no worker outlives the record it reads.
  void EndSessionNow();

  void ShowError(std::uint32_t stringId);
  void ShowError(std::u16string text, std::u16string detail = {});
  MessageAnswer Ask(std::uint32_t stringId);

  ModeServices& services_;
  SessionStatus& status_;

 private:
  // Selects the COM port list's item that the loaded record names (StoredPortItem), or shows
  // `name` in its edit field when the list lacks it.
  void SelectStoredPort(std::u16string_view name);
  // The record's address, user name, password and port into their boxes, and `entry`'s mount
  // points (none when null) into the mount-point list, its selected one chosen.
  void ShowCaster(const HostEntry* entry);
  void Connect();
  // Connect's steps before the worker: save, check, choose the Bluetooth device. false: stop.
  bool PrepareConnect();
  void StopSessionPainted(StopKind kind);

  const ConnectingMode mode_;
  bool saveProblemShown_ = false;
};

}  // namespace quillon::ui
