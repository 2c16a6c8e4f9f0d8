#include "app/cli/password_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>
#include <string>
#include <utility>

#include "app/cli/session_options.h"
#include "platform/wait_step.h"
#include "testing/hooked_clock.h"
#include "testing/temp_folder.h"

namespace quillon::cli {
namespace {

TEST(PasswordFile, IsTheFilesFirstLineOrTheEnvironmentsAndAPipeIsAwaitedWithinItsBound) {
  using enum PasswordFileRead;
  constexpr std::uint64_t kActAtMs = 2000;  // when a pipe's writer or the user acts, on the clock
  const quillon::testing::TempFolder folder;
  const std::string file = (folder.Path() / "password").string();
  const std::string fifo = (folder.Path() / "fifo").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  int piped[2];
  ASSERT_EQ(pipe(piped), 0);
  ASSERT_EQ(write(piped[1], "piped\n", 6), 6);
  close(piped[1]);
  std::string e15;  // 15 letters in 30 bytes
  for (int i = 0; i < 15; ++i) e15 += "\xC3\xA9";
  const struct {
    std::string path;                        // of --password-file; empty: not given
    std::string content;                     // of `file`, or what the pipe's writer writes
    std::optional<std::string> environment;  // QUILLON_PASSWORD
    PasswordFileRead read;
    std::optional<std::u16string> password;  // applied after kRead
    const char* refusal = "";
    bool writerComes = true, writerStays = false, userStops = false;  // a named pipe's
  } cases[] = {
      {file, "s3cret\r\nsecond line\n", "from-env", kRead, u"s3cret"},
      {"", "", "from-env", kRead, u"from-env"},
      {"", "", std::nullopt, kRead, std::nullopt},  // nothing given: nothing to apply
      {file, e15 + "\n", std::nullopt, kRead, std::u16string(15, u'\u00E9')},
      {"/dev/fd/" + std::to_string(piped[0]), "", "env", kRead, u"piped"},
      {file, std::string(255, 'x') + "\r\n", std::nullopt, kRead, std::u16string(255, u'x')},
      {file, std::string(256, 'x') + "\n", std::nullopt, kRefused, {}, "at most 255 bytes"},
      {file, std::string(255, 'x') + "\ry\n", std::nullopt, kRefused, {}, "at most 255 bytes"},
      {file, "pw\rX-Evil: 1\n", std::nullopt, kRefused, {}, "takes no control characters"},
      {"", "", "pw\r\nX-Evil: 1", kRefused, {}, "takes no control characters"},
      // What is no file (a folder, a device without end) is refused unread.
      {folder.Path().string(), "", "env", kRefused, {}, "is no readable file"},
      {"/dev/zero", "", "env", kRefused, {}, "is no readable file"},
      {"/nonexistent/quillon-password", "", "env", kRefused, {}, "is no readable file"},
      {fifo, "", std::nullopt, kRefused, {}, "no line came from", false},  // nobody writes
      {fifo, "s3cret\nrest", std::nullopt, kRead, u"s3cret", "", true, true},
      {fifo, "s3cret", std::nullopt, kRead, u"s3cret"},  // a line without its end
      {fifo, "s3c", std::nullopt, kRefused, {}, "no line came from", true, true},  // then silence
      {fifo, "", std::nullopt, kRead, u""},  // a writer that says nothing
      {fifo, "", std::nullopt, kStopAsked, {}, "", false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path + " " + c.content.substr(0, 20));
    if (c.path == file) std::ofstream(file, std::ios::binary) << c.content;
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    quillon::testing::HookedClock clock(1);
    std::optional<int> writer;
    bool acted = false;
    clock.beforeWait = [&](int) {
      if (c.path != fifo || acted || clock.Elapsed() < kActAtMs) return;
      acted = true;
      if (c.userStops) {
        ASSERT_EQ(write(stop[1], "x", 1), 1);
      }
      if (!c.writerComes) return;
      // Without blocking: the reader already holds the pipe open.
      writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      ASSERT_GE(*writer, 0);
      ASSERT_EQ(write(*writer, c.content.data(), c.content.size()),
                static_cast<ssize_t>(c.content.size()));
      if (!c.writerStays) close(*std::exchange(writer, std::nullopt));
    };
    SessionOptions options;
    std::string error;
    const Arguments args = c.path.empty() ? Arguments{} : Arguments{"--password-file", c.path};
    const PasswordFileRead read =
        ParseSessionOptions(args, kRoverOptions, c.environment, options, error)
            ? TakePasswordFile(options, {clock, stop[0]}, error)
            : kRefused;
    EXPECT_EQ(read, c.read) << error;
    EXPECT_NE(error.find(c.refusal), std::string::npos) << error;
    if (read == kRead) {
      EXPECT_EQ(options.password, c.password);
    }
    if (c.path == fifo) {
      // Refused at the bound; read or left within a wait step of the writer or the user acting.
      const std::uint64_t from = read == kRefused ? kPasswordFileWaitMs : kActAtMs;
      EXPECT_GE(clock.Elapsed(), from);
      EXPECT_LT(clock.Elapsed(), from + (read == kRefused ? 1 : kWaitStepMs));
    }
    if (writer) close(*writer);
    close(stop[0]);
    close(stop[1]);
  }
  close(piped[0]);
}

}  // namespace
}  // namespace quillon::cli
