// The program's own caster under load, beside RTKLIB's str2str as a caster. One 10 kB/s stream
// (1000-byte blocks at 10 Hz, each stamped with the time it was handed over) goes to N NTRIP 1
// clients on 127.0.0.1, for N = 10, 100 and 1000. For each N and each caster it prints how
// many clients got the stream, whether each got every block unchanged and in order, the
// latency from the hand-over (the receiver's read, or the write to str2str's input) to a
// client's whole block, as the kernel stamped its arrival in the client's socket and as the
// benchmark's one reading thread got to it, and the caster's CPU time per client.
//
//   caster_fanout [SECONDS [N]]     (default 20 s each run; N alone when given)
#include <arpa/inet.h>
#include <linux/net_tstamp.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench/latency.h"
#include "bench/measure.h"
#include "bench/str2str.h"
#include "platform/clock.h"
#include "serve/caster_server.h"
#include "serve/listen_socket.h"
#include "serve/station_content.h"

namespace quillon {
namespace {

using bench::Steady;

constexpr std::size_t kBlockBytes = 1000;
constexpr auto kBlockEvery = std::chrono::milliseconds(100);
constexpr std::string_view kReply = "ICY 200 OK\r\n";

constexpr std::size_t kStampBytes = 12;  // the time handed over and the sequence number

char Filler(std::uint32_t sequence, std::size_t at) { return static_cast<char>(sequence + at); }

// Wall-clock nanoseconds, the clock of the kernel's receive time stamps.
std::int64_t WallNs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * 1'000'000'000LL + now.tv_nsec;
}

std::string Block(std::uint32_t sequence) {
  std::string block(kBlockBytes, '\0');
  const std::int64_t sent = WallNs();
  std::memcpy(block.data(), &sent, sizeof sent);
  std::memcpy(block.data() + sizeof sent, &sequence, sizeof sequence);
  for (std::size_t i = kStampBytes; i < block.size(); ++i) block[i] = Filler(sequence, i);
  return block;
}

bool FillerMatches(std::string_view block, std::uint32_t sequence) {
  for (std::size_t i = kStampBytes; i < kBlockBytes; ++i) {
    if (block[i] != Filler(sequence, i)) return false;
  }
  return true;
}

// A connect under way: a caster that takes no more clients leaves its backlog full, and a
// blocking connect would retry for minutes.
int StartConnect(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// N NTRIP 1 clients of one mount point, read on one thread: each checks its blocks' order and
// content and notes how long each took to arrive.
class Clients {
 public:
  Clients(int port, std::size_t count) : epoll_(epoll_create1(EPOLL_CLOEXEC)) {
    for (std::size_t i = 0; i < count; ++i) {
      const int fd = StartConnect(port);
      if (fd < 0) continue;
      clients_.emplace_back().fd = fd;
      // The time each segment reached the client's socket, whenever the client reads it.
      const int stamps = SOF_TIMESTAMPING_RX_SOFTWARE | SOF_TIMESTAMPING_SOFTWARE;
      ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPING, &stamps, sizeof stamps);
      epoll_event event{};
      event.events = EPOLLOUT;
      event.data.u64 = clients_.size() - 1;
      epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~Clients() {
    stop_.store(true);
    thread_.join();
    for (const Client& client : clients_) ::close(client.fd);
    ::close(epoll_);
  }
  // The clients that have had the caster's reply.
  std::size_t Answered() const { return answered_.load(); }

  struct Figures {
    std::size_t served = 0;         // clients that got at least one block
    bool exact = true;              // each of them every block from its first, unchanged, in order
    std::vector<double> latencies;  // to the client's read
    std::vector<double> inSocket;   // to the kernel's receive in the client's socket
  };
  Figures Stop(std::uint32_t blocksSent) {
    stop_.store(true);
    thread_.join();
    Figures figures;
    for (const Client& client : clients_) {
      if (client.blocks == 0) continue;
      ++figures.served;
      figures.exact = figures.exact && client.exact && client.first + client.blocks == blocksSent;
      figures.latencies.insert(figures.latencies.end(), client.latencies.begin(),
                               client.latencies.end());
      figures.inSocket.insert(figures.inSocket.end(), client.inSocket.begin(),
                              client.inSocket.end());
    }
    thread_ = std::thread([] {});
    return figures;
  }

 private:
  struct Client {
    int fd = -1;
    bool connected = false;
    std::string pending;  // the reply, then the block being received
    bool answered = false;
    bool exact = true;
    std::uint32_t first = 0;
    std::uint32_t blocks = 0;
    std::vector<double> latencies;
    std::vector<double> inSocket;
  };

  void Run() {
    std::vector<epoll_event> events(256);
    char buffer[65536];
    while (!stop_.load()) {
      // A pause between rounds: a thousand clients are a thousand programs, not one thread
      // that the caster's every send wakes. The kernel's time stamps are not delayed by it.
      std::this_thread::sleep_for(std::chrono::microseconds(500));
      const int count = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 50);
      for (int i = 0; i < count; ++i) {
        const epoll_event& event = events[static_cast<std::size_t>(i)];
        Client& client = clients_[event.data.u64];
        if (!client.connected) {
          Connected(client, event);
          continue;
        }
        iovec part{buffer, sizeof buffer};
        alignas(cmsghdr) char control[256];
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t got = ::recvmsg(client.fd, &message, MSG_DONTWAIT);
        if (got <= 0) {
          if (got == 0) epoll_ctl(epoll_, EPOLL_CTL_DEL, client.fd, nullptr);
          continue;
        }
        std::int64_t arrived = 0;
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
          if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_TIMESTAMPING) {
            timespec stamps[3];
            std::memcpy(stamps, CMSG_DATA(c), sizeof stamps);
            arrived = stamps[0].tv_sec * 1'000'000'000LL + stamps[0].tv_nsec;
          }
        }
        Take(client, std::string_view(buffer, static_cast<std::size_t>(got)), arrived);
      }
    }
  }

  void Connected(Client& client, const epoll_event& event) {
    constexpr std::string_view kRequest = "GET /M HTTP/1.0\r\nUser-Agent: NTRIP bench\r\n\r\n";
    int failure = 0;
    socklen_t length = sizeof failure;
    ::getsockopt(client.fd, SOL_SOCKET, SO_ERROR, &failure, &length);
    if (failure != 0 || (event.events & EPOLLOUT) == 0 ||
        ::send(client.fd, kRequest.data(), kRequest.size(), MSG_NOSIGNAL) < 0) {
      epoll_ctl(epoll_, EPOLL_CTL_DEL, client.fd, nullptr);
      return;
    }
    client.connected = true;
    epoll_event watched{};
    watched.events = EPOLLIN;
    watched.data.u64 = event.data.u64;
    epoll_ctl(epoll_, EPOLL_CTL_MOD, client.fd, &watched);
  }

  // `arrived`: when the last of `bytes` reached the socket (0: not known).
  void Take(Client& client, std::string_view bytes, std::int64_t arrived) {
    const std::int64_t now = WallNs();
    client.pending.append(bytes);
    if (!client.answered) {
      if (client.pending.size() < kReply.size()) return;
      if (!client.pending.starts_with(kReply)) {
        client.exact = false;
        client.pending.clear();
        return;
      }
      client.pending.erase(0, kReply.size());
      client.answered = true;
      answered_.fetch_add(1);
    }
    while (client.pending.size() >= kBlockBytes) {
      std::int64_t sent = 0;
      std::uint32_t sequence = 0;
      std::memcpy(&sent, client.pending.data(), sizeof sent);
      std::memcpy(&sequence, client.pending.data() + sizeof sent, sizeof sequence);
      if (client.blocks == 0) client.first = sequence;
      const bool inOrder = sequence == client.first + client.blocks;
      client.exact = client.exact && inOrder && FillerMatches(client.pending, sequence);
      ++client.blocks;
      client.latencies.push_back(static_cast<double>(now - sent) / 1e6);
      if (arrived > 0) client.inSocket.push_back(static_cast<double>(arrived - sent) / 1e6);
      client.pending.erase(0, kBlockBytes);
    }
  }

  const int epoll_;
  std::vector<Client> clients_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> answered_{0};
  std::thread thread_;
};

// Hands `seconds` of the stream to `send`, a block each kBlockEvery; returns the blocks sent.
std::uint32_t Feed(int seconds, const std::function<void(std::string_view)>& send) {
  const auto start = Steady::now();
  std::uint32_t sequence = 0;
  for (auto next = start; next < start + std::chrono::seconds(seconds); next += kBlockEvery) {
    std::this_thread::sleep_until(next);
    send(Block(sequence++));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // for the last to arrive
  return sequence;
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  for (const auto end = Steady::now() + limit; Steady::now() < end;) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

void Print(const char* caster, std::size_t wanted, const Clients::Figures& figures,
           double cpuSeconds, int seconds) {
  const double perClient = figures.served == 0 ? 0.0
                                               : cpuSeconds * 1000.0 * 60.0 / seconds /
                                                     static_cast<double>(figures.served);
  std::printf(
      "%-8s clients %4zu/%-4zu exact %-3s CPU %6.3f ms/min per client (%6.1f ms/min "
      "in all)\n",
      caster, figures.served, wanted, figures.exact ? "yes" : "NO", perClient,
      cpuSeconds * 1000.0 * 60.0 / seconds);
  for (const auto& [what, values] : {std::pair{"in the client's socket", &figures.inSocket},
                                     {"read by the client", &figures.latencies}}) {
    std::printf("         latency to %-22s p50 %6.2f ms  p99 %6.2f ms  max %6.2f ms\n", what,
                bench::Percentile(*values, 50), bench::Percentile(*values, 99),
                bench::Percentile(*values, 100));
  }
  std::fflush(stdout);
}

void RunQuillon(std::size_t count, int seconds) {
  std::string problem;
  const int fd = OpenListenSocket({"127.0.0.1", 0}, problem);
  const int port = std::stoi(ListeningAt(fd).substr(10));
  FanOut source;
  StationContent content(ServedStream{"M", false}, RealClock());
  CasterServer server({{"--listen", ListenerKind::kNtrip, fd, &source, count}},
                      CasterRules{"M", {}}, content, RealClock(),
                      [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
  server.Start();
  Clients clients(port, count);
  WaitFor([&] { return clients.Answered() == count; }, std::chrono::seconds(20));
  const auto serverClock = bench::ThreadCpuClock("quillon-serve");
  const double before = serverClock ? bench::CpuSeconds(*serverClock) : 0.0;
  const std::uint32_t blocks =
      Feed(seconds, [&](std::string_view block) { source.Deliver(block); });
  const double cpu = serverClock ? bench::CpuSeconds(*serverClock) - before : 0.0;
  Print("quillon", count, clients.Stop(blocks), cpu, seconds);
}

// str2str reads the stream from a TCP server of the benchmark's and is the caster.
void RunStr2str(std::size_t count, int seconds) {
  std::string problem;
  const int input = OpenListenSocket({"127.0.0.1", 0}, problem);
  const std::string inputPort = ListeningAt(input).substr(10);
  const int probe = OpenListenSocket({"127.0.0.1", 0}, problem);
  const int port = std::stoi(ListeningAt(probe).substr(10));
  ::close(probe);  // a free port for str2str's caster
  bench::Str2str str2str({"-in", "tcpcli://127.0.0.1:" + inputPort, "-out",
                          "ntripc://:" + std::to_string(port) + "/M"});
  if (!str2str.Running()) {
    std::printf("str2str  not installed\n");
    ::close(input);
    return;
  }
  int feed = -1;
  WaitFor([&] { return (feed = ::accept4(input, nullptr, nullptr, SOCK_NONBLOCK)) >= 0; },
          std::chrono::seconds(10));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // its caster listens by now
  Clients clients(port, count);
  WaitFor([&] { return clients.Answered() == count; }, std::chrono::seconds(5));
  const double before = str2str.CpuSeconds();
  const std::uint32_t blocks = Feed(seconds, [&](std::string_view block) {
    [[maybe_unused]] const ssize_t sent = ::send(feed, block.data(), block.size(), MSG_NOSIGNAL);
  });
  const double cpu = str2str.CpuSeconds() - before;
  Print("str2str", count, clients.Stop(blocks), cpu, seconds);
  ::close(feed);
  ::close(input);
}

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
  std::printf(
      "caster_fanout: 10 kB/s in 1000-byte blocks at 10 Hz, %d s a run, NTRIP 1 clients "
      "on 127.0.0.1; latency from hand-over to a client's whole block\n",
      seconds);
  std::vector<std::size_t> counts = {10, 100, 1000};
  if (argc > 2) counts = {static_cast<std::size_t>(std::max(1, std::atoi(argv[2])))};
  for (const std::size_t count : counts) {
    std::printf("N = %zu\n", count);
    quillon::RunQuillon(count, seconds);
    quillon::RunStr2str(count, seconds);
  }
  return 0;
}
