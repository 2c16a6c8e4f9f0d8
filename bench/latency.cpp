#include "bench/latency.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "demo/correction_stream.h"

namespace quillon::bench {

ReceiverPty::ReceiverPty() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  char name[128] = {};
  if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0 &&
      ptsname_r(master_, name, sizeof name) == 0) {
    path_ = name;
  }
}

ReceiverPty::~ReceiverPty() {
  if (master_ >= 0) close(master_);
}

std::size_t ReceiverPty::Write(std::string_view bytes) {
  const ssize_t taken = write(master_, bytes.data(), bytes.size());
  return taken > 0 ? static_cast<std::size_t>(taken) : 0;
}

TimedCaster::TimedCaster(std::string reply, std::size_t burstBytes)
    : reply_(std::move(reply)), burstBytes_(burstBytes) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
      listen(listener_, 1) == 0 &&
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port_ = ntohs(address.sin_port);
  }
  thread_ = std::thread([this] { Run(); });
}

TimedCaster::~TimedCaster() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  thread_.join();
  if (listener_ >= 0) close(listener_);
}

bool TimedCaster::WaitForLogin(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [this] { return loggedIn_; });
}

std::optional<Steady::time_point> TimedCaster::WaitForBytes(std::size_t count,
                                                            std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  if (!changed_.wait_for(lock, limit, [&] { return received_.size() >= count; })) return {};
  const auto arrival = std::find_if(arrivals_.begin(), arrivals_.end(),
                                    [&](const auto& entry) { return entry.first >= count; });
  return arrival->second;
}

std::string TimedCaster::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void TimedCaster::Run() {
  // Polled briefly, so that the destructor is seen.
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
    }
    pollfd entry{listener_, POLLIN, 0};
    if (poll(&entry, 1, 50) == 1) {
      const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection >= 0) {
        Serve(connection);
        close(connection);
        return;
      }
    }
  }
}

void TimedCaster::Serve(int connection) {
  std::string request;
  std::size_t loginEnd = std::string::npos;
  CorrectionStream corrections;
  auto nextBurst = Steady::now();
  char buffer[65536];
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
    }
    if (loginEnd != std::string::npos && burstBytes_ > 0 && Steady::now() >= nextBurst) {
      const std::string burst = corrections.Next(burstBytes_);
      send(connection, burst.data(), burst.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      nextBurst += std::chrono::seconds(1);
    }
    pollfd entry{connection, POLLIN, 0};
    if (poll(&entry, 1, 10) != 1) continue;
    const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
    const auto now = Steady::now();
    if (got <= 0) return;
    std::string_view bytes(buffer, static_cast<std::size_t>(got));
    if (loginEnd == std::string::npos) {
      request.append(bytes);
      loginEnd = request.find("\r\n\r\n");
      if (loginEnd == std::string::npos) continue;
      send(connection, reply_.data(), reply_.size(), MSG_NOSIGNAL);
      bytes = std::string_view(request).substr(loginEnd + 4);
      nextBurst = now;
    }
    std::lock_guard lock(mutex_);
    loggedIn_ = true;
    received_.append(bytes);
    arrivals_.emplace_back(received_.size(), now);
    changed_.notify_all();
  }
}

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0.0;
  std::sort(values.begin(), values.end());
  const std::size_t at =
      std::min(values.size() - 1, static_cast<std::size_t>(p / 100.0 * values.size()));
  return values[at];
}

void PrintLatency(const char* label, const std::vector<double>& values, int wanted) {
  std::printf("latency %-7s blocks %3zu/%-3d  p50 %6.1f ms  p99 %6.1f ms  max %6.1f ms\n", label,
              values.size(), wanted, Percentile(values, 50), Percentile(values, 99),
              values.empty() ? 0.0 : *std::max_element(values.begin(), values.end()));
}

void PrintRelayed(const char* label, const std::optional<Relayed>& relayed, int wanted) {
  if (!relayed) {
    std::printf("latency %-7s not measured (not installed, or it did not log in)\n", label);
    return;
  }
  PrintLatency(label, relayed->latencies, wanted);
  std::printf("        %-7s CPU %.1f ms per minute%s\n", label, relayed->cpuMsPerMinute,
              relayed->exact ? "" : "; the blocks did NOT arrive whole and in order");
}

}  // namespace quillon::bench
