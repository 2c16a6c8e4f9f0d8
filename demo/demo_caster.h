// An NTRIP caster that runs inside the process, on 127.0.0.1. The tests use it as the far end of
// every session, and `quillon demo` streams its correction data from it. It speaks version 1,
// and version 2 to a request that carries "Ntrip-Version: Ntrip/2.0": "HTTP/1.1 200 OK" and a
// chunked stream cut at random chunk sizes (seeded), POST uploads, and "GET /" source tables.
// It can also be told to misbehave the way real casters and broken networks do.
#pragma once

#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "demo/demo_caster_request.h"

namespace quillon {

// How one connection is answered. Every connection takes the next scripted behaviour (see
// DemoCaster::Script), or the default one when the script is used up.
enum class CasterBehaviour {
  kNormal,  // answer as a caster does: login, upload, source table
  // The success token as an NTRIP version 2 caster sends it: "HTTP/1.1 200 OK\r\n" in place of
  // "ICY 200 OK\r\n" (client), "OK\r\n" (server) or "SOURCETABLE 200 OK\r\n" (table); what
  // follows is the same as for kNormal.
  kHttpStatus,
  // A server's login is answered with the client's status line, "ICY 200 OK\r\n", as some
  // version 1 casters do; clients and source tables are answered as for kNormal.
  kIcyServerStatus,
  // The first reply is written in two parts with a short real pause between them, cut inside
  // the token: "IC" + "Y 200 OK\r\n", "O" + "K\r\n", "SOURCETABLE 200" + " OK\r\n...".
  kSplitReply,
  kSilent,           // read the request, never answer, keep the connection open until Stop
  kCloseAtOnce,      // close the connection right after accepting it, before reading anything
  kGarbage,          // read the request, answer with bytes that hold no token, then close
  kCloseAfterLogin,  // send the success token (after a good login), then end the connection
  kTableNeverEnds,   // source table without "ENDSOURCETABLE"; the connection stays open
  kTableCut,         // source table without "ENDSOURCETABLE", then the connection ends
  kNotFound,         // answer "HTTP/1.1 404 Not Found\r\n\r\n" to any request, then close
  // Read the request, then reset the connection: no reply, no orderly end.
  kResetAfterRequest,
  // Read the request, answer with DemoCasterConfig::cannedReply byte for byte (nothing when it
  // is empty), then end the connection.
  kCannedReply,
  // Expect no request: stream correction data at once (as for a logged-in client) and record
  // everything the peer sends. This is the caster as a client without authentication sees it.
  kRawStream,
};

// What a connection turned out to be, judged from its request.
enum class RequestKind {
  kNone,    // nothing complete arrived (or kCloseAtOnce / kRawStream)
  kClient,  // "GET /<mount point>" with the right credentials
  // "GET /SOURCETABLE", "GET /"; in version 1 also an unknown mount point or wrong credentials
  kSourceTable,
  kServer,   // "SOURCE <password> /<mount point>", or version 2's "POST /<mount point>"
  kRefused,  // version 2: wrong credentials (401) or an unknown mount point (404)
  kBad,      // anything else, or HTTP/1.1 without Host: answered "HTTP/1.0 400 Bad Request"
};

struct DemoCasterConfig {
  std::string mountPoint = "DEMO";  // the mount point clients log in to and servers feed
  std::string user = "demo";        // client credentials, compared exactly
  std::string password = "demo";
  // Password of the SOURCE request: a wrong one is answered "ERROR - Bad Password\r\n", a
  // SOURCE to another mount point "ERROR - Bad Mountpoint\r\n". A version 2 POST logs in with
  // `sourceUser` and this password (else 401; another mount point: 404).
  std::string sourcePassword = "demo";
  std::string sourceUser = "demo";
  // Source-table text sent between the headers and "ENDSOURCETABLE\r\n" (records with "\r\n").
  // Empty means a table with one STR record for `mountPoint`.
  std::string sourceTable;
  // Source-table requests without the client credentials are answered
  // "HTTP/1.1 401 Unauthorized", as a caster that protects its table does.
  bool tableNeedsLogin = false;
  // What each client gets right after "ICY 200 OK\r\n", in the same write: header lines,
  // correction data or both.
  std::string loginPayload;
  // The whole answer of kCannedReply, written in two parts cut at `cannedSplitAt` (0: at once)
  // with `splitPause` between them.
  std::string cannedReply;
  std::size_t cannedSplitAt = 0;
  // When above 0, every logged-in client also gets a generated correction stream
  // (CorrectionStream) at this many bytes per second of real time.
  int streamBytesPerSecond = 0;
  // Real pause between the two parts of a kSplitReply answer.
  std::chrono::milliseconds splitPause{150};
  // Version 2: the seed of the random chunk sizes (1 to 512 bytes) of streams and tables, and
  // whether a source table goes chunked (else with Content-Length).
  unsigned chunkSeed = 1;
  bool chunkedTables = true;
};

// One accepted connection as the tests see it.
struct CasterConnection {
  CasterBehaviour behaviour = CasterBehaviour::kNormal;
  RequestKind kind = RequestKind::kNone;
  std::string request;    // the raw request text, up to and including its empty line
  std::string received;   // every byte received after the request, in order
  bool answered = false;  // the first reply byte has been written
  bool open = true;       // false once the caster has closed its socket
};

// Where an answer ends the connection (table, errors, kCloseAfterLogin...), the caster ends its
// sending side first and reads what the peer still sends for half a second before it closes, so
// that no reset destroys the answer on its way; only kCloseAtOnce closes outright.
class DemoCaster {
 public:
  // Starts listening on 127.0.0.1, on a port the system picks, and accepting at once.
  // Throws std::system_error when the socket cannot be set up.
  explicit DemoCaster(DemoCasterConfig config = {});
  // Stops and joins every thread (see Stop).
  ~DemoCaster();

  DemoCaster(const DemoCaster&) = delete;
  DemoCaster& operator=(const DemoCaster&) = delete;

  // The listening port (host byte order) and address.
  std::uint16_t Port() const { return port_; }
  sockaddr_in Address() const;

  // The next `count` connections get `behaviour`, after any already scripted.
  void Script(CasterBehaviour behaviour, int count = 1);
  // Behaviour of connections once the script is used up (kNormal at first).
  void SetDefaultBehaviour(CasterBehaviour behaviour);
  // Replaces the table text of later source-table answers.
  void SetSourceTable(std::string table);

  // Stops accepting: further connects to Port() hang in the kernel (their SYNs are dropped
  // because the accept queue is kept full) until they are shut down, time out, or accepting is
  // resumed. Connections already accepted go on.
  void StopAccepting();
  // Accepts again, including the connects that were left hanging.
  void ResumeAccepting();

  // Writes `bytes` to every client that is logged in now (kClient after its token, or
  // kRawStream). Returns how many clients it was written to. Waits while a client's socket is
  // full, until it has room, the client has gone, or Stop.
  int SendToClients(std::string_view bytes);

  // Snapshots for the tests.
  std::size_t ConnectionCount() const;  // connections accepted so far
  std::vector<CasterConnection> Connections() const;
  std::string RequestText(std::size_t index) const;  // raw request of connection `index`
  int LoggedInClients() const;                       // client connections open and streaming
  // Every byte received after the request from client connections (kClient, kRawStream), and
  // from server connections (kServer; a chunked upload decoded), each in order of arrival.
  std::string ReceivedFromClients() const;
  std::string Uploaded() const;

  // Wait with a real-time limit; return true when the condition holds, false on time-out.
  bool WaitForConnections(std::size_t count, std::chrono::milliseconds timeout) const;
  bool WaitForLoggedInClients(int count, std::chrono::milliseconds timeout) const;
  bool WaitForReceivedFromClients(std::size_t bytes, std::chrono::milliseconds timeout) const;
  bool WaitForUploaded(std::size_t bytes, std::chrono::milliseconds timeout) const;
  // Until connection `index` has been closed by either side.
  bool WaitForClosed(std::size_t index, std::chrono::milliseconds timeout) const;

  // Closes every connection and the listening socket, and joins every thread. Never blocks
  // longer than the threads need to notice (they all wait on the same stop signal). Idempotent.
  void Stop();

 private:
  struct Link;  // one accepted connection: its socket and its record

  void AcceptLoop();
  void CloseDescriptors();
  CasterBehaviour NextBehaviour();  // with mutex_ held

  // One thread per connection runs Serve; the others are its steps.
  void Serve(Link& link);
  void Answer(Link& link);
  void ServeClient(Link& link, const std::string& early, bool version2);
  void ServeServer(Link& link, const caster_internal::ParsedRequest& request,
                   const std::string& early);
  void ServeSourceTable(Link& link, bool version2);
  void ServeVersion2Table(Link& link, const std::string& body, std::size_t length);
  void StreamLoop(Link& link);
  void DrainUntilClosed(Link& link);
  void Linger(Link& link);

  // Socket steps; each returns false once the peer has gone or Stop has begun.
  bool ReadRequest(Link& link);
  bool WriteReply(Link& link, std::string_view reply, std::size_t splitAt);
  bool SendBytes(Link& link, std::string_view bytes);
  // The stream's bytes as the client logged in: as they are, or in chunks of random sizes.
  bool SendData(Link& link, std::string_view bytes);
  bool ReceiveOnce(Link& link, int timeoutMs, bool& closed);
  bool WaitReadable(int fd, int timeoutMs) const;
  bool StopRequested(int timeoutMs) const;

  // Record keeping under mutex_.
  std::string RequestOf(Link& link) const;
  std::string SetKind(Link& link,
                      RequestKind kind);  // returns the bytes that came with the request
  void SetLoggedIn(Link& link, RequestKind kind);
  void RecordReceived(Link& link, std::string_view bytes);
  void CloseLink(Link& link);
  template <typename Condition>
  bool WaitFor(std::chrono::milliseconds timeout, Condition condition) const;

  DemoCasterConfig config_;
  int listenFd_ = -1;
  int stopPipe_[2] = {-1, -1};   // readable once Stop has begun: every wait watches it
  int pausePipe_[2] = {-1, -1};  // wakes the accept loop when accepting stops or resumes
  std::uint16_t port_ = 0;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool stopping_ = false;
  bool accepting_ = true;
  bool acceptorListening_ = true;  // the accept loop watches the listening socket
  std::deque<CasterBehaviour> script_;
  CasterBehaviour defaultBehaviour_ = CasterBehaviour::kNormal;
  std::vector<std::shared_ptr<Link>> links_;
  std::vector<std::thread> threads_;
  std::vector<int> fillers_;            // our own connects that keep the accept queue full
  std::vector<in_port_t> fillerPorts_;  // their ports (network order), dropped when accepted
  std::string fromClients_;
  std::string uploaded_;
  std::thread acceptor_;
};

}  // namespace quillon
