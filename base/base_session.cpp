#include "base/base_session.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <atomic>
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
#include "session/throughput.h"

namespace quillon {
namespace {

// The longest an extra caster's upload waits for bytes or a word from the caster: the stop shuts
// its socket down, which ends the wait at once, and an idle caster costs a wake a second. The
// primary's waits are shorter, for the receiver's watchdog.
constexpr std::uint32_t kExtraUploadWaitMs = 1000;

// Trace lines of faults caught in the worker name this file.
constexpr std::string_view kTraceFile = "zepsourcedlg";

class BaseSession {
 public:
  BaseSession(const BaseSessionContext& context, ReceiverReader& reader, FanOut& outputs)
      : c_(context),
        settings_(context.settings),
        status_(context.status),
        reader_(reader),
        outputs_(outputs) {}
  ~BaseSession() { outputs_.Detach(queue_); }

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
  bool CountTaken();
  bool SendQueued();
  bool SendOnReaderThread();

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
  ReceiverReader& reader_;
  FanOut& outputs_;
  BaseSessionResult result_ = BaseSessionResult::kStopped;

  CasterLogin login_;

  RateWindow window_;
  std::time_t sessionStart_ = 0;
  // The uplink and the stream, between this worker and the receiver's reader, which sends for
  // the caster when it can (SendOnReaderThread) so that a block the socket takes at once costs
  // no wake of this worker; set once the upload runs.
  std::mutex sendMutex_;
  std::atomic<bool> uploading_{false};
  CasterUplink uplink_;
  // The receiver's bytes for this caster, during this attempt.
  OutputQueue queue_{kOutputQueueBytes, [this] { return SendOnReaderThread(); }};
  std::uint64_t counted_ = 0;         // of queue_.Pushed()
  std::uint64_t droppedCounted_ = 0;  // of queue_.Dropped()

  // This pass's wait: the caster has said something.
  bool casterReady_ = false;
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
  outputs_.Detach(queue_);
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
  outputs_.Detach(queue_);
  status_.socket.Close();
  if (!c_.extraCaster) c_.link.CloseComPort();
  result_ = BaseSessionResult::kStopped;
  return false;
}

bool BaseSession::StartUp() {
  status_.socket.Close();
  // From the start, so that what the receiver writes during the first login goes up after it.
  outputs_.Attach(queue_);
  return true;
}

bool BaseSession::OpenLink() {
  if (c_.extraCaster) return true;  // the primary caster's attempts open the receiver
  MessageSink* const owner = status_.owner.load();
  const LinkOpen open = reader_.Open(owner);
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
  // What the receiver wrote during a countdown and the login after it is a minute old: the
  // caster gets live data. Dropped before the host is remembered, so that whatever comes once
  // the front end sees the login goes up.
  if (attempt > 1) counted_ = queue_.Clear();
  if (!c_.settingsFolder.empty()) RememberHost(settings_, c_.settingsFolder);
  if (!c_.extraCaster) reader_.Begin(now);
  // An NTRIP 2 upload is the POST's chunked body.
  std::lock_guard guard(sendMutex_);
  uplink_.Begin(*login_.stream, now, settings_.protocol.version == NtripVersion::k2, &queue_);
  uploading_.store(true);
}

bool BaseSession::SendOnReaderThread() {
  if (!uploading_.load()) return false;
  std::unique_lock guard(sendMutex_, std::try_to_lock);
  if (!guard.owns_lock()) return false;
  uplink_.Pump();
  return !uplink_.Waiting();
}

void BaseSession::UploadLoop() {
  while (Running()) {
    Step(__LINE__, [&] {
      WaitForWork();
      return true;
    });
    if (!Step(__LINE__, [&] { return CasterStillThere(); })) return;
    if (!Step(__LINE__, [&] { return CountTaken(); })) return;
    if (!Step(__LINE__, [&] { return SendQueued(); })) return;
  }
  Stopped();
}

void BaseSession::WaitForWork() {
  casterReady_ = false;
  // The receiver's bytes, a word from the caster, and room for bytes that wait: whichever comes
  // first ends the wait, so that the receiver's bytes go up as they come. The primary's wait is
  // short enough for the stop and the receiver's watchdog to be seen in time.
  const std::uint32_t wait = c_.extraCaster ? kExtraUploadWaitMs : kWaitStepMs;
  short room = 0;
  {
    std::lock_guard guard(sendMutex_);
    if (uplink_.Waiting()) room = POLLOUT;
  }
  std::array<pollfd, 2> entries = {
      {{login_.stream->Descriptor(), static_cast<short>(POLLIN | room), 0},
       {queue_.WakeHandle(), POLLIN, 0}}};
  if (c_.clock.WaitAny(entries, wait) < 0) return;
  casterReady_ = (entries[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) != 0;
  if (entries[1].revents != 0) queue_.ClearWake();
}

bool BaseSession::CasterStillThere() {
  // A caster says nothing after its "OK"; a readable socket means it has closed or failed (or,
  // rarely, sent something, which is dropped).
  if (!casterReady_) return true;
  std::array<char, 256> ignored;
  ssize_t count = 0;
  int error = 0;
  {
    std::lock_guard guard(sendMutex_);
    count = login_.stream->ReadReady(ignored);
    error = errno;
  }
  if (count > 0 || (count < 0 && (error == EAGAIN || error == EWOULDBLOCK))) return true;
  const std::string detail =
      count == 0 ? std::string("The caster closed the connection.")
                 : "Reading from the caster failed: " + SystemErrorText(error) + ".";
  return Fail(BaseSessionResult::kUploadFailed, LoadString(kStrSocketReadProblem), detail);
}

bool BaseSession::CountTaken() {
  const std::uint32_t now = c_.clock.TickCount();
  if (!c_.extraCaster) reader_.Watch(now);
  // Counted as they come for this caster, also bytes a failed send takes with it.
  const std::uint64_t pushed = queue_.Pushed();
  const auto taken = static_cast<std::int64_t>(pushed - counted_);
  counted_ = pushed;
  std::lock_guard guard(status_.lock);
  if (!Running()) return Stopped();
  window_.Count(taken, now, status_);
  AddToTotal(status_.total, taken);
  const std::uint64_t dropped = queue_.Dropped();
  status_.dropped += static_cast<std::int64_t>(dropped - droppedCounted_);
  droppedCounted_ = dropped;
  status_.elapsedSeconds = ConnectedSeconds(sessionStart_, c_.clock.Now());
  return true;
}

bool BaseSession::SendQueued() {
  // The send never waits: a caster that stops reading holds up neither the receiver, whose bytes
  // keep being taken (the oldest dropped when too many wait), nor the front end or the stop.
  int error = 0;
  {
    std::lock_guard guard(sendMutex_);
    error = uplink_.Flush(c_.clock.TickCount());
  }
  if (error == 0) return true;
  const std::string detail = error == ETIMEDOUT
                                 ? "The caster took no data for " +
                                       std::to_string(kCasterStallLimitMs / 1000) + " seconds."
                                 : "Sending to the caster failed: " + SystemErrorText(error) + ".";
  return Fail(BaseSessionResult::kUploadFailed, LoadString(kStrSocketReadProblem), detail);
}

}  // namespace

BaseSessionResult RunBaseSession(const BaseSessionContext& context) {
  if (context.reader != nullptr && context.outputs != nullptr) {
    return BaseSession(context, *context.reader, *context.outputs).Run();
  }
  FanOut outputs;
  ReceiverReader reader(context.link, context.clock, context.settings, context.status, outputs);
  return BaseSession(context, reader, outputs).Run();
}

}  // namespace quillon
