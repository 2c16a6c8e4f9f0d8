#include "common/format.h"

#include <vector>

namespace quillon {

std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c != u'%' || i + 1 == format.size()) {
      out.push_back(c);
      continue;
    }
    const char16_t conversion = format[i + 1];
    if (conversion == u'%') {
      out.push_back(u'%');
      ++i;
      continue;
    }
    const bool wantsNumber = conversion == u'd';
    const bool wantsText = conversion == u's';
    if ((!wantsNumber && !wantsText) || next == args.end() ||
        (wantsNumber && !std::holds_alternative<std::int64_t>(*next)) ||
        (wantsText && !std::holds_alternative<std::u16string_view>(*next))) {
      out.push_back(c);
      continue;
    }
    if (wantsNumber) {
      for (char digit : std::to_string(std::get<std::int64_t>(*next))) out.push_back(digit);
    } else {
      out.append(std::get<std::u16string_view>(*next));
    }
    ++next;
    ++i;
  }
  return out;
}

}  // namespace quillon
