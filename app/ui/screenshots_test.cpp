// PNG files for a reviewer (ctest -L screenshots; the build folder's screenshots/).
#include <gtest/gtest.h>

#include "app/ui/about_dlg.h"
#include "app/ui/main_frame.h"
#include "app/ui/testing/qt_application.h"
#include "app/ui/testing/screenshot.h"
#include "app/ui/zep_quillon_app.h"
#include "app/ui/zep_quillon_view.h"
#include "testing/recording_message_sink.h"
#include "testing/virtual_clock.h"

namespace quillon::ui {
namespace {

using quillon::ui::testing::SaveScreenshot;

TEST(Screenshots, MainWindowSplashAndAboutBox) {
  quillon::testing::VirtualClock clock;
  quillon::testing::RecordingMessageSink boxes;
  CZEPQuillonApp app({.clock = &clock,
                      .messages = &boxes,
                      .ownerName = [] { return u"Jane Surveyor"; },
                      .help = HelpViewer(QStringList())});
  ASSERT_TRUE(app.InitInstance());
  CMainFrame& frame = *app.MainFrame();
  SaveScreenshot(frame.View()->Splash(), QStringLiteral("splash"));
  frame.View()->Splash().DestroyWindow();
  SaveScreenshot(frame, QStringLiteral("main_window"));
  testing::WhenIdle([&] {
    CAboutDlg* about = testing::VisibleDialog<CAboutDlg>();
    ASSERT_NE(about, nullptr);
    SaveScreenshot(frame, QStringLiteral("about_box"));
    about->TitleOkButton()->click();
  });
  frame.OnCommand(kIdAppAbout);
}

}  // namespace
}  // namespace quillon::ui
