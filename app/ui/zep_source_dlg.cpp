#include "app/ui/zep_source_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QRegularExpressionValidator>

#include "app/ui/combo.h"
#include "app/ui/handheld.h"
#include "app/ui/qt_message_sink.h"
#include "base/base_session.h"

namespace quillon::ui {
namespace {

// The most characters of an address, a mount point or a port name.
constexpr int kNameChars = 19;

// What the status text replaces while it is set.
constexpr int kCounters[] = {kIdByteCount, kIdBytesLabel, kIdConnectTime, kIdConnectTimeLabel,
                             kIdProgress};

}  // namespace

// The Rover's layout without its user-name row, tick box and Source button: the rows move up by
// the missing user-name row, and the status text takes the counters' place, with room for the
// retry line and a reason of a few lines.
CZEPSourceDlg::CZEPSourceDlg(ModeServices& services, BaseStatus& status, QWidget* parent)
    : ModeDialog({QStringLiteral("NTRIP Source (Base)")}, services, status, parent),
      baseStatus_(status) {
  setWindowIcon(ProgramIcon());
  AddControl<QLabel>(kIdPasswordLabel, QRect(3, 7, 37, 8), QStringLiteral("Password:"));
  AddControl<QLineEdit>(kIdPassword, QRect(45, 5, 90, 12))->setEchoMode(QLineEdit::Password);
  AddControl<QLabel>(kIdAddressLabel, QRect(3, 21, 42, 8), QStringLiteral("IP address:"));
  AddEditableCombo(*this, kIdAddressList, QRect(45, 19, 90, 55), kNameChars);
  AddControl<QLabel>(kIdPortLabel, QRect(3, 35, 32, 8), QStringLiteral("Port:"));
  auto* port = AddControl<QLineEdit>(kIdPort, QRect(45, 33, 90, 12));
  port->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port));
  AddControl<QLabel>(kIdMountPointLabel, QRect(3, 49, 42, 8), QStringLiteral("Mount point:"));
  AddEditableCombo(*this, kIdMountPointList, QRect(45, 47, 90, 52), kNameChars);
  AddControl<QLabel>(kIdComPortLabel, QRect(3, 63, 37, 8), QStringLiteral("COM port:"));
  AddEditableCombo(*this, kIdComPortList, QRect(45, 61, 90, 53), kNameChars);
  AddControl<QLabel>(kIdBaudLabel, QRect(5, 77, 46, 8), QStringLiteral("Baud rate:"));
  AddBaudList(QRect(45, 75, 90, 39));
  AddControl<QPushButton>(kIdConnect, QRect(3, 107, 53, 14), QStringLiteral("Connect"));
  AddControl<QLabel>(kIdConnectTimeLabel, QRect(3, 63, 50, 8), QStringLiteral("Connect Time:"));
  AddControl<QLabel>(kIdConnectTime, QRect(61, 63, 40, 8), QStringLiteral("00:00:00"));
  AddControl<QProgressBar>(kIdProgress, QRect(3, 80, 130, 8))->setTextVisible(false);
  AddControl<QLabel>(kIdBytesLabel, QRect(3, 91, 56, 8), QStringLiteral("Bytes Sent:"));
  AddControl<QLabel>(kIdByteCount, QRect(61, 91, 70, 8), QStringLiteral("0"));
  auto* statusText =
      AddControl<QLabel>(kIdStatusText, QRect(3, 61, 132, 44), QStringLiteral("ERROR MESSAGE"));
  statusText->setTextFormat(Qt::PlainText);
  statusText->setWordWrap(true);
  statusText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  baseStatus_.ClearStatusText();
}

CZEPSourceDlg::~CZEPSourceDlg() { EndSessionNow(); }

bool CZEPSourceDlg::OnInitDialog() {
  ModeDialog::OnInitDialog();
  InitSettingsControls();
  LoadSettings();
  ShowSessionView(false);
  SetInitialFocus(kIdConnect);
  baseStatus_.owner.store(&services_.messages);
  AdjustForSmallScreen({kIdAddressList, kIdBaudList, kIdComPortList, kIdMountPointList},
                       {kIdPassword, kIdPort, kIdProgress});
  return false;
}

bool CZEPSourceDlg::ReadSettingsFile() {
  return quillon::ReadSettingsFile(settings_, services_.settingsFolder);
}

void CZEPSourceDlg::WriteSettingsFile() {
  // Only Connect saves, before its worker starts: the record is the dialog's alone then.
  quillon::WriteSettingsFile(settings_, services_.settingsFolder);
}

void CZEPSourceDlg::StartWorker() {
  StartBaseSession(
      {settings_, baseStatus_, services_.link, services_.clock, services_.settingsFolder});
}

void CZEPSourceDlg::ShowSessionView(bool running) {
  ModeDialog::ShowSessionView(running);
  // A new session starts with its counters; the status text comes with the first failure.
  ShowItem(kIdStatusText, false);
}

bool CZEPSourceDlg::ShowWorkerText() {
  const std::u16string_view text = FieldText(baseStatus_.statusText);
  const bool shown = !text.empty();
  for (const int id : kCounters) ShowItem(id, !shown);
  ShowItem(kIdStatusText, shown);
  SetItemText(kIdStatusText, DisplayText(text));
  return shown;
}

void CZEPSourceDlg::OnTimer(int id) {
  // The worker gave up and has said why: back to idle.
  if (id == kStatusTimer && ShowSessionStatus()) Disconnect();
}

}  // namespace quillon::ui
