#include "app/cli/demo_command.h"

#include <stdlib.h>

#include <algorithm>
#include <system_error>

#include "app/cli/console_message_sink.h"
#include "app/cli/session_options.h"
#include "app/cli/session_runner.h"
#include "app/cli/trace_to_stream.h"
#include "demo/correction_stream.h"
#include "demo/demo_caster.h"
#include "demo/simulated_receiver.h"
#include "rover/rover_session.h"

namespace quillon::cli {
namespace {

constexpr int kStreamBytesPerSecond = 5000;
constexpr std::uint32_t kGgaIntervalMs = 1000;

// The demo keeps its settings file out of the user's folder.
class DemoFolder {
 public:
  DemoFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillon-demo-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~DemoFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

std::size_t Count(std::string_view text, std::string_view what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, at + 1)) {
    ++count;
  }
  return count;
}

// Whether `received` is an unbroken piece of the caster's stream. Its first bytes may have
// come together with the login reply, which a Rover never relays, so the piece may start a
// little way in.
bool IsPieceOfTheStream(const std::string& received) {
  if (received.empty()) return false;
  const std::string stream = CorrectionStream().Next(received.size() + 64 * 1024);
  const auto at = stream.find(received.substr(0, std::min<std::size_t>(received.size(), 64)));
  return at != std::string::npos && stream.compare(at, received.size(), received) == 0;
}

}  // namespace

int RunDemoCommand(const Arguments& args, const CommandEnvironment& environment) {
  SessionOptions options;
  std::string problem;
  if (!ParseSessionOptions(args, {kOptSeconds | kOptTrace, kMaxDemoSeconds}, std::nullopt, options,
                           problem)) {
    std::fprintf(environment.err, "quillon demo: %s\n", problem.c_str());
    return 2;
  }

  DemoCasterConfig casterConfig;
  casterConfig.streamBytesPerSecond = kStreamBytesPerSecond;
  DemoCaster caster(casterConfig);
  SimulatedReceiverConfig receiverConfig;
  receiverConfig.ggaIntervalMs = kGgaIntervalMs;
  SimulatedReceiver receiver(environment.clock, receiverConfig);
  DemoFolder folder;

  RoverSettings settings;
  SetDefaultSettings(settings);
  SetFieldText(settings.address, u"127.0.0.1");
  settings.port = caster.Port();
  SetFieldText(settings.userName, u"demo");
  SetFieldText(settings.password, u"demo");
  SetFieldText(settings.mountPoint, u"DEMO");
  const std::string& device = receiver.DevicePath();
  SetFieldText(settings.comPortName, std::u16string(device.begin(), device.end()));

  const int seconds = options.seconds.value_or(kDefaultDemoSeconds);
  std::fprintf(environment.out,
               "Demo: caster on 127.0.0.1:%u (mount point DEMO, %d B/s of corrections), "
               "receiver on %s, %d s\n",
               static_cast<unsigned>(caster.Port()), kStreamBytesPerSecond, device.c_str(),
               seconds);
  std::fflush(environment.out);

  const ScopedTrace trace(options.trace, environment.err);
  ConsoleMessageSink messages(environment.err);
  ActivityClock workerClock(environment.clock);
  ComLink link(workerClock, nullptr);
  RoverStatus status;
  status.owner.store(&messages);
  StartRoverSession({settings, status, link, workerClock, folder.Path()});
  SessionReporter reporter(environment.report, "Relaying");
  const SessionEnd end =
      RunSession({status, link, environment.clock, workerClock, environment.stopFd, seconds,
                  [&status] { return PlainSessionState(status); }},
                 reporter);
  caster.Stop();

  const std::string received = receiver.Received();
  const bool faithful = IsPieceOfTheStream(received);
  const std::string upstream = caster.ReceivedFromClients();
  std::fprintf(environment.out, "Relayed %zu bytes from the caster to the receiver.\n",
               received.size());
  std::fprintf(environment.out, "Every byte arrived unchanged: %s\n", faithful ? "yes" : "no");
  std::fprintf(environment.out, "GGA sentences forwarded to the caster: %zu\n",
               Count(upstream, "$GPGGA"));
  std::fflush(environment.out);
  return end == SessionEnd::kStopAsked && faithful ? 0 : 1;
}

}  // namespace quillon::cli
