#include "app/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "text/codepage.h"
#include "text/error.h"
#include "text/file_replace.h"
#include "text/regular_file.h"

namespace ln40 {
namespace {

std::string EscapeText(const std::string& text) {
  std::string out;
  for (char c : Cp1252ToUtf8(text)) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static const char kHex[] = "0123456789ABCDEF";
          out += "\\x";
          out += kHex[(c >> 4) & 0xF];
          out += kHex[c & 0xF];
        } else {
          out += c;
        }
    }
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The text between the quotes of sz:"..."; empty when malformed.
std::optional<std::string> UnescapeText(const std::string& quoted) {
  if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"') return std::nullopt;
  std::string utf8;
  for (size_t i = 1; i + 1 < quoted.size(); ++i) {
    char c = quoted[i];
    if (c != '\\') {
      utf8 += c;
      continue;
    }
    if (++i + 1 > quoted.size() - 1) return std::nullopt;
    switch (quoted[i]) {
      case 'r': utf8 += '\r'; break;
      case 'n': utf8 += '\n'; break;
      case 't': utf8 += '\t'; break;
      case 'x': {
        if (i + 2 >= quoted.size() - 1) return std::nullopt;
        const int high = HexDigit(quoted[i + 1]), low = HexDigit(quoted[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        utf8 += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default: utf8 += quoted[i]; break;
    }
  }
  return Utf8ToCp1252(utf8);
}

void MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  }
}

}  // namespace

bool TSettingsFile::Open() {
  values_.clear();
  // A named pipe or a device in the store's place is neither read nor written: it would
  // hold the start-up for ever, or take the values.
  if (OtherThanRegularFileAt(path_) != 0) return false;
  const std::optional<std::string> bytes = ReadRegularFile(path_);
  if (!bytes) {
    MakeFolders(path_);
    const RegularFile created = OpenRegularFile(path_, O_WRONLY | O_CREAT | O_APPEND);
    if (!created) return false;
    ::close(created.fd);
    return true;
  }
  std::istringstream file(*bytes);
  std::string line;
  while (std::getline(file, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    const std::string name = Utf8ToCp1252(line.substr(0, equals));
    const std::string value = line.substr(equals + 1);
    if (value.rfind("dword:", 0) == 0) {
      const std::string digits = value.substr(6);
      if (digits.empty() || digits.size() > 8) continue;
      char* end = nullptr;
      const unsigned long number = std::strtoul(digits.c_str(), &end, 16);
      if (*end != '\0') continue;
      values_[name] = static_cast<int32_t>(static_cast<uint32_t>(number));
    } else if (value.rfind("sz:", 0) == 0) {
      if (const auto text = UnescapeText(value.substr(3))) values_[name] = *text;
    }
  }
  return true;
}

bool TSettingsFile::HasInteger(const std::string& name) const {
  const auto found = values_.find(name);
  return found != values_.end() && std::holds_alternative<int32_t>(found->second);
}

bool TSettingsFile::HasText(const std::string& name) const {
  const auto found = values_.find(name);
  return found != values_.end() && std::holds_alternative<std::string>(found->second);
}

std::optional<int32_t> TSettingsFile::ReadInteger(const std::string& name) const {
  if (!HasInteger(name)) return std::nullopt;
  return std::get<int32_t>(values_.at(name));
}

std::optional<std::string> TSettingsFile::ReadText(const std::string& name) const {
  if (!HasText(name)) return std::nullopt;
  return std::get<std::string>(values_.at(name));
}

void TSettingsFile::WriteInteger(const std::string& name, int32_t value) { values_[name] = value; }

void TSettingsFile::WriteText(const std::string& name, const std::string& value) { values_[name] = value; }

void TSettingsFile::Save() const {
  std::ostringstream out;
  out << "# ln40util settings: NAME=dword:HEX (integer) or NAME=sz:\"TEXT\" (text)\n";
  for (const auto& [name, value] : values_) {
    out << Cp1252ToUtf8(name) << '=';
    if (std::holds_alternative<int32_t>(value)) {
      char hex[9];
      std::snprintf(hex, sizeof hex, "%08X", static_cast<uint32_t>(std::get<int32_t>(value)));
      out << "dword:" << hex << '\n';
    } else {
      out << "sz:\"" << EscapeText(std::get<std::string>(value)) << "\"\n";
    }
  }
  const std::string bytes = out.str();

  MakeFolders(path_);
  if (const mode_t other = OtherThanRegularFileAt(path_); other != 0) {
    throw Error("Cannot write " + Utf8ToCp1252(path_) + ": " + NotARegularFileText(other));
  }
  // Replaced as every file the program writes: a link planted in a shared folder is not
  // followed, and a crash leaves the old store or the new one.
  if (const FileReplaceFailure failure = TryReplaceFile(path_, bytes)) {
    throw Error("Cannot write " + Utf8ToCp1252(path_) + ": " + failure.Reason());
  }
}

std::string DefaultSettingsPath() {
  if (const char* path = std::getenv("LN40UTIL_SETTINGS"); path && *path) return path;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
    return std::string(config) + "/vexa/ln40util.conf";
  }
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/vexa/ln40util.conf";
}

}  // namespace ln40
