#include "session/stream_log.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>

#include "common/guard.h"
#include "platform/system_error.h"
#include "session/session_status.h"

namespace quillon {
namespace {

constexpr std::string_view kTraceFile = "stream_log";
// The longest wait for bytes: a retry or a removal that comes due is seen within it.
constexpr std::uint32_t kWaitMs = 1000;
constexpr std::time_t kDaySeconds = 86'400;

// Makes the folders `path` lies in that are missing, private to the owner and the group (within
// the umask); 0 or the error.
int MakeFolders(const std::filesystem::path& path) {
  std::filesystem::path folder;
  for (const std::filesystem::path& part : path.parent_path()) {
    folder /= part;
    if (mkdir(folder.c_str(), 0750) != 0 && errno != EEXIST) return errno;
  }
  return 0;
}

}  // namespace

LogWarning WarningsOf(SessionStatus& status) {
  return [&status](const std::string& text) {
    std::lock_guard guard(status.lock);
    status.streamWarnings.push_back(text);
  };
}

StreamLog::StreamLog(FanOut& source, LogPattern pattern, int keepDays, Clock& clock,
                     LogWarning warn)
    : source_(source),
      pattern_(std::move(pattern)),
      keepDays_(keepDays),
      clock_(clock),
      warn_(std::move(warn)),
      stop_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      worker_([this] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof one);
      }) {
  if (stop_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  source_.Attach(queue_);
}

StreamLog::~StreamLog() {
  Stop();
  close(stop_);
}

void StreamLog::Start() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(stop_, &count, sizeof count);
  worker_.Start([this] { Run(); }, "quillon-log");
}

void StreamLog::Stop() {
  if (attached_) source_.Detach(queue_);
  attached_ = false;
  worker_.End();
  Guarded(kTraceFile, __LINE__, [&] { WriteWaiting(); });
  if (file_ >= 0) close(file_);
  file_ = -1;
}

void StreamLog::Run() {
  for (;;) {
    std::array<pollfd, 2> entries = {{{queue_.WakeHandle(), POLLIN, 0}, {stop_, POLLIN, 0}}};
    clock_.WaitAny(entries, kWaitMs);
    if (entries[1].revents != 0) return;
    Guarded(kTraceFile, __LINE__, [&] { Pass(); });
  }
}

void StreamLog::Pass() {
  queue_.ClearWake();
  RemoveOld();
  if (failing_ && static_cast<std::int32_t>(clock_.TickCount() - retryAt_) < 0) return;
  WriteWaiting();
}

bool StreamLog::WriteWaiting() {
  bool wrote = false;
  for (std::string_view bytes = queue_.Front(); !bytes.empty(); bytes = queue_.Front()) {
    if (!OpenCurrent()) return false;
    const ssize_t written = write(file_, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    // A full disk or a file-size limit takes what fits, then fails.
    if (written <= 0) {
      Failed(name_, written < 0 ? errno : ENOSPC);
      return false;
    }
    queue_.Take(static_cast<std::size_t>(written));
    wrote = true;
  }
  // Working again once all that waited has gone: a disk that takes a little now and then is
  // told of once.
  if (wrote) failing_ = false;
  return true;
}

bool StreamLog::OpenCurrent() {
  std::string name = pattern_.NameAt(clock_.Now());
  if (name < name_) name = name_;  // a clock set back: stay in the later file
  if (file_ >= 0 && name == name_) return true;
  if (file_ >= 0) close(file_);
  file_ = -1;
  name_ = name;
  if (name.empty()) {
    Failed(pattern_.Text(), ENAMETOOLONG);
    return false;
  }
  int error = MakeFolders(name);
  if (error == 0) {
    file_ = open(name.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640);
    if (file_ < 0) error = errno;
  }
  if (error == 0) return true;
  Failed(name, error);
  return false;
}

void StreamLog::Failed(const std::string& name, int error) {
  if (file_ >= 0) close(file_);
  file_ = -1;
  retryAt_ = clock_.TickCount() + kLogRetryMs;
  if (failing_) return;
  failing_ = true;
  warn_("The log cannot be written to " + name + " (" + SystemErrorText(error) +
        "); it is tried again each minute.");
}

void StreamLog::RemoveOld() {
  if (keepDays_ <= 0) return;
  const std::uint32_t now = clock_.TickCount();
  if (removedAt_ && now - *removedAt_ < kLogPruneEveryMs) return;
  removedAt_ = now;
  const std::time_t oldest = clock_.Now() - keepDays_ * kDaySeconds;
  namespace fs = std::filesystem;
  std::error_code error;
  for (fs::recursive_directory_iterator
           entry(pattern_.Root(), fs::directory_options::skip_permission_denied, error),
       end;
       !error && entry != end; entry.increment(error)) {
    if (entry.depth() >= pattern_.Depth()) entry.disable_recursion_pending();
    const std::string name =
        pattern_.RootText() + entry->path().lexically_relative(pattern_.Root()).string();
    struct stat file {};
    // Only regular files (no links) with a name the pattern gives, last written before `oldest`.
    if (entry.depth() != pattern_.Depth() || name == name_ || !pattern_.Gives(name) ||
        lstat(name.c_str(), &file) != 0 || !S_ISREG(file.st_mode) || file.st_mtime >= oldest) {
      continue;
    }
    unlink(name.c_str());
  }
}

}  // namespace quillon
