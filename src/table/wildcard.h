#pragma once
// Patterns of the find dialog's "Match with wildcards" box.
//
// The pattern is trimmed of blanks. It is a list of alternatives joined by ";", "^" or "|",
// of which one must fit; each alternative is a list of terms joined by "&", all of which must
// fit ("&" binds tighter: "a*&*z|x" is (a* and *z) or x). Blanks around joiners are ignored
// and empty terms are skipped; a pattern without any term fits nothing. A term loses a
// leading "=".
//
// A term that begins with ">=", "<=", ">" or "<" compares the cell with the value after it:
// as numbers when both read as decimal numbers in the locale's format, as points in time when
// both read as dates (with or without a time) or times of day, and otherwise as texts, byte by
// byte. Any other term fits when the whole cell fits it, "*" standing for any run of
// characters (also none) and "?" for exactly one. There is no escape for the joiners or the
// wildcard characters.
//
// Without case sensitivity texts are compared upper-cased by the Windows-1252 rules.
// A pattern is immutable once built; Matches may be called from several threads.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/locale.h"

namespace ln40 {

class WildcardPattern {
 public:
  WildcardPattern(std::string_view pattern, bool case_sensitive, const Locale& locale);

  bool Matches(std::string_view cell) const;
  // No term at all: fits nothing.
  bool IsEmpty() const { return alternatives_.empty(); }

 private:
  enum class Op { Fit, Greater, GreaterEqual, Less, LessEqual };
  struct Term {
    Op op = Op::Fit;
    std::string text;  // upper-cased unless case sensitive
    std::optional<double> number;
    std::optional<double> time;  // a date, date with time, or time of day
  };
  struct CellValues;

  bool Compares(const Term& term, std::string_view cell, CellValues& values) const;

  std::vector<std::vector<Term>> alternatives_;
  bool case_sensitive_ = false;
  const unsigned char* fold_ = nullptr;  // 256 bytes: each byte's upper case, or itself
  Locale locale_;
};

// "*" and "?" alone, the whole text, byte for byte.
bool FitsWildcard(std::string_view pattern, std::string_view text);

}  // namespace ln40
