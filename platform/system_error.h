// The system's error texts, as the messages show them.
#pragma once

#include <string>

namespace quillon {

// The system's text for an error number, such as "Connection refused".
std::string SystemErrorText(int error);

}  // namespace quillon
