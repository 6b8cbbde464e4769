#pragma once
// One station per data folder. A station (the window or `ln40cli serve`) holds a
// DataFolderLock on the program's folder for as long as it runs, so that a second station
// started on the same folder by mistake stops at once instead of running beside the first,
// the two writing over each other's autosaves and logs.
//
// The lock is an exclusive flock(2) on the file ln40util.lock in the folder. The kernel
// drops it when the holder closes it or dies in any way, so a lock file left behind by a
// killed or crashed station is no obstacle: the file is never deleted, only locked. Locks
// of two opens of the file conflict even within one process, so a second window of the
// same process is refused too. The holder writes its process id into the file, for the
// message the next one shows. The file is opened close-on-exec: a program the station
// starts (the mail composer) does not keep the folder locked after the station has ended.
//
// The lock is advisory: it keeps ln40util stations apart, not other programs. Not
// thread-safe; a lock belongs to the thread that owns the station.
#include <string>

namespace ln40 {

// The name of the lock file in the program's folder.
inline constexpr const char* kDataFolderLockName = "ln40util.lock";

class DataFolderLock {
 public:
  // Locks `folder` (UTF-8, with or without a trailing "/"), creating its lock file when
  // missing. Throws Error when another station holds the folder:
  //   The folder FOLDER is in use by another ln40util (pid N)
  // with FOLDER as given without a trailing "/" and N the process id the holder wrote
  // into the lock file ("(pid unknown)" when none can be read). Also throws when the lock
  // file cannot be opened, or when something other than a regular file (a symbolic link,
  // a folder, a pipe) has its name.
  explicit DataFolderLock(const std::string& folder);

  // Releases the lock (the lock file stays).
  ~DataFolderLock();

  // A moved-from lock holds nothing.
  DataFolderLock(DataFolderLock&& other) noexcept;
  DataFolderLock& operator=(DataFolderLock&& other) noexcept;
  DataFolderLock(const DataFolderLock&) = delete;
  DataFolderLock& operator=(const DataFolderLock&) = delete;

 private:
  void Release() noexcept;

  int fd_ = -1;
};

}  // namespace ln40
