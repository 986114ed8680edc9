// The registry store on Windows: advapi32's wide calls. A store made for a
// folder (VORNAK_REGISTRY_DIR, and every test) keeps its five roots below a
// private key of HKEY_CURRENT_USER instead of the real roots, so that nothing
// but the program itself ever writes the real HKLM.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cwctype>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/KeyListing.h"
#include "platform/RegistryStore.h"
#include "platform/win32/WideText.h"

namespace vornak::platform {
namespace {

using win32::narrow;
using win32::widen;

constexpr wchar_t kPrivateStores[] = L"Software\\Vornak\\Private stores";

RegStatus statusOf(LSTATUS rc) {
    switch (rc) {
        case ERROR_SUCCESS:
            return RegStatus::Ok;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_KEY_DELETED:
            return RegStatus::NotFound;
        case ERROR_ACCESS_DENIED:
            return RegStatus::AccessDenied;
        case ERROR_INVALID_PARAMETER:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_NAME:
        case ERROR_MORE_DATA:  // a name too long for Windows
            return RegStatus::InvalidName;
        default:
            return RegStatus::StoreFailure;
    }
}

std::string joinPath(std::string_view parent, const std::vector<std::string_view>& names) {
    std::string out(parent);
    for (const auto& name : names) {
        if (!out.empty())
            out += '\\';
        out += name;
    }
    return out;
}

bool isStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Strings are UTF-16 in the registry and UTF-8 in the program; every other
// type is its bytes.
std::string toProgramData(DWORD type, const std::string& raw) {
    if (!isStringType(type))
        return raw;
    std::wstring wide(raw.size() / 2, L'\0');
    std::copy(raw.data(), raw.data() + wide.size() * 2, reinterpret_cast<char*>(wide.data()));
    std::string text = narrow(wide);
    if (raw.size() % 2)
        text += raw.back();
    return text;
}

std::string toRegistryData(DWORD type, const std::string& data) {
    if (!isStringType(type))
        return data;
    const std::wstring wide = widen(data);
    return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

// RegSetValueEx counts a string's terminator in when the caller left it out
// and one follows in memory (Windows does it, Wine copies it), which every
// std::string and std::wstring has: a guard after the bytes keeps them exact.
LSTATUS writeRawValue(HKEY key, const std::wstring& name, DWORD type, const std::string& bytes) {
    std::string guarded = bytes;
    guarded.append(2, '\x01');
    return RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                          static_cast<DWORD>(bytes.size()));
}

// The value's type and bytes as the registry holds them.
LSTATUS readRawValue(HKEY key, const std::wstring& name, DWORD& type, std::string& raw) {
    DWORD size = 0;
    raw.clear();
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD n = size;
        const LSTATUS rc =
            RegQueryValueExW(key, name.c_str(), nullptr, &type,
                             size ? reinterpret_cast<BYTE*>(raw.data()) : nullptr, &n);
        if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && size == 0 && n > 0)) {
            size = n;
            raw.resize(size);
            continue;
        }
        if (rc == ERROR_SUCCESS)
            raw.resize(n);
        return rc;
    }
    return ERROR_MORE_DATA;
}

class KeyHandle {
  public:
    KeyHandle() = default;
    explicit KeyHandle(HKEY h) : h_(h) {}
    ~KeyHandle() { reset(); }
    KeyHandle(const KeyHandle&) = delete;
    KeyHandle& operator=(const KeyHandle&) = delete;
    HKEY get() const { return h_; }
    HKEY* out() {
        reset();
        return &h_;
    }
    void reset() {
        if (h_)
            RegCloseKey(h_);
        h_ = nullptr;
    }

  private:
    HKEY h_ = nullptr;
};

// Where the five roots of a store are.
class Roots {
  public:
    // The real registry.
    Roots() : keys_{HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                    HKEY_CURRENT_CONFIG},
              location_("the Windows registry") {}

    // Below HKCU\Software\Vornak\Private stores\<name>.
    explicit Roots(const std::wstring& name) : owned_(true) {
        const std::wstring base = std::wstring(kPrivateStores) + L"\\" + name + L"\\";
        location_ = "HKEY_CURRENT_USER\\" + narrow(base.substr(0, base.size() - 1));
        for (size_t i = 0; i < keys_.size(); ++i) {
            const std::wstring path = base + widen(rootShortName(static_cast<RegRoot>(i)));
            HKEY h = nullptr;
            error_ = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr,
                                     REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &h, nullptr);
            if (error_ != ERROR_SUCCESS)
                break;
            keys_[i] = h;
        }
        if (error_ != ERROR_SUCCESS)
            for (HKEY& h : keys_)
                if (h) {
                    RegCloseKey(h);
                    h = nullptr;
                }
    }

    ~Roots() {
        if (owned_)
            for (HKEY h : keys_)
                if (h)
                    RegCloseKey(h);
    }
    Roots(const Roots&) = delete;
    Roots& operator=(const Roots&) = delete;

    HKEY key(RegRoot root) const { return keys_[static_cast<size_t>(root)]; }
    const std::string& location() const { return location_; }
    LSTATUS error() const { return error_; }

  private:
    std::array<HKEY, 5> keys_{};
    bool owned_ = false;
    std::string location_;
    LSTATUS error_ = ERROR_SUCCESS;
};

class Win32Key final : public RegKey, public KeyListing {
  public:
    Win32Key(const Roots* roots, RegRoot root, std::string path, RegAccess keyAccess)
        : owner(roots), access(keyAccess), root_(root), path_(std::move(path)) {}

    RegRoot root() const override { return root_; }
    const std::string& path() const override { return path_; }

    KeyHandle handle;
    const Roots* const owner;
    const RegAccess access;

  private:
    RegRoot root_;
    std::string path_;
};

std::wstring foldForOrder(const std::wstring& name) {
    std::wstring folded = name;
    if (!folded.empty())
        CharLowerBuffW(folded.data(), static_cast<DWORD>(folded.size()));
    return folded;
}

RegStatus loadSubkeys(const Win32Key& k) {
    k.subkeys.clear();
    k.subkeysLoaded = false;
    std::vector<std::pair<std::wstring, std::wstring>> found;
    std::wstring name(256, L'\0');
    for (DWORD i = 0;;) {
        DWORD length = static_cast<DWORD>(name.size());
        const LSTATUS rc = RegEnumKeyExW(k.handle.get(), i, name.data(), &length, nullptr, nullptr,
                                         nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA) {
            name.resize(name.size() * 2);
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return statusOf(rc);
        std::wstring text(name.data(), length);
        found.emplace_back(foldForOrder(text), std::move(text));
        ++i;
    }
    // The order the interface promises whatever the host's own: folded case,
    // code point order.
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& item : found)
        k.subkeys.push_back(narrow(item.second));
    k.subkeysLoaded = true;
    return RegStatus::Ok;
}

// `raw` keeps string data as the registry holds it (for putting it back).
RegStatus readValues(HKEY key, std::vector<RegValue>& values, bool raw = false) {
    values.clear();
    DWORD count = 0, maxName = 0, maxData = 0;
    LSTATUS rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, &count, &maxName, &maxData, nullptr, nullptr);
    if (rc != ERROR_SUCCESS)
        return statusOf(rc);
    std::wstring name(maxName + 1, L'\0');
    std::string data(maxData, '\0');
    for (DWORD i = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = 0;
        rc = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type,
                           data.empty() ? nullptr : reinterpret_cast<BYTE*>(data.data()),
                           &dataLength);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA) {
            // Changed since the count, or a name longer than the buffer.
            name.resize(std::max<size_t>(name.size() * 2, 256));
            data.resize(std::max<size_t>(dataLength, data.size() * 2 + 16));
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return statusOf(rc);
        if (data.empty() && dataLength > 0) {
            data.resize(dataLength);
            continue;
        }
        const std::string bytes = data.substr(0, dataLength);
        values.push_back(RegValue{narrow(std::wstring_view(name.data(), nameLength)), type,
                                  raw ? bytes : toProgramData(type, bytes)});
        ++i;
    }
    return RegStatus::Ok;
}

RegStatus loadValues(const Win32Key& k) {
    k.valuesLoaded = false;
    const RegStatus status = readValues(k.handle.get(), k.values);
    k.valuesLoaded = status == RegStatus::Ok;
    return status;
}

class Win32Accessor final : public RegistryAccessor {
  public:
    explicit Win32Accessor(std::shared_ptr<const Roots> roots) : roots_(std::move(roots)) {}
    ~Win32Accessor() override { rollback(); }

    RegStatus openKey(RegRoot root, const std::string& path, RegAccess access,
                      std::unique_ptr<RegKey>& out) override {
        out.reset();
        std::vector<std::string_view> names;
        if (!validRoot(root) || !splitKeyPath(path, names))
            return RegStatus::InvalidName;
        return open(root, joinPath({}, names), access, out);
    }

    RegStatus createKey(RegRoot root, const std::string& path, RegAccess access,
                        std::unique_ptr<RegKey>& out, bool* created) override {
        out.reset();
        if (created)
            *created = false;
        std::vector<std::string_view> names;
        if (!validRoot(root) || !splitKeyPath(path, names))
            return RegStatus::InvalidName;
        HKEY base = roots_->key(root);
        if (!base)
            return RegStatus::StoreFailure;
        const std::string full = joinPath({}, names);
        if (names.empty())
            return open(root, full, access, out);

        // Inside a group, the first component that does not exist yet is what
        // an undo removes.
        std::string firstNew;
        if (grouped_) {
            for (size_t level = 1; level <= names.size(); ++level) {
                const std::string prefix =
                    joinPath({}, std::vector<std::string_view>(names.begin(), names.begin() + level));
                KeyHandle probe;
                const LSTATUS rc =
                    RegOpenKeyExW(base, widen(prefix).c_str(), 0, KEY_READ, probe.out());
                if (rc == ERROR_FILE_NOT_FOUND) {
                    firstNew = prefix;
                    break;
                }
                if (rc != ERROR_SUCCESS)
                    return statusOf(rc);
            }
        }

        auto key = std::make_unique<Win32Key>(roots_.get(), root, full, access);
        DWORD disposition = 0;
        const LSTATUS rc = RegCreateKeyExW(base, widen(full).c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, samOf(access), nullptr,
                                           key->handle.out(), &disposition);
        if (rc != ERROR_SUCCESS)
            return statusOf(rc);
        if (!firstNew.empty())
            undo_.push_back(Undo{Undo::RemoveTree, root, firstNew, {}, false, 0, {}, {}});
        if (created)
            *created = disposition == REG_CREATED_NEW_KEY;
        out = std::move(key);
        return RegStatus::Ok;
    }

    RegStatus openSubKey(const RegKey& key, const std::string& subPath, RegAccess access,
                         std::unique_ptr<RegKey>& out) override {
        out.reset();
        const Win32Key* k = own(key);
        std::vector<std::string_view> names;
        if (!k || !splitKeyPath(subPath, names))
            return RegStatus::InvalidName;
        return open(k->root(), joinPath(k->path(), names), access, out);
    }

    RegStatus queryInfo(const RegKey& key, RegKeyInfo& info) override {
        info = {};
        const Win32Key* k = own(key);
        if (!k)
            return RegStatus::InvalidName;
        return k->info(info, [k] {
            const RegStatus status = loadValues(*k);
            return status == RegStatus::Ok ? loadSubkeys(*k) : status;
        });
    }

    RegStatus enumKey(const RegKey& key, uint32_t index, std::string& name) override {
        const Win32Key* k = own(key);
        if (!k)
            return RegStatus::InvalidName;
        return k->subkey(index, name, [k] { return loadSubkeys(*k); });
    }

    RegStatus enumValue(const RegKey& key, uint32_t index, RegValue& value) override {
        const Win32Key* k = own(key);
        if (!k)
            return RegStatus::InvalidName;
        return k->value(index, value, [k] { return loadValues(*k); });
    }

    RegStatus queryValue(const RegKey& key, const std::string& name, RegValue& value) override {
        const Win32Key* k = own(key);
        if (!k || !isValidValueName(name))
            return RegStatus::InvalidName;
        DWORD type = 0;
        std::string raw;
        const LSTATUS rc = readRawValue(k->handle.get(), widen(name), type, raw);
        if (rc != ERROR_SUCCESS)
            return statusOf(rc);
        // The name as stored, not as asked for.
        value.name = storedValueName(*k, name);
        value.type = type;
        value.data = toProgramData(type, raw);
        return RegStatus::Ok;
    }

    RegStatus setValue(const RegKey& key, const std::string& name, uint32_t type,
                       const std::string& data) override {
        const Win32Key* k = nullptr;
        if (RegStatus status = checkValueChange(key, name, k); status != RegStatus::Ok)
            return status;
        const std::wstring wname = widen(name);
        if (RegStatus status = rememberValue(*k, wname); status != RegStatus::Ok)
            return status;
        const std::string bytes = toRegistryData(type, data);
        const LSTATUS rc = writeRawValue(k->handle.get(), wname, type, bytes);
        if (rc != ERROR_SUCCESS)
            forgetLast();
        k->valuesFresh = false;
        return statusOf(rc);
    }

    RegStatus deleteValue(const RegKey& key, const std::string& name) override {
        const Win32Key* k = nullptr;
        if (RegStatus status = checkValueChange(key, name, k); status != RegStatus::Ok)
            return status;
        const std::wstring wname = widen(name);
        if (RegStatus status = rememberValue(*k, wname); status != RegStatus::Ok)
            return status;
        const LSTATUS rc = RegDeleteValueW(k->handle.get(), wname.c_str());
        if (rc != ERROR_SUCCESS)
            forgetLast();
        k->valuesFresh = false;
        return statusOf(rc);
    }

    RegStatus deleteKey(const RegKey& key, const std::string& subPath) override {
        const Win32Key* k = own(key);
        std::vector<std::string_view> names;
        if (!k || !splitKeyPath(subPath, names))
            return RegStatus::InvalidName;
        const std::string full = joinPath(k->path(), names);
        if (full.empty())
            return RegStatus::AccessDenied;  // the roots themselves stay
        HKEY base = roots_->key(k->root());
        const std::wstring wfull = widen(full);

        // Windows refuses a key with subkeys as access denied; ours says why.
        Undo undo{Undo::Recreate, k->root(), full, {}, false, 0, {}, {}};
        {
            KeyHandle target;
            LSTATUS rc = RegOpenKeyExW(base, wfull.c_str(), 0, KEY_READ, target.out());
            if (rc != ERROR_SUCCESS)
                return statusOf(rc);
            DWORD subkeys = 0;
            rc = RegQueryInfoKeyW(target.get(), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                  nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
            if (rc != ERROR_SUCCESS)
                return statusOf(rc);
            if (subkeys > 0)
                return RegStatus::HasSubkeys;
            if (grouped_) {
                std::vector<RegValue> values;
                if (RegStatus status = readValues(target.get(), values, true);
                    status != RegStatus::Ok)
                    return status;
                for (const auto& v : values)
                    undo.values.push_back(RawValue{widen(v.name), v.type, v.data});
            }
        }
        const LSTATUS rc = RegDeleteKeyW(base, wfull.c_str());
        k->subkeysFresh = false;
        if (rc == ERROR_ACCESS_DENIED && hasSubkeys(base, wfull))
            return RegStatus::HasSubkeys;
        if (rc == ERROR_SUCCESS && grouped_)
            undo_.push_back(std::move(undo));
        return statusOf(rc);
    }

    // Windows has no transactions we can use here (the kernel's are deprecated
    // and Wine has none): a group keeps what each change replaced, and puts it
    // back in reverse order when it is not committed. Others may see the
    // changes before commit; a failed one is undone with the rest. The system
    // locks each key itself for the moment of a change, so there are no root
    // locks to take and no store file a group is tied to: `roots` asks nothing.
    void beginTransaction(const std::vector<RegRoot>& /*roots*/) override {
        if (grouped_)
            throw std::logic_error("registry transactions do not nest");
        grouped_ = true;
        undo_.clear();
    }

    void commit() override {
        if (!grouped_)
            return;
        grouped_ = false;
        undo_.clear();
    }

    // Nothing waits for another program here: the system's key locks last
    // only as long as a single change.
    void setPatience(std::chrono::milliseconds /*patience*/) override {}

    void rollback() override {
        if (!grouped_)
            return;
        grouped_ = false;
        for (auto it = undo_.rbegin(); it != undo_.rend(); ++it)
            applyUndo(*it);
        undo_.clear();
    }

  private:
    struct RawValue {
        std::wstring name;
        DWORD type;
        std::string raw;
    };
    struct Undo {
        enum Kind { RestoreValue, RemoveTree, Recreate } kind;
        RegRoot root;
        std::string path;
        std::wstring name;  // RestoreValue
        bool existed;       // RestoreValue: whether there was a value to put back
        DWORD type;
        std::string raw;
        std::vector<RawValue> values;  // Recreate
    };

    static REGSAM samOf(RegAccess access) {
        return access == RegAccess::Full ? KEY_ALL_ACCESS : KEY_READ;
    }

    static bool validRoot(RegRoot root) {
        return static_cast<size_t>(root) <= static_cast<size_t>(RegRoot::CurrentConfig);
    }

    static bool hasSubkeys(HKEY base, const std::wstring& path) {
        KeyHandle h;
        DWORD subkeys = 0;
        return RegOpenKeyExW(base, path.c_str(), 0, KEY_READ, h.out()) == ERROR_SUCCESS &&
               RegQueryInfoKeyW(h.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
               subkeys > 0;
    }

    const Win32Key* own(const RegKey& key) const {
        const auto* k = dynamic_cast<const Win32Key*>(&key);
        return k && k->owner == roots_.get() ? k : nullptr;
    }

    RegStatus open(RegRoot root, const std::string& path, RegAccess access,
                   std::unique_ptr<RegKey>& out) {
        HKEY base = roots_->key(root);
        if (!base)
            return RegStatus::StoreFailure;
        auto key = std::make_unique<Win32Key>(roots_.get(), root, path, access);
        const LSTATUS rc =
            RegOpenKeyExW(base, widen(path).c_str(), 0, samOf(access), key->handle.out());
        if (rc != ERROR_SUCCESS)
            return statusOf(rc);
        out = std::move(key);
        return RegStatus::Ok;
    }

    RegStatus checkValueChange(const RegKey& key, const std::string& name, const Win32Key*& k) {
        k = own(key);
        if (!k || !isValidValueName(name))
            return RegStatus::InvalidName;
        if (k->access != RegAccess::Full)
            return RegStatus::AccessDenied;
        return RegStatus::Ok;
    }

    std::string storedValueName(const Win32Key& k, const std::string& asked) {
        if (asked.empty())
            return asked;
        if (!k.valuesLoaded && loadValues(k) != RegStatus::Ok)
            return asked;
        const std::wstring folded = foldForOrder(widen(asked));
        for (int pass = 0; pass < 2; ++pass) {
            for (const auto& v : k.values)
                if (foldForOrder(widen(v.name)) == folded)
                    return v.name;
            if (loadValues(k) != RegStatus::Ok)
                break;  // the listing was stale: read it again once
        }
        return asked;
    }

    // Inside a group: what the value was, so that an undo can put it back.
    RegStatus rememberValue(const Win32Key& k, const std::wstring& name) {
        if (!grouped_)
            return RegStatus::Ok;
        Undo undo{Undo::RestoreValue, k.root(), k.path(), name, false, 0, {}, {}};
        const LSTATUS rc = readRawValue(k.handle.get(), name, undo.type, undo.raw);
        if (rc == ERROR_SUCCESS)
            undo.existed = true;
        else if (rc != ERROR_FILE_NOT_FOUND)
            return statusOf(rc);
        undo_.push_back(std::move(undo));
        return RegStatus::Ok;
    }

    void forgetLast() {
        if (grouped_ && !undo_.empty())
            undo_.pop_back();
    }

    void applyUndo(const Undo& undo) {
        HKEY base = roots_->key(undo.root);
        const std::wstring path = widen(undo.path);
        switch (undo.kind) {
            case Undo::RemoveTree:
                RegDeleteTreeW(base, path.c_str());
                RegDeleteKeyW(base, path.c_str());
                break;
            case Undo::RestoreValue: {
                KeyHandle h;
                if (RegOpenKeyExW(base, path.c_str(), 0, KEY_SET_VALUE, h.out()) != ERROR_SUCCESS)
                    break;
                if (undo.existed)
                    writeRawValue(h.get(), undo.name, undo.type, undo.raw);
                else
                    RegDeleteValueW(h.get(), undo.name.c_str());
                break;
            }
            case Undo::Recreate: {
                KeyHandle h;
                if (RegCreateKeyExW(base, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_ALL_ACCESS, nullptr, h.out(), nullptr) != ERROR_SUCCESS)
                    break;
                for (const auto& v : undo.values)
                    writeRawValue(h.get(), v.name, v.type, v.raw);
                break;
            }
        }
    }

    std::shared_ptr<const Roots> roots_;
    bool grouped_ = false;
    std::vector<Undo> undo_;
};

// A stable key name for a store folder: the same folder, however spelled
// (slashes, letter case, a trailing separator), gives the same name.
std::wstring privateStoreName(const std::string& dir) {
    std::wstring folded = foldForOrder(widen(dir));
    for (wchar_t& c : folded)
        if (c == L'/')
            c = L'\\';
    while (folded.size() > 1 && folded.back() == L'\\')
        folded.pop_back();
    uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : folded) {
        hash ^= static_cast<uint16_t>(c);
        hash *= 1099511628211ull;
    }
    static const char digits[] = "0123456789abcdef";
    std::wstring name;
    for (int shift = 60; shift >= 0; shift -= 4)
        name += static_cast<wchar_t>(digits[(hash >> shift) & 0xF]);
    return name;
}

class Win32RegistryStore final : public RegistryStore {
  public:
    explicit Win32RegistryStore(const std::string& dir)
        : roots_(dir.empty() ? std::make_shared<Roots>()
                             : std::make_shared<Roots>(privateStoreName(dir))) {}

    std::unique_ptr<RegistryAccessor> accessor() override {
        return std::make_unique<Win32Accessor>(roots_);
    }

    void check() override {
        if (roots_->error() != ERROR_SUCCESS)
            throw RegistryStoreError("The registry key '" + roots_->location() +
                                     "' cannot be used (" + win32::errorText(roots_->error()) + ")");
    }

    std::string location() const override { return roots_->location(); }

  private:
    std::shared_ptr<const Roots> roots_;
};

}  // namespace

std::shared_ptr<RegistryStore> openRegistryStore(const std::string& dir) {
    return std::make_shared<Win32RegistryStore>(dir);
}

}  // namespace vornak::platform
