#include "platform/sqlite/SqliteRegistryAccessor.h"

#include <signal.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/KeyListing.h"
#include "platform/model/RegistryNames.h"
#include "platform/sqlite/SqliteDatabase.h"

namespace vornak::platform::posix {
namespace {

using sqlite::Connection;
using sqlite::Query;
using sqlite::Transaction;

struct RootPlace {
    FileIndex file;
    const char* folded;
};

bool placeOf(RegRoot root, RootPlace& place) {
    switch (root) {
        case RegRoot::ClassesRoot:
            place = {kMachineFile, "hkcr"};
            return true;
        case RegRoot::CurrentUser:
            place = {kUserFile, "hkcu"};
            return true;
        case RegRoot::LocalMachine:
            place = {kMachineFile, "hklm"};
            return true;
        case RegRoot::Users:
            place = {kMachineFile, "hku"};
            return true;
        case RegRoot::CurrentConfig:
            place = {kMachineFile, "hkcc"};
            return true;
    }
    return false;
}

enum Slot : size_t {
    kFindKey = RegistryStoreFile::kFirstFreeSlot,
    kInsertKey,
    kKeyExists,
    kHasSubkey,
    kSubkeys,
    kValues,
    kQueryValue,
    kSetValue,
    kDeleteValue,
    kDeleteValues,
    kDeleteKey,
    kPendingAny,
    kPendingIds,
    kUndoOfChange,
    kChangeDone,
    kSubkeyValues,
    kAllKeys,
    kKeyValues,
};

constexpr const char* kFindKeySql = "SELECT id FROM keys WHERE path = ?1";
constexpr const char* kInsertKeySql =
    "INSERT INTO keys(parent, name, folded, path) VALUES(?1, ?2, ?3, ?4)";
constexpr const char* kKeyExistsSql = "SELECT 1 FROM keys WHERE id = ?1";
constexpr const char* kHasSubkeySql = "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1";
constexpr const char* kSubkeysSql = "SELECT name FROM keys WHERE parent = ?1 ORDER BY folded";
// The join yields one row without a value for a key that has none, and no row
// at all for a key that has gone.
constexpr const char* kValuesSql =
    "SELECT v.id, v.name, v.type, v.data FROM keys k LEFT JOIN vals v ON v.key = k.id "
    "WHERE k.id = ?1 ORDER BY v.id";
constexpr const char* kQueryValueSql =
    "SELECT name, type, data FROM vals WHERE key = ?1 AND folded = ?2";
// Replacing keeps the row, and with it the value's place in the enumeration.
constexpr const char* kSetValueSql =
    "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data";
constexpr const char* kDeleteValueSql = "DELETE FROM vals WHERE key = ?1 AND folded = ?2";
constexpr const char* kDeleteValuesSql = "DELETE FROM vals WHERE key = ?1";
constexpr const char* kDeleteKeySql = "DELETE FROM keys WHERE id = ?1";
// For a walk: every key of the file grouped by parent, each group in the
// order of the subkey listing, read from the parent index alone (a
// recursive query over the subtree costs several times more); then each
// key's values.
constexpr const char* kAllKeysSql = "SELECT parent, id, name FROM keys ORDER BY parent, folded";
constexpr const char* kKeyValuesSql = "SELECT name, type, data FROM vals WHERE key = ?1 ORDER BY id";
constexpr const char* kPendingAnySql = "SELECT 1 FROM change_intents LIMIT 1";
constexpr const char* kPendingIdsSql = "SELECT txid FROM change_intents";
constexpr const char* kUndoOfChangeSql =
    "SELECT sql FROM change_undo WHERE txid = ?1 ORDER BY seq DESC";
constexpr const char* kChangeDoneSql = "SELECT 1 FROM change_done WHERE txid = ?1";

// readSubkeyValues: one row per subkey, in the order of kSubkeysSql, with one
// outer join per value asked for (SQLite joins at most 64 tables).
constexpr size_t kMaxJoinedValues = 32;

std::string subkeyValuesSql(size_t count) {
    std::string columns = "SELECT k.name", joins;
    for (size_t i = 0; i < count; ++i) {
        const std::string v = "v" + std::to_string(i);
        columns += ", " + v + ".name, " + v + ".type, " + v + ".data";
        joins += " LEFT JOIN vals " + v + " ON " + v + ".key = k.id AND " + v +
                 ".folded = ?" + std::to_string(i + 2);
    }
    return columns + " FROM keys k" + joins + " WHERE k.parent = ?1 ORDER BY k.folded";
}

// A group of changes that spans both files commits machine.db first and user.db
// second, and the second commit decides. Inside the group, every change of a
// key or value of machine.db leaves the statement that undoes it in
// change_undo; the group's id goes into change_intents there and into
// change_done in user.db, each with its file's commit. Whoever next writes
// machine.db (or opens the store) finds the intent and settles it: with the id
// in change_done the group is complete and only its records go; without it the
// undo statements run, newest first, and machine.db is as before the group.
// Both files are locked, machine.db first, while this is decided.
//
// Texts are restored through their bytes, so no name changes on the way back.
#define VORNAK_UNDO_TEXT(column) "'CAST(' || quote(CAST(" column " AS BLOB)) || ' AS TEXT)'"
constexpr const char* kUndoCaptureSql =
    "CREATE TEMP TABLE IF NOT EXISTS undo_scope(txid INTEGER);"
    "CREATE TEMP TRIGGER IF NOT EXISTS undo_key_insert AFTER INSERT ON main.keys"
    " WHEN EXISTS (SELECT 1 FROM temp.undo_scope) BEGIN"
    " INSERT INTO change_undo(txid, sql) SELECT txid, 'DELETE FROM keys WHERE id = ' || new.id"
    " FROM temp.undo_scope; END;"
    "CREATE TEMP TRIGGER IF NOT EXISTS undo_key_delete AFTER DELETE ON main.keys"
    " WHEN EXISTS (SELECT 1 FROM temp.undo_scope) BEGIN"
    " INSERT INTO change_undo(txid, sql) SELECT txid,"
    " 'INSERT INTO keys(id, parent, name, folded, path) VALUES(' || old.id || ', ' ||"
    " quote(old.parent) || ', ' || " VORNAK_UNDO_TEXT("old.name") " || ', ' || "
    VORNAK_UNDO_TEXT("old.folded") " || ', ' || " VORNAK_UNDO_TEXT("old.path") " || ')'"
    " FROM temp.undo_scope; END;"
    "CREATE TEMP TRIGGER IF NOT EXISTS undo_key_update AFTER UPDATE ON main.keys"
    " WHEN EXISTS (SELECT 1 FROM temp.undo_scope) BEGIN"
    " INSERT INTO change_undo(txid, sql) SELECT txid,"
    " 'UPDATE keys SET parent = ' || quote(old.parent) || ', name = ' || "
    VORNAK_UNDO_TEXT("old.name") " || ', folded = ' || " VORNAK_UNDO_TEXT("old.folded")
    " || ', path = ' || " VORNAK_UNDO_TEXT("old.path") " || ' WHERE id = ' || old.id"
    " FROM temp.undo_scope; END;"
    "CREATE TEMP TRIGGER IF NOT EXISTS undo_val_insert AFTER INSERT ON main.vals"
    " WHEN EXISTS (SELECT 1 FROM temp.undo_scope) BEGIN"
    " INSERT INTO change_undo(txid, sql) SELECT txid, 'DELETE FROM vals WHERE id = ' || new.id"
    " FROM temp.undo_scope; END;"
    "CREATE TEMP TRIGGER IF NOT EXISTS undo_val_delete AFTER DELETE ON main.vals"
    " WHEN EXISTS (SELECT 1 FROM temp.undo_scope) BEGIN"
    " INSERT INTO change_undo(txid, sql) SELECT txid,"
    " 'INSERT INTO vals(id, key, name, folded, type, data) VALUES(' || old.id || ', ' ||"
    " old.key || ', ' || " VORNAK_UNDO_TEXT("old.name") " || ', ' || "
    VORNAK_UNDO_TEXT("old.folded") " || ', ' || old.type || ', ' || quote(old.data) || ')'"
    " FROM temp.undo_scope; END;"
    "CREATE TEMP TRIGGER IF NOT EXISTS undo_val_update AFTER UPDATE ON main.vals"
    " WHEN EXISTS (SELECT 1 FROM temp.undo_scope) BEGIN"
    " INSERT INTO change_undo(txid, sql) SELECT txid,"
    " 'UPDATE vals SET key = ' || old.key || ', name = ' || " VORNAK_UNDO_TEXT("old.name")
    " || ', folded = ' || " VORNAK_UNDO_TEXT("old.folded") " || ', type = ' || old.type ||"
    " ', data = ' || quote(old.data) || ' WHERE id = ' || old.id"
    " FROM temp.undo_scope; END;";
#undef VORNAK_UNDO_TEXT

// For the crash tests: VORNAK_TEST_STOP_AT=between-commits or after-commits
// makes the process stop there (for its test to kill it), and
// VORNAK_TEST_FAIL_SECOND_COMMIT=1 makes the second commit fail.
bool testHook(const char* name, std::string_view wanted = "1") {
    const char* value = std::getenv(name);
    return value && value == wanted;
}

int64_t newChangeId() {
    std::random_device rd;
    const uint64_t id = (static_cast<uint64_t>(rd()) << 32) ^ rd();
    return static_cast<int64_t>(id >> 1);
}

RegStatus statusOf(int rc) {
    if (rc == SQLITE_OK || rc == SQLITE_DONE || rc == SQLITE_ROW)
        return RegStatus::Ok;
    if ((rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED)
        return RegStatus::Busy;
    return sqlite::isReadOnlyError(rc) ? RegStatus::AccessDenied : RegStatus::StoreFailure;
}

std::string joinNames(const std::vector<std::string_view>& names) {
    std::string out;
    for (const auto& name : names) {
        if (!out.empty())
            out += '\\';
        out += name;
    }
    return out;
}

void appendFolded(std::string& folded, const std::vector<std::string_view>& names) {
    for (const auto& name : names) {
        folded += '\\';
        folded += foldName(name);
    }
}

// Listings are read once and then served by index (KeyListing).
class SqliteKey final : public RegKey, public KeyListing {
  public:
    SqliteKey(std::shared_ptr<RegistryStoreFile> storeFile, FileIndex index, RegRoot root,
              std::string path, std::string folded, int64_t keyId, RegAccess keyAccess)
        : file(std::move(storeFile)),
          fileIndex(index),
          foldedPath(std::move(folded)),
          id(keyId),
          access(keyAccess),
          root_(root),
          path_(std::move(path)) {}

    RegRoot root() const override { return root_; }
    const std::string& path() const override { return path_; }
    bool isRoot() const { return foldedPath.find('\\') == std::string::npos; }

    const std::shared_ptr<RegistryStoreFile> file;
    const FileIndex fileIndex;
    const std::string foldedPath;
    const int64_t id;
    const RegAccess access;

  private:
    RegRoot root_;
    std::string path_;
};

class SqliteAccessor final : public RegistryAccessor {
  public:
    explicit SqliteAccessor(StoreFiles files) : files_(std::move(files)) {}

    ~SqliteAccessor() override {
        rollback();
        for (size_t i = 0; i < kFileCount; ++i)
            files_[i]->release(std::move(links_[i].connection));
    }

    RegStatus openKey(RegRoot root, const std::string& path, RegAccess access,
                      std::unique_ptr<RegKey>& out) override {
        out.reset();
        RootPlace place{};
        std::vector<std::string_view> names;
        if (!placeOf(root, place) || !splitKeyPath(path, names))
            return RegStatus::InvalidName;
        std::string folded = place.folded;
        appendFolded(folded, names);
        return open(place.file, root, joinNames(names), std::move(folded), access, out);
    }

    RegStatus createKey(RegRoot root, const std::string& path, RegAccess access,
                        std::unique_ptr<RegKey>& out, bool* created) override {
        out.reset();
        if (created)
            *created = false;
        RootPlace place{};
        std::vector<std::string_view> names;
        if (!placeOf(root, place) || !splitKeyPath(path, names))
            return RegStatus::InvalidName;

        // Every prefix of the path, from the root (index 0) to the key itself.
        std::vector<std::string> prefixes{place.folded};
        for (const auto& name : names)
            prefixes.push_back(prefixes.back() + '\\' + foldName(name));

        RegStatus status = open(place.file, root, joinNames(names), prefixes.back(), access, out);
        if (status != RegStatus::NotFound)
            return status;

        Connection* c = connect(place.file, status, Use::Write);
        if (!c)
            return status;
        if (!c->writable())
            return readOnly(*c);
        std::optional<Transaction> transaction;
        if ((status = beginChange(place.file, *c, transaction)) != RegStatus::Ok)
            return status;

        // Another writer may have made some of the path since the look-up above.
        size_t existing = prefixes.size();
        int64_t parent = 0;
        while (existing-- > 0) {
            status = lookup(*c, prefixes[existing], parent);
            if (status == RegStatus::Ok)
                break;
            if (status != RegStatus::NotFound)
                return status;
        }
        if (status != RegStatus::Ok)
            return RegStatus::StoreFailure;  // the root row is missing
        for (size_t level = existing + 1; level < prefixes.size(); ++level) {
            const std::string_view name = names[level - 1];
            Query insert(*c, kInsertKey, kInsertKeySql);
            insert.bind(1, parent);
            insert.bindText(2, name);
            insert.bindText(
                3, std::string_view(prefixes[level]).substr(prefixes[level - 1].size() + 1));
            insert.bindText(4, prefixes[level]);
            const int rc = insert.step();
            if (rc != SQLITE_DONE)
                return writeFailed(place.file, *c, rc);
            parent = sqlite3_last_insert_rowid(c->handle());
        }
        if (const int rc = transaction->commit(); rc != SQLITE_OK)
            return writeFailed(place.file, *c, rc);
        changed();
        if (created)
            *created = existing + 1 < prefixes.size();
        out = std::make_unique<SqliteKey>(files_[place.file], place.file, root, joinNames(names),
                                          prefixes.back(), parent, access);
        return RegStatus::Ok;
    }

    RegStatus openSubKey(const RegKey& key, const std::string& subPath, RegAccess access,
                         std::unique_ptr<RegKey>& out) override {
        out.reset();
        const SqliteKey* k = own(key);
        std::vector<std::string_view> names;
        if (!k || !splitKeyPath(subPath, names))
            return RegStatus::InvalidName;
        std::string folded = k->foldedPath;
        appendFolded(folded, names);
        std::string path = k->path();
        if (!names.empty())
            path += (path.empty() ? "" : "\\") + joinNames(names);
        return open(k->fileIndex, k->root(), std::move(path), std::move(folded), access, out);
    }

    RegStatus queryInfo(const RegKey& key, RegKeyInfo& info) override {
        info = {};
        const SqliteKey* k = own(key);
        if (!k)
            return RegStatus::InvalidName;
        return k->info(info, [this, k] {
            RegStatus status;
            Connection* c = connect(k->fileIndex, status);
            if (!c)
                return status;
            if ((status = loadValues(*c, *k)) != RegStatus::Ok)
                return status;
            return loadSubkeys(*c, *k, false);
        });
    }

    RegStatus enumKey(const RegKey& key, uint32_t index, std::string& name) override {
        const SqliteKey* k = own(key);
        if (!k)
            return RegStatus::InvalidName;
        return k->subkey(index, name, [this, k] {
            RegStatus status;
            Connection* c = connect(k->fileIndex, status);
            return c ? loadSubkeys(*c, *k, true) : status;
        });
    }

    RegStatus enumValue(const RegKey& key, uint32_t index, RegValue& value) override {
        const SqliteKey* k = own(key);
        if (!k)
            return RegStatus::InvalidName;
        return k->value(index, value, [this, k] {
            RegStatus status;
            Connection* c = connect(k->fileIndex, status);
            return c ? loadValues(*c, *k) : status;
        });
    }

    RegStatus queryValue(const RegKey& key, const std::string& name, RegValue& value) override {
        const SqliteKey* k = own(key);
        if (!k || !isValidValueName(name))
            return RegStatus::InvalidName;
        RegStatus status;
        Connection* c = connect(k->fileIndex, status);
        if (!c)
            return status;
        // Type and data come from one row of one statement, so a concurrent
        // writer can never pair the type of one write with the data of another.
        Query q(*c, kQueryValue, kQueryValueSql);
        q.bind(1, k->id);
        q.bindText(2, foldName(name));
        const int rc = q.step();
        if (rc == SQLITE_DONE)
            return RegStatus::NotFound;
        if (rc != SQLITE_ROW)
            return statusOf(rc);
        value.name = q.columnText(0);
        value.type = static_cast<uint32_t>(q.columnInt(1));
        value.data = q.columnBlob(2);
        return RegStatus::Ok;
    }

    RegStatus readSubkeyValues(const RegKey& key, const std::vector<std::string>& names,
                               std::vector<SubkeyValues>& out) override {
        out.clear();
        const SqliteKey* k = own(key);
        if (!k || !std::all_of(names.begin(), names.end(),
                               [](const std::string& name) { return isValidValueName(name); }))
            return RegStatus::InvalidName;
        if (names.size() > kMaxJoinedValues)
            return RegistryAccessor::readSubkeyValues(key, names, out);
        RegStatus status;
        Connection* c = connect(k->fileIndex, status);
        if (!c)
            return status;
        const std::string sql = subkeyValuesSql(names.size());
        Query q(*c, kSubkeyValues, sql.c_str(), true);
        q.bind(1, k->id);
        for (size_t i = 0; i < names.size(); ++i)
            q.bindText(static_cast<int>(i + 2), foldName(names[i]));
        int rc;
        while ((rc = q.step()) == SQLITE_ROW) {
            SubkeyValues& row = out.emplace_back();
            row.name = q.columnText(0);
            row.values.resize(names.size());
            for (size_t i = 0; i < names.size(); ++i) {
                const int column = static_cast<int>(1 + 3 * i);
                if (!q.columnIsNull(column))
                    row.values[i] =
                        RegValue{q.columnText(column),
                                 static_cast<uint32_t>(q.columnInt(column + 1)),
                                 q.columnBlob(column + 2)};
            }
        }
        if (rc != SQLITE_DONE) {
            out.clear();
            return statusOf(rc);
        }
        // No subkeys, or no key: enumKey tells them apart the same way.
        return out.empty() ? keyExists(*c, k->id) : RegStatus::Ok;
    }

    // What every change of a value checks first: a key of ours, a valid name,
    // full access and a connection that may write. Null, with `status` set, if not.
    Connection* valueWriter(const RegKey& key, const std::string& name, const SqliteKey*& k,
                            RegStatus& status) {
        k = own(key);
        if (!k || !isValidValueName(name)) {
            status = RegStatus::InvalidName;
            return nullptr;
        }
        if (k->access != RegAccess::Full) {
            status = RegStatus::AccessDenied;
            return nullptr;
        }
        Connection* c = connect(k->fileIndex, status, Use::Write);
        if (c && !c->writable()) {
            status = readOnly(*c);
            return nullptr;
        }
        return c;
    }

    RegStatus setValue(const RegKey& key, const std::string& name, uint32_t type,
                       const std::string& data) override {
        const SqliteKey* k = nullptr;
        RegStatus status;
        Connection* c = valueWriter(key, name, k, status);
        if (!c)
            return status;
        std::optional<Transaction> transaction;
        if ((status = beginChange(k->fileIndex, *c, transaction)) != RegStatus::Ok)
            return status;
        if ((status = keyExists(*c, k->id)) != RegStatus::Ok)
            return status;
        Query q(*c, kSetValue, kSetValueSql);
        q.bind(1, k->id);
        q.bindText(2, name);
        q.bindText(3, foldName(name));
        q.bind(4, type);
        q.bindBlob(5, data);
        if (const int rc = q.step(); rc != SQLITE_DONE)
            return writeFailed(k->fileIndex, *c, rc);
        if (const int rc = transaction->commit(); rc != SQLITE_OK)
            return writeFailed(k->fileIndex, *c, rc);
        changed();
        k->valuesFresh = false;
        return RegStatus::Ok;
    }

    RegStatus deleteValue(const RegKey& key, const std::string& name) override {
        const SqliteKey* k = nullptr;
        RegStatus status;
        Connection* c = valueWriter(key, name, k, status);
        if (!c)
            return status;
        std::optional<Transaction> transaction;
        if ((status = beginChange(k->fileIndex, *c, transaction)) != RegStatus::Ok)
            return status;
        {
            Query q(*c, kDeleteValue, kDeleteValueSql);
            q.bind(1, k->id);
            q.bindText(2, foldName(name));
            if (const int rc = q.step(); rc != SQLITE_DONE)
                return writeFailed(k->fileIndex, *c, rc);
        }
        k->valuesFresh = false;
        if (c->changes() == 0)
            return RegStatus::NotFound;
        if (const int rc = transaction->commit(); rc != SQLITE_OK)
            return writeFailed(k->fileIndex, *c, rc);
        changed();
        return RegStatus::Ok;
    }

    RegStatus deleteKey(const RegKey& key, const std::string& subPath) override {
        const SqliteKey* k = own(key);
        std::vector<std::string_view> names;
        if (!k || !splitKeyPath(subPath, names))
            return RegStatus::InvalidName;
        // The roots themselves cannot be deleted.
        if (names.empty() && k->isRoot())
            return RegStatus::AccessDenied;
        std::string folded = k->foldedPath;
        appendFolded(folded, names);

        RegStatus status;
        Connection* c = connect(k->fileIndex, status, Use::Write);
        if (!c)
            return status;
        if (!c->writable())
            return readOnly(*c);
        std::optional<Transaction> transaction;
        if ((status = beginChange(k->fileIndex, *c, transaction)) != RegStatus::Ok)
            return status;
        int64_t id = 0;
        if ((status = lookup(*c, folded, id)) != RegStatus::Ok)
            return status;
        {
            Query q(*c, kHasSubkey, kHasSubkeySql);
            q.bind(1, id);
            const int rc = q.step();
            if (rc == SQLITE_ROW)
                return RegStatus::HasSubkeys;
            if (rc != SQLITE_DONE)
                return writeFailed(k->fileIndex, *c, rc);
        }
        for (auto [slot, sql] :
             {std::pair{kDeleteValues, kDeleteValuesSql}, std::pair{kDeleteKey, kDeleteKeySql}}) {
            Query q(*c, slot, sql);
            q.bind(1, id);
            if (const int rc = q.step(); rc != SQLITE_DONE)
                return writeFailed(k->fileIndex, *c, rc);
        }
        if (const int rc = transaction->commit(); rc != SQLITE_OK)
            return writeFailed(k->fileIndex, *c, rc);
        changed();
        k->subkeysFresh = false;
        return RegStatus::Ok;
    }

    // The file's keys read in one statement, then each key's values in one
    // more, all in one read transaction: opening every key by its path and
    // listing it apart costs four statements a key. The snapshot is kept for
    // the whole walk, so what it reports is the store of one moment.
    void walk(const RegKey& key, RegWalkVisitor& visitor) override {
        const SqliteKey* k = own(key);
        if (!k) {
            RegistryAccessor::walk(key, visitor);
            return;
        }
        visitor.key({}, RegStatus::Ok, false);
        RegStatus status;
        Connection* c = connect(k->fileIndex, status);
        KeyTree tree;
        if (c)
            status = readKeys(*c, tree);
        if (status != RegStatus::Ok) {
            visitor.listingFailed(status);
            return;
        }
        std::string path;
        auto values = [&](int64_t id) {
            Query q(*c, kKeyValues, kKeyValuesSql);
            q.bind(1, id);
            int rc;
            while ((rc = q.step()) == SQLITE_ROW)
                visitor.value(q.columnTextView(0), static_cast<uint32_t>(q.columnInt(1)),
                              q.columnBlobView(2));
            if (rc != SQLITE_DONE)
                visitor.listingFailed(statusOf(rc));
        };
        struct Frame {
            std::vector<uint32_t> subkeys;  // indexes into tree.keys, those to go into
            size_t next = 0;
            size_t pathLength = 0;
        };
        std::vector<Frame> stack;
        auto list = [&](int64_t id) {
            Frame frame{{}, 0, path.size()};
            for (uint32_t i = tree.firstChild(id); i < tree.keys.size() && tree.keys[i].parent == id;
                 ++i)
                if (visitor.wantSubkey(path, tree.name(i)))
                    frame.subkeys.push_back(i);
            if (!frame.subkeys.empty())
                stack.push_back(std::move(frame));
        };
        values(k->id);
        list(k->id);
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.subkeys.size()) {
                stack.pop_back();
                continue;
            }
            const uint32_t i = top.subkeys[top.next++];
            path.resize(top.pathLength);
            if (!path.empty())
                path += '\\';
            path += tree.name(i);
            // `top` may move as the stack grows; nothing of it is used after this.
            visitor.key(path, RegStatus::Ok, false);
            values(tree.keys[i].id);
            list(tree.keys[i].id);
        }
    }

    void beginTransaction(const std::vector<RegRoot>& roots) override {
        if (grouped_)
            throw std::logic_error("registry transactions do not nest");
        grouped_ = true;
        groupStatus_ = RegStatus::Ok;
        changeId_ = newChangeId();
        wanted_.fill(roots.empty());
        for (RegRoot root : roots) {
            RootPlace place{};
            if (placeOf(root, place))
                wanted_[place.file] = true;
        }
        // In file order, always: two groups that both lock both files then
        // never wait for each other in a circle.
        for (size_t i = 0; i < kFileCount && groupStatus_ == RegStatus::Ok; ++i) {
            if (wanted_[i]) {
                RegStatus ignored;
                connect(static_cast<FileIndex>(i), ignored);
            }
        }
    }

    void commit() override {
        if (!grouped_)
            return;
        if (groupStatus_ != RegStatus::Ok) {
            const RegStatus status = groupStatus_;
            rollback();
            if (status == RegStatus::Busy)
                throw RegistryBusyError();
            if (!failure_.empty())
                throw RegistryStoreError(failure_);
            throw saveError(kMachineFile, "an earlier change failed");
        }
        Link& machine = links_[kMachineFile];
        Link& user = links_[kUserFile];
        if (!changedInGroup(machine) || !changedInGroup(user)) {
            commitOneFile();
            return;
        }

        // Both files changed: see kUndoCaptureSql for how this is made whole.
        const int64_t id = changeId_;
        int rc = recordChange(*machine.connection, "INSERT INTO change_intents(txid) VALUES(", id);
        FileIndex failed = kMachineFile;
        if (rc == SQLITE_OK) {
            rc = recordChange(*user.connection, "INSERT INTO change_done(txid) VALUES(", id);
            failed = kUserFile;
        }
        if (rc == SQLITE_OK) {
            rc = machine.connection->exec("COMMIT");
            failed = kMachineFile;
        }
        if (rc != SQLITE_OK) {
            const std::string reason = links_[failed].connection->lastError();
            rollback();
            throwSaveError(failed, rc, reason);
        }
        RegistryStoreFile::noteCommit();
        if (testHook("VORNAK_TEST_STOP_AT", "between-commits"))
            ::raise(SIGSTOP);

        sqlite3* userDb = user.connection->handle();
        if (testHook("VORNAK_TEST_FAIL_SECOND_COMMIT"))
            sqlite3_commit_hook(userDb, [](void*) { return 1; }, nullptr);
        rc = user.connection->exec("COMMIT");
        sqlite3_commit_hook(userDb, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            const std::string reason = user.connection->lastError();
            rollback();
            // Takes back what machine.db has kept; should even that fail, the
            // next writer does it.
            settle();
            throwSaveError(kUserFile, rc, reason);
        }
        RegistryStoreFile::noteCommit();
        endGroup();
        if (testHook("VORNAK_TEST_STOP_AT", "after-commits"))
            ::raise(SIGSTOP);
        forgetChange(id);
    }

    void rollback() override {
        for (Link& link : links_) {
            if (link.inGroup && link.connection->inTransaction())
                link.connection->exec("ROLLBACK");
        }
        endGroup();
    }

    std::string failureReason() const override { return failure_; }

    void setPatience(std::chrono::milliseconds patience) override {
        patience_ = static_cast<int>(std::clamp<int64_t>(patience.count(), 0, INT32_MAX));
        for (Link& link : links_)
            if (link.connection)
                sqlite3_busy_timeout(link.connection->handle(), patience_);
    }

    // Finishes what a group of changes to both files left pending, by a crash
    // or by a failed second commit (see kUndoCaptureSql). Quietly does nothing
    // when the store is busy or read-only: the next writer tries again.
    void settle() {
        Connection* m = rawConnection(kMachineFile);
        // Looked at without a lock first: a reader must not wait for a writer
        // (a long import) only to find that nothing is pending.
        if (!m || !m->writable() || !hasPendingChange(*m) ||
            m->exec("BEGIN IMMEDIATE") != SQLITE_OK)
            return;
        std::vector<int64_t> ids;
        {
            Query q(*m, kPendingIds, kPendingIdsSql);
            while (q.step() == SQLITE_ROW)
                ids.push_back(q.columnInt(0));
        }
        Connection* u = ids.empty() ? nullptr : rawConnection(kUserFile);
        if (!u || !u->writable() || u->exec("BEGIN IMMEDIATE") != SQLITE_OK) {
            m->exec("ROLLBACK");
            return;
        }
        bool ok = true;
        for (int64_t id : ids) {
            Query done(*u, kChangeDone, kChangeDoneSql);
            done.bind(1, id);
            const int rc = done.step();
            if (rc == SQLITE_DONE)
                ok = ok && undoChange(*m, id);
            else if (rc != SQLITE_ROW)
                ok = false;
            ok = ok &&
                 recordChange(*m, "DELETE FROM change_undo WHERE txid = (", id) == SQLITE_OK &&
                 recordChange(*m, "DELETE FROM change_intents WHERE txid = (", id) == SQLITE_OK;
        }
        if (!ok || m->exec("COMMIT") != SQLITE_OK) {
            m->exec("ROLLBACK");
            u->exec("ROLLBACK");
            return;
        }
        RegistryStoreFile::noteCommit();
        for (int64_t id : ids)
            recordChange(*u, "DELETE FROM change_done WHERE txid = (", id);
        if (u->exec("COMMIT") != SQLITE_OK)
            u->exec("ROLLBACK");
    }

  private:
    struct Link {
        std::unique_ptr<Connection> connection;
        bool inGroup = false;  // its part of a group of changes has begun
        int64_t changesAtJoin = 0;
    };

    enum class Use { Read, Write };

    // This accessor's connection to a file: taken from the file's pool on first
    // use, and joined to the caller's group of changes when there is one. Reads
    // run in a snapshot shared across calls (see RegistryStoreFile::startReading);
    // writes end it first, as they must not start from an old snapshot.
    Connection* connect(FileIndex file, RegStatus& status, Use use = Use::Read) {
        Link& link = links_[file];
        if (!link.connection && !rawConnection(file)) {
            status = RegStatus::StoreFailure;
            return nullptr;
        }
        Connection& c = *link.connection;
        if (grouped_ && !wanted_[file] && use == Use::Write) {
            status = RegStatus::InvalidName;  // not one of the group's roots
            return nullptr;
        }
        if (grouped_ && wanted_[file]) {
            if (groupStatus_ != RegStatus::Ok) {
                status = groupStatus_;
                return nullptr;
            }
            if (!link.inGroup) {
                status = join(file, c);
                if (status != RegStatus::Ok) {
                    groupStatus_ = status;
                    return nullptr;
                }
                link.inGroup = true;
                link.changesAtJoin = sqlite3_total_changes64(c.handle());
            } else if (!c.inTransaction()) {
                // An error has ended the group's transaction: the changes made
                // so far are gone, so nothing more may be added to it.
                groupStatus_ = RegStatus::StoreFailure;
                status = RegStatus::StoreFailure;
                return nullptr;
            }
        } else if (use == Use::Write) {
            RegistryStoreFile::stopReading(c);
        } else {
            files_[file]->startReading(c);
        }
        status = RegStatus::Ok;
        return &c;
    }

    // Begins a file's part of the group: its write lock, and on machine.db the
    // recording of undo statements, after settling what a crash left pending.
    RegStatus join(FileIndex file, Connection& c) {
        RegistryStoreFile::stopReading(c);
        if (!c.writable())
            return c.exec("BEGIN") == SQLITE_OK ? RegStatus::Ok : RegStatus::StoreFailure;
        for (int attempt = 0;; ++attempt) {
            if (int rc = c.exec("BEGIN IMMEDIATE"); rc != SQLITE_OK)
                return statusOf(rc);
            int rc = c.exec(RegistryStoreFile::changeTablesSql());
            if (rc == SQLITE_OK && file == kMachineFile) {
                if (attempt == 0 && hasPendingChange(c)) {
                    c.exec("ROLLBACK");
                    settle();
                    continue;
                }
                // Undo statements are needed only when user.db changes too.
                if (!wanted_[kUserFile])
                    return RegStatus::Ok;
                rc = c.exec(kUndoCaptureSql);
                if (rc == SQLITE_OK)
                    rc = recordChange(c, "INSERT INTO temp.undo_scope(txid) VALUES(", changeId_);
            }
            if (rc != SQLITE_OK) {
                c.exec("ROLLBACK");
                return statusOf(rc);
            }
            return RegStatus::Ok;
        }
    }

    // Outside a group: the write transaction of one change. A change of both
    // files that was cut short is settled before machine.db is written again,
    // so nothing lands on top of half of one.
    RegStatus beginChange(FileIndex file, Connection& c, std::optional<Transaction>& transaction) {
        for (int attempt = 0;; ++attempt) {
            transaction.emplace(c);
            if (transaction->beginResult() != SQLITE_OK)
                return writeFailed(file, c, transaction->beginResult());
            if (grouped_ || file != kMachineFile || attempt > 0 || !hasPendingChange(c))
                return RegStatus::Ok;
            transaction.reset();
            settle();
        }
    }

    static bool hasPendingChange(Connection& c) {
        Query q(c, kPendingAny, kPendingAnySql);
        return q.step() == SQLITE_ROW;  // a store without the table has none
    }

    // Runs `sqlPrefix` + id + ")".
    static int recordChange(Connection& c, const char* sqlPrefix, int64_t id) {
        return c.exec((sqlPrefix + std::to_string(id) + ")").c_str());
    }

    static bool undoChange(Connection& c, int64_t id) {
        std::vector<std::string> statements;
        {
            Query q(c, kUndoOfChange, kUndoOfChangeSql);
            q.bind(1, id);
            int rc;
            while ((rc = q.step()) == SQLITE_ROW)
                statements.push_back(q.columnText(0));
            if (rc != SQLITE_DONE)
                return false;
        }
        for (const std::string& sql : statements)
            if (c.exec(sql.c_str()) != SQLITE_OK)
                return false;
        return true;
    }

    bool changedInGroup(const Link& link) const {
        return link.inGroup && link.connection->writable() &&
               sqlite3_total_changes64(link.connection->handle()) != link.changesAtJoin;
    }

    // A group that changed one file (or none) is all-or-nothing by that file's
    // commit alone, and needs no undo statements.
    void commitOneFile() {
        Link& machine = links_[kMachineFile];
        if (machine.inGroup && machine.connection->writable())
            recordChange(*machine.connection, "DELETE FROM change_undo WHERE txid = (", changeId_);
        for (size_t i = 0; i < kFileCount; ++i) {
            Link& link = links_[i];
            if (!link.inGroup)
                continue;
            const int rc = link.connection->exec("COMMIT");
            if (rc != SQLITE_OK) {
                const std::string reason = link.connection->lastError();
                rollback();
                throwSaveError(static_cast<FileIndex>(i), rc, reason);
            }
            RegistryStoreFile::noteCommit();
            link.inGroup = false;
        }
        endGroup();
    }

    // The records of a complete group, machine.db's first: an intent without its
    // change_done would be taken for a group cut short.
    void forgetChange(int64_t id) {
        Connection& m = *links_[kMachineFile].connection;
        if (m.exec("BEGIN IMMEDIATE") != SQLITE_OK)
            return;
        if (recordChange(m, "DELETE FROM change_undo WHERE txid = (", id) != SQLITE_OK ||
            recordChange(m, "DELETE FROM change_intents WHERE txid = (", id) != SQLITE_OK ||
            m.exec("COMMIT") != SQLITE_OK) {
            m.exec("ROLLBACK");
            return;
        }
        recordChange(*links_[kUserFile].connection, "DELETE FROM change_done WHERE txid = (", id);
    }

    void endGroup() {
        for (Link& link : links_) {
            if (link.inGroup && link.connection && link.connection->inTransaction())
                link.connection->exec("ROLLBACK");
            link.inGroup = false;
        }
        if (links_[kMachineFile].connection && links_[kMachineFile].connection->writable())
            links_[kMachineFile].connection->exec("DELETE FROM temp.undo_scope");
        grouped_ = false;
        groupStatus_ = RegStatus::Ok;
    }

    RegistryStoreError saveError(FileIndex file, const std::string& reason) const {
        return RegistryStoreError("The changes to the registry store file '" +
                                  files_[file]->path() + "' could not be saved (" + reason + ")");
    }

    [[noreturn]] void throwSaveError(FileIndex file, int rc, const std::string& reason) {
        if (statusOf(rc) == RegStatus::Busy)
            throw RegistryBusyError();
        RegistryStoreError error = saveError(file, reason);
        failure_ = error.what();
        throw error;
    }

    // The status of a change that failed with `rc`; a failure of the store
    // keeps its reason for failureReason().
    RegStatus writeFailed(FileIndex file, Connection& c, int rc) {
        const RegStatus status = statusOf(rc);
        if (status == RegStatus::StoreFailure)
            failure_ = "The registry store file '" + files_[file]->path() +
                       "' could not be changed (" + Connection::failureText(c.handle(), rc) + ")";
        return status;
    }

    // A file the user may not write denies the change; one that could only be
    // opened for reading (a full disk) fails it, saying why.
    RegStatus readOnly(const Connection& c) {
        if (c.writeFailure().empty())
            return RegStatus::AccessDenied;
        failure_ = c.writeFailure();
        return RegStatus::StoreFailure;
    }

    // The file's connection as it is, out of any snapshot; nullptr when the
    // file cannot be used.
    Connection* rawConnection(FileIndex file) {
        Link& link = links_[file];
        if (!link.connection) {
            link.connection = files_[file]->acquire(&failure_);
            if (!link.connection)
                return nullptr;
            if (patience_ != RegistryStoreFile::kDefaultPatienceMs)
                sqlite3_busy_timeout(link.connection->handle(), patience_);
        }
        RegistryStoreFile::stopReading(*link.connection);
        return link.connection.get();
    }

    // After a change that is committed (not one inside a group, which counts
    // when the group commits).
    void changed() const {
        if (!grouped_)
            RegistryStoreFile::noteCommit();
    }

    const SqliteKey* own(const RegKey& key) const {
        const auto* k = dynamic_cast<const SqliteKey*>(&key);
        return k && k->file == files_[k->fileIndex] ? k : nullptr;
    }

    RegStatus open(FileIndex file, RegRoot root, std::string path, std::string folded,
                   RegAccess access, std::unique_ptr<RegKey>& out) {
        RegStatus status;
        Connection* c = connect(file, status);
        if (!c)
            return status;
        int64_t id = 0;
        if ((status = lookup(*c, folded, id)) != RegStatus::Ok)
            return status;
        // Denied, so that a reader asking for full access reads on; a writer
        // finds out why in failureReason().
        if (access == RegAccess::Full && !c->writable()) {
            readOnly(*c);
            return RegStatus::AccessDenied;
        }
        out = std::make_unique<SqliteKey>(files_[file], file, root, std::move(path),
                                          std::move(folded), id, access);
        return RegStatus::Ok;
    }

    static RegStatus lookup(Connection& c, const std::string& folded, int64_t& id) {
        Query q(c, kFindKey, kFindKeySql);
        q.bindText(1, folded);
        const int rc = q.step();
        if (rc == SQLITE_DONE)
            return RegStatus::NotFound;
        if (rc != SQLITE_ROW)
            return statusOf(rc);
        id = q.columnInt(0);
        return RegStatus::Ok;
    }

    // The keys of a file, grouped by parent, each group in enumKey order.
    struct KeyTree {
        struct Key {
            int64_t parent;
            int64_t id;
            size_t nameAt;  // in `names`
            size_t nameLength;
        };
        std::vector<Key> keys;
        std::string names;

        std::string_view name(uint32_t i) const {
            return {names.data() + keys[i].nameAt, keys[i].nameLength};
        }
        uint32_t firstChild(int64_t parent) const {
            return static_cast<uint32_t>(
                std::lower_bound(keys.begin(), keys.end(), parent,
                                 [](const Key& k, int64_t p) { return k.parent < p; }) -
                keys.begin());
        }
    };

    static RegStatus readKeys(Connection& c, KeyTree& tree) {
        Query q(c, kAllKeys, kAllKeysSql);
        int rc;
        while ((rc = q.step()) == SQLITE_ROW) {
            const std::string_view name = q.columnTextView(2);
            // The roots' parent is NULL, read as 0: no key has that id.
            tree.keys.push_back({q.columnInt(0), q.columnInt(1), tree.names.size(), name.size()});
            tree.names.append(name);
        }
        return rc == SQLITE_DONE ? RegStatus::Ok : statusOf(rc);
    }

    static RegStatus keyExists(Connection& c, int64_t id) {
        Query q(c, kKeyExists, kKeyExistsSql);
        q.bind(1, id);
        const int rc = q.step();
        if (rc == SQLITE_ROW)
            return RegStatus::Ok;
        return rc == SQLITE_DONE ? RegStatus::NotFound : statusOf(rc);
    }

    static RegStatus loadSubkeys(Connection& c, const SqliteKey& k, bool checkKeyExists) {
        k.subkeys.clear();
        k.subkeysLoaded = false;
        Query q(c, kSubkeys, kSubkeysSql);
        q.bind(1, k.id);
        int rc;
        while ((rc = q.step()) == SQLITE_ROW)
            k.subkeys.push_back(q.columnText(0));
        if (rc != SQLITE_DONE) {
            k.subkeys.clear();
            return statusOf(rc);
        }
        if (k.subkeys.empty() && checkKeyExists) {
            if (RegStatus status = keyExists(c, k.id); status != RegStatus::Ok)
                return status;
        }
        k.subkeysLoaded = true;
        return RegStatus::Ok;
    }

    static RegStatus loadValues(Connection& c, const SqliteKey& k) {
        k.values.clear();
        k.valuesLoaded = false;
        Query q(c, kValues, kValuesSql);
        q.bind(1, k.id);
        int rc;
        bool keyFound = false;
        while ((rc = q.step()) == SQLITE_ROW) {
            keyFound = true;
            if (q.columnIsNull(0))
                continue;
            k.values.push_back(
                RegValue{q.columnText(1), static_cast<uint32_t>(q.columnInt(2)), q.columnBlob(3)});
        }
        if (rc != SQLITE_DONE || !keyFound) {
            k.values.clear();
            return rc != SQLITE_DONE ? statusOf(rc) : RegStatus::NotFound;
        }
        k.valuesLoaded = true;
        return RegStatus::Ok;
    }

    StoreFiles files_;
    std::array<Link, kFileCount> links_;
    bool grouped_ = false;
    std::array<bool, kFileCount> wanted_{};  // the files of the group's roots
    RegStatus groupStatus_ = RegStatus::Ok;  // why the group can take no more changes
    int64_t changeId_ = 0;
    std::string failure_;  // why the last change that failed in the store failed
    int patience_ = RegistryStoreFile::kDefaultPatienceMs;
};

}  // namespace

std::unique_ptr<RegistryAccessor> makeSqliteAccessor(StoreFiles files) {
    return std::make_unique<SqliteAccessor>(std::move(files));
}

void settlePendingChanges(StoreFiles files) {
    SqliteAccessor(std::move(files)).settle();
}

}  // namespace vornak::platform::posix
