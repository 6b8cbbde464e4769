// Finding and loading the PDF printing module (pdf_module.h). The build puts the module
// beside ln40cli; an installed ln40cli finds it in the package's library folder, at the path
// from the programs' folder that the build passes in (LN40CLI_PDF_MODULE_DIR, relative).
#include <dlfcn.h>

#include <filesystem>
#include <string_view>

#include "app/data_folder.h"
#include "pdf_module.h"
#include "text/codepage.h"
#include "text/error.h"

namespace ln40::cli {
namespace {

std::string ModulePath() {
  const std::filesystem::path programs = ExecutableFolder();
  const std::filesystem::path beside = programs / LN40CLI_PDF_MODULE_NAME;
  if (std::filesystem::exists(beside)) return beside.string();
  return (programs / LN40CLI_PDF_MODULE_DIR / LN40CLI_PDF_MODULE_NAME).lexically_normal().string();
}

const PdfPrinting& Load() {
  const std::string path = ModulePath();
  // Never closed: the canvases the module makes run its code until the process ends.
  void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  void* entry = module != nullptr ? ::dlsym(module, kPdfPrintingSymbol) : nullptr;
  if (entry == nullptr) {
    const char* const error = ::dlerror();
    std::string_view reason = error != nullptr ? error : "no reason given";
    if (reason.starts_with(path + ": ")) reason.remove_prefix(path.size() + 2);  // named once is enough
    throw Error("PDF printing is not available: cannot load " + Utf8ToCp1252(path) + " (" + Utf8ToCp1252(reason) +
                "). Reinstall ln40util.");
  }
  return *reinterpret_cast<decltype(&ln40cli_pdf_printing)>(entry)();
}

}  // namespace

const PdfPrinting& LoadPdfPrinting() {
  static const PdfPrinting& printing = Load();
  return printing;
}

}  // namespace ln40::cli
