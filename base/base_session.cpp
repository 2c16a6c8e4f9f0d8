#include "base/base_session.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <mutex>
#include <string>

#include "common/baud.h"
#include "common/format.h"
#include "common/guard.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/caster_connection.h"
#include "ntrip/caster_login.h"
#include "ntrip/reply.h"
#include "ntrip/requests.h"
#include "session/throughput.h"

namespace quillon {
namespace {

// Trace lines of faults caught in the worker name this file.
constexpr std::string_view kTraceFile = "zepsourcedlg";

constexpr std::uint32_t kPassPauseMs = 100;

constexpr std::size_t kAddressTextSize = 260;
constexpr std::size_t kCredentialTextSize = 256;

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
  bool ConnectFailed(const CasterConnect& connect);
  bool CheckReply();
  void BeginUpload();
  void UploadLoop();
  bool CasterStillThere();
  bool UploadChunk(bool& drained);
  void WatchReceiver(std::int32_t count);

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

  std::array<char, kAddressTextSize> address_{};
  int socket_ = -1;
  CasterLogin login_;

  RateWindow window_;
  std::time_t sessionStart_ = 0;
  std::uint32_t lastReceipt_ = 0;
  std::array<std::uint8_t, kUploadChunkSize> chunk_{};
};

BaseSessionResult BaseSession::Run() {
  if (!Step(__LINE__, [&] { return StartUp(); })) return result_;
  if (!Step(__LINE__, [&] { return OpenLink(); })) return result_;
  if (!Step(__LINE__, [&] { return LogIn(); })) return result_;
  if (!Step(__LINE__, [&] { return CheckReply(); })) return result_;
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
  WideToEightBit(FieldText(settings_.address), address_.data(), address_.size());
  status_.socket.Close();
  return true;
}

bool BaseSession::OpenLink() {
  // A serial link stays open across attempts; a Bluetooth link never counts as open here and
  // is opened again every time.
  if (c_.link.IsComPortOpen()) return true;
  const LinkOpen open = c_.link.OpenComPort(status_.owner.load(), settings_.comPortName,
                                            BaudRateForIndex(settings_.baudIndex));
  if (open) return true;
  // The link has shown its message; the retry line repeats it, and its reason goes beside it.
  return Fail(BaseSessionResult::kLinkNotOpened, LoadString(kStrUnableToOpenComPort), open.detail);
}

bool BaseSession::LogIn() {
  std::array<char, kCredentialTextSize> password{};
  std::array<char, kCredentialTextSize> mountPoint{};
  WideToEightBit(FieldText(settings_.password), password.data(), password.size());
  WideToEightBit(FieldText(settings_.mountPoint), mountPoint.data(), mountPoint.size());
  // The whole request goes out: cutting it to a fixed buffer would cut a long multi-byte
  // password or mount point in half.
  const std::string request = BuildServerRequest(mountPoint.data(), password.data());
  login_ = LogInToCaster(address_.data(), settings_.port, request, status_.socket, c_.clock,
                         StopAsked());
  socket_ = status_.socket.Get();
  switch (login_.end) {
    case LoginEnd::kNotConnected:
      return ConnectFailed(login_.connect);
    case LoginEnd::kStopped:
      return Stopped();
    case LoginEnd::kSendFailed:
      return Fail(BaseSessionResult::kLoginIoFailed, LoadString(kStrAuthenticationIo));
    case LoginEnd::kReadFailed:
      return Fail(BaseSessionResult::kLoginIoFailed, LoadString(kStrAuthenticationIo),
                  DescribeLoginReply(login_));
    case LoginEnd::kConnected:
    case LoginEnd::kReplied:
    case LoginEnd::kClosed:
    case LoginEnd::kSilent:
      return true;
  }
  return false;
}

bool BaseSession::ConnectFailed(const CasterConnect& connect) {
  switch (connect.step) {
    case ConnectStep::kConnected:
    case ConnectStep::kStopped:
      return Stopped();
    case ConnectStep::kInvalidAddress:
      return Fail(BaseSessionResult::kNoSocket);
    case ConnectStep::kUnresolved:
      return Fail(BaseSessionResult::kConnectFailed, ConnectionErrorText(connect.address),
                  UnresolvedNameDetail(address_.data()));
    case ConnectStep::kNoSocket:
      return Fail(BaseSessionResult::kNoSocket, LoadString(kStrCouldNotCreateSocket));
    case ConnectStep::kConnectFailed:
      return Fail(BaseSessionResult::kConnectFailed, ConnectionErrorText(connect.error));
  }
  return Fail(BaseSessionResult::kConnectFailed);
}

bool BaseSession::CheckReply() {
  // Also "ICY 200 OK\r\n" and an HTTP status line that ends in "OK" hold the token.
  if (ReplyContains(login_.StatusLine(), kServerSuccessToken)) return true;
  return Fail(BaseSessionResult::kRejected, LoadString(kStrCredentialsRejected),
              DescribeLoginReply(login_));
}

void BaseSession::BeginUpload() {
  window_.Begin(c_.clock.TickCount());
  sessionStart_ = c_.clock.Now();
  {
    std::lock_guard guard(status_.lock);
    status_.connected = true;
  }
  if (!c_.settingsFolder.empty()) RememberHost(settings_, c_.settingsFolder);
  lastReceipt_ = c_.clock.TickCount();
}

void BaseSession::UploadLoop() {
  while (Running()) {
    if (!Step(__LINE__, [&] { return CasterStillThere(); })) return;
    // Everything the receiver has waiting goes up in this pass, a chunk at a time: forwarding
    // one chunk per pause would fall behind a fast receiver and its driver would drop bytes.
    bool drained = false;
    while (!drained) {
      if (!Step(__LINE__, [&] { return UploadChunk(drained); })) return;
    }
    Step(__LINE__, [&] {
      c_.clock.Sleep(kPassPauseMs);
      return true;
    });
  }
  Stopped();
}

bool BaseSession::CasterStillThere() {
  // A caster says nothing after its "OK"; a readable socket means it has closed or failed (or,
  // rarely, sent something, which is dropped).
  pollfd caster{socket_, POLLIN, 0};
  if (poll(&caster, 1, 0) <= 0) return true;
  std::array<char, 256> ignored;
  const ssize_t count = recv(socket_, ignored.data(), ignored.size(), MSG_DONTWAIT);
  if (count > 0 || (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))) {
    return true;
  }
  const std::string detail =
      count == 0 ? std::string("The caster closed the connection.")
                 : "Reading from the caster failed: " + SystemErrorText(errno) + ".";
  return Fail(BaseSessionResult::kUploadFailed, LoadString(kStrSocketReadProblem), detail);
}

bool BaseSession::UploadChunk(bool& drained) {
  drained = true;  // a fault in this step ends the pass
  const std::uint32_t now = c_.clock.TickCount();
  chunk_.fill(0);
  // A receiver that has gone reads as a silent one: the watchdog opens its link again.
  const std::int32_t count = std::max(c_.link.ReadComPort(chunk_.data(), chunk_.size()), 0);
  WatchReceiver(count);

  {
    std::lock_guard guard(status_.lock);
    if (!Running()) return Stopped();
    window_.Count(count, now, status_);
    AddToTotal(status_.total, count);
    status_.elapsedSeconds = ConnectedSeconds(sessionStart_, c_.clock.Now());
  }
  // The send goes out without the lock: a caster that stops reading holds it up, and the front
  // end's status line and the stop sequence's reset both need the lock meanwhile. A send that
  // makes no progress for a while ends the attempt; a stop ends it at once.
  if (count > 0) {
    const int error = SendWithin(socket_,
                                 std::string_view(reinterpret_cast<const char*>(chunk_.data()),
                                                  static_cast<std::size_t>(count)),
                                 c_.clock, kSendStallLimitMs, StopAsked());
    if (error == ECANCELED) return Stopped();
    if (error != 0) {
      const std::string detail =
          error == ETIMEDOUT ? "The caster took no data for " +
                                   std::to_string(kSendStallLimitMs / 1000) + " seconds."
                             : "Sending to the caster failed: " + SystemErrorText(error) + ".";
      return Fail(BaseSessionResult::kUploadFailed, LoadString(kStrSocketReadProblem), detail);
    }
  }
  // A short read means the receiver had nothing more waiting.
  drained = static_cast<std::size_t>(count) < chunk_.size();
  return true;
}

void BaseSession::WatchReceiver(std::int32_t count) {
  if (count > 0) {
    lastReceipt_ = c_.clock.TickCount();
    return;
  }
  const std::uint32_t now = c_.clock.TickCount();
  // Compared as signed values, as the tick counter always was here; the difference is taken
  // wide so that it cannot overflow.
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

}  // namespace

BaseSessionResult RunBaseSession(const BaseSessionContext& context) {
  BaseSession session(context);
  return session.Run();
}

}  // namespace quillon
