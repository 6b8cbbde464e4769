#pragma once
// Real folders for the journal tests: a temporary folder, and a small tmpfs mounted by the test
// (for a full disk and a read-only folder), plus a reader line with every field set.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_reader.h"

namespace ln40::journal_test {

class TemporaryFolder {
 public:
  TemporaryFolder() {
    char pattern[] = "/tmp/ln40_journalXXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A tmpfs of its own on a temporary folder. error() is empty when it is mounted.
class MountedTmpfs {
 public:
  explicit MountedTmpfs(const std::string& size) : options_("size=" + size) {
    if (::mount("tmpfs", folder_.path().c_str(), "tmpfs", 0, options_.c_str()) != 0) error_ = std::strerror(errno);
  }
  ~MountedTmpfs() {
    if (error_.empty()) ::umount2(folder_.path().c_str(), MNT_DETACH);
  }

  const std::string& path() const { return folder_.path(); }
  std::string File(const std::string& name) const { return folder_.File(name); }
  const std::string& error() const { return error_; }

  // Remounts read-only or writable again; the error text, empty on success.
  std::string Remount(bool read_only) {
    const unsigned long flags = MS_REMOUNT | (read_only ? MS_RDONLY : 0);
    if (::mount("tmpfs", folder_.path().c_str(), "tmpfs", flags, options_.c_str()) != 0) return std::strerror(errno);
    return {};
  }

  // Writes a file until the file system has no room left.
  void FillUp(const std::string& name) const {
    const int fd = ::open(File(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    const std::string block(4096, 'x');
    std::size_t size = block.size();
    while (size > 0) {
      if (::write(fd, block.data(), size) < 0) {
        if (errno != ENOSPC) break;
        size /= 2;
      }
    }
    ::close(fd);
  }

 private:
  TemporaryFolder folder_;
  std::string options_;
  std::string error_;
};

// A message line with every field away from its default.
inline JournalLine SampleLine(const std::string& bytes, TDateTime arrival = 45321.5) {
  JournalLine line;
  line.arrival = arrival;
  line.bytes = bytes;
  line.options.nulltime = "10:00:00";
  line.options.raceName = "Nattl\xf8p";  // Windows-1252
  line.options.subName = "Etappe 2";
  line.options.keepMilliseconds = true;
  line.options.chronexLog = false;
  line.chronexSizeBefore = 1234;
  line.bfgSizeBefore = 5678901234;
  return line;
}

// Every line in the journal of `folder`, read by a connection of its own.
inline std::vector<JournalLine> LinesInFile(const std::string& folder) {
  std::vector<JournalLine> lines;
  JournalReader(folder).ForEachLine([&](const JournalLine& line) { lines.push_back(line); });
  return lines;
}

inline std::vector<std::string> BytesOf(const std::vector<JournalLine>& lines) {
  std::vector<std::string> bytes;
  for (const JournalLine& line : lines) bytes.push_back(line.bytes);
  return bytes;
}

inline std::vector<std::int64_t> SequencesOf(const std::vector<JournalLine>& lines) {
  std::vector<std::int64_t> sequences;
  for (const JournalLine& line : lines) sequences.push_back(line.sequence);
  return sequences;
}

}  // namespace ln40::journal_test
