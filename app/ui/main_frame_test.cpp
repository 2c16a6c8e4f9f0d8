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
#include "app/ui/qt_message_sink.h"
#include "app/ui/testing/qt_application.h"
#include "app/ui/zep_quillon_app.h"
#include "app/ui/zep_quillon_doc.h"
#include "app/ui/zep_quillon_view.h"
#include "testing/recording_message_sink.h"
#include "testing/virtual_clock.h"

namespace quillon::ui {
namespace {

using quillon::ui::testing::VisibleDialog;
using quillon::ui::testing::WhenIdle;

class MainFrameTest : public ::testing::Test {
 protected:
  AppEnvironment Environment(MessageSink& messages) {
    return {&clock, &messages, [this] { return socketsStart; }, [] { return u"Jane Surveyor"; },
            HelpViewer({QStringLiteral(QUILLON_RES_DIR)}, [this](const QUrl& url) {
              opened.push_back(url);
              return true;
            })};
  }

  quillon::testing::VirtualClock clock;
  quillon::testing::RecordingMessageSink boxes;
  bool socketsStart = true;
  std::vector<QUrl> opened;
};

TEST_F(MainFrameTest, WhenSocketsCannotStartTheBoxIsShownAndNoWindowIsMade) {
  socketsStart = false;
  CZEPQuillonApp app(Environment(boxes));
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
  CZEPQuillonApp app(Environment(boxes));
  ASSERT_TRUE(app.InitInstance());
  CMainFrame* frame = app.MainFrame();
  ASSERT_NE(frame, nullptr);
  EXPECT_GE(clock.Elapsed(), 4000u);
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("ZEPQuillon"));
  EXPECT_EQ(frame->size(), kHandheldScreen);
  EXPECT_LT(frame->minimumWidth(), kHandheldScreen.width());  // resizable
  EXPECT_EQ(MainWindow(), frame);
  ASSERT_NE(app.Document(), nullptr);
  EXPECT_FALSE(app.Document()->IsModified());
  EXPECT_TRUE(boxes.Boxes().empty());

  // The splash is still up, counting down, with the owner's name.
  CSplashDlg& splash = frame->View()->Splash();
  EXPECT_TRUE(splash.isVisible());
  EXPECT_TRUE(splash.InSplashMode());
  EXPECT_EQ(splash.OwnerText(), u"Jane Surveyor");
  splash.DeliverTick(kSplashTimerId);
  splash.DeliverTick(kSplashTimerId);
  EXPECT_FALSE(splash.isVisible());
  EXPECT_FALSE(splash.InSplashMode());
}

TEST_F(MainFrameTest, TheMenuBarHasHelpWithHelpTopicsASeparatorAndAbout) {
  CZEPQuillonApp app(Environment(boxes));
  ASSERT_TRUE(app.InitInstance());
  const QList<QAction*> bar = app.MainFrame()->menuBar()->actions();
  ASSERT_EQ(bar.size(), 1);
  EXPECT_EQ(bar[0]->text(), QStringLiteral("&Help"));
  ASSERT_NE(bar[0]->menu(), nullptr);
  const QList<QAction*> items = bar[0]->menu()->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), QStringLiteral("&Help Topics..."));
  EXPECT_EQ(items[0]->data().toInt(), kIdHelpTopics);
  EXPECT_EQ(kIdHelpTopics, 32773);
  EXPECT_TRUE(items[1]->isSeparator());
  EXPECT_EQ(items[2]->text(), QStringLiteral("&About ZEP Quillon..."));
  EXPECT_EQ(items[2]->data().toInt(), kIdAppAbout);
  EXPECT_EQ(kIdAppAbout, 0xE140);
}

TEST_F(MainFrameTest, HelpTopicsOpensThePagesContentsAndSaysNothingWhenThePageIsMissing) {
  CZEPQuillonApp app(Environment(boxes));
  ASSERT_TRUE(app.InitInstance());
  app.MainFrame()->menuBar()->actions()[0]->menu()->actions()[0]->trigger();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].isLocalFile());
  EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("/ZEPQuillon.htm")));
  EXPECT_EQ(opened[0].fragment(), QStringLiteral("Main_Contents"));

  AppEnvironment nowhere = Environment(boxes);
  nowhere.help = HelpViewer({QStringLiteral("/nonexistent")}, [this](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  CZEPQuillonApp missing(std::move(nowhere));
  ASSERT_TRUE(missing.InitInstance());
  missing.OnHelpTopics();
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MainFrameTest, AboutRunsTheAboutBoxOverTheMainWindow) {
  CZEPQuillonApp app(Environment(boxes));
  ASSERT_TRUE(app.InitInstance());
  QString name, version, build, caption;
  QRect geometry;
  bool hasIcon = false;
  WhenIdle([&] {
    CAboutDlg* about = VisibleDialog<CAboutDlg>();
    ASSERT_NE(about, nullptr);
    caption = about->windowTitle();
    geometry = about->geometry();
    build = about->Control<QLabel>(kIdBuildText)->text();
    for (QLabel* label : about->Page()->findChildren<QLabel*>()) {
      if (label->text() == QStringLiteral("ZEP Quillon")) name = label->text();
      if (label->text() == QStringLiteral("Version 8.4.2")) version = label->text();
      if (!label->pixmap().isNull()) hasIcon = true;
    }
    about->TitleOkButton()->click();
  });
  app.MainFrame()->OnCommand(kIdAppAbout);
  EXPECT_EQ(caption, QStringLiteral("About ZEP Quillon"));
  EXPECT_EQ(geometry, app.MainFrame()->rect());
  EXPECT_FALSE(name.isEmpty());
  EXPECT_FALSE(version.isEmpty());
  EXPECT_TRUE(hasIcon);
  EXPECT_EQ(build, QStringLiteral("Build Number: 2\nBuild Date: ") + QLatin1String(__DATE__));
  EXPECT_EQ(VisibleDialog<CAboutDlg>(), nullptr);
}

TEST_F(MainFrameTest, HelpRequestAndCommand32772ShowOnlyTheHelpBox) {
  CZEPQuillonApp app(Environment(boxes));
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

TEST_F(MainFrameTest, TheHelpBoxIsCaptionedWithTheApplicationName) {
  QtMessageSink sink;
  QString title;
  QMessageBox::StandardButtons buttons;
  sink.SetBoxShownHook([&](QMessageBox& box) {
    title = box.windowTitle();
    buttons = box.standardButtons();
    box.button(QMessageBox::Ok)->click();
  });
  CZEPQuillonApp app(Environment(sink));
  ASSERT_TRUE(app.InitInstance());
  app.MainFrame()->OnHelp();
  EXPECT_EQ(title, QStringLiteral(".\\ZEPQuillon.htm"));
  EXPECT_EQ(buttons, QMessageBox::Ok);
}

}  // namespace
}  // namespace quillon::ui
