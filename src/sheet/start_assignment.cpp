#include "sheet/start_assignment.h"

#include <chrono>
#include <limits>

#include "sheet/runner_sheet.h"
#include "text/date_time.h"
#include "text/error.h"

namespace ln40 {
namespace {

// Removes the temporary columns at the sheet's right end when the command leaves, whether
// it returns or fails.
class TemporaryColumns {
 public:
  explicit TemporaryColumns(TGridTable& sheet) : sheet_(sheet), columns_(sheet.ColCount()) {}
  ~TemporaryColumns() { Remove(); }
  TemporaryColumns(const TemporaryColumns&) = delete;
  TemporaryColumns& operator=(const TemporaryColumns&) = delete;

  // Appends a column and returns its index.
  int Add() {
    sheet_.AddColumn();
    return sheet_.ColCount() - 1;
  }
  void Remove() {
    while (sheet_.ColCount() > columns_) sheet_.RemoveColumn(sheet_.ColCount() - 1);
  }

 private:
  TGridTable& sheet_;
  int columns_;
};

enum class CountText { Number, NotNumber };

// Reads a decimal whole number: blanks around it, an optional sign, digits. Values beyond
// the range that matters are held at a large bound rather than overflowing.
CountText ReadCount(const std::string& text, long long& value) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  const size_t digits_start = pos;
  long long result = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    result = std::min<long long>(result * 10 + (text[pos] - '0'), 1'000'000'000'000LL);
  }
  if (pos == digits_start) return CountText::NotNumber;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  if (pos != text.size()) return CountText::NotNumber;
  value = negative ? -result : result;
  return CountText::Number;
}

// The prompt for one class. Returns false when cancelled. A count that is not a number
// counts as 0; a negative count or one above the maximum is refused with a message and the
// prompt is shown again with the refused text. `count_text` becomes the confirmed text.
bool AskVacantCount(StartAssignmentDialogs& dialogs, const std::string& class_name, std::string& count_text,
                    int& count) {
  std::string value = count_text;
  while (true) {
    if (!dialogs.InputQuery(kVacantPromptCaption, kVacantPromptText + class_name, value)) return false;
    long long number = 0;
    if (ReadCount(value, number) == CountText::NotNumber) number = 0;
    if (number < 0) {
      dialogs.ShowMessage(kNegativeVacantMessage);
      continue;
    }
    if (number > kMaxVacantPerClass) {
      dialogs.ShowMessage(kTooManyVacantMessage);
      continue;
    }
    count_text = value;
    count = static_cast<int>(number);
    return true;
  }
}

// Sorts by class, marks every row "X", then walks the rows and puts the confirmed number of
// vacant rows before the first runner of each class. The walk goes on while the sheet grows.
void InsertVacantRunners(TGridTable& sheet, StartAssignmentDialogs& dialogs, int marker, std::string& previous_class) {
  using runner_sheet::kClass;
  using runner_sheet::kCourse;
  for (int row = 1; row < sheet.RowCount(); ++row) sheet.SetCell(marker, row, "X");
  previous_class = "heltny44a";  // matches no class name
  std::string count_text = "2";
  std::string vacant_class;
  for (int row = 1; row < sheet.RowCount(); ++row) {
    const std::string klass = sheet.Cell(kClass, row);
    if (klass != previous_class && !klass.empty()) {
      int count = 0;
      if (AskVacantCount(dialogs, klass, count_text, count)) {
        vacant_class = klass;
        // The vacant rows take the course of the class's first runner: the final sort
        // orders by course first, and a vacant row without one would leave its class.
        const std::string course = sheet.Cell(kCourse, row);
        const int before = sheet.RowCount();
        if (count > 0) sheet.InsertRow(row, count);
        const int inserted = sheet.RowCount() - before;
        if (inserted > 0) {
          sheet.SetCell(kClass, row, klass);
          sheet.SetCell(marker, row, "VAC");
          for (int r = row; r < row + inserted; ++r) sheet.SetCell(kCourse, r, course);
        }
      }
    } else if (klass.empty()) {
      sheet.SetCell(kClass, row, vacant_class);
      sheet.SetCell(marker, row, "VAC");
    }
    previous_class = sheet.Cell(kClass, row);
  }
}

}  // namespace

SeededDrawSource SeededDrawSource::FromClock() {
  const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  return SeededDrawSource(static_cast<uint64_t>(ticks));
}

int SeededDrawSource::NextDraw() {
  // Rejection keeps the numbers uniform and the sequence the same on every platform.
  constexpr uint64_t kRange = 10000;
  constexpr uint64_t kLimit = std::numeric_limits<uint64_t>::max() - std::numeric_limits<uint64_t>::max() % kRange;
  uint64_t value = engine_();
  while (value >= kLimit) value = engine_();
  return static_cast<int>(value % kRange);
}

bool AssignStartNumbersAndTimes(TGridTable& sheet, StartAssignmentDialogs& dialogs, DrawSource& draw,
                                const std::string& nulltime, std::string& previous_class) {
  using namespace runner_sheet;
  const DialogAnswer answer = dialogs.AskYesNoCancel(kVacantQuestion, kVacantQuestionCaption);
  if (answer == DialogAnswer::Cancel) return false;
  if (sheet.ColCount() < kColumnCount) sheet.SetColCount(kColumnCount);

  {
    TemporaryColumns temporary(sheet);
    if (answer == DialogAnswer::Yes) {
      sheet.SortRowsByKeys({SortKey{kClass, SortDirection::Ascending}});
      const int marker = temporary.Add();
      InsertVacantRunners(sheet, dialogs, marker, previous_class);
    }
    const int draw_column = temporary.Add();
    for (int row = 1; row < sheet.RowCount(); ++row) sheet.SetCell(draw_column, row, std::to_string(draw.NextDraw()));
    // Within a course and class: after Yes the marker puts "VAC" before "X"; after No the
    // column left of the draw is the sheet's last column (Sluttid on a twelve-column sheet).
    sheet.SortRowsByKeys({SortKey{kCourse, SortDirection::Ascending}, SortKey{kClass, SortDirection::Ascending},
                          SortKey{draw_column - 1, SortDirection::Ascending},
                          SortKey{draw_column, SortDirection::Ascending}});
  }

  const Locale& locale = sheet.GetLocale();
  TDateTime time = 0;
  if (!TryReadTimeOfDay(nulltime, locale, time)) throw Error("'" + nulltime + "' is not a valid time");
  for (int row = 1, number = 1; row < sheet.RowCount(); ++row, ++number) {
    time = (time * 86400 + 15) / 86400;
    sheet.SetCell(kStartNumber, row, std::to_string(number));
    sheet.SetCell(kStartTime, row, FormatTimeOfDay(time, locale));
  }
  return true;
}

}  // namespace ln40
