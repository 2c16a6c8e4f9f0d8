#include "testing/fake_bluetooth_lib.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace quillon::testing {

// How long one link read waits for the first byte, as the serial device does.
constexpr std::uint32_t kReadWaitMs = 20;

FakeBluetoothLib::FakeBluetoothLib(Clock& clock)
    : clock_(clock), goneFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (pipe2(pipe_, O_NONBLOCK | O_CLOEXEC) != 0) pipe_[0] = pipe_[1] = -1;
}

FakeBluetoothLib::~FakeBluetoothLib() {
  for (int fd : {pipe_[0], pipe_[1], goneFd_}) {
    if (fd >= 0) close(fd);
  }
}

void FakeBluetoothLib::Record(std::string call) {
  std::lock_guard lock(mutex_);
  if (call == "Close") ++closes_;
  calls_.push_back(std::move(call));
  calls_changed_.notify_all();
}

bool FakeBluetoothLib::Discover() {
  Record("Discover");
  std::function<void()> action;
  {
    std::lock_guard lock(mutex_);
    action = whileDiscovering_;
  }
  if (action) action();
  std::lock_guard lock(mutex_);
  if (!discoverySucceeds_) return false;
  if (discovered_) devices_ = *discovered_;
  return true;
}

bool FakeBluetoothLib::Open(std::int32_t device, std::int32_t port) {
  Record("Open(" + std::to_string(device) + "," + std::to_string(port) + ")");
  std::function<void()> before;
  {
    std::lock_guard lock(mutex_);
    before = beforeOpen_;
  }
  if (before) before();
  std::unique_lock lock(mutex_);
  if (opensHang_) {
    const std::size_t closes = closes_;
    calls_changed_.wait(lock, [&] { return closes_ > closes; });
    return false;
  }
  const bool known = device >= 0 && device < static_cast<std::int32_t>(devices_.size());
  linkOpen_ = openSucceeds_ && known;
  if (linkOpen_) {
    gone_ = false;
    std::uint64_t signalled = 0;
    [[maybe_unused]] const ssize_t cleared = read(goneFd_, &signalled, sizeof signalled);
    ready_.Add(pipe_[0]);
    ready_.Add(goneFd_);
  }
  return linkOpen_;
}

std::int32_t FakeBluetoothLib::DeviceCount() {
  Record("DeviceCount");
  std::lock_guard lock(mutex_);
  return static_cast<std::int32_t>(devices_.size());
}

bool FakeBluetoothLib::ReadDevice(std::int32_t index, std::u16string& name) {
  Record("ReadDevice(" + std::to_string(index) + ")");
  std::lock_guard lock(mutex_);
  if (index < 0 || index >= static_cast<std::int32_t>(devices_.size())) return false;
  const Device& device = devices_[static_cast<std::size_t>(index)];
  if (!device.readable) return false;
  name = device.name;
  return true;
}

void FakeBluetoothLib::Close() {
  Record("Close");
  std::lock_guard lock(mutex_);
  linkOpen_ = false;
  ready_.Remove(pipe_[0]);
  ready_.Remove(goneFd_);
}

bool FakeBluetoothLib::IsUsable() {
  Record("IsUsable");
  std::lock_guard lock(mutex_);
  return usable_;
}

bool FakeBluetoothLib::Write(const std::uint8_t* bytes, std::size_t count) {
  Record("Write(" + std::to_string(count) + ")");
  std::lock_guard lock(mutex_);
  if (!linkOpen_ || gone_) return false;
  written_.insert(written_.end(), bytes, bytes + count);
  written_changed_.notify_all();
  return true;
}

std::int32_t FakeBluetoothLib::Read(std::uint8_t* buffer, std::size_t capacity) {
  Record("Read(" + std::to_string(capacity) + ")");
  {
    std::lock_guard lock(mutex_);
    if (!linkOpen_) return 0;
    if (gone_) return -1;
  }
  if (capacity == 0 || clock_.WaitReadable(pipe_[0], kReadWaitMs) <= 0) return 0;
  std::lock_guard lock(mutex_);
  if (!linkOpen_) return 0;
  const ssize_t count = read(pipe_[0], buffer, capacity);
  return count > 0 ? static_cast<std::int32_t>(count) : 0;
}

void FakeBluetoothLib::SelectDevice(std::int32_t index) {
  Record("SelectDevice(" + std::to_string(index) + ")");
  std::lock_guard lock(mutex_);
  selected_ = index;
}

std::int32_t FakeBluetoothLib::SelectedDevice() {
  Record("SelectedDevice");
  std::lock_guard lock(mutex_);
  return selected_;
}

bool FakeBluetoothLib::IsRadioOn() {
  Record("IsRadioOn");
  std::lock_guard lock(mutex_);
  return radioOn_;
}

void FakeBluetoothLib::SetDevices(std::vector<Device> devices) {
  std::lock_guard lock(mutex_);
  devices_ = std::move(devices);
}

void FakeBluetoothLib::SetDiscovery(bool succeeds, std::vector<Device> found) {
  std::lock_guard lock(mutex_);
  discoverySucceeds_ = succeeds;
  discovered_ = std::move(found);
}

void FakeBluetoothLib::WhileDiscovering(std::function<void()> action) {
  std::lock_guard lock(mutex_);
  whileDiscovering_ = std::move(action);
}

void FakeBluetoothLib::SetRadioOn(bool on) {
  std::lock_guard lock(mutex_);
  radioOn_ = on;
}

void FakeBluetoothLib::SetUsable(bool usable) {
  std::lock_guard lock(mutex_);
  usable_ = usable;
}

void FakeBluetoothLib::SetOpenSucceeds(bool succeeds, std::string failure) {
  std::lock_guard lock(mutex_);
  openSucceeds_ = succeeds;
  openFailure_ = std::move(failure);
}

std::string FakeBluetoothLib::OpenFailure() {
  std::lock_guard lock(mutex_);
  return openFailure_;
}

void FakeBluetoothLib::BeforeOpen(std::function<void()> action) {
  std::lock_guard lock(mutex_);
  beforeOpen_ = std::move(action);
}

void FakeBluetoothLib::SetOpensHang(bool hang) {
  std::lock_guard lock(mutex_);
  opensHang_ = hang;
}

bool FakeBluetoothLib::WaitForCalls(const std::string& prefix, std::size_t count, int realMs) {
  std::unique_lock lock(mutex_);
  return calls_changed_.wait_for(lock, std::chrono::milliseconds(realMs), [&] {
    return std::count_if(calls_.begin(), calls_.end(), [&](const std::string& call) {
             return call.compare(0, prefix.size(), prefix) == 0;
           }) >= static_cast<std::ptrdiff_t>(count);
  });
}

void FakeBluetoothLib::SendToProgram(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = write(pipe_[1], bytes.data() + done, bytes.size() - done);
    if (count > 0) {
      done += static_cast<std::size_t>(count);
    } else if (count < 0 && errno == EAGAIN) {
      // The program has not read enough yet; wait for room.
      pollfd entry{pipe_[1], POLLOUT, 0};
      poll(&entry, 1, 100);
    } else if (count < 0 && errno != EINTR) {
      return;
    }
  }
}

std::vector<std::uint8_t> FakeBluetoothLib::TakeWritten() {
  std::lock_guard lock(mutex_);
  std::vector<std::uint8_t> taken;
  taken.swap(written_);
  return taken;
}

bool FakeBluetoothLib::WaitForWritten(std::size_t count, int realMs) {
  std::unique_lock lock(mutex_);
  return written_changed_.wait_for(lock, std::chrono::milliseconds(realMs),
                                   [&] { return written_.size() >= count; });
}

void FakeBluetoothLib::Disappear() {
  std::lock_guard lock(mutex_);
  gone_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t signalled = write(goneFd_, &one, sizeof one);
}

std::size_t FakeBluetoothLib::CountCalls(const std::string& prefix) const {
  std::lock_guard lock(mutex_);
  std::size_t count = 0;
  for (const auto& call : calls_) {
    if (call.compare(0, prefix.size(), prefix) == 0) ++count;
  }
  return count;
}

}  // namespace quillon::testing
