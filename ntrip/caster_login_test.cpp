// The login both workers share: where the reply's first line ends, and that nothing but a
// silent caster is waited for.
#include "ntrip/caster_login.h"

#include <gtest/gtest.h>

#include <string>

#include "ntrip/demo_caster.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::VirtualClock;

TEST(LogInToCaster, EndsAsSoonAsTheFirstLineIsCompleteOrTheCasterCloses) {
  const std::string longLine(kLoginReplyLimit + 10, 'x');
  const struct {
    std::string reply;
    LoginEnd end;
    std::string line, after;
  } cases[] = {
      {"ICY 200 OK\r\n", LoginEnd::kReplied, "ICY 200 OK\r\n", ""},
      // Empty lines before the status line do not count as its end.
      {"\r\n\r\nICY 200 OK\r\n\xD3\x13", LoginEnd::kReplied, "ICY 200 OK\r\n", "\xD3\x13"},
      {"OK\n", LoginEnd::kReplied, "OK\n", ""},
      // A line that fills the whole store is judged as it stands.
      {longLine, LoginEnd::kReplied, longLine.substr(0, kLoginReplyLimit), ""},
      {"ICY 200 OK", LoginEnd::kClosed, "ICY 200 OK", ""},
      {"", LoginEnd::kClosed, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.substr(0, 20));
    DemoCasterConfig config;
    config.cannedReply = c.reply;
    DemoCaster caster(config);
    caster.Script(CasterBehaviour::kCannedReply);
    VirtualClock clock(1000, 1'700'000'000, 1000);
    CasterSocket socket;
    const CasterLogin login =
        LogInToCaster("127.0.0.1", caster.Port(), "GET / HTTP/1.0\r\n\r\n", socket, clock, {});
    EXPECT_EQ(login.end, c.end);
    EXPECT_EQ(login.StatusLine(), c.line);
    EXPECT_EQ(login.AfterStatusLine(), c.after);
    EXPECT_EQ(clock.Elapsed(), 0u);
    EXPECT_TRUE(socket.IsOpen());  // the caller closes it by its rules
  }
}

// Without a request the login ends at the connect: nothing is sent, nothing awaited.
TEST(LogInToCaster, WithoutARequestNothingIsSentOrAwaited) {
  DemoCaster caster;
  caster.Script(CasterBehaviour::kSilent);
  VirtualClock clock(1000, 1'700'000'000, 1);
  CasterSocket socket;
  const CasterLogin login = LogInToCaster("127.0.0.1", caster.Port(), "", socket, clock, {});
  EXPECT_EQ(login.end, LoginEnd::kConnected);
  EXPECT_EQ(clock.Elapsed(), 0u);
  socket.Close();
  ASSERT_TRUE(caster.WaitForClosed(0, std::chrono::seconds(10)));
  EXPECT_EQ(caster.RequestText(0), "");
}

}  // namespace
}  // namespace quillon
