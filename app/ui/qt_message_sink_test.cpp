#include "app/ui/qt_message_sink.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "app/ui/testing/qt_application.h"
#include "app/ui/wait.h"
#include "testing/virtual_clock.h"

namespace quillon::ui {
namespace {

// What a shown box looked like.
struct SeenBox {
  QString title;
  QString text;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  bool heldWhenShown;
};

SeenBox Look(const QMessageBox& box) {
  return {box.windowTitle(), box.text(), box.icon(), box.standardButtons(), UiThreadHeld()};
}

// Handles events until `done` or a real-time limit (generous: these are thread handshakes).
template <class Done>
bool PumpUntil(Done done, int limitMs = 10'000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > limitMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

TEST(QtMessageSinkTest, BoxesShowTheirCaptionIconButtonsAndGiveTheClickedAnswer) {
  struct Case {
    Message message;
    QMessageBox::StandardButton click;
    QString title;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    MessageAnswer answer;
  };
  const Case cases[] = {
      {{u"Help", u"", MessageIcon::kNone, MessageButtons::kOk},
       QMessageBox::Ok,
       QStringLiteral(".\\ZEPQuillon.htm"),
       QMessageBox::NoIcon,
       QMessageBox::Ok,
       MessageAnswer::kOk},
      {{u"Address is empty.", u"Error", MessageIcon::kExclamation, MessageButtons::kOk},
       QMessageBox::Ok,
       QStringLiteral("Error"),
       QMessageBox::Warning,
       QMessageBox::Ok,
       MessageAnswer::kOk},
      {{u"Terminate?", u"Warning", MessageIcon::kInformation, MessageButtons::kYesNo},
       QMessageBox::Yes,
       QStringLiteral("Warning"),
       QMessageBox::Information,
       QMessageBox::Yes | QMessageBox::No,
       MessageAnswer::kYes},
      {{u"Terminate?", u"Warning", MessageIcon::kInformation, MessageButtons::kYesNo},
       QMessageBox::No,
       QStringLiteral("Warning"),
       QMessageBox::Information,
       QMessageBox::Yes | QMessageBox::No,
       MessageAnswer::kNo},
      {{u"Not compatible.", u"Error", MessageIcon::kError, MessageButtons::kOk},
       QMessageBox::Ok,
       QStringLiteral("Error"),
       QMessageBox::Critical,
       QMessageBox::Ok,
       MessageAnswer::kOk},
  };
  for (const auto& c : cases) {
    QtMessageSink sink;
    std::vector<SeenBox> seen;
    sink.SetBoxShownHook([&](QMessageBox& box) {
      seen.push_back(Look(box));
      box.button(c.click)->click();
    });
    EXPECT_EQ(sink.Show(c.message), c.answer);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].title, c.title);
    EXPECT_EQ(seen[0].icon, c.icon);
    EXPECT_EQ(seen[0].buttons, c.buttons);
    EXPECT_EQ(sink.Unanswered(), 0u);
  }
}

TEST(QtMessageSinkTest, LineBreaksOfTheStringTableShowAsLineBreaks) {
  EXPECT_EQ(DisplayText(u"Retry attempt 1/15 in 60 seconds.\r\nReason"),
            QStringLiteral("Retry attempt 1/15 in 60 seconds.\nReason"));
  EXPECT_EQ(DisplayText(u"a\r\n\r\nb\rc\nd"), QStringLiteral("a\n\nb\nc\nd"));
  EXPECT_EQ(DisplayText(u"Zo\u00EB \U0001F600"), QStringLiteral("Zo\u00EB \U0001F600"));
}

TEST(QtMessageSinkTest, ABoxWithoutButtonClickCountsAsNoForQuestionsAndOkOtherwise) {
  QtMessageSink sink;
  sink.SetBoxShownHook([](QMessageBox& box) { box.done(0); });
  EXPECT_EQ(sink.Show({u"Sure?", u"Warning", MessageIcon::kInformation, MessageButtons::kYesNo}),
            MessageAnswer::kNo);
  EXPECT_EQ(sink.Show({u"Note", u"", MessageIcon::kNone, MessageButtons::kOk}), MessageAnswer::kOk);
}

TEST(QtMessageSinkTest, AWorkersBoxRunsOnTheUserInterfaceThreadAndTheWorkerGetsTheAnswer) {
  QtMessageSink sink;
  std::vector<SeenBox> seen;
  std::thread::id shownOn;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    seen.push_back(Look(box));
    shownOn = std::this_thread::get_id();
    box.button(QMessageBox::Yes)->click();
  });
  auto answer = std::async(std::launch::async, [&] {
    return sink.Show({u"Retry?", u"Warning", MessageIcon::kInformation, MessageButtons::kYesNo});
  });
  ASSERT_TRUE(PumpUntil(
      [&] { return answer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }));
  EXPECT_EQ(answer.get(), MessageAnswer::kYes);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, QStringLiteral("Retry?"));
  EXPECT_EQ(shownOn, std::this_thread::get_id());
}

// Virtual time that stands still, in short real naps, until `ready` (or ten real seconds):
// a hold on this clock is sure to see what another thread is about to post.
class ClockWaitingFor final : public Clock {
 public:
  explicit ClockWaitingFor(std::function<bool()> ready) : ready_(std::move(ready)) {}
  std::uint32_t TickCount() override { return clock_.TickCount(); }
  std::time_t Now() override { return clock_.Now(); }
  int WaitReadable(int fd, std::uint32_t ms) override { return clock_.WaitReadable(fd, ms); }
  void Sleep(std::uint32_t ms) override {
    if (!ready_() && naps_++ < 10'000) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      return;
    }
    clock_.Sleep(ms);
  }

 private:
  std::function<bool()> ready_;
  quillon::testing::VirtualClock clock_;
  int naps_ = 0;
};

// The stop sequence: the user-interface thread waits (holding its input out) while a worker
// raises a box; the box appears meanwhile, then DismissAll closes it and the worker is joined.
TEST(QtMessageSinkTest, StoppingWhileAWorkersBoxIsOpenClosesTheBoxAndTheWorkerEnds) {
  QtMessageSink sink;
  std::vector<SeenBox> seen;
  QPointer<QMessageBox> shown;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    seen.push_back(Look(box));
    shown = &box;
  });
  std::promise<void> asking;
  MessageAnswer answer = MessageAnswer::kOk;
  std::thread worker([&] {
    asking.set_value();
    answer = sink.Show({u"There was a problem reading from the socket. Connection down?", u"Error",
                        MessageIcon::kExclamation, MessageButtons::kOk});
  });
  asking.get_future().wait();

  ClockWaitingFor clock([&] { return !seen.empty(); });
  WaitPainted(clock, 4000);  // the box request is handled meanwhile, without blocking
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].heldWhenShown);
  ASSERT_FALSE(shown.isNull());
  EXPECT_TRUE(shown->isVisible());

  sink.DismissAll();
  worker.join();  // no event handling needed for the worker to go on
  EXPECT_EQ(answer, MessageAnswer::kDismissed);
  EXPECT_TRUE(shown.isNull() || !shown->isVisible());
  EXPECT_EQ(sink.Unanswered(), 0u);
}

TEST(QtMessageSinkTest, ABoxDismissedBeforeItWasShownIsNeverShown) {
  QtMessageSink sink;
  int shownCount = 0;
  sink.SetBoxShownHook([&](QMessageBox&) { ++shownCount; });
  std::thread worker([&] {
    EXPECT_EQ(sink.Show({u"Could not create socket.", u"Error", MessageIcon::kExclamation,
                         MessageButtons::kOk}),
              MessageAnswer::kDismissed);
  });
  // The request is on its way, but this thread has not handled its events yet.
  QElapsedTimer timer;
  timer.start();
  while (sink.Unanswered() == 0 && timer.elapsed() < 10'000) std::this_thread::yield();
  ASSERT_EQ(sink.Unanswered(), 1u);
  sink.DismissAll();
  worker.join();
  QApplication::processEvents();
  EXPECT_EQ(shownCount, 0);
}

// A worker that asks between DismissAll and the join must not block the join; once the
// user-interface thread handles events again, boxes work as before.
TEST(QtMessageSinkTest, AfterDismissAllWorkersAreAnsweredAtOnceUntilEventsAreHandledAgain) {
  QtMessageSink sink;
  int shownCount = 0;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    ++shownCount;
    box.button(QMessageBox::Ok)->click();
  });
  sink.DismissAll();
  MessageAnswer late = MessageAnswer::kOk;
  std::thread worker([&] {
    late = sink.Show({u"late", u"", MessageIcon::kNone, MessageButtons::kOk});
  });
  worker.join();
  EXPECT_EQ(late, MessageAnswer::kDismissed);

  QApplication::processEvents();
  auto answer = std::async(std::launch::async, [&] {
    return sink.Show({u"again", u"", MessageIcon::kNone, MessageButtons::kOk});
  });
  ASSERT_TRUE(PumpUntil(
      [&] { return answer.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready; }));
  EXPECT_EQ(answer.get(), MessageAnswer::kOk);
  EXPECT_EQ(shownCount, 1);
}

TEST(QtMessageSinkTest, DismissAllEndsABoxTheUserInterfaceThreadIsWaitingFor) {
  QtMessageSink sink;
  sink.SetBoxShownHook(
      [&](QMessageBox&) { quillon::ui::testing::WhenIdle([&] { sink.DismissAll(); }); });
  EXPECT_EQ(sink.Show({u"Help", u"", MessageIcon::kNone, MessageButtons::kOk}),
            MessageAnswer::kDismissed);
}

}  // namespace
}  // namespace quillon::ui
