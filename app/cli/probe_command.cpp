#include "app/cli/probe_command.h"

#include <array>
#include <cerrno>
#include <string_view>

#include "app/cli/console_message_sink.h"
#include "app/cli/probe_report.h"
#include "app/cli/session_options.h"
#include "app/cli/sourcetable_command.h"
#include "app/cli/stop_signals.h"
#include "common/strings.h"
#include "common/text.h"
#include "common/utf8.h"
#include "net/caster_socket.h"
#include "net/caster_stream.h"
#include "net/tls_options.h"
#include "ntrip/mount_point_login.h"
#include "ntrip/requests.h"
#include "platform/system_error.h"
#include "rtcm/rtcm_scanner.h"

namespace quillon::cli {
namespace {

constexpr char kUsage[] =
    "Usage: quillon probe HOST[:PORT]/MOUNT [--seconds N] [--user NAME] [--password-file FILE]\n"
    "                     [--near LAT,LON] [--format text|json] [--ntrip 1|2]\n"
    "                     [--tls [--ca-file FILE | --insecure]]\n";

constexpr std::size_t kReadSize = 4096;

struct ProbeOptions {
  SessionOptions session;  // caster, mount point, user, password, seconds, protocol
  std::optional<GeoPosition> near;
  bool json = false;
};

// Takes the target, --near and --format here and leaves the rest to the session options, which
// check the caster, mount point, user and password as `quillon rover` does.
bool ParseProbeOptions(const Arguments& args, const CommandEnvironment& environment,
                       ProbeOptions& options, std::string& problem) {
  Arguments session;
  bool targetSeen = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if ((word == "--near" || word == "--format") && i + 1 == args.size()) {
      problem = word + ": a value is missing";
      return false;
    }
    if (word == "--near") {
      GeoPosition near;
      if (!ParseNear(args[++i], near, problem)) return false;
      options.near = near;
    } else if (word == "--format") {
      if (args[++i] != "text" && args[i] != "json") {
        problem = "--format: text or json";
        return false;
      }
      options.json = args[i] == "json";
    } else if (word == "--user" || word == "--password-file" || word == "--seconds" ||
               ProtocolFlagTakesValue(word)) {
      session.push_back(word);  // with its value, which may look like the target
      if (i + 1 < args.size()) session.push_back(args[++i]);
    } else if (!targetSeen && !word.starts_with("-")) {
      const std::size_t slash = word.find('/');
      if (slash == 0 || slash == std::string::npos || slash + 1 == word.size()) {
        problem = "expected HOST[:PORT]/MOUNT, such as caster.example.net:2101/NEAR01";
        return false;
      }
      session.insert(session.end(),
                     {"--caster", word.substr(0, slash), "--mount", word.substr(slash + 1)});
      targetSeen = true;
    } else {
      session.push_back(word);
    }
  }
  if (!targetSeen) {
    problem = "the caster and mount point are missing";
    return false;
  }
  constexpr CommandOptions kProbeOptions{
      kOptCaster | kOptMount | kOptUser | kOptPassword | kOptSeconds | kOptProtocol,
      kMaxProbeSeconds};
  return ParseSessionOptions(session, kProbeOptions, environment.environmentPassword,
                             options.session, problem);
}

// The login request of the Rover for these options, to a caster spoken to with `protocol`.
std::string LoginRequest(const ProbeOptions& options, const CasterProtocol& protocol,
                         std::string_view host, std::int32_t port) {
  const std::string user = ToUtf8(options.session.userName.value_or(u""));
  const std::string password = ToUtf8(options.session.password.value_or(u""));
  const std::string mountPoint = ToUtf8(*options.session.mountPoint);
  if (protocol.version != NtripVersion::k2) {
    return BuildClientRequest(user, password, mountPoint);
  }
  std::optional<BasicLogin> login;
  if (options.session.userName || options.session.password) login = BasicLogin{user, password};
  return BuildVersion2ClientRequest({host, port, protocol.tls}, mountPoint, login);
}

// Reads the stream behind the accepted reply into `result` until `limitMs` have passed, the
// stream ends or fails, or `stop` asks to.
void Listen(CasterStream& stream, LoginVerdict& verdict, std::uint32_t limitMs, Clock& clock,
            const StopRequested& stop, ProbeResult& result) {
  RtcmScanner scanner;
  const std::uint32_t start = clock.TickCount();
  const auto scan = [&](std::string_view payload) {
    scanner.Scan(payload, clock.TickCount());
    result.bytes += payload.size();
  };
  scan(verdict.payload);
  std::array<char, kReadSize> buffer{};
  std::string payload;
  for (;;) {
    // Also the login's reads may have ended or broken the body.
    if (verdict.body.Failed() || verdict.body.Done()) {
      result.ending = verdict.body.Failed() ? verdict.body.Fault() : "The caster ended the stream.";
      break;
    }
    const std::uint32_t passed = clock.TickCount() - start;
    if (passed >= limitMs) break;
    const WaitEnd waited = stream.WaitReadable(clock, limitMs - passed, stop);
    if (waited == WaitEnd::kStopped) {
      result.ending = "Stopped before the time was up.";
      break;
    }
    if (waited == WaitEnd::kTimedOut) break;
    const ssize_t got = waited == WaitEnd::kReady ? stream.ReadReady(buffer) : -1;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) continue;
    if (got <= 0) {
      result.ending = got == 0 ? "The caster ended the stream."
                               : "Reading the stream failed: " + SystemErrorText(errno) + ".";
      break;
    }
    payload.clear();
    verdict.body.Feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)), payload);
    scan(payload);
  }
  payload.clear();
  verdict.body.Flush(payload);  // bytes held back as a possible header line
  scan(payload);
  result.listenedMs = clock.TickCount() - start;
  result.summary = scanner.Summary(clock.TickCount());
}

}  // namespace

int RunProbeCommand(const Arguments& args, const CommandEnvironment& environment) {
  ProbeOptions options;
  std::string problem;
  const PasswordFileWait wait{environment.clock, environment.stopFd};
  if (!ParseProbeOptions(args, environment, options, problem)) {
    std::fprintf(environment.err, "quillon probe: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }
  switch (TakePasswordFile(options.session, wait, problem)) {
    case PasswordFileRead::kRead:
      break;
    case PasswordFileRead::kRefused:
      std::fprintf(environment.err, "quillon probe: %s\n", problem.c_str());
      return 2;
    case PasswordFileRead::kStopAsked:
      return kExitStoppedBeforeStart;
  }

  Clock& clock = environment.clock;
  const StopRequested stop = StopAsked(clock, environment.stopFd);
  const std::string host = ToUtf8(*options.session.address);
  const std::int32_t port = options.session.port.value_or(kDefaultCasterPort);
  const CasterProtocol protocol = AppliedProtocol({}, options.session.protocol);
  const TlsOptions tls = TlsFor(protocol, options.session.protocol.insecure);
  if (const std::string_view warning = TlsWarning(tls); !warning.empty()) {
    std::fprintf(environment.err, "quillon probe: %.*s\n", static_cast<int>(warning.size()),
                 warning.data());
  }
  const NtripVersion version = protocol.version;
  CasterSocket socket;
  MountPointLogin login = JudgeLogin(
      LogInToCaster(host, port, LoginRequest(options, protocol, host, port), socket, clock, stop,
                    LookUpHostName,
                    version == NtripVersion::k2 ? ReplyExtent::kHead : ReplyExtent::kFirstLine,
                    tls),
      version, LoginRole::kClient, host);
  if (login.failure == LoginFailure::kStopped) return kExitStoppedBeforeStart;
  if (login.failure != LoginFailure::kNone) {
    ConsoleMessageSink messages(environment.err);
    messages.Show(Message{login.text, LoadString(kStrError), MessageIcon::kExclamation,
                          MessageButtons::kOk, login.detail});
    return 1;
  }

  ProbeResult result;
  result.mountPoint = ToUtf8(*options.session.mountPoint);
  result.near = options.near;
  const int seconds = options.session.seconds.value_or(kDefaultProbeSeconds);
  Listen(*login.login.stream, login.verdict, static_cast<std::uint32_t>(seconds) * 1000, clock,
         stop, result);
  login.login.stream->Close();
  if (options.json) {
    PrintProbeJson(environment.out, result);
  } else {
    PrintProbeText(environment.out, result);
  }
  return result.SawRtcm3() ? 0 : 1;
}

}  // namespace quillon::cli
