// Guarded blocks: a fault inside a block is caught, traced and dropped, and the caller goes on
// behind the block with its values as they stood.
#pragma once

#include <exception>
#include <string>
#include <string_view>
#include <utility>

namespace quillon {

// Where trace lines go. Silent unless a sink is installed (the --trace option).
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void Write(std::string_view line) = 0;
};

// Installs `sink` for the whole process (nullptr: silent). The sink must outlive its use.
void SetTraceSink(TraceSink* sink);

// Hands one line to the installed sink, if any.
void Trace(std::string_view line);

// "*Exception\r\n File: <file>\r\nLine: <line>"
std::string ExceptionTraceLine(std::string_view file, int line);

// Runs `body`; any exception it throws is traced with `file` and `line` and dropped.
// Returns true when the body ran to its end.
template <typename Body>
bool Guarded(std::string_view file, int line, Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
    return true;
  } catch (...) {
    try {
      Trace(ExceptionTraceLine(file, line));
    } catch (...) {
    }
    return false;
  }
}

// A guarded step of a worker: `body` returns whether the work goes on after it. A fault inside
// it is traced and dropped and the work goes on with its values as they stood.
template <typename Body>
bool GuardedStep(std::string_view file, int line, Body&& body) noexcept {
  bool goOn = true;
  Guarded(file, line, [&] { goOn = std::forward<Body>(body)(); });
  return goOn;
}

}  // namespace quillon
