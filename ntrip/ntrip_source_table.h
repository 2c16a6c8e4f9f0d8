// The source-table client behind the Rover's Source button: fetches a caster's source table
// and keeps the mount-point name of every STR record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/settings_record.h"
#include "ntrip/source_table_read.h"
#include "platform/clock.h"
#include "platform/message_sink.h"

namespace quillon {

inline constexpr int kMaxSourceTableNames = 256;
// A name slot: the longest mount point the settings take, and the terminator.
inline constexpr std::size_t kMountPointSlotSize = kMaxMountPointBytes + 1;

using MountPointSlot = std::array<char, kMountPointSlotSize>;

// A user name and password for a caster that protects its source table.
struct TableLogin {
  std::string user;
  std::string password;
};

// What one fetch asks for.
struct TableQuery {
  std::optional<TableLogin> login;       // sent as Basic authorization with each request
  std::size_t limit = kReplyStoreLimit;  // the most bytes of reply kept
  CasterProtocol protocol;               // how the caster is spoken to
  bool insecure = false;                 // TLS without verifying the certificate
};

// How a fetch went.
struct TableFetch {
  TableRead read = TableRead::kNotSent;  // how the last attempt ended
  // For a table that came but ended badly: one sentence saying how; empty otherwise.
  std::string ending;
  // The table's names are kept: it came whole, or ended badly with names in it. When this is
  // false, a box has said why.
  bool listed = false;
};

class CNtripSourceTable {
 public:
  // An empty table.
  CNtripSourceTable();

  // Connects to the caster at `address` (host name, IPv4 or IPv6 address) and `port` (low 16
  // bits), asks for the source table, and keeps the names. With NTRIP version 1 it asks first
  // with the plain request and, when the first reply is no table at all, on a new connection
  // with the fallback request; with version 2 once, with the version 2 request ("GET /"), and
  // reads an "HTTP/1.1 200" answer's body as its head frames it. TLS is not spoken yet: such a
  // fetch says so and asks nothing. A table
  // is read once: one that ends badly (cut off, too large, a NUL byte) keeps the names of its
  // whole lines, and the outcome says how it ended. Every failure that leaves no names is shown
  // in `owner`, with what really happened as the message's detail; a refused login says so in
  // one line. The lookup, the connect and every read are bounded in time through `clock`. When
  // `reply` is given and a table came, it receives the reply as read, every stream of it.
  TableFetch GetSourceTable(MessageSink& owner, std::u16string_view address, std::int32_t port,
                            Clock& clock, const TableQuery& query = {},
                            std::string* reply = nullptr);
  // The same for the caster address, port and protocol of a mode's settings, without a login.
  TableFetch GetSourceTable(MessageSink& owner, const SettingsRecord& settings, Clock& clock);

  int GetCount() const { return count_; }

  // Null for a null buffer. Otherwise the buffer holds the name at `index`, or the empty text
  // when `index` names no filled slot (an index equal to the count included); returns it.
  MountPointSlot* GetMountPoint(int index, MountPointSlot* buffer) const;

  // Fills the table from `store` (read up to its first NUL): the first field of every "STR;"
  // record, found anywhere in the text, in reply order, at most 256. A name ends at the next
  // ";", or at the end of its line or the text when no ";" comes first. Names too long for a
  // slot are left out (cut, they would name another mount point), and so are names with a
  // control character, which no request line can carry. Returns true.
  bool ParseSourceTable(std::string_view store);

 private:
  std::array<MountPointSlot, kMaxSourceTableNames> names_{};
  int count_ = 0;
};

}  // namespace quillon
