// What a session relays, appended to files named by a log pattern (LogPattern), on a thread of
// its own that takes its fan-out queue: a slow, full or unwritable disk never holds up the
// relay or an upload. The queue drops its oldest blocks, counted, only when the disk cannot
// keep up.
//
// A block goes to the file whose name is current as it is written, never to one that sorts
// before the file written last (a clock stepped back), and a file of the same name is appended
// to: concatenated in name order, the files hold the bytes in the order they came, with gaps only
// where the queue dropped some.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "session/fan_out.h"
#include "session/log_pattern.h"
#include "session/worker_thread.h"

namespace quillon {

class SessionStatus;

// Each way the log stops being written is retried this long after.
inline constexpr std::uint32_t kLogRetryMs = 60'000;
// How often files older than the days kept are looked for.
inline constexpr std::uint32_t kLogPruneEveryMs = 3'600'000;
// The longest --log-keep.
inline constexpr int kMaxLogKeepDays = 3650;

// Says why the log cannot be written, on the log's thread.
using LogWarning = std::function<void(const std::string& text)>;

// `warn` in the session's warnings, which the front ends show (the command line once, as it
// comes; the service status while it is the latest).
LogWarning WarningsOf(SessionStatus& status);

class StreamLog {
 public:
  // Attached to `source` from now on. `keepDays` > 0 removes, once an hour, the pattern's own
  // files last written more than that many days ago (by `clock`'s Now), never the one in use.
  // `warn` is told once each time the writing stops working; it works again unasked.
  StreamLog(FanOut& source, LogPattern pattern, int keepDays, Clock& clock, LogWarning warn);
  // As Stop.
  ~StreamLog();
  StreamLog(const StreamLog&) = delete;
  StreamLog& operator=(const StreamLog&) = delete;

  void Start();
  // Detaches from the source, ends the thread, then writes what waits (if the disk takes it)
  // and closes the file. Harmless twice, or without Start.
  void Stop();
  // The thread's round, on which tests drive the log without it: removes the old files when
  // due, then writes what waits, unless a failure waits out its kLogRetryMs.
  void Pass();

  // Bytes the queue dropped because the disk could not keep up (or was failing).
  std::uint64_t Dropped() { return queue_.Dropped(); }

 private:
  void Run();
  // Writes what waits; false when the disk failed (told through Failed).
  bool WriteWaiting();
  // The file for the current name is open.
  bool OpenCurrent();
  void Failed(const std::string& name, int error);
  void RemoveOld();

  FanOut& source_;
  const LogPattern pattern_;
  const int keepDays_;
  Clock& clock_;
  const LogWarning warn_;
  OutputQueue queue_;
  const int stop_;  // an eventfd, readable once the stop is asked for
  bool attached_ = true;

  // The log's thread's, or the caller's once it has ended.
  std::string name_;  // of the file written last
  int file_ = -1;
  bool failing_ = false;  // told, and not written since
  std::uint32_t retryAt_ = 0;
  std::optional<std::uint32_t> removedAt_;

  WorkerThread worker_;  // last: it goes first
};

}  // namespace quillon
