// The Base worker's login: what each failed attempt leaves.
#include <cerrno>
#include <functional>
#include <string>

#include "base/base_session_fixture.h"
#include "common/strings.h"
#include "ntrip/caster_login.h"
#include "platform/wait_step.h"

namespace quillon::testing {
namespace {

using BaseLogin = BaseSessionFixture;

// The dialog's text, and what really happened as the detail for the command line.
TEST_F(BaseLogin, EachFailedAttemptLeavesItsResultAndText) {
  const std::u16string rejected = LoadString(kStrCredentialsRejected);
  const std::u16string loginIo = LoadString(kStrAuthenticationIo);
  const std::u16string connectionDown = LoadString(kStrSocketReadProblem);
  const std::u16string unresolved = ConnectionErrorText(LookUpHostName("nowhere.invalid").problem);
  const struct {
    const char* name;
    std::function<void()> prepare;
    BaseSessionResult result;
    std::u16string text;
    std::u16string detail;
    std::uint64_t minMs = 0, maxMs = 500;  // virtual time the attempt takes
  } cases[] = {
      {"wrong password", [&] { SetFieldText(settings.password, u"wrong"); },
       BaseSessionResult::kRejected, rejected, u"The caster replied \"ERROR - Bad Password\"."},
      {"connection reset", [&] { caster->Script(CasterBehaviour::kResetAfterRequest); },
       BaseSessionResult::kLoginIoFailed, loginIo,
       u"Reading the caster's reply failed: Connection reset by peer."},
      {"name that does not resolve", [&] { SetFieldText(settings.address, u"nowhere.invalid"); },
       BaseSessionResult::kConnectFailed, unresolved,
       u"The host name \"nowhere.invalid\" did not resolve.", 0, 60000},
      // Noticed at once, although the receiver is silent, not when a send fails.
      {"caster that closes after its OK",
       [&] { caster->Script(CasterBehaviour::kCloseAfterLogin); }, BaseSessionResult::kUploadFailed,
       connectionDown, u"The caster closed the connection.", 0, 1000},
      // An interim reply before the POST's answer is passed over.
      {"100 Continue, then OK",
       [&] {
         DemoCasterConfig config;
         config.cannedReply = "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n\r\n";
         config.cannedSplitAt = config.cannedReply.find("HTTP/1.1 200");
         UseCaster(config);
         caster->Script(CasterBehaviour::kCannedReply);
         settings.protocol.version = NtripVersion::k2;
       },
       BaseSessionResult::kUploadFailed, connectionDown, u"The caster closed the connection.", 0,
       1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UseCaster({});
    UseDefaultSettings();
    status.Reset();
    clock.SetRealPollMs(kAnswerPollMs);
    c.prepare();
    const std::uint64_t start = clock.Elapsed();
    // An attempt that goes on past its time is ended, so that it fails rather than hangs.
    clock.beforeWaitAny = [&, deadline = start + c.maxMs + 1000](int) {
      if (clock.Elapsed() > deadline) status.running.store(0);
    };
    EXPECT_EQ(RunOnce(), c.result);
    EXPECT_EQ(status.StatusText(), c.text);
    EXPECT_EQ(status.Detail(), c.detail);
    EXPECT_EQ(status.Snapshot().error, true);
    EXPECT_FALSE(status.socket.IsOpen());
    EXPECT_GE(clock.Elapsed() - start, c.minMs);
    EXPECT_LE(clock.Elapsed() - start, c.maxMs);
    // The link stays open for the next attempt; only the last attempt's message is a box.
    EXPECT_TRUE(link.IsComPortOpen() && sink.Boxes().empty());
    link.CloseComPort();
  }
}

// A stop while the caster has not accepted, or has not answered, ends the attempt within a step.
TEST_F(BaseLogin, AStopDuringTheConnectOrTheReplyWaitEndsTheAttemptAtOnce) {
  for (const bool connecting : {true, false}) {
    UseCaster({});
    UseDefaultSettings();
    status.Reset();
    if (connecting) caster->StopAccepting();
    if (!connecting) caster->Script(CasterBehaviour::kSilent);
    clock.SetRealPollMs(kFastPollMs);
    std::uint64_t stoppedAt = 0;
    auto& hook = connecting ? clock.beforeWaitWritable : clock.beforeWait;
    hook = [&](int) {
      if (stoppedAt == 0) stoppedAt = clock.Elapsed() + 1000;  // a second into the wait
      if (clock.Elapsed() >= stoppedAt) status.running.store(0);
    };
    EXPECT_EQ(RunOnce(), BaseSessionResult::kStopped) << connecting;
    hook = [](int) {};
    EXPECT_LE(clock.Elapsed() - stoppedAt, kWaitStepMs);
    EXPECT_FALSE(status.socket.IsOpen() || link.IsComPortOpen());
  }
}

}  // namespace
}  // namespace quillon::testing
