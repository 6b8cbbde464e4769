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
// autosave.bak the previous autosave.xls (when there was one). What an earlier run left in
// the two files is kept under dated names before the new run's first tick
// (KeepPreviousRunAutosaves).
//
// File names are UTF-8.
#include <functional>
#include <string>
#include <vector>

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
// are as they were before the tick and no temporary file is left. A name of the two that
// holds no regular file (a named pipe, a folder, a device; a link is replaced as a link)
// is refused before anything is written.
// Temporary files left by a process that was killed meanwhile are removed first.
void RotateAutosave(const AutosaveFiles& files, const std::function<void(const std::string& path)>& write_new_file);

// Keeps what an earlier run left in autosave.xls and autosave.bak before the first tick of
// a new run replaces it: the rotation would otherwise put the new run's (maybe empty) tables
// over autosave.xls at the first tick and over autosave.bak at the second, and the earlier
// race would be gone from the folder.
//
// `keep(path)` is asked for each of the two files that exists as a regular file; it says
// whether the file must be kept, i.e. whether its content is not the current run's (the
// caller knows from its journal; a run that resumes after a crash continues its own
// autosave). Each file to keep gets a second name in the same folder,
//   autosave-YYYY-MM-DD-HHMM.xls
// from the local date and time the file was last written, with "-2", "-3", ... before
// ".xls" when the name is taken by another file. Both files get ".xls" so that "Open excel
// file" lists them; they are ordinary workbooks. A file that already has its dated name
// (the same file, or a file with the same bytes) is not kept again, so calling this at
// every start is safe. Dated copies are never deleted or changed here or by the rotation.
//
// The second name is a hard link: the rotation never writes into a file, it renames new
// files over the old names, so the link keeps the old content. On a file system without
// hard links the file is copied instead (written to a temporary file, flushed and renamed
// into place, so a crash leaves no partial copy under a dated name). autosave.bak is kept
// before autosave.xls, so when both have the same minute the older one has the plain name.
//
// Returns the dated names made by this call (names only, without the folder), in that
// order. Throws the error of a file that cannot be kept; the caller must then not let a
// tick replace it. Files kept before the failure stay kept.
std::vector<std::string> KeepPreviousRunAutosaves(const AutosaveFiles& files,
                                                  const std::function<bool(const std::string& path)>& keep);

}  // namespace ln40
