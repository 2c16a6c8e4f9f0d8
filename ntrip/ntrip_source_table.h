// The source-table client behind the Rover's Source button: fetches a caster's source table
// and keeps the mount-point name of every STR record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/message_sink.h"

namespace quillon {

struct SettingsRecord;

inline constexpr int kMaxSourceTableNames = 256;
// A name slot: at most 19 characters and the terminator, as the settings' mount-point field.
inline constexpr std::size_t kMountPointSlotSize = 20;
// The reply store grows as the table arrives, up to this: large public casters list thousands
// of streams in a table of a megabyte or more.
inline constexpr std::size_t kReplyStoreLimit = 4 * 1024 * 1024;
// Wait between sending a request and the first read.
inline constexpr std::uint32_t kFirstReadDelayMs = 2000;
// Time the table has to complete after the first read; also the longest connect.
inline constexpr std::uint32_t kTableWindowMs = 10000;
// Pause between the further reads.
inline constexpr std::uint32_t kReadStepMs = 200;

using MountPointSlot = std::array<char, kMountPointSlotSize>;

class CNtripSourceTable {
 public:
  // An empty table.
  CNtripSourceTable();

  // Connects to the caster at `address` (host name, IPv4 or IPv6 address) and `port` (low 16
  // bits), asks for the source table, first with the plain request and, when that is not answered
  // with a complete table, on a new connection with the fallback request, and keeps the names.
  // Every failure is shown in `owner`, with what really happened as the message's detail; the
  // table then stays empty. The lookup, the connect and every read are bounded in time through
  // `clock`. Returns true when a table was received (it may hold no names). When `reply` is
  // given, it receives the received table text, every stream of it.
  bool GetSourceTable(MessageSink& owner, std::u16string_view address, std::int32_t port,
                      Clock& clock, std::string* reply = nullptr);
  // The same for the caster address and port of a mode's settings.
  bool GetSourceTable(MessageSink& owner, const SettingsRecord& settings, Clock& clock);

  int GetCount() const { return count_; }

  // Null for a null buffer. Otherwise the buffer holds the name at `index`, or the empty text
  // when `index` names no filled slot (an index equal to the count included); returns it.
  MountPointSlot* GetMountPoint(int index, MountPointSlot* buffer) const;

  // Fills the table from `store` (read up to its first NUL): the first field of every "STR;"
  // record, found anywhere in the text, in reply order, at most 256. A name ends at the next
  // ";", or at the end of its line or the text when no ";" comes first. Names too long for a
  // slot are left out: cut, they would name another mount point. Returns true.
  bool ParseSourceTable(std::string_view store);

 private:
  std::array<MountPointSlot, kMaxSourceTableNames> names_{};
  int count_ = 0;
};

enum class TableRead {
  kComplete,    // the end marker arrived
  kNotSent,     // the request could not be sent
  kNoReply,     // nothing came within the window, or the caster closed at once
  kNotATable,   // the first read did not hold the status token
  kIncomplete,  // no end marker within the window
  kTooLarge,    // the table outgrew the store's limit
};

// One request on a connected `socket`: empties `store`, sends `request`, waits 2000 ms, then
// reads. The first read must hold "SOURCETABLE 200 OK"; further reads, 200 ms apart, each take
// what has arrived and gather the reply until "ENDSOURCETABLE" arrives or 10000 ms have passed
// since the first read. The store grows with the reply, up to `limit` bytes. A fault inside
// counts as a failed attempt (kIncomplete); `store` then holds what had come.
TableRead ReadSourceTable(int socket, std::string& store, std::string_view request, Clock& clock,
                          std::size_t limit = kReplyStoreLimit);

// What a failed attempt tells the user, as one sentence; `store` is what came.
std::string DescribeTableRead(TableRead result, std::string_view store);

}  // namespace quillon
