// libbluetooth (BlueZ) lives in this file only: its headers are C and clash with little else,
// but the rest of the program never needs them. The library is loaded at the first question to
// the adapter's controller; RFCOMM and the list of adapters need only the kernel's sockets.
#include <bluetooth/bluetooth.h>
#include <bluetooth/hci.h>
#include <bluetooth/hci_lib.h>
#include <bluetooth/rfcomm.h>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <set>
#include <vector>

#include "common/text.h"
#include "platform/bluetooth_adapter.h"
#include "platform/loaded_library.h"

namespace quillon {
namespace {

#define QUILLON_BLUEZ_FUNCTIONS(F) \
  F(hci_devinfo)                   \
  F(hci_get_route)                 \
  F(hci_inquiry)                   \
  F(hci_open_dev)                  \
  F(hci_read_remote_name)          \
  F(bt_free)

QUILLON_LIBRARY_API(Bluez, QUILLON_BLUEZ_FUNCTIONS);

const Bluez* LoadBluez() { return LoadLibraryApi<Bluez>("libbluetooth.so.3"); }

// 8 x 1.28 s: the usual length of an inquiry, long enough for receivers that answer slowly.
constexpr int kInquiryLength = 8;
constexpr int kMaxResponses = 255;
// Per device; the controller gives up by itself if the device has gone meanwhile.
constexpr int kNameTimeoutMs = 25000;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

BluetoothAddress FromBdaddr(const bdaddr_t& raw) {
  BluetoothAddress address{};
  for (std::size_t i = 0; i < address.size(); ++i) address[i] = raw.b[address.size() - 1 - i];
  return address;
}

bdaddr_t ToBdaddr(const BluetoothAddress& address) {
  bdaddr_t raw{};
  for (std::size_t i = 0; i < address.size(); ++i) raw.b[address.size() - 1 - i] = address[i];
  return raw;
}

class BluezAdapter final : public BluetoothAdapter {
 public:
  bool Present() override { return FirstAdapter() >= 0; }

  bool Up() override {
    const int id = FirstAdapter();
    const Bluez* api = LoadBluez();
    if (id < 0 || api == nullptr) return false;
    hci_dev_info info{};
    return api->hci_devinfo(id, &info) == 0 && hci_test_bit(HCI_UP, &info.flags);
  }

  bool Inquire(std::vector<BluetoothDevice>& found) override {
    found.clear();
    const Bluez* api = LoadBluez();
    if (api == nullptr) return false;
    const int id = api->hci_get_route(nullptr);  // the first adapter that is up
    if (id < 0) return false;
    inquiry_info* responses = nullptr;
    const int count = api->hci_inquiry(id, kInquiryLength, kMaxResponses, nullptr, &responses,
                                       IREQ_CACHE_FLUSH);
    if (count < 0) {
      api->bt_free(responses);
      return false;
    }
    Descriptor hci(api->hci_open_dev(id));
    std::set<BluetoothAddress> seen;
    for (int i = 0; i < count; ++i) {
      const BluetoothAddress address = FromBdaddr(responses[i].bdaddr);
      if (!seen.insert(address).second) continue;  // answered the inquiry more than once
      // Remote names are UTF-8 on the air, as the program's 8-bit text is.
      std::array<char, HCI_MAX_NAME_LENGTH + 1> name{};
      const bool named = hci.get() >= 0 &&
                         api->hci_read_remote_name(hci.get(), &responses[i].bdaddr,
                                                   HCI_MAX_NAME_LENGTH, name.data(),
                                                   kNameTimeoutMs) == 0 &&
                         name[0] != '\0';
      found.push_back(
          {address, named ? std::u16string(EightBitToWide(name.data())) : AddressText(address)});
    }
    api->bt_free(responses);
    return true;
  }

  int NewRfcommSocket() override {
    return ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC, BTPROTO_RFCOMM);
  }

  int StartRfcommConnect(int socket, const BluetoothAddress& address,
                         std::uint8_t channel) override {
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0 || ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) != 0) return errno;
    sockaddr_rc remote{};
    remote.rc_family = AF_BLUETOOTH;
    remote.rc_bdaddr = ToBdaddr(address);
    remote.rc_channel = channel;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&remote), sizeof remote) == 0) return 0;
    return errno;
  }

 private:
  // The id of the first adapter the kernel knows, powered or not; -1 when none.
  static int FirstAdapter() {
    Descriptor control(::socket(AF_BLUETOOTH, SOCK_RAW | SOCK_CLOEXEC, BTPROTO_HCI));
    if (control.get() < 0) return -1;
    // The request ends in a flexible array: give it room for every adapter the kernel allows.
    std::vector<std::uint8_t> buffer(offsetof(hci_dev_list_req, dev_req) +
                                     HCI_MAX_DEV * sizeof(hci_dev_req));
    const std::uint16_t room = HCI_MAX_DEV;
    std::memcpy(buffer.data() + offsetof(hci_dev_list_req, dev_num), &room, sizeof room);
    if (::ioctl(control.get(), HCIGETDEVLIST, buffer.data()) < 0) return -1;
    std::uint16_t count = 0;
    std::memcpy(&count, buffer.data() + offsetof(hci_dev_list_req, dev_num), sizeof count);
    if (count == 0) return -1;
    hci_dev_req first{};
    std::memcpy(&first, buffer.data() + offsetof(hci_dev_list_req, dev_req), sizeof first);
    return first.dev_id;
  }
};

}  // namespace

std::unique_ptr<BluetoothAdapter> MakeBluezAdapter() { return std::make_unique<BluezAdapter>(); }

}  // namespace quillon
