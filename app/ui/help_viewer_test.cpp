#include "app/ui/help_viewer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "common/strings.h"

namespace quillon::ui {
namespace {

// The first folder holding the page wins; without one nothing is opened.
TEST(HelpViewerTest, TheFirstFolderHoldingThePageWinsAndAMissingPageOpensNothing) {
  QTemporaryDir empty;
  std::vector<QUrl> opened;
  const auto open = [&](const QUrl& url) {
    opened.push_back(url);
    return false;  // no viewer: nothing is reported
  };
  HelpViewer({empty.path(), QUILLON_RES_DIR, empty.path()}, open).Open(QStringLiteral("About"));
  HelpViewer({empty.path()}, open).Open(QStringLiteral("Main_Contents"));
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].toLocalFile(), QDir(QUILLON_RES_DIR).canonicalPath() + "/ZEPQuillon.htm");
  EXPECT_EQ(opened[0].fragment(), QStringLiteral("About"));
}

// Each message is quoted up to its first inserted value or line break.
TEST(HelpViewerTest, TheShippedPageHasTheAnchorsAndExplainsEveryMessage) {
  QFile page(QStringLiteral(QUILLON_RES_DIR "/ZEPQuillon.htm"));
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(page.readAll());
  for (const char* anchor : {kHelpContentsAnchor, kHelpAboutAnchor}) {
    EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(QLatin1String(anchor)))) << anchor;
  }
  int checked = 0;
  for (std::uint32_t id = kStrUnableToOpenComPort; id <= kStrBluetoothRadioOff; ++id) {
    QString text = QString::fromStdU16String(std::u16string(StringTableEntry(id)));
    if (text.isEmpty() || id == kStrError || id == kStrWarning) continue;  // captions too
    text = text.section(QLatin1Char('%'), 0, 0).section(QLatin1Char('\r'), 0, 0).trimmed();
    EXPECT_TRUE(html.contains(text)) << id << ": " << text.toStdString();
    ++checked;
  }
  EXPECT_GE(checked, 16);
}

}  // namespace
}  // namespace quillon::ui
