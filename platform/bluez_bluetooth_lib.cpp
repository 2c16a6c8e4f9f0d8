#include "platform/bluez_bluetooth_lib.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <optional>
#include <utility>

#include "common/guard.h"
#include "common/settings_file.h"
#include "platform/settings_folder.h"
#include "platform/system_error.h"
#include "platform/wait_step.h"

namespace quillon {

// RFCOMM channels are numbered 1 to 30.
constexpr std::int32_t kLastRfcommChannel = 30;

// One RFCOMM socket, shared by whoever is using it: the descriptor is closed when the last user
// lets go, so a Close on another thread never hands its number to a new file under a read.
class BluezBluetoothLib::Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() { ::close(fd_); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  int fd() const { return fd_; }
  // Ends every blocking call on the socket at once.
  void Shutdown() { ::shutdown(fd_, SHUT_RDWR); }

  std::atomic<bool> gone{false};

 private:
  const int fd_;
};

BluezBluetoothLib::BluezBluetoothLib(std::unique_ptr<BluetoothAdapter> adapter, Clock& clock,
                                     std::filesystem::path deviceFile)
    : adapter_(std::move(adapter)),
      clock_(clock),
      deviceFile_(std::move(deviceFile)),
      known_(LoadKnownBluetoothDevices(deviceFile_)) {}

BluezBluetoothLib::~BluezBluetoothLib() { Close(); }

bool BluezBluetoothLib::IsUsable() { return adapter_->Present(); }

bool BluezBluetoothLib::IsRadioOn() { return adapter_->Present() && adapter_->Up(); }

bool BluezBluetoothLib::Discover() {
  std::vector<BluetoothDevice> found;
  if (!adapter_->Present() || !adapter_->Inquire(found)) return false;
  std::lock_guard lock(mutex_);
  std::optional<BluetoothAddress> selected;
  if (known_.selected >= 0)
    selected = known_.devices[static_cast<std::size_t>(known_.selected)].address;
  known_.devices = std::move(found);
  known_.selected = -1;
  for (std::size_t i = 0; selected && i < known_.devices.size(); ++i) {
    if (known_.devices[i].address == *selected) known_.selected = static_cast<std::int32_t>(i);
  }
  SaveLocked();
  return true;
}

std::int32_t BluezBluetoothLib::DeviceCount() {
  std::lock_guard lock(mutex_);
  return static_cast<std::int32_t>(known_.devices.size());
}

bool BluezBluetoothLib::ReadDevice(std::int32_t index, std::u16string& name) {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= known_.devices.size()) return false;
  name = known_.devices[static_cast<std::size_t>(index)].name;
  return true;
}

void BluezBluetoothLib::SelectDevice(std::int32_t index) {
  std::lock_guard lock(mutex_);
  if (index < 0 || static_cast<std::size_t>(index) >= known_.devices.size()) return;
  known_.selected = index;
  SaveLocked();
}

std::int32_t BluezBluetoothLib::SelectedDevice() {
  std::lock_guard lock(mutex_);
  return known_.selected;
}

void BluezBluetoothLib::SaveLocked() {
  if (!SaveKnownBluetoothDevices(deviceFile_, known_)) {
    Trace(deviceFile_.string() + ": could not be written, known devices kept for this run only");
  }
}

bool BluezBluetoothLib::Failed(std::string why) {
  std::lock_guard lock(mutex_);
  openFailure_ = std::move(why);
  return false;
}

std::string BluezBluetoothLib::OpenFailure() {
  std::lock_guard lock(mutex_);
  return openFailure_;
}

bool BluezBluetoothLib::Open(std::int32_t device, std::int32_t port) {
  Close();
  if (port < 1 || port > kLastRfcommChannel) return Failed("No Bluetooth port was chosen.");
  BluetoothAddress address;
  {
    std::lock_guard lock(mutex_);
    openFailure_.clear();
    if (device < 0 || static_cast<std::size_t>(device) >= known_.devices.size()) {
      openFailure_ = "The chosen Bluetooth device is not in the list.";
      return false;
    }
    address = known_.devices[static_cast<std::size_t>(device)].address;
  }
  const int fd = adapter_->NewRfcommSocket();
  if (fd < 0) return Failed("Bluetooth: " + SystemErrorText(errno) + ".");
  const auto socket = std::make_shared<Socket>(fd);
  {
    std::lock_guard lock(mutex_);
    connecting_ = socket;
  }
  int error = adapter_->StartRfcommConnect(fd, address, static_cast<std::uint8_t>(port));
  if (error == EINPROGRESS) {
    error = AwaitConnect(clock_, fd, kRfcommConnectLimitMs, [&] {
      std::lock_guard lock(mutex_);
      return connecting_ != socket;  // closed meanwhile
    });
  }
  {
    std::lock_guard lock(mutex_);
    const bool closed = connecting_ != socket;
    if (!closed) connecting_.reset();
    if (closed) error = ECANCELED;
    if (error == 0) {
      // Reads and writes rely on a blocking socket again.
      const int flags = ::fcntl(fd, F_GETFL);
      if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
      link_ = socket;
      ready_.Add(fd);
      return true;
    }
  }
  return Failed(error == ECANCELED ? "The Bluetooth link was closed while it connected."
                                   : "Bluetooth: " + SystemErrorText(error) + ".");
}

void BluezBluetoothLib::Close() {
  std::lock_guard lock(mutex_);
  if (link_) ready_.Remove(link_->fd());
  for (auto* socket : {&connecting_, &link_}) {
    if (*socket) (*socket)->Shutdown();
    socket->reset();
  }
}

std::shared_ptr<BluezBluetoothLib::Socket> BluezBluetoothLib::CurrentLink() {
  std::lock_guard lock(mutex_);
  return link_;
}

std::int32_t BluezBluetoothLib::Read(std::uint8_t* buffer, std::size_t capacity) {
  const auto socket = CurrentLink();
  if (!socket) return 0;
  if (socket->gone) return -1;
  if (buffer == nullptr || capacity == 0) return 0;
  capacity = std::min<std::size_t>(capacity, std::numeric_limits<std::int32_t>::max());
  if (clock_.WaitReadable(socket->fd(), kBluetoothReadWaitMs) <= 0) return 0;
  const ssize_t received = ::recv(socket->fd(), buffer, capacity, MSG_DONTWAIT);
  if (received > 0) return static_cast<std::int32_t>(received);
  if (received < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
  socket->gone = true;  // end of stream or a broken link: the device has gone
  return -1;
}

bool BluezBluetoothLib::Write(const std::uint8_t* bytes, std::size_t count) {
  const auto socket = CurrentLink();
  if (!socket || socket->gone) return false;
  std::size_t sent = 0;
  while (sent < count) {
    const ssize_t result = ::send(socket->fd(), bytes + sent, count - sent, MSG_NOSIGNAL);
    if (result < 0 && errno == EINTR) continue;
    if (result <= 0) {
      socket->gone = true;
      return false;
    }
    sent += static_cast<std::size_t>(result);
  }
  return true;
}

std::unique_ptr<BluetoothLib> MakeSystemBluetoothLib() {
  return std::make_unique<BluezBluetoothLib>(
      MakeBluezAdapter(), RealClock(),
      SettingsFilePath(SettingsFolder(), kKnownBluetoothDevicesFile));
}

}  // namespace quillon
