// The registry as the program sees it: five roots of keys with typed values.
// Modelled on the advapi32 calls we need, so a Win32 backend can implement it
// one call for one call; off Windows it lives in SQLite files (posix/).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::platform {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// Value types with their Windows numbers.
enum RegType : uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
    kRegQword = 11,
};

enum class RegAccess {
    Read,  // KEY_READ
    Full,  // KEY_ALL_ACCESS
};

enum class RegStatus {
    Ok,
    NotFound,      // ERROR_FILE_NOT_FOUND
    AccessDenied,  // ERROR_ACCESS_DENIED
    InvalidName,   // ERROR_INVALID_PARAMETER / bad name
    HasSubkeys,    // ERROR_ACCESS_DENIED from RegDeleteKey on a non-empty key
    StoreFailure,  // the backing store itself failed (damaged file, I/O error)
    Busy,          // another program kept the store locked for longer than we wait
};

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

// Name lengths count bytes of the 8-bit text, as the ANSI calls count them.
struct RegKeyInfo {
    uint32_t subkeyCount = 0;
    uint32_t maxSubkeyNameLength = 0;
    uint32_t valueCount = 0;
    uint32_t maxValueNameLength = 0;
};

struct RegValue {
    std::string name;
    uint32_t type = kRegNone;
    std::string data;  // the exact bytes
};

// One subkey as RegistryAccessor::readSubkeyValues gives it: its name and the
// values asked for, in the order asked, each empty where the subkey has none.
struct SubkeyValues {
    std::string name;
    std::vector<std::optional<RegValue>> values;
};

// Raised for a store that cannot be used at all (not a database, damaged,
// unreadable). The message names the file.
class RegistryStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised by a group of changes that could not get at the store because another
// program kept it locked; nothing of the group was kept.
class RegistryBusyError : public RegistryStoreError {
public:
    RegistryBusyError() : RegistryStoreError(kMessage) {}
    static constexpr const char* kMessage =
        "The registry is in use by another program and nothing was changed.";
};

// An open key. Handles are RAII: they close on destruction. A handle stays safe
// to use when its key is deleted meanwhile: operations on it then give NotFound.
class RegKey {
public:
    virtual ~RegKey() = default;
    virtual RegRoot root() const = 0;
    // Path below the root without leading backslash; empty for the root itself.
    virtual const std::string& path() const = 0;
    // Whether the path's last name is a link key (Wine's #link keys): the handle
    // reads and writes the key the link points to. A walk over the registry
    // does not go through links, or it would meet their targets twice.
    virtual bool isLink() const { return false; }
};

// The name rules every store applies, whatever its host accepts beyond them.
// A key path split into its names; false when the path is not valid: an empty
// name (leading or doubled backslash), a name longer than kMaxKeyNameLength
// bytes, or a NUL byte. One trailing backslash is allowed and ignored, as
// RegCreateKeyEx allows it. The empty path has no names.
bool splitKeyPath(std::string_view path, std::vector<std::string_view>& names);
bool isValidValueName(std::string_view name);

// What a walk over a subtree (RegistryAccessor::walk) reports: each key,
// then its values, then which of its subkeys to go into; those follow in
// enumKey order, each with everything below it.
class RegWalkVisitor {
public:
    virtual ~RegWalkVisitor() = default;
    // A key reached. `path` is its place below the key the walk began at,
    // names joined by backslashes (empty for that key). Nothing more of it
    // follows when `status` is not Ok (it could not be opened) or it is a link.
    virtual void key(std::string_view path, RegStatus status, bool isLink) = 0;
    // A value of the last key reached, in enumValue order. The views last
    // until the call returns.
    virtual void value(std::string_view name, uint32_t type, std::string_view data) = 0;
    // Whether to walk the subkey `name` of the key at `path`. Asked for every
    // subkey in order, after the key's values and before the first subkey.
    virtual bool wantSubkey(std::string_view path, std::string_view name) = 0;
    // A listing of the last key reached could not be finished; what it gave
    // before stands.
    virtual void listingFailed(RegStatus status) = 0;
};

// One accessor: owns one connection to the store, used by one thread at a time.
// Off Windows its reads may come from a snapshot up to 20 ms old as far as other
// processes' changes go; changes committed in this process are always seen.
// While it lives it may hold that snapshot, so do not keep one idle for long.
// Key names may not be empty, contain a backslash or exceed kMaxKeyNameLength;
// a path may end in one backslash, which is ignored. Any other misuse, and a key
// handle from another store, give InvalidName. On a store that cannot be used
// (see RegistryStore::check) every operation gives StoreFailure.
class RegistryAccessor {
public:
    virtual ~RegistryAccessor() = default;

    // RegOpenKeyEx / RegCreateKeyEx. `path` is relative to the root, components
    // separated by backslashes, no leading backslash; empty opens the root.
    virtual RegStatus openKey(RegRoot root, const std::string& path, RegAccess access,
                              std::unique_ptr<RegKey>& out) = 0;
    // Creates every missing component. `created` tells whether the last one was new.
    virtual RegStatus createKey(RegRoot root, const std::string& path, RegAccess access,
                                std::unique_ptr<RegKey>& out, bool* created = nullptr) = 0;
    // Opens a subkey relative to an open key (RegOpenKeyEx with hKey = key).
    virtual RegStatus openSubKey(const RegKey& key, const std::string& subPath, RegAccess access,
                                 std::unique_ptr<RegKey>& out) = 0;

    // Also reads the key's subkey and value listings for the enumerations below.
    virtual RegStatus queryInfo(const RegKey& key, RegKeyInfo& info) = 0;
    // The enumerations read the whole listing at index 0 (or take the one that
    // queryInfo has just read) and serve the other indexes from it, so a walk
    // costs one query per key; asking for index 0 again reads afresh.
    // RegEnumKeyEx: subkeys in case-insensitive name order (by folded case, code
    // point order). NotFound past the end.
    virtual RegStatus enumKey(const RegKey& key, uint32_t index, std::string& name) = 0;
    // RegEnumValue: values in creation order, with type and data (use these rather
    // than a queryValue per name when walking). NotFound past the end.
    virtual RegStatus enumValue(const RegKey& key, uint32_t index, RegValue& value) = 0;
    // RegQueryValueEx. The empty name is the default value.
    virtual RegStatus queryValue(const RegKey& key, const std::string& name, RegValue& value) = 0;
    // The values named `names` of every subkey of `key`, the subkeys in enumKey's
    // order. A list of thousands of keys that needs a few values of each (the
    // installed programs) would otherwise pay an open and a query per key and
    // value, more than the values themselves cost. A subkey that cannot be
    // opened is left out; a value that cannot be read counts as missing. The
    // default asks queryInfo, enumKey, openSubKey and queryValue; a store that
    // can answer it whole does so.
    virtual RegStatus readSubkeyValues(const RegKey& key, const std::vector<std::string>& names,
                                       std::vector<SubkeyValues>& out);
    // RegSetValueEx; needs a key opened with full access. Replacing a value keeps
    // its place in the enumeration (and the letter case of its name).
    virtual RegStatus setValue(const RegKey& key, const std::string& name, uint32_t type,
                               const std::string& data) = 0;
    virtual RegStatus deleteValue(const RegKey& key, const std::string& name) = 0;
    // RegDeleteKey: deletes the subkey `subPath` of `key`; fails with HasSubkeys
    // when it still has subkeys (its values go with it).
    virtual RegStatus deleteKey(const RegKey& key, const std::string& subPath) = 0;

    // Everything below `key` and the key itself, parents before children, as
    // openSubKey, enumValue and enumKey would give it key by key. A store that
    // can read a subtree in fewer round trips does so.
    virtual void walk(const RegKey& key, RegWalkVisitor& visitor);

    // Several changes made all-or-nothing (import of a registry file): after
    // beginTransaction the operations commit nothing on their own (a failed one
    // undoes only its own part) until commit(). commit() throws RegistryStoreError
    // (RegistryBusyError when the store was in use) when the changes cannot be
    // saved; then none of them is kept. This holds across a crash too, also for a
    // group that changes both HKEY_CURRENT_USER and a machine root: a group cut
    // short between the two is undone the next time the store is used.
    // `roots` are the roots the group will change: their locks are taken at once,
    // always in the same order, so two groups never wait for each other in a
    // circle. Empty means every root. A change to a root of another store file
    // than those named gives InvalidName; reads of it stay outside the group.
    // When a lock cannot be had, every operation of the group gives Busy.
    // Destroying the accessor rolls back. On Windows the registry has no
    // transactions: others see each change at once, and a rollback puts back
    // what the changes replaced.
    virtual void beginTransaction(const std::vector<RegRoot>& roots = {}) = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;

    // How long an operation waits while another program holds the store's write
    // lock before it gives Busy. The default suits a command; a window that must
    // not freeze asks for less.
    virtual void setPatience(std::chrono::milliseconds patience) = 0;

    // Why the last operation that gave StoreFailure (or the last commit that
    // threw) failed: the file and the system's reason, such as "No space left
    // on device". Empty when the store does not know more than the status.
    virtual std::string failureReason() const { return {}; }
};

// Every subkey name / every value of an open key, by index until the store
// says there are no more, appended to `out`. What was listed before a failure
// stays in `out`, and the failure is returned.
RegStatus listSubkeyNames(RegistryAccessor& accessor, const RegKey& key, std::vector<std::string>& out);
RegStatus listValues(RegistryAccessor& accessor, const RegKey& key, std::vector<RegValue>& out);

// A registry store: where the five roots live. Thread-safe; every thread asks
// for its own accessor.
class RegistryStore {
public:
    virtual ~RegistryStore() = default;
    // Cheap: accessors reuse idle connections. Never throws for a damaged store;
    // the accessor's operations give StoreFailure instead.
    virtual std::unique_ptr<RegistryAccessor> accessor() = 0;
    // Checks that the store files can be used; throws RegistryStoreError if not,
    // with a message naming the file. It opens both files (creating missing
    // ones) and recognises them as ours; damage deeper inside a file shows as
    // StoreFailure of the operation that meets it. Settles a change that a
    // crash has cut short (see RegistryAccessor::beginTransaction).
    virtual void check() = 0;
    // Human-readable location, for messages.
    virtual std::string location() const = 0;
    // Whether this is a Wine prefix's registry, which Wine itself changes in
    // a few places every time it starts.
    virtual bool isWinePrefix() const { return false; }
    // Why changes are refused now as a whole (Wine running in the prefix),
    // naming what to do; empty when they are not.
    virtual std::string writeRefusal() const { return {}; }
};

// The store of this host: on Windows the real registry, elsewhere the SQLite
// store in `dir` (created on first use): machine.db holds HKLM, HKCR, HKU and
// HKCC, user.db HKCU. A store file the user cannot write (or one without any
// write permission bit, so this holds for root too) opens read-only: full access
// to its keys is then denied. A file that is not a registry database is never
// changed or replaced; only a missing or empty (0-byte) file is made a store.
std::shared_ptr<RegistryStore> openRegistryStore(const std::string& dir);
// $VORNAK_REGISTRY_DIR, else $XDG_DATA_HOME/vornak/registry, else ~/.local/share/vornak/registry.
// On Windows a store is the real registry when `dir` is empty (the default without
// $VORNAK_REGISTRY_DIR), else a private key below HKEY_CURRENT_USER named after `dir`.
std::string defaultRegistryDir();

// The store that the program (and the eight access functions) use. Created from
// defaultRegistryDir() on first use unless one has been set.
std::shared_ptr<RegistryStore> defaultRegistryStore();
void setDefaultRegistryStore(std::shared_ptr<RegistryStore> store);
// The store of the program's own settings key: the machine's own store, also
// while a Wine prefix is the default store (the settings must be read before a
// prefix is chosen, and are not the prefix's to keep). Unless one has been set,
// it is the default store, or with $VORNAK_WINEPREFIX the store of
// defaultRegistryDir().
std::shared_ptr<RegistryStore> settingsRegistryStore();
void setSettingsRegistryStore(std::shared_ptr<RegistryStore> store);

// Root names as reg.exe and regedit spell them.
const char* rootLongName(RegRoot root);   // HKEY_LOCAL_MACHINE
const char* rootShortName(RegRoot root);  // HKLM
std::optional<RegRoot> rootFromName(const std::string& name);  // either form, any case

}  // namespace vornak::platform
