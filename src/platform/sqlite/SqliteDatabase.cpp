#include "platform/sqlite/SqliteDatabase.h"

#include <cstring>

namespace vornak::platform::sqlite {
namespace {

enum ControlSlot : size_t {
    kBeginImmediate,
    kCommit,
    kRollback,
    kSavepoint,
    kRelease,
    kRollbackTo,
};
static_assert(kRollbackTo < Connection::kFirstFreeSlot);

}  // namespace

Connection::Connection(sqlite3* db, bool writable) : db_(db), writable_(writable) {}

std::string Connection::failureText(sqlite3* db, int rc) {
    std::string text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    // The system's error only where a file operation failed: after a lock
    // that was refused it would be a stale EAGAIN.
    const int kind = rc & 0xFF;
    const int system = db ? sqlite3_system_errno(db) : 0;
    if (system != 0 && (kind == SQLITE_IOERR || kind == SQLITE_FULL || kind == SQLITE_CANTOPEN))
        text += std::string(": ") + std::strerror(system);
    return text;
}

Connection::~Connection() {
    for (sqlite3_stmt* stmt : statements_)
        sqlite3_finalize(stmt);
    sqlite3_close_v2(db_);
}

sqlite3_stmt* Connection::statement(size_t slot, const char* sql, bool textVaries) {
    if (slot >= statements_.size())
        statements_.resize(slot + 1, nullptr);
    if (textVaries && statements_[slot] && std::strcmp(sqlite3_sql(statements_[slot]), sql) != 0) {
        sqlite3_finalize(statements_[slot]);
        statements_[slot] = nullptr;
    }
    if (!statements_[slot]) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
            SQLITE_OK) {
            sqlite3_finalize(stmt);
            return nullptr;
        }
        statements_[slot] = stmt;
    }
    return statements_[slot];
}

int Connection::exec(const char* sql) {
    return sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
}

Query::Query(Connection& connection, size_t slot, const char* sql, bool textVaries)
    : connection_(connection), stmt_(connection.statement(slot, sql, textVaries)) {
    prepareResult_ = stmt_ ? SQLITE_OK : sqlite3_extended_errcode(connection.handle());
    if (prepareResult_ == SQLITE_OK && stmt_ == nullptr)
        prepareResult_ = SQLITE_ERROR;
}

Query::~Query() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

void Query::bind(int index, int64_t value) {
    if (stmt_)
        sqlite3_bind_int64(stmt_, index, value);
}

void Query::bindText(int index, std::string_view text) {
    // SQLite copies the text: callers bind temporaries such as foldName(name),
    // which are gone before step() reads them.
    if (stmt_)
        sqlite3_bind_text64(stmt_, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void Query::bindBlob(int index, std::string_view bytes) {
    // A null pointer would bind NULL instead of an empty blob.
    static const char kEmpty = 0;
    if (stmt_)
        sqlite3_bind_blob64(stmt_, index, bytes.empty() ? &kEmpty : bytes.data(), bytes.size(),
                            SQLITE_TRANSIENT);
}

int Query::step() {
    if (!stmt_)
        return prepareResult_;
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW || rc == SQLITE_DONE)
        return rc;
    rc = sqlite3_extended_errcode(connection_.handle());
    sqlite3_reset(stmt_);
    return rc == SQLITE_OK ? SQLITE_ERROR : rc;
}

std::string Query::columnText(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!text)
        return {};
    return std::string(text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::string Query::columnBlob(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    if (!bytes)
        return {};
    return std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::string_view Query::columnTextView(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
    if (!text)
        return {};
    return {text, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

std::string_view Query::columnBlobView(int column) const {
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
    if (!bytes)
        return {};
    return {bytes, static_cast<size_t>(sqlite3_column_bytes(stmt_, column))};
}

Transaction::Transaction(Connection& connection)
    : connection_(connection), nested_(connection.inTransaction()) {
    begin_ = nested_ ? run(kSavepoint, "SAVEPOINT op") : run(kBeginImmediate, "BEGIN IMMEDIATE");
    if (begin_ != SQLITE_OK)
        finished_ = true;
}

Transaction::~Transaction() {
    if (finished_)
        return;
    if (nested_) {
        // A failed statement may already have ended the caller's transaction.
        if (connection_.inTransaction()) {
            run(kRollbackTo, "ROLLBACK TO op");
            run(kRelease, "RELEASE op");
        }
    } else if (connection_.inTransaction()) {
        run(kRollback, "ROLLBACK");
    }
}

int Transaction::commit() {
    if (finished_)
        return begin_ == SQLITE_OK ? SQLITE_MISUSE : begin_;
    int rc = nested_ ? run(kRelease, "RELEASE op") : run(kCommit, "COMMIT");
    if (rc == SQLITE_OK)
        finished_ = true;
    return rc;
}

int Transaction::run(size_t slot, const char* sql) {
    Query q(connection_, slot, sql);
    int rc = q.step();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

}  // namespace vornak::platform::sqlite
