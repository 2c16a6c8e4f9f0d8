#include "rover/rover_session.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/baud.h"
#include "common/guard.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/caster_connection.h"
#include "ntrip/caster_login.h"
#include "ntrip/gga_override.h"
#include "ntrip/gga_pace.h"
#include "ntrip/mount_point_login.h"
#include "ntrip/reply_body.h"
#include "platform/wait_step.h"
#include "rover/rover_attempt.h"
#include "session/caster_uplink.h"
#include "session/fan_out.h"
#include "session/stream_watch.h"
#include "session/throughput.h"

namespace quillon {
namespace {

// Trace lines of faults caught in the worker name this file.
constexpr std::string_view kTraceFile = "zepinterlinkdlg";

// The longest a pass waits for the caster or the receiver (kWaitStepMs): the stop is seen within
// it. A caster's pause this long inside what looked like a header line ends the line.
constexpr std::uint32_t kPassWaitMs = kWaitStepMs;
constexpr std::uint32_t kHeaderPauseMs = 1000;
constexpr std::uint32_t kSilenceLimitMs = 60000;

constexpr std::size_t kRelayBufferSize = 2000;
// One read from the receiver, and the most reads in one pass: a pass takes up to 64 kB of what
// the receiver has written, so that neither direction waits long for the other.
constexpr std::size_t kUpstreamReadMax = 4096;
constexpr int kMostReceiverReads = 16;

using End = RoverAttemptEnd::Kind;

class RoverSession {
 public:
  RoverSession(const RoverSessionContext& context, int attempt, bool& linkOpen)
      : c_(context),
        settings_(context.settings),
        status_(context.status),
        attempt_(attempt),
        linkOpen_(linkOpen) {}

  RoverAttemptEnd Run();

 private:
  // One guarded step; false when it ended the session.
  template <typename Body>
  bool Step(int line, Body body) {
    return GuardedStep(kTraceFile, line, body);
  }

  bool StartUp();
  bool OpenLink();
  bool LogIn();
  void BeginSession();
  void RelayLoop();
  void WaitForWork();
  bool ReceiveFromCaster();
  bool CheckConnection();
  bool WriteToReceiver();
  bool CheckFraming();
  bool StillRunning();
  void UpdateElapsed();
  bool TakeFromReceiver();
  void Forward(std::string_view block, std::uint32_t now);
  bool SendUpstream();

  bool StopAsked() const { return status_.running.load() == 0; }
  // Ends the attempt because the front end asked: socket and link closed, nothing said.
  bool Stopped();
  // Ends the attempt with `text` (caption "Error" unless given) and `detail`: the socket closed,
  // the link too when it was the receiver that failed.
  struct Failure {
    std::u16string text;
    std::u16string detail = {};
    std::u16string caption = LoadString(kStrError);
    bool refused = false;
    bool receiverFailed = false;
  };
  bool Fail(Failure failure);
  // The receiver link failed; `detail` says how, where its text cannot.
  bool LinkFailed(std::string_view detail = {});

  const RoverSessionContext& c_;
  RoverSettings& settings_;
  RoverStatus& status_;
  const int attempt_;
  bool& linkOpen_;
  RoverAttemptEnd end_;

  CasterLogin login_;
  // How the caster's bytes after its reply are read: header lines of a version 1 reply taken
  // out, an NTRIP 2 body de-chunked; only the payload reaches the receiver.
  ReplyBody body_;
  std::string payload_;  // this pass's payload
  // The stream's first bytes, which came with the reply: the first pass relays them.
  std::string loginBytes_;

  // This pass's wait: what is ready, or the wait's error number.
  bool casterReady_ = false;
  bool receiverReady_ = false;
  int waitError_ = 0;

  int result_ = 0;             // this pass's caster read: bytes, 0 (nothing), -1 (failure)
  int resultError_ = 0;        // errno of a failed pass
  bool casterClosed_ = false;  // the caster ended the connection (a read of 0 bytes)
  std::string_view out_;       // what this pass writes to the receiver
  RateWindow window_;
  std::uint32_t lastData_ = 0;
  bool relaying_ = false;  // the caster accepted the login
  std::uint32_t relayStart_ = 0;
  std::time_t sessionStart_ = 0;

  std::array<char, kRelayBufferSize> relay_{};
  std::array<char, kUpstreamReadMax> upstream_{};
  GgaOverride gga_;
  std::optional<GgaPace> ggaPace_;  // only GGA upstream, at its pace
  CasterUplink uplink_;
  // What the corrections hold and the receiver's solution, for the status.
  StreamWatch watch_{StreamSide::kRover};
};

RoverAttemptEnd RoverSession::Run() {
  if (!Step(__LINE__, [&] { return StartUp(); })) return end_;
  if (!Step(__LINE__, [&] { return OpenLink(); })) return end_;
  if (!Step(__LINE__, [&] { return LogIn(); })) return end_;
  Step(__LINE__, [&] {
    BeginSession();
    return true;
  });
  Trace("ENTERING MAIN LOOP");
  RelayLoop();
  return end_;
}

bool RoverSession::Stopped() {
  status_.socket.Close();
  c_.link.CloseComPort();
  linkOpen_ = false;
  end_.kind = End::kStopped;
  return false;
}

bool RoverSession::Fail(Failure failure) {
  status_.socket.Close();
  if (failure.receiverFailed) {
    c_.link.CloseComPort();
    linkOpen_ = false;
  }
  end_.kind = End::kFailed;
  end_.text = std::move(failure.text);
  end_.caption = std::move(failure.caption);
  end_.detail = std::move(failure.detail);
  end_.refused = failure.refused;
  end_.receiverFailed = failure.receiverFailed;
  if (relaying_) end_.relayedMs = c_.clock.TickCount() - relayStart_;
  return false;
}

bool RoverSession::LinkFailed(std::string_view detail) {
  return Fail({.text = LoadString(kStrComPortIoError),
               .detail = EightBitToWide(detail),
               .receiverFailed = true});
}

bool RoverSession::StartUp() {
  // No socket and, unless it stays open from the attempt before, no serial device left over.
  status_.socket.Close();
  if (!linkOpen_) c_.link.State().hPort.Close();
  relay_.fill(0);
  const std::int32_t ggaSeconds = settings_.upstream.ggaSeconds;
  if (ggaSeconds > 0) ggaPace_.emplace(static_cast<std::uint32_t>(ggaSeconds) * 1000);
  return true;
}

bool RoverSession::OpenLink() {
  if (linkOpen_) return true;
  // The open appends ":" to the name; the record takes it under the lock, since the front end
  // may be saving the record meanwhile (the override dialog).
  auto name = settings_.comPortName;
  const bool opened =
      c_.link.OpenComPort(status_.owner.load(), name, BaudRateForIndex(settings_.baudIndex)).opened;
  std::lock_guard guard(status_.lock);
  settings_.comPortName = name;
  linkOpen_ = opened;
  if (opened) return true;
  // The link has shown its own message.
  end_.kind = End::kLinkNotOpened;
  end_.text = LoadString(kStrUnableToOpenComPort);
  end_.receiverFailed = true;
  return false;
}

bool RoverSession::LogIn() {
  MountPointLogin result = LogInToMountPoint(
      settings_, LoginRole::kClient, status_.socket, c_.clock, [this] { return StopAsked(); },
      c_.insecureTls);
  login_ = std::move(result.login);
  if (result.failure == LoginFailure::kStopped) return Stopped();
  if (result.failure != LoginFailure::kNone) {
    // A caster that answered with a whole line (a refusal, its table, another protocol) answers
    // the same to the next attempt; one that closed or kept silent may not.
    return Fail(
        {.text = std::move(result.text),
         .detail = std::move(result.detail),
         .refused = result.failure == LoginFailure::kRefused && login_.end == LoginEnd::kReplied});
  }
  body_ = std::move(result.verdict.body);
  loginBytes_ = std::move(result.verdict.payload);
  return true;
}

void RoverSession::BeginSession() {
  const std::uint32_t now = c_.clock.TickCount();
  window_.Begin(now);
  sessionStart_ = c_.clock.Now();
  // What the receiver wrote while the worker waited to reconnect is stale by now.
  if (attempt_ > 1) c_.link.DiscardInput();
  {
    std::lock_guard guard(status_.lock);
    status_.connected = true;
    RememberHost(settings_, c_.settingsFolder);
  }
  lastData_ = now;
  relaying_ = true;
  relayStart_ = now;
  uplink_.Begin(*login_.stream, now);
  watch_.Begin(status_, now);
}

void RoverSession::RelayLoop() {
  while (status_.running.load() == 1) {
    Step(__LINE__, [&] {
      WaitForWork();
      return true;
    });
    Step(__LINE__, [&] { return ReceiveFromCaster(); });
    if (!Step(__LINE__, [&] { return CheckConnection(); })) return;
    Step(__LINE__, [&] {
      window_.Count(static_cast<std::int64_t>(out_.size()), c_.clock.TickCount(), status_);
      return true;
    });
    if (!Step(__LINE__, [&] { return WriteToReceiver(); })) return;
    if (!Step(__LINE__, [&] { return CheckFraming(); })) return;
    if (!StillRunning()) return;
    Step(__LINE__, [&] {
      UpdateElapsed();
      return true;
    });
    if (!Step(__LINE__, [&] { return TakeFromReceiver(); })) return;
    if (!Step(__LINE__, [&] { return SendUpstream(); })) return;
  }
  Stopped();
}

void RoverSession::WaitForWork() {
  casterReady_ = false;
  receiverReady_ = false;
  waitError_ = 0;
  if (!loginBytes_.empty()) return;  // the first pass relays what came with the reply at once
  // The caster's bytes, the receiver's, and room for upstream bytes that wait: whichever comes
  // first ends the wait, so that each goes on its way as it comes.
  const short upstream = uplink_.Waiting() ? POLLOUT : 0;
  // Bytes TLS has decrypted already are ready though the socket is not: then the wait only looks.
  const bool held = login_.stream->HoldsReadyBytes();
  std::array<pollfd, 2> entries = {
      {{login_.stream->Descriptor(), static_cast<short>(POLLIN | upstream), 0},
       {c_.link.ReadyHandle(), POLLIN, 0}}};
  if (c_.clock.WaitAny(entries, held ? 0 : kPassWaitMs) < 0) {
    waitError_ = errno;
    return;
  }
  casterReady_ = held || (entries[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
  receiverReady_ = entries[1].fd < 0 || entries[1].revents != 0;
}

bool RoverSession::ReceiveFromCaster() {
  result_ = 0;
  resultError_ = 0;
  casterClosed_ = false;
  payload_.clear();
  if (!loginBytes_.empty()) {
    payload_.swap(loginBytes_);
  } else if (waitError_ != 0) {
    result_ = -1;
    resultError_ = waitError_;
  } else if (casterReady_) {
    result_ = static_cast<int>(login_.stream->ReadReady(relay_));
    if (result_ < 0) resultError_ = errno;
    casterClosed_ = result_ == 0;
  }
  if (result_ > 0) {
    body_.Feed(std::string_view(relay_.data(), static_cast<std::size_t>(result_)), payload_);
  } else if (result_ == 0 && body_.Holding() &&
             (casterClosed_ || c_.clock.TickCount() - lastData_ >= kHeaderPauseMs)) {
    // A caster paused or closed inside what looked like a header line: it was the stream. It
    // goes now; a close is seen again by the next read.
    body_.Flush(payload_);
    casterClosed_ = false;
  }
  // Bytes that came count as data, even when framing alone (a chunk-size line) came.
  if (result_ <= 0 && !payload_.empty()) result_ = static_cast<int>(payload_.size());
  out_ = payload_;
  watch_.Scan(out_, c_.clock.TickCount());
  return true;
}

bool RoverSession::CheckConnection() {
  // A body that ended by its own framing is the caster's close.
  if (body_.Done() && out_.empty()) {
    casterClosed_ = true;
    result_ = 0;
  }
  bool lost = false;
  const std::uint32_t now = c_.clock.TickCount();
  if (result_ > 0) {
    lastData_ = now;
  } else if (result_ == 0) {
    // A caster that has closed is gone now; one that is only silent, after a long silence.
    lost = casterClosed_ || now - lastData_ > kSilenceLimitMs;
  } else {
    // A pass that failed with EINVAL, EINTR or EAGAIN is simply tried again: none of them says
    // the caster has gone, and a caster that has shows as a close or as the long silence.
    lost = resultError_ != 0 && resultError_ != EINVAL && resultError_ != EINTR &&
           resultError_ != EAGAIN;
  }
  if (!lost) return true;
  std::string detail;
  if (casterClosed_) {
    detail = "The caster closed the connection.";
  } else if (result_ < 0) {
    detail = "Reading from the caster failed: " + SystemErrorText(resultError_) + ".";
  } else {
    detail = "The caster sent nothing for " + std::to_string(kSilenceLimitMs / 1000) + " seconds.";
  }
  return Fail({.text = LoadString(kStrSocketReadProblem), .detail = EightBitToWide(detail)});
}

bool RoverSession::CheckFraming() {
  // The caster's bytes never reach the receiver unparsed: a body that broke its framing ends
  // the session once what came good before the break is written. The caster had accepted the
  // login, so the session is lost, not refused.
  if (!body_.Failed()) return true;
  return Fail({.text = LoadString(kStrSocketReadProblem), .detail = EightBitToWide(body_.Fault())});
}

bool RoverSession::WriteToReceiver() {
  if (out_.empty()) return true;
  // Bounded: a receiver that takes nothing for a while has gone as surely as one unplugged.
  // Meanwhile the status says so, rather than standing still.
  std::uint32_t stalledMs = 0;
  const auto stalled = [&](std::uint32_t ms) {
    stalledMs = ms;
    if (ms >= kReceiverStallShownMs) status_.receiverStalled.store(true);
  };
  const bool written = c_.link.WriteComPort(reinterpret_cast<const std::uint8_t*>(out_.data()),
                                            out_.size(), stalled);
  status_.receiverStalled.store(false);
  if (!written) {
    if (stalledMs < kSerialWriteStallLimitMs) return LinkFailed();
    return LinkFailed("The receiver took no data for " +
                      std::to_string(kSerialWriteStallLimitMs / 1000) + " seconds.");
  }
  if (c_.relayed != nullptr) c_.relayed->Deliver(out_);
  // The total is what reached the receiver.
  std::lock_guard guard(status_.lock);
  AddToTotal(status_.total, static_cast<std::int64_t>(out_.size()));
  return true;
}

bool RoverSession::StillRunning() {
  std::lock_guard guard(status_.lock);
  if (status_.running.load() == 1) return true;
  return Stopped();
}

void RoverSession::UpdateElapsed() {
  watch_.Publish(status_, c_.clock.TickCount());
  const std::int64_t seconds = ConnectedSeconds(sessionStart_, c_.clock.Now());
  std::lock_guard guard(status_.lock);
  status_.elapsedSeconds = seconds;
}

bool RoverSession::TakeFromReceiver() {
  const std::uint32_t now = c_.clock.TickCount();
  if (!receiverReady_) {
    // Called when nothing arrived too: a fragment held back is let go after a while.
    Forward({}, now);
    return true;
  }
  for (int read = 0; read < kMostReceiverReads; ++read) {
    const std::int32_t count =
        c_.link.ReadComPort(reinterpret_cast<std::uint8_t*>(upstream_.data()), upstream_.size());
    // The receiver has gone (unplugged, out of range): the session cannot go on.
    if (count < 0) return LinkFailed();
    Forward(std::string_view(upstream_.data(), static_cast<std::size_t>(count)), now);
    if (static_cast<std::size_t>(count) < upstream_.size()) break;
  }
  return true;
}

void RoverSession::Forward(std::string_view block, std::uint32_t now) {
  if (c_.received != nullptr) c_.received->Deliver(block);
  watch_.TakeFromReceiver(block, now);  // the solution as the receiver reported it
  std::string_view out =
      gga_.Pass(block, settings_.overrideEnabled.load() != 0, settings_.overrideLatitude.load(),
                settings_.overrideLongitude.load(), now);
  if (ggaPace_) out = ggaPace_->Pass(out, now);
  if (out.empty()) return;
  watch_.TakeUpstream(out);
  uplink_.Send(out);
}

bool RoverSession::SendUpstream() {
  const int error = uplink_.Flush(c_.clock.TickCount());
  // Any other failed send shows in the next read from the caster.
  if (error != ETIMEDOUT) return true;
  return Fail({.text = LoadString(kStrSocketReadProblem),
               .detail = EightBitToWide("The caster took no data for " +
                                        std::to_string(kCasterStallLimitMs / 1000) + " seconds.")});
}

}  // namespace

RoverAttemptEnd RunRoverAttempt(const RoverSessionContext& context, int attempt, bool& linkOpen) {
  RoverSession session(context, attempt, linkOpen);
  return session.Run();
}

bool SaveRoverSettings(const RoverSettings& settings, RoverStatus& status,
                       const std::filesystem::path& folder, std::string* problem) {
  std::lock_guard guard(status.lock);
  return WriteSettingsFile(settings, folder, problem);
}

void StartRoverSession(const RoverSessionContext& context) {
  context.status.running.store(1);
  context.status.StartWorker([context] { RoverSessionThread(context); }, "quillon-rover");
}

}  // namespace quillon
