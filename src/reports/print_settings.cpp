#include "reports/print_settings.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <limits>

#include "text/codepage.h"

namespace ln40 {
namespace {

constexpr std::string_view kSection = "PRINTSETTINGS";
constexpr std::string_view kLineEnd = "\r\n";
// Longest length the INI may set: a metre, far beyond any sheet of paper.
constexpr int kMaxLength = 10000;

template <typename Enum, size_t N>
struct EnumNames {
  std::array<std::pair<Enum, std::string_view>, N> names;

  std::string_view Name(Enum value) const {
    for (const auto& [v, name] : names) {
      if (v == value) return name;
    }
    return names[0].second;
  }
  bool Read(std::string_view text, Enum& value) const {
    for (const auto& [v, name] : names) {
      if (UpperCase(name) == UpperCase(text)) {
        value = v;
        return true;
      }
    }
    return false;
  }
};

constexpr EnumNames<PrintPosition, 7> kPositions{{{
    {PrintPosition::None, "None"},
    {PrintPosition::TopLeft, "TopLeft"},
    {PrintPosition::TopRight, "TopRight"},
    {PrintPosition::TopCenter, "TopCenter"},
    {PrintPosition::BottomLeft, "BottomLeft"},
    {PrintPosition::BottomRight, "BottomRight"},
    {PrintPosition::BottomCenter, "BottomCenter"},
}}};

constexpr EnumNames<PrintBorders, 8> kBorders{{{
    {PrintBorders::None, "None"},
    {PrintBorders::Single, "Single"},
    {PrintBorders::Double, "Double"},
    {PrintBorders::Vertical, "Vertical"},
    {PrintBorders::Horizontal, "Horizontal"},
    {PrintBorders::Around, "Around"},
    {PrintBorders::AroundVertical, "AroundVertical"},
    {PrintBorders::AroundHorizontal, "AroundHorizontal"},
}}};

constexpr EnumNames<LineStyle, 6> kLineStyles{{{
    {LineStyle::Solid, "Solid"},
    {LineStyle::Dash, "Dash"},
    {LineStyle::Dot, "Dot"},
    {LineStyle::DashDot, "DashDot"},
    {LineStyle::DashDotDot, "DashDotDot"},
    {LineStyle::None, "None"},
}}};

constexpr EnumNames<PrintFit, 4> kFits{{{
    {PrintFit::Never, "Never"},
    {PrintFit::Grow, "Grow"},
    {PrintFit::Shrink, "Shrink"},
    {PrintFit::Always, "Always"},
}}};

constexpr EnumNames<PageOrientation, 2> kOrientations{{{
    {PageOrientation::Portrait, "Portrait"},
    {PageOrientation::Landscape, "Landscape"},
}}};

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool ReadInt(std::string_view text, int low, int high, int& value) {
  int parsed = 0;
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, parsed);
  if (result.ec != std::errc() || result.ptr != end) return false;
  value = std::clamp(parsed, low, high);
  return true;
}

bool ReadBool(std::string_view text, bool& value) {
  const std::string upper = UpperCase(text);
  if (upper == "1" || upper == "TRUE" || upper == "YES") value = true;
  else if (upper == "0" || upper == "FALSE" || upper == "NO") value = false;
  else return false;
  return true;
}

std::string FontStyleText(const FontSpec& font) {
  std::string style;
  const auto add = [&style](bool on, const char* name) {
    if (!on) return;
    if (!style.empty()) style += ',';
    style += name;
  };
  add(font.bold, "Bold");
  add(font.italic, "Italic");
  add(font.underline, "Underline");
  return style;
}

bool ReadFontStyle(std::string_view text, FontSpec& font) {
  FontSpec read = font;
  read.bold = read.italic = read.underline = false;
  while (!text.empty()) {
    const size_t comma = std::min(text.find(','), text.size());
    const std::string word = UpperCase(TrimBlanks(text.substr(0, comma)));
    if (word == "BOLD") read.bold = true;
    else if (word == "ITALIC") read.italic = true;
    else if (word == "UNDERLINE") read.underline = true;
    else if (!word.empty()) return false;
    text.remove_prefix(std::min(comma + 1, text.size()));
  }
  font = read;
  return true;
}

// One key of the section: how its value is written and read.
struct Key {
  std::string name;
  std::function<std::string(const PrintSettings&)> write;
  std::function<bool(std::string_view, PrintSettings&)> read;
};

Key LengthKey(const char* name, int PrintSettings::*field) {
  return {name, [field](const PrintSettings& s) { return std::to_string(s.*field); },
          [field](std::string_view v, PrintSettings& s) { return ReadInt(v, 0, kMaxLength, s.*field); }};
}

Key TextKey(const char* name, std::string PrintSettings::*field) {
  return {name, [field](const PrintSettings& s) { return s.*field; },
          [field](std::string_view v, PrintSettings& s) {
            s.*field = std::string(v);
            return true;
          }};
}

Key BoolKey(const char* name, bool PrintSettings::*field) {
  return {name, [field](const PrintSettings& s) { return std::string(s.*field ? "1" : "0"); },
          [field](std::string_view v, PrintSettings& s) { return ReadBool(v, s.*field); }};
}

template <typename Enum, size_t N>
Key EnumKey(const char* name, Enum PrintSettings::*field, const EnumNames<Enum, N>& names) {
  return {name, [field, &names](const PrintSettings& s) { return std::string(names.Name(s.*field)); },
          [field, &names](std::string_view v, PrintSettings& s) { return names.Read(v, s.*field); }};
}

void AddFontKeys(std::vector<Key>& keys, const std::string& prefix, FontSpec PrintSettings::*field) {
  keys.push_back({prefix + "Name", [field](const PrintSettings& s) { return (s.*field).name; },
                  [field](std::string_view v, PrintSettings& s) {
                    if (v.empty()) return false;
                    (s.*field).name = std::string(v);
                    return true;
                  }});
  keys.push_back({prefix + "Size", [field](const PrintSettings& s) { return std::to_string((s.*field).size); },
                  [field](std::string_view v, PrintSettings& s) { return ReadInt(v, 1, 200, (s.*field).size); }});
  keys.push_back({prefix + "Style", [field](const PrintSettings& s) { return FontStyleText(s.*field); },
                  [field](std::string_view v, PrintSettings& s) { return ReadFontStyle(v, s.*field); }});
}

const std::vector<Key>& Keys() {
  static const std::vector<Key> keys = [] {
    std::vector<Key> k;
    k.push_back(LengthKey("HeaderSize", &PrintSettings::HeaderSize));
    k.push_back(LengthKey("FooterSize", &PrintSettings::FooterSize));
    k.push_back(LengthKey("LeftSize", &PrintSettings::LeftSize));
    k.push_back(LengthKey("RightSize", &PrintSettings::RightSize));
    k.push_back(LengthKey("ColumnSpacing", &PrintSettings::ColumnSpacing));
    k.push_back(LengthKey("RowSpacing", &PrintSettings::RowSpacing));
    k.push_back(LengthKey("TitleSpacing", &PrintSettings::TitleSpacing));
    k.push_back(EnumKey("Title", &PrintSettings::Title, kPositions));
    k.push_back(TextKey("TitleText", &PrintSettings::TitleText));
    k.push_back(EnumKey("Date", &PrintSettings::Date, kPositions));
    k.push_back(TextKey("DateFormat", &PrintSettings::DateFormat));
    k.push_back(EnumKey("Time", &PrintSettings::Time, kPositions));
    k.push_back(EnumKey("PageNr", &PrintSettings::PageNr, kPositions));
    k.push_back(TextKey("PagePrefix", &PrintSettings::PagePrefix));
    k.push_back(TextKey("PageSuffix", &PrintSettings::PageSuffix));
    k.push_back(TextKey("PageNumSep", &PrintSettings::PageNumSep));
    k.push_back(EnumKey("Borders", &PrintSettings::Borders, kBorders));
    k.push_back(EnumKey("BorderStyle", &PrintSettings::BorderStyle, kLineStyles));
    k.push_back(BoolKey("Centered", &PrintSettings::Centered));
    k.push_back(BoolKey("RepeatFixedRows", &PrintSettings::RepeatFixedRows));
    k.push_back(BoolKey("RepeatFixedCols", &PrintSettings::RepeatFixedCols));
    k.push_back(EnumKey("FitToPage", &PrintSettings::FitToPage, kFits));
    k.push_back(BoolKey("NoAutoSize", &PrintSettings::NoAutoSize));
    k.push_back(BoolKey("NoAutoSizeRow", &PrintSettings::NoAutoSizeRow));
    k.push_back(BoolKey("UseDisplayFont", &PrintSettings::UseDisplayFont));
    k.push_back(BoolKey("PrintGraphics", &PrintSettings::PrintGraphics));
    k.push_back(EnumKey("Orientation", &PrintSettings::Orientation, kOrientations));
    AddFontKeys(k, "HeaderFont", &PrintSettings::HeaderFont);
    AddFontKeys(k, "FooterFont", &PrintSettings::FooterFont);
    AddFontKeys(k, "Font", &PrintSettings::Font);
    AddFontKeys(k, "FixedFont", &PrintSettings::FixedFont);
    return k;
  }();
  return keys;
}

// A value as the INI holds it: in double quotes when blanks at either end or quotes around
// it would otherwise be lost on reading. Line breaks cannot be held and become blanks.
std::string QuoteValue(std::string value) {
  std::replace(value.begin(), value.end(), '\r', ' ');
  std::replace(value.begin(), value.end(), '\n', ' ');
  const bool edge_blank = !value.empty() && (value.front() == ' ' || value.back() == ' ' ||
                                              value.front() == '\t' || value.back() == '\t');
  const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
  return edge_blank || quoted ? '"' + value + '"' : value;
}

std::string_view UnquoteValue(std::string_view value) {
  value = TrimBlanks(value);
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

std::vector<std::string_view> SplitViewLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

// The section name of a "[NAME]" line, or false.
bool SectionName(std::string_view line, std::string& name) {
  line = TrimBlanks(line);
  if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
  name = UpperCase(TrimBlanks(line.substr(1, line.size() - 2)));
  return true;
}

}  // namespace

PrintSettings RunnerSheetPrintSettings() {
  PrintSettings s;
  s.HeaderSize = 99;
  s.FooterSize = 100;
  s.LeftSize = 99;
  s.RightSize = 100;
  s.Title = PrintPosition::TopCenter;
  s.Date = PrintPosition::BottomLeft;
  s.PageNr = PrintPosition::BottomRight;
  s.HeaderFont = {"MS Sans Serif", 8};
  s.FooterFont = {"MS Sans Serif", 8};
  return s;
}

PrintSettings ReadTimesPrintSettings() {
  PrintSettings s;
  s.HeaderFont = {"MS Sans Serif", 8};
  s.FooterFont = {"MS Sans Serif", 8};
  return s;
}

PrintSettings ListPrintSettings(const std::string& title) {
  PrintSettings s;
  s.FooterSize = 30;
  s.HeaderSize = 30;
  s.Borders = PrintBorders::None;
  s.RepeatFixedRows = true;
  s.Title = PrintPosition::TopCenter;
  s.TitleText = title;
  s.HeaderFont.size = 14;
  s.PagePrefix = "Vexa timing system LN40     ";
  s.PageNr = PrintPosition::BottomCenter;
  return s;
}

PrintSettingsEdit::PrintSettingsEdit(PrintSettings& settings) : settings_(settings), saved_(settings) {
  if (!settings_.TitleText.empty()) {
    settings_.TitleLines = SplitLines(settings_.TitleText);
    settings_.TitleText.clear();
  }
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  for (std::string_view line : SplitViewLines(text)) lines.emplace_back(line);
  return lines;
}

std::string WritePrintSettingsIni(std::string_view ini_text, const PrintSettings& settings) {
  std::string section = "[" + std::string(kSection) + "]";
  section += kLineEnd;
  for (const Key& key : Keys()) {
    section += key.name + "=" + QuoteValue(key.write(settings));
    section += kLineEnd;
  }
  section += "TitleLineCount=" + std::to_string(settings.TitleLines.size());
  section += kLineEnd;
  for (size_t i = 0; i < settings.TitleLines.size(); ++i) {
    section += "TitleLine" + std::to_string(i + 1) + "=" + QuoteValue(settings.TitleLines[i]);
    section += kLineEnd;
  }

  std::string out;
  bool in_ours = false;
  bool written = false;
  for (std::string_view line : SplitViewLines(ini_text)) {
    std::string name;
    if (SectionName(line, name)) {
      in_ours = name == kSection;
      if (in_ours && !written) {
        out += section;
        written = true;
      }
      if (in_ours) continue;
    }
    if (in_ours) continue;
    out += line;
    out += kLineEnd;
  }
  if (!written) out += section;
  return out;
}

bool ReadPrintSettingsIni(std::string_view ini_text, PrintSettings& settings) {
  bool in_ours = false;
  bool found = false;
  int title_line_count = -1;
  std::vector<std::pair<int, std::string>> title_lines;
  for (std::string_view line : SplitViewLines(ini_text)) {
    std::string name;
    if (SectionName(line, name)) {
      in_ours = name == kSection;
      found = found || in_ours;
      continue;
    }
    if (!in_ours) continue;
    const std::string_view trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed.front() == ';') continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key = UpperCase(TrimBlanks(line.substr(0, equals)));
    const std::string_view value = UnquoteValue(line.substr(equals + 1));

    if (key == "TITLELINECOUNT") {
      int count = 0;
      if (ReadInt(value, 0, 1000, count)) title_line_count = count;
      continue;
    }
    if (key.rfind("TITLELINE", 0) == 0) {
      int index = 0;
      if (ReadInt(std::string_view(key).substr(9), 1, 1000, index) && key.size() > 9) {
        title_lines.emplace_back(index, std::string(value));
      }
      continue;
    }
    for (const Key& k : Keys()) {
      if (UpperCase(k.name) == key) {
        PrintSettings attempt = settings;
        if (k.read(value, attempt)) settings = std::move(attempt);
        break;
      }
    }
  }
  if (title_line_count >= 0) {
    std::vector<std::string> lines(static_cast<size_t>(title_line_count));
    for (const auto& [index, text] : title_lines) {
      if (index <= title_line_count) lines[static_cast<size_t>(index - 1)] = text;
    }
    settings.TitleLines = std::move(lines);
  }
  return found;
}

std::string IniFileNameForSave(const std::string& name, int filter_index) {
  if (filter_index != 1) return name;
  const size_t slash = name.find_last_of('/');
  const std::string_view last = slash == std::string::npos ? std::string_view(name) : std::string_view(name).substr(slash + 1);
  if (last.empty() || last.find('.') != std::string_view::npos) return name;
  return name + ".ini";
}

}  // namespace ln40
