#pragma once
// The steps of replacing a file so that a crash, a full disk or a power cut at any moment
// leaves either the old file or the complete new one: write a temporary file in the same
// folder, flush it to the disk, rename it over the target, flush the folder. File names are
// UTF-8. Errors are ln40::Error with the platform's message.
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace ln40 {

// The platform's text for an errno value.
std::string PlatformErrorText(int error_number);

// A name in the folder of `target` that no file has yet, for a temporary file: the target's
// name with ".tmp<pid>-<n>" added. The file itself is not created.
std::string TemporaryNameBeside(const std::string& target);

// Writes `bytes` to a new temporary file beside `target`, flushes it and renames it over
// `target`, keeping the permissions of the file replaced. A symbolic link is followed, so
// the file it names is replaced and the link stays, except where the rule of
// text/output_target.h refuses it: a link that another user planted in a shared folder such
// as /tmp is not followed and nothing is written. A device or a pipe (/dev/null, a FIFO) is
// written into instead: renaming over it would replace the device node itself. A pipe that
// has no reader within half a second fails (ENXIO) rather than holding the program. A target
// that could not be written in place (a folder, a file without write permission) is refused
// rather than replaced. On failure no temporary file is left and `target` is as it was.
struct FileReplaceFailure {
  FileReplaceFailure() = default;
  FileReplaceFailure(int error_number, bool writing = false, std::string link = {})
      : error(error_number), while_writing(writing), refused_link(std::move(link)) {}

  int error = 0;               // errno of the step that failed; 0 when the file was replaced
  bool while_writing = false;  // the bytes could not be written (rather than the file created)
  std::string refused_link;    // the link not followed (error is then EACCES)
  explicit operator bool() const { return error != 0; }
  // Why: the platform's text for `error`, or the refused link and the rule.
  std::string Reason() const;
};
FileReplaceFailure TryReplaceFile(const std::string& target, std::string_view bytes);
// The same for contents held in pieces, written one after the other.
FileReplaceFailure TryReplaceFile(const std::string& target, std::span<const std::string_view> pieces);

// TryReplaceFile, throwing on failure: `cannot_create` is the message when the file cannot
// be created or put in place (the platform's message is used when empty), followed by the
// reason when a link was refused; write errors give the platform's message.
void ReplaceFileWith(const std::string& target, std::string_view bytes, const std::string& cannot_create = "");

// Creates `path`, which must not exist, writes `bytes` into it and flushes it to the disk.
// On failure the partly written file is removed and the platform's message thrown.
void WriteNewFile(const std::string& path, std::string_view bytes);

// Flushes the data of an existing file to the disk.
void SyncFileToDisk(const std::string& path);

// Flushes the folder holding `path`, so renames in it survive a power cut. Best effort.
void SyncFolderOf(const std::string& path);

// rename(2) with the platform's message on failure.
void RenameFile(const std::string& from, const std::string& to);

bool PathExists(const std::string& path);

}  // namespace ln40
