#include "app/ui/qt_message_sink.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <chrono>
#include <future>
#include <thread>

#include "app/ui/testing/qt_application.h"
#include "app/ui/wait.h"
#include "testing/hooked_clock.h"

namespace quillon::ui {
namespace {

// Waits until `done` (generously: these are thread handshakes), handling events when `pump`.
template <class Done>
bool WaitUntil(Done done, bool pump = true) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > 10'000) return false;
    pump ? QApplication::processEvents(QEventLoop::AllEvents, 5) : std::this_thread::yield();
  }
  return true;
}

// CR LF shows as a line break; a message without caption has the application's name; the
// reason line is the detailed text.
TEST(QtMessageSinkTest, BoxesShowTheirCaptionIconButtonsAndTextAndGiveTheClickedAnswer) {
  using Box = QMessageBox;
  using enum MessageAnswer;
  const Message help{u"Help", u"", MessageIcon::kNone, MessageButtons::kOk};
  const Message error{u"a\r\n\r\nb\rc", u"Error", MessageIcon::kExclamation, MessageButtons::kOk,
                      u"certificate expired\r\n(caster.example.com)"};
  const Message critical{u"Zo\u00EB", u"Error", MessageIcon::kError};
  const Message question{u"Retry?\r\nReason", u"Warning", MessageIcon::kInformation,
                         MessageButtons::kYesNo};
  const struct {
    Message message;
    Box::StandardButton click;
    QString title, text, detail;
    Box::Icon icon;
    MessageAnswer answer;
  } cases[] = {
      {help, Box::Ok, ".\\ZEPQuillon.htm", "Help", "", Box::NoIcon, kOk},
      {error, Box::Ok, "Error", "a\n\nb\nc", "certificate expired\n(caster.example.com)",
       Box::Warning, kOk},
      {critical, Box::Ok, "Error", "Zo\u00EB", "", Box::Critical, kOk},
      {question, Box::Yes, "Warning", "Retry?\nReason", "", Box::Information, kYes},
      {question, Box::No, "Warning", "Retry?\nReason", "", Box::Information, kNo},
  };
  for (const auto& c : cases) {
    QtMessageSink sink;
    int shown = 0;
    sink.SetBoxShownHook([&](QMessageBox& box) {
      ++shown;
      EXPECT_EQ(std::tuple(box.windowTitle(), box.text(), box.detailedText(), box.icon()),
                std::tuple(c.title, c.text, c.detail, c.icon));
      EXPECT_EQ(box.standardButtons().testFlag(Box::Yes), c.answer != kOk);
      box.button(c.click)->click();
    });
    EXPECT_EQ(sink.Show(c.message), c.answer);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(sink.Unanswered(), 0u);
  }
  // A box closed without a button counts as No for questions and OK otherwise.
  QtMessageSink sink;
  sink.SetBoxShownHook([](QMessageBox& box) { box.done(0); });
  EXPECT_EQ(sink.Show(question), kNo);
  EXPECT_EQ(sink.Show(help), kOk);
}

// A box must neither deadlock the stop sequence nor block the join that follows DismissAll.
TEST(QtMessageSinkTest, DismissAllAnswersEveryBoxAndLateWorkersUntilEventsAreHandledAgain) {
  QtMessageSink sink;
  QPointer<QMessageBox> shownDuringHold;
  bool heldWhenShown = false;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    shownDuringHold = &box;
    heldWhenShown = UiThreadHeld();
  });
  MessageAnswer answer = MessageAnswer::kOk;
  std::thread worker([&] { answer = sink.Show({u"Connection down?", u"Error"}); });
  // Virtual time stands still until the box is on its way, so the hold is sure to see it.
  quillon::testing::HookedClock clock;
  clock.beforeSleep = [&](int) { WaitUntil([&] { return sink.Unanswered() > 0; }, false); };
  WaitPainted(clock, 4000);
  ASSERT_FALSE(shownDuringHold.isNull());
  EXPECT_TRUE(heldWhenShown && shownDuringHold->isVisible());
  sink.DismissAll();
  worker.join();  // no event handling needed for the worker to go on
  EXPECT_EQ(answer, MessageAnswer::kDismissed);
  EXPECT_TRUE(shownDuringHold.isNull() || !shownDuringHold->isVisible());
  EXPECT_EQ(sink.Unanswered(), 0u);
  QApplication::processEvents();
  sink.SetBoxShownHook([&](QMessageBox&) { testing::WhenIdle([&] { sink.DismissAll(); }); });
  EXPECT_EQ(sink.Show({u"Help", u""}), MessageAnswer::kDismissed);
  QStringList shown;
  std::thread::id shownOn;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    shown << box.text();
    shownOn = std::this_thread::get_id();
    box.button(QMessageBox::Yes)->click();
  });
  QApplication::processEvents();
  std::thread onItsWay([&] {
    EXPECT_EQ(sink.Show({u"on its way", u""}), MessageAnswer::kDismissed);
  });
  ASSERT_TRUE(WaitUntil([&] { return sink.Unanswered() == 1; }, false));
  sink.DismissAll();
  onItsWay.join();
  std::thread late([&] { EXPECT_EQ(sink.Show({u"late", u""}), MessageAnswer::kDismissed); });
  late.join();
  QApplication::processEvents();
  auto retry = std::async(std::launch::async, [&] {
    return sink.Show({u"Retry?", u"Warning", MessageIcon::kInformation, MessageButtons::kYesNo});
  });
  ASSERT_TRUE(WaitUntil(
      [&] { return retry.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
  EXPECT_EQ(retry.get(), MessageAnswer::kYes);
  EXPECT_EQ(shown, QStringList{"Retry?"});
  EXPECT_EQ(shownOn, std::this_thread::get_id());
}

}  // namespace
}  // namespace quillon::ui
