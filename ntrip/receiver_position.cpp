#include "ntrip/receiver_position.h"

#include "ntrip/position_sentence.h"

namespace quillon {

void ReceiverPosition::Take(std::string_view block) {
  for (const char c : block) {
    if (c == '$') sentence_.clear();
    if (c != '$' && sentence_.empty()) continue;  // between sentences
    sentence_.push_back(c);
    if (c == '\n') {
      if (const std::optional<GeoPosition> position = GgaPosition(sentence_)) latest_ = position;
      sentence_.clear();
    } else if (sentence_.size() > kNmeaMaxSentenceLength) {
      sentence_.clear();  // no sentence is this long
    }
  }
}

}  // namespace quillon
