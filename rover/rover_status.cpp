#include "rover/rover_status.h"

#include <mutex>

namespace quillon {

void RoverStatus::Reset() {
  std::lock_guard guard(lock);
  SessionStatus::Reset();
  attempt = 0;
  retryInSeconds = 0;
  reason.clear();
  detail.clear();
}

}  // namespace quillon
