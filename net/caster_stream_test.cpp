// A caster stream over plain TCP and over TLS: the same bytes and limits either way, and TLS's own
// checks, against a peer on a thread with certificates made for the test.
#include "net/caster_stream.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/caster_stream_connect.h"
#include "net/openssl_library.h"
#include "net/tls_caster_stream.h"
#include "net/tls_options.h"
#include "testing/authority_file.h"
#include "testing/hanging_listener.h"
#include "testing/hooked_clock.h"
#include "testing/scripted_lookup.h"
#include "testing/temp_folder.h"
#include "testing/test_certificates.h"
#include "testing/tls_test_peer.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::PeerBehaviour;
using testing::TlsTestPeer;
using testing::VirtualClock;

const testing::TestCertificates& Certificates() {
  static const testing::TestCertificates made = testing::MakeTestCertificates();
  return made;
}

TlsOptions Tls(std::string caFile, bool insecure = false, std::string library = kOpenSslLibrary) {
  TlsOptions options;
  options.enabled = true;
  options.caFile = std::move(caFile);
  options.insecure = insecure;
  options.library = std::move(library);
  return options;
}

// Reads until `count` bytes have come, the peer closes, or a wait of 5 virtual s sees nothing.
std::string ReadExactly(CasterStream& stream, std::size_t count, Clock& clock) {
  std::string got;
  std::array<char, 4096> buffer;
  while (got.size() < count) {
    if (stream.WaitReadable(clock, 5000) != WaitEnd::kReady) break;
    const ssize_t read =
        stream.ReadReady(std::span(buffer).first(std::min(buffer.size(), count - got.size())));
    if (read == 0 || (read < 0 && errno != EAGAIN)) break;
    if (read > 0) got.append(buffer.data(), static_cast<std::size_t>(read));
  }
  return got;
}

// Every byte value, NUL and 0xFF included, in an order that repeats only every 256 bytes.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  return bytes;
}

// What every caster stream does, plain or TLS (the parameter) alike, against a peer behaving as
// the test says; the clock's waits give the peer's thread real time to answer.
class CasterStreamContract : public ::testing::TestWithParam<bool> {
 protected:
  void Connect(PeerBehaviour behaviour, int realPollMs = 1000) {
    testing::TlsPeerConfig config;
    if (GetParam()) config.identity = Certificates().localhost;
    config.behaviour = behaviour;
    peer = std::make_unique<TlsTestPeer>(config);
    clock.SetRealPollMs(realPollMs);
    connected = ConnectCasterStream("127.0.0.1", peer->Port(),
                                    GetParam() ? Tls(authority.Path()) : TlsOptions{}, socket,
                                    clock, kCasterConnectLimitMs);
    ASSERT_NE(connected.stream, nullptr) << connected.problem;
  }
  CasterStream& Stream() { return *connected.stream; }
  // A round first: a connection the peer has not accepted yet would be reset.
  void Ping() {
    ASSERT_EQ(Stream().Send("ping", clock, kSendStallLimitMs), 0);
    ASSERT_EQ(ReadExactly(Stream(), 4, clock), "ping");
  }

  testing::AuthorityFile authority{Certificates()};
  VirtualClock clock{1000, 1'700'000'000, 1000};
  CasterSocket socket;
  std::unique_ptr<TlsTestPeer> peer;
  StreamConnect connected;
};

INSTANTIATE_TEST_SUITE_P(Transports, CasterStreamContract, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Tls" : "PlainTcp"; });

TEST_P(CasterStreamContract, CarriesBytesBothWaysExactly) {
  ASSERT_NO_FATAL_FAILURE(Connect(PeerBehaviour::kEcho));
  EXPECT_EQ(Stream().SendReady("ping"), 4);
  EXPECT_EQ(ReadExactly(Stream(), 4, clock), "ping");
  for (const std::size_t size : {std::size_t{1}, std::size_t{32}, std::size_t{1} << 20}) {
    const std::string sent = Pattern(size);
    // In pieces, each read back before the next, so neither side's buffers fill.
    std::string back;
    for (std::size_t at = 0; at < size; at += 65536) {
      const std::string_view piece = std::string_view(sent).substr(at, 65536);
      ASSERT_EQ(Stream().Send(piece, clock, kSendStallLimitMs), 0);
      back += ReadExactly(Stream(), piece.size(), clock);
    }
    EXPECT_TRUE(back == sent) << size << " bytes sent, " << back.size() << " came back";
  }
  // With TLS, bytes decrypted but not yet handed out are ready though the socket is not.
  const std::string block = Pattern(32);
  ASSERT_EQ(Stream().Send(block, clock, kSendStallLimitMs), 0);
  const std::string first = ReadExactly(Stream(), 10, clock);
  clock.SetRealPollMs(1);
  EXPECT_EQ(Stream().WaitReadable(clock, 1000), WaitEnd::kReady);
  EXPECT_EQ(first + ReadExactly(Stream(), 22, clock), block);
  EXPECT_EQ(clock.Elapsed(), 0u);  // no wait ran out
  // A close tells a TLS caster politely: its read ends with the close_notify.
  Stream().Close();
  if (GetParam()) {
    EXPECT_TRUE(peer->WaitForPoliteEnds(1));
  }
}

// Casters end a stream by closing TCP, most without a TLS close_notify: either way it has ended,
// and a send to it fails with the system's error; no SIGPIPE ends the process.
TEST_P(CasterStreamContract, ACasterThatClosesIsReadAsClosedAndASendToItFails) {
  ASSERT_NO_FATAL_FAILURE(Connect(PeerBehaviour::kEcho));
  ASSERT_NO_FATAL_FAILURE(Ping());
  peer.reset();  // closes its end without a close_notify
  std::array<char, 16> buffer;
  EXPECT_EQ(Stream().WaitReadable(clock, 1000), WaitEnd::kReady);
  EXPECT_EQ(Stream().ReadReady(buffer), 0);
  // The first send may still be taken; the caster's reset to it fails the next.
  int result = 0;
  for (int i = 0; i < 100 && result == 0; ++i) result = Stream().Send("ping", clock, 1000);
  EXPECT_TRUE(result == EPIPE || result == ECONNRESET) << SystemErrorText(result);
}

// The peer completes its handshake and never reads: the socket fills.
TEST_P(CasterStreamContract, ASendThatStallsEndsAfterTheLimitOrAtTheStopAndTheCloseDoesNotWait) {
  ASSERT_NO_FATAL_FAILURE(Connect(PeerBehaviour::kNeverRead, 1));
  const std::string chunk(64 * 1024, 'x');
  std::size_t taken = 0;
  ssize_t sent;
  while ((sent = Stream().SendReady(chunk)) > 0) taken += static_cast<std::size_t>(sent);
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_GT(taken, 0u);
  EXPECT_EQ(Stream().SendReady(chunk), -1);
  EXPECT_EQ(errno, EAGAIN);

  int result = 0;
  std::uint64_t lastSend = 0;  // virtual ms the last send took
  do {
    const auto before = clock.Elapsed();
    result = Stream().Send(chunk, clock, kSendStallLimitMs);
    lastSend = clock.Elapsed() - before;
  } while (result == 0);
  EXPECT_EQ(result, ETIMEDOUT);
  // The kernel may have made room meanwhile (it grows its buffers), so the send may have taken a
  // few steps more than the limit it stalled for.
  EXPECT_GE(lastSend, kSendStallLimitMs);
  EXPECT_LT(lastSend, 2 * kSendStallLimitMs);

  // The kernel may still make room for a little more; a stop then ends the first wait.
  const auto start = clock.Elapsed();
  while ((result = Stream().Send(chunk, clock, kSendStallLimitMs, [] { return true; })) == 0) {
  }
  EXPECT_EQ(result, ECANCELED);
  EXPECT_EQ(clock.Elapsed(), start);
  Stream().Close();  // with TLS its close_notify finds no room: it is not waited for
  EXPECT_FALSE(socket.IsOpen());
}

// A worker keeps its last login's stream while the next connect reuses the socket, and the
// system hands out the lowest free number: the old stream's close must not end the new one.
TEST(PlainCasterStream, ClosesOnlyItsOwnConnectionWhenTheNumberComesAgain) {
  CasterSocket socket;
  int first[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, first), 0);
  socket.Set(first[0]);
  auto old = std::make_unique<PlainCasterStream>(socket);
  socket.Close();
  int second[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, second), 0);
  ASSERT_EQ(second[0], first[0]);  // the number came again
  socket.Set(second[0]);
  old.reset();
  EXPECT_EQ(socket.Get(), second[0]);
  EXPECT_EQ(send(second[1], "x", 1, MSG_NOSIGNAL), 1);  // still connected
  close(first[1]);
  close(second[1]);
}

TEST(StartTls, AcceptsOnlyACertificateForTheNameFromAnAuthorityItTrusts) {
  const testing::TestCertificates& made = Certificates();
  const testing::AuthorityFile authority(made);
  testing::ScriptedLookup lookup{{"127.0.0.1"}, {}};
  const struct {
    const char* host;
    const testing::KeyAndCertificate& identity;
    TlsOptions options;
    TlsEnd end;
    std::string problem;
    std::string serverName;  // the SNI the peer saw, when established
    PeerBehaviour behaviour = PeerBehaviour::kEcho;
  } cases[] = {
      {"localhost", made.localhost, Tls(authority.Path()), TlsEnd::kEstablished, "", "localhost"},
      {"localhost.", made.localhost, Tls(authority.Path()), TlsEnd::kEstablished, "", "localhost"},
      {"127.0.0.1", made.localhost, Tls(authority.Path()), TlsEnd::kEstablished, "", ""},
      {"localhost", made.wrongName, Tls(authority.Path()), TlsEnd::kCertificateRefused,
       "The caster's certificate was not accepted: hostname mismatch", ""},
      {"127.0.0.1", made.wrongName, Tls(authority.Path()), TlsEnd::kCertificateRefused,
       "The caster's certificate was not accepted: IP address mismatch", ""},
      {"localhost", made.localhost, Tls(""), TlsEnd::kCertificateRefused,
       "The caster's certificate was not accepted: unable to get local issuer certificate", ""},
      {"www.caster.example", made.partialWildcard, Tls(authority.Path()),
       TlsEnd::kCertificateRefused, "The caster's certificate was not accepted: hostname mismatch",
       ""},
      {"localhost", made.wrongName, Tls("", true), TlsEnd::kEstablished, "", "localhost"},
      // Unchecked, the certificate is not what failed. The library's reason follows (its
      // wording differs between OpenSSL versions).
      {"localhost", made.wrongName, Tls("", true), TlsEnd::kHandshakeFailed,
       "TLS handshake with localhost failed: error:", "", PeerBehaviour::kDemandClientCertificate},
      {"localhost", made.localhost, Tls("/nonexistent/authority.pem"), TlsEnd::kSetupFailed,
       "The authority file /nonexistent/authority.pem could not be loaded: error:", ""},
      // A library that cannot be loaded is said in one line; the handshake never begins.
      {"localhost", made.localhost, Tls("", false, "libquillon-missing-ssl.so.3"),
       TlsEnd::kNoLibrary,
       "TLS needs OpenSSL's libssl3: libquillon-missing-ssl.so.3: cannot open shared object "
       "file: No such file or directory",
       ""},
      {"localhost", made.localhost, Tls("", false, "libc.so.6"), TlsEnd::kNoLibrary,
       "TLS needs OpenSSL's libssl3: libc.so.6 lacks TLS_client_method", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.host << " case " << (&c - cases));
    TlsTestPeer peer({c.identity, c.behaviour});
    VirtualClock clock(1000, 1'700'000'000, 1000);
    CasterSocket socket;
    const StreamConnect connected = ConnectCasterStream(
        c.host, peer.Port(), c.options, socket, clock, kCasterConnectLimitMs, {}, lookup.Seam());
    ASSERT_EQ(connected.connect.step, ConnectStep::kConnected);
    EXPECT_EQ(connected.tls, c.end);
    if (c.problem.ends_with("error:")) {
      EXPECT_TRUE(connected.problem.starts_with(c.problem)) << connected.problem;
    } else {
      EXPECT_EQ(connected.problem, c.problem);
    }
    EXPECT_EQ(connected.stream != nullptr, c.end == TlsEnd::kEstablished);
    if (connected.stream == nullptr) {
      EXPECT_TRUE(socket.IsOpen());  // for the caller to close
      continue;
    }
    ASSERT_EQ(connected.stream->Send("ping", clock, kSendStallLimitMs), 0);
    EXPECT_EQ(ReadExactly(*connected.stream, 4, clock), "ping");
    EXPECT_EQ(peer.ServerName(), c.serverName);
  }
}

// The connect limit holds for both steps: after a first address that hangs for its share, the
// handshake with the second gets what is left. A stop is seen within a step of the handshake's
// wait; the stop sequence, on another thread, also shuts the worker's socket down: that ends the
// wait at once, not at the end of its step.
TEST(StartTls, AHandshakeThatNeverEndsFailsAtTheConnectLimitOrEndsAtAStop) {
  testing::HangingListener hanging;
  testing::TlsPeerConfig config;
  config.behaviour = PeerBehaviour::kSilent;
  config.address = "127.0.0.2";
  config.port = hanging.Port();
  const TlsTestPeer silent(config);
  const testing::AuthorityFile authority(Certificates());
  enum class Stop { kNone, kInAStep, kByShutdown };
  const struct {
    std::vector<std::string> addresses;  // of "caster.example"
    Stop stop;
    TlsEnd end;
    std::uint64_t ms;
  } cases[] = {
      {{"127.0.0.2"}, Stop::kNone, TlsEnd::kHandshakeFailed, kCasterConnectLimitMs},
      {{"127.0.0.1", "127.0.0.2"}, Stop::kNone, TlsEnd::kHandshakeFailed, kCasterConnectLimitMs},
      {{"127.0.0.2"}, Stop::kInAStep, TlsEnd::kStopped, 3000},
      {{"127.0.0.2"}, Stop::kByShutdown, TlsEnd::kStopped, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    // The lookup's thread answers in real time; a step not cut short by the shutdown would
    // take a real minute.
    testing::HookedClock clock(1000);
    CasterSocket socket;
    std::atomic<bool> stopping{false};
    std::thread stopSequence;
    clock.beforeWaitWritable = [&](int) {
      clock.SetRealPollMs(c.stop == Stop::kByShutdown ? 60000 : 1);
    };
    clock.beforeWait = [&](int n) {
      // The first wait is the lookup's, the second the handshake's.
      if (n != 2 || c.stop != Stop::kByShutdown) return;
      stopSequence = std::thread([&] {
        stopping.store(true);
        socket.Shutdown();
      });
    };
    testing::ScriptedLookup lookup{c.addresses, {}};
    const StreamConnect connected = ConnectCasterStream(
        "caster.example", hanging.Port(), Tls(authority.Path()), socket, clock,
        kCasterConnectLimitMs,
        [&] { return stopping.load() || (c.stop == Stop::kInAStep && clock.Elapsed() >= 3000); },
        lookup.Seam());
    if (stopSequence.joinable()) stopSequence.join();
    EXPECT_EQ(connected.tls, c.end);
    EXPECT_EQ(connected.problem, c.end == TlsEnd::kStopped
                                     ? ""
                                     : "TLS handshake with caster.example failed: Connection "
                                       "timed out");
    EXPECT_EQ(clock.Elapsed(), c.ms);
  }
}

// A library that was missing is not looked for again when it has come meanwhile.
TEST(LoadOpenSsl, TriesALibraryOnce) {
  const testing::TempFolder folder;
  const std::string name = (folder.Path() / "libssl.so.3").string();
  std::string problem;
  ASSERT_EQ(LoadOpenSsl(name, problem), nullptr);
  const std::string missing = problem;
  Dl_info linked{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&SSL_CTX_new), &linked), 0);
  std::filesystem::create_symlink(linked.dli_fname, name);
  EXPECT_EQ(LoadOpenSsl(name, problem), nullptr);
  EXPECT_EQ(problem, missing);
  EXPECT_NE(LoadOpenSsl(kOpenSslLibrary, problem), nullptr) << problem;
}

TEST(TlsWarning, IsGivenOnlyWhenTheCertificateIsNotChecked) {
  EXPECT_EQ(TlsWarning(Tls("", true)),
            "TLS certificate checks are off: anyone on the way to the caster can pose as it, "
            "read the password and change the corrections.");
  TlsOptions plain;
  plain.insecure = true;  // without TLS there is no certificate to check
  for (const TlsOptions& checked : {Tls(""), Tls("/etc/ca.pem"), plain}) {
    EXPECT_EQ(TlsWarning(checked), "");
  }
}

}  // namespace
}  // namespace quillon
