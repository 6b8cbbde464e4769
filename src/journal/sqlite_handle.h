#pragma once
// Owning wrappers of an SQLite connection and its prepared statements, and the failure they
// throw. They keep the journal's code free of result-code checks and make sure every
// statement is reset after use, so no read transaction stays open behind the writer's back.
// Not thread-safe: a connection and its statements are used from one thread.
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace ln40::sqlite {

// A failed SQLite call: SQLite's extended result code, the errno of the system call behind
// it (0 when there was none) and SQLite's message.
class Failure : public std::runtime_error {
 public:
  Failure(int code, int system_error, const std::string& message)
      : std::runtime_error(message), code_(code), system_error_(system_error) {}
  // The failure `code` just returned by a call on `db` (which may be null).
  static Failure Of(sqlite3* db, int code);

  int code() const { return code_; }
  int primary_code() const { return code_ & 0xff; }
  int system_error() const { return system_error_; }

 private:
  int code_;
  int system_error_;
};

struct ConnectionCloser {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

// Opens `path` (UTF-8) with SQLITE_OPEN_* `flags`, extended result codes switched on.
Connection Open(const std::string& path, int flags);

// Runs SQL that returns no rows (one or more statements).
void Execute(sqlite3* db, const char* sql);

// A prepared statement, kept for reuse. Parameters are numbered from 1, columns from 0.
class Statement {
 public:
  Statement() = default;
  Statement(sqlite3* db, std::string_view sql);
  Statement(Statement&& other) noexcept : statement_(other.statement_) { other.statement_ = nullptr; }
  Statement& operator=(Statement&& other) noexcept;
  ~Statement() { sqlite3_finalize(statement_); }

  void BindInt64(int index, std::int64_t value);
  void BindReal(int index, double value);
  // Any bytes, kept exactly (an empty string is an empty blob, not NULL).
  void BindBlob(int index, std::string_view bytes);
  void BindText(int index, std::string_view text);  // UTF-8 (ASCII names)
  void BindNull(int index);

  // Runs a statement that returns no rows, then resets it for the next use.
  void Run();
  // Calls row() for each result row; the statement is reset afterwards in every case.
  template <class RowFunction>
  void ForEachRow(RowFunction&& row) {
    Resetter resetter{statement_};
    while (Step()) row();
  }

  std::int64_t Int64(int column) const { return sqlite3_column_int64(statement_, column); }
  double Real(int column) const { return sqlite3_column_double(statement_, column); }
  bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
  std::string Blob(int column) const;
  std::string Text(int column) const;

 private:
  struct Resetter {
    sqlite3_stmt* statement;
    ~Resetter() { sqlite3_reset(statement); }
  };
  // True when a row is ready; false when done. Throws Failure after resetting.
  bool Step();
  void Check(int code) const;

  sqlite3_stmt* statement_ = nullptr;
};

}  // namespace ln40::sqlite
