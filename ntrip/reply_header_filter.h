// Separating a caster's header lines from the stream that follows its status line.
//
// Behind "ICY 200 OK\r\n" a caster may send header lines and an empty line, an empty line
// alone, or the stream at once. The stream may be RTCM 3 (0xD3...), RTCM 2 (bytes 0x40 to 0x7F,
// letters among them, never CR or LF), CMR (0x02...) or NMEA ("$..."), none of which begins
// with a blank or has a line of the form `token: value` at its start, nor an empty line. So only
// such lines are taken out: a token of RFC 7230 token characters, ':', a value of visible
// characters, blanks and 8-bit bytes, and CR LF (or LF); a line that begins with a blank or a
// tab is a folded one, more of a value. The first byte that cannot belong to one ends the header
// section, and it and every byte behind it are the stream. A line is held back only while it can
// still become a header, and never longer than the caller's next pass without new bytes (Flush).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// The most a header section may take, its lines together; a longer one is no header section and
// what was held of it is the stream.
inline constexpr std::size_t kMaxHeaderSectionSize = 8192;

class ReplyHeaderFilter {
 public:
  // The stream bytes of the next `bytes` received, in order: any bytes held back from before
  // that turned out to be the stream, then the bytes of `bytes` that are. Header lines and the
  // empty line that ends them are left out; the tail that may still be a header line is held
  // back. Once the header section has ended, `bytes` itself is returned. The view is valid until
  // the next call.
  std::string_view Pass(std::string_view bytes);

  // Ends the header section now (the caster paused or closed inside what looked like a header
  // line, which a caster sending headers never does): the bytes held back, which are the stream.
  std::string_view Flush();

  // True while bytes are held back.
  bool Holding() const { return !held_.empty(); }

 private:
  enum class State { kLineStart, kToken, kValue, kLineCr, kEmptyCr, kStream };

  // Takes one byte of a possible header line; false when it cannot belong to one.
  bool Take(char byte);

  State state_ = State::kLineStart;
  std::size_t sectionSize_ = 0;  // bytes of the header section so far, held ones included
  std::string held_;             // the line that may still be a header
  std::string out_;              // the stream bytes of one call, when they are not `bytes` itself
};

}  // namespace quillon
