// The demo caster's record of one accepted connection, shared by its two source files.
#pragma once

#include <mutex>
#include <string>

#include "ntrip/demo_caster.h"

namespace quillon {

struct DemoCaster::Link {
  std::mutex
      sendMutex;  // held while writing, and while closing, so `fd` is never reused under a writer
  int fd = -1;
  std::size_t index = 0;
  CasterBehaviour behaviour = CasterBehaviour::kNormal;
  // Guarded by the caster's mutex_:
  bool loggedIn = false;
  std::string pendingEarly;  // bytes that arrived behind the request's empty line
  CasterConnection record;
};

}  // namespace quillon
