#include "platform/RegistryStore.h"
#ifndef _WIN32
#include "platform/WinePrefix.h"
#endif

#include <cstdlib>
#include <mutex>

namespace vornak::platform {
namespace {

struct RootNames {
    RegRoot root;
    const char* longName;
    const char* shortName;
};

constexpr RootNames kRoots[] = {
    {RegRoot::ClassesRoot, "HKEY_CLASSES_ROOT", "HKCR"},
    {RegRoot::CurrentUser, "HKEY_CURRENT_USER", "HKCU"},
    {RegRoot::LocalMachine, "HKEY_LOCAL_MACHINE", "HKLM"},
    {RegRoot::Users, "HKEY_USERS", "HKU"},
    {RegRoot::CurrentConfig, "HKEY_CURRENT_CONFIG", "HKCC"},
};

bool equalsAsciiNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return i == a.size() && b[i] == '\0';
}

std::mutex g_defaultMutex;
std::shared_ptr<RegistryStore> g_default;

}  // namespace

const char* rootLongName(RegRoot root) {
    for (const auto& r : kRoots)
        if (r.root == root) return r.longName;
    return "";
}

const char* rootShortName(RegRoot root) {
    for (const auto& r : kRoots)
        if (r.root == root) return r.shortName;
    return "";
}

std::optional<RegRoot> rootFromName(const std::string& name) {
    for (const auto& r : kRoots)
        if (equalsAsciiNoCase(name, r.longName) || equalsAsciiNoCase(name, r.shortName))
            return r.root;
    return std::nullopt;
}

std::string defaultRegistryDir() {
    if (const char* dir = std::getenv("VORNAK_REGISTRY_DIR"); dir && *dir) return dir;
#ifdef _WIN32
    return {};  // the real registry
#endif
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        return std::string(xdg) + "/vornak/registry";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.local/share/vornak/registry";
    return "vornak-registry";
}

std::shared_ptr<RegistryStore> defaultRegistryStore() {
    std::lock_guard lock(g_defaultMutex);
    if (!g_default) {
#ifdef _WIN32
        g_default = openRegistryStore(defaultRegistryDir());
#else
        const std::string prefix = configuredWinePrefix();
        g_default = prefix.empty() ? openRegistryStore(defaultRegistryDir()) : openPrefixRegistryStore(prefix);
#endif
    }
    return g_default;
}

void setDefaultRegistryStore(std::shared_ptr<RegistryStore> store) {
    std::lock_guard lock(g_defaultMutex);
    g_default = std::move(store);
}

namespace {
std::mutex g_settingsMutex;
std::shared_ptr<RegistryStore> g_settings;
}  // namespace

std::shared_ptr<RegistryStore> settingsRegistryStore() {
    {
        std::lock_guard lock(g_settingsMutex);
        if (g_settings) return g_settings;
#ifndef _WIN32
        if (!configuredWinePrefix().empty()) {
            g_settings = openRegistryStore(defaultRegistryDir());
            return g_settings;
        }
#endif
    }
    return defaultRegistryStore();
}

void setSettingsRegistryStore(std::shared_ptr<RegistryStore> store) {
    std::lock_guard lock(g_settingsMutex);
    g_settings = std::move(store);
}

RegStatus listSubkeyNames(RegistryAccessor& accessor, const RegKey& key, std::vector<std::string>& out) {
    for (uint32_t i = 0;; ++i) {
        std::string name;
        const RegStatus status = accessor.enumKey(key, i, name);
        if (status != RegStatus::Ok)
            return status == RegStatus::NotFound ? RegStatus::Ok : status;
        out.push_back(std::move(name));
    }
}

RegStatus listValues(RegistryAccessor& accessor, const RegKey& key, std::vector<RegValue>& out) {
    for (uint32_t i = 0;; ++i) {
        RegValue value;
        const RegStatus status = accessor.enumValue(key, i, value);
        if (status != RegStatus::Ok)
            return status == RegStatus::NotFound ? RegStatus::Ok : status;
        out.push_back(std::move(value));
    }
}

void RegistryAccessor::walk(const RegKey& start, RegWalkVisitor& visitor) {
    struct Frame {
        std::unique_ptr<RegKey> owned;  // empty for the key the walk began at
        const RegKey* key;
        std::string path;
        std::vector<std::string> subkeys;  // those to go into
        size_t next = 0;
    };
    std::vector<Frame> stack;
    auto visit = [&](const RegKey& key, std::unique_ptr<RegKey> owned, std::string path) {
        visitor.key(path, RegStatus::Ok, key.isLink());
        if (key.isLink())
            return;
        std::vector<RegValue> values;
        const RegStatus listed = listValues(*this, key, values);
        for (const RegValue& value : values)
            visitor.value(value.name, value.type, value.data);
        if (listed != RegStatus::Ok)
            visitor.listingFailed(listed);
        Frame frame{std::move(owned), &key, std::move(path), {}, 0};
        std::vector<std::string> names;
        const RegStatus named = listSubkeyNames(*this, key, names);
        for (std::string& name : names)
            if (visitor.wantSubkey(frame.path, name))
                frame.subkeys.push_back(std::move(name));
        if (named != RegStatus::Ok)
            visitor.listingFailed(named);
        if (!frame.subkeys.empty())
            stack.push_back(std::move(frame));
    };
    visit(start, nullptr, {});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.subkeys.size()) {
            stack.pop_back();
            continue;
        }
        const std::string& name = top.subkeys[top.next++];
        std::string path = top.path.empty() ? name : top.path + "\\" + name;
        std::unique_ptr<RegKey> key;
        const RegStatus opened = openSubKey(*top.key, name, RegAccess::Read, key);
        if (opened != RegStatus::Ok) {
            visitor.key(path, opened, false);
            continue;
        }
        // `top` may move as the stack grows; nothing of it is used after this.
        const RegKey& open = *key;
        visit(open, std::move(key), std::move(path));
    }
}

bool splitKeyPath(std::string_view path, std::vector<std::string_view>& names) {
    names.clear();
    if (path.empty())
        return true;
    if (path.size() > 1 && path.back() == '\\')
        path.remove_suffix(1);
    size_t start = 0;
    while (true) {
        const size_t end = path.find('\\', start);
        const std::string_view name = path.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (name.empty() || name.size() > kMaxKeyNameLength ||
            name.find('\0') != std::string_view::npos)
            return false;
        names.push_back(name);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

bool isValidValueName(std::string_view name) {
    return name.size() <= kMaxValueNameLength && name.find('\0') == std::string_view::npos;
}

RegStatus RegistryAccessor::readSubkeyValues(const RegKey& key,
                                             const std::vector<std::string>& names,
                                             std::vector<SubkeyValues>& out) {
    out.clear();
    for (const auto& name : names)
        if (!isValidValueName(name)) return RegStatus::InvalidName;
    RegKeyInfo info;
    if (const RegStatus status = queryInfo(key, info); status != RegStatus::Ok) return status;
    out.reserve(info.subkeyCount);
    for (uint32_t i = 0; i < info.subkeyCount; ++i) {
        SubkeyValues row;
        std::unique_ptr<RegKey> sub;
        if (enumKey(key, i, row.name) != RegStatus::Ok ||
            openSubKey(key, row.name, RegAccess::Read, sub) != RegStatus::Ok)
            continue;
        row.values.resize(names.size());
        for (size_t n = 0; n < names.size(); ++n) {
            RegValue value;
            if (queryValue(*sub, names[n], value) == RegStatus::Ok) row.values[n] = std::move(value);
        }
        out.push_back(std::move(row));
    }
    return RegStatus::Ok;
}

}  // namespace vornak::platform
