#include "app/cli/session_report.h"

#include <cerrno>

#include "app/cli/console_message_sink.h"
#include "common/lines.h"
#include "session/elapsed_text.h"

namespace quillon::cli {
namespace {

constexpr std::uint32_t kSummaryMs = 60'000;

std::string Connecting(const SessionState& state) {
  if (state.attempt <= 1) return "Connecting to the caster.";
  const std::string limit = state.attempts > 0 ? "/" + std::to_string(state.attempts) : "";
  return "Attempt " + std::to_string(state.attempt) + limit + ": connecting to the caster.";
}

// Ticks from `then` to `now`; a `then` just after `now` counts as no time at all.
std::int64_t Since(std::uint32_t then, std::uint32_t now) {
  const auto passed = static_cast<std::int32_t>(now - then);
  return passed < 0 ? 0 : passed;
}

// " | name: text" for each caster, when there are several.
std::string CasterTexts(const SessionState& state, std::string_view separator) {
  std::string texts;
  for (const CasterLine& caster : state.casters) {
    texts += std::string(separator) + caster.name + ": " + caster.text;
  }
  return texts;
}

}  // namespace

std::string OneLine(std::string_view text) {
  std::string joined;
  while (!text.empty()) {
    std::string_view line = TakeLine(text);
    line = line.substr(0, line.find_last_not_of(' ') + 1);
    if (line.empty()) continue;
    if (!joined.empty()) joined += ' ';
    joined += line;
  }
  return joined;
}

std::string OneLineStatusText(std::u16string_view text) { return OneLine(TerminalText(text)); }

std::string StatusLine(const SessionSnapshot& snapshot) {
  std::string line = ElapsedWithDays(snapshot.elapsedSeconds) + " " +
                     std::to_string(snapshot.rate) + " B/s " + std::to_string(snapshot.total) +
                     " bytes";
  if (!snapshot.streamLine.empty()) line += "  " + snapshot.streamLine;
  if (snapshot.solution) line += "  " + SolutionText(*snapshot.solution);
  return line;
}

std::string FixSummary(const SolutionTimes& times) {
  if (!times.reported) return {};
  if (!times.firstFixMs) return "; no RTK fixed";
  const std::uint64_t percent =
      times.watchedMs > 0 ? std::uint64_t{times.fixedMs} * 100 / times.watchedMs : 0;
  return "; first fix after " + ElapsedWithDays(*times.firstFixMs / 1000) + ", RTK fixed " +
         std::to_string(percent) + " % of the time";
}

SessionReporter::SessionReporter(const ReportTarget& target, std::string_view activity)
    : target_(target), activity_(activity) {}

std::string SessionReporter::StateLine(const SessionState& state) const {
  switch (state.phase) {
    case SessionPhase::kConnecting:
      return Connecting(state);
    case SessionPhase::kConnected:
      return "Connected to the caster.";
    case SessionPhase::kWaitingToRetry:
      return state.retryText;
    case SessionPhase::kReceiverLost:
      return "The receiver has gone; its link is being opened again (still connected to the "
             "caster).";
    case SessionPhase::kReceiverStalled:
      return "The receiver is not taking data (still connected to the caster).";
  }
  return {};
}

std::string SessionReporter::ChangeLine(const SessionState& state) const {
  // The caster stayed connected meanwhile: only the receiver's news is new.
  if (state.phase == SessionPhase::kConnected) {
    if (lastPhase_ == SessionPhase::kReceiverLost) return "The receiver is back.";
    if (lastPhase_ == SessionPhase::kReceiverStalled) return "The receiver takes data again.";
  }
  return StateLine(state);
}

std::string SessionReporter::ServiceStatus(const SessionState& state) const {
  // `systemctl status` shows this one line: a retry says there why its attempt failed.
  if (state.phase == SessionPhase::kWaitingToRetry && !state.detail.empty()) {
    return state.retryText + " " + OneLine(state.detail) + CasterTexts(state, "; ");
  }
  if (state.phase != SessionPhase::kConnected) return StateLine(state) + CasterTexts(state, "; ");
  const SessionSnapshot& c = state.counters;
  std::string status = activity_ + ": " + std::to_string(c.total) + " bytes, " +
                       std::to_string(c.rate) + " B/s, connected " +
                       ElapsedWithDays(c.elapsedSeconds);
  if (!c.streamLine.empty()) status += "; " + c.streamLine;
  if (c.solution) status += "; " + SolutionText(*c.solution);
  // The latest warning stays in view until the connection ends.
  if (!c.streamWarnings.empty()) status += "; " + c.streamWarnings.back();
  return status + CasterTexts(state, "; ");
}

void SessionReporter::ReportCasterChanges(const SessionState& state) {
  casterKeys_.resize(state.casters.size());
  for (std::size_t i = 0; i < state.casters.size(); ++i) {
    const CasterLine& caster = state.casters[i];
    if (caster.key == casterKeys_[i]) continue;
    casterKeys_[i] = caster.key;
    Print(caster.name + ": " + caster.text);
  }
}

void SessionReporter::Print(const std::string& line) {
  if (readerGone_) return;
  errno = 0;
  std::fprintf(target_.out, "%s\n", line.c_str());
  std::fflush(target_.out);
  if (!std::ferror(target_.out)) return;
  // Only a reader that went away ends the session; a full disk under a log file does not.
  readerGone_ = errno == EPIPE;
  std::clearerr(target_.out);
}

void SessionReporter::Report(const SessionState& state, std::uint32_t now,
                             std::uint32_t workerActivity) {
  if (target_.notifier != nullptr) {
    std::string message = first_ ? "READY=1\n" : "";
    const std::string status = ServiceStatus(state);
    if (status != lastServiceStatus_) message += "STATUS=" + status + "\n";
    lastServiceStatus_ = status;
    const std::optional<std::uint32_t>& interval = target_.watchdogMs;
    if (interval && Since(workerActivity, now) < *interval &&
        (!lastFed_ || Since(*lastFed_, now) >= *interval / 2)) {
      message += "WATCHDOG=1\n";
      lastFed_ = now;
    }
    if (!message.empty()) {
      message.pop_back();
      target_.notifier->Notify(message);
    }
  }
  first_ = false;

  if (state.detail != lastDetail_) {
    lastDetail_ = state.detail;
    if (!state.detail.empty()) Print(state.detail);
  }
  // Each warning about the stream once, as it comes; a new connection starts the list again.
  const std::vector<std::string>& warnings = state.counters.streamWarnings;
  if (warnings.size() < warningsPrinted_) warningsPrinted_ = 0;
  for (; warningsPrinted_ < warnings.size(); ++warningsPrinted_) {
    Print("Warning: " + warnings[warningsPrinted_]);
  }
  if (target_.live) {
    Print((state.phase == SessionPhase::kConnected || state.phase == SessionPhase::kConnecting
               ? StatusLine(state.counters)
               : StateLine(state)) +
          CasterTexts(state, " | "));
    return;
  }
  ReportCasterChanges(state);
  // A countdown changes its text every second; the attempt it belongs to is what changes state.
  // Elsewhere the line itself is the state: the worker's first attempt, 0 before it starts and
  // then 1, is one "Connecting" line.
  const std::string key = state.phase == SessionPhase::kWaitingToRetry
                              ? "retry " + std::to_string(state.attempt)
                              : StateLine(state);
  if (key != lastState_) {
    lastState_ = key;
    lastSummary_ = now;
    Print(ChangeLine(state));
  } else if (state.phase == SessionPhase::kConnected && Since(lastSummary_, now) >= kSummaryMs) {
    lastSummary_ = now;
    Print(StatusLine(state.counters));
  }
  lastPhase_ = state.phase;
  // A change of the receiver's fix is a change of state too.
  const std::optional<ReceiverSolution>& solution = state.counters.solution;
  const std::optional<FixQuality> quality =
      solution ? std::optional(solution->quality) : std::nullopt;
  if (quality && quality != lastQuality_) Print("Receiver: " + SolutionText(*solution) + ".");
  lastQuality_ = quality;
}

void SessionReporter::Stopping() {
  if (target_.notifier != nullptr) target_.notifier->Notify("STOPPING=1");
}

void SessionReporter::Ended(SessionEnd end, const SessionSnapshot& counters) {
  if (target_.live) return;
  Print(std::string(end == SessionEnd::kGaveUp ? "Gave up" : "Stopped") + " (connected " +
        ElapsedWithDays(counters.elapsedSeconds) + ", " + std::to_string(counters.total) +
        " bytes" + FixSummary(counters.solutionTimes) + ").");
}

}  // namespace quillon::cli
