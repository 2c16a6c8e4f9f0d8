// One receiver, five casters: two healthy, one that stops reading, one that refuses the login
// and one that ends every connection after its login. The healthy ones each get one exact,
// contiguous copy, whatever the others do; the stalled one's dropped bytes are counted.
#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>

#include "base/base_session_fixture.h"
#include "common/strings.h"
#include "demo/correction_stream.h"
#include "testing/manual_caster.h"

namespace quillon::testing {
namespace {

class BaseFanOut : public BaseSessionFixture {
 protected:
  ExtraCasterSession& AddCaster(std::string name, int port, std::u16string password = u"demo") {
    ExtraCasterSession& extra = extras.emplace_back();
    extra.name = std::move(name);
    extra.settings = settings;
    extra.settings.port = port;
    SetFieldText(extra.settings.password, password);
    return extra;
  }
  void Start(bool reconnect) {
    BaseSessionContext context = Context();
    context.extras = &extras;
    context.reconnect = reconnect;
    StartBaseSession(context);
  }

  std::deque<ExtraCasterSession> extras;
};

TEST_F(BaseFanOut, HealthyCastersGetExactCopiesWhileOthersStallRefuseOrClose) {
  DemoCaster healthy;
  DemoCaster refusing;
  DemoCaster closing;
  closing.SetDefaultBehaviour(CasterBehaviour::kCloseAfterLogin);
  ManualCaster stalled("OK\r\n");
  std::thread answer([&] {
    Eventually([&] {
      stalled.Answer();
      return stalled.LoggedIn();
    });
  });
  // The casters that failed wait in their countdowns while the receiver's bytes flow, so that
  // virtual time does not race ahead of the receiver (its watchdog would fire); then each step
  // takes a little real time, so that they retry without racing through virtual hours.
  std::atomic<bool> counting{false};
  clock.beforeSleep = [&](int) {
    do std::this_thread::sleep_for(std::chrono::milliseconds(1));
    while (!counting.load());
  };
  ExtraCasterSession& second = AddCaster("b.conf", healthy.Port());
  ExtraCasterSession& stalling = AddCaster("c.conf", stalled.Port());
  ExtraCasterSession& refused = AddCaster("d.conf", refusing.Port(), u"wrong");
  AddCaster("e.conf", closing.Port());
  const StopAtExit stop{*this};
  const struct Release {
    std::atomic<bool>& counting;
    ~Release() { counting.store(true); }
  } release{counting};
  Start(true);
  answer.join();
  ASSERT_TRUE(Eventually([&] {
    return status.Snapshot().connected && second.status.Snapshot().connected &&
           stalling.status.Snapshot().connected;
  }));

  CorrectionStream stream;
  std::string emitted;
  for (int block = 0; block < 400; ++block) {  // 400 kB, far more than a queue holds
    const std::string bytes = stream.Next(1024);
    receiver.Emit(bytes);
    emitted += bytes;
    ASSERT_TRUE(receiver.WaitForEmitted(emitted.size(), kRealLimit));
  }
  ASSERT_TRUE(caster->WaitForUploaded(emitted.size(), kRealLimit));
  ASSERT_TRUE(healthy.WaitForUploaded(emitted.size(), kRealLimit));
  counting.store(true);
  clock.SetRealPollMs(kFastPollMs);
  ASSERT_TRUE(Eventually([&] { return closing.ConnectionCount() >= 2; }));
  EndSession();
  EXPECT_EQ(caster->Uploaded(), emitted);
  EXPECT_EQ(healthy.Uploaded(), emitted);
  EXPECT_EQ(status.Snapshot().dropped, 0);
  EXPECT_EQ(second.status.Snapshot().dropped, 0);
  EXPECT_GT(stalling.status.Snapshot().dropped, 0);
  EXPECT_GT(refused.status.attempt, 1);
  EXPECT_EQ(refused.status.StatusText().substr(0, 14), u"Retry attempt ");
  EXPECT_EQ(refusing.Uploaded(), "");
}

// The session goes on while one caster uploads after the primary has given up, and ends only
// once every caster has, with a final message that names each and why.
TEST_F(BaseFanOut, GivesUpOnlyOnceEveryCasterHasAndSaysWhy) {
  SetFieldText(settings.password, u"wrong");
  DemoCaster second;
  AddCaster("b.conf", second.Port());
  clock.SetRealPollMs(kFastPollMs);
  Start(false);
  ASSERT_TRUE(Eventually([&] { return status.Snapshot().gaveUp; }));
  EXPECT_EQ(status.running.load(), 1);
  EXPECT_TRUE(extras[0].status.Snapshot().connected);
  EXPECT_TRUE(sink.Boxes().empty());

  second.Stop();
  ASSERT_TRUE(WorkerEnds());
  ASSERT_EQ(sink.Boxes().size(), 1u);
  const std::u16string text = sink.Boxes()[0].text;
  EXPECT_NE(text.find(LoadString(kStrCredentialsRejected)), std::u16string::npos);
  EXPECT_NE(text.find(u"\r\n\r\nb.conf: " + ConnectionErrorText("Connection refused")),
            std::u16string::npos)
      << ToUtf8(text);
  EXPECT_EQ(status.error.load(), 1);
}

}  // namespace
}  // namespace quillon::testing
