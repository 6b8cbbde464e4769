#include "xml/xml_dtd.h"

#include "xml/xml_text.h"

namespace ln40::xml {
namespace {

constexpr size_t npos = std::string_view::npos;

bool StartsWith(std::string_view text, size_t pos, std::string_view prefix) {
  return pos <= text.size() && text.substr(pos).starts_with(prefix);
}

size_t SkipSpace(std::string_view text, size_t pos) {
  while (pos < text.size() && IsXmlSpace(text[pos])) ++pos;
  return pos;
}

// A name in a declaration: anything up to white space or a delimiter of the DTD syntax.
std::string_view ReadToken(std::string_view text, size_t& pos) {
  const size_t start = pos;
  while (pos < text.size()) {
    const char c = text[pos];
    if (IsXmlSpace(c) || c == '>' || c == '"' || c == '\'' || c == '[' || c == ']' || c == '(' || c == ')' ||
        c == '|' || c == ',' || c == '%' || c == ';' || c == '<') {
      break;
    }
    ++pos;
  }
  return text.substr(start, pos - start);
}

// A quoted literal at text[pos]; runs to the end of the text when the quote is not closed.
// False (and pos unchanged) when no quote stands at pos.
bool ReadQuoted(std::string_view text, size_t& pos, std::string_view& value) {
  if (pos >= text.size() || (text[pos] != '"' && text[pos] != '\'')) return false;
  const char quote = text[pos];
  const size_t end = text.find(quote, pos + 1);
  if (end == npos) {
    value = text.substr(pos + 1);
    pos = text.size();
  } else {
    value = text.substr(pos + 1, end - pos - 1);
    pos = end + 1;
  }
  return true;
}

// The ">" that closes a markup declaration, outside quoted literals; npos when missing.
size_t FindDeclarationEnd(std::string_view text, size_t pos) {
  char quote = 0;
  for (; pos < text.size(); ++pos) {
    const char c = text[pos];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return pos;
    }
  }
  return npos;
}

size_t AfterDelimiter(std::string_view text, size_t pos, std::string_view delimiter) {
  const size_t end = text.find(delimiter, pos);
  return end == npos ? text.size() : end + delimiter.size();
}

}  // namespace

const AttributeDecl* Declarations::FindAttribute(const std::string& element, std::string_view name) const {
  const auto it = attributes.find(element);
  if (it == attributes.end()) return nullptr;
  const auto decl = it->second.find(std::string(name));
  return decl == it->second.end() ? nullptr : &decl->second;
}

const std::string& ExternalEntityText(EntityDecl& entity, DtdContext& context) {
  if (!entity.loaded) {
    entity.loaded = true;
    if (!context.LoadExternal(entity.what, entity.system_id, entity.public_id, entity.loaded_text)) {
      entity.loaded_text.clear();
    }
  }
  return entity.loaded_text;
}

size_t DtdReader::ReadDoctype(std::string_view text, size_t pos, int depth, std::string& root_name) {
  pos = SkipSpace(text, pos + 9);  // "<!DOCTYPE"
  const size_t name_start = pos;
  while (pos < text.size() && !IsXmlSpace(text[pos]) && text[pos] != '[' && text[pos] != '>') ++pos;
  root_name.assign(text.substr(name_start, pos - name_start));
  pos = SkipSpace(text, pos);

  std::string_view system_id;
  std::string_view public_id;
  if (StartsWith(text, pos, "SYSTEM")) {
    pos = SkipSpace(text, pos + 6);
    ReadQuoted(text, pos, system_id);
  } else if (StartsWith(text, pos, "PUBLIC")) {
    pos = SkipSpace(text, pos + 6);
    ReadQuoted(text, pos, public_id);
    pos = SkipSpace(text, pos);
    ReadQuoted(text, pos, system_id);
  }
  pos = SkipSpace(text, pos);
  if (pos < text.size() && text[pos] == '[') pos = ReadDeclarations(text, pos + 1, true, depth);
  pos = AfterDelimiter(text, pos, ">");

  // The internal subset is read first, so its declarations win over the external ones.
  if (!system_id.empty()) {
    std::string external;
    if (context_.LoadExternal("external subset of \"" + root_name + "\"", std::string(system_id),
                              std::string(public_id), external) &&
        context_.EnterExpansion(depth + 1, external.size() + 1)) {
      ReadDeclarations(external, 0, false, depth + 1);
    }
  }
  return pos;
}

size_t DtdReader::ReadDeclarations(std::string_view text, size_t pos, bool internal_subset, int depth) {
  while (pos < text.size()) {
    const char c = text[pos];
    if (IsXmlSpace(c)) {
      ++pos;
    } else if (internal_subset && c == ']') {
      return pos + 1;
    } else if (StartsWith(text, pos, "<!--")) {
      pos = AfterDelimiter(text, pos + 4, "-->");
    } else if (StartsWith(text, pos, "<?")) {
      pos = AfterDelimiter(text, pos + 2, "?>");
    } else if (StartsWith(text, pos, "<![")) {
      pos = AfterDelimiter(text, pos + 3, "]]>");  // conditional sections are not read
    } else if (StartsWith(text, pos, "<!")) {
      const size_t end = FindDeclarationEnd(text, pos + 2);
      const size_t stop = end == npos ? text.size() : end + 1;
      ReadDeclaration(text.substr(pos, stop - pos), depth);
      pos = stop;
    } else if (c == '%') {
      size_t name_end = pos + 1;
      while (name_end < text.size() && IsNameChar(text[name_end])) ++name_end;
      if (name_end > pos + 1 && name_end < text.size() && text[name_end] == ';') {
        const std::string name(text.substr(pos + 1, name_end - pos - 1));
        const std::string* replacement = ParameterText(name);
        if (replacement != nullptr && context_.EnterExpansion(depth + 1, replacement->size() + 1)) {
          // Copied: reading it may declare further entities.
          const std::string copy = *replacement;
          ReadDeclarations(copy, 0, false, depth + 1);
        }
        pos = name_end + 1;
      } else {
        ++pos;
      }
    } else {
      ++pos;  // stray text between declarations
    }
  }
  return pos;
}

void DtdReader::ReadDeclaration(std::string_view declaration, int depth) {
  std::string expanded;
  std::string_view text = declaration;
  if (declaration.find('%', 2) != npos) {
    ExpandParameterRefs(declaration, depth, expanded);
    text = expanded;
  }
  if (text.starts_with("<!ENTITY")) {
    ReadEntityDecl(text);
  } else if (text.starts_with("<!ATTLIST")) {
    ReadAttlistDecl(text);
  }
  // <!ELEMENT and <!NOTATION change nothing the scanner reports.
}

void DtdReader::ReadEntityDecl(std::string_view text) {
  size_t pos = SkipSpace(text, 8);  // "<!ENTITY"
  bool parameter = false;
  if (pos < text.size() && text[pos] == '%' && (pos + 1 >= text.size() || IsXmlSpace(text[pos + 1]))) {
    parameter = true;
    pos = SkipSpace(text, pos + 1);
  }
  const std::string_view name = ReadToken(text, pos);
  if (name.empty()) return;
  pos = SkipSpace(text, pos);

  EntityDecl entity;
  std::string_view literal;
  if (ReadQuoted(text, pos, literal)) {
    entity.value.assign(literal);
  } else {
    std::string_view system_id;
    std::string_view public_id;
    if (StartsWith(text, pos, "SYSTEM")) {
      pos = SkipSpace(text, pos + 6);
      if (!ReadQuoted(text, pos, system_id)) return;
    } else if (StartsWith(text, pos, "PUBLIC")) {
      pos = SkipSpace(text, pos + 6);
      if (!ReadQuoted(text, pos, public_id)) return;
      pos = SkipSpace(text, pos);
      if (!ReadQuoted(text, pos, system_id)) return;
    } else {
      return;
    }
    entity.external = true;
    entity.what = (parameter ? "parameter entity \"" : "entity \"") + std::string(name) + "\"";
    entity.system_id.assign(system_id);
    entity.public_id.assign(public_id);
    pos = SkipSpace(text, pos);
    entity.unparsed = StartsWith(text, pos, "NDATA");
  }
  auto& table = parameter ? decls_.parameter : decls_.general;
  table.emplace(std::string(name), std::move(entity));  // the first declaration binds
}

void DtdReader::ReadAttlistDecl(std::string_view text) {
  size_t pos = SkipSpace(text, 9);  // "<!ATTLIST"
  const std::string element(ReadToken(text, pos));
  if (element.empty()) return;
  auto& list = decls_.attributes[element];
  while (true) {
    pos = SkipSpace(text, pos);
    if (pos >= text.size() || text[pos] == '>') return;
    AttributeDecl decl;
    decl.name.assign(ReadToken(text, pos));
    if (decl.name.empty()) return;  // not a declaration we can read; stop here
    pos = SkipSpace(text, pos);
    // The type: a keyword, NOTATION with its list, or an enumeration in parentheses.
    if (StartsWith(text, pos, "(")) {
      decl.cdata = false;
    } else {
      const std::string_view type = ReadToken(text, pos);
      decl.cdata = type == "CDATA";
      if (type.empty()) return;
      pos = SkipSpace(text, pos);
    }
    if (StartsWith(text, pos, "(")) {
      const size_t close = text.find(')', pos);
      if (close == npos) return;
      pos = SkipSpace(text, close + 1);
    }
    // The default: #REQUIRED, #IMPLIED, #FIXED "value" or "value".
    std::string_view literal;
    if (StartsWith(text, pos, "#")) {
      ++pos;
      const std::string_view keyword = ReadToken(text, pos);
      if (keyword == "FIXED") {
        pos = SkipSpace(text, pos);
        if (ReadQuoted(text, pos, literal)) {
          decl.has_default = true;
          decl.default_value.assign(literal);
        }
      }
    } else if (ReadQuoted(text, pos, literal)) {
      decl.has_default = true;
      decl.default_value.assign(literal);
    } else {
      return;
    }
    std::string name = decl.name;
    list.emplace(std::move(name), std::move(decl));  // the first declaration binds
  }
}

void DtdReader::ExpandParameterRefs(std::string_view text, int depth, std::string& out) {
  size_t pos = 0;
  while (pos < text.size()) {
    const size_t percent = text.find('%', pos);
    if (percent == npos) {
      out.append(text.substr(pos));
      return;
    }
    out.append(text.substr(pos, percent - pos));
    size_t name_end = percent + 1;
    while (name_end < text.size() && IsNameChar(text[name_end])) ++name_end;
    if (name_end == percent + 1 || name_end >= text.size() || text[name_end] != ';') {
      out += '%';
      pos = percent + 1;
      continue;
    }
    const std::string name(text.substr(percent + 1, name_end - percent - 1));
    const std::string* replacement = ParameterText(name);
    if (replacement != nullptr && context_.EnterExpansion(depth + 1, replacement->size() + 1)) {
      const std::string copy = *replacement;
      ExpandParameterRefs(copy, depth + 1, out);
    } else {
      out.append(text.substr(percent, name_end + 1 - percent));  // stays as written
    }
    pos = name_end + 1;
  }
}

const std::string* DtdReader::ParameterText(const std::string& name) {
  const auto it = decls_.parameter.find(name);
  if (it == decls_.parameter.end()) return nullptr;
  EntityDecl& entity = it->second;
  if (!entity.external) return &entity.value;
  if (entity.unparsed) return nullptr;
  return &ExternalEntityText(entity, context_);
}

}  // namespace ln40::xml
