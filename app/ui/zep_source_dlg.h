// "NTRIP Source (Base)": the Base's whole user interface. The user enters the caster, the mount
// point and its password, picks the receiver's port and connects; while the upload runs, the
// same space shows the connect time, a rate bar and the bytes sent, or, after a failed attempt,
// the worker's reason and its retry countdown in their place.
#pragma once

#include "app/ui/mode_dlg.h"
#include "base/base_settings.h"
#include "base/base_status.h"

namespace quillon::ui {

// The worker's status text (failure, retry countdown), shown in place of the counters.
inline constexpr int kIdStatusText = 1027;

class CZEPSourceDlg : public ModeDialog {
  Q_OBJECT

 public:
  // `status` is the process's Base status.
  CZEPSourceDlg(ModeServices& services, BaseStatus& status, QWidget* parent = nullptr);
  ~CZEPSourceDlg() override;

  const BaseSettings& Settings() const { return settings_; }
  BaseStatus& Status() const { return baseStatus_; }

 protected:
  bool OnInitDialog() override;
  void OnTimer(int id) override;

  SettingsRecord& Record() override { return settings_; }
  bool ReadSettingsFile(std::string& problem) override;
  bool WriteSettingsFile(std::string& problem) override;
  void StartWorker() override;
  void ShowSessionView(bool running) override;
  bool ShowWorkerText() override;

 private:
  BaseStatus& baseStatus_;
  BaseSettings settings_;
};

}  // namespace quillon::ui
