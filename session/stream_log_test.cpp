// The stream log: the files in name order hold every byte, folders made, only the pattern's own
// old files removed, a full disk told of once and written again later, and the thread's stop.
#include "session/stream_log.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "testing/temp_folder.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

// Every regular file below `root`, read in name order.
std::string Concatenated(const fs::path& root) {
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) names.insert(entry.path().string());
  }
  std::string all;
  for (const std::string& name : names) all += Read(name);
  return all;
}

class StreamLogTest : public ::testing::Test {
 protected:
  StreamLog& Log(const std::string& pattern, int keepDays = 0) {
    log.reset();
    return log.emplace(source, LogPattern((folder.Path() / pattern).string()), keepDays, clock,
                       [this](const std::string& text) { warnings.push_back(text); });
  }
  // Delivers `bytes` and lets the log write them.
  void Write(std::string_view bytes) {
    source.Deliver(bytes);
    log->Pass();
  }

  testing::TempFolder folder;
  testing::VirtualClock clock;  // 2023-11-14 22:13:20 UTC
  FanOut source;
  std::vector<std::string> warnings;
  std::optional<StreamLog> log;
};

TEST_F(StreamLogTest, InNameOrderTheFilesHoldEveryByteAcrossNameChangesAndRestarts) {
  const mode_t umaskBefore = umask(022);
  const std::string pattern = "a/%Y%m%d%H/%M%S.raw";
  Log(pattern);
  Write("one,");
  clock.Advance(900);
  source.Deliver("two,");  // written by the stop
  Log(pattern);            // the same name again: appended to
  Write("three,");
  for (const std::uint64_t ms : {1000, 58'000, 2000, 3'600'000}) {
    clock.Advance(ms);
    Write(std::to_string(ms) + ",");
  }
  log.reset();
  umask(umaskBefore);
  EXPECT_EQ(Concatenated(folder.Path()), "one,two,three,1000,58000,2000,3600000,");
  EXPECT_EQ(Read(folder.Path() / "a/2023111422/1421.raw"), "2000,");
  EXPECT_EQ(fs::status(folder.Path() / "a").permissions(), fs::perms(0750));
  EXPECT_EQ(fs::status(folder.Path() / "a/2023111423").permissions(), fs::perms(0750));
}

TEST_F(StreamLogTest, KeepRemovesOnlyThePatternsOwnFilesOlderThanItsDaysOnceAnHour) {
  StreamLog& log = Log("raw/%Y-%m-%d.rtcm3", 7);
  const fs::path raw = folder.Path() / "raw";
  fs::create_directories(raw / "sub");
  const auto make = [&](const std::string& name, int daysOld) {
    std::ofstream(raw / name) << "x";
    const timespec written{clock.Now() - daysOld * 86'400, 0};
    const timespec times[2] = {written, written};
    utimensat(AT_FDCWD, (raw / name).c_str(), times, 0);
  };
  const struct {
    const char* name;
    int daysOld;
    bool stays;
  } files[] = {
      {"2023-11-01.rtcm3", 13, false}, {"2023-11-08.rtcm3", 6, true},
      {"notes.txt", 30, true},         {"2023-10-01.rtcm3.bak", 30, true},
      {"2023-10-1.rtcm3", 30, true},   {"sub/2023-10-02.rtcm3", 30, true},
      {"2023-10-01.RTCM3", 30, true},
  };
  for (const auto& file : files) make(file.name, file.daysOld);
  log.Pass();
  for (const auto& file : files) EXPECT_EQ(fs::exists(raw / file.name), file.stays) << file.name;

  make("2023-10-03.rtcm3", 40);
  clock.Advance(kLogPruneEveryMs - 1);
  log.Pass();
  EXPECT_TRUE(fs::exists(raw / "2023-10-03.rtcm3"));
  clock.Advance(1);
  log.Pass();
  EXPECT_FALSE(fs::exists(raw / "2023-10-03.rtcm3"));
}

// A file-size limit stands for the full disk: it holds for root too.
TEST_F(StreamLogTest, AFullDiskIsToldOfOnceAndTheLogGoesOnAMinuteAfterItHasRoomAgain) {
  StreamLog& log = Log("%Y%m%d%H.raw");
  std::string bytes;
  for (int i = 0; i < 3000; ++i) bytes += static_cast<char>('a' + i % 23);
  rlimit before{};
  getrlimit(RLIMIT_FSIZE, &before);
  const auto xfsz = std::signal(SIGXFSZ, SIG_IGN);
  const auto limitTo = [&](rlim_t size) {
    const rlimit limit{size, before.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  limitTo(1000);
  Write(bytes.substr(0, 1500));
  Write(bytes.substr(1500, 500));
  clock.Advance(kLogRetryMs);
  log.Pass();
  limitTo(before.rlim_cur);
  Write(bytes.substr(2000));
  EXPECT_EQ(Concatenated(folder.Path()).size(), 1000u);
  clock.Advance(kLogRetryMs);
  log.Pass();
  EXPECT_TRUE(Concatenated(folder.Path()) == bytes);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("2023111422.raw (File too large); it is tried again"),
            std::string::npos);
  limitTo(1000);  // full again, after it had caught up
  Write("more");
  limitTo(before.rlim_cur);
  std::signal(SIGXFSZ, xfsz);
  EXPECT_EQ(warnings.size(), 2u);
}

TEST_F(StreamLogTest, TheThreadWritesAsBytesComeAndItsStopLetsNoMoreIn) {
  StreamLog& log = Log("%Y.raw");
  const fs::path file = folder.Path() / "2023.raw";
  log.Start();
  source.Deliver("first,");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (Read(file) != "first," && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::yield();
  }
  EXPECT_EQ(Read(file), "first,");
  source.Deliver("second,");
  log.Stop();
  source.Deliver("late");
  log.Stop();
  EXPECT_EQ(Read(file), "first,second,");
}

}  // namespace
}  // namespace quillon
