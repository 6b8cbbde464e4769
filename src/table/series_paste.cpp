#include "table/series_paste.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "table/clipboard_text.h"
#include "text/date_time.h"
#include "text/locale.h"
#include "text/numbers.h"

namespace ln40 {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A whole number: an optional sign and decimal digits, nothing else, within 64 bits.
bool ReadWholeNumber(std::string_view text, int64_t& value) {
  size_t pos = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    pos = 1;
  }
  if (pos == text.size()) return false;
  const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
  uint64_t magnitude = 0;
  for (; pos < text.size(); ++pos) {
    if (!IsDigit(text[pos])) return false;
    const auto digit = static_cast<uint64_t>(text[pos] - '0');
    if (magnitude > (limit - digit) / 10) return false;
    magnitude = magnitude * 10 + digit;
  }
  value = negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  return true;
}

// The date separator at the second character or later, and once more further on.
bool LooksLikeDate(std::string_view text, const Locale& locale) {
  const size_t first = text.find(locale.dateSeparator);
  return first != std::string_view::npos && first >= 1 &&
         text.find(locale.dateSeparator, first + 1) != std::string_view::npos;
}

bool IsDateOrTimeText(std::string_view text, const Locale& locale) {
  return LooksLikeDate(text, locale) || text.find(locale.timeSeparator) != std::string_view::npos;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// Series of dates and times run in whole milliseconds since 1899-12-30 00:00, so that no
// rounding error gathers along a long column and the time of day is exact at every step.
constexpr int64_t kDayMs = kMsPerDay;

struct DayRange {
  int64_t first = 0;
  int64_t last = 0;
};

// The day numbers of 0001-01-01 and 9999-12-31, the dates the system can write.
const DayRange& WritableDays() {
  static const DayRange range = [] {
    TDateTime first = 0;
    TDateTime last = 0;
    TryEncodeDate(1, 1, 1, first);
    TryEncodeDate(9999, 12, 31, last);
    return DayRange{static_cast<int64_t>(first), static_cast<int64_t>(last)};
  }();
  return range;
}

bool IsWritable(int64_t ms) {
  const int64_t day = FloorDiv(ms, kDayMs);
  return day >= WritableDays().first && day <= WritableDays().last;
}

// A date (with an optional time) or a time alone, which is a time on day zero.
bool ReadDateOrTime(std::string_view text, const Locale& locale, int default_year, int64_t& ms) {
  TDateTime value = 0;
  const bool ok = LooksLikeDate(text, locale) ? TryReadDateTime(text, locale, default_year, value)
                                              : TryReadTimeOfDay(text, locale, value);
  if (!ok) return false;
  ms = std::llround(value * kDayMs);
  return true;
}

enum class DateTextForm { Time, Date, DateAndTime };

std::string FormatSeriesValue(int64_t ms, DateTextForm form, const Locale& locale) {
  const int64_t day = FloorDiv(ms, kDayMs);
  // A time alone wraps at midnight both ways: 00:00:00 minus one minute is 23:59:00.
  const double time_of_day = static_cast<double>(ms - day * kDayMs) / kDayMs;
  switch (form) {
    case DateTextForm::Time:
      return FormatDateTime(locale.longTimeFormat, time_of_day, locale);
    case DateTextForm::Date:
      return FormatDateTime(locale.shortDateFormat, static_cast<double>(day), locale);
    case DateTextForm::DateAndTime:
      return FormatDateTime(locale.shortDateFormat, static_cast<double>(day), locale) + ' ' +
             FormatDateTime(locale.longTimeFormat, time_of_day, locale);
  }
  return {};
}

// How a date series advances, chosen once from the first two values.
struct DateStep {
  enum class Kind { Days, Years, Months, Plain } kind = Kind::Plain;
  int years = 0;
  int months = 0;
  int days = 0;
  int64_t plain_ms = 0;
};

DateStep ChooseDateStep(int64_t a_ms, int64_t b_ms) {
  const DateParts a = DecodeDate(static_cast<double>(FloorDiv(a_ms, kDayMs)));
  const DateParts b = DecodeDate(static_cast<double>(FloorDiv(b_ms, kDayMs)));
  DateStep step;
  step.years = b.year - a.year;
  step.months = b.month - a.month;
  step.days = b.day - a.day;
  step.plain_ms = b_ms - a_ms;
  if (step.days != 0 && step.years == 0 && step.months == 0) {
    step.kind = DateStep::Kind::Days;
  } else if (step.years != 0 && step.months == 0 && step.days == 0) {
    step.kind = DateStep::Kind::Years;
  } else if (step.months != 0 && step.years == 0 && step.days == 0) {
    step.kind = DateStep::Kind::Months;
  }
  return step;
}

// The value after `ms`, or none when it does not exist (31 January plus one month) or leaves
// the writable years. Calendar steps keep the time of day.
std::optional<int64_t> Advance(int64_t ms, const DateStep& step) {
  int64_t next = 0;
  switch (step.kind) {
    case DateStep::Kind::Days:
      next = ms + int64_t{step.days} * kDayMs;
      break;
    case DateStep::Kind::Plain:
      if (__builtin_add_overflow(ms, step.plain_ms, &next)) return std::nullopt;
      break;
    case DateStep::Kind::Years:
    case DateStep::Kind::Months: {
      const int64_t day = FloorDiv(ms, kDayMs);
      const int64_t time_of_day = ms - day * kDayMs;
      const DateParts parts = DecodeDate(static_cast<double>(day));
      int year = parts.year + step.years;
      int month = parts.month + step.months;
      // Within one year the months differ by at most eleven: one wrap is enough.
      if (month < 1) {
        month += 12;
        --year;
      } else if (month > 12) {
        month -= 12;
        ++year;
      }
      TDateTime date = 0;
      if (!TryEncodeDate(year, month, parts.day, date)) return std::nullopt;
      next = static_cast<int64_t>(date) * kDayMs + time_of_day;
      break;
    }
  }
  if (!IsWritable(next)) return std::nullopt;
  return next;
}

// Calls visit(col, row) for every cell of s, column by column, top to bottom, until it
// returns false.
template <typename Visit>
void VisitSelection(const GridSelection& s, Visit&& visit) {
  for (int c = s.left; c <= s.right; ++c) {
    for (int r = s.top; r <= s.bottom; ++r) {
      if (!visit(c, r)) return;
    }
  }
}

std::string FormatDecimal(double value, int decimals, char separator) {
  char buffer[400];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  if (error != std::errc()) return {};
  std::string text(buffer, end);
  // A value that rounds to zero is written without a sign.
  if (text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
  std::replace(text.begin(), text.end(), '.', separator);
  return text;
}

void Fill(TGridTable& table, const GridSelection& s) {
  const std::string text = table.Cell(s.left, s.top);
  VisitSelection(s, [&](int c, int r) {
    table.SetCell(c, r, text);
    return true;
  });
}

// The pasted block again and again down the column or along the row: each cell takes the
// text `period` cells before it, filled in increasing order.
void Repeat(TGridTable& table, const GridSelection& s, const PastedBlock& block) {
  if (s.Width() == 1) {
    const int period = block.lineCount;
    if (period < 1) return;
    for (int r = s.top + period; r <= s.bottom; ++r) table.SetCell(s.left, r, table.Cell(s.left, r - period));
  } else {
    const int period = block.firstLineFields;
    if (period < 1) return;
    for (int c = s.left + period; c <= s.right; ++c) table.SetCell(c, s.top, table.Cell(c - period, s.top));
  }
}

WidenRule IntegerSeries(TGridTable& table, const GridSelection& s, int64_t a, int64_t b) {
  int64_t step = 0;
  if (__builtin_sub_overflow(b, a, &step)) return WidenRule::None;
  int64_t value = a;
  bool more = true;
  VisitSelection(s, [&](int c, int r) {
    if (!more) return false;
    table.SetCell(c, r, std::to_string(value));
    more = !__builtin_add_overflow(value, step, &value);
    return true;
  });
  return WidenRule::IntegerSeries;
}

WidenRule DecimalSeries(TGridTable& table, const GridSelection& s, double a, double b, const PasteOptions& options) {
  const double step = b - a;
  const int decimals = std::clamp(options.floatDecimals, 0, 30);
  const char separator = table.GetLocale().decimalSeparator;
  int64_t k = 0;
  VisitSelection(s, [&](int c, int r) {
    // From the first value each time rather than by adding, so no error gathers.
    const double value = a + static_cast<double>(k++) * step;
    if (!std::isfinite(value)) return false;
    table.SetCell(c, r, FormatDecimal(value, decimals, separator));
    return true;
  });
  return WidenRule::DecimalSeries;
}

WidenRule DateSeries(TGridTable& table, const GridSelection& s, const std::string& a_text, const std::string& b_text,
                     const PasteOptions& options) {
  const Locale& locale = table.GetLocale();
  int64_t a = 0;
  int64_t b = 0;
  if (!ReadDateOrTime(a_text, locale, options.defaultYear, a) ||
      !ReadDateOrTime(b_text, locale, options.defaultYear, b) || !IsWritable(a)) {
    return WidenRule::None;
  }
  // Written as the first value is written: a time, a date, or a date with its time (which a
  // date alone would silently drop from every cell, the two typed ones included). A time
  // whose fraction separator is also the date separator ("10:00:00.250" where both are ".")
  // is still a time.
  DateTextForm form = DateTextForm::Time;
  if (LooksLikeDate(a_text, locale)) {
    form = a_text.find(locale.timeSeparator) != std::string::npos ? DateTextForm::DateAndTime : DateTextForm::Date;
  }
  const DateStep step = ChooseDateStep(a, b);
  std::optional<int64_t> value = a;
  VisitSelection(s, [&](int c, int r) {
    if (!value) return false;
    table.SetCell(c, r, FormatSeriesValue(*value, form, locale));
    value = Advance(*value, step);
    return true;
  });
  return form == DateTextForm::Time ? WidenRule::TimeSeries : WidenRule::DateSeries;
}

}  // namespace

PastedBlock PastePlain(TGridTable& table, int col, int row, std::string_view text) {
  const ClipboardBlock parsed = ParseClipboardText(text);
  PastedBlock block;
  block.fieldCount = parsed.fieldCount;
  if (parsed.lines.empty()) return block;
  block.firstLineFields = static_cast<int>(parsed.lines.front().size());
  col = std::clamp(col, 0, table.ColCount() - 1);
  row = std::clamp(row, 1, table.RowCount() - 1);
  for (const std::vector<std::string>& line : parsed.lines) {
    const int r = row + block.lineCount;
    if (r >= table.RowCount()) {
      table.AddRow();
      if (r >= table.RowCount()) break;  // the table is as long as it can be
    }
    const int64_t needed = int64_t{col} + static_cast<int64_t>(line.size());
    if (needed > table.ColCount()) {
      table.SetColCount(static_cast<int>(std::min<int64_t>(needed, TGridTable::kMaxColCount)));
    }
    for (size_t j = 0; j < line.size() && col + static_cast<int64_t>(j) < table.ColCount(); ++j) {
      table.SetCell(col + static_cast<int>(j), r, line[j]);
    }
    ++block.lineCount;
  }
  return block;
}

WidenRule WidenPaste(TGridTable& table, const GridSelection& selection, const PastedBlock& block,
                     const PasteOptions& options) {
  const GridSelection s = selection.ClampedTo(table);
  const int64_t n = block.fieldCount;
  if (n == s.CellCount() + 1) return WidenRule::FittedSelection;
  if (n == 1 && s.CellCount() > 1) {
    Fill(table, s);
    return WidenRule::Fill;
  }
  if (n < 2 || (s.Width() > 1 && s.Height() > 1)) return WidenRule::None;

  // The first two values: down a one-column selection, else along the row (a single cell
  // counts as a row). The second is read from the table, whatever the block held.
  const bool down = s.Width() == 1 && s.Height() > 1;
  const std::string a = table.Cell(s.left, s.top);
  const std::string b = down ? table.Cell(s.left, s.top + 1) : table.Cell(s.left + 1, s.top);
  const Locale& locale = table.GetLocale();

  if (IsDateOrTimeText(a, locale) && IsDateOrTimeText(b, locale)) return DateSeries(table, s, a, b, options);

  const bool decimal = a.find(locale.decimalSeparator) != std::string::npos ||
                       b.find(locale.decimalSeparator) != std::string::npos;
  if (!decimal) {
    int64_t first = 0;
    int64_t second = 0;
    if (!ReadWholeNumber(a, first) || !ReadWholeNumber(b, second)) {
      Repeat(table, s, block);
      return WidenRule::Repeat;
    }
    return IntegerSeries(table, s, first, second);
  }
  double first = 0;
  double second = 0;
  if (!TryReadDecimal(a, locale, first) || !TryReadDecimal(b, locale, second)) return WidenRule::None;
  return DecimalSeries(table, s, first, second, options);
}

PasteOutcome PasteText(TGridTable& table, const GridSelection& selection, std::string_view text,
                       const PasteOptions& options) {
  PasteOutcome outcome;
  if (text.empty()) return outcome;
  const GridSelection s = selection.ClampedTo(table);
  outcome.block = PastePlain(table, s.left, s.top, text);
  if (options.widen) outcome.rule = WidenPaste(table, s, outcome.block, options);
  return outcome;
}

}  // namespace ln40
