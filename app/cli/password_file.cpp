#include "app/cli/password_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/file_descriptor.h"
#include "common/printable_text.h"
#include "platform/wait_step.h"

namespace quillon::cli {
namespace {

bool IsRegularFileOrPipe(const struct stat& info) {
  return S_ISREG(info.st_mode) || S_ISFIFO(info.st_mode);
}

}  // namespace

PasswordFileRead ReadPasswordFile(const std::string& path, const PasswordFileWait& wait,
                                  std::string& password, std::string& error) {
  const std::string shown = PrintableText(path);
  const auto refuse = [&](const std::string& why) {
    error = "--password-file: " + why;
    return PasswordFileRead::kRefused;
  };
  struct stat info {};
  // Looked at before opening: opening a device can have effects of its own.
  if (::stat(path.c_str(), &info) != 0 || !IsRegularFileOrPipe(info)) {
    return refuse(shown + " is no readable file");
  }
  // Without O_NONBLOCK, opening a named pipe waits for a writer, for ever if none comes.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !IsRegularFileOrPipe(info)) {
    return refuse("cannot read " + shown);
  }

  Clock& clock = wait.clock;
  const StopRequested stopAsked = [&] {
    return wait.stopFd >= 0 && clock.WaitReadable(wait.stopFd, 0) > 0;
  };
  const std::uint32_t start = clock.TickCount();
  std::string text;
  char buffer[kPasswordFileReadMax];
  while (text.size() < kPasswordFileReadMax && text.find('\n') == std::string::npos) {
    // A pipe that no writer has opened yet reads as ended; readable, it has bytes or its
    // writer has been and gone.
    const std::uint32_t passed = clock.TickCount() - start;
    const WaitEnd waited =
        passed >= kPasswordFileWaitMs
            ? WaitEnd::kTimedOut
            : WaitInSteps(clock, kPasswordFileWaitMs - passed, stopAsked,
                          [&](std::uint32_t ms) { return clock.WaitReadable(fd.get(), ms); });
    if (waited == WaitEnd::kStopped) return PasswordFileRead::kStopAsked;
    if (waited == WaitEnd::kTimedOut) {
      return refuse("no line came from " + shown + " within " +
                    std::to_string(kPasswordFileWaitMs / 1000) + " seconds");
    }
    const ssize_t got =
        waited == WaitEnd::kReady ? ::read(fd.get(), buffer, kPasswordFileReadMax - text.size())
                                  : -1;
    if (got == 0) break;
    if (got > 0) {
      text.append(buffer, static_cast<std::size_t>(got));
    } else if (errno != EAGAIN && errno != EINTR) {
      return refuse("cannot read " + shown);
    }
  }
  password = text.substr(0, text.find('\n'));
  if (!password.empty() && password.back() == '\r') password.pop_back();
  return PasswordFileRead::kRead;
}

}  // namespace quillon::cli
