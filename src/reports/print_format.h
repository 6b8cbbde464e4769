#pragma once
// Date and time patterns of the print settings ("dd/mm/yyyy", "hh:nn"): d dd for the day,
// ddd dddd for day names, ddddd for the locale's short date; m mm for the month (the minute
// when it follows h or hh), mmm mmmm for month names; yy yyyy; h hh; n nn; s ss; z zzz;
// t tt for the locale's short and long time; am/pm, a/p and ampm markers; c for date and
// time. Letters are matched without regard to case. "/" prints the locale's date separator
// and ":" its time separator; text in single or double quotes and every other character are
// copied as they are.
#include <string>
#include <string_view>

#include "text/date_time.h"
#include "text/locale.h"

namespace ln40 {

std::string FormatPrintDateTime(std::string_view pattern, TDateTime value, const Locale& locale);

// The time shown in the top and bottom lines of a printed page.
constexpr const char* kPrintTimeFormat = "hh:nn";

}  // namespace ln40
