#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "app/ui/splash_dlg.h"
#include "app/ui/transparent_bitmap.h"

namespace quillon::ui {
namespace {

TEST(SplashTest, ShowsBothPicturesWithTheBackgroundForMagentaAndHelpOpensTheAboutTopic) {
  int aboutHelpOpened = 0;
  CSplashDlg splash{[] { return std::u16string(u"Jane Surveyor"); }, [&] { ++aboutHelpOpened; }};
  splash.ShowSplash(2, nullptr);
  ASSERT_EQ(splash.Picture1().Size(), QSize(90, 23));
  ASSERT_EQ(splash.Picture2().Size(), QSize(190, 19));
  const QRgb background = splash.palette().color(QPalette::Window).rgb();
  for (const CTransparentBitmap* picture : {&splash.Picture1(), &splash.Picture2()}) {
    const QImage& image = picture->Image();
    EXPECT_EQ(image.pixel(0, 0), background);  // the drawings have magenta corners
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        ASSERT_NE(image.pixel(x, y) & 0xFFFFFF, kTransparentColour) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(splash.OwnerText(), u"Jane Surveyor");
  EXPECT_GT(splash.Gap(), splash.LineHeight());  // plenty of room at the handheld's size
  QTest::keyClick(&splash, Qt::Key_F1);          // help opens the About topic; the splash stays
  EXPECT_EQ(aboutHelpOpened, 1);
  EXPECT_TRUE(splash.isVisible());
}

// A tap closes the splash before its countdown ends; the countdown still gives the owner back.
TEST(SplashTest, CountsDownOrIsTappedAwayThenEndsAndEnablesItsOwner) {
  QWidget ownerWindow;
  ownerWindow.show();
  for (const bool tapped : {false, true}) {
    CSplashDlg dialog{[] { return std::u16string(); }, nullptr};
    dialog.ShowSplash(2, &ownerWindow);
    EXPECT_FALSE(ownerWindow.isEnabled());
    EXPECT_TRUE(dialog.IsTimerSet(kSplashTimerId));
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
}

}  // namespace
}  // namespace quillon::ui
