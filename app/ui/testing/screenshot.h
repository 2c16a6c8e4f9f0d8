// Screenshots for reviewers: `ctest -L screenshots` renders windows to PNG files in the build
// folder's screenshots/ directory.
#pragma once

#include <QString>

class QWidget;

namespace quillon::ui::testing {

// Renders `widget` to <build>/screenshots/<name>.png and returns the file's path (empty when it
// could not be written).
QString SaveScreenshot(QWidget& widget, const QString& name);

}  // namespace quillon::ui::testing
