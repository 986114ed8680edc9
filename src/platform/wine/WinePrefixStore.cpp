// The registry store of a Wine prefix: its three registry files, read live and
// written back in Wine's own format.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "platform/BoundedRead.h"
#include "platform/Utf8.h"
#include "platform/WinePrefix.h"
#include "platform/model/ClassesView.h"
#include "platform/model/RegistryNames.h"
#include "platform/wine/PrefixCommit.h"
#include "platform/wine/WineRegistryFile.h"

namespace vornak::platform {
namespace posix {
namespace {

constexpr int kSystem = 0, kUser = 1, kUserDefault = 2;
const char* const kFileNames[3] = {"system.reg", "user.reg", "userdef.reg"};

struct PrefixFile {
    std::string path;
    std::unique_ptr<WineRegistryFile> model;
    std::string error;  // why the file cannot be used
    bool loaded = false;
    bool pending = false;  // changes not yet written (inside a transaction)
    struct stat seen {};
};

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_ino == b.st_ino && a.st_dev == b.st_dev && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
           a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

class PrefixState {
public:
    explicit PrefixState(std::string prefix) : prefix_(std::move(prefix)), lock_(prefix_) {
        for (int i = 0; i < 3; ++i) files_[i].path = prefix_ + "/" + kFileNames[i];
    }

    std::mutex mutex;
    const std::string& prefix() const { return prefix_; }

    // The file's model, read again when another program has replaced the
    // file; null when it cannot be used.
    WineRegistryFile* model(int index) {
        PrefixFile& f = files_[index];
        if (f.pending) return f.model.get();
        finishInterruptedCommit();
        struct stat st {};
        if (::stat(f.path.c_str(), &st) != 0) {
            f.model.reset();
            f.loaded = false;
            f.error = f.path + ": cannot be read (" + std::strerror(errno) + ")";
            return nullptr;
        }
        if (f.loaded && sameFile(st, f.seen)) return f.model.get();
        // Only the tree of keys is built; sections are read from the file
        // kept open when the program looks inside them.
        std::string why;
        struct stat opened {};
        f.model.reset();
        f.model = WineRegistryFile::open(f.path, why, &opened);
        f.loaded = true;
        f.seen = f.model ? opened : st;
        f.error = why;
        return f.model.get();
    }

    const std::string& error(int index) const { return files_[index].error; }

    // The lock of the prefix's writers, taken without waiting. Whoever takes
    // it first finishes what a writer killed half-way left, so every change
    // starts from whole files.
    bool tryLockWriters() {
        if (lock_.held()) return true;
        if (!lock_.tryLock()) return false;
        if (prefixWriteRefusal(prefix_).empty()) {
            std::string ignored;  // the files as they are are still whole ones
            recoverPrefixFiles(prefix_, ignored);
        }
        return true;
    }
    void unlockWriters() { lock_.unlock(); }

    // After a change: written at once, or at commit inside a transaction.
    // StoreFailure with the reason in `error` when it could not be written.
    RegStatus changed(int index, std::string& error) {
        files_[index].pending = true;
        if (transactionOwner) return RegStatus::Ok;
        if (!writePending(error)) {
            discard(index);
            return RegStatus::StoreFailure;
        }
        return RegStatus::Ok;
    }

    // Every file with changes, all or none of them.
    bool writePending(std::string& error) {
        const std::string refusal = prefixWriteRefusal(prefix_);
        if (!refusal.empty()) {
            error = refusal;
            return false;
        }
        std::vector<NewPrefixFile> out;
        std::vector<int> written;
        for (int i = 0; i < 3; ++i) {
            PrefixFile& f = files_[i];
            if (!f.pending) continue;
            // Wine does not take our lock.
            struct stat now {};
            if (::stat(f.path.c_str(), &now) != 0 || !sameFile(now, f.seen)) {
                error = f.path + ": changed by another program meanwhile; nothing was changed";
                return false;
            }
            out.push_back({kFileNames[i], f.model->pieces(), now.st_mode, now.st_uid, now.st_gid});
            written.push_back(i);
        }
        if (!commitPrefixFiles(prefix_, out, error)) return false;
        for (int i : written) {
            ::stat(files_[i].path.c_str(), &files_[i].seen);
            files_[i].pending = false;
        }
        return true;
    }

    void discardAll() {
        for (int i = 0; i < 3; ++i)
            if (files_[i].pending) discard(i);
    }

    // The accessor whose transaction is open: the changes of the others wait
    // for its end, so a rollback never takes theirs along.
    const void* transactionOwner = nullptr;
    std::condition_variable turn;

private:
    void discard(int index) {
        files_[index].pending = false;
        files_[index].loaded = false;
        files_[index].model.reset();
    }

    // A reader too finishes a commit that a crash cut short, so it never
    // shows half of it; one under way in another process is left to it.
    void finishInterruptedCommit() {
        if (lock_.held() || !prefixCommitPending(prefix_) || !lock_.tryLock()) return;
        if (prefixWriteRefusal(prefix_).empty()) {
            std::string ignored;
            recoverPrefixFiles(prefix_, ignored);
        }
        lock_.unlock();
    }

    std::string prefix_;
    PrefixWriteLock lock_;
    PrefixFile files_[3];
};

class PrefixKey final : public RegKey {
public:
    PrefixKey(const PrefixState* owner, RegRoot root, std::string path, bool full, bool link = false)
        : owner_(owner), root_(root), path_(std::move(path)), full_(full), link_(link) {}
    RegRoot root() const override { return root_; }
    const std::string& path() const override { return path_; }
    bool isLink() const override { return link_; }
    const PrefixState* owner() const { return owner_; }
    bool full() const { return full_; }

private:
    const PrefixState* owner_;
    RegRoot root_;
    std::string path_;
    bool full_;
    bool link_;
};

// Where a key of the program's roots lives in the prefix's files.
struct Place {
    int file = -1;  // -1: HKEY_USERS itself, which lists .Default
    std::vector<std::string> names;
};

bool locate(RegRoot root, const std::string& path, Place& place) {
    std::vector<std::string_view> parts;
    if (!splitKeyPath(path, parts)) return false;
    std::vector<std::string> names(parts.begin(), parts.end());
    switch (root) {
        case RegRoot::LocalMachine:
            place.file = kSystem;
            break;
        case RegRoot::ClassesRoot:
            return false;  // the merged view of both Classes keys, served above this store
        case RegRoot::CurrentConfig:
            place.file = kSystem;
            place.names = {"System", "CurrentControlSet", "Hardware Profiles", "Current"};
            break;
        case RegRoot::CurrentUser:
            place.file = kUser;
            break;
        case RegRoot::Users:
            if (names.empty()) {
                place.file = -1;
                return true;
            }
            if (foldName(names[0]) != ".default") {
                place.file = -2;  // no such user here
                return true;
            }
            place.file = kUserDefault;
            names.erase(names.begin());
            break;
    }
    place.names.insert(place.names.end(), names.begin(), names.end());
    return true;
}

// Wine's link keys ("#link" with a REG_LINK SymbolicLinkValue naming
// \Registry\Machine\... or \Registry\User\<sid>\...), as Windows follows them.
constexpr uint32_t kRegLink = 6;
constexpr int kMaxLinkHops = 16;

bool linkTarget(const WineSection& key, int& file, std::vector<std::string>& names) {
    const WineValue* link = nullptr;
    for (const auto& v : key.values)
        if (v.type == kRegLink && foldName(v.name) == "symboliclinkvalue") link = &v;
    if (!link) return false;
    std::string target;
    for (size_t i = 0; i + 1 < link->data.size(); i += 2) {
        const char32_t unit = static_cast<unsigned char>(link->data[i]) |
                              static_cast<char32_t>(static_cast<unsigned char>(link->data[i + 1])) << 8;
        if (unit == 0) break;
        appendUtf8(target, unit);
    }
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t end = target.find('\\', start);
        const std::string part = target.substr(start, end == std::string::npos ? end : end - start);
        if (!part.empty()) parts.push_back(part);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (parts.size() < 2 || foldName(parts[0]) != "registry") return false;
    const std::string hive = foldName(parts[1]);
    size_t first = 2;
    if (hive == "machine") {
        file = kSystem;
    } else if (hive == "user" && parts.size() > 2) {
        // The prefix has one user: every other SID is user.reg's.
        file = foldName(parts[2]) == ".default" ? kUserDefault : kUser;
        first = 3;
    } else {
        return false;
    }
    names.assign(parts.begin() + static_cast<std::ptrdiff_t>(first), parts.end());
    return true;
}

// Where a path ends up in the prefix's files once its links are followed.
struct Walked {
    int file = -1;
    std::vector<std::string> names;  // below that file's root
    WineRegistryFile* model = nullptr;
    WineKey* key = nullptr;  // null: the names from `missing` on do not exist
    size_t missing = 0;
    bool lastIsLink = false;
    bool broken = false;  // a link that leads nowhere (or round in a circle)
};

struct Listing {
    RegRoot root{};
    std::string path;
    std::vector<std::string> subkeys;
    std::vector<RegValue> values;
    bool valid = false;
};

class PrefixAccessor final : public RegistryAccessor {
public:
    explicit PrefixAccessor(std::shared_ptr<PrefixState> state) : state_(std::move(state)) {}
    ~PrefixAccessor() override {
        if (ownsTransaction_) rollback();
    }

    RegStatus openKey(RegRoot root, const std::string& path, RegAccess access,
                      std::unique_ptr<RegKey>& out) override {
        std::lock_guard lock(state_->mutex);
        Place place;
        if (!locate(root, path, place)) return RegStatus::InvalidName;
        WineKey* key = nullptr;
        bool link = false;
        if (const RegStatus s = resolve(place, key, nullptr, nullptr, &link); s != RegStatus::Ok) return s;
        out = std::make_unique<PrefixKey>(state_.get(), root, trimmed(path), access == RegAccess::Full, link);
        return RegStatus::Ok;
    }

    RegStatus createKey(RegRoot root, const std::string& path, RegAccess access,
                        std::unique_ptr<RegKey>& out, bool* created) override {
        std::unique_lock lock(state_->mutex);
        Place place;
        if (!locate(root, path, place)) return RegStatus::InvalidName;
        if (place.file == -1 || place.file == -2) {
            WineKey* key = nullptr;
            if (const RegStatus s = resolve(place, key); s != RegStatus::Ok)
                return s == RegStatus::NotFound ? RegStatus::AccessDenied : s;
            if (created) *created = false;
            out = std::make_unique<PrefixKey>(state_.get(), root, trimmed(path), access == RegAccess::Full);
            return RegStatus::Ok;
        }
        Walked w;
        RegStatus found = walk(place, w);
        // A key that is there needs no writer's turn; one that is not is
        // looked for again once no other writer can make it meanwhile.
        WriteTurn turn(*state_);
        if (found == RegStatus::NotFound) {
            if (!takeWriteTurn(lock, turn)) return RegStatus::Busy;
            found = walk(place, w);
        }
        if (found == RegStatus::StoreFailure) return found;
        bool made = false;
        if (found == RegStatus::NotFound) {
            if (w.broken) return RegStatus::AccessDenied;
            // Made where the path leads, the part behind a link in the link's target.
            if (writesRefused(w.file)) return RegStatus::AccessDenied;
            w.model->create(w.names, &made);
            if (const RegStatus s = state_->changed(w.file, failure_); s != RegStatus::Ok) return s;
        }
        if (created) *created = made;
        out = std::make_unique<PrefixKey>(state_.get(), root, trimmed(path), access == RegAccess::Full,
                                          w.lastIsLink);
        return RegStatus::Ok;
    }

    RegStatus openSubKey(const RegKey& key, const std::string& subPath, RegAccess access,
                         std::unique_ptr<RegKey>& out) override {
        const PrefixKey* k = ours(key);
        if (!k) return RegStatus::InvalidName;
        if (subPath.empty()) return openKey(k->root(), k->path(), access, out);
        return openKey(k->root(), k->path().empty() ? subPath : k->path() + "\\" + subPath, access, out);
    }

    RegStatus queryInfo(const RegKey& key, RegKeyInfo& info) override {
        if (const RegStatus s = list(key); s != RegStatus::Ok) return s;
        info = {};
        info.subkeyCount = static_cast<uint32_t>(listing_.subkeys.size());
        info.valueCount = static_cast<uint32_t>(listing_.values.size());
        for (const auto& name : listing_.subkeys)
            info.maxSubkeyNameLength = std::max(info.maxSubkeyNameLength, static_cast<uint32_t>(name.size()));
        for (const auto& value : listing_.values)
            info.maxValueNameLength =
                std::max(info.maxValueNameLength, static_cast<uint32_t>(value.name.size()));
        fresh_ = true;
        return RegStatus::Ok;
    }

    RegStatus enumKey(const RegKey& key, uint32_t index, std::string& name) override {
        if (const RegStatus s = listingFor(key, index); s != RegStatus::Ok) return s;
        if (index >= listing_.subkeys.size()) return RegStatus::NotFound;
        name = listing_.subkeys[index];
        return RegStatus::Ok;
    }

    RegStatus enumValue(const RegKey& key, uint32_t index, RegValue& value) override {
        if (const RegStatus s = listingFor(key, index); s != RegStatus::Ok) return s;
        if (index >= listing_.values.size()) return RegStatus::NotFound;
        value = listing_.values[index];
        return RegStatus::Ok;
    }

    RegStatus queryValue(const RegKey& key, const std::string& name, RegValue& value) override {
        std::lock_guard lock(state_->mutex);
        WineKey* k = nullptr;
        WineRegistryFile* model = nullptr;
        if (const RegStatus s = resolveKey(key, k, nullptr, &model); s != RegStatus::Ok) return s;
        if (!k) return RegStatus::NotFound;
        WineSection scratch;
        const WineSection* section = model->view(*k, scratch, failure_);
        if (!section) return RegStatus::StoreFailure;
        const std::string folded = foldName(name);
        for (const auto& v : section->values)
            if (foldName(v.name) == folded) {
                value = {v.name, v.type, v.data};
                return RegStatus::Ok;
            }
        return RegStatus::NotFound;
    }

    RegStatus setValue(const RegKey& key, const std::string& name, uint32_t type,
                       const std::string& data) override {
        std::unique_lock lock(state_->mutex);
        if (!isValidValueName(name)) return RegStatus::InvalidName;
        WriteTurn turn(*state_);
        if (!takeWriteTurn(lock, turn)) return RegStatus::Busy;
        int file = -1;
        WineKey* k = nullptr;
        WineRegistryFile* model = nullptr;
        if (const RegStatus s = writableKey(key, k, file, model); s != RegStatus::Ok) return s;
        WineSection* section = model->edit(*k, failure_);
        if (!section) return RegStatus::StoreFailure;
        const std::string folded = foldName(name);
        WineValue* target = nullptr;
        for (auto& v : section->values)
            if (foldName(v.name) == folded) target = &v;
        if (!target) {
            section->values.push_back({name, 0, {}, {}});
            target = &section->values.back();
        }
        target->type = type;
        target->data = data;
        target->raw.clear();
        if (!model->touch(*k, failure_)) return RegStatus::StoreFailure;
        return state_->changed(file, failure_);
    }

    RegStatus deleteValue(const RegKey& key, const std::string& name) override {
        std::unique_lock lock(state_->mutex);
        WriteTurn turn(*state_);
        if (!takeWriteTurn(lock, turn)) return RegStatus::Busy;
        int file = -1;
        WineKey* k = nullptr;
        WineRegistryFile* model = nullptr;
        if (const RegStatus s = writableKey(key, k, file, model); s != RegStatus::Ok) return s;
        WineSection* section = model->edit(*k, failure_);
        if (!section) return RegStatus::StoreFailure;
        const std::string folded = foldName(name);
        for (auto it = section->values.begin(); it != section->values.end(); ++it)
            if (foldName(it->name) == folded) {
                section->values.erase(it);
                if (!model->touch(*k, failure_)) return RegStatus::StoreFailure;
                return state_->changed(file, failure_);
            }
        return RegStatus::NotFound;
    }

    RegStatus deleteKey(const RegKey& key, const std::string& subPath) override {
        std::unique_lock lock(state_->mutex);
        WriteTurn turn(*state_);
        if (!takeWriteTurn(lock, turn)) return RegStatus::Busy;
        const PrefixKey* k = ours(key);
        if (!k) return RegStatus::InvalidName;
        std::vector<std::string_view> parts;
        if (subPath.empty() || !splitKeyPath(subPath, parts)) return RegStatus::InvalidName;
        Place place;
        if (!locate(k->root(), k->path().empty() ? subPath : k->path() + "\\" + subPath, place))
            return RegStatus::InvalidName;
        if (place.file == -2) return RegStatus::NotFound;
        if (place.file < 0 || place.names.empty()) return RegStatus::AccessDenied;
        Walked w;
        if (const RegStatus s = walk(place, w, false); s != RegStatus::Ok) return s;
        if (!w.key->parent) return RegStatus::AccessDenied;
        if (!w.key->children.empty()) return RegStatus::HasSubkeys;
        if (writesRefused(w.file)) return RegStatus::AccessDenied;
        w.model->remove(*w.key);
        return state_->changed(w.file, failure_);
    }

    // The prefix's files are written together at commit, so the roots a group
    // names need no locks of their own. The writers' lock is held from here to
    // the end of the group, and every file the group changes is read under it.
    void beginTransaction(const std::vector<RegRoot>& /*roots*/) override {
        std::unique_lock lock(state_->mutex);
        if (ownsTransaction_) return;
        WriteTurn turn(*state_);
        if (!takeWriteTurn(lock, turn)) throw RegistryBusyError();
        turn.release = false;  // kept until commit or rollback
        state_->transactionOwner = this;
        ownsTransaction_ = true;
    }

    void commit() override {
        std::lock_guard lock(state_->mutex);
        if (!ownsTransaction_) return;
        std::string error;
        const bool written = state_->writePending(error);
        if (!written) state_->discardAll();
        endTransaction();
        if (!written) {
            failure_ = error;
            throw RegistryStoreError(error);
        }
    }

    void rollback() override {
        std::lock_guard lock(state_->mutex);
        if (!ownsTransaction_) return;
        state_->discardAll();
        endTransaction();
    }

    std::string failureReason() const override { return failure_; }

    void setPatience(std::chrono::milliseconds patience) override { patience_ = patience; }

private:
    static std::string trimmed(const std::string& path) {
        return path.size() > 1 && path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    }

    const PrefixKey* ours(const RegKey& key) const {
        const auto* k = dynamic_cast<const PrefixKey*>(&key);
        return k && k->owner() == state_.get() ? k : nullptr;
    }

    // Gives the writers' lock back at the end of a change made outside a group.
    struct WriteTurn {
        explicit WriteTurn(PrefixState& s) : state(s) {}
        ~WriteTurn() {
            if (release) state.unlockWriters();
        }
        PrefixState& state;
        bool release = false;
    };

    // This accessor's turn to change the files: no other accessor's group open
    // in this process and the prefix's writers' lock held, which another
    // process may hold for a while. False when that takes longer than the
    // patience (as long as a store file's busy timeout would).
    bool takeWriteTurn(std::unique_lock<std::mutex>& lock, WriteTurn& turn) {
        if (ownsTransaction_) return true;
        const auto deadline = std::chrono::steady_clock::now() + patience_;
        auto pause = std::chrono::milliseconds(1);
        for (;;) {
            if (!state_->turn.wait_until(lock, deadline, [&] {
                    return !state_->transactionOwner || state_->transactionOwner == this;
                }))
                return false;
            if (state_->tryLockWriters()) {
                turn.release = true;
                return true;
            }
            if (std::chrono::steady_clock::now() >= deadline) return false;
            // Without the mutex, so this process's readers go on meanwhile.
            lock.unlock();
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(20));
            lock.lock();
        }
    }

    void endTransaction() {
        ownsTransaction_ = false;
        state_->transactionOwner = nullptr;
        state_->unlockWriters();
        state_->turn.notify_all();
    }

    // While Wine runs in the prefix, and for a file the user may not replace
    // (one without any write permission bit counts so for root too).
    bool writesRefused(int file) const {
        if (!prefixWriteRefusal(state_->prefix()).empty()) return true;
        const std::string path = state_->prefix() + "/" + kFileNames[file];
        struct stat st {};
        return ::stat(path.c_str(), &st) != 0 || (st.st_mode & 0222) == 0 ||
               ::access(path.c_str(), W_OK) != 0 || ::access(state_->prefix().c_str(), W_OK) != 0;
    }

    // Follows the links on the way; the last name's link too unless
    // `followLast` is false (deleting a link deletes the link, not its target).
    RegStatus walk(const Place& place, Walked& w, bool followLast = true) {
        w = {};
        w.file = place.file;
        w.names = place.names;
        for (int hops = 0;;) {
            w.model = state_->model(w.file);
            if (!w.model) {
                failure_ = state_->error(w.file);
                return RegStatus::StoreFailure;
            }
            WineKey* k = &w.model->root();
            bool jumped = false;
            for (size_t i = 0; i < w.names.size(); ++i) {
                WineKey* next = w.model->child(*k, w.names[i]);
                if (!next) {
                    w.missing = i;
                    return RegStatus::NotFound;
                }
                k = next;
                const bool last = i + 1 == w.names.size();
                if (!k->link || (last && !followLast)) continue;
                WineSection scratch;
                const WineSection* section = w.model->view(*k, scratch, failure_);
                if (!section) return RegStatus::StoreFailure;
                int file = -1;
                std::vector<std::string> target;
                if (++hops > kMaxLinkHops || !linkTarget(*section, file, target)) {
                    w.missing = i;
                    w.broken = true;
                    return RegStatus::NotFound;
                }
                w.lastIsLink = last;
                target.insert(target.end(), w.names.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                              w.names.end());
                w.file = file;
                w.names = std::move(target);
                jumped = true;
                break;
            }
            if (!jumped) {
                w.key = k;
                return RegStatus::Ok;
            }
        }
    }

    // The key at `place`; null with Ok for HKEY_USERS itself.
    RegStatus resolve(const Place& place, WineKey*& key, WineRegistryFile** model = nullptr,
                      int* fileIndex = nullptr, bool* lastIsLink = nullptr) {
        key = nullptr;
        if (place.file == -1) return RegStatus::Ok;
        if (place.file == -2) return RegStatus::NotFound;
        Walked w;
        const RegStatus s = walk(place, w);
        if (s != RegStatus::Ok) return s;
        key = w.key;
        if (model) *model = w.model;
        if (fileIndex) *fileIndex = w.file;
        if (lastIsLink) *lastIsLink = w.lastIsLink;
        return RegStatus::Ok;
    }

    RegStatus resolveKey(const RegKey& key, WineKey*& out, int* fileIndex = nullptr,
                         WineRegistryFile** model = nullptr) {
        const PrefixKey* k = ours(key);
        if (!k) return RegStatus::InvalidName;
        Place place;
        if (!locate(k->root(), k->path(), place)) return RegStatus::InvalidName;
        if (fileIndex) *fileIndex = place.file;
        return resolve(place, out, model, fileIndex);
    }

    RegStatus writableKey(const RegKey& key, WineKey*& out, int& file, WineRegistryFile*& model) {
        const PrefixKey* k = ours(key);
        if (!k) return RegStatus::InvalidName;
        if (const RegStatus s = resolveKey(key, out, &file, &model); s != RegStatus::Ok) return s;
        if (!out || !k->full() || writesRefused(file)) return RegStatus::AccessDenied;
        return RegStatus::Ok;
    }

    RegStatus listingFor(const RegKey& key, uint32_t index) {
        const bool same = listing_.valid && listing_.root == key.root() && listing_.path == key.path();
        if (index == 0 && !(fresh_ && same)) {
            if (const RegStatus s = list(key); s != RegStatus::Ok) return s;
        } else if (!same) {
            if (const RegStatus s = list(key); s != RegStatus::Ok) return s;
        }
        fresh_ = false;
        return RegStatus::Ok;
    }

    RegStatus list(const RegKey& key) {
        std::lock_guard lock(state_->mutex);
        listing_.valid = false;
        WineKey* k = nullptr;
        WineRegistryFile* model = nullptr;
        if (const RegStatus s = resolveKey(key, k, nullptr, &model); s != RegStatus::Ok) return s;
        listing_.root = key.root();
        listing_.path = key.path();
        listing_.subkeys.clear();
        listing_.values.clear();
        if (!k) {
            listing_.subkeys.push_back(".Default");
        } else {
            WineSection scratch;
            const WineSection* section = model->view(*k, scratch, failure_);
            if (!section) return RegStatus::StoreFailure;
            for (const WineKey* child : k->children) listing_.subkeys.emplace_back(child->name);
            for (const auto& v : section->values) listing_.values.push_back({v.name, v.type, v.data});
        }
        listing_.valid = true;
        return RegStatus::Ok;
    }

    std::shared_ptr<PrefixState> state_;
    Listing listing_;
    bool fresh_ = false;  // queryInfo has just read the listing
    bool ownsTransaction_ = false;
    std::string failure_;  // why the last operation that gave StoreFailure failed
    std::chrono::milliseconds patience_{std::chrono::seconds(10)};
};

class PrefixRegistryStore final : public RegistryStore {
public:
    explicit PrefixRegistryStore(std::string prefix)
        : state_(std::make_shared<PrefixState>(std::move(prefix))) {}

    std::unique_ptr<RegistryAccessor> accessor() override {
        return withMergedClasses(std::make_unique<PrefixAccessor>(state_));
    }

    void check() override {
        std::lock_guard lock(state_->mutex);
        for (int i = 0; i < 3; ++i)
            if (!state_->model(i)) throw RegistryStoreError(state_->error(i));
    }

    std::string location() const override { return state_->prefix(); }
    bool isWinePrefix() const override { return true; }
    std::string writeRefusal() const override { return prefixWriteRefusal(state_->prefix()); }

private:
    std::shared_ptr<PrefixState> state_;
};

// The folder name a Debian-patched Wine records in the prefix for its server
// folder below /tmp (upstream uses /tmp/.wine-<uid>).
std::vector<std::string> serverRoots(const std::string& prefix) {
    std::vector<std::string> roots{"/tmp/.wine-" + std::to_string(::getuid())};
    const std::string note =
        readBoundedFile(prefix + "/wineserver", readLimits::kNote).value_or(std::string());
    const std::string name = note.substr(0, note.find('\n'));
    if (!name.empty() && name.find('/') == std::string::npos && name != "." && name != "..") {
        roots.push_back("/tmp/" + name);
        if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp) roots.push_back(std::string(tmp) + "/" + name);
    }
    return roots;
}

}  // namespace
}  // namespace posix

std::string configuredWinePrefix() {
    const char* dir = std::getenv("VORNAK_WINEPREFIX");
    return dir && *dir ? dir : std::string();
}

std::shared_ptr<RegistryStore> openPrefixRegistryStore(const std::string& prefixDir) {
    std::string dir = prefixDir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return std::make_shared<posix::PrefixRegistryStore>(dir);
}

bool prefixServerRunning(const std::string& prefixDir) {
    struct stat st {};
    if (::stat(prefixDir.c_str(), &st) != 0) return false;
    char name[64];
    std::snprintf(name, sizeof name, "/server-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    for (const auto& root : posix::serverRoots(prefixDir)) {
        const std::string lock = root + name + "/lock";
        const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) continue;
        // The server holds a write lock on the whole file for as long as it runs.
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        const bool held = ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
        ::close(fd);
        if (held) return true;
    }
    return false;
}

std::string prefixWriteRefusal(const std::string& prefixDir) {
    if (!prefixServerRunning(prefixDir)) return {};
    return "Wine is running in the prefix " + prefixDir +
           ": its registry cannot be changed until Wine ends there, as Wine would overwrite the "
           "change (close its programs, or wait with: WINEPREFIX=\"" + prefixDir + "\" wineserver -w)";
}

}  // namespace vornak::platform
