// What follows an accepted reply, decoded into the bytes that are the caster's payload: a version
// 2 body (chunked, Content-Length bytes, or everything until the close) or the stream behind a
// version 1 "ICY 200 OK" (header lines taken out, see ReplyHeaderFilter).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ntrip/chunked_body.h"
#include "ntrip/reply_head.h"
#include "ntrip/reply_header_filter.h"

namespace quillon {

class ReplyBody {
 public:
  enum class Framing {
    kUntilClose,  // every byte until the caster closes
    kLength,      // Content-Length bytes
    kChunked,     // Transfer-Encoding: chunked
    kIcyStream,   // a version 1 stream: header lines behind the status line taken out
  };

  // Every byte until the close.
  ReplyBody() = default;
  static ReplyBody UntilClose() { return ReplyBody(Framing::kUntilClose, 0); }
  static ReplyBody Length(std::size_t length) { return ReplyBody(Framing::kLength, length); }
  static ReplyBody Chunked() { return ReplyBody(Framing::kChunked, 0); }
  static ReplyBody IcyStream() { return ReplyBody(Framing::kIcyStream, 0); }
  // As `head` frames its body: chunked before Content-Length, else until the close.
  static ReplyBody For(const ReplyHead& head);

  Framing framing() const { return framing_; }

  // Appends the payload of the next `bytes` received to `payload`. Bytes past the end of a
  // chunked or Content-Length body are not the body's and are dropped; so is everything once the
  // body has failed.
  void Feed(std::string_view bytes, std::string& payload);

  // Nothing came for a while: bytes held back as a possible header line of a version 1 stream
  // are the stream after all, and go to `payload`.
  void Flush(std::string& payload);
  // Bytes are held back as a possible header line (a version 1 stream): Flush would give them.
  bool Holding() const { return framing_ == Framing::kIcyStream && headers_.Holding(); }

  // The body has ended by its own framing (the last chunk, or Content-Length bytes).
  bool Done() const;
  // The caster's close ends this body properly: it is framed by the close, or has ended.
  bool EndsAtClose() const {
    return Done() || framing_ == Framing::kUntilClose || framing_ == Framing::kIcyStream;
  }
  // The body broke its framing (a chunked body only); Fault() says how.
  bool Failed() const { return chunks_.Failed(); }
  const std::string& Fault() const { return chunks_.Fault(); }

 private:
  ReplyBody(Framing framing, std::size_t length) : framing_(framing), left_(length) {}

  Framing framing_ = Framing::kUntilClose;
  std::size_t left_ = 0;  // kLength: bytes still to come
  ChunkedBody chunks_;
  ReplyHeaderFilter headers_;
};

}  // namespace quillon
