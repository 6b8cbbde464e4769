#include "reports/recording_canvas.h"

#include <algorithm>

namespace ln40 {

RecordingCanvas::RecordingCanvas(int page_width, int page_height)
    : page_width_(page_width), page_height_(page_height), pages_(1) {}

int RecordingCanvas::TextWidth(const FontSpec& font, std::string_view text) {
  return static_cast<int>(text.size()) * CharWidth(font);
}

int RecordingCanvas::TextHeight(const FontSpec& font) { return LineHeight(font); }

void RecordingCanvas::FillRect(const PrintRect& rect, CellColor color) { pages_.back().fills.push_back({rect, color}); }

void RecordingCanvas::DrawLine(int x1, int y1, int x2, int y2, int width, LineStyle style) {
  pages_.back().lines.push_back({x1, y1, x2, y2, width, style});
}

void RecordingCanvas::DrawText(int x, int y, std::string_view text, const FontSpec& font, CellColor color,
                               const PrintRect& clip) {
  pages_.back().texts.push_back({x, y, std::string(text), font, color, clip});
}

void RecordingCanvas::NewPage() { pages_.emplace_back(); }

std::vector<std::string> RecordingCanvas::TextsOf(int page) const {
  std::vector<Text> texts = pages_.at(static_cast<size_t>(page)).texts;
  std::stable_sort(texts.begin(), texts.end(),
                   [](const Text& a, const Text& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
  std::vector<std::string> out;
  for (const Text& text : texts) out.push_back(text.text);
  return out;
}

const RecordingCanvas::Text* RecordingCanvas::Find(int page, const std::string& text) const {
  if (page < 0 || static_cast<size_t>(page) >= pages_.size()) return nullptr;
  for (const Text& t : pages_[static_cast<size_t>(page)].texts) {
    if (t.text == text) return &t;
  }
  return nullptr;
}

}  // namespace ln40
