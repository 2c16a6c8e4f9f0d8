#include "app/cli/session_listeners.h"

#include <sys/resource.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "serve/listen_socket.h"

namespace quillon::cli {

bool SessionListeners::Open(const SessionOptions& options, std::string_view mountPoint,
                            FanOut& stream, FanOut& received, Clock& clock, std::FILE* err,
                            std::string_view command) {
  struct Asked {
    const std::optional<ListenAddress>& address;
    const char* flag;
    ListenerKind kind;
    FanOut& source;
    std::string what;
  };
  const std::string mount =
      options.listenMount.empty() ? std::string(mountPoint) : options.listenMount;
  const Asked asked[] = {
      {options.listen, "--listen", ListenerKind::kNtrip, stream,
       "NTRIP caster, mount point " + mount},
      {options.tcpServer, "--tcp-server", ListenerKind::kRaw, stream, "the stream as raw bytes"},
      {options.nmeaServer, "--nmea-server", ListenerKind::kRaw, received, "the receiver's output"},
  };
  std::vector<ListenerSpec> listeners;
  std::vector<std::string> lines;
  for (const Asked& one : asked) {
    if (!one.address) continue;
    std::string problem;
    const int fd = OpenListenSocket(*one.address, problem);
    if (fd < 0) {
      for (const ListenerSpec& opened : listeners) ::close(opened.fd);
      std::fprintf(err, "quillon %.*s: %s: cannot listen on port %u: %s\n",
                   static_cast<int>(command.size()), command.data(), one.flag,
                   static_cast<unsigned>(one.address->port), problem.c_str());
      return false;
    }
    const std::string at = ListeningAt(fd);
    lines.push_back("Listening on " + at + ": " + one.what + ".");
    listeners.push_back(
        {std::string(one.flag) + " " + at, one.kind, fd, &one.source, options.listenMax});
  }
  if (listeners.empty()) return true;
  // A thousand clients need more descriptors than the usual soft limit of 1024; the server
  // waits with epoll, never select, so any number is fine.
  rlimit files{};
  if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
    files.rlim_cur = files.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &files);
  }
  content_.emplace(ServedStream{mount, !options.listenTokens.empty()}, clock);
  server_.emplace(std::move(listeners), CasterRules{mount, options.listenTokens}, *content_, clock,
                  [err](const std::string& line) { std::fprintf(err, "%s\n", line.c_str()); });
  server_->Start();
  for (const std::string& line : lines) std::fprintf(err, "%s\n", line.c_str());
  return true;
}

void SessionListeners::Update(StationStatus status) {
  if (content_) content_->Update(std::move(status));
}

}  // namespace quillon::cli
