#pragma once
// The file rotation of the autosave: autosave.xls in the program's folder, with the
// autosave before it kept as autosave.bak.
//
// A tick never leaves the folder without a complete copy: the new workbook is written to a
// temporary file beside autosave.xls and flushed to the disk; only then does autosave.bak
// become the previous autosave.xls (a second name of the same file, put in place by one
// rename) and the temporary file is renamed to autosave.xls. A crash, a full disk or a
// power cut at any moment leaves autosave.xls complete (old or new), and autosave.bak the
// autosave before it. (On a file system without hard links, FAT for instance, autosave.xls
// itself is renamed to autosave.bak; between that rename and the next one only
// autosave.bak holds a copy.) After a successful tick autosave.xls holds the two tables and
// autosave.bak the previous autosave.xls (when there was one).
//
// File names are UTF-8.
#include <functional>
#include <string>

namespace ln40 {

struct AutosaveFiles {
  std::string file;    // <folder>autosave.xls
  std::string backup;  // <folder>autosave.bak
};

// The two files in `folder` (the program's folder, with or without a trailing "/").
AutosaveFiles AutosaveFilesIn(const std::string& folder);

// One tick of the rotation. `write_new_file(path)` creates the file `path` (which does not
// exist) with the complete new content; the rotation flushes it and puts it in place as
// said above. Throws the error of any step; after a failure autosave.xls and autosave.bak
// are as they were before the tick and no temporary file is left.
// Temporary files left by a process that was killed meanwhile are removed first.
void RotateAutosave(const AutosaveFiles& files, const std::function<void(const std::string& path)>& write_new_file);

}  // namespace ln40
