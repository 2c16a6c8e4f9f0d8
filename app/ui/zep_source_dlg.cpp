#include "app/ui/zep_source_dlg.h"

#include <QLabel>

#include "app/ui/handheld.h"
#include "app/ui/qt_message_sink.h"
#include "base/base_session.h"

namespace quillon::ui {
namespace {

// The rows move up by the Rover's user-name row, which the Base does not have.
constexpr int kNoUserNameRow = -14;

// What the status text replaces while it is set.
constexpr int kCounters[] = {kIdByteCount, kIdBytesLabel, kIdConnectTime, kIdConnectTimeLabel,
                             kIdProgress};

}  // namespace

// The Rover's layout without its user-name row, tick box and Source button; the status text takes
// the counters' place, with room for the retry line and a reason of a few lines.
CZEPSourceDlg::CZEPSourceDlg(ModeServices& services, BaseStatus& status, QWidget* parent)
    : ModeDialog({QStringLiteral("NTRIP Source (Base)")}, ConnectingMode::kBase, services, status,
                 parent),
      baseStatus_(status) {
  setWindowIcon(ProgramIcon());
  AddSettingsRows(kNoUserNameRow);
  AddControl<QPushButton>(kIdConnect, QRect(3, 121 + kNoUserNameRow, 53, 14),
                          QStringLiteral("Connect"));
  AddSessionCounters(kNoUserNameRow, QStringLiteral("Bytes Sent:"));
  auto* statusText = AddControl<QLabel>(kIdStatusText, QRect(3, 75 + kNoUserNameRow, 132, 44),
                                        QStringLiteral("ERROR MESSAGE"));
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

bool CZEPSourceDlg::ReadSettingsFile(std::string& problem) {
  return quillon::ReadSettingsFile(settings_, services_.settingsFolder, &problem);
}

bool CZEPSourceDlg::WriteSettingsFile(std::string& problem) {
  // Only Connect saves, before its worker starts: the record is the dialog's alone then.
  return quillon::WriteSettingsFile(settings_, services_.settingsFolder, &problem);
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
