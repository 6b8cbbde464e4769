#include "compound_file/ole2_storage.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <system_error>
#include <utility>

#include "text/codepage.h"
#include "text/regular_file.h"
#include "text/error.h"
#include "compound_file/compound_file_format.h"
#include "compound_file_reader.h"
#include "compound_file_writer.h"

namespace ln40 {

namespace detail {

// What a storage and its streams share.
struct Ole2State {
  TOle2Mode mode = TOle2Mode::Read;
  std::string name;  // the file name as given, or the display name of an image
  bool released = false;

  // Read mode.
  std::unique_ptr<cfb::CompoundFileReader> reader;

  // Create mode: the element tree (element 0 is the root) and where it goes.
  std::vector<cfb::NewElement> elements;
  std::vector<std::uint8_t>* target = nullptr;
  std::vector<std::span<const std::uint8_t>>* pieces = nullptr;
  std::vector<std::uint8_t> head;  // of an image in pieces: what precedes the large streams
  std::string native_target;  // UTF-8 path of a file target
  std::string temporary;      // UTF-8 path of the file being written
  int temporary_fd = -1;

  // Gives up a file not yet written: nothing appears under the target name.
  void DiscardTemporary() {
    if (temporary_fd >= 0) ::close(temporary_fd);
    temporary_fd = -1;
    if (!temporary.empty()) ::unlink(temporary.c_str());
    temporary.clear();
  }

  ~Ole2State() { DiscardTemporary(); }
};

}  // namespace detail

namespace {

using detail::Ole2State;

constexpr std::uint64_t kMaxStreamSize = 0x80000000ull;

std::string SystemReason(int error) { return Utf8ToCp1252(std::strerror(error)); }

[[noreturn]] void NotFound(const std::string& name) { throw Error(name + " could not be found."); }

// Reads `count` bytes at the file position, fewer only at the end of the file.
std::size_t ReadUpTo(int fd, std::uint8_t* out, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t got = ::read(fd, out + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw std::system_error(errno, std::generic_category());
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

// The whole file, after a look at its first bytes: another kind of file, however large,
// is refused before anything more is read.
[[noreturn]] void CantOpen(const std::string& file_name, int error) {
  throw Error("Can't open file \"" + file_name + "\". " + SystemReason(error));
}

TByteImage ReadWholeFile(const std::string& file_name) {
  const std::string native = Cp1252ToUtf8(file_name);
  const int fd = OpenForReading(native);
  if (fd < 0) CantOpen(file_name, errno);
  struct FileCloser {
    int fd;
    ~FileCloser() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) CantOpen(file_name, errno);
  if (S_ISDIR(info.st_mode)) CantOpen(file_name, EISDIR);
  if (!S_ISREG(info.st_mode)) {
    throw Error("Can't open file \"" + file_name + "\". " + NotARegularFileText(info.st_mode) + ".");
  }
  try {
    std::uint8_t header[cfb::kHeaderSize];
    const std::size_t got = ReadUpTo(fd, header, sizeof header);
    if (got < sizeof header || !std::equal(std::begin(cfb::kSignature), std::end(cfb::kSignature), header)) {
      throw Error("The file \"" + file_name + "\" is invalid");
    }
    const auto size = std::max<std::uint64_t>(static_cast<std::uint64_t>(info.st_size), sizeof header);
    if (size > std::numeric_limits<std::size_t>::max()) CantOpen(file_name, EFBIG);
    TByteImage bytes = TByteImage::Zeroed(static_cast<std::size_t>(size));
    std::memcpy(bytes.data(), header, sizeof header);
    bytes.Resize(sizeof header + ReadUpTo(fd, bytes.data() + sizeof header, bytes.size() - sizeof header));
    return bytes;
  } catch (const std::system_error& error) {
    CantOpen(file_name, error.code().value());
  }
}

std::string FolderOf(const std::string& native) {
  const std::size_t slash = native.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

// Puts the written file under the target name without replacing a file of that name.
int RenameWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without that flag: a hard link fails on an existing name as well.
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP) return errno;
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) return EEXIST;
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Writes the compound file into the temporary file, the large streams straight from their
// buffers, and puts it under the target name.
void WriteElementsToFile(Ole2State& state) {
  auto fail = [&](int error) {
    state.DiscardTemporary();
    if (error == EEXIST) throw Error(state.name + " already exists.");
    throw Error("Can't write file \"" + state.name + "\". " + SystemReason(error));
  };
  auto write_all = [&](std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t written = ::write(state.temporary_fd, bytes.data() + done, bytes.size() - done);
      if (written < 0 && errno == EINTR) continue;
      if (written <= 0) fail(written < 0 ? errno : EIO);
      done += static_cast<std::size_t>(written);
    }
  };
  std::vector<std::uint8_t> head;
  cfb::WriteCompoundFile(state.elements, head, [&](std::span<const std::uint8_t> bytes) {
    if (!head.empty()) {
      write_all(head);
      head.clear();
    }
    write_all(bytes);
  });
  write_all(head);  // a file without large streams is all head
  if (::fchmod(state.temporary_fd, 0644) != 0 || ::fsync(state.temporary_fd) != 0) fail(errno);
  const int fd = state.temporary_fd;
  state.temporary_fd = -1;
  if (::close(fd) != 0) fail(errno);
  if (const int error = RenameWithoutReplacing(state.temporary, state.native_target)) fail(error);
  state.temporary.clear();
  // Make the new name itself durable.
  const int folder = ::open(FolderOf(state.native_target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

TOle2ElementType TypeOf(std::uint8_t type) {
  if (type == cfb::kTypeStream) return TOle2ElementType::Stream;
  if (type == cfb::kTypeStorage) return TOle2ElementType::Storage;
  return TOle2ElementType::Other;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TOle2Stream

TOle2Stream::TOle2Stream(std::shared_ptr<detail::Ole2State> state, std::uint32_t id, std::string name)
    : state_(std::move(state)), id_(id), name_(std::move(name)) {}
TOle2Stream::TOle2Stream(TOle2Stream&&) noexcept = default;
TOle2Stream& TOle2Stream::operator=(TOle2Stream&&) noexcept = default;
TOle2Stream::~TOle2Stream() = default;

void TOle2Stream::CheckOpen() const {
  if (!state_ || state_->released) throw Error("The stream \"" + name_ + "\" is closed");
}

std::uint64_t TOle2Stream::Size() const {
  CheckOpen();
  if (state_->mode == TOle2Mode::Read) return state_->reader->Node(id_).size;
  return state_->elements[id_].data.size();
}

std::size_t TOle2Stream::Read(void* buffer, std::size_t count) {
  CheckOpen();
  if (count == 0) return 0;
  std::size_t got = 0;
  if (state_->mode == TOle2Mode::Read) {
    got = state_->reader->ReadStream(state_->reader->Node(id_), position_, buffer, count);
  } else {
    got = state_->elements[id_].data.Read(position_, static_cast<std::uint8_t*>(buffer), count);
  }
  position_ += got;
  return got;
}

std::size_t TOle2Stream::Write(const void* buffer, std::size_t count) {
  CheckOpen();
  if (state_->mode == TOle2Mode::Read) {
    throw Error("Can't write to stream \"" + name_ + "\": the file \"" + state_->name + "\" is open for reading");
  }
  if (count == 0) return 0;
  // [MS-CFB] 2.6.1: a stream of a version 3 file holds at most 0x80000000 bytes.
  if (position_ > kMaxStreamSize || count > kMaxStreamSize - position_) {
    throw Error("The stream \"" + name_ + "\" is too large for a compound file");
  }
  state_->elements[id_].data.Write(position_, static_cast<const std::uint8_t*>(buffer), count);
  position_ += count;
  return count;
}

std::size_t TOle2Stream::Write(std::vector<std::uint8_t> bytes) {
  CheckOpen();
  if (state_->mode == TOle2Mode::Read || position_ != 0 || !state_->elements[id_].data.empty() ||
      bytes.size() > kMaxStreamSize) {
    return Write(bytes.data(), bytes.size());  // the general case, with its checks
  }
  const std::size_t count = bytes.size();
  state_->elements[id_].data.Adopt(std::move(bytes));
  position_ = count;
  return count;
}

std::uint64_t TOle2Stream::Seek(std::int64_t offset, TSeekOrigin origin) {
  CheckOpen();
  std::uint64_t base = 0;
  if (origin == TSeekOrigin::Current) base = position_;
  if (origin == TSeekOrigin::End) base = Size();
  const bool before_start = offset < 0 && static_cast<std::uint64_t>(-(offset + 1)) + 1 > base;
  if (before_start) throw Error("Can't seek before the start of stream \"" + name_ + "\"");
  position_ = offset < 0 ? base - (static_cast<std::uint64_t>(-(offset + 1)) + 1) : base + static_cast<std::uint64_t>(offset);
  return position_;
}

std::vector<std::uint8_t> TOle2Stream::ReadAll() {
  const std::uint64_t size = Size();
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(position_ < size ? size - position_ : 0));
  bytes.resize(Read(bytes.data(), bytes.size()));
  return bytes;
}

std::span<const std::uint8_t> TOle2Stream::View() const {
  CheckOpen();
  if (state_->mode != TOle2Mode::Read) return {};
  return state_->reader->ContiguousStream(state_->reader->Node(id_), position_);
}

// ---------------------------------------------------------------------------------------
// TOle2Storage

TOle2Storage::TOle2Storage(std::shared_ptr<detail::Ole2State> state) : state_(std::move(state)) {}
TOle2Storage::TOle2Storage(TOle2Storage&&) noexcept = default;

TOle2Storage& TOle2Storage::operator=(TOle2Storage&& other) noexcept {
  if (this != &other) {
    if (state_ && !state_->released) {
      state_->released = true;
      state_->DiscardTemporary();
    }
    state_ = std::move(other.state_);
    entered_ = std::move(other.entered_);
  }
  return *this;
}

TOle2Storage::~TOle2Storage() {
  if (state_ && !state_->released) {
    state_->released = true;
    state_->DiscardTemporary();
  }
}

TOle2Storage TOle2Storage::OpenFile(const std::string& file_name) {
  return OpenImage(ReadWholeFile(file_name), file_name);
}

TOle2Storage TOle2Storage::OpenMemory(std::span<const std::uint8_t> image, const std::string& display_name) {
  return OpenMemory(std::vector<std::uint8_t>(image.begin(), image.end()), display_name);
}

TOle2Storage TOle2Storage::OpenMemory(std::vector<std::uint8_t>&& image, const std::string& display_name) {
  return OpenImage(TByteImage(std::move(image)), display_name);
}

TOle2Storage TOle2Storage::OpenImage(TByteImage image, const std::string& display_name) {
  auto state = std::make_shared<Ole2State>();
  state->mode = TOle2Mode::Read;
  state->name = display_name;
  state->reader = std::make_unique<cfb::CompoundFileReader>(std::move(image), display_name);
  return TOle2Storage(std::move(state));
}

TOle2Storage TOle2Storage::CreateFile(const std::string& file_name) {
  auto state = std::make_shared<Ole2State>();
  state->mode = TOle2Mode::Create;
  state->name = file_name;
  state->native_target = Cp1252ToUtf8(file_name);
  state->elements.emplace_back().is_storage = true;
  struct stat info {};
  if (::lstat(state->native_target.c_str(), &info) == 0) throw Error(file_name + " already exists.");
  // The temporary file lives in the target's folder so that the final rename stays on one
  // file system; creating it now finds a folder that cannot be written before any work.
  const std::size_t slash = state->native_target.rfind('/');
  const std::string base = slash == std::string::npos ? state->native_target : state->native_target.substr(slash + 1);
  std::string pattern = FolderOf(state->native_target) + "/." + base.substr(0, 200) + ".XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) throw Error("Can't write file \"" + file_name + "\". " + SystemReason(errno));
  state->temporary_fd = fd;
  state->temporary = pattern;
  return TOle2Storage(std::move(state));
}

TOle2Storage TOle2Storage::CreateMemory(std::vector<std::uint8_t>& target) {
  auto state = std::make_shared<Ole2State>();
  state->mode = TOle2Mode::Create;
  state->name = "(memory)";
  state->target = &target;
  state->elements.emplace_back().is_storage = true;
  return TOle2Storage(std::move(state));
}

TOle2Storage TOle2Storage::CreatePieces(std::vector<std::span<const std::uint8_t>>& pieces) {
  auto state = std::make_shared<Ole2State>();
  state->mode = TOle2Mode::Create;
  state->name = "(memory)";
  state->pieces = &pieces;
  state->elements.emplace_back().is_storage = true;
  return TOle2Storage(std::move(state));
}

void TOle2Storage::CheckOpen() const {
  if (!state_ || state_->released) {
    throw Error("The compound file \"" + (state_ ? state_->name : std::string()) + "\" is closed");
  }
}

TOle2Mode TOle2Storage::Mode() const {
  CheckOpen();
  return state_->mode;
}

std::uint32_t TOle2Storage::Current() const { return entered_.empty() ? 0 : entered_.back(); }

bool TOle2Storage::AtRoot() const { return entered_.empty(); }

TOle2Stream TOle2Storage::OpenStream(const std::string& name) { return OpenStreamNamed(Cp1252ToUtf16(name), name); }

TOle2Stream TOle2Storage::OpenStream(const std::u16string& name) {
  return OpenStreamNamed(name, Utf16ToCp1252(name));
}

void TOle2Storage::EnterStorage(const std::string& name) { EnterStorageNamed(Cp1252ToUtf16(name), name); }

void TOle2Storage::EnterStorage(const std::u16string& name) { EnterStorageNamed(name, Utf16ToCp1252(name)); }

namespace {

// Create mode: adds an element to `parent` after checking its name.
std::uint32_t AddElement(Ole2State& state, std::uint32_t parent, const std::u16string& name, const std::string& shown,
                         bool is_storage) {
  if (!cfb::IsValidEntryName(name)) throw Error("The name \"" + shown + "\" is not valid in a compound file");
  for (std::uint32_t sibling : state.elements[parent].children) {
    if (cfb::CompareEntryNames(state.elements[sibling].name, name) == 0) throw Error(shown + " already exists.");
  }
  const auto id = static_cast<std::uint32_t>(state.elements.size());
  cfb::NewElement& element = state.elements.emplace_back();
  element.name = name;
  element.is_storage = is_storage;
  state.elements[parent].children.push_back(id);
  return id;
}

}  // namespace

TOle2Stream TOle2Storage::OpenStreamNamed(const std::u16string& name, const std::string& shown) {
  CheckOpen();
  if (state_->mode == TOle2Mode::Create) {
    return TOle2Stream(state_, AddElement(*state_, Current(), name, shown, false), shown);
  }
  const std::uint32_t id = state_->reader->FindChild(Current(), name);
  if (id == cfb::kNoStream || state_->reader->Node(id).type != cfb::kTypeStream) NotFound(shown);
  if (const std::string& unreadable = state_->reader->Node(id).unreadable; !unreadable.empty()) throw Error(unreadable);
  return TOle2Stream(state_, id, shown);
}

void TOle2Storage::EnterStorageNamed(const std::u16string& name, const std::string& shown) {
  CheckOpen();
  if (state_->mode == TOle2Mode::Create) {
    entered_.push_back(AddElement(*state_, Current(), name, shown, true));
    return;
  }
  const std::uint32_t id = state_->reader->FindChild(Current(), name);
  if (id == cfb::kNoStream || state_->reader->Node(id).type != cfb::kTypeStorage) NotFound(shown);
  entered_.push_back(id);
}

void TOle2Storage::LeaveStorage() {
  CheckOpen();
  if (entered_.empty()) throw Error("The compound file \"" + state_->name + "\" is at its root storage");
  entered_.pop_back();
}

std::vector<TOle2Element> TOle2Storage::ListElements() const {
  CheckOpen();
  std::vector<TOle2Element> list;
  auto add = [&list](const std::u16string& name, TOle2ElementType type, std::uint64_t size) -> TOle2Element& {
    TOle2Element& element = list.emplace_back();
    element.Name = Utf16ToCp1252(name);
    element.WideName = name;
    element.Type = type;
    element.Size = type == TOle2ElementType::Stream ? size : 0;
    return element;
  };
  if (state_->mode == TOle2Mode::Read) {
    const cfb::CompoundFileReader& reader = *state_->reader;
    for (std::uint32_t id : reader.Node(Current()).children) {
      const cfb::DirectoryNode& node = reader.Node(id);
      add(node.name, TypeOf(node.type), node.size).Readable = node.unreadable.empty();
    }
    return list;
  }
  std::vector<std::uint32_t> order = state_->elements[Current()].children;
  std::sort(order.begin(), order.end(), [this](std::uint32_t a, std::uint32_t b) {
    return cfb::CompareEntryNames(state_->elements[a].name, state_->elements[b].name) < 0;
  });
  for (std::uint32_t id : order) {
    const cfb::NewElement& element = state_->elements[id];
    add(element.name, element.is_storage ? TOle2ElementType::Storage : TOle2ElementType::Stream, element.data.size());
  }
  return list;
}

std::string TOle2Storage::CurrentStorageName() const {
  CheckOpen();
  if (entered_.empty()) return state_->name;
  if (state_->mode == TOle2Mode::Read) return Utf16ToCp1252(state_->reader->Node(Current()).name);
  return Utf16ToCp1252(state_->elements[Current()].name);
}

void TOle2Storage::Release() {
  if (!state_ || state_->released) return;
  Ole2State& state = *state_;
  state.released = true;
  entered_.clear();
  if (state.mode == TOle2Mode::Read) {
    state.reader.reset();
    return;
  }
  try {
    if (state.target) {
      cfb::WriteCompoundFile(state.elements, *state.target);
      state.elements.clear();
      return;
    }
    if (state.pieces) {
      // The elements stay: the pieces of the large streams are views of their buffers.
      state.pieces->clear();
      state.pieces->emplace_back();  // the head, known once the large streams begin
      cfb::WriteCompoundFile(state.elements, state.head,
                             [&](std::span<const std::uint8_t> bytes) { state.pieces->push_back(bytes); });
      state.pieces->front() = state.head;
      return;
    }
    WriteElementsToFile(state);
    state.elements.clear();
  } catch (...) {
    state.elements.clear();
    state.DiscardTemporary();
    throw;
  }
}

}  // namespace ln40
