#include "app/ui/zep_interlink_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <cstring>
#include <string_view>

#include "app/ui/child_layout.h"
#include "app/ui/combo.h"
#include "app/ui/gga_override_dlg.h"
#include "app/ui/handheld.h"
#include "app/ui/notices_afterwards.h"
#include "app/ui/wait.h"
#include "common/connect_checks.h"
#include "common/strings.h"
#include "common/text.h"
#include "ntrip/ntrip_source_table.h"
#include "rover/rover_session.h"

namespace quillon::ui {
namespace {

constexpr int kKeyG = 71;
// The most characters of an address, a mount point or a port name.
constexpr int kNameChars = 19;

}  // namespace

CZEPInterlinkDlg::CZEPInterlinkDlg(ModeServices& services, RoverStatus& status, QWidget* parent)
    : ModeDialog({QStringLiteral("NTRIP Rover")}, services, status, parent), roverStatus_(status) {
  setWindowIcon(ProgramIcon());
  AddControl<QLabel>(kIdUserNameLabel, QRect(3, 7, 37, 8), QStringLiteral("Username:"));
  AddControl<QLineEdit>(kIdUserName, QRect(45, 5, 90, 12));
  AddControl<QLabel>(kIdPasswordLabel, QRect(3, 21, 37, 8), QStringLiteral("Password:"));
  AddControl<QLineEdit>(kIdPassword, QRect(45, 19, 90, 12))->setEchoMode(QLineEdit::Password);
  AddControl<QLabel>(kIdAddressLabel, QRect(3, 35, 42, 8), QStringLiteral("IP address:"));
  AddEditableCombo(*this, kIdAddressList, QRect(45, 33, 90, 55), kNameChars);
  AddControl<QLabel>(kIdPortLabel, QRect(3, 49, 32, 8), QStringLiteral("Port:"));
  auto* port = AddControl<QLineEdit>(kIdPort, QRect(45, 47, 90, 12));
  port->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port));
  AddControl<QLabel>(kIdMountPointLabel, QRect(3, 63, 42, 8), QStringLiteral("Mount point:"));
  AddEditableCombo(*this, kIdMountPointList, QRect(45, 61, 90, 52), kNameChars);
  AddControl<QLabel>(kIdComPortLabel, QRect(3, 77, 37, 8), QStringLiteral("COM port:"));
  AddEditableCombo(*this, kIdComPortList, QRect(45, 75, 90, 53), kNameChars);
  AddControl<QLabel>(kIdBaudLabel, QRect(5, 91, 46, 8), QStringLiteral("Baud rate:"));
  AddBaudList(QRect(45, 89, 90, 39));
  auto* noAuthentication =
      AddControl<QCheckBox>(kIdNoAuthentication, QRect(3, 108, 121, 10),
                            QStringLiteral("Do not use NTRIP authentication."));
  // The desktop's box and font take more room than the handheld's: the text is not cut.
  noAuthentication->resize(
      std::max(noAuthentication->width(), noAuthentication->sizeHint().width()),
      noAuthentication->height());
  AddControl<QPushButton>(kIdConnect, QRect(3, 121, 53, 14), QStringLiteral("Connect"));
  AddControl<QPushButton>(kIdSource, QRect(81, 121, 53, 14), QStringLiteral("Source"));
  AddControl<QLabel>(kIdConnectTimeLabel, QRect(3, 77, 50, 8), QStringLiteral("Connect Time:"));
  AddControl<QLabel>(kIdConnectTime, QRect(61, 77, 40, 8), QStringLiteral("00:00:00"));
  AddControl<QProgressBar>(kIdProgress, QRect(3, 94, 130, 8))->setTextVisible(false);
  AddControl<QLabel>(kIdBytesLabel, QRect(3, 105, 56, 8), QStringLiteral("Bytes Received:"));
  AddControl<QLabel>(kIdByteCount, QRect(61, 105, 70, 8), QStringLiteral("0"));
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

bool CZEPInterlinkDlg::ReadSettingsFile() {
  return quillon::ReadSettingsFile(settings_, services_.settingsFolder);
}

void CZEPInterlinkDlg::WriteSettingsFile() {
  // The worker may be using the record: the save goes under the status lock.
  SaveRoverSettings(settings_, roverStatus_, services_.settingsFolder);
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
  if (id != kStatusTimer || !ShowSessionStatus()) return;
  // The worker gave up and has said why: back to idle.
  Control<QProgressBar>(kIdProgress)->setValue(0);
  SetItemText(kIdConnectTime, QStringLiteral("0 packets"));
  Disconnect();
}

void CZEPInterlinkDlg::OnSource() {
  SaveSettings(true);
  if (const std::uint32_t problem = FirstSourceTableProblem(settings_)) {
    ShowError(problem);
    return;
  }
  if (Ask(kStrConfirmSourceTable) != MessageAnswer::kYes) return;

  CNtripSourceTable table;
  {
    const WaitCursor wait;
    // The fetch takes seconds: it runs beside the painted window, and its failure notices are
    // shown when it is over (no box can be answered while the window is held).
    NoticesAfterwards notices;
    RunPainted([&] { table.GetSourceTable(notices, settings_, services_.clock); });
    notices.ShowIn(services_.messages);
  }
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
