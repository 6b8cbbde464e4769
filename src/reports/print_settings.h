#pragma once
// PrintSettings: how one table is laid out on paper, one set per table, edited by the
// "Print Settings" dialog and read by PrintTable (print_layout.h). Lengths are tenths of a
// millimetre. Also the dialog's Qt-free part (the copy that Cancel restores, the title
// lines) and the "PRINTSETTINGS" section of the INI files the dialog saves and loads.
#include <string>
#include <string_view>
#include <vector>

#include "table/table_look.h"

namespace ln40 {

enum class PrintPosition { None, TopLeft, TopRight, TopCenter, BottomLeft, BottomRight, BottomCenter };

// Which cell lines are drawn.
enum class PrintBorders { None, Single, Double, Vertical, Horizontal, Around, AroundVertical, AroundHorizontal };

enum class LineStyle { Solid, Dash, Dot, DashDot, DashDotDot, None };

// When column widths are scaled to the width between the margins.
enum class PrintFit { Never, Grow, Shrink, Always };

enum class PageOrientation { Portrait, Landscape };

struct PrintSettings {
  int HeaderSize = 0;     // top margin
  int FooterSize = 0;     // bottom margin
  int LeftSize = 0;       // left margin
  int RightSize = 0;      // right margin
  int ColumnSpacing = 0;  // extra space per column
  int RowSpacing = 0;     // extra space per row
  int TitleSpacing = 0;   // space below the top line
  PrintPosition Title = PrintPosition::None;
  std::string TitleText;                // Windows-1252, as every text here
  std::vector<std::string> TitleLines;  // the dialog's "Title Text" box, one entry a line
  PrintPosition Date = PrintPosition::None;
  std::string DateFormat = "dd/mm/yyyy";  // pattern of FormatPrintDateTime
  PrintPosition Time = PrintPosition::None;  // shown as "hh:nn"
  PrintPosition PageNr = PrintPosition::None;
  std::string PagePrefix;
  std::string PageSuffix;
  std::string PageNumSep = "/";
  PrintBorders Borders = PrintBorders::Single;
  LineStyle BorderStyle = LineStyle::Solid;
  bool Centered = true;
  bool RepeatFixedRows = false;  // the header row again at the top of every further page
  bool RepeatFixedCols = false;  // kept for the dialog; the system's tables have no fixed columns
  PrintFit FitToPage = PrintFit::Never;
  bool NoAutoSize = false;     // column widths from the screen instead of the texts
  bool NoAutoSizeRow = false;  // row heights from the screen instead of the texts
  bool UseDisplayFont = true;  // print in the table's screen fonts
  bool PrintGraphics = false;
  PageOrientation Orientation = PageOrientation::Portrait;
  FontSpec HeaderFont;  // the top lines
  FontSpec FooterFont;  // the bottom lines
  FontSpec Font;        // body cells without UseDisplayFont; its line height sets spacings
  FontSpec FixedFont = {"MS Sans Serif", 8, true};  // the header row without UseDisplayFont
};

// The settings the runner sheet starts with: margins of about 1 cm, the title at the top
// centre, the date at the bottom left and the page number at the bottom right.
PrintSettings RunnerSheetPrintSettings();
// The read-times table starts with the settings of a new table.
PrintSettings ReadTimesPrintSettings();
// The result and start lists: 3 mm top and bottom margins, no cell lines, the header row
// on every page, `title` at the top centre in 14 point, the page number at the bottom
// centre after "Vexa timing system LN40     ".
PrintSettings ListPrintSettings(const std::string& title);

// The dialog's edit of one table's settings. Construction keeps a copy and turns TitleText
// into TitleLines (split at line breaks), emptying TitleText; the dialog then edits the
// settings directly. Cancel() puts the copy back, fonts and all; Accept() keeps the edits.
class PrintSettingsEdit {
 public:
  explicit PrintSettingsEdit(PrintSettings& settings);
  PrintSettings& Settings() { return settings_; }
  void Accept() {}
  void Cancel() { settings_ = saved_; }

 private:
  PrintSettings& settings_;
  PrintSettings saved_;
};

// Splits a text at CR LF, LF or CR.
std::vector<std::string> SplitLines(std::string_view text);

// The INI file with the settings written into its "PRINTSETTINGS" section: the section is
// replaced (or appended), every other line of `ini_text` is kept. Lines end with CR LF.
// Texts with blanks at either end are written in double quotes so that they keep them.
std::string WritePrintSettingsIni(std::string_view ini_text, const PrintSettings& settings);

// Reads the "PRINTSETTINGS" section of `ini_text` into `settings`. Keys and the section name
// are matched without regard to case; keys that are missing or hold a value that does not
// read keep the value `settings` had. Returns false when the file has no such section.
bool ReadPrintSettingsIni(std::string_view ini_text, PrintSettings& settings);

// The file name "&Save settings" writes: ".ini" is appended to a name without a dot in its
// last path component when the first filter ("INI files") was chosen (filter_index 1).
std::string IniFileNameForSave(const std::string& name, int filter_index);

constexpr const char* kPrintSettingsIniFilter = "INI files (*.ini)|*.ini|All files (*.*)|*.*";

}  // namespace ln40
