// How a command-line session tells what it is doing: on a terminal a live line a second; in a
// log (a pipe, a file, a service's journal) a line for each change of state and a summary a
// minute; and, under a service manager, its notify protocol (ready, status, watchdog, stopping).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/service_notifier.h"
#include "session/session_status.h"

namespace quillon::cli {

enum class SessionPhase {
  kConnecting,       // the worker is connecting to the caster and logging in
  kConnected,        // the caster accepted the login; bytes flow
  kWaitingToRetry,   // an attempt failed; the next one follows a countdown
  kReceiverLost,     // connected, but the receiver has gone and its link is being opened again
  kReceiverStalled,  // connected, but the receiver has taken no data for a while
};

// One caster of several (the Base with --also), by its short name.
struct CasterLine {
  std::string name;
  std::string key;   // what a change of state changes: "uploading", "retry 3", "gave up"
  std::string text;  // how it is doing now: "uploading 1234 B/s", the countdown and its reason
  bool up = false;   // uploading now
  std::int64_t rate = 0;
  std::int64_t total = 0;
};

struct SessionState {
  SessionPhase phase = SessionPhase::kConnecting;
  int attempt = 0;        // the attempt (from 1); 0 where there are no retries
  int attempts = 0;       // how many attempts there are in all; 0: no limit
  std::string retryText;  // kWaitingToRetry: the reason and the countdown, on one line
  // kWaitingToRetry: what really happened, where the reason cannot say it (the caster's reply,
  // a name that did not resolve, the system's reason a device did not open); printed on lines
  // of its own once for each attempt, and put after the countdown in the service status.
  std::string detail;
  SessionSnapshot counters;
  // Every caster, the primary first, when there are more than one; empty otherwise.
  std::vector<CasterLine> casters;
};

enum class SessionEnd {
  kStopAsked,  // the stop descriptor became readable, the time limit passed, or the reader of
               // the output went away
  kGaveUp,     // the worker gave up after a failure
};

// `text` on one line: its lines without their trailing spaces, joined by single spaces; empty
// lines left out.
std::string OneLine(std::string_view text);

// "HH:MM:SS <rate> B/s <total> bytes", the connect time with its days past one day
// ("3d 04:05:06 ..."), then what the stream holds and the receiver's solution, when known.
std::string StatusLine(const SessionSnapshot& snapshot);

// For the Rover's stop summary: "; first fix after 00:00:42, RTK fixed 93 % of the time", or
// "; no RTK fixed"; empty when the receiver reported no solution.
std::string FixSummary(const SolutionTimes& times);

// A worker's status text on one line: its lines joined by single spaces, as the terminal shows
// text (TerminalText).
std::string OneLineStatusText(std::u16string_view text);

struct ReportTarget {
  std::FILE* out;
  bool live = false;                    // a terminal: the live line each second
  ServiceNotifier* notifier = nullptr;  // the service manager; null when there is none
  std::optional<std::uint32_t> watchdogMs = std::nullopt;  // the service watchdog's interval
};

class SessionReporter {
 public:
  // `activity` names what a connected session does in the service status ("Relaying",
  // "Uploading").
  SessionReporter(const ReportTarget& target, std::string_view activity);

  // Called about once a second while the session runs, with the session clock's tick `now` and
  // the tick at which the worker last showed life. The first call tells the service manager the
  // service is ready. The watchdog is fed at the first call and then once half its interval has
  // passed since it was last fed, as the service manager asks, and only while the worker has
  // shown life within the interval, so a stuck worker gets its service restarted.
  void Report(const SessionState& state, std::uint32_t now, std::uint32_t workerActivity);

  // Called once as the session begins to stop, before the stop sequence and its waits: tells the
  // service manager, which then expects no more watchdog feeds.
  void Stopping();

  // Called once after the stop sequence with the counters it returned: in a log, the
  // line that says how the session ended.
  void Ended(SessionEnd end, const SessionSnapshot& counters);

  // True once a line could not be written because the output's reader has gone (a pipe into
  // `head -n 1` that has read its line); nothing is written after that.
  bool ReaderGone() const { return readerGone_; }

 private:
  std::string StateLine(const SessionState& state) const;
  // The log's line for a change to `state`.
  std::string ChangeLine(const SessionState& state) const;
  std::string ServiceStatus(const SessionState& state) const;
  // In a log, a line for each caster whose state has changed.
  void ReportCasterChanges(const SessionState& state);
  void Print(const std::string& line);

  ReportTarget target_;
  std::string activity_;
  bool first_ = true;
  std::string lastState_;
  SessionPhase lastPhase_ = SessionPhase::kConnecting;
  std::string lastDetail_;
  std::size_t warningsPrinted_ = 0;
  std::vector<std::string> casterKeys_;  // each caster's last key, in a log
  std::optional<FixQuality> lastQuality_;
  std::string lastServiceStatus_;
  std::uint32_t lastSummary_ = 0;
  std::optional<std::uint32_t> lastFed_;
  bool readerGone_ = false;
};

}  // namespace quillon::cli
