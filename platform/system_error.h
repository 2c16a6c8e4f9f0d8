// The system's error texts, as the messages show them.
#pragma once

#include <string>
#include <system_error>

namespace quillon {

// The system's text for an error number, such as "Connection refused".
std::string SystemErrorText(int error);

// errno as an error code, for the calls that return their reason.
std::error_code LastSystemError();

}  // namespace quillon
