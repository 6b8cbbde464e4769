#include "journal/sqlite_handle.h"

namespace ln40::sqlite {

namespace {

// The errno of the last failed system call on the file, as the unix VFS keeps it; 0 when none.
int LastErrnoOf(sqlite3_file* file) {
  int error_number = 0;
  if (file == nullptr || file->pMethods == nullptr) return 0;
  if (file->pMethods->xFileControl(file, SQLITE_FCNTL_LAST_ERRNO, &error_number) != SQLITE_OK) return 0;
  return error_number;
}

// sqlite3_system_errno() is left at 0 by a failed write; the VFS still knows the errno of the
// file it failed on: the write-ahead log (or rollback journal), else the database file.
int SystemErrorOfFiles(sqlite3* db) {
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_JOURNAL_POINTER, &file) == SQLITE_OK) {
    if (const int error_number = LastErrnoOf(file); error_number != 0) return error_number;
  }
  file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK) return LastErrnoOf(file);
  return 0;
}

}  // namespace

Failure Failure::Of(sqlite3* db, int code) {
  if (db == nullptr) return Failure(code, 0, sqlite3_errstr(code));
  int system_error = sqlite3_system_errno(db);
  if (system_error == 0 && (code & 0xff) == SQLITE_IOERR) system_error = SystemErrorOfFiles(db);
  return Failure(code, system_error, sqlite3_errmsg(db));
}

Connection Open(const std::string& path, int flags) {
  sqlite3* raw = nullptr;
  const int code = sqlite3_open_v2(path.c_str(), &raw, flags, nullptr);
  Connection db(raw);
  if (code != SQLITE_OK) throw Failure::Of(raw, code);
  sqlite3_extended_result_codes(raw, 1);
  return db;
}

void Execute(sqlite3* db, const char* sql) {
  const int code = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (code != SQLITE_OK) throw Failure::Of(db, sqlite3_extended_errcode(db));
}

Statement::Statement(sqlite3* db, std::string_view sql) {
  const int code =
      sqlite3_prepare_v3(db, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement_, nullptr);
  if (code != SQLITE_OK) throw Failure::Of(db, code);
}

Statement& Statement::operator=(Statement&& other) noexcept {
  if (this != &other) {
    sqlite3_finalize(statement_);
    statement_ = other.statement_;
    other.statement_ = nullptr;
  }
  return *this;
}

void Statement::Check(int code) const {
  if (code != SQLITE_OK) throw Failure::Of(sqlite3_db_handle(statement_), code);
}

void Statement::BindInt64(int index, std::int64_t value) { Check(sqlite3_bind_int64(statement_, index, value)); }

void Statement::BindReal(int index, double value) { Check(sqlite3_bind_double(statement_, index, value)); }

void Statement::BindBlob(int index, std::string_view bytes) {
  // A null pointer would bind NULL; the view of an empty string may carry one.
  static const char kNothing = 0;
  Check(
      sqlite3_bind_blob64(statement_, index, bytes.empty() ? &kNothing : bytes.data(), bytes.size(), SQLITE_TRANSIENT));
}

void Statement::BindText(int index, std::string_view text) {
  Check(sqlite3_bind_text64(statement_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
}

void Statement::BindNull(int index) { Check(sqlite3_bind_null(statement_, index)); }

void Statement::Run() {
  Resetter resetter{statement_};
  while (Step()) {
  }
}

bool Statement::Step() {
  const int code = sqlite3_step(statement_);
  if (code == SQLITE_ROW) return true;
  if (code == SQLITE_DONE) return false;
  sqlite3* db = sqlite3_db_handle(statement_);
  Failure failure = Failure::Of(db, sqlite3_extended_errcode(db));
  sqlite3_reset(statement_);
  throw failure;
}

std::string Statement::Blob(int column) const {
  const void* data = sqlite3_column_blob(statement_, column);
  const int size = sqlite3_column_bytes(statement_, column);
  if (data == nullptr || size <= 0) return {};
  return std::string(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

std::string Statement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(statement_, column);
  if (text == nullptr) return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)));
}

}  // namespace ln40::sqlite
