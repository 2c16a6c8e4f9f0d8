#include "ntrip/chunked_body.h"

#include <algorithm>
#include <cstdio>

#include "common/printable_text.h"

namespace quillon {
namespace {

constexpr std::string_view kSizeFault = "The caster sent a malformed chunk size: ";
// The most of a bad size shown to the user.
constexpr std::size_t kShownBytes = 40;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Quoted(std::string_view bytes) {
  const bool cut = bytes.size() > kShownBytes;
  return "\"" + PrintableText(bytes.substr(0, kShownBytes)) + (cut ? "...\"" : "\"");
}

}  // namespace

void ChunkedBody::Fail(std::string fault) {
  state_ = State::kFailed;
  fault_ = std::move(fault);
}

bool ChunkedBody::TakeLineByte(char byte, std::size_t limit) {
  const std::string_view what =
      state_ == State::kSize ? kSizeFault : "The caster sent a malformed trailer line: ";
  if (lineCr_) {
    lineCr_ = false;
    if (byte == '\n') return true;
  } else if (byte == '\r') {
    lineCr_ = true;
    return false;
  } else if (byte != '\n') {
    if (line_.size() < limit) {
      line_.push_back(byte);
      return false;
    }
    Fail(std::string(what) + "it is longer than " + std::to_string(limit) + " bytes.");
    return false;
  }
  Fail(std::string(what) + Quoted(line_) + " does not end with CR LF.");
  return false;
}

void ChunkedBody::TakeSizeLine() {
  // Extensions (";name=value") and the blanks before them carry nothing this program uses.
  std::string_view digits(line_);
  digits = digits.substr(0, std::min(digits.find(';'), digits.size()));
  digits = digits.substr(0, digits.find_last_not_of(" \t") + 1);
  const bool hex = !digits.empty() && std::all_of(digits.begin(), digits.end(),
                                                  [](char c) { return HexValue(c) >= 0; });
  if (!hex) return Fail(std::string(kSizeFault) + Quoted(digits) + " is no hexadecimal number.");
  if (digits.size() > kMaxChunkSizeDigits) {
    return Fail(std::string(kSizeFault) + Quoted(digits) + " has more than " +
                std::to_string(kMaxChunkSizeDigits) + " digits.");
  }
  std::size_t size = 0;
  for (const char c : digits) size = size * 16 + static_cast<std::size_t>(HexValue(c));
  if (size > kMaxChunkSize) {
    return Fail(std::string(kSizeFault) + Quoted(digits) + " is " + std::to_string(size) +
                " bytes; a chunk may take at most " + std::to_string(kMaxChunkSize) + ".");
  }
  line_.clear();
  left_ = size;
  state_ = size == 0 ? State::kTrailer : State::kData;
}

std::size_t ChunkedBody::Feed(std::string_view bytes, std::string& payload) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    switch (state_) {
      case State::kDone:
      case State::kFailed:
        return at;
      case State::kData: {
        const std::size_t take = std::min(left_, bytes.size() - at);
        payload.append(bytes.substr(at, take));
        at += take;
        left_ -= take;
        if (left_ == 0) state_ = State::kDataCr;
        continue;
      }
      case State::kDataCr:
      case State::kDataLf: {
        const char expected = state_ == State::kDataCr ? '\r' : '\n';
        if (bytes[at++] != expected) {
          Fail("The caster's chunk did not end with CR LF after its data.");
          return at;
        }
        state_ = state_ == State::kDataCr ? State::kDataLf : State::kSize;
        continue;
      }
      case State::kSize:
        if (TakeLineByte(bytes[at++], kMaxChunkLineBytes)) TakeSizeLine();
        continue;
      case State::kTrailer:
        if (++trailerBytes_ > kMaxTrailerBytes) {
          Fail("The caster sent a trailer section longer than " + std::to_string(kMaxTrailerBytes) +
               " bytes.");
          return at;
        }
        if (!TakeLineByte(bytes[at++], kMaxTrailerBytes)) continue;
        // Trailer fields are skipped; the empty line ends the body.
        if (line_.empty()) state_ = State::kDone;
        line_.clear();
        continue;
    }
  }
  return at;
}

std::string ChunkFrame(std::string_view payload) {
  if (payload.empty()) return {};
  char size[24];
  const int length = std::snprintf(size, sizeof size, "%zx\r\n", payload.size());
  std::string frame(size, static_cast<std::size_t>(length));
  frame.append(payload).append("\r\n");
  return frame;
}

}  // namespace quillon
