// NTRIP 2 logins end to end against the demo caster: the request, the head read to its empty
// line, the verdict, and the stream decoded from chunks of random sizes; a chunked upload.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <string>

#include "demo/correction_stream.h"
#include "demo/demo_caster.h"
#include "ntrip/chunked_body.h"
#include "ntrip/login_verdict.h"
#include "ntrip/requests.h"
#include "testing/hooked_clock.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;
using testing::HookedClock;

struct Version2Login {
  explicit Version2Login(DemoCasterConfig config = {}) : caster(std::move(config)) {}

  LoginVerdict LogIn(const std::string& request, LoginRole role) {
    login = LogInToCaster(
        "127.0.0.1", caster.Port(), request, socket, clock, [] { return false; }, LookUpHostName,
        ReplyExtent::kHead);
    return JudgeLoginReply(login, NtripVersion::k2, role);
  }
  CasterHost Host() const { return {"127.0.0.1", caster.Port(), false}; }

  DemoCaster caster;
  CasterSocket socket;
  HookedClock clock;
  CasterLogin login;
};

TEST(Version2Login, TheClientGetsTheStreamWholeFromChunksOfRandomSizes) {
  DemoCasterConfig config;
  config.loginPayload = CorrectionStream(5).Next(700);
  config.chunkSeed = 7;
  Version2Login session(config);
  LoginVerdict verdict =
      session.LogIn(BuildVersion2ClientRequest(session.Host(), "DEMO", BasicLogin{"demo", "demo"}),
                    LoginRole::kClient);
  ASSERT_TRUE(verdict.accepted) << verdict.detail;
  EXPECT_EQ(verdict.body.framing(), ReplyBody::Framing::kChunked);
  ASSERT_TRUE(session.caster.WaitForLoggedInClients(1, 5s));

  CorrectionStream stream(6);
  std::string sent = config.loginPayload;
  for (int i = 0; i < 20; ++i) {
    const std::string bytes = stream.Next(1500);
    ASSERT_EQ(session.caster.SendToClients(bytes), 1);
    sent += bytes;
  }
  std::string payload = verdict.payload;
  char buffer[4096];
  while (payload.size() < sent.size()) {
    ASSERT_GT(session.clock.WaitReadable(session.socket.Get(), 5000), 0);
    const ssize_t got = recv(session.socket.Get(), buffer, sizeof buffer, 0);
    ASSERT_GT(got, 0);
    verdict.body.Feed(std::string_view(buffer, static_cast<std::size_t>(got)), payload);
    ASSERT_FALSE(verdict.body.Failed()) << verdict.body.Fault();
  }
  EXPECT_EQ(payload, sent);
}

TEST(Version2Login, TheServersChunkedUploadArrivesDecoded) {
  Version2Login session;
  const LoginVerdict verdict = session.LogIn(
      BuildVersion2ServerRequest(session.Host(), "DEMO", {"demo", "demo"}), LoginRole::kServer);
  ASSERT_TRUE(verdict.accepted) << verdict.detail;
  const std::string upload = CorrectionStream(8).Next(3000);
  std::string framed;
  for (std::size_t at = 0; at < upload.size(); at += 1000)
    framed += ChunkFrame(upload.substr(at, 1000));
  framed += kLastChunk;
  ASSERT_EQ(send(session.socket.Get(), framed.data(), framed.size(), MSG_NOSIGNAL),
            static_cast<ssize_t>(framed.size()));
  ASSERT_TRUE(session.caster.WaitForUploaded(upload.size(), 5s));
  EXPECT_EQ(session.caster.Uploaded(), upload);
  EXPECT_EQ(session.caster.Connections()[0].kind, RequestKind::kServer);
}

}  // namespace
}  // namespace quillon
