#include "net/data_connection.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <sys/socket.h>

#include <cstdio>
#include <utility>

#include "common/strings.h"
#include "common/text.h"

namespace quillon {

const char* EntryPointName(ConnMgrEntryPoint entry) {
  switch (entry) {
    case ConnMgrEntryPoint::kConnectionStatus:
      return "ConnMgrConnectionStatus";
    case ConnMgrEntryPoint::kEstablishConnectionSync:
      return "ConnMgrEstablishConnectionSync";
    case ConnMgrEntryPoint::kMapURL:
      return "ConnMgrMapURL";
    case ConnMgrEntryPoint::kReleaseConnection:
      return "ConnMgrReleaseConnection";
  }
  return "";
}

AddressList InterfaceAddresses() {
  AddressList addresses;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0) continue;
    addresses.push_back(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr);
  }
  freeifaddrs(list);
  return addresses;
}

std::optional<std::string> FindOwnAddress(const AddressList& addresses) {
  for (const in_addr& address : addresses) {
    // Network byte order: the first byte in memory is the first of the dotted text.
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address.s_addr);
    const unsigned first = bytes[0];
    if (first == 192 || first == 169 || first == 127 || first == 255) continue;
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[0], bytes[1], bytes[2], bytes[3]);
    return std::string(text);
  }
  return std::nullopt;
}

CDataConnection::CDataConnection(MessageSink& owner, Clock& clock, AddressSource addresses,
                                 ConnectionManager* manager)
    : owner_(owner), clock_(clock), addresses_(std::move(addresses)), manager_(manager) {
  if (manager_ == nullptr) return;
  if (!manager_->Load()) {
    ShowError(u"Could not load library: cellcore.dll");
    return;
  }
  loaded_ = true;
  for (const auto entry :
       {ConnMgrEntryPoint::kConnectionStatus, ConnMgrEntryPoint::kEstablishConnectionSync,
        ConnMgrEntryPoint::kMapURL, ConnMgrEntryPoint::kReleaseConnection}) {
    if (!manager_->HasEntryPoint(entry)) {
      ShowError(u"Could not get function: " + std::u16string(EightBitToWide(EntryPointName(entry))));
      return;
    }
  }
  usable_ = true;
}

CDataConnection::~CDataConnection() {
  if (loaded_) manager_->Unload();
}

bool CDataConnection::OwnAddressCheck() {
  return FindOwnAddress(addresses_ ? addresses_() : AddressList{}).has_value();
}

void CDataConnection::ShowError(const std::u16string& text) {
  owner_.Show(Message{text, LoadString(kStrError), MessageIcon::kExclamation, MessageButtons::kOk});
}

void CDataConnection::EnsureConnected() {
  if (OwnAddressCheck()) return;
  if (!usable_) return;

  std::uint32_t status = 0;
  if (manager_->ConnectionStatus(connection_, status) >= 0 && status == kConnMgrStatusConnected) {
    ShowError(
        u"We don't have a valid IP address, yet Connection manager status says we are "
        u"connected.");
    return;
  }

  const ConnectionInfo info;
  if (manager_->EstablishConnectionSync(info, connection_, kConnectionRequestTimeoutMs, status) <
      0) {
    return;
  }
  clock_.Sleep(kPauseAfterRequestMs);
  OwnAddressCheck();  // the outcome changes nothing: the mode dialog opens either way
}

void CDataConnection::Release() {
  if (!usable_) return;
  manager_->ReleaseConnection(connection_, true);
  connection_ = 0;
}

}  // namespace quillon
