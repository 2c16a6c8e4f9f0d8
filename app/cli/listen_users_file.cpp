#include "app/cli/listen_users_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <string_view>

#include "app/cli/private_file.h"
#include "common/printable_text.h"
#include "serve/caster_request.h"

namespace quillon::cli {

bool ReadListenUsersFile(const std::string& path, std::vector<std::string>& tokens,
                         std::string& error) {
  const auto refuse = [&](std::size_t line, std::string_view problem) {
    error = "--listen-users " + PrintableText(path) + (line > 0 ? ":" + std::to_string(line) : "") +
            ": " + std::string(problem);
    return false;
  };
  std::string text;
  switch (ReadPrivateFile(path, S_IRWXG | S_IRWXO, kMaxListenUsersFileBytes, text)) {
    case PrivateFileRead::kRead:
      break;
    case PrivateFileRead::kNoFile:
      return refuse(0, "is no readable file");
    case PrivateFileRead::kUnreadable:
      return refuse(0, "cannot be read");
    case PrivateFileRead::kTooLarge:
      return refuse(0, "is larger than " + std::to_string(kMaxListenUsersFileBytes) + " bytes");
    case PrivateFileRead::kOpen:
      return refuse(0, "can be read by other users (it holds passwords): chmod 600 it");
  }
  std::vector<std::string> read;
  for (std::size_t start = 0, number = 1; start < text.size(); ++number) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view line = std::string_view(text).substr(start, end - start);
    start = end + 1;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.starts_with('#')) continue;
    if (std::any_of(line.begin(), line.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
      return refuse(number, "a control character");
    }
    const std::size_t colon = line.find(':');
    if (colon == 0 || colon == std::string_view::npos)
      return refuse(number, "expected user:password");
    read.push_back(BasicToken(line.substr(0, colon), line.substr(colon + 1)));
  }
  if (read.empty()) return refuse(0, "names no user");
  tokens = std::move(read);
  return true;
}

}  // namespace quillon::cli
