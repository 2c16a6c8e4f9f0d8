// The caster connection of a session, shared by its worker and the stop sequence.
#pragma once

#include <atomic>
#include <mutex>

namespace quillon {

// Holds one socket descriptor, -1 when none. The worker uses the descriptor for its blocking
// calls; the stop sequence may shut it down from another thread to wake those calls. Shutdown
// and close are serialised, so a descriptor is never shut down after it was closed (when its
// number may already belong to someone else) and never closed twice.
class CasterSocket {
 public:
  CasterSocket() = default;
  ~CasterSocket() { Close(); }
  CasterSocket(const CasterSocket&) = delete;
  CasterSocket& operator=(const CasterSocket&) = delete;

  int Get() const { return fd_.load(); }
  bool IsOpen() const { return fd_.load() >= 0; }

  // Takes ownership of `fd` (closing one held before).
  void Set(int fd);

  // Wakes any connect, recv or send blocked on the socket (shutdown both ways); the descriptor
  // stays allocated until Close. Harmless when there is none.
  void Shutdown();

  // Closes the socket and forgets it; harmless when there is none.
  void Close();

 private:
  std::mutex mutex_;
  std::atomic<int> fd_{-1};
};

}  // namespace quillon
