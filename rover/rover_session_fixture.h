// A Rover session between the in-process caster and a simulated receiver (see WorkerFixture).
#pragma once

#include <list>
#include <string_view>

#include "rover/rover_session.h"
#include "session/fan_out.h"
#include "session/worker_fixture.h"

namespace quillon::testing {

class RoverSessionFixture : public WorkerFixture<RoverSettings, RoverStatus> {
 protected:
  RoverSessionFixture() {
    SetFieldText(settings.userName, u"demo");
    relayed.Attach(relayedCopy);
    received.Attach(receivedCopy);
  }

  void Start() {
    StartRoverSession(
        {settings, status, link, clock, folder.Path(), reconnect, false, &relayed, &received});
  }

  // Waits until the caster has accepted the login, then lets silent passes run fast.
  bool LoggedIn() {
    const bool in = Eventually([this] { return status.Snapshot().connected; });
    clock.SetRealPollMs(kFastPollMs);
    return in;
  }

  // Ends the attempt before and gives the next one a sink of its own, kept until the fixture
  // ends so that no worker is left showing boxes on a sink that is gone.
  RecordingMessageSink& NextAttempt() {
    StopSession(status, link, clock, StopKind::kClose);
    RecordingMessageSink& boxes = attemptSinks.emplace_back();
    status.owner.store(&boxes);
    return boxes;
  }

  // The worker ended by giving up with exactly this one box, shown through `shown`.
  void ExpectGaveUpWith(const RecordingMessageSink& shown, std::u16string_view text,
                        MessageIcon icon = MessageIcon::kExclamation) {
    ASSERT_TRUE(WorkerEnds());
    const auto boxes = shown.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_TRUE(boxes[0].caption == u"Error" && boxes[0].buttons == MessageButtons::kOk);
    EXPECT_EQ(boxes[0].icon, icon);
    const auto snapshot = status.Snapshot();
    EXPECT_TRUE(!snapshot.running && snapshot.error);
    EXPECT_FALSE(status.socket.IsOpen() || link.IsComPortOpen());
  }

  // What reached the receiver, as the worker hands it on (the session ends at TearDown, before
  // these go).
  FanOut relayed;
  OutputQueue relayedCopy{1 << 20};
  // What the receiver sent, as it sent it.
  FanOut received;
  OutputQueue receivedCopy{1 << 20};
  bool reconnect = false;  // the worker waits and tries again after a failure
  std::list<RecordingMessageSink> attemptSinks;
};

}  // namespace quillon::testing
