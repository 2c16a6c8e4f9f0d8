#include "app/ui/qt_message_sink.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "app/ui/testing/qt_application.h"
#include "app/ui/wait.h"
#include "testing/hooked_clock.h"

namespace quillon::ui {
namespace {

// Waits (generously: these are thread handshakes) until `done`, handling events meanwhile when
// `pump` is set.
template <class Done>
bool WaitUntil(Done done, bool pump = true) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 10'000) return false;
    if (pump) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    } else {
      std::this_thread::yield();
    }
  }
  return true;
}

template <class T>
bool Ready(const std::future<T>& future) {
  return future.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
}

TEST(QtMessageSinkTest, BoxesShowTheirCaptionIconButtonsAndGiveTheClickedAnswer) {
  using Box = QMessageBox;
  const Message help{u"Help", u"", MessageIcon::kNone, MessageButtons::kOk};
  const Message error{u"Address is empty.", u"Error", MessageIcon::kExclamation,
                      MessageButtons::kOk};
  const Message critical{u"Not compatible.", u"Error", MessageIcon::kError, MessageButtons::kOk};
  const Message question{u"Terminate?", u"Warning", MessageIcon::kInformation,
                         MessageButtons::kYesNo};
  struct Case {
    Message message;
    Box::StandardButton click;
    QString title;
    Box::Icon icon;
    Box::StandardButtons buttons;
    MessageAnswer answer;
  };
  const Case cases[] = {
      {help, Box::Ok, QStringLiteral(".\\ZEPQuillon.htm"), Box::NoIcon, Box::Ok,
       MessageAnswer::kOk},
      {error, Box::Ok, QStringLiteral("Error"), Box::Warning, Box::Ok, MessageAnswer::kOk},
      {critical, Box::Ok, QStringLiteral("Error"), Box::Critical, Box::Ok, MessageAnswer::kOk},
      {question, Box::Yes, QStringLiteral("Warning"), Box::Information, Box::Yes | Box::No,
       MessageAnswer::kYes},
      {question, Box::No, QStringLiteral("Warning"), Box::Information, Box::Yes | Box::No,
       MessageAnswer::kNo},
  };
  for (const auto& c : cases) {
    QtMessageSink sink;
    int shown = 0;
    sink.SetBoxShownHook([&](QMessageBox& box) {
      ++shown;
      EXPECT_EQ(box.windowTitle(), c.title);
      EXPECT_EQ(box.icon(), c.icon);
      EXPECT_EQ(box.standardButtons(), c.buttons);
      box.button(c.click)->click();
    });
    EXPECT_EQ(sink.Show(c.message), c.answer);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(sink.Unanswered(), 0u);
  }
  // A box closed without a button counts as No for questions and OK otherwise.
  QtMessageSink sink;
  sink.SetBoxShownHook([](QMessageBox& box) { box.done(0); });
  EXPECT_EQ(sink.Show(question), MessageAnswer::kNo);
  EXPECT_EQ(sink.Show(help), MessageAnswer::kOk);
}

TEST(QtMessageSinkTest, LineBreaksOfTheStringTableShowAsLineBreaks) {
  EXPECT_EQ(DisplayText(u"Retry attempt 1/15 in 60 seconds.\r\nReason"),
            QStringLiteral("Retry attempt 1/15 in 60 seconds.\nReason"));
  EXPECT_EQ(DisplayText(u"a\r\n\r\nb\rc\nd"), QStringLiteral("a\n\nb\nc\nd"));
  EXPECT_EQ(DisplayText(u"Zo\u00EB \U0001F600"), QStringLiteral("Zo\u00EB \U0001F600"));
}

// The stop sequence: the user-interface thread waits (holding its input out) while a worker
// raises a box; the box appears meanwhile, then DismissAll closes it and the worker is joined.
TEST(QtMessageSinkTest, StoppingWhileAWorkersBoxIsOpenClosesTheBoxAndTheWorkerEnds) {
  QtMessageSink sink;
  QPointer<QMessageBox> shown;
  bool heldWhenShown = false;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    shown = &box;
    heldWhenShown = UiThreadHeld();
  });
  MessageAnswer answer = MessageAnswer::kOk;
  std::thread worker([&] {
    answer = sink.Show({u"There was a problem reading from the socket. Connection down?", u"Error",
                        MessageIcon::kExclamation, MessageButtons::kOk});
  });
  // Virtual time stands still until the request is on its way, so the hold is sure to see it.
  quillon::testing::HookedClock clock;
  clock.beforeSleep = [&](int) { WaitUntil([&] { return sink.Unanswered() > 0; }, false); };
  WaitPainted(clock, 4000);  // the box request is handled meanwhile, without blocking
  ASSERT_FALSE(shown.isNull());
  EXPECT_TRUE(heldWhenShown);
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
  ASSERT_TRUE(WaitUntil([&] { return sink.Unanswered() == 1; }, false));
  sink.DismissAll();
  worker.join();
  QApplication::processEvents();
  EXPECT_EQ(shownCount, 0);
}

// A worker that asks between DismissAll and the join must not block the join; once the
// user-interface thread handles events again, a worker's box runs on it and the worker gets the
// answer.
TEST(QtMessageSinkTest, AfterDismissAllWorkersAreAnsweredAtOnceUntilEventsAreHandledAgain) {
  QtMessageSink sink;
  std::vector<QString> shown;
  std::thread::id shownOn;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    shown.push_back(box.text());
    shownOn = std::this_thread::get_id();
    box.button(QMessageBox::Yes)->click();
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
    return sink.Show({u"Retry?", u"Warning", MessageIcon::kInformation, MessageButtons::kYesNo});
  });
  ASSERT_TRUE(WaitUntil([&] { return Ready(answer); }));
  EXPECT_EQ(answer.get(), MessageAnswer::kYes);
  EXPECT_EQ(shown, std::vector<QString>{QStringLiteral("Retry?")});
  EXPECT_EQ(shownOn, std::this_thread::get_id());
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
