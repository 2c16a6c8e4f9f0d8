// How the program's own caster answers one request head: the mount point's stream, the source
// table, a browser's page, or a refusal, each in the NTRIP version the request came in.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serve/listener_content.h"

namespace quillon {

// The longest request head taken; a longer one is closed unanswered.
inline constexpr std::size_t kMaxRequestHeadBytes = 4096;

struct CasterRules {
  std::string mountPoint;
  // The Basic credentials accepted, each the Base64 of "user:password" (BasicToken); empty: the
  // mount point is open.
  std::vector<std::string> basicTokens;
};

// What an "Authorization: Basic" header carries for `user` and `password`.
std::string BasicToken(std::string_view user, std::string_view password);

struct CasterAnswer {
  std::string reply;     // the reply's head and any body, as they go out
  bool stream = false;   // the mount point's bytes follow the reply
  bool chunked = false;  // ... in chunks (NTRIP 2)
};

// The bytes of the head at the start of `received`, its empty line included; nothing while it
// has not ended.
std::optional<std::size_t> RequestHeadLength(std::string_view received);

// The answer to `head` (a whole head, RequestHeadLength's bytes). `full`: the listener has all
// the clients it takes, so a request for the stream is refused with 503.
CasterAnswer AnswerRequest(std::string_view head, const CasterRules& rules,
                           ListenerContent& content, bool full);

}  // namespace quillon
