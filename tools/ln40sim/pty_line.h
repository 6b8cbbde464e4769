#pragma once
// The simulator's end of the serial line: a pseudo-terminal whose device (the slave side)
// the program opens as if it were the reader's port, and a symbolic link to that device.
// Not thread-safe; one owner.
#include <sys/types.h>

#include <string>
#include <string_view>

#include "message_source.h"

namespace ln40::sim {

class PtyLine {
 public:
  // Opens a pseudo-terminal and sets its device raw (no echo, no CR or LF translation) at a
  // nominal 1200 baud, 8 data bits, no parity. Throws std::system_error.
  PtyLine();
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // The device the program opens, such as /dev/pts/7.
  const std::string& DevicePath() const { return path_; }
  // Our end, non-blocking, for poll; -1 once hung up.
  int Fd() const { return master_; }

  // Writes as much of `bytes` as the terminal takes now and returns how many that was
  // (0 when its buffer is full). Throws std::system_error on a failing write.
  std::size_t Write(std::string_view bytes);

  enum class ReadResult { kData, kNothing, kNoPeer };
  // Appends what has arrived to `out`. kNoPeer: the terminal reports a hang-up because no
  // one holds the device open; wait a little and try again. Throws std::system_error.
  ReadResult Read(std::string& out);

  // Waits, at most `max_wait`, until the program has read everything written to it, so
  // closing does not throw away bytes still in the terminal's buffer.
  void Drain(Millis max_wait);

  // Closes the terminal: the program sees its port hang up, as after a pulled cable.
  void HangUp();

 private:
  void SetUp();

  int master_ = -1;
  // Our own descriptor of the device, held open for as long as the line lives. Without
  // it the terminal reports a hang-up (reads fail with EIO, poll returns POLLHUP) from the
  // start until the program opens the device, and again whenever the program closes it.
  // Nothing is ever read through it, so the program gets every byte.
  int slave_ = -1;
  std::string path_;
};

// A symbolic link `path` -> `target`, in place from construction to destruction. An older
// symbolic link at `path` is replaced; any other kind of file there is an error, never
// overwritten. At the end the link is removed only if it still points at `target`.
// Throws std::runtime_error.
class DeviceLink {
 public:
  DeviceLink(std::string path, std::string target);
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

 private:
  std::string path_;
  std::string target_;
};

}  // namespace ln40::sim
