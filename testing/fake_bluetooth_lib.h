// An in-memory Bluetooth library for tests: scripted devices, radio and discovery, and a byte
// pipe that plays the remote receiver. Every call is recorded. Thread-safe: the link
// operations run on a worker while the test drives the other end.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/bluetooth_lib.h"
#include "platform/clock.h"
#include "platform/readiness_set.h"

namespace quillon::testing {

class FakeBluetoothLib final : public BluetoothLib {
 public:
  struct Device {
    std::u16string name;
    bool readable = true;  // false: ReadDevice fails for this record
  };

  // Reads wait for bytes through `clock` (a virtual clock makes them instant).
  explicit FakeBluetoothLib(Clock& clock);
  ~FakeBluetoothLib() override;

  // --- the library's operations ---
  bool Discover() override;
  bool Open(std::int32_t device, std::int32_t port) override;
  std::string OpenFailure() override;
  std::int32_t DeviceCount() override;
  bool ReadDevice(std::int32_t index, std::u16string& name) override;
  void Close() override;
  bool IsUsable() override;
  bool Write(const std::uint8_t* bytes, std::size_t count) override;
  std::int32_t Read(std::uint8_t* buffer, std::size_t capacity) override;
  int ReadyHandle() override { return ready_.Handle(); }
  void SelectDevice(std::int32_t index) override;
  std::int32_t SelectedDevice() override;
  bool IsRadioOn() override;

  // --- script ---
  void SetDevices(std::vector<Device> devices);
  // What the next discoveries report, and the list they leave behind.
  void SetDiscovery(bool succeeds, std::vector<Device> found);
  // Runs inside each discovery, on the calling thread, before it reports (a discovery that
  // takes its time).
  void WhileDiscovering(std::function<void()> action);
  void SetRadioOn(bool on);
  void SetUsable(bool usable);
  // Whether Open succeeds (it also needs a device index inside the list), and the reason it
  // gives when it does not.
  void SetOpenSucceeds(bool succeeds, std::string failure = {});
  // Runs at the start of each Open, on the calling thread.
  void BeforeOpen(std::function<void()> action);
  // Opens then wait, as a connect to a device that does not answer does, until a Close comes
  // after they began; they fail then.
  void SetOpensHang(bool hang);

  // --- the remote receiver's end of the link ---
  // Bytes the program's reads will return, in order.
  void SendToProgram(const std::vector<std::uint8_t>& bytes);
  // Bytes the program has written so far, removed from the record.
  std::vector<std::uint8_t> TakeWritten();
  // Waits until at least `count` written bytes are recorded; false after `realMs` real ms.
  bool WaitForWritten(std::size_t count, int realMs = 10000);
  // The remote device goes out of range: reads return -1 and writes fail until it reconnects.
  void Disappear();

  // --- call record: "Discover", "Open(1,2)", "Close", "Write(5)", "Read(1024)", ... ---
  // How many recorded calls begin with `prefix`.
  std::size_t CountCalls(const std::string& prefix) const;
  // Waits until `count` calls beginning with `prefix` are recorded; false after `realMs`.
  bool WaitForCalls(const std::string& prefix, std::size_t count, int realMs = 10000);

 private:
  void Record(std::string call);

  Clock& clock_;
  int pipe_[2] = {-1, -1};  // bytes for the program's reads
  const int goneFd_;        // eventfd, readable once the remote device has gone
  ReadinessSet ready_;      // the pipe and goneFd_ while the link is open
  mutable std::mutex mutex_;
  std::condition_variable written_changed_;
  std::condition_variable calls_changed_;
  std::vector<Device> devices_;
  std::optional<std::vector<Device>> discovered_;
  bool discoverySucceeds_ = true;
  std::function<void()> whileDiscovering_;
  bool radioOn_ = true;
  bool usable_ = true;
  bool openSucceeds_ = true;
  std::string openFailure_;
  std::function<void()> beforeOpen_;
  bool opensHang_ = false;
  std::size_t closes_ = 0;
  bool linkOpen_ = false;
  bool gone_ = false;
  std::int32_t selected_ = 0;
  std::vector<std::uint8_t> written_;
  std::vector<std::string> calls_;
};

}  // namespace quillon::testing
