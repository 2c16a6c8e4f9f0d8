#include "ntrip/ntrip_source_table.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <new>

#include "common/format.h"
#include "common/guard.h"
#include "common/settings_record.h"
#include "common/strings.h"
#include "common/text.h"
#include "common/wide.h"
#include "net/address.h"
#include "net/caster_socket.h"
#include "net/timed_connect.h"
#include "ntrip/reply.h"
#include "ntrip/requests.h"

namespace quillon {
namespace {

constexpr std::string_view kSourceFile = "ntripsourcetable";
// Room for the address as 8-bit text, terminator included.
constexpr std::size_t kAddressTextSize = 260;

int NewStreamSocket() { return socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0); }

void ShowError(MessageSink& owner, std::u16string text) {
  owner.Show(Message{std::move(text), LoadString(kStrError), MessageIcon::kExclamation,
                     MessageButtons::kOk});
}

// The store's text up to its first NUL.
std::string_view StoredText(std::span<const char> store) {
  const auto end = std::find(store.begin(), store.end(), '\0');
  return std::string_view(store.data(), static_cast<std::size_t>(end - store.begin()));
}

}  // namespace

CNtripSourceTable::CNtripSourceTable() = default;

bool CNtripSourceTable::GetSourceTable(MessageSink& owner, const SettingsRecord& settings,
                                       Clock& clock) {
  return GetSourceTable(owner, FieldText(settings.address), settings.port, clock);
}

bool CNtripSourceTable::GetSourceTable(MessageSink& owner, std::u16string_view address,
                                       std::int32_t port, Clock& clock, std::string* reply) {
  CasterSocket connection;
  sockaddr_in target{};
  bool connected = false;

  Guarded(kSourceFile, __LINE__, [&] {
    char text[kAddressTextSize] = {};
    WideToEightBit(address, text, sizeof text);
    const CasterAddress resolved = ResolveCasterAddress(text);
    if (resolved.kind == AddressKind::kInvalidDotted) {
      ShowError(owner, u"Does not appear to be a valid address?");
      return;
    }
    if (resolved.kind == AddressKind::kUnresolved) {
      ShowError(owner, LoadString(kStrAuthenticationIo));
      return;
    }
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(port));
    target.sin_addr = resolved.address;

    connection.Set(NewStreamSocket());
    if (!connection.IsOpen()) {
      const std::int64_t error = errno;
      ShowError(owner, FormatText(LoadString(kStrCouldNotCreateSocket), {error}));
      return;
    }
    const int error = ConnectWithin(connection.Get(), target, kTableWindowMs, clock);
    if (error != 0) {
      const std::u16string reason = EightBitToWide(SystemErrorText(error));
      ShowError(owner, FormatText(LoadString(kStrConnectionError), {reason}));
      connection.Close();
      return;
    }
    connected = true;
  });
  if (!connected) return false;

  std::unique_ptr<char[]> store;
  bool received = false;
  Guarded(kSourceFile, __LINE__, [&] {
    store.reset(new (std::nothrow) char[kReplyStoreSize]);
    if (!store) return;  // no memory: the fetch ends without a message
    const std::span<char> view(store.get(), kReplyStoreSize);
    received = ReadSourceTable(connection.Get(), view, kSourceTableRequest, clock);
    if (!received) {
      // Casters that do not know the plain request often answer this one.
      connection.Set(NewStreamSocket());
      if (connection.IsOpen() &&
          ConnectWithin(connection.Get(), target, kTableWindowMs, clock) == 0) {
        received = ReadSourceTable(connection.Get(), view, kFallbackSourceTableRequest, clock);
      }
    }
    if (!received) {
      connection.Close();
      ShowError(owner, LoadString(kStrAuthenticationIo));
    }
  });
  if (!received) return false;

  Guarded(kSourceFile, __LINE__, [&] {
    const std::string_view text = StoredText(std::span<const char>(store.get(), kReplyStoreSize));
    ParseSourceTable(text);
    if (reply != nullptr) reply->assign(text);
  });
  return true;
}

MountPointSlot* CNtripSourceTable::GetMountPoint(int index, MountPointSlot* buffer) const {
  if (buffer == nullptr) return nullptr;
  buffer->fill('\0');
  // Only filled slots are copied: an index equal to the count gives the empty text, and no
  // index can reach past the table.
  if (index >= 0 && index < count_) *buffer = names_[static_cast<std::size_t>(index)];
  return buffer;
}

bool CNtripSourceTable::ParseSourceTable(std::string_view store) {
  Guarded(kSourceFile, __LINE__, [&] {
    names_ = {};
    count_ = 0;
    const std::string_view text = store.substr(0, std::min(store.find('\0'), store.size()));
    std::size_t found = text.find(kSourceTableRecordMarker);
    while (found != std::string_view::npos) {
      const std::size_t begin = found + kSourceTableRecordMarker.size();
      const std::size_t end = std::min(text.find_first_of(";\r\n", begin), text.size());
      const std::string_view name = text.substr(begin, end - begin);
      if (name.size() < kMountPointSlotSize) {
        std::copy(name.begin(), name.end(), names_[static_cast<std::size_t>(count_)].begin());
        if (++count_ == kMaxSourceTableNames) break;
      }
      found = text.find(kSourceTableRecordMarker, end);
    }
  });
  return true;
}

bool ReadSourceTable(int socket, std::span<char> store, std::string_view request, Clock& clock) {
  bool complete = false;
  Guarded(kSourceFile, __LINE__, [&] {
    std::fill(store.begin(), store.end(), '\0');
    if (store.size() < 2) return;
    // The last byte is never filled, so the stored text always ends inside the store.
    const std::size_t capacity = store.size() - 1;

    if (send(socket, request.data(), request.size(), MSG_NOSIGNAL) <= 0) return;
    clock.Sleep(kFirstReadDelayMs);

    // The first read waits for the caster's first bytes, but not forever.
    if (clock.WaitReadable(socket, kTableWindowMs) <= 0) return;
    const ssize_t first = recv(socket, store.data(), capacity, MSG_DONTWAIT);
    if (first < 0) return;
    std::size_t used = static_cast<std::size_t>(first);
    if (!ReplyContains(std::string_view(store.data(), used), kSourceTableSuccessToken)) return;

    const std::uint32_t start = clock.TickCount();
    std::uint32_t passed = 0;
    const auto ended = [&] {
      return ReplyContains(std::string_view(store.data(), used), kSourceTableEndToken);
    };
    while (!ended() && passed < kTableWindowMs) {
      if (used == capacity) break;  // a full store can never gain the end marker
      if (clock.WaitReadable(socket, kTableWindowMs - passed) > 0) {
        const ssize_t got = recv(socket, store.data() + used, capacity - used, MSG_DONTWAIT);
        if (got > 0) used += static_cast<std::size_t>(got);
      }
      clock.Sleep(kReadStepMs);
      passed = clock.TickCount() - start;
    }
    complete = ended();
  });
  return complete;
}

}  // namespace quillon
