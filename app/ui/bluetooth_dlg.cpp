#include "app/ui/bluetooth_dlg.h"

#include <QLabel>

#include "app/ui/child_layout.h"
#include "app/ui/combo.h"
#include "app/ui/handheld.h"
#include "app/ui/wait.h"

namespace quillon::ui {

CBluetoothDlg::CBluetoothDlg(BluetoothLib& bluetooth, MessageSink& sink, QWidget* parent,
                             std::optional<int> screenHeight)
    : Dialog({QString()}, parent), bluetooth_(bluetooth), sink_(sink), screenHeight_(screenHeight) {
  AddControl<QLabel>(kIdBluetoothDeviceLabel, QRect(3, 18, 25, 8), QStringLiteral("Device:"));
  AddEditableCombo(*this, kIdBluetoothDeviceList, QRect(30, 16, 106, 49),
                   static_cast<int>(kDeviceNameUnits));
  AddControl<QLabel>(kNoId, QRect(3, 39, 17, 8), QStringLiteral("Port:"));
  auto* ports = AddEditableCombo(*this, kIdBluetoothPortList, QRect(30, 37, 106, 32),
                                 static_cast<int>(kDeviceNameUnits));
  for (const auto item : kBluetoothPortItems) ports->addItem(ToQString(item));
  AddControl<QPushButton>(kIdDiscover, QRect(3, 122, 39, 14), QStringLiteral("Discover"));
  auto* ok = AddControl<QPushButton>(kIdOk, QRect(49, 122, 39, 14), QStringLiteral("OK"));
  ok->setDefault(true);
  AddControl<QPushButton>(kIdCancel, QRect(97, 122, 39, 14), QStringLiteral("Cancel"));
}

void CBluetoothDlg::FillDeviceList() {
  auto* devices = Control<QComboBox>(kIdBluetoothDeviceList);
  devices->clear();
  for (const auto& name : ReadDeviceNames(bluetooth_)) devices->addItem(ToQString(name));
}

bool CBluetoothDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  FillDeviceList();
  auto* devices = Control<QComboBox>(kIdBluetoothDeviceList);
  const std::int32_t selected = bluetooth_.SelectedDevice();
  devices->setCurrentIndex(selected >= 0 && selected < devices->count() ? selected : -1);
  Control<QComboBox>(kIdBluetoothPortList)->setCurrentIndex(InitialBluetoothPortSelection());

  // On a small screen the three buttons move up so that they stay visible.
  if (IsSmallScreen(*this, screenHeight_)) {
    for (const int id : {kIdDiscover, kIdOk, kIdCancel}) MoveChildBy(Item(id), 0, -110);
  }
  return true;
}

void CBluetoothDlg::OnCommand(int id) {
  if (id == kIdDiscover) {
    OnDiscover();
    return;
  }
  Dialog::OnCommand(id);
}

void CBluetoothDlg::EnableControls(bool enable) {
  for (const int id :
       {kIdOk, kIdCancel, kIdBluetoothPortList, kIdBluetoothDeviceList, kIdDiscover}) {
    Item(id)->setEnabled(enable);
  }
}

void CBluetoothDlg::OnDiscover() {
  WaitCursor wait;
  Control<QComboBox>(kIdBluetoothDeviceList)->clear();
  EnableControls(false);
  // The library blocks until the inquiry is over; the window stays painted meanwhile.
  bool discovered = false;
  RunPainted([&] { discovered = bluetooth_.Discover(); });
  if (discovered) {
    FillDeviceList();
  } else {
    sink_.Show(DiscoveryFailedMessage());
  }
  Control<QComboBox>(kIdBluetoothDeviceList)->setCurrentIndex(0);
  EnableControls(true);
}

void CBluetoothDlg::HideButtons() {
  for (const int id : {kIdOk, kIdCancel, kIdDiscover}) Item(id)->hide();
  repaint();
}

void CBluetoothDlg::OnOK() {
  chosen_ = false;
  const int port = SelectionIndex(*Control<QComboBox>(kIdBluetoothPortList));
  RememberedBluetoothPortSelection() = port;
  const auto* devices = Control<QComboBox>(kIdBluetoothDeviceList);
  const auto text = devices->currentText().toStdU16String();
  const auto match = FindDeviceByName(bluetooth_, text);
  if (!match) {
    sink_.Show(NoDevicesFoundMessage());
    return;
  }
  bluetooth_.SelectDevice(SelectionIndex(*devices));
  choice_ = BluetoothChoice{match->libraryIndex, port + 1};
  chosen_ = true;
  HideButtons();
  EndDialog(kIdOk);
}

void CBluetoothDlg::OnCancel() {
  HideButtons();
  EndDialog(kIdCancel);
}

std::optional<BluetoothChoice> RunBluetoothDlg(BluetoothLib& bluetooth, MessageSink& sink,
                                               QWidget* parent) {
  CBluetoothDlg dialog(bluetooth, sink, parent);
  if (dialog.DoModal() != kIdOk || !dialog.Chosen()) return std::nullopt;
  return dialog.Choice();
}

}  // namespace quillon::ui
