#include "ntrip/reply.h"

namespace quillon {

bool ReplyContains(std::string_view received, std::string_view token) {
  const auto end = received.find('\0');
  if (end != std::string_view::npos) received = received.substr(0, end);
  return received.find(token) != std::string_view::npos;
}

}  // namespace quillon
