#include "app/ui/help_viewer.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

namespace quillon::ui {

QStringList DefaultHelpFolders() {
  const QDir executable(QCoreApplication::applicationDirPath());
  return {executable.absolutePath(),
          executable.absoluteFilePath(QStringLiteral("../share/quillon"))};
}

HelpViewer::HelpViewer(QStringList folders, UrlOpener open)
    : folders_(std::move(folders)), open_(std::move(open)) {
  if (!open_) open_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

QUrl HelpViewer::PageUrl(const QString& anchor) const {
  for (const QString& folder : folders_) {
    const QFileInfo page(QDir(folder), QString::fromLatin1(kHelpFileName));
    if (page.isFile()) {
      QUrl url = QUrl::fromLocalFile(page.canonicalFilePath());
      url.setFragment(anchor);
      return url;
    }
  }
  return {};
}

void HelpViewer::Open(const QString& anchor) const {
  const QUrl url = PageUrl(anchor);
  if (url.isEmpty()) return;
  static_cast<void>(open_(url));  // a missing viewer is not reported
}

}  // namespace quillon::ui
