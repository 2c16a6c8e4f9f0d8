#include "ntrip/reply.h"

#include "common/printable_text.h"

namespace quillon {

bool ReplyContains(std::string_view received, std::string_view token) {
  const auto end = received.find('\0');
  if (end != std::string_view::npos) received = received.substr(0, end);
  return received.find(token) != std::string_view::npos;
}

std::string DescribeCasterReply(std::string_view reply) {
  constexpr std::size_t kShown = 80;
  if (reply.find(kSourceTableSuccessToken) != std::string_view::npos) {
    return "The caster answered with its source table: the mount point does not exist there.";
  }
  const std::size_t begin = reply.find_first_not_of("\r\n");
  if (begin == std::string_view::npos) return "The caster sent no reply.";
  reply.remove_prefix(begin);
  const std::string_view line = reply.substr(0, reply.find_first_of("\r\n"));
  const bool cut = line.size() > kShown;
  return "The caster replied \"" + PrintableText(line.substr(0, kShown)) + (cut ? "...\"." : "\".");
}

}  // namespace quillon
