// What a session sends to the caster, against a real connection on 127.0.0.1, and the bound on
// what waits for it: the oldest goes, whole lines where there are lines.
#include "session/caster_uplink.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "net/caster_socket.h"
#include "net/session_io.h"
#include "ntrip/chunked_body.h"
#include "session/upstream_queue.h"
#include "testing/manual_caster.h"

namespace quillon {
namespace {

class CasterUplinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(caster.Port()));
    ASSERT_EQ(connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    caster.Answer();
    ASSERT_TRUE(caster.LoggedIn());
    socket.Set(client);
    uplink.Begin(stream, kStart, chunked());
  }
  virtual bool chunked() const { return false; }

  static constexpr std::uint32_t kStart = 0xFFFF'8000;  // the tick count wraps during the tests
  testing::ManualCaster caster{"OK\r\n"};
  const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  CasterSocket socket;  // closes `client`
  PlainCasterStream stream{socket};
  CasterUplink uplink;
};

// More than the caster's small window takes, far less than this side's kernel accepts: every
// send succeeds, so only the acknowledgements tell. The caster reads less than it is sent.
TEST_F(CasterUplinkTest, OnlyACasterThatAcknowledgesNothingForTwentySecondsIsStalled) {
  const int connection = caster.Connection();
  uplink.Send(std::string(32 * 1024, 'x'));
  testing::WaitUntilAcknowledgementsSettle(client);
  std::uint32_t now = kStart;
  for (std::uint32_t second = 0; second < 2 * kCasterStallLimitMs / 1000; ++second, now += 1000) {
    uplink.Send(std::string(3000, 'y'));
    // 2500 bytes read: the window opens, more is sent and acknowledged (in real time).
    char taken[2500];
    for (std::size_t got = 0; got < sizeof taken;) {
      pollfd entry{connection, POLLIN, 0};
      ASSERT_EQ(poll(&entry, 1, 10000), 1);
      got += static_cast<std::size_t>(recv(connection, taken, sizeof taken - got, 0));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(uplink.Flush(now), 0) << second;
    ASSERT_GT(UnacknowledgedBytes(client), 0u) << second;
  }
  testing::WaitUntilAcknowledgementsSettle(client);
  EXPECT_EQ(uplink.Flush(now), 0);  // the last acknowledgement is seen now
  EXPECT_EQ(uplink.Flush(now + kCasterStallLimitMs - 1), 0);
  EXPECT_EQ(uplink.Flush(now + kCasterStallLimitMs), ETIMEDOUT);
}

// A caster that reads nothing while a receiver pours out 1 MB.
constexpr std::string_view kLine =
    "$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n";

TEST_F(CasterUplinkTest, NoMoreThanAbout64KilobytesEverWait) {
  const std::string line(kLine);
  std::size_t given = 0;
  while (given < 1024 * 1024) {
    uplink.Send(line);
    given += line.size();
  }
  const std::uint64_t waiting = given - uplink.Dropped();  // queued, or with the kernel
  EXPECT_LE(waiting, 64u * 1024 + 16 * 1024);
  EXPECT_GE(waiting, kUpstreamQueueBytes);
  EXPECT_TRUE(uplink.Waiting());
  EXPECT_LE(UnacknowledgedBytes(client), static_cast<std::size_t>(2 * kCasterSendBufferBytes));
}

// An NTRIP 2 upload is a chunked body: dropped bytes must leave whole chunks and lines.
class ChunkedUplinkTest : public CasterUplinkTest {
  bool chunked() const override { return true; }
};

TEST_F(ChunkedUplinkTest, DroppingOldBytesNeverBreaksTheFraming) {
  std::size_t given = 0;
  while (given < 512 * 1024) {
    uplink.Send(kLine);
    given += kLine.size();
  }
  ASSERT_GT(uplink.Dropped(), 0u);
  ChunkedBody body;
  std::string payload;
  std::string received(64 * 1024, '\0');
  while (payload.size() + uplink.Dropped() < given) {
    ASSERT_EQ(uplink.Flush(kStart), 0);
    pollfd entry{caster.Connection(), POLLIN, 0};
    ASSERT_EQ(poll(&entry, 1, 10000), 1);
    const ssize_t got = recv(caster.Connection(), received.data(), received.size(), 0);
    ASSERT_GT(got, 0);
    body.Feed(std::string_view(received).substr(0, static_cast<std::size_t>(got)), payload);
    ASSERT_FALSE(body.Failed()) << body.Fault();
  }
  EXPECT_FALSE(uplink.Waiting());
  EXPECT_EQ(payload.size() % kLine.size(), 0u);
  EXPECT_EQ(payload.substr(0, kLine.size()), kLine);
}

// Sentences as a receiver writes them, each 20 bytes with its line end.
std::string Line(char c) { return "$GP" + std::string(15, c) + "\r\n"; }

TEST(UpstreamQueue, WhenTooMuchWaitsTheOldestWholeLinesGo) {
  const std::string a = Line('a'), b = Line('b'), c = Line('c'), d = Line('d');
  const struct {
    const char* name;
    std::size_t capacity;
    std::vector<std::string> pushed;
    std::size_t taken;  // bytes the caster took before the last push
    std::string waiting;
    std::uint64_t dropped;
  } cases[] = {
      {"within the bound nothing goes", 60, {a, b, c}, 0, a + b + c, 0},
      // One byte too many: the whole first line goes, not just its "$".
      {"a line, not a byte", 60, {a, b, c, "x"}, 0, b + c + "x", 20},
      {"as many lines as it takes", 45, {a, b, c, d}, 0, c + d, 40},
      // The caster has the first 5 bytes of a: the rest of a stays, b goes.
      {"the rest of a begun line stays", 40, {a, b, c}, 5, a.substr(5) + c, 20},
      // Binary bytes without line ends: just the excess goes.
      {"bytes without lines", 10, {std::string(8, '\x01'), std::string(5, '\x02')}, 0,
       std::string(5, '\x01') + std::string(5, '\x02'), 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UpstreamQueue queue(c.capacity);
    for (std::size_t i = 0; i < c.pushed.size(); ++i) {
      if (i + 1 == c.pushed.size()) queue.Take(c.taken);
      queue.Push(c.pushed[i]);
    }
    EXPECT_EQ(queue.Front(), c.waiting);
    EXPECT_EQ(queue.Dropped(), c.dropped);
  }
}

}  // namespace
}  // namespace quillon
