#pragma once
// Reading a whole file that a user or a document names, bounded in size: what is not a
// regular file of at most the bound is not read, and the caller gets the reason to report.
// Opening never waits (a named pipe or a device under the name cannot hold the program).
// File names are UTF-8; reasons are Windows-1252 text such as "it is a folder".
#include <cstddef>
#include <string>

namespace ln40 {

// "512 MB" for a bound of 512 << 20 bytes, "1000 bytes" for one that is no whole number of MB.
std::string SizeBoundText(std::size_t bytes);

// Reads the file at `path` (links followed) into `bytes`. Returns the empty text when it was
// read, otherwise why not: "it is a folder", "it is a named pipe (FIFO), not a regular file",
// "it is larger than 512 MB", or the platform's text for a failed open or read. `bytes` is
// empty then.
std::string ReadWholeFile(const std::string& path, std::size_t max_bytes, std::string& bytes);

// The same for `name`, a relative name of a file inside the folder open at `folder_fd` or
// one of its subfolders. Every part of the name is opened without following links, so no
// link can lead out of the folder: "it is reached through a symbolic link" is then the
// reason. A part ".." is refused too ("it leads out of the folder with \"..\"").
// `missing` is set when the file (or a folder on the way) does not exist.
std::string ReadWholeFileInside(int folder_fd, const std::string& name, std::size_t max_bytes, std::string& bytes,
                                bool& missing);

}  // namespace ln40
