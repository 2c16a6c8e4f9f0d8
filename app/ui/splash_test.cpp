#include <gtest/gtest.h>

#include <QImage>
#include <QTest>

#include "app/ui/splash_dlg.h"
#include "app/ui/transparent_bitmap.h"

namespace quillon::ui {
namespace {

// The drawings' magenta shows the background; F1 opens the About topic and the splash stays. A
// tap closes the splash before its countdown ends; the countdown still gives the owner back.
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
    EXPECT_EQ(dialog.OwnerText(), u"Jane Surveyor");
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
