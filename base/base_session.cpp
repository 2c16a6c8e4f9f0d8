#include "base/base_session.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>
#include <string>

#include "common/baud.h"
#include "common/guard.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/caster_connection.h"
#include "ntrip/caster_login.h"
#include "ntrip/mount_point_login.h"
#include "platform/wait_step.h"
#include "session/caster_uplink.h"
#include "session/stream_watch.h"
#include "session/throughput.h"

namespace quillon {
namespace {

// Trace lines of faults caught in the worker name this file.
constexpr std::string_view kTraceFile = "zepsourcedlg";

// The most chunks taken from the receiver in one pass.
constexpr int kMostChunksPerPass = 64;

class BaseSession {
 public:
  explicit BaseSession(const BaseSessionContext& context)
      : c_(context), settings_(context.settings), status_(context.status) {}

  BaseSessionResult Run();

 private:
  // One guarded step; false when it ended the attempt.
  template <typename Body>
  bool Step(int line, Body body) {
    return GuardedStep(kTraceFile, line, body);
  }

  bool StartUp();
  bool OpenLink();
  bool LogIn();
  void BeginUpload();
  void UploadLoop();
  void WaitForWork();
  bool CasterStillThere();
  bool TakeFromReceiver();
  bool SendQueued();
  void WatchReceiver(std::int64_t count);
  void LoseReceiver(std::uint32_t now);
  void ReopenLostReceiver(std::uint32_t now);

  bool Running() const { return status_.running.load() == 1; }
  StopRequested StopAsked() const {
    return [this] { return !Running(); };
  }
  // Ends the attempt with `result`: error set, `text` (may be empty) as the status text and
  // `detail` beside it, the socket closed; the link stays open for the next attempt.
  bool Fail(BaseSessionResult result, std::u16string_view text = {},
            std::u16string_view detail = {});
  bool Fail(BaseSessionResult result, std::u16string_view text, std::string_view detail) {
    return Fail(result, text, std::u16string_view(EightBitToWide(detail)));
  }
  bool Stopped();

  const BaseSessionContext& c_;
  BaseSettings& settings_;
  BaseStatus& status_;
  BaseSessionResult result_ = BaseSessionResult::kStopped;

  CasterLogin login_;

  RateWindow window_;
  std::time_t sessionStart_ = 0;
  std::uint32_t lastReceipt_ = 0;
  std::array<std::uint8_t, kUploadChunkSize> chunk_{};
  CasterUplink uplink_;
  StreamWatch watch_{StreamSide::kBase};  // what the upload holds, and what is wrong with it

  // This pass's wait: what is ready.
  bool casterReady_ = false;
  bool receiverReady_ = false;
  // The link reported the receiver gone; it is opened again every kReceiverReopenMs.
  bool receiverLost_ = false;
  std::uint32_t lastReopen_ = 0;
};

BaseSessionResult BaseSession::Run() {
  if (!Step(__LINE__, [&] { return StartUp(); })) return result_;
  if (!Step(__LINE__, [&] { return OpenLink(); })) return result_;
  if (!Step(__LINE__, [&] { return LogIn(); })) return result_;
  Step(__LINE__, [&] {
    BeginUpload();
    return true;
  });
  UploadLoop();
  return result_;
}

bool BaseSession::Fail(BaseSessionResult result, std::u16string_view text,
                       std::u16string_view detail) {
  std::lock_guard guard(status_.lock);
  status_.error.store(1);
  status_.connected = false;
  status_.receiverLost = false;
  status_.socket.Close();
  SetFieldText(status_.statusText, text);
  status_.detail = detail;
  result_ = result;
  return false;
}

bool BaseSession::Stopped() {
  status_.socket.Close();
  c_.link.CloseComPort();
  result_ = BaseSessionResult::kStopped;
  return false;
}

bool BaseSession::StartUp() {
  status_.socket.Close();
  return true;
}

bool BaseSession::OpenLink() {
  // A serial link stays open across attempts; a Bluetooth link never counts as open here and
  // is opened again every time.
  if (c_.link.IsComPortOpen()) return true;
  MessageSink* const owner = status_.owner.load();
  const LinkOpen open =
      c_.link.OpenComPort(owner, settings_.comPortName, BaudRateForIndex(settings_.baudIndex));
  if (open) return true;
  // The retry line repeats the message. Its reason (and what to do) goes beside it only when no
  // owner has shown the message with them already.
  return Fail(BaseSessionResult::kLinkNotOpened, LoadString(kStrUnableToOpenComPort),
              owner != nullptr ? std::u16string_view() : std::u16string_view(open.detail));
}

bool BaseSession::LogIn() {
  MountPointLogin result = LogInToMountPoint(settings_, LoginRole::kServer, status_.socket,
                                             c_.clock, StopAsked(), c_.insecureTls);
  login_ = std::move(result.login);
  switch (result.failure) {
    case LoginFailure::kNone:
      return true;
    case LoginFailure::kStopped:
      return Stopped();
    case LoginFailure::kNoSocket:
      return Fail(BaseSessionResult::kNoSocket, result.text, result.detail);
    case LoginFailure::kConnectFailed:
      return Fail(BaseSessionResult::kConnectFailed, result.text, result.detail);
    case LoginFailure::kIoFailed:
      return Fail(BaseSessionResult::kLoginIoFailed, result.text, result.detail);
    case LoginFailure::kRefused:
      return Fail(BaseSessionResult::kRejected, result.text, result.detail);
  }
  return Fail(BaseSessionResult::kConnectFailed);
}

void BaseSession::BeginUpload() {
  const std::uint32_t now = c_.clock.TickCount();
  window_.Begin(now);
  sessionStart_ = c_.clock.Now();
  int attempt = 0;
  {
    std::lock_guard guard(status_.lock);
    status_.connected = true;
    attempt = status_.attempt;
  }
  // What the receiver wrote during the countdown is a minute old: the caster gets live data.
  if (attempt > 1) c_.link.DiscardInput();
  if (!c_.settingsFolder.empty()) RememberHost(settings_, c_.settingsFolder);
  lastReceipt_ = now;
  // An NTRIP 2 upload is the POST's chunked body.
  uplink_.Begin(*login_.stream, now, settings_.protocol.version == NtripVersion::k2);
  watch_.Begin(status_, now);
}

void BaseSession::UploadLoop() {
  while (Running()) {
    Step(__LINE__, [&] {
      WaitForWork();
      return true;
    });
    if (!Step(__LINE__, [&] { return CasterStillThere(); })) return;
    if (!Step(__LINE__, [&] { return TakeFromReceiver(); })) return;
    if (!Step(__LINE__, [&] { return SendQueued(); })) return;
  }
  Stopped();
}

void BaseSession::WaitForWork() {
  casterReady_ = false;
  receiverReady_ = false;
  // The receiver's bytes, a word from the caster, and room for bytes that wait: whichever comes
  // first ends the wait, so that the receiver's bytes go up as they come. The wait is short
  // enough for the stop and the receiver's watchdog to be seen in time.
  const short room = uplink_.Waiting() ? POLLOUT : 0;
  std::array<pollfd, 2> entries = {
      {{login_.stream->Descriptor(), static_cast<short>(POLLIN | room), 0},
       {receiverLost_ ? -1 : c_.link.ReadyHandle(), POLLIN, 0}}};
  if (c_.clock.WaitAny(entries, kWaitStepMs) < 0) return;
  casterReady_ = (entries[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
  receiverReady_ = !receiverLost_ && (entries[1].fd < 0 || entries[1].revents != 0);
}

bool BaseSession::CasterStillThere() {
  // A caster says nothing after its "OK"; a readable socket means it has closed or failed (or,
  // rarely, sent something, which is dropped).
  if (!casterReady_) return true;
  std::array<char, 256> ignored;
  const ssize_t count = login_.stream->ReadReady(ignored);
  if (count > 0 || (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))) return true;
  const std::string detail =
      count == 0 ? std::string("The caster closed the connection.")
                 : "Reading from the caster failed: " + SystemErrorText(errno) + ".";
  return Fail(BaseSessionResult::kUploadFailed, LoadString(kStrSocketReadProblem), detail);
}

bool BaseSession::TakeFromReceiver() {
  const std::uint32_t now = c_.clock.TickCount();
  std::int64_t taken = 0;
  if (receiverLost_) {
    ReopenLostReceiver(now);
  } else if (receiverReady_) {
    // Everything the receiver has waiting goes up in this pass, a chunk at a time (a bounded
    // number of them, so the stop is seen meanwhile).
    for (int read = 0; read < kMostChunksPerPass; ++read) {
      chunk_.fill(0);
      const std::int32_t count = c_.link.ReadComPort(chunk_.data(), chunk_.size());
      if (count < 0) {
        LoseReceiver(now);
        break;
      }
      const std::string_view block(reinterpret_cast<const char*>(chunk_.data()),
                                   static_cast<std::size_t>(count));
      watch_.Scan(block, now);
      uplink_.Send(block);
      taken += count;
      if (static_cast<std::size_t>(count) < chunk_.size()) break;
    }
  }
  if (!receiverLost_) WatchReceiver(taken);
  watch_.Publish(status_, now);

  // Counted as they are read, also bytes a failed send takes with it.
  std::lock_guard guard(status_.lock);
  if (!Running()) return Stopped();
  window_.Count(taken, now, status_);
  AddToTotal(status_.total, taken);
  status_.elapsedSeconds = ConnectedSeconds(sessionStart_, c_.clock.Now());
  return true;
}

bool BaseSession::SendQueued() {
  // The send never waits: a caster that stops reading holds up neither the receiver, whose bytes
  // keep being taken (the oldest dropped when too many wait), nor the front end or the stop.
  const int error = uplink_.Flush(c_.clock.TickCount());
  if (error == 0) return true;
  const std::string detail = error == ETIMEDOUT
                                 ? "The caster took no data for " +
                                       std::to_string(kCasterStallLimitMs / 1000) + " seconds."
                                 : "Sending to the caster failed: " + SystemErrorText(error) + ".";
  return Fail(BaseSessionResult::kUploadFailed, LoadString(kStrSocketReadProblem), detail);
}

void BaseSession::WatchReceiver(std::int64_t count) {
  if (count > 0) {
    lastReceipt_ = c_.clock.TickCount();
    return;
  }
  const std::uint32_t now = c_.clock.TickCount();
  // Compared as signed values, so that a tick count that wraps moves the mark on instead of
  // firing the watchdog; the difference is taken wide so that it cannot overflow.
  const auto signedNow = static_cast<std::int32_t>(now);
  const auto signedLast = static_cast<std::int32_t>(lastReceipt_);
  if (signedNow <= signedLast) {
    lastReceipt_ = now;
  } else if (std::int64_t{signedNow} - signedLast > kReceiverWatchdogMs) {
    c_.link.CloseComPort();
    c_.link.OpenComPort(nullptr, settings_.comPortName, BaudRateForIndex(settings_.baudIndex));
    lastReceipt_ = c_.clock.TickCount();
  }
}

void BaseSession::LoseReceiver(std::uint32_t now) {
  // Unplugged or out of range: the caster stays connected while the link is opened again.
  c_.link.CloseComPort();
  receiverLost_ = true;
  lastReopen_ = now;
  std::lock_guard guard(status_.lock);
  status_.receiverLost = true;
}

void BaseSession::ReopenLostReceiver(std::uint32_t now) {
  if (now - lastReopen_ < kReceiverReopenMs) return;
  lastReopen_ = now;
  if (!c_.link.OpenComPort(nullptr, settings_.comPortName, BaudRateForIndex(settings_.baudIndex))) {
    return;
  }
  receiverLost_ = false;
  lastReceipt_ = c_.clock.TickCount();
  std::lock_guard guard(status_.lock);
  status_.receiverLost = false;
}

}  // namespace

BaseSessionResult RunBaseSession(const BaseSessionContext& context) {
  BaseSession session(context);
  return session.Run();
}

}  // namespace quillon
