#include "xml/xml_scanner.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <utility>
#include <vector>

#include "text/file_read.h"
#include "xml/xml_dtd.h"
#include "xml/xml_text.h"

namespace ln40 {
namespace {

constexpr size_t npos = std::string_view::npos;

// The document ends at its first NUL byte.
void CutAtNul(std::string& text) {
  const size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
}

std::string FolderOf(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? std::string(".") : folder;
}

// The name inside the document's folder that a system identifier gives: backslashes are
// taken as folder separators. Empty, with `refusal` set, for an absolute path, a network
// path ("\\...") or a drive path (":" as its second character): none of them stays
// inside the folder.
std::string NameInFolder(const std::string& system_id, std::string& refusal) {
  std::string name = system_id;
  std::replace(name.begin(), name.end(), '\\', '/');
  if (!name.empty() && (name[0] == '/' || (name.size() >= 2 && name[1] == ':'))) {
    refusal = "it is an absolute path, outside the document's folder";
    return {};
  }
  return name;
}

bool StartsWith(std::string_view text, size_t pos, std::string_view prefix) {
  return text.substr(pos).starts_with(prefix);
}

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

size_t SkipSpace(std::string_view text, size_t pos) {
  while (pos < text.size() && xml::IsXmlSpace(text[pos])) ++pos;
  return pos;
}

// The pseudo-attributes of an XML declaration or a processing instruction: name="value"
// pairs, values as written.
void ReadPseudoAttributes(std::string_view text, TAttrList& list) {
  list.Clear();
  size_t pos = 0;
  while (true) {
    pos = SkipSpace(text, pos);
    if (pos >= text.size()) break;
    const size_t name_start = pos;
    while (pos < text.size() && !xml::IsXmlSpace(text[pos]) && text[pos] != '=') ++pos;
    const std::string_view name = text.substr(name_start, pos - name_start);
    pos = SkipSpace(text, pos);
    if (pos >= text.size() || text[pos] != '=') continue;
    pos = SkipSpace(text, pos + 1);
    if (pos >= text.size() || (text[pos] != '"' && text[pos] != '\'')) continue;
    const char quote = text[pos];
    const size_t end = text.find(quote, pos + 1);
    const size_t stop = end == npos ? text.size() : end;
    if (!name.empty()) list.Append(std::string(name), std::string(text.substr(pos + 1, stop - pos - 1)));
    pos = end == npos ? text.size() : end + 1;
  }
  list.Sort();
}

struct RawAttribute {
  std::string_view name;
  std::string_view value;
};

}  // namespace

// One scan of a document. Holds everything that lives for one Execute: the declarations of
// the DTD, the attribute list, the content part being collected and the expansion budget.
class TXmlScanner::Run : public xml::DtdContext {
 public:
  Run(TXmlScanner& scanner, std::shared_ptr<const std::string> document, std::string folder)
      : scanner_(scanner),
        document_(std::move(document)),
        folder_(std::move(folder)),
        budget_(scanner.limits_.max_expansion_bytes) {
    utf8_ = scanner_.encoding_ == "UTF-8";
  }

  void Execute() {
    ScanText(*document_, 0);
    FlushContent();
  }

  int Refused() const { return refused_; }

  bool LoadExternal(const std::string& what, const std::string& system_id, const std::string& public_id,
                    std::string& text) override {
    text.clear();
    // Every external text read counts against the same budget as the expansions, so a
    // document that names a large file many times cannot make the scan read it endlessly.
    const size_t cap = std::min(scanner_.limits_.max_external_bytes, budget_);
    bool supplied = false;
    if (scanner_.OnLoadExternal) supplied = scanner_.OnLoadExternal(system_id, public_id, text);
    if (supplied) {
      CutAtNul(text);
      if (text.size() > cap) {
        text.clear();
        ++refused_;
        return false;
      }
    } else {
      if (!ReadExternalFile(what, system_id, text)) return false;
      CutAtNul(text);
      if (text.size() > cap) {
        text.clear();
        ++refused_;
        return false;
      }
    }
    budget_ -= text.size();
    return true;
  }

  bool EnterExpansion(int depth, size_t size) override {
    if (depth > scanner_.limits_.max_entity_depth || size > budget_) {
      ++refused_;
      return false;
    }
    budget_ -= size;
    return true;
  }

 private:
  // Reads the file a system identifier names inside the document's folder; false when it is
  // not there or is refused, which OnExternalRefused hears of.
  bool ReadExternalFile(const std::string& what, const std::string& system_id, std::string& text) {
    std::string refusal;
    const std::string name = NameInFolder(system_id, refusal);
    if (name.empty() && refusal.empty()) return false;
    if (refusal.empty() && folder_.empty()) refusal = "the document has no folder to read it from";
    if (refusal.empty()) {
      const int folder = ::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (folder < 0) return false;  // the document's folder is gone: nothing is there to read
      bool missing = false;
      refusal = ReadWholeFileInside(folder, name, scanner_.limits_.max_external_bytes, text, missing);
      ::close(folder);
      if (missing) return false;
    }
    if (refusal.empty()) return true;
    if (scanner_.OnExternalRefused) scanner_.OnExternalRefused(what, system_id, refusal);
    return false;
  }

  // Scans text (the document, or the replacement text of an entity at nesting `depth`).
  // Content collected at the end of an entity's text continues in the text around it.
  void ScanText(std::string_view text, int depth) {
    size_t pos = 0;
    while (pos < text.size()) {
      if (text[pos] == '<') {
        FlushContent();
        pos = ScanMarkup(text, pos, depth);
      } else {
        pos = CollectContent(text, pos, depth);
      }
    }
  }

  size_t ScanMarkup(std::string_view text, size_t pos, int depth) {
    if (StartsWith(text, pos, "<?xml") && pos + 5 < text.size() && xml::IsXmlSpace(text[pos + 5])) {
      return ScanXmlDeclaration(text, pos);
    }
    if (StartsWith(text, pos, "<?")) return ScanProcessingInstruction(text, pos);
    if (StartsWith(text, pos, "<!--")) {
      const size_t end = text.find("-->", pos + 4);
      const size_t stop = end == npos ? text.size() : end + 3;
      if (scanner_.OnComment) scanner_.OnComment(std::string(text.substr(pos, stop - pos)));
      return stop;
    }
    if (StartsWith(text, pos, "<!DOCTYPE")) {
      std::string root_name;
      xml::DtdReader reader(decls_, *this);
      const size_t stop = reader.ReadDoctype(text, pos, depth, root_name);
      if (scanner_.OnDtdRead) scanner_.OnDtdRead(root_name);
      return stop;
    }
    if (StartsWith(text, pos, "<![CDATA[")) {
      const size_t end = text.find("]]>", pos + 9);
      const size_t body_end = end == npos ? text.size() : end;
      if (scanner_.OnCData) {
        std::string converted;
        AppendConverted(text.substr(pos + 9, body_end - pos - 9), converted);
        scanner_.OnCData(converted);
      }
      return end == npos ? text.size() : end + 3;
    }
    if (StartsWith(text, pos, "</")) return ScanEndTag(text, pos);
    return ScanTag(text, pos, depth);
  }

  size_t ScanXmlDeclaration(std::string_view text, size_t pos) {
    const size_t end = text.find("?>", pos + 5);
    const size_t body_end = end == npos ? text.size() : end;
    ReadPseudoAttributes(text.substr(pos + 5, body_end - pos - 5), attributes_);
    const std::string& encoding = attributes_.ValueOf("encoding");
    scanner_.encoding_ = encoding.empty() ? std::string("UTF-8") : AsciiUpper(encoding);
    utf8_ = scanner_.encoding_ == "UTF-8";
    if (scanner_.OnXmlProlog) {
      scanner_.OnXmlProlog(attributes_.ValueOf("version"), scanner_.encoding_,
                           attributes_.ValueOf("standalone") == "yes");
    }
    return end == npos ? text.size() : end + 2;
  }

  size_t ScanProcessingInstruction(std::string_view text, size_t pos) {
    const size_t end = text.find("?>", pos + 2);
    const std::string_view body = text.substr(pos + 2, (end == npos ? text.size() : end) - pos - 2);
    size_t target_end = 0;
    while (target_end < body.size() && !xml::IsXmlSpace(body[target_end])) ++target_end;
    if (scanner_.OnPI) {
      const std::string_view content = body.substr(SkipSpace(body, target_end));
      ReadPseudoAttributes(content, attributes_);
      scanner_.OnPI(std::string(body.substr(0, target_end)), std::string(content), attributes_);
    }
    return end == npos ? text.size() : end + 2;
  }

  // A tag name: the first character is always taken, then up to white space, "/", ">" or
  // the end. Returns the position after the name.
  static size_t ReadTagName(std::string_view text, size_t pos, std::string& name) {
    const size_t start = pos;
    if (pos < text.size()) ++pos;
    while (pos < text.size()) {
      const char c = text[pos];
      if (xml::IsXmlSpace(c) || c == '/' || c == '>') break;
      ++pos;
    }
    name.assign(text.substr(start, pos - start));
    return pos;
  }

  size_t ScanEndTag(std::string_view text, size_t pos) {
    pos = ReadTagName(text, pos + 2, tag_name_);
    const size_t gt = text.find('>', pos);
    if (scanner_.OnEndTag) scanner_.OnEndTag(tag_name_);
    return gt == npos ? text.size() : gt + 1;
  }

  size_t ScanTag(std::string_view text, size_t pos, int depth) {
    pos = ReadTagName(text, pos + 1, tag_name_);
    raw_attributes_.clear();
    bool empty_element = false;
    size_t stop = text.size();
    while (true) {
      pos = SkipSpace(text, pos);
      if (pos >= text.size()) break;
      const char c = text[pos];
      if (c == '>') {
        stop = pos + 1;
        break;
      }
      if (!xml::IsNameStartChar(c)) {
        // Where a name may not start, the tag ends; a "/" there makes it an empty-element tag.
        empty_element = c == '/';
        const size_t gt = text.find('>', pos);
        stop = gt == npos ? text.size() : gt + 1;
        break;
      }
      const size_t name_start = pos;
      while (pos < text.size()) {
        const char n = text[pos];
        if (xml::IsXmlSpace(n) || n == '/' || n == '=' || n == '>') break;
        ++pos;
      }
      const std::string_view name = text.substr(name_start, pos - name_start);
      // Up to "=", then up to a quote; a ">" first means the attribute has no value and is
      // not added.
      while (pos < text.size() && text[pos] != '=' && text[pos] != '>') ++pos;
      if (pos >= text.size() || text[pos] == '>') continue;
      ++pos;
      while (pos < text.size() && text[pos] != '"' && text[pos] != '\'' && text[pos] != '>') ++pos;
      if (pos >= text.size() || text[pos] == '>') continue;
      const char quote = text[pos];
      const size_t close = text.find(quote, pos + 1);
      const size_t value_end = close == npos ? text.size() : close;
      raw_attributes_.push_back(RawAttribute{name, text.substr(pos + 1, value_end - pos - 1)});
      pos = close == npos ? text.size() : close + 1;
    }

    const TStartTagEvent& event = empty_element ? scanner_.OnEmptyTag : scanner_.OnStartTag;
    if (event) {
      BuildAttributes(depth);
      event(tag_name_, attributes_);
    }
    return stop;
  }

  // The attribute list of the current tag: values with their references replaced, white
  // space made blanks (packed for attributes the DTD gives a type other than CDATA) and the
  // text converted; then the DTD's defaults for attributes the tag does not carry.
  void BuildAttributes(int depth) {
    attributes_.Clear();
    for (const RawAttribute& raw : raw_attributes_) {
      std::string value;
      AppendAttributeText(raw.value, depth, value);
      attributes_.Append(std::string(raw.name), FinishAttributeValue(raw.name, std::move(value)));
    }
    const auto declared = decls_.attributes.empty() ? decls_.attributes.end() : decls_.attributes.find(tag_name_);
    if (declared != decls_.attributes.end()) {
      // Defaults have names the tag does not carry, so where they are appended does not
      // change the order Sort gives.
      present_.clear();
      for (const RawAttribute& raw : raw_attributes_) present_.push_back(raw.name);
      std::sort(present_.begin(), present_.end());
      for (const auto& [name, decl] : declared->second) {
        if (!decl.has_default || std::binary_search(present_.begin(), present_.end(), std::string_view(name))) {
          continue;
        }
        std::string value;
        AppendAttributeText(decl.default_value, depth, value);
        attributes_.Append(name, FinishAttributeValue(name, std::move(value)));
      }
    }
    attributes_.Sort();
  }

  std::string FinishAttributeValue(std::string_view name, std::string value) {
    const xml::AttributeDecl* decl = decls_.attributes.empty() ? nullptr : decls_.FindAttribute(tag_name_, name);
    if (decl != nullptr && !decl->cdata) {
      std::string packed;
      xml::PackSpace(value, packed);
      return packed;
    }
    xml::BlankSpace(value);
    return value;
  }

  // Appends an attribute value with its references replaced. Text as written is converted;
  // characters that references stand for are not, so "&#248;" stays the byte 248 in a UTF-8
  // document, as it does in content.
  void AppendAttributeText(std::string_view text, int depth, std::string& out) {
    size_t pos = 0;
    size_t semicolon = 0;
    bool semicolon_known = false;
    while (pos < text.size()) {
      const size_t amp = text.find('&', pos);
      if (amp == npos) {
        AppendConverted(text.substr(pos), out);
        return;
      }
      AppendConverted(text.substr(pos, amp - pos), out);
      // The next semicolon, remembered so a run of ampersands costs linear time.
      if (!semicolon_known || (semicolon != npos && semicolon <= amp)) {
        semicolon = text.find(';', amp + 1);
        semicolon_known = true;
      }
      if (semicolon == npos) {
        out += '&';  // no reference: the ampersand stays
        pos = amp + 1;
        continue;
      }
      const std::string_view ref = text.substr(amp + 1, semicolon - amp - 1);
      const std::string_view as_written = text.substr(amp, semicolon - amp + 1);
      pos = semicolon + 1;
      char c = 0;
      if (!ref.empty() && ref[0] == '#') {
        out += xml::CharacterReference(ref.substr(1), "x", ' ', '\0');
      } else if (xml::PredefinedEntity(ref, c)) {
        out += c;
      } else if (const xml::EntityDecl* entity = InternalEntity(ref);
                 entity != nullptr && EnterExpansion(depth + 1, entity->value.size() + 1)) {
        AppendAttributeText(entity->value, depth + 1, out);
      } else {
        AppendConverted(as_written, out);  // unknown, external, or past the bounds
      }
    }
  }

  const xml::EntityDecl* InternalEntity(std::string_view name) const {
    if (decls_.general.empty()) return nullptr;
    const auto it = decls_.general.find(std::string(name));
    return it == decls_.general.end() || it->second.external ? nullptr : &it->second;
  }

  // Text content from text[pos] up to the next "<" (or the end); returns that position.
  size_t CollectContent(std::string_view text, size_t pos, int depth) {
    const size_t lt = std::min(text.find('<', pos), text.size());
    // Searches stay within this part, so a long document costs linear time.
    const std::string_view part = text.substr(0, lt);
    size_t semicolon = 0;
    bool semicolon_known = false;
    while (pos < lt) {
      const size_t amp = std::min(part.find('&', pos), lt);
      AppendConverted(text.substr(pos, amp - pos), content_);
      if (amp >= lt) break;
      // A reference runs to the next semicolon, but never into markup: an ampersand with
      // no semicolon before the next "<" is dropped, and the tags after it are scanned.
      if (!semicolon_known || (semicolon < lt && semicolon <= amp)) {
        semicolon = std::min(part.find(';', amp + 1), lt);
        semicolon_known = true;
      }
      if (semicolon >= lt) {
        pos = amp + 1;
        continue;
      }
      const std::string_view ref = text.substr(amp + 1, semicolon - amp - 1);
      pos = semicolon + 1;
      AppendContentReference(ref, text.substr(amp, semicolon - amp + 1), depth);
    }
    return lt;
  }

  void AppendContentReference(std::string_view ref, std::string_view as_written, int depth) {
    char c = 0;
    if (!ref.empty() && ref[0] == '#') {
      content_ += xml::CharacterReference(ref.substr(1), "xX", ' ', ' ');
      return;
    }
    if (xml::PredefinedEntity(ref, c)) {
      content_ += c;
      return;
    }
    const auto it = decls_.general.empty() ? decls_.general.end() : decls_.general.find(std::string(ref));
    if (it == decls_.general.end() || it->second.unparsed) {
      AppendConverted(ref, content_);  // an unknown name gives the name itself
      return;
    }
    xml::EntityDecl& entity = it->second;
    const std::string& replacement = entity.external ? xml::ExternalEntityText(entity, *this) : entity.value;
    if (EnterExpansion(depth + 1, replacement.size() + 1)) {
      ScanText(replacement, depth + 1);  // markup in it gives its own parts
    } else {
      AppendConverted(as_written, content_);  // past the bounds: left as written
    }
  }

  void FlushContent() {
    if (content_.empty()) return;
    if (scanner_.OnContent) {
      if (scanner_.normalize_) {
        xml::PackSpace(content_, packed_);
        if (!packed_.empty()) scanner_.OnContent(packed_);
      } else {
        scanner_.OnContent(content_);
      }
    }
    content_.clear();
  }

  void AppendConverted(std::string_view raw, std::string& out) {
    if (raw.empty()) return;
    if (scanner_.OnTranslateEncoding) {
      out += scanner_.OnTranslateEncoding(scanner_.encoding_, raw);
    } else if (utf8_) {
      xml::AppendUtf8AsCp1252(raw, out);
    } else {
      out.append(raw);
    }
  }

  TXmlScanner& scanner_;
  std::shared_ptr<const std::string> document_;
  std::string folder_;
  size_t budget_;
  int refused_ = 0;
  bool utf8_ = false;
  xml::Declarations decls_;
  TAttrList attributes_;
  std::vector<RawAttribute> raw_attributes_;
  std::vector<std::string_view> present_;
  std::string tag_name_;
  std::string content_;  // the content part being collected
  std::string packed_;
};

TXmlScanner::TXmlScanner() : document_(std::make_shared<const std::string>()) {}

TXmlScanner::~TXmlScanner() = default;

void TXmlScanner::SetFilename(const std::string& path) {
  filename_ = path;
  folder_ = FolderOf(path);
  normalize_ = true;
  auto bytes = std::make_shared<std::string>();
  load_problem_ = ReadWholeFile(path, limits_.max_document_bytes, *bytes);
  CutAtNul(*bytes);
  document_ = std::move(bytes);
}

void TXmlScanner::LoadFromText(std::string_view document, const std::string& folder) {
  filename_.clear();
  load_problem_.clear();
  folder_ = folder;
  normalize_ = true;
  auto bytes = std::make_shared<std::string>(document);
  CutAtNul(*bytes);
  document_ = std::move(bytes);
}

void TXmlScanner::Execute() {
  refused_expansions_ = 0;
  Run run(*this, document_, folder_);
  run.Execute();
  refused_expansions_ = run.Refused();
}

}  // namespace ln40
