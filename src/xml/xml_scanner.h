#pragma once
// TXmlScanner: an event-driven XML scanner. Setting the file name loads the whole document
// into memory; Execute scans it once from the start and, for each piece of markup or text,
// calls the connected handler with the name, the attribute list or the text. Nothing is
// built in memory besides the current piece.
//
// The scanner never rejects a document and has no error messages for its markup: a closing
// delimiter that is missing lets its part run to the end of the document, an ampersand
// without a following semicolon is dropped, an unknown entity gives its name in content and
// stays as written in attribute values, and end tags need not match start tags.
//
// Texts are 8-bit strings. While the current encoding is "UTF-8" (set by an XML
// declaration and kept from one document to the next), document text is converted to
// Windows-1252.
//
// External subsets and entities are read only from regular files inside the document's
// folder (or its subfolders), each of at most Limits::max_external_bytes: a system
// identifier that is an absolute path, climbs out with "..", passes through a symbolic link,
// names a folder, a device or a pipe, or a larger file is refused and reported through
// OnExternalRefused. So a document cannot pull /proc/version or a key file of the user into
// its text. A file that is simply not there contributes nothing, silently.
//
// Entity expansion is bounded: references nest at most Limits::max_entity_depth deep and
// one scan expands at most Limits::max_expansion_bytes in total; a reference past either
// bound is left as written and the scan goes on. So a self-referring entity or a
// "billion laughs" document costs little time and memory.
//
// A scanner is used from one thread at a time. An exception thrown by a handler ends
// Execute and reaches its caller. Handlers must not replace the scanner's events while a
// scan runs; they may load another document (the running scan keeps its own copy).
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "xml/attr_list.h"

namespace ln40 {

class TXmlScanner {
 public:
  // A start tag or an empty-element tag with its attributes.
  using TStartTagEvent = std::function<void(const std::string& tag_name, const TAttrList& attributes)>;
  using TEndTagEvent = std::function<void(const std::string& tag_name)>;
  // Text content, a CDATA section's text, or a whole comment "<!-- ... -->".
  using TContentEvent = std::function<void(const std::string& content)>;
  // The XML declaration: version, the encoding as it now is current, standalone="yes".
  using TXmlPrologEvent = std::function<void(const std::string& version, const std::string& encoding, bool standalone)>;
  // A processing instruction: target name, the text after it, its pseudo-attributes.
  using TPIEvent =
      std::function<void(const std::string& target, const std::string& content, const TAttrList& attributes)>;
  // The document type declaration, after its declarations were read.
  using TDtdReadEvent = std::function<void(const std::string& root_name)>;
  // May supply the text of an external subset or entity: returns true and fills `text`,
  // or returns false to let the scanner read the file named by the system identifier.
  using TLoadExternalEvent =
      std::function<bool(const std::string& system_id, const std::string& public_id, std::string& text)>;
  // When connected, replaces the built-in conversion of document text; gets the current
  // encoding and a run of text as written, returns the text to deliver.
  using TTranslateEncodingEvent = std::function<std::string(const std::string& encoding, std::string_view text)>;
  // An external subset or entity that was refused: `what` names it ("entity \"s\"",
  // "parameter entity \"p\"", "external subset of \"root\""), `system_id` as written,
  // `reason` why ("it is a symbolic link", ...). At most once per declaration and scan.
  using TExternalRefusedEvent =
      std::function<void(const std::string& what, const std::string& system_id, const std::string& reason)>;

  struct Limits {
    int max_entity_depth = 16;                      // nesting of entity references
    size_t max_expansion_bytes = size_t{8} << 20;   // entity text expanded in one scan
    size_t max_document_bytes = size_t{512} << 20;  // a larger file counts as unreadable
    size_t max_external_bytes = size_t{1} << 20;    // one external subset or entity file
  };

  TXmlScanner();
  ~TXmlScanner();
  TXmlScanner(const TXmlScanner&) = delete;
  TXmlScanner& operator=(const TXmlScanner&) = delete;

  // Loads the file: the whole file as bytes, ending at the first NUL byte if it holds one.
  // The previous document is forgotten and Normalize is switched on again. A file that
  // cannot be read (or a path that is no regular file's, or one larger than the limit)
  // gives an empty document, without an error; LoadProblem then says why. The file is
  // opened without waiting, so a named pipe cannot hold the scanner. `path` is a file
  // system name (UTF-8).
  void SetFilename(const std::string& path);
  const std::string& Filename() const { return filename_; }
  // Why the last SetFilename gave an empty document ("it is a folder", "it is larger than
  // 512 MB", the platform's text of a failed open); empty when the file was read.
  const std::string& LoadProblem() const { return load_problem_; }

  // Loads a document from memory as if read from a file in `folder` (where relative system
  // identifiers are looked up; none are read when it is empty). Filename() becomes empty.
  void LoadFromText(std::string_view document, const std::string& folder = "");

  // On: every text content is trimmed of TAB, LF, CR and blanks, inner runs of them become
  // one blank, and a content that is then empty is not reported. Off: delivered as collected.
  bool Normalize() const { return normalize_; }
  void SetNormalize(bool on) { normalize_ = on; }

  // The encoding of the last XML declaration scanned (upper case), empty at first.
  const std::string& CurrentEncoding() const { return encoding_; }

  // Scans the loaded document from its start, calling the connected events in document
  // order. May be called again to scan the same document again.
  void Execute();

  const Limits& GetLimits() const { return limits_; }
  void SetLimits(const Limits& limits) { limits_ = limits; }
  // How many references the last Execute left unexpanded because of the limits.
  int RefusedExpansions() const { return refused_expansions_; }

  TStartTagEvent OnStartTag;
  TStartTagEvent OnEmptyTag;
  TEndTagEvent OnEndTag;
  TContentEvent OnContent;
  TContentEvent OnCData;
  TContentEvent OnComment;
  TXmlPrologEvent OnXmlProlog;
  TPIEvent OnPI;
  TDtdReadEvent OnDtdRead;
  TLoadExternalEvent OnLoadExternal;
  TTranslateEncodingEvent OnTranslateEncoding;
  TExternalRefusedEvent OnExternalRefused;

 private:
  class Run;  // the state of one Execute

  std::string filename_;
  std::string load_problem_;
  std::string folder_;
  std::shared_ptr<const std::string> document_;
  std::string encoding_;
  bool normalize_ = true;
  Limits limits_;
  int refused_expansions_ = 0;
};

}  // namespace ln40
