#pragma once
// TOle2Storage and TOle2Stream: one open compound file ([MS-CFB], the container of .xls
// workbooks) and one open stream of it.
//
// A storage is opened in one of two modes and stays in it:
// - read: the whole container is read into memory and checked at once (see
//   compound_file_reader.h); the file is closed again before OpenFile returns. Streams
//   opened in read mode read; writing to them fails.
// - create: streams and storages are created in memory, and Release() writes the finished
//   container in one piece: to a temporary file in the target's folder that is flushed to
//   disk and then renamed to the target name (never replacing a file of that name), into
//   the caller's byte vector, or as pieces for the caller to write on. A created storage
//   destroyed without Release() leaves nothing behind.
//
// Names at this interface are Windows-1252 text; inside the file they are UTF-16. Overloads
// taking std::u16string use a name exactly as stored, for names outside the code page.
// Element names compare as the directory compares them: without regard to letter case.
//
// Elements are listed in the order of the directory's sibling tree walked in order, which
// for a well-formed file is the directory's own sort order: shorter names first, names of
// equal length by their upper-cased UTF-16 code units. Files this layer writes list their
// elements in that order too, whatever the order of creation.
//
// Errors are ln40::Error with the text shown to the user:
//   The file "%s" is invalid           not a compound file (too short, wrong signature)
//   The file "%s" is damaged: ...      broken allocation structures or sector chains; for
//                                      a stream the file does not wholly hold, opening
//                                      that stream raises it (see compound_file_reader.h)
//   Can't read file "%s": ...          the elements of a storage cannot be listed (its own
//                                      name, the file name for the root); since opening
//                                      checks every storage, opening raises it
//   %s could not be found.             no stream or storage of that name
//   %s already exists.                 creating an element or a file whose name is taken
//   Can't open file "%s". <reason>     a file that cannot be read (missing, no permission)
//   Can't write file "%s". <reason>    the created file cannot be written
//
// Used on one thread at a time. Streams share the storage's state and may outlive the
// storage object; after Release() they fail with an error instead of touching freed memory.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "compound_file/byte_image.h"

namespace ln40 {

namespace detail {
struct Ole2State;
}

enum class TOle2Mode { Read, Create };

enum class TOle2ElementType { Storage, Stream, Other };

// One element of a storage as listed.
struct TOle2Element {
  std::string Name;          // Windows-1252; characters outside the code page become '?'
  std::u16string WideName;   // the name exactly as stored
  TOle2ElementType Type = TOle2ElementType::Other;
  std::uint64_t Size = 0;    // bytes of a stream, 0 for the other kinds
  // False for a stream whose data the file does not hold (it lies in the part of a mini
  // stream past the end of the file); opening it fails with the damage message.
  bool Readable = true;
};

enum class TSeekOrigin { Begin, Current, End };

class TOle2Stream {
 public:
  TOle2Stream(TOle2Stream&&) noexcept;
  TOle2Stream& operator=(TOle2Stream&&) noexcept;
  ~TOle2Stream();

  // Reads up to `count` bytes at the position and moves past them; returns the count read,
  // less than asked only at the end of the stream (0 at once for a count of 0).
  std::size_t Read(void* buffer, std::size_t count);

  // Writes `count` bytes at the position (create mode only; a gap left by a seek beyond
  // the end is filled with zeros) and moves past them. Returns `count`.
  std::size_t Write(const void* buffer, std::size_t count);
  // Write of a whole block; into a stream nothing has been written to yet the bytes go
  // without being copied.
  std::size_t Write(std::vector<std::uint8_t> bytes);

  // Moves the position; returns the new position. A position before the start fails.
  std::uint64_t Seek(std::int64_t offset, TSeekOrigin origin);

  std::uint64_t Size() const;
  std::uint64_t Position() const { return position_; }

  // The rest of the stream from the position (the whole stream for a new position).
  std::vector<std::uint8_t> ReadAll();
  // The same bytes without a copy, when the stream is read from a file or image and lies
  // there in one run; empty otherwise (read them with ReadAll then). Valid until the
  // storage is released.
  std::span<const std::uint8_t> View() const;

  const std::string& Name() const { return name_; }

 private:
  friend class TOle2Storage;
  TOle2Stream(std::shared_ptr<detail::Ole2State> state, std::uint32_t id, std::string name);
  void CheckOpen() const;

  std::shared_ptr<detail::Ole2State> state_;
  std::uint32_t id_ = 0;
  std::string name_;
  std::uint64_t position_ = 0;
};

class TOle2Storage {
 public:
  // Opens a file for reading. `file_name` is Windows-1252 (handed to the system as UTF-8)
  // and is quoted as given in messages.
  static TOle2Storage OpenFile(const std::string& file_name);

  // Opens an image held in memory for reading; the bytes are copied (or taken over).
  // `display_name` stands for the file name in messages.
  static TOle2Storage OpenMemory(std::span<const std::uint8_t> image,
                                 const std::string& display_name = "(memory)");
  static TOle2Storage OpenMemory(std::vector<std::uint8_t>&& image,
                                 const std::string& display_name = "(memory)");

  // Creates a new file, which must not exist yet ("%s already exists."). The file appears
  // under its name only when Release() has written it completely.
  static TOle2Storage CreateFile(const std::string& file_name);

  // Creates an image in memory; Release() replaces the contents of `target` (reusing its
  // capacity), which must live until then.
  static TOle2Storage CreateMemory(std::vector<std::uint8_t>& target);
  // Creates an image held in pieces: Release() replaces the contents of `pieces` with the
  // file's bytes in order, the large streams as views of their own buffers, so that a large
  // file is never copied whole. The pieces last as long as the storage.
  static TOle2Storage CreatePieces(std::vector<std::span<const std::uint8_t>>& pieces);

  TOle2Storage(TOle2Storage&&) noexcept;
  TOle2Storage& operator=(TOle2Storage&&) noexcept;
  ~TOle2Storage();

  TOle2Mode Mode() const;

  // Read mode: opens the stream of that name in the current storage ("%s could not be
  // found." when there is none). Create mode: creates it, empty.
  TOle2Stream OpenStream(const std::string& name);
  TOle2Stream OpenStream(const std::u16string& name);

  // Read mode: makes the named sub-storage of the current storage current. Create mode:
  // creates it first. LeaveStorage returns to the storage it was entered from.
  void EnterStorage(const std::string& name);
  void EnterStorage(const std::u16string& name);
  void LeaveStorage();
  bool AtRoot() const;

  // The elements of the current storage, in enumeration order (see above).
  std::vector<TOle2Element> ListElements() const;

  // The current storage's name: the file name (or display name) for the root.
  std::string CurrentStorageName() const;

  // Create mode: writes the container to its target. Read mode: frees the image. Either
  // way the storage and its streams are closed afterwards; a second call does nothing.
  void Release();

 private:
  explicit TOle2Storage(std::shared_ptr<detail::Ole2State> state);
  static TOle2Storage OpenImage(TByteImage image, const std::string& display_name);
  void CheckOpen() const;
  std::uint32_t Current() const;
  TOle2Stream OpenStreamNamed(const std::u16string& name, const std::string& shown);
  void EnterStorageNamed(const std::u16string& name, const std::string& shown);

  std::shared_ptr<detail::Ole2State> state_;
  std::vector<std::uint32_t> entered_;  // the storages entered below the root
};

}  // namespace ln40
