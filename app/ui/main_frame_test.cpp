#include "app/ui/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

#include "app/ui/about_dlg.h"
#include "app/ui/handheld.h"
#include "app/ui/splash_dlg.h"
#include "app/ui/testing/qt_application.h"
#include "app/ui/transparent_bitmap.h"
#include "app/ui/zep_quillon_app.h"
#include "app/ui/zep_quillon_view.h"
#include "common/strings.h"
#include "testing/recording_message_sink.h"
#include "testing/scripted_connection_manager.h"
#include "testing/virtual_clock.h"

namespace quillon::ui {
namespace {

using namespace quillon::ui::testing;

auto Fields(const Message& box) { return std::tie(box.text, box.caption, box.icon, box.buttons); }

class MainFrameTest : public ::testing::Test {
 protected:
  AppEnvironment Environment() {
    return {.clock = &clock,
            .messages = &boxes,
            .ownerName = [] { return u"Jane Surveyor"; },
            .help = HelpViewer({noPage.path(), QStringLiteral(QUILLON_RES_DIR)},
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

  // A mode dialog that notes how many calls the connection manager had so far, and closes itself.
  std::unique_ptr<Dialog> MakeModeDialog(std::u16string mode) {
    auto dialog = std::make_unique<Dialog>(DialogTemplate{QString::fromStdU16String(mode)});
    WhenIdle([this, mode, raw = dialog.get()] {
      runs.push_back(mode + u" after " + QString::number(manager.calls.size()).toStdU16String());
      raw->EndDialog(kIdOk);
    });
    return dialog;
  }

  quillon::testing::VirtualClock clock;
  quillon::testing::RecordingMessageSink boxes;
  QTemporaryDir noPage;  // a folder without the page is skipped
  std::vector<QUrl> opened;
  std::u16string platformType = u"PocketPC";
  quillon::testing::ScriptedConnectionManager manager;  // answers "not connected"
  std::vector<std::u16string> runs;
};

// F1 and the Help command show only the Help box; the menu opens the page and the About box.
TEST_F(MainFrameTest, StartUpHoldsTheSplashThenTheHelpMenuAndTheChooserWork) {
  CZEPQuillonApp app(Environment());
  ASSERT_TRUE(app.InitInstance());
  CMainFrame* frame = app.MainFrame();
  EXPECT_GE(clock.Elapsed(), 4000u);
  EXPECT_TRUE(frame->isVisible());
  EXPECT_LT(frame->minimumWidth(), kHandheldScreen.width());  // resizable
  CSplashDlg& splash = frame->View()->Splash();
  EXPECT_TRUE(splash.isVisible() && splash.InSplashMode());
  EXPECT_EQ(splash.OwnerText(), u"Jane Surveyor");
  SaveScreenshot(splash, QStringLiteral("splash"));
  const QList<QAction*> items = frame->menuBar()->actions().at(0)->menu()->actions();
  ASSERT_EQ(items.size(), 3);  // Help Topics, a separator, About
  items[0]->trigger();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(opened[0].toLocalFile().endsWith(QStringLiteral("/ZEPQuillon.htm")));
  EXPECT_EQ(opened[0].fragment(), QStringLiteral("Main_Contents"));
  QFile page(opened[0].toLocalFile());  // the shipped page has the anchors the program opens
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(page.readAll());
  for (const char* anchor : {kHelpContentsAnchor, kHelpAboutAnchor}) {
    EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(QLatin1String(anchor)))) << anchor;
  }
  QRect about;
  WhenIdle([&] {
    CAboutDlg* dialog = VisibleDialog<CAboutDlg>();
    ASSERT_NE(dialog, nullptr);
    about = dialog->geometry();
    SaveScreenshot(*frame, QStringLiteral("about_box"));
    dialog->TitleOkButton()->click();
  });
  items[2]->trigger();
  EXPECT_EQ(about, frame->rect());
  EXPECT_TRUE(frame->OnCommand(kIdHelp));
  QApplication::setActiveWindow(frame);
  QTest::keyClick(frame, Qt::Key_F1);
  EXPECT_FALSE(frame->OnCommand(0xE100));  // the framework's New: nothing of its own
  ASSERT_EQ(boxes.Boxes().size(), 2u);
  for (const Message& box : boxes.Boxes()) {
    EXPECT_EQ(Fields(box), std::tuple(u"Help", u"", MessageIcon::kNone, MessageButtons::kOk));
  }
  HelpViewer({noPage.path()}, [&](const QUrl& url) {
    opened.push_back(url);
    return true;
  }).Open(QStringLiteral("About"));  // no page anywhere: nothing opens
  EXPECT_EQ(opened.size(), 1u);
  splash.DestroyWindow();
  SaveScreenshot(*frame, QStringLiteral("main_window"));
  // The chooser: centred, then moved 2 pixels left and 60 up or 15 down; a fresh dialog a press.
  CZEPQuillonView* view = frame->View();
  CBitmapButton* rover = view->RoverButton();
  CBitmapButton* base = view->BaseButton();
  EXPECT_EQ(rover->geometry().center(), view->rect().center() + QPoint(-2, -60));
  EXPECT_EQ(base->geometry().center(), view->rect().center() + QPoint(-2, 15));
  EXPECT_FALSE(view->MessageText()->isVisible());
  frame->resize(400, 320);
  QApplication::processEvents();
  EXPECT_EQ(rover->geometry().center().x(), view->rect().center().x() - 2);
  // Status, request, then released once the dialog closed and unloaded with its object.
  for (CBitmapButton* button : {rover, base}) button->click();
  QTest::keyClick(rover, Qt::Key_Return);
  const std::vector<std::string> run = {"status", "request", "release cached 7", "unload"};
  EXPECT_EQ(runs,
            (std::vector<std::u16string>{u"rover after 2", u"base after 6", u"rover after 10"}));
  std::vector<std::string> calls;
  for (int i = 0; i < 3; ++i) calls.insert(calls.end(), run.begin(), run.end());
  EXPECT_EQ(manager.calls, calls);
}

TEST_F(MainFrameTest, ADeviceThatIsNoPocketPcIsToldAfterTheSplashAndTheProgramEndsWithStatus0) {
  platformType = u"Smartphone";
  CZEPQuillonApp app(Environment());
  EXPECT_FALSE(app.InitInstance());
  EXPECT_EQ(app.ExitStatus(), 0);
  EXPECT_GE(clock.Elapsed(), 4000u);  // the splash's hold came first
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(Fields(boxes.Boxes()[0]), std::tuple(LoadString(kStrIncompatiblePlatform), u"Error",
                                                 MessageIcon::kError, MessageButtons::kOk));
  EXPECT_FALSE(app.MainFrame()->isVisible());
}

// F1 opens the About topic and the splash stays; after a tap the countdown still frees the owner.
TEST(SplashTest, ShowsBothPicturesThenCountsDownOrIsTappedAwayAndEnablesItsOwner) {
  QWidget ownerWindow;
  ownerWindow.show();
  int aboutHelpOpened = 0;
  for (const bool tapped : {false, true}) {
    CSplashDlg dialog{[] { return std::u16string(u"Jane Surveyor"); }, [&] { ++aboutHelpOpened; }};
    dialog.ShowSplash(2, &ownerWindow);
    EXPECT_FALSE(ownerWindow.isEnabled());
    EXPECT_TRUE(dialog.IsTimerSet(kSplashTimerId));
    ASSERT_EQ(dialog.Picture1().Size(), QSize(90, 23));
    ASSERT_EQ(dialog.Picture2().Size(), QSize(190, 19));
    for (const CTransparentBitmap* picture : {&dialog.Picture1(), &dialog.Picture2()}) {
      const QImage& image = picture->Image();
      EXPECT_EQ(image.pixel(0, 0), dialog.palette().color(QPalette::Window).rgb());
      for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
          ASSERT_NE(image.pixel(x, y) & 0xFFFFFF, kTransparentColour) << x << "," << y;
        }
      }
    }
    EXPECT_GT(dialog.Gap(), dialog.LineHeight());  // plenty of room at the handheld's size
    QTest::keyClick(&dialog, Qt::Key_F1);
    EXPECT_TRUE(dialog.isVisible());
    if (tapped) {
      QTest::mouseClick(&dialog, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
      EXPECT_EQ(dialog.result(), kIdOk);
    }
    EXPECT_EQ(dialog.isVisible(), !tapped);
    dialog.DeliverTick(kSplashTimerId);
    EXPECT_EQ(dialog.isVisible(), !tapped);
    EXPECT_TRUE(dialog.InSplashMode());
    dialog.DeliverTick(kSplashTimerId);
    EXPECT_FALSE(dialog.isVisible() || dialog.InSplashMode() || dialog.IsTimerSet(kSplashTimerId));
    EXPECT_EQ(dialog.result(), kIdOk);
    EXPECT_TRUE(ownerWindow.isEnabled());
    EXPECT_TRUE(dialog.Picture1().IsEmpty() && dialog.Picture2().IsEmpty());
  }
  EXPECT_EQ(aboutHelpOpened, 2);
}

}  // namespace
}  // namespace quillon::ui
