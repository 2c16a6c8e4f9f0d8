// The password file as a named pipe: read when its writer sends the line, refused when none
// does within the bound, and given up at once when the user asks to stop.
#include "app/cli/password_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <string>
#include <utility>

#include "platform/wait_step.h"
#include "testing/hooked_clock.h"
#include "testing/temp_folder.h"

namespace quillon::cli {
namespace {

TEST(PasswordFile, ANamedPipeIsReadWhenItsLineComesRefusedAfterTheBoundAndLeftAtAStop) {
  constexpr std::uint64_t kActAtMs = 2000;  // when the writer or the user acts, on the clock
  const struct Case {
    const char* name;
    const char* writes;  // null: no writer comes
    bool keepsOpen;      // the writer stays after writing
    bool stop;           // the user asks to stop instead
    PasswordFileRead expected;
    const char* passwordOrRefusal;
  } cases[] = {
      {"nobody writes", nullptr, false, false, PasswordFileRead::kRefused,
       "no line came from"},
      {"a line comes", "s3cret\nrest", true, false, PasswordFileRead::kRead, "s3cret"},
      {"a line without its end", "s3cret", false, false, PasswordFileRead::kRead, "s3cret"},
      {"half a line, then silence", "s3c", true, false, PasswordFileRead::kRefused,
       "no line came from"},
      {"a writer that says nothing", "", false, false, PasswordFileRead::kRead, ""},
      {"the user stops", nullptr, false, true, PasswordFileRead::kStopAsked, ""},
  };
  const quillon::testing::TempFolder folder;
  const std::string fifo = (folder.Path() / "password").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int stop[2];
    ASSERT_EQ(pipe(stop), 0);
    quillon::testing::HookedClock clock(1);
    std::optional<int> writer;
    bool acted = false;
    clock.beforeWait = [&](int) {
      if (acted || clock.Elapsed() < kActAtMs) return;
      acted = true;
      if (c.stop) {
        ASSERT_EQ(write(stop[1], "x", 1), 1);
      }
      if (c.writes == nullptr) return;
      // Without blocking: the reader already holds the pipe open.
      writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
      ASSERT_GE(*writer, 0);
      const auto length = static_cast<ssize_t>(std::char_traits<char>::length(c.writes));
      ASSERT_EQ(write(*writer, c.writes, static_cast<std::size_t>(length)), length);
      if (!c.keepsOpen) close(*std::exchange(writer, std::nullopt));
    };
    std::string password;
    std::string error;
    EXPECT_EQ(ReadPasswordFile(fifo, {clock, stop[0]}, password, error), c.expected);
    if (c.expected == PasswordFileRead::kRefused) {
      EXPECT_NE(error.find(c.passwordOrRefusal), std::string::npos) << error;
      EXPECT_EQ(clock.Elapsed(), kPasswordFileWaitMs);
    } else {
      EXPECT_EQ(password, c.passwordOrRefusal);
      // Read or left as soon as the writer or the user acted, within a step of the wait.
      EXPECT_GE(clock.Elapsed(), kActAtMs);
      EXPECT_LT(clock.Elapsed(), kActAtMs + kWaitStepMs);
    }
    if (writer) close(*writer);
    close(stop[0]);
    close(stop[1]);
  }
}

}  // namespace
}  // namespace quillon::cli
