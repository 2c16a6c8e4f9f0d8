// The receiver's latest position as the caster is told it: from the GGA sentences among the
// bytes the Rover sends upstream, however they are cut into blocks. Those bytes have passed the
// GGA override, so with the override on this is the user's fixed position.
#pragma once

#include <optional>
#include <string_view>

#include "common/great_circle.h"
#include "ntrip/sentence_splitter.h"

namespace quillon {

class ReceiverPosition {
 public:
  // Looks at the next block sent upstream. Holds at most one sentence's bytes.
  void Take(std::string_view block);

  // The position of the latest GGA sentence with a fix (GgaPosition); nothing before one.
  std::optional<GeoPosition> Latest() const { return latest_; }

 private:
  SentenceSplitter sentences_;
  std::optional<GeoPosition> latest_;
};

}  // namespace quillon
