#pragma once

#include <string_view>

namespace quillon {

// True when `path` is not empty and names an existing directory.
bool IsExistingDirectory(std::u16string_view path);

}  // namespace quillon
