// The Bluetooth selection: which of the library's devices, and which of its ports, the session
// that follows uses. Runs modally from Connect; the choice is read after it closes.
#pragma once

#include <QComboBox>
#include <cstdint>
#include <optional>

#include "app/ui/dialog.h"
#include "link/bluetooth_choice.h"
#include "platform/bluetooth_lib.h"
#include "platform/message_sink.h"

namespace quillon::ui {

inline constexpr int kIdBluetoothDeviceLabel = 1044;
inline constexpr int kIdBluetoothDeviceList = 1040;
inline constexpr int kIdBluetoothPortList = 1042;
inline constexpr int kIdDiscover = 1022;

class CBluetoothDlg : public Dialog {
  Q_OBJECT

 public:
  // `screenHeight`: the display's height in pixels; the dialog's screen when not given.
  CBluetoothDlg(BluetoothLib& bluetooth, MessageSink& sink, QWidget* parent = nullptr,
                std::optional<int> screenHeight = std::nullopt);

  // true once OK has matched a device; Choice() then holds it.
  bool Chosen() const { return chosen_; }
  BluetoothChoice Choice() const { return choice_; }

  // Runs a new discovery and shows its list.
  void OnDiscover();

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  void OnOK() override;
  void OnCancel() override;

 private:
  void FillDeviceList();
  void EnableControls(bool enable);
  void HideButtons();

  BluetoothLib& bluetooth_;
  MessageSink& sink_;
  std::optional<int> screenHeight_;
  bool chosen_ = false;
  BluetoothChoice choice_;
};

// The chooser of the windowed program: runs CBluetoothDlg over `parent`; nullopt on Cancel.
std::optional<BluetoothChoice> RunBluetoothDlg(BluetoothLib& bluetooth, MessageSink& sink,
                                               QWidget* parent);

}  // namespace quillon::ui
