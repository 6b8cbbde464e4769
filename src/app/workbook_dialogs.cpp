#include "app/workbook_dialogs.h"

namespace ln40 {

std::string WithDefaultExtension(const std::string& name, const std::string& extension) {
  if (extension.empty() || name.empty()) return name;
  const std::size_t slash = name.find_last_of('/');
  const std::string last_part = slash == std::string::npos ? name : name.substr(slash + 1);
  if (last_part.empty() || last_part.find('.') != std::string::npos) return name;
  return name + "." + extension;
}

OpenDialogOptions OpenExcelDialogOptions() {
  OpenDialogOptions options;
  options.title = "Open excel file";
  options.filters = {{"Excel file", "*.xls"}, {"All", "*.*"}};
  options.default_extension = "xls";
  options.file_must_exist = false;
  return options;
}

SaveDialogOptions SaveExcelDialogOptions() {
  SaveDialogOptions options;
  options.title = "Save as excel sheet";
  options.filters = {{"Excel file", "*.xls"}, {"All files", "*.*"}};
  options.default_extension = "xls";
  return options;
}

SaveDialogOptions SaveXmlDialogOptions() {
  SaveDialogOptions options;
  options.title = "Save as xml file";
  options.filters = {{"XML file", "*.xml"}, {"All files", "*.*"}};
  options.default_extension = "xlm";
  return options;
}

}  // namespace ln40
