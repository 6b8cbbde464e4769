#pragma once
// The declarations of a document type definition that change what the scanner reports:
// general and parameter entities, and attribute types and defaults. Element and notation
// declarations and conditional sections are read past without effect.
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

namespace ln40::xml {

struct EntityDecl {
  std::string value;  // a literal value, parameter entity references already replaced
  bool external = false;
  bool unparsed = false;  // an external entity with NDATA: never expanded
  std::string system_id;
  std::string public_id;
  std::string what;  // how a message names it: entity "e", parameter entity "p"
  // The text of an external entity, read once per scan at its first use.
  bool loaded = false;
  std::string loaded_text;
};

struct AttributeDecl {
  std::string name;
  bool cdata = true;  // white space of other types is packed and trimmed
  bool has_default = false;
  std::string default_value;  // as written, references not yet replaced
};

struct Declarations {
  std::unordered_map<std::string, EntityDecl> general;
  std::unordered_map<std::string, EntityDecl> parameter;
  // By element name, then by attribute name.
  std::unordered_map<std::string, std::unordered_map<std::string, AttributeDecl>> attributes;

  // The declaration of attribute `name` of `element`, or nullptr.
  const AttributeDecl* FindAttribute(const std::string& element, std::string_view name) const;
};

// What reading declarations needs from the scanner that found them.
class DtdContext {
 public:
  virtual ~DtdContext() = default;
  // The text of an external subset or entity (`what` names it for messages); false when it
  // cannot be read.
  virtual bool LoadExternal(const std::string& what, const std::string& system_id, const std::string& public_id,
                            std::string& text) = 0;
  // Whether an expansion of `size` bytes at nesting depth `depth` (1 for an expansion in
  // the document itself) stays within the scanner's bounds; counts it when it does.
  virtual bool EnterExpansion(int depth, size_t size) = 0;
};

// The text of an external entity, loaded on first use and kept in the declaration; the
// empty text when it cannot be read.
const std::string& ExternalEntityText(EntityDecl& entity, DtdContext& context);

// Reads declarations into `declarations`; the first declaration of a name binds, later ones
// are ignored. Never fails: what cannot be read is skipped.
class DtdReader {
 public:
  DtdReader(Declarations& declarations, DtdContext& context) : decls_(declarations), context_(context) {}

  // A document type declaration starting at text[pos] ("<!DOCTYPE"): the root element name,
  // the internal subset between "[" and "]", then the external subset named after SYSTEM or
  // PUBLIC. Returns the position after its closing ">" (or the end of the text).
  size_t ReadDoctype(std::string_view text, size_t pos, int depth, std::string& root_name);

 private:
  // Declarations from text[pos]; with `internal_subset` reading stops after the "]" that
  // closes the subset. Returns the position where reading stopped.
  size_t ReadDeclarations(std::string_view text, size_t pos, bool internal_subset, int depth);
  void ReadDeclaration(std::string_view declaration, int depth);
  void ReadEntityDecl(std::string_view text);
  void ReadAttlistDecl(std::string_view text);
  // Appends text with every parameter entity reference replaced by its text.
  void ExpandParameterRefs(std::string_view text, int depth, std::string& out);
  // The replacement text of a parameter entity, or nullptr when there is none.
  const std::string* ParameterText(const std::string& name);

  Declarations& decls_;
  DtdContext& context_;
};

}  // namespace ln40::xml
