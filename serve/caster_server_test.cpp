#include "serve/caster_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "ntrip/chunked_body.h"
#include "serve/listen_socket.h"
#include "serve/listener_content_double.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

constexpr char kNtrip1Get[] = "GET /M HTTP/1.0\r\nUser-Agent: NTRIP t\r\n\r\n";
constexpr char kNtrip2Get[] =
    "GET /M HTTP/1.1\r\nNtrip-Version: Ntrip/2.0\r\nUser-Agent: NTRIP t\r\n\r\n";

class CasterServerTest : public ::testing::Test {
 protected:
  // An NTRIP listener and a raw one on the loopback, taking at most `maxClients` each.
  void Serve(std::size_t maxClients = kDefaultMaxClients) {
    std::vector<ListenerSpec> listeners;
    for (const ListenerKind kind : {ListenerKind::kNtrip, ListenerKind::kRaw}) {
      std::string problem;
      const int fd = OpenListenSocket({"127.0.0.1", 0}, problem);
      ASSERT_GE(fd, 0) << problem;
      ports_.push_back(static_cast<std::uint16_t>(std::stoi(ListeningAt(fd).substr(10))));
      listeners.push_back({"L", kind, fd, &source_, maxClients});
    }
    server_.emplace(std::move(listeners), CasterRules{"M", {}}, content_, clock_,
                    [this](const std::string& line) { lines_.push_back(line); });
  }
  // A client of listener `index`; a small receive buffer makes one that never reads stall soon.
  int Connect(std::size_t index, const std::string& request = "", int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0) {
      ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(ports_.at(index));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    if (!request.empty()) Send(fd, request);
    fds_.push_back(fd);
    Pump();
    return fd;
  }
  static void Send(int fd, std::string_view bytes) {
    EXPECT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  void Pump(int passes = 3) {
    for (int i = 0; i < passes; ++i) server_->Pass(0);
  }
  // What has come for `fd`; `closed` is set when the server has closed it.
  static std::string Received(int fd, bool* closed = nullptr) {
    std::string out;
    char buffer[65536];
    for (ssize_t got; (got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
      out.append(buffer, static_cast<std::size_t>(got));
    }
    if (closed != nullptr) {
      *closed = ::recv(fd, buffer, 1, MSG_DONTWAIT) == 0;
    }
    return out;
  }
  bool Closed(int fd) {
    bool closed = false;
    Received(fd, &closed);
    return closed;
  }
  void TearDown() override {
    server_.reset();
    for (const int fd : fds_) ::close(fd);
  }

  testing::VirtualClock clock_;
  testing::ListenerContentDouble content_;
  FanOut source_;
  std::optional<CasterServer> server_;
  std::vector<std::uint16_t> ports_;
  std::vector<int> fds_;
  std::vector<std::string> lines_;
};

TEST_F(CasterServerTest, EachClientGetsTheStreamFromItsRequestOnInItsFraming) {
  Serve();
  const int first = Connect(0, kNtrip1Get);
  const int raw = Connect(1);
  source_.Deliver("abc");
  Pump();
  const int second = Connect(0, kNtrip2Get);
  source_.Deliver("defg");
  source_.Deliver("h");
  Pump();
  EXPECT_EQ(Received(first), "ICY 200 OK\r\nabcdefgh");
  EXPECT_EQ(Received(raw), "abcdefgh");
  const std::string framed = Received(second);
  const std::size_t body = framed.find("\r\n\r\n") + 4;
  EXPECT_EQ(framed.substr(body), "4\r\ndefg\r\n1\r\nh\r\n");
  EXPECT_EQ(server_->Clients(0), 2u);
  EXPECT_EQ(server_->Clients(1), 1u);
  EXPECT_EQ(content_.scanned, "abcdefgh");  // the status page's view of the stream
  ::shutdown(first, SHUT_RDWR);
  clock_.Advance(kClientsToldMs);
  Pump();
  EXPECT_EQ(server_->Clients(0), 1u);
  ASSERT_EQ(content_.clients.size(), 2u);  // the raw client and the second, once a second
  std::uint64_t sent = 0;
  for (const ClientStatus& client : content_.clients) sent += client.bytesTotal;
  EXPECT_EQ(sent, 8u + framed.size());  // "abcdefgh" raw, and the second's reply and chunks
}

TEST_F(CasterServerTest, ATableGoesOutWholeAndTheConnectionEnds) {
  Serve();
  const int client = Connect(0, "GET / HTTP/1.0\r\nUser-Agent: NTRIP t\r\n\r\n");
  bool closed = false;
  EXPECT_TRUE(Received(client, &closed).ends_with("\r\nSTR;M;M;RTCM 3.x;\r\nENDSOURCETABLE\r\n"));
  EXPECT_TRUE(closed);
}

TEST_F(CasterServerTest, OverTheCapNtripIsToldAndRawIsClosed) {
  Serve(1);
  Connect(0, kNtrip1Get);
  Connect(1);
  const int ntrip = Connect(0, kNtrip2Get);
  EXPECT_TRUE(Received(ntrip).starts_with("HTTP/1.1 503 Service Unavailable\r\n"));
  EXPECT_TRUE(Closed(Connect(1)));
}

TEST_F(CasterServerTest, AHeadTooLongOrTooSlowIsClosedUnanswered) {
  Serve();
  const int longHead =
      Connect(0, "GET /M HTTP/1.0\r\nX: " + std::string(kMaxRequestHeadBytes, 'x'));
  const int slowHead = Connect(0, "GET /M HTTP/1.0\r\n");
  const std::string fits = "GET /M HTTP/1.0\r\nX: " + std::string(kMaxRequestHeadBytes - 25, 'x');
  const int justFits = Connect(0, fits + "\r\n\r\n");
  EXPECT_TRUE(Closed(longHead));
  clock_.Advance(kRequestLimitMs - 1);
  Pump();
  EXPECT_FALSE(Closed(slowHead));
  clock_.Advance(1);
  Pump();
  EXPECT_TRUE(Closed(slowHead));
  EXPECT_EQ(Received(justFits), "ICY 200 OK\r\n");
  EXPECT_FALSE(Closed(justFits));
}

TEST_F(CasterServerTest, AFloodOfSilentConnectsPushesOutTheOldest) {
  Serve();
  std::vector<int> silent;
  for (std::size_t i = 0; i < kMaxPendingClients + 10; ++i) silent.push_back(Connect(0));
  const int client = Connect(0, kNtrip1Get);
  EXPECT_TRUE(Closed(silent.front()));
  EXPECT_TRUE(Closed(silent[10]));
  EXPECT_FALSE(Closed(silent[11]));
  EXPECT_EQ(Received(client), "ICY 200 OK\r\n");
}

TEST_F(CasterServerTest, AClientThatNeverReadsIsDroppedWhileTheOthersGetEveryByte) {
  Serve(200);
  const int stalled = Connect(1, "", 4096);
  std::vector<int> readers;
  for (int i = 0; i < 150; ++i) readers.push_back(Connect(1));
  std::string stream;
  std::vector<std::string> got(readers.size());
  for (int block = 0; block < 100; ++block) {
    const std::string bytes(4000, static_cast<char>('a' + block % 26));
    stream += bytes;
    source_.Deliver(bytes);
    Pump(1);
    for (std::size_t i = 0; i < readers.size(); ++i) got[i] += Received(readers[i]);
  }
  for (std::size_t i = 0; i < readers.size(); ++i) EXPECT_EQ(got[i], stream) << i;
  EXPECT_TRUE(Closed(stalled));
  ASSERT_EQ(lines_.size(), 1u);
  EXPECT_TRUE(lines_[0].starts_with("Dropped client 127.0.0.1:")) << lines_[0];
  EXPECT_EQ(server_->Clients(1), 150u);
}

TEST_F(CasterServerTest, StopEndsTheThreadAndClosesEveryClient) {
  Serve();
  const int client = Connect(1);
  server_->Start();
  source_.Deliver("abc");
  std::string got;
  char buffer[16];
  for (ssize_t n; got.size() < 3 && (n = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
    got.append(buffer, static_cast<std::size_t>(n));
  }
  EXPECT_EQ(got, "abc");
  server_.reset();
  EXPECT_EQ(::recv(client, buffer, sizeof buffer, 0), 0);
}

}  // namespace
}  // namespace quillon
