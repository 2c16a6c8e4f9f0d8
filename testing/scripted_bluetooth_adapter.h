// A Bluetooth adapter for the BlueZ library under test: its radio side scripted, its sockets
// real. Each RFCOMM socket is one end of a socket pair whose other end plays the remote
// receiver.
#pragma once

#include <future>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/bluetooth_adapter.h"

namespace quillon::testing {

class ScriptedAdapter final : public BluetoothAdapter {
 public:
  using Connect = std::pair<BluetoothAddress, std::uint8_t>;

  ~ScriptedAdapter() override;

  bool Present() override { return present; }
  bool Up() override { return up; }
  bool Inquire(std::vector<BluetoothDevice>& found) override;
  int NewRfcommSocket() override;
  int StartRfcommConnect(int socket, const BluetoothAddress& address,
                         std::uint8_t channel) override;

  // The remote receiver's end of the last socket made; -1 before the first.
  int RemoteEnd();
  // Every connect started, in order.
  std::vector<Connect> Connects();

  bool present = true;
  bool up = true;
  bool inquirySucceeds = true;
  std::vector<BluetoothDevice> inquiryFinds;
  bool connectSucceeds = true;
  // Like a page to a device that does not answer: the socket never becomes writable;
  // `connectStarted` is set once such a connect has begun.
  bool connectHangs = false;
  std::promise<void> connectStarted;

 private:
  std::mutex mutex_;
  std::vector<int> remoteEnds_;
  std::vector<Connect> connects_;
};

}  // namespace quillon::testing
