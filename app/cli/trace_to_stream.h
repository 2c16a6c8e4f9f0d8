// Trace lines on a terminal stream (the --trace option), one per line.
#pragma once

#include <cstdio>
#include <mutex>

#include "common/guard.h"

namespace quillon::cli {

class TraceToStream final : public TraceSink {
 public:
  explicit TraceToStream(std::FILE* out) : out_(out) {}
  void Write(std::string_view line) override {
    std::lock_guard guard(mutex_);
    for (const char c : line) {
      if (c != '\r') std::fputc(c, out_);
    }
    std::fputc('\n', out_);
    std::fflush(out_);
  }

 private:
  std::FILE* out_;
  std::mutex mutex_;
};

// Installs the sink for the scope when `enabled`; silent again afterwards.
class ScopedTrace {
 public:
  ScopedTrace(bool enabled, std::FILE* out) : sink_(out), enabled_(enabled) {
    if (enabled_) SetTraceSink(&sink_);
  }
  ~ScopedTrace() {
    if (enabled_) SetTraceSink(nullptr);
  }
  ScopedTrace(const ScopedTrace&) = delete;
  ScopedTrace& operator=(const ScopedTrace&) = delete;

 private:
  TraceToStream sink_;
  bool enabled_;
};

}  // namespace quillon::cli
