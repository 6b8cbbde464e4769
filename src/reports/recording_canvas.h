#pragma once
// RecordingCanvas: a PrintCanvas without a printer, for tests and for tools that want to see
// a layout. Text is measured with a fixed-width rule: every character is font size x 2
// tenths of a millimetre wide and a line is font size x 4 high (an 8 point font: 1.6 mm a
// character, 3.2 mm a line). Everything drawn is kept page by page.
#include <string>
#include <vector>

#include "reports/print_canvas.h"

namespace ln40 {

class RecordingCanvas : public PrintCanvas {
 public:
  struct Text {
    int x = 0;
    int y = 0;
    std::string text;
    FontSpec font;
    CellColor color = 0;
    PrintRect clip;
  };
  struct Line {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int width = 0;
    LineStyle style = LineStyle::Solid;
  };
  struct Fill {
    PrintRect rect;
    CellColor color = 0;
  };
  struct Page {
    std::vector<Text> texts;
    std::vector<Line> lines;
    std::vector<Fill> fills;
  };

  // A4 by default: 2100 x 2970 tenths of a millimetre, portrait.
  explicit RecordingCanvas(int page_width = 2100, int page_height = 2970);

  static int CharWidth(const FontSpec& font) { return font.size * 2; }
  static int LineHeight(const FontSpec& font) { return font.size * 4; }

  int PageWidth() const override { return page_width_; }
  int PageHeight() const override { return page_height_; }
  int TextWidth(const FontSpec& font, std::string_view text) override;
  int TextHeight(const FontSpec& font) override;
  void FillRect(const PrintRect& rect, CellColor color) override;
  void DrawLine(int x1, int y1, int x2, int y2, int width, LineStyle style) override;
  void DrawText(int x, int y, std::string_view text, const FontSpec& font, CellColor color,
                const PrintRect& clip) override;
  void NewPage() override;

  const std::vector<Page>& Pages() const { return pages_; }
  // The texts of one page, top to bottom and left to right.
  std::vector<std::string> TextsOf(int page) const;
  // The first text of `page` equal to `text`, or nullptr.
  const Text* Find(int page, const std::string& text) const;

 private:
  int page_width_;
  int page_height_;
  std::vector<Page> pages_;
};

}  // namespace ln40
