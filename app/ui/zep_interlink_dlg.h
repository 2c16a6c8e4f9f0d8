// "NTRIP Rover": the Rover's whole user interface. The user enters the caster, the mount point
// and the credentials, picks the receiver's port and connects; while the session runs, the same
// space shows the connect time, a throughput bar, the bytes received and, below the buttons, the
// receiver's solution. Source fills the
// mount-point list from the caster's source table; Ctrl+G or Alt+G opens the GGA override.
#pragma once

#include "app/ui/mode_dlg.h"
#include "rover/rover_settings.h"
#include "rover/rover_status.h"

namespace quillon::ui {

inline constexpr int kIdUserNameLabel = 1000;
inline constexpr int kIdSource = 1017;
inline constexpr int kIdSolution = 1060;

class CZEPInterlinkDlg : public ModeDialog {
  Q_OBJECT

 public:
  // `status` is the process's Rover status.
  CZEPInterlinkDlg(ModeServices& services, RoverStatus& status, QWidget* parent = nullptr);
  ~CZEPInterlinkDlg() override;

  const RoverSettings& Settings() const { return settings_; }

  void OnSource();
  // Opens the GGA override with the record's values; OK stores and saves them.
  void OnOverride();

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  void OnTimer(int id) override;
  void OnSysKeyDown(int key) override;

  SettingsRecord& Record() override { return settings_; }
  bool ReadSettingsFile(std::string& problem) override;
  bool WriteSettingsFile(std::string& problem) override;
  void StartWorker() override;
  void EnableSettingsControls(bool enable) override;
  void ShowSessionView(bool running) override;

 private:
  void OnNoAuthentication();
  // The receiver's solution, from the status, into its line.
  void ShowSolution();

  RoverStatus& roverStatus_;
  RoverSettings settings_;
};

}  // namespace quillon::ui
