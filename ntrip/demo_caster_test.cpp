#include "ntrip/demo_caster.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ntrip/requests.h"
#include "ntrip/source_table_text.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;

// The requests exactly as the program sends them, for the caster's default settings.
const std::string kLogin = BuildClientRequest("demo", "demo", "DEMO");
const std::string kSource = BuildServerRequest("DEMO", "demo");
constexpr std::string_view kTableRequest = kSourceTableRequest;

// A plain blocking client socket with bounded reads.
class Peer {
 public:
  explicit Peer(const DemoCaster& caster) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = caster.Address();
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  }
  ~Peer() { ::close(fd_); }

  bool connected() const { return connected_; }
  bool closed() const { return closed_; }

  void Send(std::string_view bytes) {
    ASSERT_EQ(::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }

  // One read; empty on time-out or end of stream (then closed() is true).
  std::string ReadOnce(std::chrono::milliseconds timeout = 5s) {
    pollfd readable{fd_, POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(timeout.count())) <= 0) return {};
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      closed_ = true;
      return {};
    }
    return std::string(buffer, static_cast<std::size_t>(n));
  }

  // Reads until `count` bytes have come, the peer closes, or a read waits longer than `timeout`.
  std::string Read(std::size_t count, std::chrono::milliseconds timeout = 5s) {
    std::string text;
    while (text.size() < count && !closed_) {
      const std::string piece = ReadOnce(timeout);
      if (piece.empty() && !closed_) break;
      text += piece;
    }
    return text;
  }

  std::string ReadUntilClosed(std::chrono::milliseconds timeout = 5s) {
    return Read(static_cast<std::size_t>(-1), timeout);
  }

 private:
  int fd_ = -1;
  bool connected_ = false;
  bool closed_ = false;
};

std::string TableReply(const std::string& table) {
  return "SOURCETABLE 200 OK\r\nServer: NTRIP Quillon demo caster/1.0\r\n"
         "Content-Type: text/plain\r\nContent-Length: " +
         std::to_string(table.size()) + "\r\n\r\n" + table + "ENDSOURCETABLE\r\n";
}

TEST(DemoCaster, LogsInAClientAndRelaysBothWays) {
  DemoCasterConfig config;
  config.loginPayload = std::string("\xD3\x00\x01\x02", 4);
  DemoCaster caster(config);
  Peer client(caster);
  ASSERT_TRUE(client.connected());
  // The first upstream bytes travel in the same write as the request.
  client.Send(std::string(kLogin) + "$GPGGA,1*00\r\n");
  EXPECT_EQ(client.Read(16), std::string("ICY 200 OK\r\n\xD3\x00\x01\x02", 16));
  ASSERT_TRUE(caster.WaitForLoggedInClients(1, 5s));

  EXPECT_EQ(caster.SendToClients("correction"), 1);
  EXPECT_EQ(client.Read(10), "correction");
  client.Send("$GPGGA,2*00\r\n");
  ASSERT_TRUE(caster.WaitForReceivedFromClients(26, 5s));
  EXPECT_EQ(caster.ReceivedFromClients(), "$GPGGA,1*00\r\n$GPGGA,2*00\r\n");
  EXPECT_EQ(caster.Uploaded(), "");

  ASSERT_EQ(caster.ConnectionCount(), 1u);
  EXPECT_EQ(caster.RequestText(0), kLogin);
  const CasterConnection record = caster.Connections()[0];
  EXPECT_EQ(record.kind, RequestKind::kClient);
  EXPECT_TRUE(record.answered);
  EXPECT_TRUE(record.open);
}

TEST(DemoCaster, MisbehavesAsScripted) {
  const std::string table = MakeSourceTable({"DEMO"});
  const struct {
    CasterBehaviour behaviour;
    std::string_view request;
    std::string firstRead;  // what one read gets at first
    std::string whole;      // everything until the caster closes, or until a read times out
    bool closes;
  } cases[] = {
      {CasterBehaviour::kHttpStatus, kLogin, "",
       "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/data\r\n\r\n", false},
      {CasterBehaviour::kIcyServerStatus, kSource, "", "ICY 200 OK\r\n", false},
      {CasterBehaviour::kSplitReply, kLogin, "IC", "ICY 200 OK\r\n", false},
      {CasterBehaviour::kSplitReply, kSource, "O", "OK\r\n", false},
      {CasterBehaviour::kSplitReply, kTableRequest, "SOURCETABLE 200", TableReply(table), true},
      {CasterBehaviour::kSilent, kLogin, "", "", false},
      {CasterBehaviour::kCloseAtOnce, kLogin, "", "", true},
      {CasterBehaviour::kResetAfterRequest, kSource, "", "", true},
      {CasterBehaviour::kCloseAfterLogin, kLogin, "", "ICY 200 OK\r\n", true},
      {CasterBehaviour::kNotFound, kTableRequest, "", "HTTP/1.1 404 Not Found\r\n\r\n", true},
      {CasterBehaviour::kTableNeverEnds, kTableRequest, "",
       TableReply(table).substr(0, TableReply(table).size() - 16), false},
  };
  for (const auto& c : cases) {
    DemoCaster caster;
    caster.Script(c.behaviour);
    {
      Peer peer(caster);
      peer.Send(c.request);
      std::string got;
      if (!c.firstRead.empty()) {
        got = peer.ReadOnce();
        EXPECT_EQ(got, c.firstRead) << c.request;
      }
      got += peer.ReadUntilClosed(c.closes ? 5000ms : 250ms);
      EXPECT_EQ(got, c.whole) << c.request;
      EXPECT_EQ(peer.closed(), c.closes) << c.request;
      if (!c.closes) {
        EXPECT_FALSE(caster.WaitForClosed(0, 0ms)) << c.request;
      }
    }
    if (c.closes) {
      EXPECT_TRUE(caster.WaitForClosed(0, 5000ms)) << c.request;
    }
    EXPECT_EQ(caster.Connections()[0].behaviour, c.behaviour);
  }
}

TEST(DemoCaster, GarbageHoldsNoToken) {
  DemoCaster caster;
  caster.Script(CasterBehaviour::kGarbage, 2);
  for (std::string_view request : {kLogin, kSource}) {
    Peer peer(caster);
    peer.Send(request);
    const std::string reply = peer.ReadUntilClosed();
    EXPECT_TRUE(peer.closed());
    EXPECT_GT(reply.size(), 20u);
    EXPECT_NE(reply.find('\0'), std::string::npos) << "binary bytes, a zero among them";
    for (const char* token : {"ICY 200 OK\r\n", "OK\r\n", "SOURCETABLE 200 OK", "ENDSOURCETABLE"}) {
      EXPECT_EQ(reply.find(token), std::string::npos) << token;
    }
  }
}

TEST(DemoCaster, StreamsAtTheConfiguredRate) {
  DemoCasterConfig config;
  config.streamBytesPerSecond = 10000;
  DemoCaster caster(config);
  Peer client(caster);
  client.Send(kLogin);
  ASSERT_EQ(client.Read(12), "ICY 200 OK\r\n");
  const auto start = std::chrono::steady_clock::now();
  const std::string data = client.Read(3000);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_GE(data.size(), 3000u);
  EXPECT_EQ(static_cast<unsigned char>(data[0]), 0xD3);
  // 3000 bytes at 10000 B/s take about 0.3 s: not all at once.
  EXPECT_GE(elapsed, 200ms);
}

TEST(DemoCaster, StopEndsEveryConnectionAtOnce) {
  auto caster = std::make_unique<DemoCaster>();
  caster->Script(CasterBehaviour::kSilent);
  caster->Script(CasterBehaviour::kTableNeverEnds);
  Peer silent(*caster);
  silent.Send(kLogin);
  Peer endless(*caster);
  endless.Send(kTableRequest);
  Peer client(*caster);
  client.Send(kLogin);
  Peer idle(*caster);  // never sends its request
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, 5s));
  ASSERT_TRUE(caster->WaitForConnections(4, 5s));
  EXPECT_TRUE(endless.Read(10).starts_with("SOURCETABLE"));

  const auto start = std::chrono::steady_clock::now();
  caster.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  for (Peer* peer : {&silent, &endless, &client, &idle}) {
    peer->ReadUntilClosed(1s);
    EXPECT_TRUE(peer->closed());
  }
}

TEST(DemoCaster, AConnectHangsWhileNotAccepting) {
  DemoCaster caster;
  caster.StopAccepting();

  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  std::atomic<bool> returned{false};
  std::atomic<int> result{0};
  std::thread connector([&] {
    const sockaddr_in address = caster.Address();
    result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    returned = true;
  });
  std::this_thread::sleep_for(300ms);
  EXPECT_FALSE(returned) << "connect should still be waiting";
  // What a session's stop does to a worker blocked in connect.
  ::shutdown(fd, SHUT_RDWR);
  connector.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(result, -1);
  ::close(fd);

  caster.ResumeAccepting();
  Peer late(caster);
  ASSERT_TRUE(late.connected());
  late.Send(kLogin);
  EXPECT_EQ(late.Read(12), "ICY 200 OK\r\n");
  // Neither the caster's own queue filler nor the aborted connect is a connection.
  EXPECT_EQ(caster.ConnectionCount(), 1u);
}

}  // namespace
}  // namespace quillon
