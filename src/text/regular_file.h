#pragma once
// Opening the files the program keeps on its own (logs, journal, autosave, settings) so that
// nothing put under one of their names can hold the program or take its data: a named pipe
// would keep open() or read() waiting for ever, a device can act on being opened, a folder
// or a socket is no file at all. Such a path is refused, with a text that says what is there,
// and the caller reports it and goes on. File names are UTF-8.
#include <sys/types.h>

#include <optional>
#include <string>

namespace ln40 {

// What a file type (the S_IFMT bits of st_mode) is, for messages: "a named pipe (FIFO)",
// "a folder", "a character device", "a block device", "a socket", "a symbolic link".
std::string FileKindText(mode_t mode);

// "It is a named pipe (FIFO), not a regular file": the reason given when a path of that
// kind is refused.
std::string NotARegularFileText(mode_t mode);

// The file type at `path`, links followed, when something other than a regular file is
// there; 0 when it is a regular file, when nothing is there (a dangling link included) and
// when the path cannot be looked at (the open that follows says why).
mode_t OtherThanRegularFileAt(const std::string& path);

// The outcome of OpenRegularFile: an open descriptor, or why there is none.
struct RegularFile {
  int fd = -1;
  int error = 0;     // errno of a failed open
  mode_t other = 0;  // the file type found when the path names no regular file
  off_t size = 0;    // the file's size when it was opened
  explicit operator bool() const { return fd >= 0; }
};

// open(2) of `path` with `flags` (O_WRONLY | O_APPEND | O_CREAT, ...), only when it is a
// regular file or is created as one. The kind is checked before the open, which never waits
// (O_NONBLOCK, and O_NOCTTY, O_CLOEXEC), and again on the open descriptor, which closes the
// gap to a name changed in between. The descriptor is returned in blocking mode.
RegularFile OpenRegularFile(const std::string& path, int flags, mode_t mode = 0666);

// open(2) of `path` for reading that never waits at the open: a named pipe without a writer
// opens at once (and then reads as empty), a device cannot hold the program. Used for the
// files a user names as input, which may be a pipe on purpose (/dev/stdin). The descriptor
// is returned in blocking mode; -1 with errno set when the open fails.
int OpenForReading(const std::string& path);

// Everything `fd` gives from its position to its end; nothing when a read fails (errno then
// says why). The descriptor stays open.
std::optional<std::string> ReadToEnd(int fd);

// The whole content of `path` when it is a regular file that can be read; nothing otherwise.
std::optional<std::string> ReadRegularFile(const std::string& path);

}  // namespace ln40
