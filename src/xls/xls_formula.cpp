#include "xls_formula.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "text/codepage.h"
#include "text/error.h"
#include "biff_records.h"

namespace ln40::xls {

// ---- shared formulas -------------------------------------------------------------------

namespace {

// The size of the token at `p` (ptg byte included), or 0 when it is not known or does not
// fit in `left` bytes. [MS-XLS] 2.5.198.25 Ptg.
std::size_t TokenSize(const std::uint8_t* p, std::size_t left) {
  const std::uint8_t ptg = p[0];
  std::size_t size = 0;
  if (ptg >= 0x03 && ptg <= 0x16) {
    size = 1;  // operators, parentheses, missing argument
  } else if (ptg >= 0x20) {
    switch (ptg & 0x1F) {
      case 0x00: size = 8; break;   // PtgArray
      case 0x01: size = 3; break;   // PtgFunc
      case 0x02: size = 4; break;   // PtgFuncVar
      case 0x03: size = 5; break;   // PtgName
      case 0x04: size = 5; break;   // PtgRef
      case 0x05: size = 9; break;   // PtgArea
      case 0x06: size = 7; break;   // PtgMemArea
      case 0x07: size = 7; break;   // PtgMemErr
      case 0x08: size = 7; break;   // PtgMemNoMem
      case 0x09: size = 3; break;   // PtgMemFunc
      case 0x0A: size = 5; break;   // PtgRefErr
      case 0x0B: size = 9; break;   // PtgAreaErr
      case 0x0C: size = 5; break;   // PtgRefN
      case 0x0D: size = 9; break;   // PtgAreaN
      case 0x19: size = 7; break;   // PtgNameX
      case 0x1A: size = 7; break;   // PtgRef3d
      case 0x1B: size = 11; break;  // PtgArea3d
      case 0x1C: size = 7; break;   // PtgRefErr3d
      case 0x1D: size = 11; break;  // PtgAreaErr3d
      default: return 0;
    }
  } else {
    switch (ptg) {
      case 0x01:
      case 0x02: size = 5; break;  // PtgExp, PtgTbl
      case 0x17: {                 // PtgStr
        if (left < 3) return 0;
        size = 3 + static_cast<std::size_t>(p[1]) * ((p[2] & 0x01) ? 2 : 1);
        break;
      }
      case 0x19: {  // PtgAttr...
        if (left < 4) return 0;
        size = 4;
        if (p[1] & 0x04) size += 2 * (static_cast<std::size_t>(Get16(p + 2)) + 1);  // PtgAttrChoose
        break;
      }
      case 0x1C:
      case 0x1D: size = 2; break;  // PtgErr, PtgBool
      case 0x1E: size = 3; break;  // PtgInt
      case 0x1F: size = 9; break;  // PtgNum
      default: return 0;
    }
  }
  return size <= left ? size : 0;
}

}  // namespace

bool ExpandSharedTokens(std::span<const std::uint8_t> rgce, int row, int col, std::vector<std::uint8_t>& out) {
  out.assign(rgce.begin(), rgce.end());
  std::size_t at = 0;
  while (at < out.size()) {
    std::uint8_t* p = out.data() + at;
    const std::size_t size = TokenSize(p, out.size() - at);
    if (size == 0) return false;
    const std::uint8_t kind = p[0] & 0x1F;
    if (p[0] >= 0x20 && (kind == 0x0C || kind == 0x0D)) {
      // [MS-XLS] 2.5.198.111 RgceLocRel, 2.5.198.106 RgceAreaRel: relative parts are offsets
      // from the formula's cell, taken modulo the sheet's size.
      p[0] = static_cast<std::uint8_t>(p[0] - 0x08);  // PtgRefN -> PtgRef, PtgAreaN -> PtgArea
      const int pairs = kind == 0x0C ? 1 : 2;
      for (int i = 0; i < pairs; ++i) {
        std::uint8_t* rw = p + 1 + 2 * i;
        std::uint8_t* cl = p + 1 + 2 * pairs + 2 * i;
        const std::uint16_t column = Get16(cl);
        if (column & 0x8000) Put16(rw, static_cast<std::uint16_t>((Get16(rw) + row) & 0xFFFF));
        if (column & 0x4000) {
          const int c = ((column & 0xFF) + col) & 0xFF;
          Put16(cl, static_cast<std::uint16_t>((column & 0xC000) | c));
        }
      }
    }
    at += size;
  }
  return true;
}

// ---- the compiler ----------------------------------------------------------------------

namespace {

enum : std::uint8_t {
  kPtgAdd = 0x03, kPtgSub, kPtgMul, kPtgDiv, kPtgPower, kPtgConcat, kPtgLt, kPtgLe, kPtgEq, kPtgGe, kPtgGt, kPtgNe,
  kPtgUplus = 0x12, kPtgUminus = 0x13, kPtgPercent = 0x14, kPtgParen = 0x15, kPtgMissArg = 0x16, kPtgStr = 0x17,
  kPtgAttr = 0x19, kPtgErr = 0x1C, kPtgBool = 0x1D, kPtgInt = 0x1E, kPtgNum = 0x1F,
  kPtgFuncV = 0x41, kPtgFuncVarV = 0x42, kPtgRefV = 0x44, kPtgAreaV = 0x45,
};
constexpr std::uint8_t kClassMask = 0x60;
constexpr std::uint8_t kClassReference = 0x20;

constexpr std::size_t kMaxTokens = 1800;
// Nesting of the parser's calls: six per level of parentheses.
constexpr int kMaxDepth = 600;

// One function: its number in [MS-XLS] 2.5.198.17 Ftab, its argument counts, and the class
// each argument is passed in ('R' reference, 'V' value; the last letter repeats).
struct FunctionInfo {
  const char* name;
  std::uint16_t index;
  int min_args;
  int max_args;
  bool variable;  // called with PtgFuncVar (argument count in the token)
  const char* classes;
  bool is_volatile = false;
};

const FunctionInfo kFunctions[] = {
    {"COUNT", 0, 0, 30, true, "R"},
    {"IF", 1, 2, 3, true, "V"},
    {"ISNA", 2, 1, 1, false, "V"},
    {"ISERROR", 3, 1, 1, false, "V"},
    {"SUM", 4, 0, 30, true, "R"},
    {"AVERAGE", 5, 1, 30, true, "R"},
    {"MIN", 6, 1, 30, true, "R"},
    {"MAX", 7, 1, 30, true, "R"},
    {"NA", 10, 0, 0, false, "V"},
    {"PI", 19, 0, 0, false, "V"},
    {"SQRT", 20, 1, 1, false, "V"},
    {"ABS", 24, 1, 1, false, "V"},
    {"INT", 25, 1, 1, false, "V"},
    {"SIGN", 26, 1, 1, false, "V"},
    {"ROUND", 27, 2, 2, false, "V"},
    {"INDEX", 29, 2, 4, true, "RV"},
    {"REPT", 30, 2, 2, false, "V"},
    {"MID", 31, 3, 3, false, "V"},
    {"LEN", 32, 1, 1, false, "V"},
    {"VALUE", 33, 1, 1, false, "V"},
    {"AND", 36, 1, 30, true, "R"},
    {"OR", 37, 1, 30, true, "R"},
    {"NOT", 38, 1, 1, false, "V"},
    {"MOD", 39, 2, 2, false, "V"},
    {"TEXT", 48, 2, 2, false, "V"},
    {"MATCH", 64, 2, 3, true, "VRV"},
    {"DATE", 65, 3, 3, false, "V"},
    {"TIME", 66, 3, 3, false, "V"},
    {"DAY", 67, 1, 1, false, "V"},
    {"MONTH", 68, 1, 1, false, "V"},
    {"YEAR", 69, 1, 1, false, "V"},
    {"HOUR", 71, 1, 1, false, "V"},
    {"MINUTE", 72, 1, 1, false, "V"},
    {"SECOND", 73, 1, 1, false, "V"},
    {"NOW", 74, 0, 0, false, "V", true},
    {"CHOOSE", 100, 2, 30, true, "V"},
    {"VLOOKUP", 102, 3, 4, true, "VRV"},
    {"LOWER", 112, 1, 1, false, "V"},
    {"UPPER", 113, 1, 1, false, "V"},
    {"LEFT", 115, 1, 2, true, "V"},
    {"RIGHT", 116, 1, 2, true, "V"},
    {"EXACT", 117, 2, 2, false, "V"},
    {"TRIM", 118, 1, 1, false, "V"},
    {"SUBSTITUTE", 120, 3, 4, true, "V"},
    {"FIND", 124, 2, 3, true, "V"},
    {"ISNUMBER", 128, 1, 1, false, "V"},
    {"ISBLANK", 129, 1, 1, false, "V"},
    {"COUNTA", 169, 0, 30, true, "R"},
    {"PRODUCT", 183, 0, 30, true, "R"},
    {"ROUNDUP", 212, 2, 2, false, "V"},
    {"ROUNDDOWN", 213, 2, 2, false, "V"},
    {"TODAY", 221, 0, 0, false, "V", true},
    {"MEDIAN", 227, 1, 30, true, "R"},
    {"CONCATENATE", 336, 1, 30, true, "V"},
    {"SUMIF", 345, 2, 3, true, "RVR"},
    {"COUNTIF", 346, 2, 2, false, "RV"},
};

const FunctionInfo* FindFunction(const std::string& upper) {
  for (const FunctionInfo& f : kFunctions) {
    if (upper == f.name) return &f;
  }
  return nullptr;
}

bool IsLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsNameChar(char16_t c) { return IsLetter(c) || IsDigit(c) || c == u'_' || c == u'.' || c == u'$'; }
bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

char16_t Upper(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

struct CellRef {
  int row = 0;  // 0-based
  int col = 0;
  bool row_relative = true;
  bool col_relative = true;
};

class Compiler {
 public:
  explicit Compiler(const std::u16string& text) : text_(text), shown_(Utf16ToCp1252(text)) {}

  TCompiledFormula Compile() {
    if (text_.empty() || text_[0] != u'=') Fail("Formula must start with \"=\": \"" + shown_ + "\"");
    for (std::size_t i = 0; i < text_.size(); ++i) {
      if (text_[i] == u'"') {
        // Braces inside strings are text.
        const std::size_t close = text_.find(u'"', i + 1);
        if (close == std::u16string::npos) break;
        i = close;
      } else if (text_[i] == u'{') {
        Fail("Writing array formulas is not yet supported");
      }
    }
    pos_ = 1;
    Expression(0);
    SkipSpaces();
    if (pos_ < text_.size()) UnexpectedChar();
    if (tokens_.size() > kMaxTokens) Fail("Formula too long: \"" + shown_ + "\"");
    // A formula with a volatile function begins with PtgAttrSemi.
    if (volatile_) tokens_.insert(tokens_.begin(), {kPtgAttr, 0x01, 0x00, 0x00});
    TCompiledFormula formula;
    formula.Tokens = std::move(tokens_);
    return formula;
  }

 private:
  [[noreturn]] void Fail(const std::string& message) { throw Error(message); }
  [[noreturn]] void UnexpectedEnd() { Fail("Unexpected end of formula: \"" + shown_ + "\""); }
  [[noreturn]] void UnexpectedChar() {
    if (pos_ >= text_.size()) UnexpectedEnd();
    Fail("Unexpected char \"" + Utf16ToCp1252(text_.substr(pos_, 1)) + "\" at pos " + std::to_string(pos_ + 1) +
         " on formula: \"" + shown_ + "\"");
  }

  void SkipSpaces() {
    while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
  }
  bool At(char16_t c) {
    SkipSpaces();
    return pos_ < text_.size() && text_[pos_] == c;
  }
  bool AtPair(char16_t a, char16_t b) {
    SkipSpaces();
    return pos_ + 1 < text_.size() && text_[pos_] == a && text_[pos_ + 1] == b;
  }

  void Emit(std::uint8_t byte) { tokens_.push_back(byte); }
  void Emit16(std::uint16_t value) {
    tokens_.push_back(static_cast<std::uint8_t>(value));
    tokens_.push_back(static_cast<std::uint8_t>(value >> 8));
  }
  void CheckLength() {
    if (tokens_.size() > kMaxTokens) Fail("Formula too long: \"" + shown_ + "\"");
  }

  // Binary operators by level, lowest first: comparisons, &, + -, * /, ^.
  void Expression(int level) {
    if (++depth_ > kMaxDepth) Fail("Formula too long: \"" + shown_ + "\"");
    if (level == 5) {
      Unary();
    } else {
      Expression(level + 1);
      while (true) {
        std::optional<std::uint8_t> op = Operator(level);
        if (!op) break;
        Expression(level + 1);
        Emit(*op);
        last_operand_ = -1;
        CheckLength();
      }
    }
    --depth_;
  }

  std::optional<std::uint8_t> Operator(int level) {
    SkipSpaces();
    if (pos_ >= text_.size()) return std::nullopt;
    const char16_t c = text_[pos_];
    switch (level) {
      case 0:
        if (AtPair(u'<', u'>')) return Take(2, kPtgNe);
        if (AtPair(u'<', u'=')) return Take(2, kPtgLe);
        if (AtPair(u'>', u'=')) return Take(2, kPtgGe);
        if (c == u'<') return Take(1, kPtgLt);
        if (c == u'>') return Take(1, kPtgGt);
        if (c == u'=') return Take(1, kPtgEq);
        break;
      case 1:
        if (c == u'&') return Take(1, kPtgConcat);
        break;
      case 2:
        if (c == u'+') return Take(1, kPtgAdd);
        if (c == u'-') return Take(1, kPtgSub);
        break;
      case 3:
        if (c == u'*') return Take(1, kPtgMul);
        if (c == u'/') return Take(1, kPtgDiv);
        break;
      case 4:
        if (c == u'^') return Take(1, kPtgPower);
        break;
    }
    return std::nullopt;
  }

  std::uint8_t Take(std::size_t count, std::uint8_t op) {
    pos_ += count;
    return op;
  }

  void Unary() {
    SkipSpaces();
    if (pos_ < text_.size() && (text_[pos_] == u'-' || text_[pos_] == u'+')) {
      const bool minus = text_[pos_] == u'-';
      ++pos_;
      if (++depth_ > kMaxDepth) Fail("Formula too long: \"" + shown_ + "\"");
      Unary();
      --depth_;
      Emit(minus ? kPtgUminus : kPtgUplus);
      last_operand_ = -1;
      return;
    }
    Primary();
    while (At(u'%')) {
      ++pos_;
      Emit(kPtgPercent);
      last_operand_ = -1;
    }
  }

  void Primary() {
    SkipSpaces();
    if (pos_ >= text_.size()) UnexpectedEnd();
    const char16_t c = text_[pos_];
    if (c == u'(') {
      ++pos_;
      Expression(0);
      if (!At(u')')) {
        if (pos_ >= text_.size()) Fail("Missing closing parentheses on formula: \"" + shown_ + "\"");
        UnexpectedChar();
      }
      ++pos_;
      Emit(kPtgParen);
      last_operand_ = -1;
    } else if (c == u'"') {
      StringConstant();
      last_operand_ = -1;
    } else if (IsDigit(c) || (c == u'.' && pos_ + 1 < text_.size() && IsDigit(text_[pos_ + 1]))) {
      NumberConstant();
      last_operand_ = -1;
    } else if (c == u'#') {
      ErrorConstant();
      last_operand_ = -1;
    } else if (c == u'\'') {
      // A quoted sheet name: references to other sheets are not compiled.
      const std::size_t close = text_.find(u'\'', pos_ + 1);
      if (close == std::u16string::npos) Fail("String expected");
      pos_ = close + 1;
      UnexpectedChar();
    } else if (IsLetter(c) || c == u'$' || c == u'_') {
      Identifier();
    } else {
      UnexpectedChar();
    }
    CheckLength();
  }

  void StringConstant() {
    std::u16string value;
    std::size_t i = pos_ + 1;
    while (true) {
      if (i >= text_.size()) Fail("Unterminated string on formula: \"" + shown_ + "\"");
      if (text_[i] == u'"') {
        if (i + 1 < text_.size() && text_[i + 1] == u'"') {
          value += u'"';
          i += 2;
          continue;
        }
        break;
      }
      value += text_[i++];
    }
    pos_ = i + 1;
    if (value.size() > 255) Fail("Formula too long: \"" + shown_ + "\"");
    const bool wide = std::any_of(value.begin(), value.end(), [](char16_t ch) { return ch > 0xFF; });
    Emit(kPtgStr);
    Emit(static_cast<std::uint8_t>(value.size()));
    Emit(wide ? 1 : 0);
    for (char16_t ch : value) {
      if (wide) {
        Emit16(ch);
      } else {
        Emit(static_cast<std::uint8_t>(ch));
      }
    }
  }

  void NumberConstant() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    if (pos_ < text_.size() && text_[pos_] == u'.') {
      ++pos_;
      while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == u'E' || text_[pos_] == u'e')) {
      std::size_t at = pos_ + 1;
      if (at < text_.size() && (text_[at] == u'+' || text_[at] == u'-')) ++at;
      if (at < text_.size() && IsDigit(text_[at])) {
        pos_ = at;
        while (pos_ < text_.size() && IsDigit(text_[pos_])) ++pos_;
      }
    }
    if (pos_ < text_.size() && (IsLetter(text_[pos_]) || text_[pos_] == u'_')) UnexpectedChar();
    std::string digits;
    for (std::size_t i = start; i < pos_; ++i) digits += static_cast<char>(text_[i]);
    const double value = std::strtod(digits.c_str(), nullptr);
    if (!std::isfinite(value)) Fail("Formula can't be evaluated: \"" + shown_ + "\"");
    if (value >= 0 && value <= 65535 && value == std::floor(value)) {
      Emit(kPtgInt);
      Emit16(static_cast<std::uint16_t>(value));
    } else {
      Emit(kPtgNum);
      std::uint8_t bytes[8];
      PutDouble(bytes, value);
      tokens_.insert(tokens_.end(), bytes, bytes + 8);
    }
  }

  void ErrorConstant() {
    static const struct {
      const char16_t* text;
      std::uint8_t code;
    } kErrors[] = {{u"#NULL!", 0x00}, {u"#DIV/0!", 0x07}, {u"#VALUE!", 0x0F}, {u"#REF!", 0x17},
                   {u"#NAME?", 0x1D}, {u"#NUM!", 0x24},   {u"#N/A", 0x2A}};
    for (const auto& error : kErrors) {
      const std::u16string_view name(error.text);
      if (text_.size() - pos_ >= name.size()) {
        bool same = true;
        for (std::size_t i = 0; i < name.size(); ++i) same = same && Upper(text_[pos_ + i]) == name[i];
        if (same) {
          pos_ += name.size();
          Emit(kPtgErr);
          Emit(error.code);
          return;
        }
      }
    }
    UnexpectedChar();
  }

  // A cell reference at `at` ("$A$1", "b7"); its end in `end`.
  std::optional<CellRef> ParseRef(std::size_t at, std::size_t& end) {
    CellRef ref;
    std::size_t i = at;
    if (i < text_.size() && text_[i] == u'$') {
      ref.col_relative = false;
      ++i;
    }
    int col = 0;
    std::size_t letters = 0;
    while (i < text_.size() && IsLetter(text_[i]) && letters < 4) {
      col = col * 26 + (Upper(text_[i]) - u'A' + 1);
      ++i;
      ++letters;
    }
    if (letters == 0 || letters > 3) return std::nullopt;
    if (i < text_.size() && text_[i] == u'$') {
      ref.row_relative = false;
      ++i;
    }
    long row = 0;
    std::size_t digits = 0;
    while (i < text_.size() && IsDigit(text_[i])) {
      if (digits < 9) row = row * 10 + (text_[i] - u'0');
      ++i;
      ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < text_.size() && (IsNameChar(text_[i]) || text_[i] == u'(')) return std::nullopt;
    if (row < 1 || row > 65536 || col > 256 || digits > 9) Fail("Formula can't be evaluated: \"" + shown_ + "\"");
    ref.row = static_cast<int>(row - 1);
    ref.col = col - 1;
    end = i;
    return ref;
  }

  static std::uint16_t ColumnField(const CellRef& ref) {
    return static_cast<std::uint16_t>(ref.col | (ref.col_relative ? 0x4000 : 0) | (ref.row_relative ? 0x8000 : 0));
  }

  void Identifier() {
    std::size_t end = 0;
    if (std::optional<CellRef> first = ParseRef(pos_, end)) {
      pos_ = end;
      const std::size_t save = pos_;
      SkipSpaces();
      if (pos_ < text_.size() && text_[pos_] == u':') {
        ++pos_;
        SkipSpaces();
        std::size_t end2 = 0;
        std::optional<CellRef> last = ParseRef(pos_, end2);
        if (!last) UnexpectedChar();
        pos_ = end2;
        CellRef a = *first, b = *last;
        if (a.row > b.row) std::swap(a.row, b.row), std::swap(a.row_relative, b.row_relative);
        if (a.col > b.col) std::swap(a.col, b.col), std::swap(a.col_relative, b.col_relative);
        last_operand_ = static_cast<int>(tokens_.size());
        Emit(kPtgAreaV);
        Emit16(static_cast<std::uint16_t>(a.row));
        Emit16(static_cast<std::uint16_t>(b.row));
        Emit16(ColumnField(a));
        Emit16(ColumnField(b));
      } else {
        pos_ = save;
        last_operand_ = static_cast<int>(tokens_.size());
        Emit(kPtgRefV);
        Emit16(static_cast<std::uint16_t>(first->row));
        Emit16(ColumnField(*first));
      }
      return;
    }
    const std::size_t start = pos_;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) ++pos_;
    std::u16string name = text_.substr(start, pos_ - start);
    std::string upper;
    for (char16_t ch : name) upper += static_cast<char>(Upper(ch) < 0x80 ? Upper(ch) : '?');
    SkipSpaces();
    if (pos_ < text_.size() && text_[pos_] == u'(') {
      const FunctionInfo* function = FindFunction(upper);
      if (!function) {
        Fail("Function not found: \"" + Utf16ToCp1252(name) + "\" on formula \"" + shown_ + "\"");
      }
      ++pos_;
      Call(*function);
      last_operand_ = -1;
      return;
    }
    if (upper == "TRUE" || upper == "FALSE") {
      Emit(kPtgBool);
      Emit(upper == "TRUE" ? 1 : 0);
      last_operand_ = -1;
      return;
    }
    Fail("Unexpected Identifier: \"" + Utf16ToCp1252(name) + "\" on formula \"" + shown_ + "\"");
  }

  void Call(const FunctionInfo& function) {
    if (function.is_volatile) volatile_ = true;
    int count = 0;
    if (At(u')')) {
      ++pos_;
    } else {
      while (true) {
        SkipSpaces();
        if (pos_ >= text_.size()) Fail("Missing closing parentheses on formula: \"" + shown_ + "\"");
        if (text_[pos_] == u',' || text_[pos_] == u';' || text_[pos_] == u')') {
          Emit(kPtgMissArg);
        } else {
          last_operand_ = -1;
          Expression(0);
          // A reference passed where the function takes a reference keeps its reference
          // class, so that SUM(A1:A3) sums the range instead of intersecting it.
          const std::size_t length = std::strlen(function.classes);
          const char cls = function.classes[std::min<std::size_t>(count, length - 1)];
          if (cls == 'R' && last_operand_ >= 0) {
            std::uint8_t& ptg = tokens_[static_cast<std::size_t>(last_operand_)];
            ptg = static_cast<std::uint8_t>((ptg & ~kClassMask) | kClassReference);
          }
        }
        ++count;
        SkipSpaces();
        if (pos_ >= text_.size()) Fail("Missing closing parentheses on formula: \"" + shown_ + "\"");
        if (text_[pos_] == u',' || text_[pos_] == u';') {
          ++pos_;
          continue;
        }
        if (text_[pos_] == u')') {
          ++pos_;
          break;
        }
        UnexpectedChar();
      }
    }
    if (count < function.min_args || count > function.max_args) {
      const int expected = count < function.min_args ? function.min_args : function.max_args;
      Fail("Invalid number of parameters to function \"" + std::string(function.name) + "\": Expected " +
           std::to_string(expected) + " and found " + std::to_string(count));
    }
    if (function.variable) {
      Emit(kPtgFuncVarV);
      Emit(static_cast<std::uint8_t>(count));
      Emit16(function.index);
    } else {
      Emit(kPtgFuncV);
      Emit16(function.index);
    }
    CheckLength();
  }

  const std::u16string& text_;
  std::string shown_;
  std::size_t pos_ = 0;
  int depth_ = 0;
  int last_operand_ = -1;  // position of the reference token that is the whole last operand
  bool volatile_ = false;
  std::vector<std::uint8_t> tokens_;
};

}  // namespace

TCompiledFormula CompileFormula(const std::u16string& text) { return Compiler(text).Compile(); }

}  // namespace ln40::xls
