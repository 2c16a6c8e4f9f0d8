#include "session/session_lock.h"

namespace quillon {

void SessionLock::lock() {
  mutex_.lock();
  if (depth_++ == 0) holder_.store(std::this_thread::get_id());
}

bool SessionLock::try_lock() {
  if (!mutex_.try_lock()) return false;
  if (depth_++ == 0) holder_.store(std::this_thread::get_id());
  return true;
}

void SessionLock::unlock() {
  if (--depth_ == 0) holder_.store(std::thread::id{});
  mutex_.unlock();
}

bool SessionLock::HeldByThisThread() const {
  return holder_.load() == std::this_thread::get_id();
}

int SessionLock::ReleaseAll() {
  if (!HeldByThisThread()) return 0;
  const int depth = depth_;
  for (int i = 0; i < depth; ++i) unlock();
  return depth;
}

void SessionLock::Reacquire(int depth) {
  for (int i = 0; i < depth; ++i) lock();
}

}  // namespace quillon
