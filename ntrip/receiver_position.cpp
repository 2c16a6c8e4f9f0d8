#include "ntrip/receiver_position.h"

#include "ntrip/position_sentence.h"

namespace quillon {

void ReceiverPosition::Take(std::string_view block) {
  sentences_.Take(block, [this](std::string_view sentence) {
    if (const std::optional<GeoPosition> position = GgaPosition(sentence)) latest_ = position;
  });
}

}  // namespace quillon
