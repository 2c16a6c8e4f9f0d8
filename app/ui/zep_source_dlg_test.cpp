#include "app/ui/zep_source_dlg.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <atomic>
#include <semaphore>
#include <thread>

#include "app/ui/testing/mode_dlg_fixture.h"
#include "common/strings.h"

namespace quillon::ui {
namespace {

using quillon::testing::HookedClock;
using namespace quillon::ui::testing;

const std::u16string kFirstRetry = u"Retry attempt 1/15 in 42 seconds.\r\n";

// Holds the Base worker in its first countdown until Release, or until a stop clears running.
struct CountdownHold {
  explicit CountdownHold(HookedClock& clock) : clock(clock) {
    clock.beforeSleep = [this](int) {
      BaseStatus* watched = status.load();
      if (watched == nullptr) return;
      if (std::this_thread::get_id() == testThread) {
        if (watched->running.load() == 0) Release();  // the stop's waits: the worker may end
      } else if (!reached && watched->StatusText().starts_with(kFirstRetry)) {
        reached = true;
        reachedSignal.release();
        released.wait(false);
      }
    };
  }
  ~CountdownHold() {
    clock.beforeSleep = [](int) {};
  }
  bool WaitReached() { return reachedSignal.try_acquire_for(std::chrono::seconds(20)); }
  void Release() {
    released = true;
    released.notify_all();
  }

  HookedClock& clock;
  std::atomic<BaseStatus*> status{nullptr};
  const std::thread::id testThread = std::this_thread::get_id();
  std::atomic<bool> reached{false};
  std::atomic<bool> released{false};
  std::binary_semaphore reachedSignal{0};
};

using BaseDlgTest = testing::ModeDlgFixture;

// A caster that resets the first login: the countdown replaces the counters until an upload.
TEST_F(BaseDlgTest, TheStatusTextReplacesTheCountersUntilTheNextAttemptUploads) {
  caster.Script(CasterBehaviour::kResetAfterRequest);  // the longest reason of all
  CountdownHold hold(clock);
  const auto app = StartProgram();
  RunFromChooser<CZEPSourceDlg>(app->MainFrame()->View()->BaseButton(), [&](auto& dialog) {
    hold.status.store(&dialog.Status());
    EnterCaster(dialog);
    Click(dialog, kIdConnect);
    ASSERT_TRUE(hold.WaitReached());
    dialog.DeliverTick(kStatusTimer);
    ExpectView(dialog, true, true);
    const auto* text = dialog.template Control<QLabel>(kIdStatusText);
    EXPECT_EQ(text->text(),
              "Retry attempt 1/15 in 42 seconds.\n" + Q(LoadString(kStrAuthenticationIo)));
    EXPECT_LE(text->heightForWidth(text->width()), text->height());  // nothing cut off
    SaveScreenshot(dialog, QStringLiteral("base_counting_down"));
    hold.Release();
    // Written during the countdown it would be dropped: wait until the caster is remembered.
    const auto deadline = std::chrono::steady_clock::now() + kRealLimit;
    while (Saved<BaseSettings>().hostCount == 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::yield();
    }
    receiver.Emit(std::string(1500, '\xD3'));
    ASSERT_TRUE(caster.WaitForUploaded(1500, kRealLimit));
    EXPECT_EQ(ByteCountReaching(dialog, "1500"), "1500");
    ExpectView(dialog, true);
    SaveScreenshot(dialog, QStringLiteral("base_uploading"));
    boxes.ScriptAnswers({MessageAnswer::kNo, MessageAnswer::kYes});
    dialog.TitleOkButton()->click();
    ExpectView(dialog, true);  // No: the upload goes on
    dialog.TitleOkButton()->click();
  });
  EXPECT_TRUE(caster.WaitForClosed(1, kRealLimit));
  EXPECT_EQ(Saved<BaseSettings>().hostCount, 1);  // remembered by the worker after the second login
  const auto shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].text, u"Are you sure you wish to terminate the connection and exit?");
  EXPECT_EQ(shown[1].caption, u"Warning");
  EXPECT_EQ(shown[1].buttons, MessageButtons::kYesNo);
  EXPECT_EQ(caster.ConnectionCount(), 2u);
}

}  // namespace
}  // namespace quillon::ui
