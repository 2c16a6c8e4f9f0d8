#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/format.h"
#include "common/strings.h"
#include "common/wide.h"
#include "ntrip/demo_caster.h"
#include "ntrip/ntrip_source_table.h"
#include "ntrip/requests.h"
#include "ntrip/source_table_text.h"
#include "rover/rover_settings.h"
#include "testing/hooked_clock.h"
#include "testing/recording_message_sink.h"

namespace quillon {
namespace {

using testing::HookedClock;
using testing::RecordingMessageSink;

const std::vector<std::string> kNames = {"ALPHA", "BRAVO", "CHARLIE"};

std::vector<std::string> Names(const CNtripSourceTable& table) {
  std::vector<std::string> names;
  for (int i = 0; i < table.GetCount(); ++i) {
    MountPointSlot slot;
    names.emplace_back(table.GetMountPoint(i, &slot)->data());
  }
  return names;
}

// One fetch from a caster of its own; the failures it shows are in `sink`.
struct Fetch {
  explicit Fetch(int realPollMs = 1000) : clock(realPollMs) {
    caster.SetSourceTable(MakeSourceTable(kNames));
  }
  bool Run(std::u16string_view address = u"127.0.0.1", std::string* reply = nullptr) {
    return table.GetSourceTable(sink, address, caster.Port(), clock, reply);
  }
  void ExpectError(const std::u16string& text, const std::u16string& detail = {}) const {
    const auto boxes = sink.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[0].detail, detail);
    EXPECT_TRUE(boxes[0].caption == u"Error" && boxes[0].icon == MessageIcon::kExclamation);
    EXPECT_EQ(table.GetCount(), 0);
  }

  DemoCaster caster;
  HookedClock clock;
  RecordingMessageSink sink;
  CNtripSourceTable table;
};

TEST(GetSourceTable, ACasterThatAnswersGivesItsNamesAfterOneRequest) {
  Fetch fetch;
  RoverSettings settings;
  SetFieldText(settings.address, u"localhost");  // a name: looked up, not read as dotted
  settings.port = fetch.caster.Port();
  EXPECT_TRUE(fetch.table.GetSourceTable(fetch.sink, settings, fetch.clock));
  EXPECT_EQ(Names(fetch.table), kNames);
  ASSERT_EQ(fetch.caster.ConnectionCount(), 1u);
  EXPECT_EQ(fetch.caster.RequestText(0), kSourceTableRequest);

  // More than 256 records, in a table far larger than the 100,000 bytes a store once held.
  const std::string large = MakeSourceTable(NumberedMountPoints(5000));
  fetch.caster.SetSourceTable(large);
  std::string reply;
  EXPECT_TRUE(fetch.Run(u"127.0.0.1", &reply));
  EXPECT_EQ(Names(fetch.table), NumberedMountPoints(256));
  EXPECT_NE(reply.find(large), std::string::npos);
  EXPECT_TRUE(fetch.sink.Boxes().empty());
}

TEST(GetSourceTable, AnyOtherFirstAnswerOrAFaultLeadsToTheFallbackOnANewConnection) {
  using enum CasterBehaviour;
  for (const auto behaviour : {kNotFound, kHttpStatus, kSplitReply, kGarbage, kCloseAtOnce}) {
    SCOPED_TRACE(static_cast<int>(behaviour));
    Fetch fetch;
    fetch.caster.Script(behaviour);
    EXPECT_TRUE(fetch.Run());
    EXPECT_EQ(Names(fetch.table), kNames);
    EXPECT_TRUE(fetch.sink.Boxes().empty());
    ASSERT_EQ(fetch.caster.ConnectionCount(), 2u);
    EXPECT_EQ(fetch.caster.RequestText(1), kFallbackSourceTableRequest);
  }
  // A fault inside the first attempt counts as a failed attempt too.
  Fetch fetch;
  fetch.clock.beforeSleep = [](int sleep) {
    if (sleep == 1) throw std::runtime_error("fault in the first attempt");
  };
  EXPECT_TRUE(fetch.Run());
  EXPECT_EQ(Names(fetch.table), kNames);
  EXPECT_EQ(fetch.caster.ConnectionCount(), 2u);
}

// The message is the dialog's; the detail says what the caster really did.
TEST(GetSourceTable, WhenBothAttemptsFailTheUserIsToldAndTheTableStaysEmpty) {
  const struct {
    CasterBehaviour behaviour;
    std::u16string detail;
  } cases[] = {
      {CasterBehaviour::kNotFound, u"The caster replied \"HTTP/1.1 404 Not Found\"."},
      {CasterBehaviour::kTableNeverEnds, u"The source table did not end within 10 seconds."},
      {CasterBehaviour::kSilent, u"The caster sent no reply."},
  };
  for (const auto& [behaviour, detail] : cases) {
    SCOPED_TRACE(static_cast<int>(behaviour));
    Fetch fetch(50);
    fetch.caster.SetDefaultBehaviour(behaviour);
    EXPECT_FALSE(fetch.Run());
    fetch.ExpectError(LoadString(kStrAuthenticationIo), detail);
    EXPECT_EQ(fetch.caster.ConnectionCount(), 2u);
    // Each attempt ends within its wait and window, also when the caster never answers.
    EXPECT_LE(fetch.clock.Elapsed(), 2 * (kFirstReadDelayMs + kTableWindowMs + kReadStepMs));
  }
  // A failed reconnect for the fallback is reported like a failed attempt.
  Fetch fetch(5);
  fetch.caster.Script(CasterBehaviour::kNotFound);
  fetch.clock.beforeSleep = [&](int sleep) {
    if (sleep != 1) return;
    ASSERT_TRUE(fetch.caster.WaitForConnections(1, std::chrono::seconds(10)));
    fetch.caster.StopAccepting();
  };
  EXPECT_FALSE(fetch.Run());
  fetch.ExpectError(LoadString(kStrAuthenticationIo),
                    u"The caster replied \"HTTP/1.1 404 Not Found\".");
  EXPECT_EQ(fetch.caster.ConnectionCount(), 1u);
}

TEST(GetSourceTable, EachFailureBeforeARequestHasItsMessage) {
  const std::u16string invalid = u"Does not appear to be a valid address?";
  for (const char16_t* address : {u"192.168.1.300", u"2001:db8::g", u""}) {
    Fetch fetch;
    EXPECT_FALSE(fetch.Run(address));
    fetch.ExpectError(invalid);
    EXPECT_EQ(fetch.caster.ConnectionCount(), 0u);
  }
  {
    Fetch fetch;
    EXPECT_FALSE(fetch.Run(u"1nowhere.invalid"));  // a name, looked up though it begins with 1
    fetch.ExpectError(LoadString(kStrAuthenticationIo),
                      u"The host name \"1nowhere.invalid\" did not resolve.");
  }
  {
    Fetch fetch;
    fetch.caster.Stop();
    EXPECT_FALSE(fetch.Run());
    fetch.ExpectError(FormatText(LoadString(kStrConnectionError), {u"Connection refused"}));
  }
  {
    Fetch fetch(1);
    fetch.caster.StopAccepting();
    EXPECT_FALSE(fetch.Run());
    fetch.ExpectError(FormatText(LoadString(kStrConnectionError), {u"Connection timed out"}));
    EXPECT_EQ(fetch.clock.Elapsed(), kTableWindowMs);
  }
}

}  // namespace
}  // namespace quillon
