#include "session/log_pattern.h"

#include <climits>
#include <string_view>
#include <utility>

namespace quillon {

LogPattern::LogPattern(std::string pattern) : pattern_(std::move(pattern)) {
  const std::size_t field = pattern_.find('%');
  const std::size_t slash = pattern_.rfind('/', field);
  if (slash != std::string::npos) {
    rootText_ = pattern_.substr(0, slash + 1);
    root_ = rootText_;
  } else {
    root_ = ".";
  }
  for (std::size_t at = rootText_.size(); at < pattern_.size(); ++at) {
    if (pattern_[at] == '/') ++depth_;
  }
}

std::string LogPattern::NameAt(std::time_t time) const {
  std::tm fields{};
  if (pattern_.empty() || gmtime_r(&time, &fields) == nullptr) return {};
  char name[PATH_MAX];
  const std::size_t size = std::strftime(name, sizeof name, pattern_.c_str(), &fields);
  return std::string(name, size);
}

bool LogPattern::Gives(const std::string& name) const {
  std::tm fields{};
  fields.tm_mday = 1;
  fields.tm_year = 70;
  const char* end = strptime(name.c_str(), pattern_.c_str(), &fields);
  if (end == nullptr || *end != '\0') return false;
  const std::time_t time = timegm(&fields);
  return !name.empty() && NameAt(time) == name;
}

std::string LogPatternFault(const LogPattern& pattern) {
  // From 2024-12-30 23:59:00 UTC: seconds over two minutes, minutes over two hours, hours over
  // two days (a year's end), days over four years (months, a leap day, ISO weeks).
  constexpr std::time_t kStart = 1'735'603'140;
  struct Run {
    std::time_t step;
    int count;
  };
  for (const Run run : {Run{1, 120}, Run{60, 120}, Run{3600, 48}, Run{86400, 4 * 366}}) {
    std::string before = pattern.NameAt(kStart);
    for (int i = 1; i <= run.count; ++i) {
      std::string name = pattern.NameAt(kStart + run.step * i);
      if (name.empty()) return "it gives no file name (or one too long)";
      for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return "its names hold control characters";
      }
      if (name < before) {
        return "its names do not sort in time order (\"" + name + "\" sorts before the earlier \"" +
               before + "\"): put the larger units first, as in %Y-%m-%d_%H";
      }
      before = std::move(name);
    }
  }
  return {};
}

}  // namespace quillon
