// The device's data connection, brought up before a mode dialog opens and handed back after it
// closes. On Linux the system manages the bearer itself: there is no connection manager to load
// or ask, so a CDataConnection without one only looks for an own address. With a
// ConnectionManager (tests) the whole bring-up runs: status, request, pause, second look, release.
#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/message_sink.h"

namespace quillon {

// Result codes of the manager's calls: negative values are failures.
using ManagerResult = std::int32_t;
// A manager's connection handle; 0 when there is none.
using ConnectionHandle = std::uintptr_t;

inline constexpr std::uint32_t kConnMgrStatusConnected = 0x10;
inline constexpr std::uint32_t kConnMgrParamGuidDestNet = 0x1;
inline constexpr std::uint32_t kConnMgrFlagProxyHttp = 0x1;
inline constexpr std::uint32_t kConnMgrPriorityUserInteractive = 0x8000;
inline constexpr std::uint32_t kConnectionRequestTimeoutMs = 60000;
inline constexpr std::uint32_t kPauseAfterRequestMs = 2000;

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  bool operator==(const Guid&) const = default;
};

// The Internet destination network, {436EF144-B4FB-4863-A041-8F905A62C572}.
inline constexpr Guid kDestNetInternet{
    0x436EF144, 0xB4FB, 0x4863, {0xA0, 0x41, 0x8F, 0x90, 0x5A, 0x62, 0xC5, 0x72}};

// The connection request record (CONNMGR_CONNECTIONINFO), with the values of every request.
struct ConnectionInfo {
  std::uint32_t cbSize = 64;
  std::uint32_t dwParams = kConnMgrParamGuidDestNet;
  std::uint32_t dwFlags = kConnMgrFlagProxyHttp;
  std::uint32_t dwPriority = kConnMgrPriorityUserInteractive;
  bool bExclusive = false;
  bool bDisabled = false;
  Guid guidDestNet = kDestNetInternet;
  std::uintptr_t hWnd = 0;  // no notifications
  std::uint32_t uMsg = 0;
  std::intptr_t lParam = 0;
  std::uint32_t ulMaxCost = 0;
  std::uint32_t ulMinRcvBw = 0;
  std::uint32_t ulMaxConnLatency = 0;
};

// The four entry points, in the order they are resolved.
enum class ConnMgrEntryPoint {
  kConnectionStatus,
  kEstablishConnectionSync,
  kMapURL,
  kReleaseConnection,
};

// The entry point's name as the messages show it, such as "ConnMgrConnectionStatus".
const char* EntryPointName(ConnMgrEntryPoint entry);

// A platform connection manager, loaded for one run of a mode dialog.
class ConnectionManager {
 public:
  virtual ~ConnectionManager() = default;

  // Loads the manager's library; false when it is missing.
  virtual bool Load() = 0;
  // Unloads it; called once, only after a successful Load.
  virtual void Unload() = 0;
  // True when the loaded library has `entry`.
  virtual bool HasEntryPoint(ConnMgrEntryPoint entry) = 0;

  // ConnMgrConnectionStatus: the status of `connection` (0 on a fresh object) into `status`.
  virtual ManagerResult ConnectionStatus(ConnectionHandle connection, std::uint32_t& status) = 0;
  // ConnMgrEstablishConnectionSync: asks for a connection, waiting up to `timeoutMs`; the
  // handle goes into `connection`, the final status into `status`.
  virtual ManagerResult EstablishConnectionSync(const ConnectionInfo& info,
                                                ConnectionHandle& connection,
                                                std::uint32_t timeoutMs,
                                                std::uint32_t& status) = 0;
  // ConnMgrReleaseConnection: hands `connection` back; with `cache` the manager may keep the
  // bearer up for a while.
  virtual ManagerResult ReleaseConnection(ConnectionHandle connection, bool cache) = 0;
  // ConnMgrMapURL is looked for, and its absence reported, but it is never called.
};

// The host's IPv4 addresses (network byte order), in the order the interfaces are listed.
using AddressList = std::vector<in_addr>;
using AddressSource = std::function<AddressList()>;

// The IPv4 addresses of the interfaces that are up, in interface order (getifaddrs).
AddressList InterfaceAddresses();

// The device's own address: the first address whose first byte is not 192, 169, 127 or 255
// (only the first byte counts), as "a.b.c.d"; nothing when every address is filtered out.
std::optional<std::string> FindOwnAddress(const AddressList& addresses);

class CDataConnection {
 public:
  // `manager` null: the Linux case, nothing to load and nothing shown. Otherwise loads the
  // manager and checks its entry points in order, showing the first failure in `owner`.
  // `manager`, `owner`, `clock` must outlive the object.
  CDataConnection(MessageSink& owner, Clock& clock, AddressSource addresses = InterfaceAddresses,
                  ConnectionManager* manager = nullptr);
  ~CDataConnection();

  CDataConnection(const CDataConnection&) = delete;
  CDataConnection& operator=(const CDataConnection&) = delete;

  // Stops at once when the device has an own address. Otherwise (with a usable manager) asks
  // the status, shows a message when the manager says connected, else requests a connection,
  // pauses 2000 ms and looks for an own address once more. The outcome is not reported: a
  // session without a bearer fails in its own connect.
  void EnsureConnected();

  // Hands the connection back with caching allowed (a null handle when none was requested).
  void Release();

 private:
  bool OwnAddressCheck();
  void ShowError(const std::u16string& text);

  MessageSink& owner_;
  Clock& clock_;
  AddressSource addresses_;
  ConnectionManager* manager_;
  bool loaded_ = false;
  // True only when the library loaded and every entry point is there: a missing one is never
  // called, so without all of them the manager is not used at all.
  bool usable_ = false;
  ConnectionHandle connection_ = 0;
};

}  // namespace quillon
