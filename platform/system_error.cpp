#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace quillon {

std::string SystemErrorText(int error) {
  char buffer[256] = {};
  // GNU strerror_r returns the text, which may or may not be in the buffer.
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return text != nullptr ? text : "";
}

std::error_code LastSystemError() { return {errno, std::generic_category()}; }

}  // namespace quillon
