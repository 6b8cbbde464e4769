#pragma once
// SaveAsHTML: one TGridTable as an HTML fragment (no head, no body element, no character
// set), its visible columns and all its rows between two lines of the caller's choosing.
// Lines end with CR LF; cell texts are written byte for byte (Windows-1252). Stateless.
#include <functional>
#include <string>
#include <vector>

#include "table/grid_table.h"
#include "table/table_look.h"

namespace ln40 {

// One set per table; the defaults are those of a new table.
struct HTMLSettings {
  std::string PrefixTag;   // a line of its own before the table, when not empty
  std::string SuffixTag;   // a line of its own after the table, when not empty
  std::string TableStyle;  // extra attributes inside the table tag
  std::string HeaderFile;  // UTF-8 file name; its lines come first (skipped when unreadable)
  std::string FooterFile;  // UTF-8 file name; its lines come last (skipped when unreadable)
  int BorderSize = 1;      // 0 to 10
  int CellSpacing = 0;     // 0 to 10
  int CellPadding = 0;     // 0 to 10
  int Width = 100;         // 0 to 100, percent
  bool SaveColor = true;   // background and font colours of body cells
  bool SaveFonts = true;   // bold, italic, underline and font tags of body cells
  bool ConvertSpecialChars = false;  // & " < > as entities in body cells
  bool NonBreakingText = false;      // every blank of a body cell as &nbsp;
  bool AutoPreview = false;          // open the written file with the HTML viewer
  std::vector<int> ColWidths;        // width attribute of the header cell of column i
};

// Opens a written page with the desktop's viewer for HTML.
using OpenFileInViewer = std::function<void(const std::string& path)>;

// "#RRGGBB", upper-case hexadecimal.
std::string HtmlColor(CellColor color);

// The bytes SaveAsHTML writes, header and footer files included. Numbers outside their
// ranges are taken as the nearest allowed value.
std::string RenderTableHtml(const TGridTable& table, const HTMLSettings& settings, const TableLook& look);

// Writes the page to `path` (UTF-8), replacing an existing file only once the new one is
// complete. Throws Error("Cannot Create file " + path) when the file cannot be written; the
// target is then unchanged. With AutoPreview on, `viewer` (when set) is given the path.
void SaveAsHTML(const TGridTable& table, const HTMLSettings& settings, const TableLook& look,
                const std::string& path, const OpenFileInViewer& viewer = {});

// Where the "Preview" button of the "HTML Settings" dialog writes: temp001.htm in the
// folder of temporary files ($TMPDIR, else /tmp).
std::string HtmlPreviewPath();

// The dialog's "Preview": writes the table to HtmlPreviewPath() and opens it in the viewer.
// Returns the path written.
std::string PreviewHtml(const TGridTable& table, const HTMLSettings& settings, const TableLook& look,
                        const OpenFileInViewer& viewer);

}  // namespace ln40
