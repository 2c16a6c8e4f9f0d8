// One descriptor that stands for a receiver link when a session waits: it polls readable while a
// descriptor added to it is readable or has hung up, and it stays valid for the object's life. A
// session can wait on it while the stop sequence closes the link on another thread: the link's own
// descriptor, whose number may be reused the moment it is closed, is never polled by the session.
#pragma once

namespace quillon {

class ReadinessSet {
 public:
  ReadinessSet();
  ~ReadinessSet();
  ReadinessSet(const ReadinessSet&) = delete;
  ReadinessSet& operator=(const ReadinessSet&) = delete;

  // The descriptor to wait on (readable, with the clock's waits); -1 when none could be made.
  int Handle() const { return epoll_; }

  // Watches `fd` for input and hang-up until Remove. Call Remove before `fd` is closed.
  void Add(int fd);
  void Remove(int fd);

 private:
  const int epoll_;
};

}  // namespace quillon
