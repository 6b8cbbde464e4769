// libFuzzer harness of the formula compiler and the token walker. The input is a formula
// text (one character per byte, "=" put in front when missing). What compiles must be a
// token list the shared-formula walker can walk to its end, for any cell; a text that does
// not compile may only end in ln40::Error. The raw input also goes through the walker as a
// token list of its own.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "text/error.h"
#include "xls_formula.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> out;
  const std::span<const std::uint8_t> raw(data, size);
  ln40::xls::ExpandSharedTokens(raw, 0, 0, out);
  ln40::xls::ExpandSharedTokens(raw, 65535, 255, out);

  std::u16string text;
  if (size == 0 || data[0] != '=') text = u"=";
  for (std::size_t i = 0; i < size; ++i) text += static_cast<char16_t>(data[i]);
  ln40::xls::TCompiledFormula compiled;
  try {
    compiled = ln40::xls::CompileFormula(text);
  } catch (const ln40::Error&) {
    return 0;
  }
  Check(!compiled.Tokens.empty());
  Check(ln40::xls::ExpandSharedTokens(compiled.Tokens, 0, 0, out));
  Check(ln40::xls::ExpandSharedTokens(compiled.Tokens, 65535, 255, out));
  return 0;
}
