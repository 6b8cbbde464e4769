#include "table/wildcard.h"

#include <algorithm>
#include <array>
#include <utility>

#include "table/cell_compare.h"
#include "text/codepage.h"
#include "text/date_time.h"
#include "text/numbers.h"

namespace ln40 {
namespace {

using FoldTable = std::array<unsigned char, 256>;
using Fold = const unsigned char*;

const FoldTable& UpperTable() {
  static const FoldTable table = [] {
    FoldTable t{};
    for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<unsigned char>(UpperCaseChar(static_cast<char>(i)));
    return t;
  }();
  return table;
}

const FoldTable& IdentityTable() {
  static const FoldTable table = [] {
    FoldTable t{};
    for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
    return t;
  }();
  return table;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool SameChar(char pattern_char, char text_char, Fold fold) {
  return pattern_char == '?' || static_cast<unsigned char>(pattern_char) == fold[static_cast<unsigned char>(text_char)];
}

// Whole-text fit of `pattern` (already folded) against `text` folded through `fold`: the usual
// two-pointer walk that backs up to the last "*" on a mismatch, linear in practice.
bool Fits(std::string_view pattern, std::string_view text, Fold fold) {
  // Most cells fail on their first or last character; look there before walking.
  if (!pattern.empty() && pattern.back() != '*' &&
      (text.empty() || !SameChar(pattern.back(), text.back(), fold))) {
    return false;
  }
  if (!pattern.empty() && pattern.front() != '*' &&
      (text.empty() || !SameChar(pattern.front(), text.front(), fold))) {
    return false;
  }
  size_t p = 0;
  size_t t = 0;
  size_t star = std::string_view::npos;
  size_t resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (p < pattern.size() && SameChar(pattern[p], text[t], fold)) {
      ++p;
      ++t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int CompareFolded(std::string_view cell, std::string_view folded, Fold fold) {
  const size_t common = std::min(cell.size(), folded.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char a = fold[static_cast<unsigned char>(cell[i])];
    const auto b = static_cast<unsigned char>(folded[i]);
    if (a != b) return a < b ? -1 : 1;
  }
  if (cell.size() == folded.size()) return 0;
  return cell.size() < folded.size() ? -1 : 1;
}

// Numbers, dates and times all hold a digit; most cells of names and clubs hold none.
bool HasDigit(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<double> ReadNumber(std::string_view text, const Locale& locale) {
  if (!HasDigit(text)) return std::nullopt;
  double value = 0;
  if (TryReadDecimal(text, locale, value)) return value;
  return std::nullopt;
}

std::optional<double> ReadTime(std::string_view text, const Locale& locale) {
  if (!HasDigit(text)) return std::nullopt;
  double value = 0;
  if (TryReadDateTime(text, locale, kCompareDefaultYear, value)) return value;
  if (TryReadTimeOfDay(text, locale, value)) return value;
  return std::nullopt;
}

bool IsAlternativeJoiner(char c) { return c == ';' || c == '^' || c == '|'; }

}  // namespace

// The cell read as a number and as a time, each at most once per cell and only when a
// comparison asks for it.
struct WildcardPattern::CellValues {
  bool number_read = false;
  bool time_read = false;
  std::optional<double> number;
  std::optional<double> time;
};

WildcardPattern::WildcardPattern(std::string_view pattern, bool case_sensitive, const Locale& locale)
    : case_sensitive_(case_sensitive),
      fold_(case_sensitive ? IdentityTable().data() : UpperTable().data()),
      locale_(locale) {
  pattern = TrimBlanks(pattern);
  std::vector<Term> alternative;
  size_t start = 0;
  for (size_t i = 0; i <= pattern.size(); ++i) {
    const bool end = i == pattern.size();
    if (!end && pattern[i] != '&' && !IsAlternativeJoiner(pattern[i])) continue;
    std::string_view piece = TrimBlanks(pattern.substr(start, i - start));
    start = i + 1;
    if (!piece.empty() && piece.front() == '=') piece = TrimBlanks(piece.substr(1));
    if (!piece.empty()) {
      Term term;
      if (piece.starts_with(">=")) {
        term.op = Op::GreaterEqual;
      } else if (piece.starts_with("<=")) {
        term.op = Op::LessEqual;
      } else if (piece.starts_with(">")) {
        term.op = Op::Greater;
      } else if (piece.starts_with("<")) {
        term.op = Op::Less;
      }
      if (term.op != Op::Fit) {
        piece = TrimBlanks(piece.substr(term.op == Op::GreaterEqual || term.op == Op::LessEqual ? 2 : 1));
        term.number = ReadNumber(piece, locale_);
        term.time = ReadTime(piece, locale_);
      }
      term.text = case_sensitive_ ? std::string(piece) : UpperCase(piece);
      alternative.push_back(std::move(term));
    }
    if (end || IsAlternativeJoiner(pattern[i])) {
      if (!alternative.empty()) alternatives_.push_back(std::move(alternative));
      alternative.clear();
    }
  }
}

bool WildcardPattern::Compares(const Term& term, std::string_view cell, CellValues& values) const {
  if (term.number && !values.number_read) {
    values.number = ReadNumber(cell, locale_);
    values.number_read = true;
  }
  const bool as_numbers = term.number && values.number;
  if (!as_numbers && term.time && !values.time_read) {
    values.time = ReadTime(cell, locale_);
    values.time_read = true;
  }
  int order = 0;
  if (as_numbers) {
    order = (*values.number > *term.number) - (*values.number < *term.number);
  } else if (term.time && values.time) {
    order = (*values.time > *term.time) - (*values.time < *term.time);
  } else {
    order = CompareFolded(cell, term.text, fold_);
  }
  switch (term.op) {
    case Op::Greater:
      return order > 0;
    case Op::GreaterEqual:
      return order >= 0;
    case Op::Less:
      return order < 0;
    case Op::LessEqual:
      return order <= 0;
    case Op::Fit:
      break;
  }
  return false;
}

bool WildcardPattern::Matches(std::string_view cell) const {
  CellValues values;
  for (const std::vector<Term>& alternative : alternatives_) {
    bool all = true;
    for (const Term& term : alternative) {
      if (!(term.op == Op::Fit ? Fits(term.text, cell, fold_) : Compares(term, cell, values))) {
        all = false;
        break;
      }
    }
    if (all) return true;
  }
  return false;
}

bool FitsWildcard(std::string_view pattern, std::string_view text) { return Fits(pattern, text, IdentityTable().data()); }

}  // namespace ln40
