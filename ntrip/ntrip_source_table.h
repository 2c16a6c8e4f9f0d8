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
#include "platform/wait_step.h"

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
  std::optional<TableLogin> login;  // sent as Basic authorization with each request
  CasterProtocol protocol;          // how the caster is spoken to
  bool insecure = false;            // TLS without verifying the certificate
  StopRequested stop;               // seen within a step of every wait: the fetch gives up
};

// Why a fetch keeps no names.
enum class TableProblem {
  kNone,          // the names are kept: the table came whole, or ended badly with names in it
  kStopped,       // the query's stop asked to give up
  kNotConnected,  // the address is none, the name did not resolve, or the socket or connect failed
  kTlsFailed,     // connected, but TLS was not established
  kLoginNeeded,   // the caster asks for a login, or refused the one sent
  kNoTable,       // no source table came, or one that ended badly without a name in it
};

// How a fetch went.
struct TableFetch {
  TableRead read = TableRead::kNotSent;  // how the last attempt ended
  // For a table that came but ended badly: one sentence saying how; empty otherwise.
  std::string ending;
  TableProblem problem = TableProblem::kNoTable;
  std::u16string text;    // a problem's message for the user
  std::u16string detail;  // what really happened, where the message cannot say it

  bool Listed() const { return problem == TableProblem::kNone; }
};

class CNtripSourceTable {
 public:
  // An empty table.
  CNtripSourceTable();

  // Connects to the caster at `address` (host name, IPv4 or IPv6 address) and `port` (low 16
  // bits), asks for the source table, and keeps the names. With NTRIP version 1 it asks first
  // with the plain request and, when the first reply is no table at all, on a new connection
  // with the fallback request; with version 2 once, with the version 2 request ("GET /"), and
  // reads an "HTTP/1.1 200" answer's body as its head frames it; over TLS when the protocol says
  // so. A table is read once: one that ends badly (cut off, too large, a NUL byte) keeps the names
  // of its whole lines, and the outcome says how it ended. A fetch that keeps no names says why,
  // with what really happened as the detail; the reply that ended the last attempt decides what
  // is said, and a refused login says so in one line. The lookup, the connect and every read are
  // bounded in time through `clock`, and end at the query's stop. When `reply` is given and a table
  // came, it receives the reply as read, every stream of it.
  TableFetch GetSourceTable(std::u16string_view address, std::int32_t port, Clock& clock,
                            const TableQuery& query = {}, std::string* reply = nullptr);
  // The same for the caster address, port and protocol of a mode's settings, without a login.
  TableFetch GetSourceTable(const SettingsRecord& settings, Clock& clock);

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
  // Says in `fetch` how the last attempt, which ended with `result` and left `store` (and, for
  // kBadBody, `fault`), went; a table that came is parsed.
  void Conclude(TableFetch& fetch, TableRead result, std::string_view store, std::string_view fault,
                bool loginSent);

  std::array<MountPointSlot, kMaxSourceTableNames> names_{};
  int count_ = 0;
};

}  // namespace quillon
