// The program's own listeners on one thread: its NTRIP caster (--listen), the same stream as
// raw bytes (--tcp-server) and the receiver's output (--nmea-server). Each takes its bytes from
// a fan-out of the session through a queue of its own, and hands every block to each of its
// clients by reference, so that a thousand clients cost no copy of the stream.
//
// epoll by hand: a few hundred lines do all this needs, where an event library would add a
// dependency and its own buffering of every client's bytes.
//
// No client can hold up another, the session or the other listeners: every socket is
// non-blocking, each client has a bounded queue, and a client that falls that far behind is
// dropped with a line that says so. A client still sending its request head, or being sent its
// reply, has kRequestLimitMs from its connect; each listener keeps at most kMaxPendingClients
// of them, the oldest going first, so that a flood of connects grows nothing.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/clock.h"
#include "serve/caster_request.h"
#include "serve/listen_socket.h"
#include "serve/listener_content.h"
#include "session/fan_out.h"
#include "session/worker_thread.h"

namespace quillon {

inline constexpr std::uint32_t kRequestLimitMs = 10'000;
inline constexpr std::size_t kMaxPendingClients = 1024;
// How often the content hears which clients take the stream.
inline constexpr std::uint32_t kClientsToldMs = 1000;
// What may wait for one client: about six seconds of a 10 kB/s stream.
inline constexpr std::size_t kClientQueueBytes = 64 * 1024;
// What may wait between the session and this thread before the oldest blocks go.
inline constexpr std::size_t kServerQueueBytes = 1024 * 1024;

enum class ListenerKind {
  kNtrip,  // requests answered by AnswerRequest
  kRaw,    // the stream from the connect on, nothing read
};

struct ListenerSpec {
  std::string name;  // how lines name it: "--listen [::]:2101"
  ListenerKind kind = ListenerKind::kNtrip;
  int fd = -1;  // a listening socket (OpenListenSocket); the server closes it
  FanOut* source = nullptr;
  std::size_t maxClients = kDefaultMaxClients;
};

// A line for the user, on the server's thread.
using ServerLine = std::function<void(const std::string& text)>;

class CasterServer {
 public:
  // Attached to the listeners' sources from now on. `content` and `rules` answer the NTRIP
  // listeners' requests; `content` is asked on the server's thread.
  CasterServer(std::vector<ListenerSpec> listeners, CasterRules rules, ListenerContent& content,
               Clock& clock, ServerLine tell);
  // As Stop.
  ~CasterServer();
  CasterServer(const CasterServer&) = delete;
  CasterServer& operator=(const CasterServer&) = delete;

  void Start();
  // Detaches from the sources, ends the thread and closes every socket. Harmless twice.
  void Stop();
  // The thread's round, on which tests can drive the server without it: waits up to `ms` for
  // something to do, then does it.
  void Pass(std::uint32_t ms);

  // The clients that take the stream of listener `index` now (any thread).
  std::size_t Clients(std::size_t index) const;

 private:
  struct Listener;
  struct Client;
  struct Source;

  void Run();
  void Accept(Listener& listener);
  void ReadFrom(Client& client);
  void TakeHead(Client& client);
  void StartStream(Client& client, bool chunked);
  void Deliver(Source& source);
  // Sends `block` to a streaming client, or queues it behind what waits.
  void Offer(Client& client, const SharedBlock& block);
  // Sends what waits for `client`; watches it for room when some is left.
  void Flush(Client& client);
  void Queue(Client& client, SharedBlock block);
  void Close(Client& client);
  void Expire();
  void Reap();
  std::uint32_t NextTimeout(std::uint32_t ms);
  void Watch(Client& client, bool output);
  // The streaming clients to the content, once every kClientsToldMs.
  void TellClients();

  std::vector<std::unique_ptr<Listener>> listeners_;
  std::vector<std::unique_ptr<Source>> sources_;
  std::unordered_map<std::uint64_t, std::unique_ptr<Client>> clients_;
  std::vector<std::uint64_t> closed_;
  const CasterRules rules_;
  ListenerContent& content_;
  Clock& clock_;
  const ServerLine tell_;
  const int epoll_;
  const int stop_;
  std::uint64_t nextId_;
  bool attached_ = false;
  std::optional<std::uint32_t> toldClients_;
  WorkerThread thread_;
};

}  // namespace quillon
