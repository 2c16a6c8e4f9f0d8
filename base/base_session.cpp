#include "base/base_session.h"

#include <arpa/inet.h>
#include <netinet/in.h>
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
#include "net/address.h"
#include "net/caster_connection.h"
#include "ntrip/reply.h"
#include "ntrip/requests.h"

namespace quillon {
namespace {

// Trace lines of faults caught in the worker name this file.
constexpr std::string_view kTraceFile = "zepsourcedlg";

constexpr std::uint32_t kStopCheckMs = 100;  // waits are cut into steps this long to see a stop
constexpr std::uint32_t kRateWindowMs = 1000;
constexpr std::uint32_t kPassPauseMs = 100;

constexpr std::size_t kAddressTextSize = 260;
constexpr std::size_t kCredentialTextSize = 256;
constexpr std::size_t kReplySize = 2000;

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
  bool Resolve();
  bool CreateSocket();
  bool Connect();
  bool SendRequest();
  bool AwaitReply();
  bool CheckReply();
  void BeginUpload();
  void UploadLoop();
  bool UploadChunk(bool& drained);
  void WatchReceiver(std::int32_t count);

  bool Running() const { return status_.running.load() == 1; }
  // Ends the attempt with `result`: error set, `text` (may be empty) as the status text, the
  // socket closed; the link stays open for the next attempt.
  bool Fail(BaseSessionResult result, std::u16string_view text = {});
  bool Stopped();

  const BaseSessionContext& c_;
  BaseSettings& settings_;
  BaseStatus& status_;
  BaseSessionResult result_ = BaseSessionResult::kStopped;

  std::array<char, kAddressTextSize> address_{};
  in_addr casterAddress_{};
  int socket_ = -1;
  std::array<char, kReplySize> reply_{};
  ssize_t replyCount_ = 0;

  std::uint32_t windowStart_ = 0;
  std::int64_t windowBytes_ = 0;
  std::time_t sessionStart_ = 0;
  std::uint32_t lastReceipt_ = 0;
  std::array<std::uint8_t, kUploadChunkSize> chunk_{};
};

BaseSessionResult BaseSession::Run() {
  if (!Step(__LINE__, [&] { return StartUp(); })) return result_;
  if (!Step(__LINE__, [&] { return OpenLink(); })) return result_;
  if (!Step(__LINE__, [&] { return Resolve(); })) return result_;
  if (!Step(__LINE__, [&] { return CreateSocket(); })) return result_;
  if (!Step(__LINE__, [&] { return Connect(); })) return result_;
  if (!Step(__LINE__, [&] { return SendRequest(); })) return result_;
  if (!Step(__LINE__, [&] { return AwaitReply(); })) return result_;
  if (!Step(__LINE__, [&] { return CheckReply(); })) return result_;
  Step(__LINE__, [&] {
    BeginUpload();
    return true;
  });
  UploadLoop();
  return result_;
}

bool BaseSession::Fail(BaseSessionResult result, std::u16string_view text) {
  std::lock_guard guard(status_.lock);
  status_.error.store(1);
  status_.connected = false;
  status_.socket.Close();
  SetFieldText(status_.statusText, text);
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
  reply_.fill(0);
  return true;
}

bool BaseSession::OpenLink() {
  // A serial link stays open across attempts; a Bluetooth link never counts as open here and
  // is opened again every time.
  if (c_.link.IsComPortOpen()) return true;
  if (c_.link.OpenComPort(status_.owner.load(), settings_.comPortName,
                          BaudRateForIndex(settings_.baudIndex))) {
    return true;
  }
  // The link has shown its own message.
  return Fail(BaseSessionResult::kLinkNotOpened);
}

bool BaseSession::Resolve() {
  const CasterAddress resolved = ResolveCasterAddress(address_.data());
  if (resolved.kind == AddressKind::kInvalidDotted) {
    return Fail(BaseSessionResult::kNoSocket);
  }
  // A name that does not resolve stays 0.0.0.0, which Connect refuses.
  casterAddress_ = resolved.kind == AddressKind::kResolved ? resolved.address : in_addr{};
  return true;
}

bool BaseSession::CreateSocket() {
  socket_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (socket_ >= 0) {
    status_.socket.Set(socket_);
    return true;
  }
  return Fail(BaseSessionResult::kNoSocket, LoadString(kStrCouldNotCreateSocket));
}

bool BaseSession::Connect() {
  const int error = ConnectToCaster(socket_, casterAddress_, settings_.port);
  if (error == 0) return true;
  return Fail(BaseSessionResult::kConnectFailed, ConnectionErrorText(error));
}

bool BaseSession::SendRequest() {
  std::array<char, kCredentialTextSize> password{};
  std::array<char, kCredentialTextSize> mountPoint{};
  WideToEightBit(FieldText(settings_.password), password.data(), password.size());
  WideToEightBit(FieldText(settings_.mountPoint), mountPoint.data(), mountPoint.size());
  // The whole request goes out: cutting it to a fixed buffer would cut a long multi-byte
  // password or mount point in half.
  const std::string request = BuildServerRequest(mountPoint.data(), password.data());
  if (SendAll(socket_, request.data(), request.size())) return true;
  return Fail(BaseSessionResult::kLoginIoFailed, LoadString(kStrAuthenticationIo));
}

bool BaseSession::AwaitReply() {
  for (std::uint32_t waited = 0; waited < kReplyPauseMs; waited += kStopCheckMs) {
    if (!Running()) return Stopped();
    c_.clock.Sleep(kStopCheckMs);
  }
  // One read takes what has arrived. A caster that has sent nothing yet is waited for, in
  // bounded steps through the clock, so a silent one cannot hold the worker for ever.
  int ready = 0;
  for (std::uint32_t waited = 0; ready == 0 && waited < kReplyWaitLimitMs; waited += kStopCheckMs) {
    if (!Running()) return Stopped();
    ready = c_.clock.WaitReadable(socket_, kStopCheckMs);
  }
  if (!Running()) return Stopped();
  reply_.fill(0);
  replyCount_ = 0;
  if (ready < 0) {
    replyCount_ = -1;
  } else if (ready > 0) {
    do {
      replyCount_ = recv(socket_, reply_.data(), reply_.size() - 1, 0);  // stays terminated
    } while (replyCount_ < 0 && errno == EINTR);
  }
  if (replyCount_ >= 0) return true;
  return Fail(BaseSessionResult::kLoginIoFailed, LoadString(kStrAuthenticationIo));
}

bool BaseSession::CheckReply() {
  if (ReplyContains(std::string_view(reply_.data(), static_cast<std::size_t>(replyCount_)),
                    kServerSuccessToken)) {
    return true;
  }
  return Fail(BaseSessionResult::kRejected, LoadString(kStrCredentialsRejected));
}

void BaseSession::BeginUpload() {
  windowStart_ = c_.clock.TickCount();
  windowBytes_ = 0;
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
    windowBytes_ += count;
    const std::uint32_t span = now - windowStart_;
    if (span > kRateWindowMs) {
      status_.rate = static_cast<std::int32_t>(windowBytes_ * 1000 / span);
      windowStart_ = c_.clock.TickCount();
      windowBytes_ = 0;
      if (status_.rate > status_.peak) status_.peak = status_.rate;
    }
    // Wraps like the 32-bit counter it is, rather than overflowing.
    status_.total = static_cast<std::int32_t>(static_cast<std::uint32_t>(status_.total) +
                                              static_cast<std::uint32_t>(count));
    status_.elapsed = FormatElapsed(c_.clock.Now() - sessionStart_);
  }
  // The send goes out without the lock: a caster that stops reading blocks it for as long as
  // it likes, and the front end's status line and the stop sequence's reset both need the lock
  // meanwhile. The stop wakes the send by shutting the socket down.
  if (count > 0 && !SendAll(socket_, reinterpret_cast<const char*>(chunk_.data()),
                            static_cast<std::size_t>(count))) {
    return Fail(BaseSessionResult::kUploadFailed, LoadString(kStrSocketReadProblem));
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
