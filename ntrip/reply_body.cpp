#include "ntrip/reply_body.h"

#include <algorithm>

namespace quillon {

ReplyBody ReplyBody::For(const ReplyHead& head) {
  if (head.chunked) return Chunked();
  if (head.contentLength) return Length(*head.contentLength);
  return UntilClose();
}

void ReplyBody::Feed(std::string_view bytes, std::string& payload) {
  switch (framing_) {
    case Framing::kUntilClose:
      payload.append(bytes);
      return;
    case Framing::kLength: {
      const std::size_t take = std::min(left_, bytes.size());
      payload.append(bytes.substr(0, take));
      left_ -= take;
      return;
    }
    case Framing::kChunked:
      chunks_.Feed(bytes, payload);
      return;
    case Framing::kIcyStream:
      payload.append(headers_.Pass(bytes));
      return;
  }
}

void ReplyBody::Flush(std::string& payload) {
  if (framing_ == Framing::kIcyStream && headers_.Holding()) payload.append(headers_.Flush());
}

bool ReplyBody::Done() const {
  if (framing_ == Framing::kLength) return left_ == 0;
  return framing_ == Framing::kChunked && chunks_.Done();
}

}  // namespace quillon
