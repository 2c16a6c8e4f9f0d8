#include "ntrip/reply_header_filter.h"

namespace quillon {
namespace {

// RFC 7230's tchar: the characters a header field name is made of.
bool IsTokenCharacter(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

// A field value's visible characters, blanks and 8-bit bytes: every byte but the other controls.
bool IsValueCharacter(unsigned char c) { return c == '\t' || (c >= 0x20 && c != 0x7F); }

}  // namespace

bool ReplyHeaderFilter::Take(char byte) {
  if (sectionSize_ >= kMaxHeaderSectionSize) return false;
  const auto c = static_cast<unsigned char>(byte);
  bool lineDone = false;
  switch (state_) {
    case State::kLineStart:
      if (c == '\r') {
        state_ = State::kEmptyCr;
      } else if (c == '\n') {
        lineDone = true;
      } else if (IsTokenCharacter(c)) {
        state_ = State::kToken;
      } else if (c == ' ' || c == '\t') {
        state_ = State::kValue;  // a folded line: more of the value before it
      } else {
        return false;
      }
      break;
    case State::kToken:
      if (c == ':') {
        state_ = State::kValue;
      } else if (!IsTokenCharacter(c)) {
        return false;
      }
      break;
    case State::kValue:
      if (c == '\r') {
        state_ = State::kLineCr;
      } else if (c == '\n') {
        lineDone = true;
      } else if (!IsValueCharacter(c)) {
        return false;
      }
      break;
    case State::kLineCr:
    case State::kEmptyCr:
      if (c != '\n') return false;
      lineDone = true;
      break;
    case State::kStream:
      return false;
  }
  ++sectionSize_;
  if (!lineDone) {
    held_.push_back(byte);
    return true;
  }
  // A whole header line goes; the empty line goes too and ends the section.
  const bool emptyLine = state_ == State::kLineStart || state_ == State::kEmptyCr;
  held_.clear();
  state_ = emptyLine ? State::kStream : State::kLineStart;
  return true;
}

std::string_view ReplyHeaderFilter::Pass(std::string_view bytes) {
  if (state_ == State::kStream) return bytes;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (Take(bytes[i])) {
      if (state_ == State::kStream) return bytes.substr(i + 1);
      continue;
    }
    // This byte belongs to no header line: it, what was held and all behind it are the stream.
    state_ = State::kStream;
    if (held_.empty()) return bytes.substr(i);
    out_ = std::move(held_);
    held_.clear();
    out_.append(bytes.substr(i));
    return out_;
  }
  return {};
}

std::string_view ReplyHeaderFilter::Flush() {
  state_ = State::kStream;
  out_ = std::move(held_);
  held_.clear();
  return out_;
}

}  // namespace quillon
