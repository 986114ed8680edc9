#include "platform/sqlite/RegistryStoreFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace vornak::platform::posix {
namespace {

// Marks a file as ours in its header, so a database of another program is
// recognised and never taken over.
constexpr int64_t kApplicationId = 0x566E6B52;  // "VnkR"
constexpr int64_t kSchemaVersion = 1;
constexpr size_t kMaxIdleConnections = 16;
constexpr size_t kBeginReadSlot = sqlite::Connection::kFirstFreeSlot;
constexpr size_t kEndReadSlot = kBeginReadSlot + 1;
static_assert(kEndReadSlot < RegistryStoreFile::kFirstFreeSlot);

constexpr const char* kSchema = R"sql(
CREATE TABLE keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,  -- never reused, so a stale handle finds nothing
  parent INTEGER,                        -- NULL for a root
  name TEXT NOT NULL,                    -- as created
  folded TEXT NOT NULL,                  -- name in folded case
  path TEXT NOT NULL UNIQUE              -- folded path from the root: hklm\software\...
);
-- Subkeys in name order, their names read from the index alone.
CREATE INDEX keys_by_parent ON keys(parent, folded, name);
CREATE TABLE vals(
  id INTEGER PRIMARY KEY,                -- creation order
  key INTEGER NOT NULL,
  name TEXT NOT NULL,
  folded TEXT NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE(key, folded)
);
-- Holds (key, id): a key's values in creation order without a sort.
CREATE INDEX vals_by_key ON vals(key);
)sql";

// What a change of both files needs to be all-or-nothing across a crash (see
// SqliteRegistryAccessor.cpp). Stores made before these tables get them when
// first opened for writing.
constexpr const char* kChangeTables = R"sql(
CREATE TABLE IF NOT EXISTS change_intents(txid INTEGER PRIMARY KEY);
CREATE TABLE IF NOT EXISTS change_undo(seq INTEGER PRIMARY KEY, txid INTEGER NOT NULL,
                                       sql TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS change_done(txid INTEGER PRIMARY KEY);
)sql";

// Closes a handle that failed its checks without checkpointing on the way out:
// a file that is not ours is never written.
struct PendingHandle {
    sqlite3* db = nullptr;
    ~PendingHandle() {
        if (db) {
            sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            sqlite3_close_v2(db);
        }
    }
    sqlite3* release() {
        sqlite3* out = db;
        db = nullptr;
        return out;
    }
};

int pragmaInt(sqlite3* db, const char* sql, int64_t& value) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW) {
            value = sqlite3_column_int64(stmt, 0);
            rc = SQLITE_OK;
        } else {
            rc = sqlite3_extended_errcode(db);
            if (rc == SQLITE_OK)
                rc = SQLITE_ERROR;
        }
    } else {
        rc = sqlite3_extended_errcode(db);
    }
    sqlite3_finalize(stmt);
    return rc;
}

struct Header {
    int64_t applicationId = 0;
    int64_t version = 0;
    int64_t pageCount = 0;
};

int readHeader(sqlite3* db, Header& header) {
    int rc = pragmaInt(db, "PRAGMA application_id", header.applicationId);
    if (rc == SQLITE_OK)
        rc = pragmaInt(db, "PRAGMA user_version", header.version);
    if (rc == SQLITE_OK)
        rc = pragmaInt(db, "PRAGMA page_count", header.pageCount);
    return rc;
}

// Makes an empty file a registry store. Returns SQLITE_OK (also when another
// process got there first), kForeignDatabase, or the SQLite error.
constexpr int kForeignDatabase = -1;

int initialise(sqlite::Connection& connection, Header& header,
               const std::vector<StoreRoot>& roots) {
    // WAL mode comes afterwards: switching to it writes the first page, and the
    // file would then no longer look empty. Another process may be doing the
    // same, so look again holding the write lock.
    sqlite::Transaction transaction(connection);
    int rc = transaction.beginResult();
    if (rc == SQLITE_OK)
        rc = readHeader(connection.handle(), header);
    if (rc != SQLITE_OK || header.applicationId == kApplicationId)
        return rc;
    // The file was empty a moment ago; inside the write transaction the page
    // count reads 1 already, so what must hold now is that nothing is in it.
    int64_t tables = 0;
    if (rc == SQLITE_OK)
        rc = pragmaInt(connection.handle(), "SELECT count(*) FROM sqlite_schema", tables);
    if (rc != SQLITE_OK)
        return rc;
    if (header.applicationId != 0 || header.version != 0 || tables != 0)
        return kForeignDatabase;
    std::string sql = kSchema;
    sql += kChangeTables;
    sql += "PRAGMA application_id=" + std::to_string(kApplicationId) + ";";
    sql += "PRAGMA user_version=" + std::to_string(kSchemaVersion) + ";";
    for (const StoreRoot& root : roots)
        sql += std::string("INSERT INTO keys(parent, name, folded, path) VALUES(NULL, '") +
               root.longName + "', '" + root.folded + "', '" + root.folded + "');";
    rc = connection.exec(sql.c_str());
    if (rc == SQLITE_OK)
        rc = transaction.commit();
    if (rc == SQLITE_OK)
        header.version = kSchemaVersion;
    return rc;
}

// The file as a URI, for opening it with `query` ("immutable=1").
std::string fileUri(const std::string& path, const char* query) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += static_cast<char>(c);
        } else {
            uri += '%';
            uri += kHex[c >> 4];
            uri += kHex[c & 15];
        }
    }
    return uri + "?" + query;
}

// Errors of the file system underneath (a full disk, an I/O error), as opposed
// to a busy or damaged store.
bool isStorageError(int rc) {
    const int kind = rc & 0xFF;
    return kind == SQLITE_IOERR || kind == SQLITE_FULL || kind == SQLITE_CANTOPEN;
}

bool isDamageError(int rc) {
    return (rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT;
}

// One statement run to its end; the callback sees each row.
template <typename Bind, typename Row>
int runStatement(sqlite3* db, const char* sql, Bind bind, Row row) {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK)
        return rc;
    bind(stmt);
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row(stmt);
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

int64_t keyId(sqlite3* db, const std::string& path, int& rc) {
    int64_t id = 0;
    rc = runStatement(
        db, "SELECT id FROM keys WHERE path = ?1",
        [&](sqlite3_stmt* st) { sqlite3_bind_text(st, 1, path.data(), static_cast<int>(path.size()), SQLITE_TRANSIENT); },
        [&](sqlite3_stmt* st) { id = sqlite3_column_int64(st, 0); });
    return id;
}

int64_t insertKey(sqlite3* db, int64_t parent, const std::string& name, const std::string& folded,
                  const std::string& path, int& rc) {
    rc = runStatement(
        db, "INSERT INTO keys(parent, name, folded, path) VALUES(?1, ?2, ?3, ?4)",
        [&](sqlite3_stmt* st) {
            sqlite3_bind_int64(st, 1, parent);
            sqlite3_bind_text(st, 2, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 3, folded.data(), static_cast<int>(folded.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 4, path.data(), static_cast<int>(path.size()), SQLITE_TRANSIENT);
        },
        [](sqlite3_stmt*) {});
    return sqlite3_last_insert_rowid(db);
}

// Stores made before HKEY_CLASSES_ROOT became the merged view of the two
// Classes keys kept its keys under a root of their own. They move below
// HKLM\Software\Classes in one transaction, the first time a writer opens the
// file, so nothing is lost and nothing is served twice. Where both held a
// value of one name, the HKCR one stays: it is what the program showed as the
// class, and a write through HKCR on Windows lands in the machine's key too.
// A store nobody may write keeps them until someone who may opens it.
void moveOldClassesRoot(sqlite::Connection& connection) {
    sqlite3* db = connection.handle();
    int rc = SQLITE_OK;
    const int64_t oldRoot = keyId(db, "hkcr", rc);
    if (rc != SQLITE_OK || oldRoot == 0)
        return;
    bool used = false;
    runStatement(
        db,
        "SELECT 1 WHERE EXISTS(SELECT 1 FROM keys WHERE parent = ?1) OR "
        "EXISTS(SELECT 1 FROM vals WHERE key = ?1)",
        [&](sqlite3_stmt* st) { sqlite3_bind_int64(st, 1, oldRoot); },
        [&](sqlite3_stmt*) { used = true; });
    if (!used)
        return;
    if (connection.exec("BEGIN IMMEDIATE") != SQLITE_OK)
        return;  // another writer holds the file: the next open moves them
    auto fail = [&] { connection.exec("ROLLBACK"); };

    // The machine's Classes key, made when missing.
    int64_t parent = keyId(db, "hklm", rc);
    if (rc != SQLITE_OK || parent == 0)
        return fail();
    const struct {
        const char* name;
        const char* path;
    } levels[] = {{"SOFTWARE", "hklm\\software"}, {"Classes", "hklm\\software\\classes"}};
    for (const auto& level : levels) {
        int64_t id = keyId(db, level.path, rc);
        if (rc != SQLITE_OK)
            return fail();
        if (id == 0) {
            std::string folded = level.name;
            for (char& c : folded)
                c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
            id = insertKey(db, parent, level.name, folded, level.path, rc);
            if (rc != SQLITE_OK)
                return fail();
        }
        parent = id;
    }

    struct OldKey {
        int64_t id, parent;
        std::string name, folded, path;
    };
    std::vector<OldKey> old;
    rc = runStatement(
        db, "SELECT id, parent, name, folded, path FROM keys WHERE substr(path, 1, 5) = 'hkcr\\' "
            "ORDER BY length(path)",
        [](sqlite3_stmt*) {},
        [&](sqlite3_stmt* st) {
            auto text = [&](int column) {
                const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
                return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(st, column)));
            };
            old.push_back({sqlite3_column_int64(st, 0), sqlite3_column_int64(st, 1), text(2),
                           text(3), text(4)});
        });
    if (rc != SQLITE_OK)
        return fail();
    std::vector<std::pair<int64_t, int64_t>> moved{{oldRoot, parent}};  // old id, new id
    auto newIdOf = [&](int64_t oldId) -> int64_t {
        for (const auto& [from, to] : moved)
            if (from == oldId)
                return to;
        return 0;
    };
    for (const OldKey& key : old) {
        const std::string path = "hklm\\software\\classes" + key.path.substr(4);
        int64_t id = keyId(db, path, rc);
        if (rc != SQLITE_OK)
            return fail();
        if (id == 0) {
            const int64_t newParent = newIdOf(key.parent);
            if (newParent == 0)
                return fail();
            id = insertKey(db, newParent, key.name, key.folded, path, rc);
            if (rc != SQLITE_OK)
                return fail();
        }
        moved.emplace_back(key.id, id);
    }
    for (const auto& [from, to] : moved) {
        rc = runStatement(
            db,
            "INSERT INTO vals(key, name, folded, type, data) SELECT ?2, name, folded, type, data "
            "FROM vals WHERE key = ?1 ORDER BY id "
            "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data",
            [&](sqlite3_stmt* st) {
                sqlite3_bind_int64(st, 1, from);
                sqlite3_bind_int64(st, 2, to);
            },
            [](sqlite3_stmt*) {});
        if (rc == SQLITE_OK)
            rc = runStatement(
                db, "DELETE FROM vals WHERE key = ?1",
                [&](sqlite3_stmt* st) { sqlite3_bind_int64(st, 1, from); }, [](sqlite3_stmt*) {});
        if (rc != SQLITE_OK)
            return fail();
    }
    if (connection.exec("DELETE FROM keys WHERE substr(path, 1, 5) = 'hkcr\\'") != SQLITE_OK ||
        connection.exec("COMMIT") != SQLITE_OK)
        return fail();
    RegistryStoreFile::noteCommit();
}

std::atomic<uint64_t> g_commits{0};

}  // namespace

void RegistryStoreFile::noteCommit() {
    g_commits.fetch_add(1, std::memory_order_acq_rel);
}

void RegistryStoreFile::startReading(sqlite::Connection& connection) {
    auto& snapshot = connection.readSnapshot;
    const uint64_t commits = g_commits.load(std::memory_order_acquire);
    const auto now = std::chrono::steady_clock::now();
    if (snapshot.open && (commits != snapshot.commitsSeen || now - snapshot.since > kSnapshotAge ||
                          !connection.inTransaction()))
        stopReading(connection);
    if (snapshot.open || connection.inTransaction())
        return;
    // Should BEGIN fail, the reads simply run one transaction each.
    sqlite::Query begin(connection, kBeginReadSlot, "BEGIN");
    if (begin.step() == SQLITE_DONE) {
        snapshot.open = true;
        snapshot.commitsSeen = commits;
        snapshot.since = now;
    }
}

void RegistryStoreFile::stopReading(sqlite::Connection& connection) {
    if (connection.readSnapshot.open && connection.inTransaction()) {
        sqlite::Query end(connection, kEndReadSlot, "COMMIT");
        if (end.step() != SQLITE_DONE)
            connection.exec("ROLLBACK");
    }
    connection.readSnapshot.open = false;
}

RegistryStoreFile::RegistryStoreFile(std::string folder, const std::string& fileName,
                                     std::vector<StoreRoot> roots)
    : folder_(std::move(folder)),
      path_((std::filesystem::path(folder_) / fileName).string()),
      roots_(std::move(roots)) {}

RegistryStoreFile::~RegistryStoreFile() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    reaperWake_.notify_all();
    if (reaper_.joinable())
        reaper_.join();
}

std::unique_ptr<sqlite::Connection> RegistryStoreFile::acquire(std::string* error) {
    {
        std::lock_guard lock(mutex_);
        if (!idle_.empty()) {
            auto connection = std::move(idle_.back());
            idle_.pop_back();
            return connection;
        }
    }
    return open(error);
}

const char* RegistryStoreFile::changeTablesSql() {
    return kChangeTables;
}

void RegistryStoreFile::release(std::unique_ptr<sqlite::Connection> connection) {
    if (!connection)
        return;
    sqlite3_busy_timeout(connection->handle(), kDefaultPatienceMs);
    if (!connection->readSnapshot.open && connection->inTransaction())
        connection->exec("ROLLBACK");  // changes left uncommitted
    if (connection->readSnapshot.open && !connection->inTransaction())
        connection->readSnapshot.open = false;
    if (connection->inTransaction() && !connection->readSnapshot.open)
        return;  // cannot be made clean: close it
    if (!connection->writeFailure().empty())
        return;  // the next accessor tries to open the file for writing again
    const bool holdsSnapshot = connection->readSnapshot.open;
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (idle_.size() >= kMaxIdleConnections)
            return;
        idle_.push_back(std::move(connection));
        if (holdsSnapshot) {
            if (!reaper_.joinable())
                reaper_ = std::thread([this] { endIdleSnapshots(); });
            wake = reaperWaiting_;
            reaperWaiting_ = false;
        }
    }
    if (wake)
        reaperWake_.notify_one();
}

void RegistryStoreFile::endIdleSnapshots() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto now = std::chrono::steady_clock::now();
        std::optional<std::chrono::steady_clock::time_point> next;
        for (auto& connection : idle_) {
            const auto& snapshot = connection->readSnapshot;
            if (!snapshot.open)
                continue;
            const auto expires = snapshot.since + kSnapshotAge;
            if (expires <= now)
                stopReading(*connection);
            else if (!next || expires < *next)
                next = expires;
        }
        if (next) {
            reaperWake_.wait_until(lock, *next);
        } else {
            reaperWaiting_ = true;
            reaperWake_.wait(lock, [this] { return stopping_ || !reaperWaiting_; });
        }
    }
}

std::unique_ptr<sqlite::Connection> RegistryStoreFile::open(std::string* error) {
    std::lock_guard openLock(openMutex_);
    auto fail = [&](const std::string& message) -> std::unique_ptr<sqlite::Connection> {
        if (error)
            *error = message;
        return nullptr;
    };
    auto invalid = [&](const std::string& reason) {
        return fail("The registry store file '" + path_ + "' is not a valid registry database (" +
                    reason + ")");
    };
    auto unreadable = [&](const std::string& reason) {
        return fail("The registry store file '" + path_ + "' cannot be opened (" + reason + ")");
    };

    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec)
        return fail("The registry folder '" + folder_ + "' cannot be created (" + ec.message() +
                    ")");

    // Root ignores permission bits, so a file without any write bit also counts
    // as one the user may not write: a store made read-only stays read-only.
    struct stat st {};
    const bool exists = ::stat(path_.c_str(), &st) == 0;
    bool writable =
        !exists || (::access(path_.c_str(), W_OK) == 0 && (st.st_mode & 0222) != 0);

    PendingHandle handle;
    const int flags =
        SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE |
        (writable ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY);
    int rc = sqlite3_open_v2(path_.c_str(), &handle.db, flags, nullptr);
    if (rc != SQLITE_OK)
        return unreadable(handle.db ? sqlite3_errmsg(handle.db) : sqlite3_errstr(rc));
    sqlite3_extended_result_codes(handle.db, 1);
    sqlite3_busy_timeout(handle.db, kDefaultPatienceMs);

    Header header;
    rc = readHeader(handle.db, header);
    std::string writeFailure;
    if (rc != SQLITE_OK && writable && exists && isStorageError(rc)) {
        // On a full disk the first reader cannot grow the -shm index (every
        // reader of a WAL file needs it): read without it, from a private
        // copy of the index, and say why nothing can be changed.
        writeFailure = sqlite::Connection::failureText(handle.db, rc);
        // Closed first: connections of one process share the file's -shm.
        { PendingHandle failed{handle.release()}; }
        if (sqlite3_open_v2(fileUri(path_, "readonly_shm=1").c_str(), &handle.db,
                            SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                            nullptr) == SQLITE_OK) {
            sqlite3_extended_result_codes(handle.db, 1);
            sqlite3_busy_timeout(handle.db, kDefaultPatienceMs);
            if (readHeader(handle.db, header) == SQLITE_OK) {
                writable = false;
                rc = SQLITE_OK;
            }
        }
        if (rc != SQLITE_OK)
            return unreadable(writeFailure);
    }
    if (rc != SQLITE_OK && !writable && !isDamageError(rc)) {
        PendingHandle fallback;
        if (sqlite3_open_v2(fileUri(path_, "immutable=1").c_str(), &fallback.db,
                            SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                            nullptr) == SQLITE_OK) {
            sqlite3_extended_result_codes(fallback.db, 1);
            if (readHeader(fallback.db, header) == SQLITE_OK) {
                std::swap(handle.db, fallback.db);
                rc = SQLITE_OK;
            }
        }
    }
    if (rc != SQLITE_OK)
        return isDamageError(rc) ? invalid(sqlite3_errstr(rc)) : unreadable(sqlite3_errstr(rc));

    auto connection = std::make_unique<sqlite::Connection>(handle.db, writable);
    if (!writeFailure.empty())
        connection->setWriteFailure("The registry store file '" + path_ +
                                    "' cannot be changed now (" + writeFailure + ")");
    auto discard = [&](std::unique_ptr<sqlite::Connection>& c) {
        sqlite3_db_config(c->handle(), SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        c.reset();
    };
    sqlite3* db = handle.release();

    if (header.applicationId != kApplicationId) {
        if (header.applicationId != 0 || header.pageCount != 0) {
            discard(connection);
            return invalid("it is a database of another program");
        }
        if (!writable) {
            discard(connection);
            return invalid("it is empty and cannot be written");
        }
        // Empty: make it ours.
        rc = initialise(*connection, header, roots_);
        if (rc == kForeignDatabase) {
            discard(connection);
            return invalid("it is a database of another program");
        }
        if (rc != SQLITE_OK) {
            const std::string reason = connection->lastError();
            discard(connection);
            return fail("The registry store file '" + path_ + "' cannot be created (" + reason +
                        ")");
        }
    }
    if (header.version > kSchemaVersion) {
        discard(connection);
        return invalid("it was made by a newer version of the program");
    }
    if (header.version < 1) {
        discard(connection);
        return invalid("its layout is unknown");
    }

    if (writable) {
        connection->exec("PRAGMA journal_mode=WAL");
        // Keep -wal and -shm after the last connection closes: without them a
        // user who may not write the folder could not read the store at all.
        int persist = 1;
        sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        connection->exec("PRAGMA synchronous=NORMAL; PRAGMA journal_size_limit=4194304");
        // A no-op without any lock once the tables exist; should another program
        // hold the write lock now, the first change of both files makes them.
        connection->exec(kChangeTables);
        for (const StoreRoot& root : roots_)
            if (std::string_view(root.folded) == "hkcr")
                moveOldClassesRoot(*connection);
    }
    connection->exec("PRAGMA cache_size=-16384");
    return connection;
}

}  // namespace vornak::platform::posix
