// HTTP/1.1's chunked transfer coding, as NTRIP version 2 casters send their streams and tables
// and as a version 2 server uploads: each chunk is its size in hexadecimal (with extensions
// after ';', which are skipped), CR LF, that many bytes of payload and CR LF; a chunk of size 0,
// optional trailer lines and an empty line end the body.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// The largest chunk taken: a correction stream's chunks are a few hundred bytes and a source
// table's a few kilobytes, so a larger size is a broken or hostile caster.
inline constexpr std::size_t kMaxChunkSize = 1024 * 1024;
// The most hexadecimal digits of a size, leading zeros included.
inline constexpr std::size_t kMaxChunkSizeDigits = 8;
// The longest chunk-size line, extensions included, and the longest trailer section.
inline constexpr std::size_t kMaxChunkLineBytes = 1024;
inline constexpr std::size_t kMaxTrailerBytes = 8192;

// Decodes a chunked body fed in pieces cut anywhere. Only payload bytes come out; a body that
// breaks the coding ends the decoding for good, with a sentence that says how.
class ChunkedBody {
 public:
  // Appends the payload bytes of `bytes` to `payload` and returns how many of `bytes` belong to
  // the body: all of them, or fewer once the body has ended or failed (the rest is not looked
  // at). Nothing is taken after Done() or Failed().
  std::size_t Feed(std::string_view bytes, std::string& payload);

  // The last chunk and the trailer section have come.
  bool Done() const { return state_ == State::kDone; }
  // The body broke the coding; Fault() says how, such as "The caster sent a malformed chunk
  // size: "zz"." (the caster's bytes quoted, cut and with control characters replaced).
  bool Failed() const { return state_ == State::kFailed; }
  const std::string& Fault() const { return fault_; }

 private:
  enum class State { kSize, kData, kDataCr, kDataLf, kTrailer, kDone, kFailed };

  // Gathers one byte of a size or trailer line into line_, up to `limit` bytes; true once the
  // line's CR LF has come. A line end other than CR LF fails the body.
  bool TakeLineByte(char byte, std::size_t limit);
  // Takes the complete size line in line_.
  void TakeSizeLine();
  void Fail(std::string fault);

  State state_ = State::kSize;
  std::string line_;      // the size line or trailer line gathered so far
  bool lineCr_ = false;   // the line's CR has come
  std::size_t left_ = 0;  // payload bytes of the current chunk still to come
  std::size_t trailerBytes_ = 0;
  std::string fault_;
};

// `payload` as one chunk: its size in hexadecimal, CR LF, the bytes and CR LF. Empty for an
// empty payload, which would read as the last chunk.
std::string ChunkFrame(std::string_view payload);

// The last chunk without trailers, which ends a chunked body.
inline constexpr std::string_view kLastChunk = "0\r\n\r\n";

}  // namespace quillon
