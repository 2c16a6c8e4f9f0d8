#include "app/ui/mode_dlg.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <vector>

#include "app/ui/bluetooth_dlg.h"
#include "app/ui/caster_options_dlg.h"
#include "app/ui/child_layout.h"
#include "app/ui/combo.h"
#include "app/ui/handheld.h"
#include "app/ui/wait.h"
#include "common/caster_options.h"
#include "common/connect_checks.h"
#include "common/host_history.h"
#include "common/settings_form.h"
#include "common/strings.h"
#include "common/utf8.h"
#include "link/bluetooth_choice.h"
#include "link/com_port_items.h"
#include "session/elapsed_text.h"

namespace quillon::ui {
namespace {

constexpr std::uint32_t kAfterConnectMs = 2000;
constexpr int kKeyT = 84;
constexpr int kPortChars = 6;

QString Text(std::u16string_view text) { return ToQString(text); }

template <std::size_t N, std::size_t MaxBytes>
QString Text(const LongField<N, MaxBytes>& field) {
  return ToQString(FieldText(field));
}

}  // namespace

ModeDialog::ModeDialog(DialogTemplate dialogTemplate, ConnectingMode mode, ModeServices& services,
                       SessionStatus& status, QWidget* parent)
    : Dialog(std::move(dialogTemplate), parent), services_(services), status_(status), mode_(mode) {
  SetDefaultButton(kIdConnect);
  if (QMenu* menu = TitleMenu()) {
    connect(menu->addAction(QStringLiteral("Caster options...\tCtrl+T")), &QAction::triggered, this,
            [this] { OnCasterOptions(); });
  }
}

void ModeDialog::OnCasterOptions() {
  const bool idle = status_.running.load() == 0;
  if (idle && !SaveSettings(true)) return;
  // During a session the worker may be remembering its caster in the record.
  const CasterOptions options = [this] {
    std::lock_guard guard(status_.lock);
    return CasterOptionsOf(Record());
  }();
  CCasterOptionsDlg dialog(options, mode_, idle, services_.messages, parentWidget());
  if (dialog.DoModal() != kIdOk || !idle) return;
  ApplyCasterOptions(dialog.Options(), mode_, Record());
  SaveSettings(false);
}

void ModeDialog::OnSysKeyDown(int key) {
  if (key == kKeyT) OnCasterOptions();
}

void ModeDialog::EndSessionNow() {
  if (!status_.HasWorker()) return;
  status_.running.store(0);
  StopSession(status_, services_.link, services_.clock, StopKind::kClose);
}

void ModeDialog::AddSettingsRows(int dy) {
  AddControl<QLabel>(kIdPasswordLabel, QRect(3, 21 + dy, 37, 8), QStringLiteral("Password:"));
  AddControl<QLineEdit>(kIdPassword, QRect(45, 19 + dy, 90, 12))->setEchoMode(QLineEdit::Password);
  AddControl<QLabel>(kIdAddressLabel, QRect(3, 35 + dy, 42, 8), QStringLiteral("IP address:"));
  AddEditableCombo(*this, kIdAddressList, QRect(45, 33 + dy, 90, 55), kMaxAddressBytes);
  AddControl<QLabel>(kIdPortLabel, QRect(3, 49 + dy, 32, 8), QStringLiteral("Port:"));
  auto* port = AddControl<QLineEdit>(kIdPort, QRect(45, 47 + dy, 90, 12));
  port->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port));
  AddControl<QLabel>(kIdMountPointLabel, QRect(3, 63 + dy, 42, 8), QStringLiteral("Mount point:"));
  AddEditableCombo(*this, kIdMountPointList, QRect(45, 61 + dy, 90, 52), kMaxMountPointBytes);
  AddControl<QLabel>(kIdComPortLabel, QRect(3, 77 + dy, 37, 8), QStringLiteral("COM port:"));
  AddEditableCombo(*this, kIdComPortList, QRect(45, 75 + dy, 90, 53), kMaxDevicePathBytes);
  AddControl<QLabel>(kIdBaudLabel, QRect(5, 91 + dy, 46, 8), QStringLiteral("Baud rate:"));
  auto* baud = AddControl<QComboBox>(kIdBaudList, QRect(45, 89 + dy, 90, 39));
  for (const char* item : {"4800 ", "9600 ", "14400 ", "19200 ", "38400 ", "57600 ", "115200"}) {
    baud->addItem(QString::fromLatin1(item));
  }
  baud->resize(baud->width(), baud->sizeHint().height());
}

void ModeDialog::AddSessionCounters(int dy, const QString& bytesLabel) {
  AddControl<QLabel>(kIdConnectTimeLabel, QRect(3, 77 + dy, 50, 8),
                     QStringLiteral("Connect Time:"));
  AddControl<QLabel>(kIdConnectTime, QRect(61, 77 + dy, 40, 8), QStringLiteral("00:00:00"));
  AddControl<QProgressBar>(kIdProgress, QRect(3, 94 + dy, 130, 8))->setTextVisible(false);
  AddControl<QLabel>(kIdBytesLabel, QRect(3, 105 + dy, 56, 8), bytesLabel);
  AddControl<QLabel>(kIdByteCount, QRect(61, 105 + dy, 70, 8), QStringLiteral("0"));
}

void ModeDialog::InitSettingsControls() {
  if (Item(kIdUserName) != nullptr) {
    LimitText(kIdUserName, kMaxCredentialBytes);
    SetItemText(kIdUserName, QString());
  }
  // A limit in units lets through no text of plain ASCII that is too long; ReadControls
  // refuses the others.
  LimitText(kIdPassword, kMaxCredentialBytes);
  LimitText(kIdPort, kPortChars);
  SetItemText(kIdAddressList, QStringLiteral("0.0.0.0"));
  SetItemText(kIdPort, QStringLiteral("2101"));
  SetItemText(kIdPassword, QString());

  SetTimer(kStatusTimer, kStatusTimerMs);
  Control<QProgressBar>(kIdProgress)->setRange(0, kInitialProgressRange);

  Record() = SettingsRecord{};  // the mode's own fields come with the load that follows
  status_.Reset();

  const ComPortItems ports = FillComPortCombo(services_.devices, services_.bluetooth);
  ResetContent(kIdComPortList);
  for (const auto& item : ports.items) AddString(kIdComPortList, Text(item));
  SetCurSel(kIdComPortList, ports.selected);
}

bool ModeDialog::AdjustForSmallScreen(std::initializer_list<int> lists,
                                      std::initializer_list<int> others) {
  if (!IsSmallScreen(*this, services_.screenHeight)) return false;
  for (const int id : lists) {
    // A template's combo-box height is its open list's: the closed box keeps its own height.
    QWidget* list = Item(id);
    const int closedHeight = list->height();
    GrowChildBy(list, -20, 50);
    list->resize(list->width(), closedHeight);
  }
  for (const int id : others) GrowChildBy(Item(id), -20, 0);
  return true;
}

bool ModeDialog::LoadSettings() {
  std::string problem;
  const bool read = ReadSettingsFile(problem);
  if (!problem.empty()) ShowError(FromUtf8(problem));
  if (!read) {
    SetCurSel(kIdBaudList, Record().baudIndex);
    return false;
  }
  const std::u16string_view portName = PortItemText(FieldText(Record().comPortName));
  if (Control<QComboBox>(kIdComPortList)->count() == 0) {
    AddString(kIdComPortList, Text(portName));
    Record().comIndex = 0;
  }
  SelectStoredPort(portName);
  SetCurSel(kIdBaudList, Record().baudIndex);

  ResetContent(kIdAddressList);
  for (std::int32_t i = 0; i < std::clamp(Record().hostCount, 0, kMaxHosts); ++i) {
    AddString(kIdAddressList, Text(Record().hosts[static_cast<std::size_t>(i)].address));
  }
  // What the last Connect saved is shown, also when its login failed and the history does not
  // hold that caster: the record's own fields, not the history's entry.
  const std::int32_t slot = FindHost(Record(), FieldText(Record().address));
  SetCurSel(kIdAddressList, slot);
  ShowCaster(slot < 0 ? nullptr : &Record().hosts[static_cast<std::size_t>(slot)]);
  SetItemText(kIdMountPointList, Text(Record().mountPoint));
  return true;
}

void ModeDialog::SelectStoredPort(std::u16string_view name) {
  const auto* list = Control<QComboBox>(kIdComPortList);
  std::vector<std::u16string> items;
  for (int i = 0; i < list->count(); ++i) items.push_back(list->itemText(i).toStdU16String());
  const int item = StoredPortItem(items, name, Record().comIndex);
  SetCurSel(kIdComPortList, item);
  // A device the list lacks (typed by hand, or given on the command line) is kept as typed.
  if (item < 0) SetItemText(kIdComPortList, Text(name));
}

void ModeDialog::ApplyHostEntry() {
  const HostEntry* entry = TakeSelectedHost(Record());
  if (entry == nullptr) return;
  ShowCaster(entry);
  SetFieldText(Record().mountPoint, ItemText(kIdMountPointList).toStdU16String());
}

void ModeDialog::ShowCaster(const HostEntry* entry) {
  SetItemText(kIdAddressList, Text(Record().address));
  if (Item(kIdUserName) != nullptr) SetItemText(kIdUserName, Text(Record().userName));
  SetItemText(kIdPassword, Text(Record().password));
  SetItemText(kIdPort, QString::number(Record().port));
  ResetContent(kIdMountPointList);
  if (entry == nullptr) return;
  for (std::int32_t i = 0; i < std::clamp(entry->mountPointCount, 0, kMaxMountPoints); ++i) {
    AddString(kIdMountPointList, Text(entry->mountPoints[static_cast<std::size_t>(i)]));
  }
  SetCurSel(kIdMountPointList, entry->selectedMountPoint);
}

bool ModeDialog::ReadControls() {
  SettingsControls controls;
  if (Item(kIdUserName) != nullptr) controls.userName = ItemText(kIdUserName).toStdU16String();
  controls.password = ItemText(kIdPassword).toStdU16String();
  controls.address = ItemText(kIdAddressList).toStdU16String();
  controls.selectedHost = GetCurSel(kIdAddressList);
  controls.port = ItemText(kIdPort).toStdU16String();
  controls.mountPoint = ItemText(kIdMountPointList).toStdU16String();
  controls.comIndex = GetCurSel(kIdComPortList);
  controls.comPortName = ItemText(kIdComPortList).toStdU16String();
  controls.baudIndex = GetCurSel(kIdBaudList);
  controls.noAuthentication =
      Item(kIdNoAuthentication) != nullptr && IsChecked(kIdNoAuthentication);
  if (std::u16string tooLong = TooLongControlText(controls); !tooLong.empty()) {
    ShowError(std::move(tooLong));
    return false;
  }
  ReadControlsInto(controls, Record());
  return true;
}

bool ModeDialog::SaveSettings(bool readControls) {
  if (readControls && !ReadControls()) return false;
  std::string problem;
  if (!WriteSettingsFile(problem) && !problem.empty() && !saveProblemShown_) {
    saveProblemShown_ = true;
    ShowError(FromUtf8(problem));
  }
  return true;
}

void ModeDialog::OnConnect() {
  if (status_.running.load() == 1) {
    Disconnect();
  } else {
    Connect();
  }
}

bool ModeDialog::PrepareConnect() {
  if (!SaveSettings(true)) return false;
  if (const std::uint32_t problem = FirstConnectProblem(Record(), mode_)) {
    ShowError(problem);
    return false;
  }
  return ChooseBluetoothForConnect(
      FieldText(Record().comPortName), services_.bluetooth, services_.messages,
      [this] { return RunBluetoothDlg(services_.bluetooth, services_.messages, parentWidget()); },
      [this](BluetoothChoice choice) {
        services_.link.ChooseBluetooth(choice.device, choice.port);
      });
}

void ModeDialog::Connect() {
  if (!PrepareConnect()) return;
  const WaitCursor wait;
  StartWorker();
  SetItemText(kIdConnect, QStringLiteral("Disconnect"));
  ShowSessionView(true);
  EnableSettingsControls(false);
  WaitPainted(services_.clock, kAfterConnectMs);
}

void ModeDialog::Disconnect() {
  const WaitCursor wait;
  // Disabled for the stop, the focused Connect button would leave the keyboard nowhere.
  const QPointer<QWidget> hadFocus = focusWidget();
  status_.running.store(0);
  StopSessionPainted(StopKind::kDisconnect);
  SetItemText(kIdConnect, QStringLiteral("Connect"));
  ShowSessionView(false);
  EnableSettingsControls(true);
  EnableItem(kIdConnect, true);
  GiveFocusBack(hadFocus);
}

void ModeDialog::StopSessionPainted(StopKind kind) {
  // The stop's waits come with a word in the button's place, which takes no press meanwhile.
  if (kind == StopKind::kDisconnect || status_.running.load() == 1) {
    SetItemText(kIdConnect, QStringLiteral("Disconnecting..."));
    EnableItem(kIdConnect, false);
  }
  // The whole sequence holds the thread, the worker's end included: timer ticks wait, and the
  // windows stay painted while a worker takes its time to return.
  const UiHold hold;
  PaintedClock painted(services_.clock);
  StopSession(status_, services_.link, painted, kind, [] { UiHold::Paint(); });
}

bool ModeDialog::ConfirmEndSession() {
  if (status_.running.load() == 1 && Ask(kStrConfirmEndSession) != MessageAnswer::kYes) {
    return false;
  }
  const WaitCursor wait;
  StopSessionPainted(StopKind::kClose);
  return true;
}

void ModeDialog::EnableSettingsControls(bool enable) {
  for (const int id :
       {kIdBaudList, kIdPassword, kIdAddressList, kIdComPortList, kIdPort, kIdMountPointList}) {
    EnableItem(id, enable);
  }
  for (const int id : {kIdProgress, kIdConnectTimeLabel, kIdConnectTime}) EnableItem(id, !enable);
}

void ModeDialog::ShowSessionView(bool running) {
  if (running) {
    // The first tick comes only after the wait that follows Connect: no last session's count
    // beside the new session's time meanwhile.
    Control<QProgressBar>(kIdProgress)->setValue(0);
    SetItemText(kIdConnectTime, QStringLiteral("00:00:00"));
    SetItemText(kIdByteCount, QStringLiteral("0"));
  }
  for (const int id : {kIdComPortList, kIdComPortLabel}) ShowItem(id, !running);
  for (const int id :
       {kIdConnectTimeLabel, kIdProgress, kIdConnectTime, kIdBytesLabel, kIdByteCount}) {
    ShowItem(id, running);
  }
  // The baud rate is never offered: the stored one is used.
  ShowItem(kIdBaudList, false);
  ShowItem(kIdBaudLabel, false);
}

bool ModeDialog::ShowSessionStatus() {
  std::lock_guard guard(status_.lock);
  auto* progress = Control<QProgressBar>(kIdProgress);
  if (status_.running.load() == 1) {
    if (ShowWorkerText()) return false;
    if (status_.peak < 1) status_.peak = kInitialProgressRange;
    // The bar's range is the busiest second seen, as a 16-bit range: a receiver link carries a
    // few kB/s, far below 65535 B/s, so the cut does not show; a rate past it fills the bar.
    progress->setRange(0, static_cast<std::uint16_t>(status_.peak));
    progress->setValue(
        static_cast<int>(std::clamp<std::int64_t>(status_.rate, 0, progress->maximum())));
    SetItemText(kIdConnectTime, QString::fromStdString(ElapsedAsTimeOfDay(status_.elapsedSeconds)));
    SetItemText(kIdByteCount, QString::number(status_.total));
    return false;
  }
  progress->setValue(0);
  SetItemText(kIdConnectTime, QStringLiteral("00:00:00"));
  return status_.error.exchange(0) == 1;
}

void ModeDialog::OnCommand(int id) {
  if (id == kIdConnect) {
    OnConnect();
    return;
  }
  Dialog::OnCommand(id);
}

void ModeDialog::OnSelChange(int id) {
  if (id != kIdAddressList) return;
  // OnSelectHost: the chosen caster's entry fills the boxes.
  Record().selectedHost = GetCurSel(kIdAddressList);
  ApplyHostEntry();
}

void ModeDialog::OnOK() {
  if (ConfirmEndSession()) EndDialog(kIdOk);
}

void ModeDialog::OnCancel() {
  if (ConfirmEndSession()) EndDialog(kIdCancel);
}

void ModeDialog::ShowError(std::uint32_t stringId) { ShowError(LoadString(stringId)); }

void ModeDialog::ShowError(std::u16string text, std::u16string detail) {
  services_.messages.Show({std::move(text), LoadString(kStrError), MessageIcon::kExclamation,
                           MessageButtons::kOk, std::move(detail)});
}

MessageAnswer ModeDialog::Ask(std::uint32_t stringId) {
  return services_.messages.Show({LoadString(stringId), LoadString(kStrWarning),
                                  MessageIcon::kInformation, MessageButtons::kYesNo});
}

}  // namespace quillon::ui
