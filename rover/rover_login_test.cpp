// A Rover session from start-up to the relay loop: every way it can fail, with its message,
// and the logins that succeed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "rover/rover_session_fixture.h"

namespace quillon {
namespace {

using testing::RecordingMessageSink;
using testing::RoverSessionFixture;
using testing::Wide;

class RoverLoginTest : public RoverSessionFixture {};

constexpr char16_t kRejected[] = u"Authentication credentials were rejected or ignored.";
constexpr std::u16string_view kConnectionError =
    u"Connection Error: Could not create connection to server. \r\nReason:";

TEST_F(RoverLoginTest, AReceiverLinkThatCannotBeOpenedEndsTheSessionWithTheLinksMessage) {
  SetFieldText(settings.comPortName, u"/dev/quillon-none");
  Start();
  ExpectGaveUpWith(u"Unable to open COM Port.", u"Error", MessageIcon::kNone);
  EXPECT_EQ(caster->ConnectionCount(), 0u);
}

TEST_F(RoverLoginTest, AddressesThatAreNeitherNamesNorDottedAreRefusedBeforeAnyConnect) {
  for (const std::u16string address : {u"10.0.0.256", u"2rtk.example.com", u"255.255.255.255"}) {
    SCOPED_TRACE(std::string(address.begin(), address.end()));
    RecordingMessageSink boxes;
    const auto stop = StopAtEnd();
    status.owner.store(&boxes);
    SetFieldText(settings.address, address);
    Start();
    ExpectGaveUpWith(boxes, u"Does not appear to be a valid address?");
  }
  EXPECT_EQ(caster->ConnectionCount(), 0u);
}

TEST_F(RoverLoginTest, TheAllZeroAddressIsNotTakenForThisHost) {
  // Linux would connect 0.0.0.0 to a caster on this very machine.
  SetFieldText(settings.address, u"0.0.0.0");
  Start();
  ExpectGaveUpWith(std::u16string(kConnectionError) + u"Cannot assign requested address");
  EXPECT_EQ(caster->ConnectionCount(), 0u);
}

TEST_F(RoverLoginTest, AFailedConnectNamesTheSystemsReason) {
  caster.reset();  // nothing listens on its port any more
  Start();
  ExpectGaveUpWith(std::u16string(kConnectionError) + u"Connection refused");
}

TEST_F(RoverLoginTest, NoSocketToBeHadGivesTheSocketMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's runtime needs descriptors of its own";
#endif
  // Use up every descriptor number but one, which the receiver link takes: the socket fails.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
  std::vector<int> fillers{open("/dev/null", O_RDONLY | O_CLOEXEC)};
  ASSERT_GE(fillers[0], 0);
  for (int fd = dup(fillers[0]); fd >= 0; fd = dup(fillers[0])) {
    fillers.push_back(fd);
    if (fd >= 4095) break;
  }
  close(fillers.back());
  rlimit tight = old;
  tight.rlim_cur = static_cast<rlim_t>(fillers.back() + 1);
  fillers.pop_back();
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);

  Start();
  const bool ended = WorkerEnds();
  setrlimit(RLIMIT_NOFILE, &old);
  for (int fd : fillers) close(fd);
  ASSERT_TRUE(ended);
  ExpectGaveUpWith(u"Could not create socket.");
}

TEST_F(RoverLoginTest, CasterAnswersThatAreNotTheExactTokenAreRejected) {
  const CasterBehaviour answers[] = {
      CasterBehaviour::kHttpStatus,  // a version 2 caster's status line
      CasterBehaviour::kSilent,      // nothing within the window
      CasterBehaviour::kGarbage,     // bytes without the token
      CasterBehaviour::kNotFound,
  };
  for (const CasterBehaviour answer : answers) {
    SCOPED_TRACE(static_cast<int>(answer));
    RecordingMessageSink boxes;
    const auto stop = StopAtEnd();
    status.owner.store(&boxes);
    caster->Script(answer);
    const auto before = clock.Elapsed();
    Start();
    ExpectGaveUpWith(boxes, kRejected);
    // The window is the full 6 s (plus the pause behind the last read), not less.
    EXPECT_GE(clock.Elapsed() - before, 6000u);
    EXPECT_LT(clock.Elapsed() - before, 6500u);
  }
}

TEST_F(RoverLoginTest, WrongCredentialsGetTheSourceTableAndAreRejectedWithoutShowingThePassword) {
  SetFieldText(settings.password, u"s3cr3t-pw");
  Start();
  ExpectGaveUpWith(kRejected);
  ASSERT_EQ(caster->ConnectionCount(), 1u);
  EXPECT_EQ(caster->Connections()[0].kind, RequestKind::kSourceTable);
  EXPECT_EQ(trace.Text().find("s3cr3t"), std::string::npos);
}

TEST_F(RoverLoginTest, AConnectionResetDuringTheLoginGivesTheAuthenticationIoMessage) {
  caster->Script(CasterBehaviour::kResetAfterRequest);
  Start();
  ExpectGaveUpWith(u"Could not send or receive authentication. Check port number and address. ");
}

TEST_F(RoverLoginTest, TheTokenSplitOverTwoReadsIsAcceptedAndTheCasterRemembered) {
  caster->Script(CasterBehaviour::kSplitReply);
  Start();
  ASSERT_TRUE(LoggedIn());
  // The full request went out, byte for byte.
  EXPECT_EQ(caster->RequestText(0),
            "GET /DEMO HTTP/1.0\r\nUser-Agent: NTRIP NtripTovaskGSMClient/1.00\r\n"
            "Authorization: Basic ZGVtbzpkZW1v\r\n\r\n");
  RoverSettings saved;
  ASSERT_TRUE(ReadSettingsFile(saved, folder.Path()));
  ASSERT_EQ(saved.hostCount, 1);
  EXPECT_EQ(FieldText(saved.hosts[0].address), u"127.0.0.1");
  EXPECT_EQ(saved.hosts[0].port, caster->Port());
  EXPECT_EQ(FieldText(saved.hosts[0].mountPoints[0]), u"DEMO");
  EXPECT_TRUE(sink.Boxes().empty());
}

// The override dialog saves the record while the worker opens the link (which appends ":" to
// the port name) and remembers the caster. Run under ThreadSanitizer, this shows that the two
// change and write the record in turn: every file is one whole record, and neither side's
// change is lost.
TEST_F(RoverLoginTest, SavesFromTheFrontEndDuringTheLoginNeitherRaceNorLoseAChange) {
  const auto file = folder.Path() / kRoverSettingsFileName;
  std::atomic<bool> loggedIn{false};
  std::atomic<int> saves{0};
  std::atomic<bool> allWhole{true};
  std::thread overrideDialog([&] {
    // A few saves after the login, so the last one follows RememberHost.
    for (int i = 1, after = 0; after < 3; ++i) {
      if (loggedIn.load()) ++after;
      settings.overrideLatitude.store(i / 1000.0);  // a latitude, or a load would refuse it
      SaveRoverSettings(settings, status, folder.Path());
      if (std::filesystem::file_size(file) != kSettingsImageSize) allWhole.store(false);
      saves.store(i);
    }
  });
  Start();
  const bool in = LoggedIn();
  loggedIn.store(true);
  overrideDialog.join();
  ASSERT_TRUE(in);

  EXPECT_TRUE(allWhole.load());
  RoverSettings saved;
  ASSERT_TRUE(ReadSettingsFile(saved, folder.Path()));
  EXPECT_EQ(saved.hostCount, 1);
  EXPECT_EQ(FieldText(saved.comPortName), Wide(receiver.DevicePath() + ":"));
  EXPECT_EQ(saved.overrideLatitude.load(), saves.load() / 1000.0);
}

TEST_F(RoverLoginTest, LongMultiByteCredentialsGoOutWhole) {
  // Names of three-byte characters at their full length: the request no longer fits 255 bytes.
  DemoCasterConfig config;
  config.user.clear();
  config.password.clear();
  config.mountPoint.clear();
  for (int i = 0; i < 15; ++i) config.user += "\xE2\x82\xAC";        // EURO SIGN
  for (int i = 0; i < 15; ++i) config.password += "\xE2\x84\x96";    // NUMERO SIGN
  for (int i = 0; i < 19; ++i) config.mountPoint += "\xE2\x86\x91";  // UPWARDS ARROW
  UseCaster(config);
  SetFieldText(settings.userName, std::u16string(15, u'\u20AC'));
  SetFieldText(settings.password, std::u16string(15, u'\u2116'));
  SetFieldText(settings.mountPoint, std::u16string(19, u'\u2191'));
  Start();
  ASSERT_TRUE(LoggedIn());
  EXPECT_GT(caster->RequestText(0).size(), 255u);
  EXPECT_EQ(caster->Connections()[0].kind, RequestKind::kClient);
}

TEST_F(RoverLoginTest, WithoutAuthenticationNothingIsSentAndTheFirstByteIsRelayed) {
  caster->Script(CasterBehaviour::kRawStream);
  settings.noAuthentication = 1;
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  // What a caster sends first, token-like or not, reaches the receiver.
  const std::string first = "ICY 200 OK\r\n\xD3\x00\x13";
  ASSERT_EQ(caster->SendToClients(first), 1);
  ASSERT_TRUE(receiver.WaitForReceived(first.size(), kRealLimit));
  EXPECT_EQ(receiver.Received(), first);
  EXPECT_EQ(caster->RequestText(0), "");
  EXPECT_EQ(caster->ReceivedFromClients(), "");
  RoverSettings saved;
  ASSERT_TRUE(ReadSettingsFile(saved, folder.Path()));
  EXPECT_EQ(saved.hostCount, 1);
  EXPECT_EQ(FieldText(saved.hosts[0].address), u"127.0.0.1");
}

TEST_F(RoverLoginTest, BytesThatCameWithTheTokenAreNotRelayed) {
  DemoCasterConfig config;
  config.loginPayload = "PAYLOAD-WITH-THE-TOKEN";
  UseCaster(config);
  Start();
  ASSERT_TRUE(LoggedIn());
  ASSERT_TRUE(caster->WaitForLoggedInClients(1, kRealLimit));
  ASSERT_EQ(caster->SendToClients("after"), 1);
  ASSERT_TRUE(receiver.WaitForReceived(5, kRealLimit));
  EXPECT_EQ(receiver.Received(), "after");
}

}  // namespace
}  // namespace quillon
