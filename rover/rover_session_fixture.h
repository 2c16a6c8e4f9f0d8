// A Rover session between the in-process caster and a simulated receiver (see WorkerFixture).
#pragma once

#include <chrono>
#include <condition_variable>
#include <list>
#include <mutex>
#include <string>

#include "common/guard.h"
#include "rover/rover_session.h"
#include "session/worker_fixture.h"

namespace quillon::testing {

// Collects trace lines, so a test can wait for the worker to reach a point.
class TraceRecorder final : public TraceSink {
 public:
  void Write(std::string_view line) override {
    std::lock_guard guard(mutex_);
    text_.append(line).append("\n");
    changed_.notify_all();
  }
  std::string Text() const {
    std::lock_guard guard(mutex_);
    return text_;
  }
  // Waits (real time) until `line` has been traced `count` times.
  bool WaitFor(std::string_view line, std::size_t count, std::chrono::seconds limit) {
    std::unique_lock guard(mutex_);
    return changed_.wait_for(guard, limit, [&] {
      std::size_t seen = 0;
      for (auto at = text_.find(line); at != std::string::npos; at = text_.find(line, at + 1))
        ++seen;
      return seen >= count;
    });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string text_;
};

class RoverSessionFixture : public WorkerFixture<RoverSettings, RoverStatus> {
 protected:
  RoverSessionFixture() {
    SetFieldText(settings.userName, u"demo");
    SetTraceSink(&trace);
  }
  ~RoverSessionFixture() override {
    StopSession(status, link, clock, StopKind::kClose);
    SetTraceSink(nullptr);
  }

  void Start() { StartRoverSession({settings, status, link, clock, folder.Path(), reconnect}); }

  // Waits until the session has entered its relay loop (the `sessions`-th time in this test),
  // then lets silent passes run fast.
  bool LoggedIn(std::size_t sessions = 1) {
    const bool in = trace.WaitFor("ENTERING MAIN LOOP", sessions, kRealLimit);
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

  bool reconnect = false;  // the worker waits and tries again after a failure
  TraceRecorder trace;
  std::list<RecordingMessageSink> attemptSinks;
};

}  // namespace quillon::testing
