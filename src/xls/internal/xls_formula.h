#pragma once
// Parsed formulas ([MS-XLS] 2.5.198 Rgce and Ptg): walking a token list to turn a shared
// formula into the formula of one cell, and the compiler of formula texts used by
// SetCellFormula. Internal to src/workbook.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace ln40::xls {

// Rewrites the tokens of a shared formula ([MS-XLS] 2.4.260 ShrFmla) for the cell at
// `row`, `col` (0-based): every PtgRefN and PtgAreaN becomes a PtgRef or PtgArea with the
// offsets applied. False when the list holds a token this walker does not know or is cut
// short; `out` is then unspecified.
bool ExpandSharedTokens(std::span<const std::uint8_t> rgce, int row, int col, std::vector<std::uint8_t>& out);

// A compiled formula: the tokens (rgce) and the extra data that follows them (rgcb).
struct TCompiledFormula {
  std::vector<std::uint8_t> Tokens;
  std::vector<std::uint8_t> Extra;
};

// Compiles a formula text beginning with "=". Accepted: numbers, strings in double quotes
// ("" for a quote), TRUE and FALSE, error constants (#N/A, ...), cell references and ranges
// with or without $ (A1, $B$2, A1:C3), the operators + - * / ^ & = <> < > <= >= and the
// postfix %, unary + and -, parentheses, and the functions listed in xls_formula.cpp with
// arguments separated by "," or ";". Errors are ln40::Error with the compiler's messages.
TCompiledFormula CompileFormula(const std::u16string& text);

}  // namespace ln40::xls
