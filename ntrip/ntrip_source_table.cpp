#include "ntrip/ntrip_source_table.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/format.h"
#include "common/guard.h"
#include "common/settings_record.h"
#include "common/strings.h"
#include "common/text.h"
#include "common/wide.h"
#include "net/address.h"
#include "net/caster_connection.h"
#include "net/caster_socket.h"
#include "ntrip/reply.h"
#include "ntrip/requests.h"

namespace quillon {
namespace {

constexpr std::string_view kSourceFile = "ntripsourcetable";
// Room for the address as 8-bit text, terminator included.
constexpr std::size_t kAddressTextSize = 260;
// Bytes taken from the socket by one read.
constexpr std::size_t kReadChunk = 64 * 1024;

void ShowError(MessageSink& owner, std::u16string text, std::u16string detail = {}) {
  owner.Show(Message{std::move(text), LoadString(kStrError), MessageIcon::kExclamation,
                     MessageButtons::kOk, std::move(detail)});
}

// One read of what has arrived, at most `room` bytes, appended to `store`: the count, 0 when
// the caster has closed, -1 when nothing was waiting or the read failed.
ssize_t ReadOnce(int socket, std::string& store, std::size_t room) {
  const std::size_t before = store.size();
  store.resize(before + room);
  const ssize_t got = recv(socket, store.data() + before, room, MSG_DONTWAIT);
  store.resize(before + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
  return got;
}

// Everything that has arrived, up to `limit` bytes in the store.
void ReadAvailable(int socket, std::string& store, std::size_t limit) {
  while (store.size() < limit &&
         ReadOnce(socket, store, std::min(kReadChunk, limit - store.size())) > 0) {
  }
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
  CasterConnect connected;
  Guarded(kSourceFile, __LINE__, [&] {
    char text[kAddressTextSize] = {};
    WideToEightBit(address, text, sizeof text);
    connected = ConnectToCaster(text, port, connection, clock, kTableWindowMs);
    switch (connected.step) {
      case ConnectStep::kConnected:
      case ConnectStep::kStopped:  // nothing asks this fetch to stop
        break;
      case ConnectStep::kInvalidAddress:
        ShowError(owner, u"Does not appear to be a valid address?");
        break;
      case ConnectStep::kUnresolved:
        ShowError(owner, LoadString(kStrAuthenticationIo), UnresolvedNameDetail(text));
        break;
      case ConnectStep::kNoSocket:
        ShowError(owner, FormatText(LoadString(kStrCouldNotCreateSocket),
                                    {std::int64_t{connected.error}}));
        break;
      case ConnectStep::kConnectFailed:
        ShowError(owner, ConnectionErrorText(connected.error));
        connection.Close();
        break;
    }
  });
  if (connected.step != ConnectStep::kConnected) return false;

  std::string store;
  bool received = false;
  Guarded(kSourceFile, __LINE__, [&] {
    TableRead result = ReadSourceTable(connection.Get(), store, kSourceTableRequest, clock);
    std::string problem = DescribeTableRead(result, store);
    if (result != TableRead::kComplete) {
      // Casters that do not know the plain request often answer this one.
      if (ConnectToAddress(connected.peer, port, connection, clock, kTableWindowMs)
              .step == ConnectStep::kConnected) {
        result = ReadSourceTable(connection.Get(), store, kFallbackSourceTableRequest, clock);
        problem = DescribeTableRead(result, store);
      }
    }
    received = result == TableRead::kComplete;
    if (!received) {
      connection.Close();
      ShowError(owner, LoadString(kStrAuthenticationIo), EightBitToWide(problem));
    }
  });
  if (!received) return false;

  Guarded(kSourceFile, __LINE__, [&] {
    const std::string_view text = std::string_view(store).substr(0, store.find('\0'));
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

TableRead ReadSourceTable(int socket, std::string& store, std::string_view request, Clock& clock,
                          std::size_t limit) {
  TableRead result = TableRead::kIncomplete;
  Guarded(kSourceFile, __LINE__, [&] {
    store.clear();
    if (SendWithin(socket, request, clock, kTableWindowMs) != 0) {
      result = TableRead::kNotSent;
      return;
    }
    clock.Sleep(kFirstReadDelayMs);

    // The first read waits for the caster's first bytes, but not forever.
    result = TableRead::kNoReply;
    if (clock.WaitReadable(socket, kTableWindowMs) <= 0) return;
    if (ReadOnce(socket, store, std::min(kReadChunk, limit)) <= 0) return;
    result = TableRead::kNotATable;
    if (!ReplyContains(store, kSourceTableSuccessToken)) return;

    result = TableRead::kIncomplete;
    const std::uint32_t start = clock.TickCount();
    std::uint32_t passed = 0;
    while (!ReplyContains(store, kSourceTableEndToken) && passed < kTableWindowMs) {
      if (store.size() >= limit) {
        result = TableRead::kTooLarge;
        return;
      }
      if (clock.WaitReadable(socket, kTableWindowMs - passed) > 0) {
        ReadAvailable(socket, store, limit);
      }
      clock.Sleep(kReadStepMs);
      passed = clock.TickCount() - start;
    }
    if (ReplyContains(store, kSourceTableEndToken)) result = TableRead::kComplete;
  });
  return result;
}

std::string DescribeTableRead(TableRead result, std::string_view store) {
  switch (result) {
    case TableRead::kComplete:
      return {};
    case TableRead::kNotSent:
      return "The request could not be sent.";
    case TableRead::kNoReply:
    case TableRead::kNotATable:
      return DescribeCasterReply(store);
    case TableRead::kIncomplete:
      return "The source table did not end within " + std::to_string(kTableWindowMs / 1000) +
             " seconds.";
    case TableRead::kTooLarge:
      return "The source table is larger than " + std::to_string(kReplyStoreLimit >> 20) + " MB.";
  }
  return {};
}

}  // namespace quillon
