#pragma once
// A small per-user store of named values, each a 32-bit integer or a text, kept in a text
// file that records every value's type, one value a line:
//   cbtidel=dword:00000001
//   MaskEditEx1=sz:"10:00:00"
// Texts are Windows-1252 in memory and UTF-8 in the file, with \" \\ \r \n \t and \xHH
// escapes. Lines the store does not understand are ignored. Not thread-safe.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace ln40 {

class TSettingsFile {
 public:
  explicit TSettingsFile(std::string path) : path_(std::move(path)) {}

  // Reads the file, creating it empty (with its folder) when missing. False when it can be
  // neither read nor created; the store is then empty.
  bool Open();

  bool HasInteger(const std::string& name) const;
  bool HasText(const std::string& name) const;
  // Empty when the value is missing or stored with the other type.
  std::optional<int32_t> ReadInteger(const std::string& name) const;
  std::optional<std::string> ReadText(const std::string& name) const;

  // Changes the value in memory; Save writes the file.
  void WriteInteger(const std::string& name, int32_t value);
  void WriteText(const std::string& name, const std::string& value);

  // Writes every value to a temporary file beside the store, flushes it to the disk and
  // renames it over the store, so a crash never leaves half a file. Throws Error.
  void Save() const;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::map<std::string, std::variant<int32_t, std::string>> values_;
};

// $LN40UTIL_SETTINGS, else $XDG_CONFIG_HOME/vexa/ln40util.conf, else
// ~/.config/vexa/ln40util.conf.
std::string DefaultSettingsPath();

}  // namespace ln40
