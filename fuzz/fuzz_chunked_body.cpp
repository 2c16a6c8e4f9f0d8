// Feeds the fuzzer's bytes to the chunked-body decoder whole and cut in two at a point the first
// byte chooses. Both ways give the same payload, end and fault; the payload is never longer
// than the input; a fault is printable text; and the input framed as one chunk decodes to itself.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ntrip/chunked_body.h"

namespace {

struct Result {
  std::string payload;
  std::size_t taken = 0;
  bool done = false;
  bool failed = false;
  std::string fault;
};

Result Decode(std::string_view first, std::string_view second) {
  quillon::ChunkedBody decoder;
  Result result;
  result.taken = decoder.Feed(first, result.payload);
  if (result.taken == first.size()) result.taken += decoder.Feed(second, result.payload);
  result.done = decoder.Done();
  result.failed = decoder.Failed();
  result.fault = decoder.Fault();
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t cut = data[0] % (body.size() + 1);
  const Result whole = Decode(body, {});
  const Result split = Decode(body.substr(0, cut), body.substr(cut));
  if (whole.payload != split.payload || whole.done != split.done || whole.failed != split.failed ||
      whole.fault != split.fault) {
    std::abort();
  }
  if (whole.payload.size() > body.size() || whole.taken > body.size()) std::abort();
  if (whole.done && whole.failed) std::abort();
  if (whole.failed == whole.fault.empty()) std::abort();
  for (const char c : whole.fault) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) std::abort();
  }
  const std::string framed = quillon::ChunkFrame(body) + std::string(quillon::kLastChunk);
  const Result again = Decode(framed, {});
  if (body.size() <= quillon::kMaxChunkSize && (again.payload != body || !again.done)) {
    std::abort();
  }
  return 0;
}
