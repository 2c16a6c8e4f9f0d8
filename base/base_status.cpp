#include "base/base_status.h"

#include <mutex>

namespace quillon {

void BaseStatus::SetStatusText(std::u16string_view text) {
  std::lock_guard guard(lock);
  SetFieldText(statusText, text);
}

void BaseStatus::ClearStatusText() {
  std::lock_guard guard(lock);
  statusText.fill(u'\0');
  detail.clear();
}

std::u16string BaseStatus::Detail() {
  std::lock_guard guard(lock);
  return detail;
}

std::u16string BaseStatus::StatusText() {
  std::lock_guard guard(lock);
  return std::u16string(FieldText(statusText));
}

}  // namespace quillon
