// How a connect time, counted in whole seconds, is shown: the dialogs keep the handheld's clock
// face; the command line, the service status and the Base's final message add the days, since a
// base station runs for months.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// "HH:MM:SS" of the time of day `seconds` reaches, so the text starts again at "00:00:00" after
// 24 hours, as the handheld's connect time did. A negative count reads as 0.
std::string ElapsedAsTimeOfDay(std::int64_t seconds);

// "HH:MM:SS" below one day; past it the whole days before it: "3d 04:05:06". A negative count
// reads as 0.
std::string ElapsedWithDays(std::int64_t seconds);

}  // namespace quillon
