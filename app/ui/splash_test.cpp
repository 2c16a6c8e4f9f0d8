#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include "app/ui/splash_dlg.h"
#include "app/ui/splash_layout.h"
#include "app/ui/transparent_bitmap.h"

namespace quillon::ui {
namespace {

TEST(SplashLayoutTest, TheGapSharesTheHeightAndTurnsNegativeInAShortWindow) {
  struct Case {
    int height, picture1, picture2, line;
    int gap;
  };
  const Case cases[] = {
      // (320 - 23 - 19 - 3 * 13) / 4 = 239 / 4 = 59 (rounded down), not less than a line.
      {320, 23, 19, 13, 59},
      // (100 - 42 - 39) / 4 = 4, less than a line: one less.
      {100, 23, 19, 13, 3},
      // (50 - 42 - 39) / 4 = -31 / 4 = -7 (toward zero), then one less.
      {50, 23, 19, 13, -8},
      // Exactly one line: kept.
      {136, 23, 19, 13, 13},
      // (132 - 81) / 4 = 12.75 -> 12, less than a line: 11.
      {132, 23, 19, 13, 11},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SplashGap(c.height, c.picture1, c.picture2, c.line), c.gap) << c.height;
  }
}

TEST(SplashLayoutTest, ItemsStackWithTheGapAndTheOwnerLineStepDependsOnIt) {
  // Wide gap (59 > 13): pictures at gap / 2 = 29 and 29 + 23 + 59 = 111; lines at
  // 111 + 19 + 59 = 189 and 202; the owner one line plus the whole gap further: 274.
  const SplashTops wide = SplashItemTops(0, 59, 13, 23, 19);
  EXPECT_EQ(wide.picture1, 29);
  EXPECT_EQ(wide.picture2, 111);
  EXPECT_EQ(wide.firstLine, 189);
  EXPECT_EQ(wide.notice, 202);
  EXPECT_EQ(wide.owner, 274);

  // Negative gap (-8): -8 / 2 = -4; 11; 22; 35; then (13 + -8) / 2 = 2 beyond a line: 50.
  const SplashTops tight = SplashItemTops(0, -8, 13, 23, 19);
  EXPECT_EQ(tight.picture1, -4);
  EXPECT_EQ(tight.picture2, 11);
  EXPECT_EQ(tight.firstLine, 22);
  EXPECT_EQ(tight.notice, 35);
  EXPECT_EQ(tight.owner, 50);

  // -7 / 2 rounds toward zero.
  EXPECT_EQ(SplashItemTops(10, -7, 13, 23, 19).picture1, 7);
  EXPECT_EQ(CentredLeft(0, 240, 190), 25);
  EXPECT_EQ(CentredLeft(0, 240, 241), 0);  // -1 / 2 toward zero
}

TEST(TransparentBitmapTest, MagentaPixelsBecomeTheBackgroundAndOthersStay) {
  QTemporaryDir folder;
  const QString path = folder.filePath(QStringLiteral("picture.png"));
  QImage picture(4, 1, QImage::Format_RGB32);
  picture.setPixel(0, 0, qRgb(255, 0, 255));
  picture.setPixel(1, 0, qRgb(200, 10, 20));
  picture.setPixel(2, 0, qRgb(254, 0, 255));  // close to magenta is not magenta
  picture.setPixel(3, 0, qRgb(255, 0, 255));
  ASSERT_TRUE(picture.save(path));

  CTransparentBitmap bitmap;
  ASSERT_TRUE(bitmap.LoadTransparent(path, QColor(10, 20, 30)));
  EXPECT_EQ(bitmap.Size(), QSize(4, 1));
  const QImage& out = bitmap.Image();
  EXPECT_EQ(out.pixel(0, 0), qRgb(10, 20, 30));
  EXPECT_EQ(out.pixel(1, 0), qRgb(200, 10, 20));
  EXPECT_EQ(out.pixel(2, 0), qRgb(254, 0, 255));
  EXPECT_EQ(out.pixel(3, 0), qRgb(10, 20, 30));

  // A picture that cannot be loaded leaves what the holder had.
  EXPECT_FALSE(bitmap.LoadTransparent(folder.filePath(QStringLiteral("missing.png")), Qt::red));
  EXPECT_EQ(bitmap.Size(), QSize(4, 1));
  bitmap.Delete();
  EXPECT_TRUE(bitmap.IsEmpty());
  EXPECT_EQ(bitmap.Size(), QSize(0, 0));
}

class SplashTest : public ::testing::Test {
 protected:
  CSplashDlg splash{[this] { return owner; }, [this] { ++aboutHelpOpened; }};
  std::u16string owner = u"Jane Surveyor";
  int aboutHelpOpened = 0;
  QWidget ownerWindow;
};

TEST_F(SplashTest, ShowsBothPicturesWithTheBackgroundForMagenta) {
  splash.ShowSplash(2, nullptr);
  ASSERT_EQ(splash.Picture1().Size(), QSize(90, 23));
  ASSERT_EQ(splash.Picture2().Size(), QSize(190, 19));
  const QRgb background = splash.palette().color(QPalette::Window).rgb();
  for (const CTransparentBitmap* picture : {&splash.Picture1(), &splash.Picture2()}) {
    const QImage& image = picture->Image();
    EXPECT_EQ(image.pixel(0, 0), background);  // the drawings have magenta corners
    int magenta = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        magenta += (image.pixel(x, y) & 0xFFFFFF) == kTransparentColour;
      }
    }
    EXPECT_EQ(magenta, 0);
  }
  EXPECT_EQ(splash.OwnerText(), u"Jane Surveyor");
  EXPECT_GT(splash.Gap(), splash.LineHeight());  // plenty of room at the handheld's size
}

TEST_F(SplashTest, CountsDownOneTickASecondAndThenClosesAndEnablesItsOwner) {
  ownerWindow.show();
  splash.ShowSplash(2, &ownerWindow);
  EXPECT_TRUE(splash.isVisible());
  EXPECT_FALSE(ownerWindow.isEnabled());
  EXPECT_TRUE(splash.IsTimerSet(kSplashTimerId));

  splash.DeliverTick(kSplashTimerId);
  EXPECT_EQ(splash.Countdown(), 1);
  EXPECT_TRUE(splash.isVisible());

  splash.DeliverTick(kSplashTimerId);
  EXPECT_FALSE(splash.isVisible());
  EXPECT_EQ(splash.result(), kIdOk);
  EXPECT_FALSE(splash.InSplashMode());
  EXPECT_FALSE(splash.IsTimerSet(kSplashTimerId));
  EXPECT_TRUE(ownerWindow.isEnabled());
  EXPECT_TRUE(splash.Picture1().IsEmpty());
  EXPECT_TRUE(splash.Picture2().IsEmpty());
}

TEST_F(SplashTest, ATapClosesItBeforeTheCountdownEnds) {
  ownerWindow.show();
  splash.ShowSplash(2, &ownerWindow);
  QTest::mouseClick(&splash, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
  EXPECT_FALSE(splash.isVisible());
  EXPECT_EQ(splash.result(), kIdOk);
  // The countdown still ends the splash mode and gives the owner back.
  splash.DeliverTick(kSplashTimerId);
  splash.DeliverTick(kSplashTimerId);
  EXPECT_FALSE(splash.InSplashMode());
  EXPECT_TRUE(ownerWindow.isEnabled());
}

TEST_F(SplashTest, HelpOpensTheAboutTopic) {
  splash.ShowSplash(2, nullptr);
  QTest::keyClick(&splash, Qt::Key_F1);
  EXPECT_EQ(aboutHelpOpened, 1);
  EXPECT_TRUE(splash.isVisible());
}

TEST_F(SplashTest, AShortWindowGivesANegativeGapAndStillPaints) {
  owner.clear();
  splash.ShowSplash(2, nullptr);
  EXPECT_TRUE(splash.OwnerText().empty());
  splash.resize(240, 50);
  QApplication::processEvents();
  EXPECT_LT(splash.Gap(), 0);
  EXPECT_FALSE(splash.grab().isNull());
}

}  // namespace
}  // namespace quillon::ui
