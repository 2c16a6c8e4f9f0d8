// The demo caster's record of one accepted connection, shared by its two source files.
#pragma once

#include <mutex>
#include <optional>
#include <random>
#include <string>

#include "demo/demo_caster.h"
#include "ntrip/chunked_body.h"

namespace quillon {

struct DemoCaster::Link {
  std::mutex
      sendMutex;  // held while writing, and while closing, so `fd` is never reused under a writer
  int fd = -1;
  std::size_t index = 0;
  CasterBehaviour behaviour = CasterBehaviour::kNormal;
  // A version 2 client's stream goes in chunks of sizes drawn from `chunkSizes`; the frame mutex
  // keeps the chunks of two senders from mixing.
  bool chunked = false;
  std::mutex frameMutex;
  std::mt19937 chunkSizes;
  // Guarded by the caster's mutex_:
  bool loggedIn = false;
  std::string pendingEarly;  // bytes that arrived behind the request's empty line
  std::optional<ChunkedBody> upload;  // a version 2 server's chunked upload
  CasterConnection record;
};

}  // namespace quillon
