// The NMEA sentences in a stream of bytes however it is cut into blocks: each from its "$" to
// its line feed. Bytes between sentences are passed over; a "$" begins a sentence afresh.
#pragma once

#include <string>
#include <string_view>

#include "ntrip/position_sentence.h"

namespace quillon {

class SentenceSplitter {
 public:
  // Calls `each` with every sentence that `block` ends. Holds at most one sentence's bytes.
  template <typename Each>
  void Take(std::string_view block, Each&& each) {
    for (const char c : block) {
      if (c == '$') sentence_.clear();
      if (c != '$' && sentence_.empty()) continue;  // between sentences
      sentence_.push_back(c);
      if (c == '\n') {
        each(std::string_view(sentence_));
        sentence_.clear();
      } else if (sentence_.size() > kNmeaMaxSentenceLength) {
        sentence_.clear();  // no sentence is this long
      }
    }
  }

 private:
  std::string sentence_;  // from its "$" while one is being read
};

}  // namespace quillon
