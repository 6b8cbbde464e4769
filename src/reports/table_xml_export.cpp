#include "reports/table_xml_export.h"

#include "text/codepage.h"
#include "text/file_replace.h"

namespace ln40 {
namespace {

constexpr const char* kLineEnd = "\r\n";

}  // namespace

std::string XmlFieldName(const std::vector<std::string>& field_names, int position) {
  if (position >= 0 && static_cast<std::size_t>(position) < field_names.size()) return field_names[position];
  return "FIELD" + std::to_string(position);
}

std::string EscapeXmlCellText(const std::string& text) {
  // One pass gives the same result as the four replacements in turn (& first), since no
  // replacement brings in a character a later one replaces.
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '>': out += "&gt;"; break;
      case '<': out += "&lt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string TableToXml(const TGridTable& table, const std::vector<std::string>& field_names) {
  std::vector<int> shown;
  for (int col = 0; col < table.ColCount(); ++col) {
    if (!table.IsColumnHidden(col)) shown.push_back(col);
  }
  std::vector<std::string> open_tags, close_tags;
  for (std::size_t position = 0; position < shown.size(); ++position) {
    const std::string name = XmlFieldName(field_names, static_cast<int>(position));
    open_tags.push_back("<" + name + ">");
    close_tags.push_back("</" + name + ">" + kLineEnd);
  }

  std::string out = std::string("<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>") + kLineEnd + "<kivos>" + kLineEnd;
  for (int row = 0; row < table.RowCount(); ++row) {
    out += "<kivo>";
    out += kLineEnd;
    for (std::size_t position = 0; position < shown.size(); ++position) {
      out += open_tags[position];
      out += EscapeXmlCellText(table.Cell(shown[position], row));
      out += close_tags[position];
    }
    out += "</kivo>";
    out += kLineEnd;
  }
  out += "</kivos>";
  out += kLineEnd;
  return out;
}

void SaveTableAsXml(const TGridTable& table, const std::vector<std::string>& field_names, const std::string& path) {
  const std::string bytes = TableToXml(table, field_names);
  ReplaceFileWith(path, bytes, "Cannot Create file " + Utf8ToCp1252(path));
}

}  // namespace ln40
