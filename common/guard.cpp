#include "common/guard.h"

#include <atomic>

namespace quillon {
namespace {
std::atomic<TraceSink*> traceSink{nullptr};
}  // namespace

void SetTraceSink(TraceSink* sink) { traceSink.store(sink); }

void Trace(std::string_view line) {
  if (TraceSink* sink = traceSink.load()) sink->Write(line);
}

std::string ExceptionTraceLine(std::string_view file, int line) {
  std::string text = "*Exception\r\n File: ";
  text.append(file);
  text.append("\r\nLine: ");
  text.append(std::to_string(line));
  return text;
}

}  // namespace quillon
