#include "registry/RegistryAccess.h"

#include <cstring>
#include <filesystem>
#include <functional>

#include "platform/Collation.h"

namespace vornak {

using platform::RegAccess;
using platform::RegistryAccessor;
using platform::RegKey;
using platform::RegRoot;
using platform::RegStatus;
using platform::RegValue;

namespace {

// The key path as the store wants it: no leading or trailing backslash.
std::string storePath(const std::string& keyPath) {
    size_t begin = 0, end = keyPath.size();
    while (begin < end && keyPath[begin] == '\\') ++begin;
    while (end > begin && keyPath[end - 1] == '\\') --end;
    return keyPath.substr(begin, end - begin);
}

bool sameAscii(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

enum class Kind { Read, Write };

// One call's frame: accessor, root, the key opened with full access and created
// when absent. A read that is refused full access (a limited user and the
// machine root) opens the key for reading instead, so such a user still sees
// the list and the settings; it cannot create a key it may not write. `ok` is
// false when any of that failed.
struct Frame {
    std::unique_ptr<RegistryAccessor> accessor;
    std::unique_ptr<RegKey> key;
    RegRoot root{};
    bool ok = false;

    Frame(const std::string& rootCode, const std::string& keyPath, Kind kind) {
        auto root_ = rootFromCode(rootCode);
        if (!root_) return;
        root = *root_;
        try {
            const auto store = storeForKey(root, keyPath, kind == Kind::Write);
            if (!store) return;
            accessor = store->accessor();
        } catch (const std::exception&) {
            return;
        }
        if (!accessor) return;
        const std::string path = storePath(keyPath);
        RegStatus status = accessor->createKey(root, path, RegAccess::Full, key);
        if (status == RegStatus::AccessDenied && kind == Kind::Read)
            status = accessor->createKey(root, path, RegAccess::Read, key);
        ok = status == RegStatus::Ok;
    }
};

// Reads run under a guard: anything thrown becomes the silent abort.
template <typename Fn>
auto readGuarded(Fn fn) -> decltype(fn()) {
    try {
        return fn();
    } catch (const SilentAbort&) {
        throw;
    } catch (const std::exception&) {
        throw SilentAbort();
    }
}

thread_local std::string g_writeFailure;

// Keeps why the store failed the call, for a caller that reports it.
bool noteFailure(const Frame& frame, bool ok) {
    if (!ok && frame.accessor)
        g_writeFailure = frame.accessor->failureReason();
    return ok;
}

template <typename Fn>
bool writeGuarded(Fn fn) noexcept {
    g_writeFailure.clear();
    try {
        return fn();
    } catch (const std::exception& e) {
        g_writeFailure = e.what();
        return false;
    } catch (...) {
        return false;
    }
}

NameList readNames(const std::string& rootCode, const std::string& keyPath, bool subkeys) {
    return readGuarded([&] {
        Frame frame(rootCode, keyPath, Kind::Read);
        if (!frame.ok)
            throw SilentAbort();
        NameList names;
        platform::RegKeyInfo info;
        // A key that cannot report its counts gives an empty list, not a failure.
        if (frame.accessor->queryInfo(*frame.key, info) != RegStatus::Ok)
            return names;
        const uint32_t count = subkeys ? info.subkeyCount : info.valueCount;
        names.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            if (subkeys) {
                std::string name;
                if (frame.accessor->enumKey(*frame.key, i, name) == RegStatus::Ok)
                    names.push_back(std::move(name));
            } else {
                RegValue value;
                if (frame.accessor->enumValue(*frame.key, i, value) == RegStatus::Ok)
                    names.push_back(std::move(value.name));
            }
        }
        return names;
    });
}

void deleteTree(RegistryAccessor& accessor, RegRoot root, const RegKey& rootKey,
                const std::string& path) {
    {
        std::unique_ptr<RegKey> key;
        if (accessor.openKey(root, path, RegAccess::Full, key) == RegStatus::Ok) {
            platform::RegKeyInfo info;
            if (accessor.queryInfo(*key, info) == RegStatus::Ok) {
                // From the highest index down, so deleting does not shift the names still to come.
                for (uint32_t i = info.subkeyCount; i-- > 0;) {
                    std::string name;
                    if (accessor.enumKey(*key, i, name) == RegStatus::Ok)
                        deleteTree(accessor, root, rootKey, path + "\\" + name);
                }
            }
        }
    }
    accessor.deleteKey(rootKey, path);
}

}  // namespace

std::string LastRegWriteFailure() {
    return g_writeFailure;
}

std::optional<platform::RegRoot> rootFromCode(const std::string& rootCode) {
    static const struct {
        const char* code;
        RegRoot root;
    } kCodes[] = {{"cr", RegRoot::ClassesRoot},
                  {"cu", RegRoot::CurrentUser},
                  {"lm", RegRoot::LocalMachine},
                  {"u", RegRoot::Users},
                  {"cc", RegRoot::CurrentConfig}};
    if (rootCode.empty() || rootCode.size() > 8) return std::nullopt;
    const std::string folded = platform::threadCollation().foldCase(rootCode);
    for (const auto& c : kCodes)
        if (folded == c.code) return c.root;
    return std::nullopt;
}

std::string ReadRegString(const std::string& rootCode, const std::string& keyPath,
                          const std::string& valueName) {
    return readGuarded([&] {
        Frame frame(rootCode, keyPath, Kind::Read);
        if (!frame.ok)
            throw SilentAbort();
        RegValue value;
        const RegStatus status = frame.accessor->queryValue(*frame.key, valueName, value);
        if (status == RegStatus::NotFound)
            return std::string();
        if (status != RegStatus::Ok)
            throw SilentAbort();
        if (value.data.empty())
            return std::string();
        if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz)
            throw SilentAbort();
        const size_t nul = value.data.find('\0');
        return nul == std::string::npos ? value.data : value.data.substr(0, nul);
    });
}

bool ReadRegBool(const std::string& rootCode, const std::string& keyPath,
                 const std::string& valueName) {
    return readGuarded([&] {
        Frame frame(rootCode, keyPath, Kind::Read);
        if (!frame.ok)
            throw SilentAbort();
        RegValue value;
        if (frame.accessor->queryValue(*frame.key, valueName, value) != RegStatus::Ok ||
            value.type != platform::kRegDword || value.data.size() != 4)
            throw SilentAbort();
        uint32_t number = 0;
        std::memcpy(&number, value.data.data(), 4);
        return number != 0;
    });
}

NameList GetRegKeyNames(const std::string& rootCode, const std::string& keyPath) {
    return readNames(rootCode, keyPath, true);
}

NameList GetRegValueNames(const std::string& rootCode, const std::string& keyPath) {
    return readNames(rootCode, keyPath, false);
}

bool WriteRegString(const std::string& rootCode, const std::string& keyPath,
                    const std::string& valueName, const std::string& value) {
    return writeGuarded([&] {
        Frame frame(rootCode, keyPath, Kind::Write);
        if (!frame.ok)
            return noteFailure(frame, false);
        std::string data = value;
        data.push_back('\0');
        return noteFailure(frame, frame.accessor->setValue(*frame.key, valueName,
                                                           platform::kRegSz,
                                                           data) == RegStatus::Ok);
    });
}

bool WriteRegBool(const std::string& rootCode, const std::string& keyPath,
                  const std::string& valueName, bool value) {
    return writeGuarded([&] {
        Frame frame(rootCode, keyPath, Kind::Write);
        if (!frame.ok)
            return noteFailure(frame, false);
        const uint32_t number = value ? 1 : 0;
        std::string data(4, '\0');
        std::memcpy(data.data(), &number, 4);
        return noteFailure(frame, frame.accessor->setValue(*frame.key, valueName,
                                                           platform::kRegDword,
                                                           data) == RegStatus::Ok);
    });
}

bool DeleteRegValue(const std::string& rootCode, const std::string& keyPath,
                    const std::string& valueName) {
    return writeGuarded([&] {
        Frame frame(rootCode, keyPath, Kind::Write);
        if (!frame.ok)
            return noteFailure(frame, false);
        // Its outcome is not the result; why it failed is still worth keeping.
        if (frame.accessor->deleteValue(*frame.key, valueName) == RegStatus::StoreFailure)
            noteFailure(frame, false);
        return true;
    });
}

bool DeleteRegKey(const std::string& rootCode, const std::string& keyPath) {
    return writeGuarded([&] {
        Frame frame(rootCode, keyPath, Kind::Write);
        if (!frame.ok)
            return noteFailure(frame, false);
        frame.key.reset();
        std::unique_ptr<RegKey> rootKey;
        if (frame.accessor->openKey(frame.root, "", RegAccess::Full, rootKey) != RegStatus::Ok)
            return true;
        const std::string path = storePath(keyPath);
        if (!path.empty())
            deleteTree(*frame.accessor, frame.root, *rootKey, path);
        noteFailure(frame, false);
        return true;
    });
}

std::shared_ptr<platform::RegistryStore> storeForKey(RegRoot root, const std::string& keyPath,
                                                     bool forWriting) {
    auto store = platform::defaultRegistryStore();
    if (root != RegRoot::LocalMachine || !sameAscii(storePath(keyPath), storePath(kSettingsKeyPath)))
        return store;
    auto settings = platform::settingsRegistryStore();
#ifndef _WIN32
    std::error_code ec;
    if (!forWriting && settings != store && !std::filesystem::exists(settings->location(), ec))
        return nullptr;
#else
    (void)forWriting;
#endif
    return settings;
}

}  // namespace vornak
