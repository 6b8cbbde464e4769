#pragma once
// How a table looks on screen, as far as the HTML page and the printout repeat it: fonts,
// alignment, banded rows, word wrap, the screen metrics that printing converts, and the
// system colours. TGridTable holds texts, merges and cell colours only; everything else a
// view shows lives here, one value per table, owned next to the table by whoever shows it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "table/grid_table.h"

namespace ln40 {

struct FontSpec {
  std::string name = "MS Sans Serif";
  int size = 8;  // points
  bool bold = false;
  bool italic = false;
  bool underline = false;

  bool operator==(const FontSpec&) const = default;
};

enum class HorizontalAlignment { Left, Right, Center };
enum class VerticalAlignment { Top, Center, Bottom };

// The desktop's colours as 0xRRGGBB. The defaults are those of a current Windows desktop;
// the window system fills in its own palette (button, base, text, tool tip, light).
struct SystemColors {
  CellColor buttonFace = 0xF0F0F0;      // header row
  CellColor window = 0xFFFFFF;          // body cells, second band
  CellColor windowText = 0x000000;      // every font
  CellColor infoBackground = 0xFFFFE1;  // first band
  CellColor light3D = 0xE3E3E3;         // class headings of the result list
};

// Colour used by the start list for its class headings.
constexpr CellColor kSilver = 0xC0C0C0;

struct TableLook {
  FontSpec font;                                   // body cells
  FontSpec headerFont = {"MS Sans Serif", 8, true};  // the header row; bold
  // Alignment by column index; columns beyond the list are left-aligned.
  std::vector<HorizontalAlignment> columnAlignment;
  VerticalAlignment verticalAlignment = VerticalAlignment::Top;
  bool bands = false;    // body rows alternate between two colours
  bool wordWrap = true;  // cells wrap their text
  int screenPixelsPerInch = 96;
  int defaultRowHeight = 24;  // pixels, every row
  SystemColors colors;
  // The font of one body cell when it is not the table's font; unset: every body cell uses
  // `font`. (None of the system's tables sets it; a view with per-cell fonts would.)
  std::function<FontSpec(int col, int row)> cellFont;

  HorizontalAlignment AlignmentOf(int col) const {
    return col >= 0 && static_cast<size_t>(col) < columnAlignment.size() ? columnAlignment[static_cast<size_t>(col)]
                                                                          : HorizontalAlignment::Left;
  }
};

// The runner sheet and the read-times table show bands; the list tables do not.
TableLook BandedTableLook(const SystemColors& colors = {});
TableLook ListTableLook(const SystemColors& colors = {});

}  // namespace ln40
