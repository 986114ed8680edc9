// RAII over one SQLite connection of the registry store: statements prepared once
// per connection and reused, and a transaction guard that nests as a savepoint.
#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::platform::sqlite {

class Connection {
  public:
    // Takes ownership of an open handle. `writable`: whether the file may be
    // changed through it (false for a store file the user cannot write).
    Connection(sqlite3* db, bool writable);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    sqlite3* handle() const { return db_; }
    bool writable() const { return writable_; }
    // Why a file the user may write was opened for reading only (it could not
    // be opened otherwise, as on a full disk); empty for a read-only file.
    const std::string& writeFailure() const { return writeFailure_; }
    void setWriteFailure(std::string reason) { writeFailure_ = std::move(reason); }
    bool inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }
    int64_t changes() const { return sqlite3_changes64(db_); }
    // SQLite's words for the last failure, with the system's when a file
    // operation failed ("disk I/O error: No space left on device").
    std::string lastError() const { return failureText(db_, sqlite3_extended_errcode(db_)); }
    static std::string failureText(sqlite3* db, int rc);

    // The statement cached in `slot`, prepared from `sql` on first use; nullptr
    // when it cannot be prepared. Slots below kFirstFreeSlot belong to this class.
    // A slot for text built at run time (`textVaries`) is prepared again when
    // its text changes.
    sqlite3_stmt* statement(size_t slot, const char* sql, bool textVaries = false);
    // Runs statements without results (pragmas, schema); returns the result code.
    int exec(const char* sql);

    static constexpr size_t kFirstFreeSlot = 8;

    // A read transaction left open across calls, so that a run of reads pays
    // for one transaction start instead of one each.
    struct ReadSnapshot {
        bool open = false;
        uint64_t commitsSeen = 0;  // the owner's change count when it began
        std::chrono::steady_clock::time_point since;
    };
    ReadSnapshot readSnapshot;

  private:
    friend class Transaction;
    sqlite3* db_;
    bool writable_;
    std::string writeFailure_;
    std::vector<sqlite3_stmt*> statements_;
};

// One use of a cached statement. It is reset when the use ends, so the next use
// starts clean and no read transaction stays open behind it.
class Query {
  public:
    Query(Connection& connection, size_t slot, const char* sql, bool textVaries = false);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // The result code of preparing: SQLITE_OK, or why the statement cannot run.
    int prepareResult() const { return prepareResult_; }

    void bind(int index, int64_t value);
    void bindText(int index, std::string_view text);
    void bindBlob(int index, std::string_view bytes);

    // SQLITE_ROW, SQLITE_DONE or the extended error code.
    int step();

    int64_t columnInt(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool columnIsNull(int column) const {
        return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
    }
    std::string columnText(int column) const;
    std::string columnBlob(int column) const;
    // The same without a copy, valid until the next step or the end of the use.
    std::string_view columnTextView(int column) const;
    std::string_view columnBlobView(int column) const;

  private:
    Connection& connection_;
    sqlite3_stmt* stmt_;
    int prepareResult_;
};

// Several statements made all-or-nothing, rolled back unless committed.
// Outside a transaction it takes the write lock at once (BEGIN IMMEDIATE): a
// deferred transaction that has read first can fail to upgrade with SQLITE_BUSY,
// which no busy timeout cures. Inside one (a caller's group of changes) it is a
// savepoint, so a failed operation undoes only its own changes and commits nothing.
class Transaction {
  public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // SQLITE_OK when the transaction could be started.
    int beginResult() const { return begin_; }
    int commit();

  private:
    int run(size_t slot, const char* sql);

    Connection& connection_;
    bool nested_;
    int begin_;
    bool finished_ = false;
};

// Whether a result code means the file may not be written.
inline bool isReadOnlyError(int rc) {
    return (rc & 0xFF) == SQLITE_READONLY;
}

}  // namespace vornak::platform::sqlite
