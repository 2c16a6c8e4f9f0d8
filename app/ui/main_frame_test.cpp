#include "app/ui/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <vector>

#include "app/ui/about_dlg.h"
#include "app/ui/handheld.h"
#include "app/ui/testing/qt_application.h"
#include "app/ui/zep_quillon_app.h"
#include "app/ui/zep_quillon_view.h"
#include "common/strings.h"
#include "testing/recording_message_sink.h"
#include "testing/virtual_clock.h"

namespace quillon::ui {
namespace {

using quillon::ui::testing::VisibleDialog;
using quillon::ui::testing::WhenIdle;

class MainFrameTest : public ::testing::Test {
 protected:
  AppEnvironment Environment() {
    return {.clock = &clock,
            .messages = &boxes,
            .startSockets = [this] { return socketsStart; },
            .ownerName = [] { return u"Jane Surveyor"; },
            .help = HelpViewer({QStringLiteral(QUILLON_RES_DIR)},
                               [this](const QUrl& url) {
                                 opened.push_back(url);
                                 return true;
                               }),
            .platformType = [this] { return platformType; },
            .addresses = [] { return AddressList{}; },  // no own address: ask the manager
            .connectionManager = &manager,
            .roverDialog = [this] { return MakeModeDialog(u"rover"); },
            .baseDialog = [this] { return MakeModeDialog(u"base"); }};
  }

  // A mode dialog that notes what the connection manager had been asked when it ran, and
  // closes itself.
  std::unique_ptr<Dialog> MakeModeDialog(std::u16string mode) {
    auto dialog = std::make_unique<Dialog>(DialogTemplate{QString::fromStdU16String(mode)});
    ++dialogsMade;
    WhenIdle([this, mode, raw = dialog.get()] {
      runs.push_back(mode + u" after " + std::u16string(manager.calls.begin(), manager.calls.end()));
      raw->EndDialog(kIdOk);
    });
    return dialog;
  }

  // A connection manager that answers "not connected" and records each call as a letter.
  struct RecordingManager final : ConnectionManager {
    std::string calls;
    bool Load() override { return true; }
    void Unload() override { calls += 'u'; }
    bool HasEntryPoint(ConnMgrEntryPoint) override { return true; }
    ManagerResult ConnectionStatus(ConnectionHandle, std::uint32_t& status) override {
      calls += 's';
      status = 0;
      return 0;
    }
    ManagerResult EstablishConnectionSync(const ConnectionInfo&, ConnectionHandle& connection,
                                          std::uint32_t, std::uint32_t&) override {
      calls += 'e';
      connection = 1;
      return 0;
    }
    ManagerResult ReleaseConnection(ConnectionHandle, bool) override {
      calls += 'r';
      return 0;
    }
  };

  quillon::testing::VirtualClock clock;
  quillon::testing::RecordingMessageSink boxes;
  bool socketsStart = true;
  std::vector<QUrl> opened;
  std::u16string platformType = u"PocketPC";
  RecordingManager manager;
  int dialogsMade = 0;
  std::vector<std::u16string> runs;
};

TEST_F(MainFrameTest, WhenSocketsCannotStartTheBoxIsShownAndNoWindowIsMade) {
  socketsStart = false;
  CZEPQuillonApp app(Environment());
  EXPECT_FALSE(app.InitInstance());
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  const Message box = boxes.Boxes()[0];
  EXPECT_EQ(box.text, u"Windows sockets initialization failed.");
  EXPECT_EQ(box.caption, u"");  // the application name
  EXPECT_EQ(box.icon, MessageIcon::kExclamation);
  EXPECT_EQ(box.buttons, MessageButtons::kOk);
  EXPECT_EQ(app.MainFrame(), nullptr);
  EXPECT_EQ(clock.Elapsed(), 0u);  // no splash, no hold
}

TEST_F(MainFrameTest, StartUpShowsTheSplashHoldsFourSecondsThenShowsTheMainWindow) {
  CZEPQuillonApp app(Environment());
  ASSERT_TRUE(app.InitInstance());
  CMainFrame* frame = app.MainFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_GE(clock.Elapsed(), 4000u);
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("ZEP Quillon"));
  EXPECT_EQ(frame->size(), kHandheldScreen);
  EXPECT_LT(frame->minimumWidth(), kHandheldScreen.width());  // resizable
  EXPECT_TRUE(boxes.Boxes().empty());
  // The splash is still up, counting down, with the owner's name.
  CSplashDlg& splash = frame->View()->Splash();
  EXPECT_TRUE(splash.isVisible() && splash.InSplashMode());
  EXPECT_EQ(splash.OwnerText(), u"Jane Surveyor");
}

// Help, then "Help Topics..." (the page's contents), a separator and "About ZEP Quillon..."
// (the About box over the main window), each run through its menu item.
TEST_F(MainFrameTest, TheHelpMenuOpensTheHelpPageAndTheAboutBox) {
  CZEPQuillonApp app(Environment());
  ASSERT_TRUE(app.InitInstance());
  const QList<QAction*> bar = app.MainFrame()->menuBar()->actions();
  ASSERT_EQ(bar.size(), 1);
  EXPECT_EQ(bar[0]->text(), QStringLiteral("&Help"));
  const QList<QAction*> items = bar[0]->menu()->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), QStringLiteral("&Help Topics..."));
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_EQ(items[2]->text(), QStringLiteral("&About ZEP Quillon..."));

  items[0]->trigger();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("/ZEPQuillon.htm")));
  EXPECT_EQ(opened[0].fragment(), QStringLiteral("Main_Contents"));

  QString caption, build;
  QStringList texts;
  QRect geometry;
  bool hasIcon = false;
  WhenIdle([&] {
    CAboutDlg* about = VisibleDialog<CAboutDlg>();
    ASSERT_NE(about, nullptr);
    caption = about->windowTitle();
    geometry = about->geometry();
    build = about->Control<QLabel>(kIdBuildText)->text();
    for (QLabel* label : about->Page()->findChildren<QLabel*>()) {
      texts << label->text();
      hasIcon = hasIcon || !label->pixmap().isNull();
    }
    about->TitleOkButton()->click();
  });
  items[2]->trigger();
  EXPECT_EQ(caption, QStringLiteral("About ZEP Quillon"));
  EXPECT_EQ(geometry, app.MainFrame()->rect());
  EXPECT_TRUE(texts.contains(QStringLiteral("ZEP Quillon")));
  EXPECT_TRUE(texts.contains(QStringLiteral("Version 8.4.2")));
  EXPECT_TRUE(hasIcon);
  EXPECT_EQ(build, QStringLiteral("Build Number: 2\nBuild Date: ") + QLatin1String(__DATE__));
  EXPECT_EQ(VisibleDialog<CAboutDlg>(), nullptr);
}

TEST_F(MainFrameTest, HelpRequestAndCommand32772ShowOnlyTheHelpBox) {
  CZEPQuillonApp app(Environment());
  ASSERT_TRUE(app.InitInstance());
  CMainFrame* frame = app.MainFrame();
  EXPECT_TRUE(frame->OnCommand(kIdHelp));
  QApplication::setActiveWindow(frame);
  QTest::keyClick(frame, Qt::Key_F1);
  EXPECT_FALSE(frame->OnCommand(0xE100));  // the framework's New: nothing of its own

  const std::vector<Message> shown = boxes.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  for (const Message& box : shown) {
    EXPECT_EQ(box.text, u"Help");
    EXPECT_EQ(box.caption, u"");
    EXPECT_EQ(box.icon, MessageIcon::kNone);
    EXPECT_EQ(box.buttons, MessageButtons::kOk);
  }
  EXPECT_TRUE(opened.empty());
}

TEST_F(MainFrameTest, TheChooserShowsRoverAboveTheMiddleAndBaseBelowWithTheirPictures) {
  CZEPQuillonApp app(Environment());
  ASSERT_TRUE(app.InitInstance());
  CZEPQuillonView* view = app.MainFrame()->View();
  const QPoint middle = view->rect().center();
  CBitmapButton* rover = view->RoverButton();
  CBitmapButton* base = view->BaseButton();
  EXPECT_EQ(rover->size(), QSize(64, 64));
  EXPECT_EQ(base->size(), QSize(64, 64));
  // Centred, then moved by the layout helper: 2 pixels left, 60 up or 15 down.
  EXPECT_EQ(rover->geometry().center(), middle + QPoint(-2, -60));
  EXPECT_EQ(base->geometry().center(), middle + QPoint(-2, 15));
  EXPECT_LT(rover->geometry().bottom(), base->geometry().top());
  EXPECT_GE(rover->geometry().top(), 0);
  EXPECT_FALSE(view->MessageText()->isVisible());
  EXPECT_EQ(view->MessageText()->text(), QStringLiteral("Release. Version 1.0 Release"));

  // A wider window keeps them in its middle.
  app.MainFrame()->resize(400, 320);
  QApplication::processEvents();
  EXPECT_EQ(rover->geometry().center().x(), view->rect().center().x() - 2);
}

TEST_F(MainFrameTest, ADeviceThatIsNoPocketPcIsToldAfterTheSplashAndTheProgramEndsWithStatus0) {
  platformType = u"Smartphone";
  CZEPQuillonApp app(Environment());
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitStatus(), 0);
  EXPECT_GE(clock.Elapsed(), 4000u);  // the splash's hold came first
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  const Message box = boxes.Boxes()[0];
  EXPECT_EQ(box.text, LoadString(kStrIncompatiblePlatform));
  EXPECT_EQ(box.caption, u"Error");
  EXPECT_EQ(box.icon, MessageIcon::kError);
  EXPECT_FALSE(app.MainFrame()->isVisible());
}

TEST_F(MainFrameTest, EachPressBringsUpTheConnectionRunsAFreshDialogAndReleasesAfterIt) {
  CZEPQuillonApp app(Environment());
  ASSERT_TRUE(app.InitInstance());
  CZEPQuillonView* view = app.MainFrame()->View();
  view->RoverButton()->click();
  // Status, request, then released once the dialog closed and unloaded with its object.
  EXPECT_EQ(manager.calls, "seru");
  view->BaseButton()->click();
  view->RoverButton()->click();
  EXPECT_EQ(dialogsMade, 3);
  // Each dialog ran after its bring-up and before its release.
  EXPECT_EQ(runs, (std::vector<std::u16string>{u"rover after se", u"base after seruse",
                                               u"rover after seruseruse"}));
  EXPECT_EQ(manager.calls, "seruseruseru");
}

}  // namespace
}  // namespace quillon::ui
