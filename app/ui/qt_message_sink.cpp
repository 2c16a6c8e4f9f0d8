#include "app/ui/qt_message_sink.h"

#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <algorithm>

#include "app/ui/handheld.h"

namespace quillon::ui {

struct QtMessageSink::Request {
  Message message;
  // Guarded by the sink's mutex.
  bool done = false;
  MessageAnswer answer = MessageAnswer::kDismissed;
  // User-interface thread only.
  QPointer<QMessageBox> box;
  QEventLoop* loop = nullptr;
};

namespace {

MessageAnswer AnswerOf(const QMessageBox& box, MessageButtons buttons) {
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
      return MessageAnswer::kYes;
    case QMessageBox::No:
      return MessageAnswer::kNo;
    case QMessageBox::Ok:
      return MessageAnswer::kOk;
    default:
      // Closed without a button: a question counts as No, a notice as read.
      return buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
  }
}

}  // namespace

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kExclamation:
      return QMessageBox::Warning;
    case MessageIcon::kInformation:
      return QMessageBox::Information;
    case MessageIcon::kError:
      return QMessageBox::Critical;
    case MessageIcon::kNone:
      break;
  }
  return QMessageBox::NoIcon;
}

QString BoxCaption(const Message& message) {
  return QString::fromStdU16String(message.caption.empty() ? std::u16string(kApplicationName)
                                                           : message.caption);
}

QString DisplayText(std::u16string_view text) {
  QString shown = QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

QtMessageSink::QtMessageSink() = default;

QtMessageSink::~QtMessageSink() {
  DismissAll();
  // Boxes already closed may still wait for their deferred deletion.
  for (const auto& box : boxes_) delete box.data();
}

MessageAnswer QtMessageSink::Show(const Message& message) {
  auto request = std::make_shared<Request>();
  request->message = message;

  if (OnUiThread()) {
    {
      std::lock_guard lock(mutex_);
      pending_.push_back(request);
    }
    Present(request);
    QEventLoop loop;
    bool wait = false;
    {
      std::lock_guard lock(mutex_);
      wait = !request->done;
    }
    if (wait) {
      request->loop = &loop;
      loop.exec();
      request->loop = nullptr;
    }
  } else {
    std::unique_lock lock(mutex_);
    if (refusingWorkers_) return MessageAnswer::kDismissed;
    pending_.push_back(request);
    lock.unlock();
    QMetaObject::invokeMethod(
        this, [this, request] { Present(request); }, Qt::QueuedConnection);
    lock.lock();
    answered_.wait(lock, [&] { return request->done; });
  }

  std::lock_guard lock(mutex_);
  pending_.erase(std::remove(pending_.begin(), pending_.end(), request), pending_.end());
  return request->answer;
}

void QtMessageSink::DismissAll() {
  std::vector<std::shared_ptr<Request>> open;
  {
    std::lock_guard lock(mutex_);
    refusingWorkers_ = true;
    for (const auto& request : pending_) {
      if (!request->done) {
        request->done = true;
        request->answer = MessageAnswer::kDismissed;
      }
    }
    open = pending_;
  }
  answered_.notify_all();

  // Workers may ask again once the user-interface thread handles events again.
  QMetaObject::invokeMethod(
      this,
      [this] {
        std::lock_guard lock(mutex_);
        refusingWorkers_ = false;
      },
      Qt::QueuedConnection);

  auto close = [open] {
    for (const auto& request : open) {
      if (request->box) request->box->done(QDialog::Rejected);
      if (request->loop != nullptr) request->loop->quit();
    }
  };
  if (OnUiThread()) {
    close();
  } else {
    QMetaObject::invokeMethod(this, close, Qt::QueuedConnection);
  }
}

std::size_t QtMessageSink::Unanswered() {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(
      std::count_if(pending_.begin(), pending_.end(), [](const auto& r) { return !r->done; }));
}

void QtMessageSink::SetBoxShownHook(BoxShownHook hook) { boxShown_ = std::move(hook); }

void QtMessageSink::Present(const std::shared_ptr<Request>& request) {
  {
    std::lock_guard lock(mutex_);
    if (request->done) return;  // dismissed before it could be shown
  }
  const Message& message = request->message;
  auto* box =
      new QMessageBox(BoxIcon(message.icon), BoxCaption(message), DisplayText(message.text),
                      message.buttons == MessageButtons::kYesNo ? QMessageBox::Yes | QMessageBox::No
                                                                : QMessageBox::Ok,
                      MainWindow());
  box->setWindowModality(Qt::ApplicationModal);
  // The reason line that the command line prints (a certificate's fault, the caster's own
  // words) is one click away under the text.
  if (!message.detail.empty()) box->setDetailedText(DisplayText(message.detail));
  request->box = box;
  boxes_.erase(std::remove(boxes_.begin(), boxes_.end(), nullptr), boxes_.end());
  boxes_.emplace_back(box);
  connect(box, &QDialog::finished, this, [this, request, box] {
    Complete(request, AnswerOf(*box, request->message.buttons));
    box->deleteLater();
  });
  connect(box, &QObject::destroyed, this,
          [this, request] { Complete(request, MessageAnswer::kDismissed); });
  box->show();
  if (boxShown_) boxShown_(*box);
}

void QtMessageSink::Complete(const std::shared_ptr<Request>& request, MessageAnswer answer) {
  {
    std::lock_guard lock(mutex_);
    if (!request->done) {
      request->done = true;
      request->answer = answer;
    }
  }
  answered_.notify_all();
  if (request->loop != nullptr) request->loop->quit();
}

bool QtMessageSink::OnUiThread() const { return QThread::currentThread() == thread(); }

}  // namespace quillon::ui
