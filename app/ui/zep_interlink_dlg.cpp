#include "app/ui/zep_interlink_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>

#include "app/ui/child_layout.h"
#include "app/ui/combo.h"
#include "app/ui/gga_override_dlg.h"
#include "app/ui/handheld.h"
#include "app/ui/wait.h"
#include "common/connect_checks.h"
#include "common/strings.h"
#include "common/text.h"
#include "ntrip/ntrip_source_table.h"
#include "rover/rover_session.h"

namespace quillon::ui {
namespace {

constexpr int kKeyG = 71;

}  // namespace

CZEPInterlinkDlg::CZEPInterlinkDlg(ModeServices& services, RoverStatus& status, QWidget* parent)
    : ModeDialog({QStringLiteral("NTRIP Rover")}, ConnectingMode::kRover, services, status, parent),
      roverStatus_(status) {
  setWindowIcon(ProgramIcon());
  AddControl<QLabel>(kIdUserNameLabel, QRect(3, 7, 37, 8), QStringLiteral("Username:"));
  AddControl<QLineEdit>(kIdUserName, QRect(45, 5, 90, 12));
  AddSettingsRows(0);
  auto* noAuthentication =
      AddControl<QCheckBox>(kIdNoAuthentication, QRect(3, 108, 121, 10),
                            QStringLiteral("Do not use NTRIP authentication."));
  // The desktop's box and font take more room than the handheld's: the text is not cut.
  noAuthentication->resize(
      std::max(noAuthentication->width(), noAuthentication->sizeHint().width()),
      noAuthentication->height());
  AddControl<QPushButton>(kIdConnect, QRect(3, 121, 53, 14), QStringLiteral("Connect"));
  AddControl<QPushButton>(kIdSource, QRect(81, 121, 53, 14), QStringLiteral("Source"));
  AddSessionCounters(0, QStringLiteral("Bytes Received:"));
  // Below the buttons, where the handheld's dialog had room: nothing else moves.
  AddControl<QLabel>(kIdSolution, QRect(3, 139, 146, 8), QString());
}

CZEPInterlinkDlg::~CZEPInterlinkDlg() { EndSessionNow(); }

bool CZEPInterlinkDlg::OnInitDialog() {
  ModeDialog::OnInitDialog();
  InitSettingsControls();
  if (LoadSettings()) {
    SetChecked(kIdNoAuthentication, settings_.noAuthentication == 1);
    for (const int id : {kIdMountPointList, kIdUserName, kIdPassword}) {
      EnableItem(id, settings_.noAuthentication == 0);
    }
  }
  ShowSessionView(false);
  SetInitialFocus(kIdConnect);
  roverStatus_.owner.store(&services_.messages);
  if (AdjustForSmallScreen({kIdAddressList, kIdBaudList, kIdComPortList, kIdMountPointList},
                           {kIdPassword, kIdPort, kIdUserName, kIdProgress})) {
    MoveChildBy(Item(kIdSource), -20, -1);
  }
  return false;
}

bool CZEPInterlinkDlg::ReadSettingsFile(std::string& problem) {
  return quillon::ReadSettingsFile(settings_, services_.settingsFolder, &problem);
}

bool CZEPInterlinkDlg::WriteSettingsFile(std::string& problem) {
  // The worker may be using the record: the save goes under the status lock.
  return SaveRoverSettings(settings_, roverStatus_, services_.settingsFolder, &problem);
}

void CZEPInterlinkDlg::StartWorker() {
  StartRoverSession(
      {settings_, roverStatus_, services_.link, services_.clock, services_.settingsFolder});
}

void CZEPInterlinkDlg::EnableSettingsControls(bool enable) {
  ModeDialog::EnableSettingsControls(enable);
  for (const int id : {kIdUserName, kIdSource, kIdNoAuthentication}) EnableItem(id, enable);
  if (enable) OnNoAuthentication();
}

void CZEPInterlinkDlg::ShowSessionView(bool running) {
  ModeDialog::ShowSessionView(running);
  ShowItem(kIdNoAuthentication, !running);
  ShowItem(kIdSolution, running);
}

void CZEPInterlinkDlg::OnNoAuthentication() {
  settings_.noAuthentication = IsChecked(kIdNoAuthentication) ? 1 : 0;
  for (const int id : {kIdMountPointList, kIdUserName, kIdPassword}) {
    EnableItem(id, settings_.noAuthentication == 0);
  }
}

void CZEPInterlinkDlg::OnCommand(int id) {
  switch (id) {
    case kIdSource:
      OnSource();
      return;
    case kIdNoAuthentication:
      OnNoAuthentication();
      return;
    default:
      ModeDialog::OnCommand(id);
  }
}

void CZEPInterlinkDlg::OnTimer(int id) {
  if (id != kStatusTimer) return;
  ShowSolution();
  if (!ShowSessionStatus()) return;
  // The worker gave up and has said why: back to idle.
  Control<QProgressBar>(kIdProgress)->setValue(0);
  SetItemText(kIdConnectTime, QStringLiteral("0 packets"));
  Disconnect();
}

void CZEPInterlinkDlg::ShowSolution() {
  std::optional<ReceiverSolution> solution;
  {
    std::lock_guard guard(roverStatus_.lock);
    solution = roverStatus_.solution;
  }
  SetItemText(kIdSolution, solution ? QString::fromStdString(SolutionText(*solution)) : QString());
}

void CZEPInterlinkDlg::OnSource() {
  if (!SaveSettings(true)) return;
  if (const std::uint32_t problem = FirstSourceTableProblem(settings_)) {
    ShowError(problem);
    return;
  }
  if (Ask(kStrConfirmSourceTable) != MessageAnswer::kYes) return;

  CNtripSourceTable table;
  TableFetch fetch;
  {
    const WaitCursor wait;
    // The fetch takes seconds: it runs beside the painted window.
    RunPainted([&] { fetch = table.GetSourceTable(settings_, services_.clock); });
  }
  // Shown once the fetch is over: no box can be answered while the window is held.
  if (!fetch.Listed()) ShowError(std::move(fetch.text), std::move(fetch.detail));
  if (table.GetCount() < 1) return;
  ResetContent(kIdMountPointList);
  MountPointSlot name{};
  for (int i = 0; i < table.GetCount(); ++i) {
    table.GetMountPoint(i, &name);
    const std::string_view text(name.data(), strnlen(name.data(), name.size()));
    AddString(kIdMountPointList, ToQString(EightBitToWide(text)));
  }
  SetCurSel(kIdMountPointList, 0);
}

void CZEPInterlinkDlg::OnSysKeyDown(int key) {
  if (key == kKeyG) OnOverride();
  ModeDialog::OnSysKeyDown(key);
}

void CZEPInterlinkDlg::OnOverride() {
  CGgaOverrideDlg dialog(settings_.overrideLatitude.load(), settings_.overrideLongitude.load(),
                         settings_.overrideEnabled.load(), parentWidget());
  if (dialog.DoModal() != kIdOk) return;
  // A running worker takes the new position at its next pass.
  settings_.overrideLatitude.store(dialog.Latitude());
  settings_.overrideLongitude.store(dialog.Longitude());
  settings_.overrideEnabled.store(static_cast<std::uint8_t>(dialog.Enabled()));
  SaveSettings(false);
}

}  // namespace quillon::ui
