#include "app/ui/testing/qt_application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <memory>

namespace quillon::ui::testing {
namespace {

QtMessageHandler previousHandler = nullptr;

// The offscreen platform warns about every dialog it sizes; the warning says nothing to a test.
void QuietOffscreenMessages(QtMsgType type, const QMessageLogContext& context,
                            const QString& message) {
  if (message.contains(QStringLiteral("does not support propagateSizeHints"))) return;
  if (previousHandler != nullptr) {
    previousHandler(type, context, message);
  } else {
    std::fprintf(stderr, "%s\n", qPrintable(message));
  }
}

class QtApplicationEnvironment final : public ::testing::Environment {
 public:
  void SetUp() override {
    previousHandler = qInstallMessageHandler(QuietOffscreenMessages);
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "quillon-tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] const auto* const registered =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace

void WhenIdle(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

QString SaveScreenshot(QWidget& widget, const QString& name) {
  const QDir folder(QStringLiteral(QUILLON_SCREENSHOT_DIR));
  if (!folder.mkpath(QStringLiteral("."))) return {};
  const QString path = folder.filePath(name + QStringLiteral(".png"));
  return widget.grab().save(path) ? path : QString();
}

}  // namespace quillon::ui::testing
