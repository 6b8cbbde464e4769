#pragma once
// Start numbers and start times: the command "Assign startnumbers and starttime". Draws the
// runners of the sheet into a random order within each course and class, optionally puts
// vacant start places before the runners of each class (rows with only Klasse and Løype
// filled, the course being that of the class's first runner), then
// numbers every row from 1 down the whole sheet and gives it a start time: the reader
// nulltime plus 15 seconds per row.
//
// While it runs the sheet carries two temporary columns at its right end (the marker column
// with "X" for runners and "VAC" for vacant rows, and the draw column); both are removed
// before the command returns, also when it fails.
//
// Used on the event thread only; not thread-safe.
#include <cstdint>
#include <random>
#include <string>

#include "table/grid_table.h"

namespace ln40 {

enum class DialogAnswer { Yes, No, Cancel };

// The dialogs the command shows.
class StartAssignmentDialogs {
 public:
  virtual ~StartAssignmentDialogs() = default;
  // A message box with the buttons Yes, No and Cancel, the information icon and Cancel as
  // the default button; closing the box answers Cancel.
  virtual DialogAnswer AskYesNoCancel(const std::string& text, const std::string& caption) = 0;
  // An input box with OK and Cancel and an edit field preset with `value`. False when
  // cancelled; true with the entered text in `value` when confirmed.
  virtual bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) = 0;
  // A message box with OK.
  virtual void ShowMessage(const std::string& text) = 0;
};

// Where the draw's random numbers come from.
class DrawSource {
 public:
  virtual ~DrawSource() = default;
  // A whole number from 0 to 9999.
  virtual int NextDraw() = 0;
};

// A Mersenne Twister (64-bit) with a given seed; the same seed gives the same draws on every
// platform. FromClock() seeds it from the clock, as the window's command does at each run.
class SeededDrawSource : public DrawSource {
 public:
  explicit SeededDrawSource(uint64_t seed) : engine_(seed) {}
  static SeededDrawSource FromClock();
  int NextDraw() override;

 private:
  std::mt19937_64 engine_;
};

inline constexpr const char* kVacantQuestion = "Insert vacant runners before each class?";
inline constexpr const char* kVacantQuestionCaption = "Vacant runners";
inline constexpr const char* kVacantPromptCaption = "Insert vacant runners";
inline constexpr const char* kVacantPromptText = "Number of vacant runners for ";  // + class name
// The prompt refuses counts outside 0 to kMaxVacantPerClass with one of these messages and
// asks again.
inline constexpr int kMaxVacantPerClass = 999;
inline constexpr const char* kNegativeVacantMessage = "The number of vacant runners cannot be negative.";
inline constexpr const char* kTooManyVacantMessage = "At most 999 vacant runners can be inserted for one class.";

// Runs the command on `sheet` (the runner sheet, whose locale reads and writes the times).
// `nulltime` is the text of the reader nulltime field. `previous_class` is the window's
// previous class: the vacant-runner walk sets it to the class of the last row it visits,
// and the INS rule reads it later (a run without vacant runners leaves it as it was).
//
// Returns false when the question was cancelled (the sheet is then unchanged), true when
// the command ran. A nulltime that does not read as a time of day throws
// Error("'<nulltime>' is not a valid time") after the sort, with the temporary columns
// removed and no numbers or times written. A sheet of fewer than twelve columns is widened
// to twelve so the numbers and times have their columns.
bool AssignStartNumbersAndTimes(TGridTable& sheet, StartAssignmentDialogs& dialogs, DrawSource& draw,
                                const std::string& nulltime, std::string& previous_class);

}  // namespace ln40
