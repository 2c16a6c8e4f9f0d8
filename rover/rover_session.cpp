#include "rover/rover_session.h"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

#include "common/baud.h"
#include "common/format.h"
#include "common/guard.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/caster_connection.h"
#include "ntrip/caster_login.h"
#include "ntrip/gga_override.h"
#include "ntrip/reply.h"
#include "ntrip/reply_header_filter.h"
#include "ntrip/requests.h"
#include "session/throughput.h"

namespace quillon {
namespace {

// Trace lines of faults caught in the worker name this file.
constexpr std::string_view kTraceFile = "zepinterlinkdlg";

constexpr std::uint32_t kSocketWaitMs = 1000;
constexpr std::uint32_t kSilenceLimitMs = 60000;
constexpr std::uint32_t kPassPauseMs = 100;

constexpr std::size_t kAddressTextSize = 260;
constexpr std::size_t kCredentialTextSize = 256;
constexpr std::size_t kRelayBufferSize = 2000;
// The most read from the receiver in one pass.
constexpr std::size_t kUpstreamReadMax = 1023;

class RoverSession {
 public:
  explicit RoverSession(const RoverSessionContext& context)
      : c_(context), settings_(context.settings), status_(context.status) {}

  void Run();

 private:
  // One guarded step; false when it ended the session.
  template <typename Body>
  bool Step(int line, Body body) {
    return GuardedStep(kTraceFile, line, body);
  }

  bool StartUp();
  bool OpenLink();
  bool LogIn();
  bool ConnectFailed(const CasterConnect& connect);
  bool CheckReply();
  void BeginSession();
  void RelayLoop();
  bool ReceiveFromCaster();
  bool CheckConnection();
  bool WriteToReceiver();
  bool StillRunning();
  void UpdateElapsed();
  bool ForwardUpstream();

  bool StopAsked() const { return status_.running.load() == 0; }
  void CloseSocketAndLink() {
    status_.socket.Close();
    c_.link.CloseComPort();
  }
  void GiveUp(std::u16string text, std::u16string caption = LoadString(kStrError),
              std::u16string detail = {}) {
    status_.GiveUp(text, caption, detail);
  }
  void GiveUp(std::u16string text, std::string_view detail) {
    GiveUp(std::move(text), LoadString(kStrError), EightBitToWide(detail));
  }

  const RoverSessionContext& c_;
  RoverSettings& settings_;
  RoverStatus& status_;

  std::array<char, kAddressTextSize> address_{};
  int socket_ = -1;

  CasterLogin login_;
  // Header lines behind the status line are the caster's, not the receiver's.
  ReplyHeaderFilter headers_;
  // The stream's first bytes, which came with the reply: the first pass relays them.
  std::string_view loginBytes_;

  int result_ = 0;       // this pass's caster read: bytes, 0 (nothing), -1 (failure)
  int resultError_ = 0;  // errno of a failed pass
  bool casterClosed_ = false;  // the caster ended the connection (a read of 0 bytes)
  std::string_view out_;       // what this pass writes to the receiver
  RateWindow window_;
  std::uint32_t lastData_ = 0;
  std::time_t sessionStart_ = 0;

  std::array<char, kRelayBufferSize> relay_{};
  std::array<char, kUpstreamReadMax> upstream_{};
  GgaOverride gga_;
};

void RoverSession::Run() {
  if (!Step(__LINE__, [&] { return StartUp(); })) return;
  if (!Step(__LINE__, [&] { return OpenLink(); })) return;
  if (!Step(__LINE__, [&] { return LogIn(); })) return;
  if (!Step(__LINE__, [&] { return CheckReply(); })) return;
  Step(__LINE__, [&] {
    BeginSession();
    return true;
  });
  Trace("ENTERING MAIN LOOP");
  RelayLoop();
}

bool RoverSession::StartUp() {
  WideToEightBit(FieldText(settings_.address), address_.data(), address_.size());
  // No socket and no serial device left from an earlier session.
  status_.socket.Close();
  c_.link.State().hPort.Close();
  relay_.fill(0);
  return true;
}

bool RoverSession::OpenLink() {
  // The open appends ":" to the name; the record takes it under the lock, since the front end
  // may be saving the record meanwhile (the override dialog).
  auto name = settings_.comPortName;
  const bool opened =
      c_.link.OpenComPort(status_.owner.load(), name, BaudRateForIndex(settings_.baudIndex)).opened;
  std::lock_guard guard(status_.lock);
  settings_.comPortName = name;
  if (opened) return true;
  // The link has shown its own message.
  if (status_.running.load() == 1) {
    status_.running.store(0);
    status_.error.store(1);
  }
  return false;
}

bool RoverSession::LogIn() {
  std::string request;
  if (settings_.noAuthentication == 0) {
    std::array<char, kCredentialTextSize> user{};
    std::array<char, kCredentialTextSize> password{};
    std::array<char, kCredentialTextSize> mountPoint{};
    WideToEightBit(FieldText(settings_.userName), user.data(), user.size());
    WideToEightBit(FieldText(settings_.password), password.data(), password.size());
    WideToEightBit(FieldText(settings_.mountPoint), mountPoint.data(), mountPoint.size());
    // The whole request goes out: cutting it to a fixed buffer would cut the credentials of
    // long multi-byte names in half.
    request = BuildClientRequest(user.data(), password.data(), mountPoint.data());
  }
  login_ = LogInToCaster(address_.data(), settings_.port, request, status_.socket, c_.clock,
                         [this] { return StopAsked(); });
  socket_ = status_.socket.Get();
  switch (login_.end) {
    case LoginEnd::kNotConnected:
      return ConnectFailed(login_.connect);
    case LoginEnd::kStopped:
      CloseSocketAndLink();
      return false;
    case LoginEnd::kSendFailed:
      CloseSocketAndLink();
      GiveUp(LoadString(kStrAuthenticationIo));
      return false;
    case LoginEnd::kReadFailed:
      CloseSocketAndLink();
      GiveUp(LoadString(kStrAuthenticationIo), DescribeLoginReply(login_));
      return false;
    case LoginEnd::kConnected:  // no authentication: the caster streams at once, all of it ours
      headers_.Flush();
      return true;
    case LoginEnd::kReplied:
    case LoginEnd::kClosed:
    case LoginEnd::kSilent:
      return true;
  }
  return false;
}

bool RoverSession::ConnectFailed(const CasterConnect& connect) {
  switch (connect.step) {
    case ConnectStep::kConnected:
    case ConnectStep::kStopped:
      CloseSocketAndLink();
      return false;
    case ConnectStep::kInvalidAddress:
      c_.link.CloseComPort();
      GiveUp(u"Does not appear to be a valid address?", u"Error");
      return false;
    case ConnectStep::kUnresolved:
      c_.link.CloseComPort();
      GiveUp(ConnectionErrorText(connect.address), LoadString(kStrError),
             UnresolvedNameDetail(address_.data()));
      return false;
    case ConnectStep::kNoSocket:
      c_.link.CloseComPort();
      GiveUp(FormatText(LoadString(kStrCouldNotCreateSocket), {std::int64_t{connect.error}}));
      return false;
    case ConnectStep::kConnectFailed:
      c_.link.CloseComPort();
      GiveUp(ConnectionErrorText(connect.error));
      status_.socket.Close();
      return false;
  }
  return false;
}

bool RoverSession::CheckReply() {
  if (login_.end == LoginEnd::kConnected) return true;
  if (!ReplyContains(login_.StatusLine(), kClientSuccessToken)) {
    CloseSocketAndLink();
    GiveUp(LoadString(kStrCredentialsRejected), DescribeLoginReply(login_));
    return false;
  }
  loginBytes_ = headers_.Pass(login_.AfterStatusLine());
  return true;
}

void RoverSession::BeginSession() {
  window_.Begin(c_.clock.TickCount());
  sessionStart_ = c_.clock.Now();
  {
    std::lock_guard guard(status_.lock);
    status_.connected = true;
    RememberHost(settings_, c_.settingsFolder);
  }
  lastData_ = c_.clock.TickCount();
}

void RoverSession::RelayLoop() {
  while (status_.running.load() == 1) {
    Step(__LINE__, [&] { return ReceiveFromCaster(); });
    if (!Step(__LINE__, [&] { return CheckConnection(); })) return;
    Step(__LINE__, [&] {
      window_.Count(static_cast<std::int64_t>(out_.size()), c_.clock.TickCount(), status_);
      return true;
    });
    if (!Step(__LINE__, [&] { return WriteToReceiver(); })) return;
    if (!StillRunning()) return;
    Step(__LINE__, [&] {
      UpdateElapsed();
      return true;
    });
    if (!Step(__LINE__, [&] { return ForwardUpstream(); })) return;
    Step(__LINE__, [&] {
      // The pause ends early when the caster's next bytes arrive, so they reach the receiver
      // as they come rather than up to a pause later.
      c_.clock.WaitReadable(socket_, kPassPauseMs);
      return true;
    });
  }
  CloseSocketAndLink();
}

bool RoverSession::ReceiveFromCaster() {
  result_ = 0;
  resultError_ = 0;
  casterClosed_ = false;
  out_ = std::exchange(loginBytes_, {});
  if (!out_.empty()) {
    result_ = static_cast<int>(out_.size());
    return true;
  }
  const int ready = c_.clock.WaitReadable(socket_, kSocketWaitMs);
  if (ready > 0) {
    result_ = static_cast<int>(recv(socket_, relay_.data(), relay_.size(), 0));
    casterClosed_ = result_ == 0;
  } else if (ready < 0) {
    result_ = -1;
  }
  if (result_ < 0) resultError_ = errno;
  if (result_ > 0) {
    out_ = headers_.Pass(std::string_view(relay_.data(), static_cast<std::size_t>(result_)));
  } else if (result_ == 0 && headers_.Holding()) {
    // A caster paused or closed inside what looked like a header line: it was the stream. It
    // goes now; a close is seen again by the next read.
    out_ = headers_.Flush();
    result_ = static_cast<int>(out_.size());
    casterClosed_ = false;
  }
  return true;
}

bool RoverSession::CheckConnection() {
  bool lost = false;
  const std::uint32_t now = c_.clock.TickCount();
  if (result_ > 0) {
    lastData_ = now;
  } else if (result_ == 0) {
    // A caster that has closed is gone now; one that is only silent, after a long silence.
    lost = casterClosed_ || now - lastData_ > kSilenceLimitMs;
  } else {
    // EINVAL stands for the error the loop was always meant to ride out; an interrupted call
    // is no loss either.
    lost = resultError_ != 0 && resultError_ != EINVAL && resultError_ != EINTR &&
           resultError_ != EAGAIN;
  }
  if (!lost) return true;
  CloseSocketAndLink();
  std::string detail;
  if (casterClosed_) {
    detail = "The caster closed the connection.";
  } else if (result_ < 0) {
    detail = "Reading from the caster failed: " + SystemErrorText(resultError_) + ".";
  } else {
    detail = "The caster sent nothing for " + std::to_string(kSilenceLimitMs / 1000) + " seconds.";
  }
  GiveUp(LoadString(kStrSocketReadProblem), detail);
  return false;
}

bool RoverSession::WriteToReceiver() {
  if (out_.empty()) return true;
  {
    std::lock_guard guard(status_.lock);
    AddToTotal(status_.total, static_cast<std::int64_t>(out_.size()));
  }
  if (c_.link.WriteComPort(reinterpret_cast<const std::uint8_t*>(out_.data()), out_.size())) {
    return true;
  }
  CloseSocketAndLink();
  GiveUp(LoadString(kStrComPortIoError));
  return false;
}

bool RoverSession::StillRunning() {
  std::lock_guard guard(status_.lock);
  if (status_.running.load() == 1) return true;
  CloseSocketAndLink();
  return false;
}

void RoverSession::UpdateElapsed() {
  const std::int64_t seconds = ConnectedSeconds(sessionStart_, c_.clock.Now());
  std::lock_guard guard(status_.lock);
  status_.elapsedSeconds = seconds;
}

bool RoverSession::ForwardUpstream() {
  const std::int32_t count =
      c_.link.ReadComPort(reinterpret_cast<std::uint8_t*>(upstream_.data()), upstream_.size());
  if (count < 0) {
    // The receiver has gone (unplugged, out of range): the session cannot go on.
    CloseSocketAndLink();
    GiveUp(LoadString(kStrComPortIoError));
    return false;
  }
  // Called when nothing arrived too: a fragment held back is let go after a while.
  const std::string_view out =
      gga_.Pass(std::string_view(upstream_.data(), static_cast<std::size_t>(count)),
                settings_.overrideEnabled.load() != 0, settings_.overrideLatitude.load(),
                settings_.overrideLongitude.load(), c_.clock.TickCount());
  // A failed send shows in the next reads from the caster.
  if (!out.empty()) send(socket_, out.data(), out.size(), MSG_NOSIGNAL);
  return true;
}

}  // namespace

void RoverSessionThread(const RoverSessionContext& context) {
  RoverSession session(context);
  session.Run();
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
