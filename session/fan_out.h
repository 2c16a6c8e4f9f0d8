// One source of bytes and any number of outputs, each with a queue of its own, so that an output
// that stalls, refuses or reconnects never delays, reorders or drops bytes for another.
//
// Copies: the source's read buffer is copied once into a shared block, whatever the number of
// outputs; each queue holds a reference to that block, and an output sends from it straight to
// its socket (an NTRIP 2 upload copies it once more, into its chunk frame).
//
// An output may also send on the source's thread (a pump): when its socket takes a block at once,
// the output's own thread is not woken for it, which saves a wake per block and output.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// What may wait for one output before its oldest blocks go.
inline constexpr std::size_t kOutputQueueBytes = 64 * 1024;

using SharedBlock = std::shared_ptr<const std::string>;

// One output's bytes, filled by the source's thread and taken by the output's. Its wake handle
// is readable while blocks wait, for the output's poll.
class OutputQueue {
 public:
  // `pump`, when given, runs on the source's thread after each Push, without the queue's lock:
  // it may take what waits (Front, Take) and answers whether all of it has gone, in which case
  // the output is not woken. It must not wait: an output busy on its own thread answers false.
  explicit OutputQueue(std::size_t capacity = kOutputQueueBytes, std::function<bool()> pump = {});
  ~OutputQueue();
  OutputQueue(const OutputQueue&) = delete;
  OutputQueue& operator=(const OutputQueue&) = delete;

  // Any thread. Adds `block` behind what waits. When more than the capacity would wait, the
  // oldest whole blocks go and are counted, never the one the output has begun to take.
  void Push(SharedBlock block);

  // The output's thread. What is left of the oldest block; empty when none waits. The block
  // stays until it is wholly taken.
  std::string_view Front();
  // `count` bytes of Front have gone out.
  void Take(std::size_t count);
  // The oldest block whole; null when none waits. For an output that hands blocks on rather
  // than sending them, and so never calls Take.
  SharedBlock TakeBlock();
  bool Empty();

  // Readable while blocks wait; the output calls ClearWake before it takes what waits.
  int WakeHandle() const { return wake_; }
  void ClearWake();

  // Bytes pushed and bytes dropped since the queue was made.
  std::uint64_t Pushed();
  std::uint64_t Dropped();
  // Drops what waits without counting it: the output begins again with live bytes. Returns
  // Pushed as it stands then.
  std::uint64_t Clear();

 private:
  void Queue(SharedBlock block);
  void Signal();  // with mutex_ held

  const std::size_t capacity_;
  const std::function<bool()> pump_;
  const int wake_;
  std::mutex mutex_;
  std::deque<SharedBlock> blocks_;
  std::size_t taken_ = 0;    // of the front block
  std::size_t waiting_ = 0;  // bytes in blocks_, the front's taken part included
  bool signalled_ = false;
  std::uint64_t pushed_ = 0;
  std::uint64_t dropped_ = 0;
};

// The source's side: every attached queue gets each delivery. Thread-safe.
class FanOut {
 public:
  void Attach(OutputQueue& queue);
  void Detach(OutputQueue& queue);
  // Hands `bytes` to every attached queue, in one shared block; nothing is copied when no
  // queue is attached.
  void Deliver(std::string_view bytes);

 private:
  std::mutex mutex_;
  std::vector<OutputQueue*> queues_;
};

}  // namespace quillon
