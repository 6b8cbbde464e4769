// libFuzzer harness of the XML scanner with the three entry import handlers attached: the
// input is scanned as an entry file into a runner sheet, then scanned again with Normalize
// off and every event connected. External subsets and entities are the input itself, so
// self-inclusion is explored without touching the file system. Checks what the events
// promise: content under Normalize is trimmed and never empty, attribute lists are sorted,
// the sheet keeps its columns and gains exactly one row per SingleEntry start tag.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sheet/entry_import.h"
#include "sheet/runner_sheet.h"
#include "xml/xml_scanner.h"
#include "xml/xml_text.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

struct NullWindow : ln40::EntryImportWindow {
  void SetRaceName(const std::string& name) override { Check(!name.empty()); }
  void SetAutosaveIndicatorVisible(bool) override {}
};

void CheckSorted(const ln40::TAttrList& attributes) {
  for (int i = 1; i < attributes.Count(); ++i) Check(!(attributes.Name(i) < attributes.Name(i - 1)));
  Check(attributes.Name(attributes.Count()).empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string document(reinterpret_cast<const char*>(data), size);
  ln40::TXmlScanner scanner;
  // A smaller expansion budget than the default keeps each run quick; the bound is the same code.
  ln40::TXmlScanner::Limits limits;
  limits.max_expansion_bytes = 64 * 1024;
  scanner.SetLimits(limits);
  scanner.OnLoadExternal = [&](const std::string&, const std::string&, std::string& text) {
    text = document;
    return true;
  };

  ln40::TGridTable sheet;
  ln40::SetUpRunnerSheet(sheet);
  ln40::EntryImportState state;
  NullWindow window;
  ln40::TEntryImportHandlers handlers(sheet, state, window);
  handlers.ConnectTo(scanner);
  int entries = 0;
  scanner.OnStartTag = [&](const std::string& name, const ln40::TAttrList& attributes) {
    CheckSorted(attributes);
    entries += name == "SingleEntry";
    handlers.StartTag(name, attributes);
  };
  scanner.OnContent = [&](const std::string& text) {
    Check(!text.empty() && !ln40::xml::IsXmlSpace(text.front()) && !ln40::xml::IsXmlSpace(text.back()));
    handlers.Content(text);
  };
  scanner.LoadFromText(document, "");
  scanner.Execute();
  Check(sheet.ColCount() == ln40::runner_sheet::kColumnCount);
  Check(sheet.RowCount() == 2 + entries);

  // Again with the encoding the first scan left, Normalize off and every event connected.
  scanner.SetNormalize(false);
  scanner.OnStartTag =
      scanner.OnEmptyTag = [](const std::string&, const ln40::TAttrList& attributes) { CheckSorted(attributes); };
  scanner.OnContent = [](const std::string& text) { Check(!text.empty()); };
  scanner.OnEndTag = scanner.OnCData = scanner.OnComment = scanner.OnDtdRead = [](const std::string&) {};
  scanner.OnXmlProlog = [](const std::string&, const std::string&, bool) {};
  scanner.OnPI = [](const std::string&, const std::string&, const ln40::TAttrList& attributes) {
    CheckSorted(attributes);
  };
  scanner.Execute();
  return 0;
}
