// One source-table request on a connected socket: how the caster's answer is read, and how it
// is judged to have ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "net/caster_stream.h"
#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

// The reply store grows as the table arrives, up to this: large public casters list thousands
// of streams in a table of a megabyte or more.
inline constexpr std::size_t kReplyStoreLimit = 4 * 1024 * 1024;
// Wait between sending a request and the first read.
inline constexpr std::uint32_t kFirstReadDelayMs = 2000;
// Time the table has to complete after the first read; also the longest connect.
inline constexpr std::uint32_t kTableWindowMs = 10000;
// Pause between the further reads.
inline constexpr std::uint32_t kReadStepMs = 200;

enum class TableRead {
  kComplete,     // the end marker arrived, or an HTTP answer's body ended as it said it would
  kNotSent,      // the request could not be sent
  kNoReply,      // nothing came within the window, or the caster closed at once
  kNotATable,    // the first read did not hold a table's status
  kLoginNeeded,  // the caster answered "401 Unauthorized"
  kHtmlPage,     // an HTTP answer announced an HTML page (such as a proxy's login page)
  kStopped,      // the stop asked to give up
  // The table came in part; the store keeps its whole lines, the cut one after them dropped.
  kTimedOut,     // no end within the window
  kClosedEarly,  // the caster closed the connection before the end
  kTooLarge,     // the table outgrew the store's limit
  kNulByte,      // it held a NUL byte: read up to there, and not on (text has none)
  kBadBody,      // an HTTP answer's body broke its framing (a malformed chunk): read up to there
};

// True when a table came, whole or in part: its status arrived.
bool TableArrived(TableRead result);

// Which first lines announce a table.
enum class TableStatus {
  kSourceTable,        // "SOURCETABLE 200 OK" only
  kSourceTableOrHttp,  // that, or an "HTTP/1.x 200" status line: the table is the body, kept
                       // decoded behind the head (chunked, Content-Length bytes, or until the
                       // close), which also ends at "ENDSOURCETABLE"
};

// One request on a connected `stream`: empties `store`, sends `request`, waits 2000 ms, then
// reads. The first read must hold the table's status (`accepted`); further reads, 200 ms apart,
// each take what has arrived and gather the reply until the table ends, the caster closes, a NUL
// byte comes, the store reaches `limit` bytes, or 10000 ms have passed since the first read.
// A fault inside ends the attempt where it stood: before the status as kNoReply, after it as
// kTimedOut with what had come. For kBadBody, `fault` (when given) receives how the body broke.
// `stop` is seen within a step of every wait (kStopped).
TableRead ReadSourceTable(CasterStream& stream, std::string& store, std::string_view request,
                          TableStatus accepted, Clock& clock, std::size_t limit = kReplyStoreLimit,
                          std::string* fault = nullptr, const StopRequested& stop = {});

// What an attempt that brought no table, or a table that ended badly, tells the user, as one
// sentence; `store` is what came, `limit` the store's limit, `fault` how a kBadBody broke.
// Empty for kComplete.
std::string DescribeTableRead(TableRead result, std::string_view store,
                              std::size_t limit = kReplyStoreLimit, std::string_view fault = {});

}  // namespace quillon
