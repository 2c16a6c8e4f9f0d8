#include "ntrip/source_table_read.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <span>

#include "common/guard.h"
#include "net/caster_stream.h"
#include "ntrip/reply.h"
#include "ntrip/reply_body.h"
#include "ntrip/reply_head.h"

namespace quillon {
namespace {

constexpr std::string_view kSourceFile = "ntripsourcetable";
// Bytes taken from the socket by one read.
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kHttpOk = 200;
constexpr int kHttpUnauthorized = 401;

// The table client's connection to the caster, plain or over TLS: every call the client makes
// on it is here.
class TableConnection {
 public:
  TableConnection(CasterStream& stream, Clock& clock, const StopRequested& stop)
      : stream_(stream), clock_(clock), stop_(stop) {}

  // True once the stop has asked to give up: every wait after it ends at once.
  bool Stopped() const { return stopped_; }

  // True once `request` is sent within the window.
  bool Send(std::string_view request) {
    const int error = stream_.Send(request, clock_, kTableWindowMs, stop_);
    stopped_ = stopped_ || error == ECANCELED;
    return error == 0;
  }

  // Waits `ms`: at once when nothing can ask to stop, else in steps that look for the stop.
  void Pause(std::uint32_t ms) {
    if (!stop_) {
      clock_.Sleep(ms);
      return;
    }
    const auto sleep = [this](std::uint32_t step) {
      clock_.Sleep(step);
      return 0;
    };
    stopped_ = stopped_ || WaitInSteps(clock_, ms, stop_, sleep) == WaitEnd::kStopped;
  }

  // True when bytes wait within `ms`.
  bool WaitReadable(std::uint32_t ms) {
    const WaitEnd end = stream_.WaitReadable(clock_, ms, stop_);
    stopped_ = stopped_ || end == WaitEnd::kStopped;
    return end == WaitEnd::kReady;
  }

  // One read of what has arrived, at most `room` bytes, appended to `store`: the count, 0 when
  // the caster has closed, -1 when nothing was waiting or the read failed (errno says which).
  ssize_t ReadOnce(std::string& store, std::size_t room) {
    const std::size_t before = store.size();
    store.resize(before + room);
    const ssize_t got = stream_.ReadReady(std::span(store).subspan(before));
    const int error = errno;
    store.resize(before + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
    errno = error;
    return got;
  }

  // The first bytes to arrive within `ms`, as ReadOnce; -1 with ETIMEDOUT when none came. Over
  // TLS the socket also carries the library's own records (such as session tickets after the
  // handshake), which wake a wait without bringing bytes: it waits on.
  ssize_t ReadFirst(std::string& store, std::size_t room, std::uint32_t ms) {
    const std::uint32_t start = clock_.TickCount();
    for (;;) {
      const std::uint32_t passed = clock_.TickCount() - start;
      if (passed >= ms || !WaitReadable(ms - passed)) {
        errno = ETIMEDOUT;
        return -1;
      }
      const ssize_t got = ReadOnce(store, room);
      if (got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return got;
    }
  }

  // Everything that has arrived, up to `limit` bytes in the store. True when the connection has
  // ended: the caster closed it, or it broke.
  bool ReadAvailable(std::string& store, std::size_t limit) {
    while (store.size() < limit) {
      const ssize_t got = ReadOnce(store, std::min(kReadChunk, limit - store.size()));
      if (got > 0) continue;
      return got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    }
    return false;
  }

 private:
  CasterStream& stream_;
  Clock& clock_;
  const StopRequested& stop_;
  bool stopped_ = false;
};

// Cuts `store` at its first NUL byte at or behind `from`; true when there was one.
bool CutAtNul(std::string& store, std::size_t from) {
  const std::size_t nul = store.find('\0', from);
  if (nul == std::string::npos) return false;
  store.resize(nul);
  return true;
}

// Drops the line that a bad ending cut: everything behind the last line end.
void KeepWholeLines(std::string& store) {
  const std::size_t end = store.find_last_of("\r\n");
  store.resize(end == std::string::npos ? 0 : end + 1);
}

enum class Announced { kTable, kHttpTable, kLogin, kOther };

Announced FirstReply(std::string_view store, TableStatus accepted) {
  if (ReplyContains(store, kSourceTableSuccessToken)) return Announced::kTable;
  const int status = HttpStatusCode(store);
  if (status == kHttpOk && accepted == TableStatus::kSourceTableOrHttp) {
    return Announced::kHttpTable;
  }
  return status == kHttpUnauthorized ? Announced::kLogin : Announced::kOther;
}

// Where a table ends, as its first line announced: at "ENDSOURCETABLE" or, for an HTTP answer,
// also where its body ends as its head frames it (the last chunk, Content-Length bytes, or the
// close). An HTTP answer's body is kept decoded behind its head.
class TableEnd {
 public:
  explicit TableEnd(bool http) : http_(http) {}

  // Takes the bytes the store received since the last look (an HTTP body's decoded in place);
  // true once the store holds the whole table.
  bool Reached(std::string& store) {
    if (page_) return false;
    if (http_ && !body_) {
      const std::optional<ReplyHead> head = ParseReplyHead(store);
      if (!head) return false;
      page_ = head->contentType == "text/html";
      if (page_) return false;
      body_ = ReplyBody::For(*head);
      decodedTo_ = head->size;
    }
    if (body_) {
      const std::string received = store.substr(decodedTo_);
      store.resize(decodedTo_);
      body_->Feed(received, store);
      decodedTo_ = store.size();
      if (body_->Done()) return true;
    }
    // Only the bytes that came since the last look are new to the search.
    const std::size_t overlap = kSourceTableEndToken.size() - 1;
    const std::size_t from = searchedTo_ > overlap ? searchedTo_ - overlap : 0;
    searchedTo_ = store.size();
    return store.find(kSourceTableEndToken, from) != std::string::npos;
  }

  // The HTTP head announced an HTML page: no table follows.
  bool Page() const { return page_; }
  // True when the caster's close ends the table: an HTTP body framed by the close.
  bool EndsAtClose() const { return body_ && body_->EndsAtClose(); }
  // The HTTP body broke its framing; Fault() says how.
  bool Failed() const { return body_ && body_->Failed(); }
  const std::string& Fault() const { return body_->Fault(); }

 private:
  bool http_;
  bool page_ = false;
  std::optional<ReplyBody> body_;  // once the head has come
  std::size_t decodedTo_ = 0;      // the store up to here is head or decoded body
  std::size_t searchedTo_ = 0;
};

std::string Megabytes(std::size_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MB";
  return std::to_string(bytes) + " bytes";
}

}  // namespace

bool TableArrived(TableRead result) {
  switch (result) {
    case TableRead::kComplete:
    case TableRead::kTimedOut:
    case TableRead::kClosedEarly:
    case TableRead::kTooLarge:
    case TableRead::kNulByte:
    case TableRead::kBadBody:
      return true;
    case TableRead::kNotSent:
    case TableRead::kNoReply:
    case TableRead::kNotATable:
    case TableRead::kLoginNeeded:
    case TableRead::kHtmlPage:
    case TableRead::kStopped:
      return false;
  }
  return false;
}

TableRead ReadSourceTable(CasterStream& stream, std::string& store, std::string_view request,
                          TableStatus accepted, Clock& clock, std::size_t limit, std::string* fault,
                          const StopRequested& stop) {
  TableRead result = TableRead::kNotSent;
  TableConnection connection(stream, clock, stop);
  Guarded(kSourceFile, __LINE__, [&] {
    store.clear();
    if (!connection.Send(request)) return;
    result = TableRead::kNoReply;
    connection.Pause(kFirstReadDelayMs);

    // The first read waits for the caster's first bytes, but not forever.
    if (connection.ReadFirst(store, std::min(kReadChunk, limit), kTableWindowMs) <= 0) return;
    bool nul = CutAtNul(store, 0);
    const Announced announced = FirstReply(store, accepted);
    if (announced == Announced::kLogin) result = TableRead::kLoginNeeded;
    if (announced == Announced::kOther) result = TableRead::kNotATable;
    if (announced != Announced::kTable && announced != Announced::kHttpTable) return;

    // Until it ends, a table that stops coming counts as one that did not end in time.
    result = TableRead::kTimedOut;
    TableEnd end(announced == Announced::kHttpTable);
    const std::uint32_t start = clock.TickCount();
    std::uint32_t passed = 0;
    bool closed = false;
    for (;;) {
      if (end.Reached(store)) {
        result = TableRead::kComplete;
      } else if (end.Page()) {
        result = TableRead::kHtmlPage;
      } else if (end.Failed()) {
        result = TableRead::kBadBody;
        if (fault != nullptr) *fault = end.Fault();
      } else if (nul) {
        result = TableRead::kNulByte;
      } else if (closed) {
        result = end.EndsAtClose() ? TableRead::kComplete : TableRead::kClosedEarly;
      } else if (store.size() >= limit) {
        result = TableRead::kTooLarge;
      } else if (passed < kTableWindowMs) {
        if (connection.WaitReadable(kTableWindowMs - passed)) {
          const std::size_t before = store.size();
          closed = connection.ReadAvailable(store, limit);
          nul = CutAtNul(store, before);
        }
        if (!closed && !nul) connection.Pause(kReadStepMs);
        passed = clock.TickCount() - start;
        if (!connection.Stopped()) continue;
      }
      return;
    }
  });
  if (connection.Stopped()) result = TableRead::kStopped;
  if (TableArrived(result) && result != TableRead::kComplete) KeepWholeLines(store);
  return result;
}

std::string DescribeTableRead(TableRead result, std::string_view store, std::size_t limit,
                              std::string_view fault) {
  switch (result) {
    case TableRead::kComplete:
      return {};
    case TableRead::kNotSent:
      return "The request could not be sent.";
    case TableRead::kNoReply:
    case TableRead::kNotATable:
    case TableRead::kLoginNeeded:
      return DescribeCasterReply(store);
    case TableRead::kStopped:
      return "The fetch was stopped.";
    case TableRead::kHtmlPage:
      return "The caster's reply was an HTML page, not a source table: a proxy or a web server "
             "may have answered in its place.";
    case TableRead::kTimedOut:
      return "The source table did not end within " + std::to_string(kTableWindowMs / 1000) +
             " seconds.";
    case TableRead::kClosedEarly:
      return "The caster closed the connection before the end of its source table.";
    case TableRead::kTooLarge:
      return "The source table is larger than " + Megabytes(limit) + ": it was read that far.";
    case TableRead::kNulByte:
      return "The source table held a NUL byte: it was read up to there.";
    case TableRead::kBadBody:
      return std::string(fault) + " The source table was read up to there.";
  }
  return {};
}

}  // namespace quillon
