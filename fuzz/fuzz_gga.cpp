// Feeds receiver output to the GGA override, cut into reads at points the input picks. The first
// byte picks how the position is made: from raw doubles (NaN, infinities, huge values) or scaled
// into and a little beyond the globe; the next four seed the cuts and the pauses between reads.
// Checked:
// - with the override off, every byte passes unchanged;
// - with the override on and no pause, the result does not depend on the cuts: the reads give,
//   with what is held back, what the whole gives at once; at most one sentence is held back;
// - the receiver position read from the output does not depend on the cuts, and is on the globe;
//   nor does the receiver's solution, whose numbers stay in their ranges;
// - with the override on, nothing goes upstream of output without a "$";
// - with the override on and pauses long enough to let held sentences go, what goes upstream is
//   whole sentences one behind the other, each a rewritten one (rewriting it again changes
//   nothing, so it carries the override position) or one known to hold no position.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "ntrip/gga_override.h"
#include "ntrip/position_sentence.h"
#include "ntrip/receiver_position.h"
#include "session/solution_watch.h"

namespace {

constexpr std::size_t kHeaderBytes = 1 + 2 * sizeof(double) + 4;
constexpr int kMostCuts = 8;

double Scaled(const std::uint8_t* bytes, double limit) {
  std::int32_t raw = 0;
  std::memcpy(&raw, bytes, sizeof(raw));
  return raw / 2147483647.0 * limit;
}

struct Read {
  std::string_view bytes;
  std::uint32_t pauseMs;  // before the read
};

std::vector<Read> CutIntoReads(std::string_view output, std::uint32_t seed) {
  std::minstd_rand random(seed);
  std::vector<std::size_t> cuts(random() % (kMostCuts + 1));
  for (std::size_t& cut : cuts) cut = random() % (output.size() + 1);
  std::sort(cuts.begin(), cuts.end());
  cuts.push_back(output.size());
  std::vector<Read> reads;
  std::size_t from = 0;
  for (const std::size_t cut : cuts) {
    const std::uint32_t pauses[] = {0, 100, 999, 1000, 5000};
    reads.push_back({output.substr(from, cut - from), pauses[random() % 5]});
    from = cut;
  }
  return reads;
}

// What the override sends for `reads`; with `pauses`, the reads come after their pauses and a
// last silent pass lets go of what is still held, otherwise the override is switched off at the
// end to give back what it holds.
std::string Relayed(const std::vector<Read>& reads, bool pauses, double latitude,
                    double longitude) {
  quillon::GgaOverride override;
  std::string sent;
  std::uint32_t tick = 0xFFFFF000u;  // the wrap comes into reach
  for (const Read& read : reads) {
    if (pauses) tick += read.pauseMs;
    sent += override.Pass(read.bytes, true, latitude, longitude, tick);
    if (override.Held() > quillon::kNmeaMaxSentenceLength) std::abort();
  }
  if (pauses) {
    sent += override.Pass({}, true, latitude, longitude, tick + quillon::kHeldFragmentLimitMs);
    if (override.Held() != 0) std::abort();
    return sent;
  }
  return sent + std::string(override.Pass({}, false, 0.0, 0.0, tick));
}

// The sentence that begins at `at` ("$" to "*hh" and its line end), or less when it has none.
std::string_view SentenceAt(std::string_view text, std::size_t at) {
  const std::size_t end = text.find_first_of("*\r\n", at + 1);
  if (end == std::string_view::npos || text[end] != '*') return text.substr(at, end - at);
  std::size_t length = std::min(end + 3, text.size()) - at;
  const std::string_view rest = text.substr(at + length);
  length += rest.starts_with("\r\n") ? 2 : rest.starts_with('\r') || rest.starts_with('\n') ? 1 : 0;
  return text.substr(at, length);
}

void CheckOnlyWholeSentencesGoUp(std::string_view sent, double latitude, double longitude) {
  for (std::size_t at = 0; at < sent.size();) {
    if (sent[at] != '$') std::abort();
    const std::string_view sentence = SentenceAt(sent, at);
    quillon::NmeaSentence again;
    const std::size_t length =
        quillon::RewritePositionSentence(sentence, latitude, longitude, again);
    if (std::string_view(again.data(), length) != sentence && !quillon::HoldsNoPosition(sentence)) {
      std::abort();
    }
    at += sentence.size();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderBytes) return 0;
  double latitude = 0.0;
  double longitude = 0.0;
  if (data[0] & 1) {
    std::memcpy(&latitude, data + 1, sizeof(double));
    std::memcpy(&longitude, data + 1 + sizeof(double), sizeof(double));
  } else {
    latitude = Scaled(data + 1, 95.0);
    longitude = Scaled(data + 1 + sizeof(double), 185.0);
  }
  std::uint32_t seed = 0;
  std::memcpy(&seed, data + 1 + 2 * sizeof(double), sizeof(seed));
  const std::string_view output(reinterpret_cast<const char*>(data) + kHeaderBytes,
                                size - kHeaderBytes);

  quillon::GgaOverride off;
  if (off.Pass(output, false, latitude, longitude, 0) != output || off.Held() != 0) std::abort();

  const std::vector<Read> reads = CutIntoReads(output, seed);
  const std::string whole = Relayed({{output, 0}}, false, latitude, longitude);
  if (whole != Relayed(reads, false, latitude, longitude)) std::abort();
  if (output.find('$') == std::string_view::npos && !whole.empty()) std::abort();

  quillon::ReceiverPosition atOnce;
  atOnce.Take(output);
  quillon::ReceiverPosition inReads;
  for (const Read& read : reads) inReads.Take(read.bytes);
  const auto position = atOnce.Latest();
  if (position.has_value() != inReads.Latest().has_value()) std::abort();
  if (position &&
      (position->latitude != inReads.Latest()->latitude ||
       !(std::fabs(position->latitude) <= 90.0) || !(std::fabs(position->longitude) <= 180.0))) {
    std::abort();
  }

  quillon::SolutionWatch solutionAtOnce;
  solutionAtOnce.Take(output, 0);
  quillon::SolutionWatch solutionInReads;
  for (const Read& read : reads) solutionInReads.Take(read.bytes, 0);
  solutionAtOnce.Look(0);
  solutionInReads.Look(0);
  const auto& solution = solutionAtOnce.Current();
  if (solution.has_value() != solutionInReads.Current().has_value()) std::abort();
  if (solution &&
      (SolutionText(*solution) != SolutionText(*solutionInReads.Current()) ||
       solution->satellites > 999u || solution->stationId > 4095u ||
       !(solution->hdop.value_or(0.0) >= 0.0 && solution->hdop.value_or(0.0) <= 9999.0) ||
       !(solution->ageSeconds.value_or(0.0) >= 0.0 &&
         solution->ageSeconds.value_or(0.0) <= 99999.0))) {
    std::abort();
  }

  CheckOnlyWholeSentencesGoUp(Relayed(reads, true, latitude, longitude), latitude, longitude);
  return 0;
}
