#include "app/ui/testing/screenshot.h"

#include <QDir>
#include <QPixmap>
#include <QWidget>

namespace quillon::ui::testing {

QString SaveScreenshot(QWidget& widget, const QString& name) {
  const QDir folder(QStringLiteral(QUILLON_SCREENSHOT_DIR));
  if (!folder.mkpath(QStringLiteral("."))) return {};
  const QString path = folder.filePath(name + QStringLiteral(".png"));
  return widget.grab().save(path) ? path : QString();
}

}  // namespace quillon::ui::testing
