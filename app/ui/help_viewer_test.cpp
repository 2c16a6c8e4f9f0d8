#include "app/ui/help_viewer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

namespace quillon::ui {
namespace {

// Folders without the page are skipped, and without one nothing opens; the shipped page has the
// anchors the program opens.
TEST(HelpViewerTest, TheShippedPageIsFoundAndHasTheAnchorsTheProgramOpens) {
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
  QFile page(opened[0].toLocalFile());
  ASSERT_TRUE(page.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(page.readAll());
  for (const char* anchor : {kHelpContentsAnchor, kHelpAboutAnchor}) {
    EXPECT_TRUE(html.contains(QStringLiteral("id=\"%1\"").arg(QLatin1String(anchor)))) << anchor;
  }
}

}  // namespace
}  // namespace quillon::ui
