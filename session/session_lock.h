// The lock of a session status object: recursive (the holder may enter again), and aware of
// its holder, so the stop sequence can let go of it while it waits for the worker even when
// its caller holds it (the dialog's timer runs the stop inside the lock).
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace quillon {

class SessionLock {
 public:
  void lock();
  bool try_lock();
  void unlock();

  // Whether the calling thread holds the lock.
  bool HeldByThisThread() const;

  // Releases the lock entirely when the calling thread holds it; returns how many times it was
  // held (0 when not held), for Reacquire.
  int ReleaseAll();
  void Reacquire(int depth);

 private:
  std::recursive_mutex mutex_;
  std::atomic<std::thread::id> holder_{};
  int depth_ = 0;  // guarded by mutex_
};

}  // namespace quillon
