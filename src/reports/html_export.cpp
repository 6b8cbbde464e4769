#include "reports/html_export.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

#include "reports/safe_file.h"
#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"

namespace ln40 {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

void AppendLine(std::string& out, std::string_view line) {
  out += line;
  out += kLineEnd;
}

// The lines of a header or footer file, each re-ended with CR LF. A line ends at CR LF, LF
// or CR; a last line without an end is a line too. Unreadable files give nothing.
void AppendFileLines(std::string& out, const std::string& path) {
  if (path.empty()) return;
  std::string bytes;
  if (!ReadFileBytes(path, bytes)) return;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      AppendLine(out, std::string_view(bytes).substr(start));
      break;
    }
    AppendLine(out, std::string_view(bytes).substr(start, end - start));
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
  }
}

void AppendNumberAttribute(std::string& out, std::string_view name, int value) {
  out += ' ';
  out += name;
  out += "=\"";
  out += std::to_string(value);
  out += '"';
}

std::string ReplaceCarriageReturns(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '\r') out += "<br>";
    else out += c;
  }
  return out;
}

std::string BodyText(std::string_view text, const HTMLSettings& settings) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (settings.ConvertSpecialChars && c == '&') out += "&amp;";
    else if (settings.ConvertSpecialChars && c == '"') out += "&quot;";
    else if (settings.ConvertSpecialChars && c == '<') out += "&lt;";
    else if (settings.ConvertSpecialChars && c == '>') out += "&gt;";
    else if (settings.NonBreakingText && c == ' ') out += "&nbsp;";
    else if (c == '\r') out += "<br>";
    else out += c;
  }
  if (out.find_first_not_of(' ') == std::string::npos) return "<br>";
  return out;
}

void AppendAlignment(std::string& out, HorizontalAlignment alignment) {
  if (alignment == HorizontalAlignment::Right) out += " align=\"right\"";
  else if (alignment == HorizontalAlignment::Center) out += " align=\"center\"";
}

void AppendVerticalAlignment(std::string& out, VerticalAlignment alignment) {
  if (alignment == VerticalAlignment::Top) out += " valign=\"top\"";
  else if (alignment == VerticalAlignment::Bottom) out += " valign=\"bottom\"";
}

// One cell as the writer sees it: where its text and attributes come from and how far it
// reaches. Cells covered by a merge are not written at all.
struct CellToWrite {
  int col = 0;  // the cell that carries text, colour and alignment
  int row = 0;
  int colspan = 1;
  int rowspan = 1;
};

class RowWriter {
 public:
  RowWriter(const TGridTable& table, const HTMLSettings& settings, const TableLook& look)
      : table_(table), settings_(settings), look_(look) {
    visible_.reserve(static_cast<size_t>(table.ColCount()));
    for (int col = 0; col < table.ColCount(); ++col) visible_.push_back(!table.IsColumnHidden(col));
  }

  void AppendRow(std::string& out, int row) {
    AppendLine(out, "<tr>");
    for (int col = 0; col < table_.ColCount(); ++col) {
      if (!visible_[static_cast<size_t>(col)]) continue;
      CellToWrite cell;
      if (!Locate(col, row, cell)) continue;
      if (row == 0) AppendHeaderCell(out, cell, col);
      else AppendBodyCell(out, cell);
    }
    AppendLine(out, "</tr>");
  }

 private:
  // False for a covered cell. The top-left cell of a merge is written with its spans. When
  // that cell is hidden, the merge is written at its first visible column instead, so that
  // the text of a merge reaching into visible columns is not lost.
  bool Locate(int col, int row, CellToWrite& cell) const {
    cell = {col, row, 1, 1};
    const std::optional<MergeSpan> span = table_.MergeSpanAt(col, row);
    if (!span) return true;
    if (span->row != row) return false;
    if (span->col != col) {
      for (int c = span->col; c < col; ++c) {
        if (visible_[static_cast<size_t>(c)]) return false;
      }
    }
    cell.col = span->col;
    const int end = std::min(span->col + span->width, table_.ColCount());
    int visible = 0;
    for (int c = col; c < end; ++c) visible += visible_[static_cast<size_t>(c)] ? 1 : 0;
    cell.colspan = visible;
    cell.rowspan = std::min(span->height, table_.RowCount() - row);
    return true;
  }

  void AppendSpans(std::string& out, const CellToWrite& cell) const {
    if (cell.colspan >= 2) AppendNumberAttribute(out, "colspan", cell.colspan);
    if (cell.rowspan >= 2) AppendNumberAttribute(out, "rowspan", cell.rowspan);
  }

  void AppendHeaderCell(std::string& out, const CellToWrite& cell, int shown_col) const {
    const std::string& text = table_.Cell(cell.col, cell.row);
    out += "<td";
    if (!look_.wordWrap) out += " nowrap";
    if (!text.empty()) AppendAlignment(out, look_.AlignmentOf(cell.col));
    out += " bgcolor=\"";
    out += HtmlColor(look_.colors.buttonFace);
    out += '"';
    AppendVerticalAlignment(out, look_.verticalAlignment);
    if (shown_col >= 0 && static_cast<size_t>(shown_col) < settings_.ColWidths.size()) {
      out += " width=";
      out += std::to_string(settings_.ColWidths[static_cast<size_t>(shown_col)]);
    }
    AppendSpans(out, cell);
    out += '>';
    const bool bold = settings_.SaveFonts && look_.headerFont.bold;
    if (bold) out += "<b>";
    if (settings_.SaveColor) {
      out += "<font color=\"";
      out += HtmlColor(look_.colors.windowText);
      out += "\">";
    }
    out += text.empty() ? std::string("<br>") : ReplaceCarriageReturns(text);
    if (settings_.SaveColor) out += "</font>";
    if (bold) out += "</b>";
    AppendLine(out, "</td>");
  }

  CellColor BodyColor(const CellToWrite& cell) const {
    if (const auto own = table_.CellBackground(cell.col, cell.row)) return *own;
    if (look_.bands && cell.row % 2 == 0) return look_.colors.window;
    if (look_.bands) return look_.colors.infoBackground;
    return look_.colors.window;
  }

  void AppendBodyCell(std::string& out, const CellToWrite& cell) const {
    const std::string& text = table_.Cell(cell.col, cell.row);
    const FontSpec font = look_.cellFont ? look_.cellFont(cell.col, cell.row) : look_.font;
    out += "<td";
    AppendSpans(out, cell);
    if (!look_.wordWrap) out += " nowrap";
    if (!text.empty()) {
      AppendAlignment(out, look_.AlignmentOf(cell.col));
      AppendVerticalAlignment(out, look_.verticalAlignment);
    }
    if (settings_.SaveColor) {
      out += " bgcolor=\"";
      out += HtmlColor(BodyColor(cell));
      out += '"';
    }
    out += '>';

    bool font_open = false;
    if (settings_.SaveFonts) {
      const bool face = font.name != look_.font.name;
      if (settings_.SaveColor || face) {
        out += "<font ";
        if (settings_.SaveColor) {
          out += "color=\"";
          out += HtmlColor(look_.colors.windowText);
          out += '"';
        }
        out += ' ';
        if (face) {
          out += "face=\"";
          out += font.name;
          out += '"';
        }
        out += '>';
        font_open = true;
      }
      if (font.bold) out += "<b>";
      if (font.italic) out += "<i>";
      if (font.underline) out += "<u>";
    } else if (settings_.SaveColor) {
      out += "<font color=\"";
      out += HtmlColor(look_.colors.windowText);
      out += "\">";
      font_open = true;
    }
    out += BodyText(text, settings_);
    if (settings_.SaveFonts) {
      if (font.underline) out += "</u>";
      if (font.italic) out += "</i>";
      if (font.bold) out += "</b>";
    }
    if (font_open) out += "</font>";
    AppendLine(out, "</td>");
  }

  const TGridTable& table_;
  const HTMLSettings& settings_;
  const TableLook& look_;
  std::vector<bool> visible_;
};

}  // namespace

std::string HtmlColor(CellColor color) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out = "#";
  for (int shift = 20; shift >= 0; shift -= 4) out += kDigits[(color >> shift) & 0xF];
  return out;
}

std::string RenderTableHtml(const TGridTable& table, const HTMLSettings& settings, const TableLook& look) {
  std::string out;
  out.reserve(static_cast<size_t>(table.RowCount()) * static_cast<size_t>(table.ColCount()) * 64 + 256);
  AppendFileLines(out, settings.HeaderFile);
  if (!settings.PrefixTag.empty()) AppendLine(out, settings.PrefixTag);

  std::string tag = "<table border=\"" + std::to_string(std::clamp(settings.BorderSize, 0, 10)) +
                    "\" cellspacing=\"" + std::to_string(std::clamp(settings.CellSpacing, 0, 10)) +
                    "\" cellpadding=\"" + std::to_string(std::clamp(settings.CellPadding, 0, 10)) + "\" ";
  if (!settings.TableStyle.empty()) tag += " " + settings.TableStyle + " ";
  tag += " width=\"" + std::to_string(std::clamp(settings.Width, 0, 100)) + "%\">";
  AppendLine(out, tag);

  RowWriter writer(table, settings, look);
  for (int row = 0; row < table.RowCount(); ++row) writer.AppendRow(out, row);

  AppendLine(out, "</table>");
  if (!settings.SuffixTag.empty()) AppendLine(out, settings.SuffixTag);
  AppendLine(out, "");
  AppendFileLines(out, settings.FooterFile);
  return out;
}

void SaveAsHTML(const TGridTable& table, const HTMLSettings& settings, const TableLook& look,
                const std::string& path, const OpenFileInViewer& viewer) {
  const std::string bytes = RenderTableHtml(table, settings, look);
  if (const FileReplaceFailure failure = TryReplaceFile(path, bytes)) {
    const std::string message = "Cannot Create file " + Utf8ToCp1252(path);
    throw Error(failure.refused_link.empty() ? message : message + ": " + failure.Reason());
  }
  if (settings.AutoPreview && viewer) viewer(path);
}

std::string HtmlPreviewPath() {
  const char* folder = std::getenv("TMPDIR");
  std::string path = folder != nullptr && *folder != '\0' ? folder : "/tmp";
  if (path.back() != '/') path += '/';
  return path + "temp001.htm";
}

std::string PreviewHtml(const TGridTable& table, const HTMLSettings& settings, const TableLook& look,
                        const OpenFileInViewer& viewer) {
  const std::string path = HtmlPreviewPath();
  SaveAsHTML(table, settings, look, path);
  if (viewer) viewer(path);
  return path;
}

}  // namespace ln40
