// The file names of a stream log: a strftime pattern in UTC, such as
// "/var/lib/quillon-base/raw/%Y-%m-%d_%H.rtcm3", read both ways: the name for a time, and
// whether a name found on disk is one the pattern gives.
#pragma once

#include <cstddef>
#include <ctime>
#include <filesystem>
#include <string>

namespace quillon {

// The longest pattern the command line takes.
inline constexpr std::size_t kMaxLogPatternBytes = 1024;

class LogPattern {
 public:
  explicit LogPattern(std::string pattern);

  const std::string& Text() const { return pattern_; }
  // The name at `time` (UTC); empty when it would be empty or longer than a path may be.
  std::string NameAt(std::time_t time) const;
  // Whether the pattern gives exactly `name` at some time: the name is read with the pattern and
  // the time read is formatted again, so that nothing the pattern could not have made matches.
  bool Gives(const std::string& name) const;

  // The folder every name lies in: what comes before the first field, up to its last '/'.
  const std::filesystem::path& Root() const { return root_; }
  // The pattern's text before Root's names, so that a name is this plus a path below Root.
  const std::string& RootText() const { return rootText_; }
  // How many folders below Root a name lies.
  int Depth() const { return depth_; }

 private:
  std::string pattern_;
  std::string rootText_;
  std::filesystem::path root_;
  int depth_ = 0;
};

// Empty when the pattern can name a log's files; else why not, for the user. Its names, over a
// sample of times past every boundary a field can turn at (seconds to years, leap days and ISO
// weeks included), must be neither empty nor too long, hold no control characters (%n, %t) and,
// sorted as text, come in time order. The sample can prove a fault, not the order: a pattern
// that passes may still turn outside it (%y in 2100).
std::string LogPatternFault(const LogPattern& pattern);

}  // namespace quillon
