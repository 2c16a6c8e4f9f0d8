#include "session/fan_out.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <system_error>
#include <utility>

namespace quillon {

OutputQueue::OutputQueue(std::size_t capacity, std::function<bool()> pump)
    : capacity_(capacity), pump_(std::move(pump)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (wake_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
}

OutputQueue::~OutputQueue() { close(wake_); }

void OutputQueue::Signal() {
  // Once until the output clears it: a busy source costs one write per wake, not per block.
  if (signalled_) return;
  signalled_ = true;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
}

void OutputQueue::Push(SharedBlock block) {
  if (!block || block->empty()) return;
  Queue(std::move(block));
  if (pump_ && pump_()) return;
  std::lock_guard guard(mutex_);
  Signal();
}

void OutputQueue::Queue(SharedBlock block) {
  std::lock_guard guard(mutex_);
  pushed_ += block->size();
  waiting_ += block->size();
  blocks_.push_back(std::move(block));
  // The front block is kept once the output has begun on it (its framing or a TLS record may
  // hold its start); the next oldest go instead.
  const std::size_t keep = taken_ > 0 ? 1 : 0;
  while (waiting_ > capacity_ && blocks_.size() > keep + 1) {
    const auto oldest = blocks_.begin() + static_cast<std::ptrdiff_t>(keep);
    const std::size_t size = (*oldest)->size() - (keep == 0 ? taken_ : 0);
    waiting_ -= size;
    dropped_ += size;
    blocks_.erase(oldest);
  }
}

std::string_view OutputQueue::Front() {
  std::lock_guard guard(mutex_);
  if (blocks_.empty()) return {};
  return std::string_view(*blocks_.front()).substr(taken_);
}

void OutputQueue::Take(std::size_t count) {
  std::lock_guard guard(mutex_);
  while (count > 0 && !blocks_.empty()) {
    const std::size_t left = blocks_.front()->size() - taken_;
    const std::size_t step = std::min(count, left);
    taken_ += step;
    waiting_ -= step;
    count -= step;
    if (taken_ == blocks_.front()->size()) {
      blocks_.pop_front();
      taken_ = 0;
    }
  }
}

SharedBlock OutputQueue::TakeBlock() {
  std::lock_guard guard(mutex_);
  if (blocks_.empty()) return nullptr;
  SharedBlock block = std::move(blocks_.front());
  blocks_.pop_front();
  waiting_ -= block->size() - taken_;
  taken_ = 0;
  return block;
}

bool OutputQueue::Empty() {
  std::lock_guard guard(mutex_);
  return blocks_.empty();
}

void OutputQueue::ClearWake() {
  std::lock_guard guard(mutex_);
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t read = ::read(wake_, &count, sizeof count);
  signalled_ = false;
}

std::uint64_t OutputQueue::Pushed() {
  std::lock_guard guard(mutex_);
  return pushed_;
}

std::uint64_t OutputQueue::Dropped() {
  std::lock_guard guard(mutex_);
  return dropped_;
}

std::uint64_t OutputQueue::Clear() {
  std::lock_guard guard(mutex_);
  blocks_.clear();
  taken_ = 0;
  waiting_ = 0;
  return pushed_;
}

void FanOut::Attach(OutputQueue& queue) {
  std::lock_guard guard(mutex_);
  if (std::find(queues_.begin(), queues_.end(), &queue) == queues_.end()) {
    queues_.push_back(&queue);
  }
}

void FanOut::Detach(OutputQueue& queue) {
  std::lock_guard guard(mutex_);
  std::erase(queues_, &queue);
}

void FanOut::Deliver(std::string_view bytes) {
  if (bytes.empty()) return;
  std::lock_guard guard(mutex_);
  if (queues_.empty()) return;
  const auto block = std::make_shared<const std::string>(bytes);
  for (OutputQueue* queue : queues_) queue->Push(block);
}

}  // namespace quillon
