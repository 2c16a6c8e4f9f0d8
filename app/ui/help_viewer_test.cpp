#include "app/ui/help_viewer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

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

// The shipped page has the anchors the program opens.
TEST(HelpViewerTest, TheShippedPageHasTheAnchorsTheProgramOpens) {
  QFile page(QStringLiteral(QUILLON_RES_DIR "/ZEPQuillon.htm"));
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(page.readAll());
  for (const char* anchor : {kHelpContentsAnchor, kHelpAboutAnchor}) {
    EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(QLatin1String(anchor)))) << anchor;
  }
}

}  // namespace
}  // namespace quillon::ui
