// The caster connection of a session, shared by its worker and the stop sequence.
#pragma once

#include <atomic>
#include <cstdint>
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

  // Counts the descriptors Set has put here: which connection is held, even when the system
  // gives a later socket the number of an earlier one.
  std::uint64_t Connection() const { return connection_.load(); }

  // Close, but only while `connection` is still the one held: whoever holds an older connection
  // never closes the one a later connect put here.
  void CloseIfHeld(std::uint64_t connection);

 private:
  std::mutex mutex_;
  std::atomic<int> fd_{-1};
  std::atomic<std::uint64_t> connection_{0};
};

}  // namespace quillon
