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
  const std::u16string linkOpen = LoadString(kStrUnableToOpenComPort);
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
      // A refusal is decided as soon as its line is complete (what it says is JudgeLoginReply's).
      {"wrong password", [&] { SetFieldText(settings.password, u"wrong"); },
       BaseSessionResult::kRejected, rejected, u"The caster replied \"ERROR - Bad Password\"."},
      // Only a silent caster is waited for.
      {"silent caster",
       [&] {
         caster->Script(CasterBehaviour::kSilent);
         clock.SetRealPollMs(kFastPollMs);
       },
       BaseSessionResult::kRejected, rejected, u"The caster sent no reply.", 6000, 6100},
      {"connection reset", [&] { caster->Script(CasterBehaviour::kResetAfterRequest); },
       BaseSessionResult::kLoginIoFailed, loginIo,
       u"Reading the caster's reply failed: Connection reset by peer."},
      {"name that does not resolve", [&] { SetFieldText(settings.address, u"nowhere.invalid"); },
       BaseSessionResult::kConnectFailed, unresolved,
       u"The host name \"nowhere.invalid\" did not resolve.", 0, 60000},
      {"nothing listening", [&] { caster->Stop(); }, BaseSessionResult::kConnectFailed,
       ConnectionErrorText(SystemErrorText(ECONNREFUSED)), u""},
      // Noticed at once, although the receiver is silent, not when a send fails.
      {"caster that closes after its OK",
       [&] { caster->Script(CasterBehaviour::kCloseAfterLogin); }, BaseSessionResult::kUploadFailed,
       connectionDown, u"The caster closed the connection.", 0, 1000},
      // The link's box says why; the status does not say it again.
      {"receiver missing", [&] { SetFieldText(settings.comPortName, u"/dev/quillon-none"); },
       BaseSessionResult::kLinkNotOpened, linkOpen, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UseCaster({});
    UseDefaultSettings();
    status.Reset();
    clock.SetRealPollMs(kAnswerPollMs);
    c.prepare();
    const std::size_t boxesBefore = sink.Boxes().size();
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
    // A serial link that opened stays open for the next attempt.
    EXPECT_EQ(link.IsComPortOpen(), c.text != linkOpen);

    // Only the link shows a box of its own.
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), boxesBefore + (c.text == linkOpen ? 1 : 0));
    EXPECT_TRUE(boxes.size() == boxesBefore ||
                (boxes.back().text == u"Unable to open COM Port." &&
                 boxes.back().detail ==
                     u"/dev/quillon-none: No such file or directory.\r\nThe device is not there."));
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
