#include "platform/model/ClassesView.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/model/RegistryNames.h"

namespace vornak::platform::posix {
namespace {

constexpr const char* kClasses = "Software\\Classes";

std::string join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "\\" + b;
}

class ClassesKey final : public RegKey {
public:
    ClassesKey(const void* owner, std::string path) : owner_(owner), path_(std::move(path)) {}
    RegRoot root() const override { return RegRoot::ClassesRoot; }
    const std::string& path() const override { return path_; }
    bool isLink() const override {
        return (user && user->isLink()) || (machine && machine->isLink());
    }
    const void* owner() const { return owner_; }

    std::unique_ptr<RegKey> user;     // HKCU\Software\Classes\path, when it exists
    std::unique_ptr<RegKey> machine;  // HKLM\Software\Classes\path, when it exists
    RegAccess access = RegAccess::Read;

    // The merged listing, read at index 0 unless queryInfo has just read it.
    std::vector<std::string> subkeys;
    std::vector<RegValue> values;
    bool loaded = false;
    bool fresh = false;

private:
    const void* owner_;
    std::string path_;
};

class ClassesAccessor final : public RegistryAccessor {
public:
    explicit ClassesAccessor(std::unique_ptr<RegistryAccessor> inner) : inner_(std::move(inner)) {}

    RegStatus openKey(RegRoot root, const std::string& path, RegAccess access,
                      std::unique_ptr<RegKey>& out) override {
        if (root != RegRoot::ClassesRoot) return inner_->openKey(root, path, access, out);
        out.reset();
        std::vector<std::string_view> names;
        if (!splitKeyPath(path, names)) return RegStatus::InvalidName;
        std::string logical;
        for (const auto& name : names) logical = join(logical, std::string(name));
        auto key = std::make_unique<ClassesKey>(this, logical);
        key->access = access;
        const RegStatus u = openSide(RegRoot::CurrentUser, logical, access, key->user);
        if (u != RegStatus::Ok && u != RegStatus::NotFound) return u;
        const RegStatus m = openSide(RegRoot::LocalMachine, logical, access, key->machine);
        if (m != RegStatus::Ok && m != RegStatus::NotFound) return m;
        // The root is there even before either Classes key is.
        if (!key->user && !key->machine && !logical.empty()) return RegStatus::NotFound;
        out = std::move(key);
        return RegStatus::Ok;
    }

    RegStatus createKey(RegRoot root, const std::string& path, RegAccess access,
                        std::unique_ptr<RegKey>& out, bool* created) override {
        if (root != RegRoot::ClassesRoot) return inner_->createKey(root, path, access, out, created);
        if (created) *created = false;
        RegStatus status = openKey(root, path, access, out);
        if (status != RegStatus::NotFound) return status;
        std::vector<std::string_view> names;
        splitKeyPath(path, names);
        std::string logical;
        for (const auto& name : names) logical = join(logical, std::string(name));
        auto key = std::make_unique<ClassesKey>(this, logical);
        key->access = access;
        status = inner_->createKey(RegRoot::LocalMachine, join(kClasses, logical), access,
                                   key->machine, created);
        if (status != RegStatus::Ok) return status;
        out = std::move(key);
        return RegStatus::Ok;
    }

    RegStatus openSubKey(const RegKey& key, const std::string& subPath, RegAccess access,
                         std::unique_ptr<RegKey>& out) override {
        const ClassesKey* k = mine(key);
        if (!k) {
            if (key.root() == RegRoot::ClassesRoot) return RegStatus::InvalidName;
            return inner_->openSubKey(key, subPath, access, out);
        }
        std::vector<std::string_view> names;
        if (!splitKeyPath(subPath, names)) return RegStatus::InvalidName;
        std::string sub;
        for (const auto& name : names) sub = join(sub, std::string(name));
        return openKey(RegRoot::ClassesRoot, join(k->path(), sub), access, out);
    }

    RegStatus queryInfo(const RegKey& key, RegKeyInfo& info) override {
        ClassesKey* k = mine(key);
        if (!k) return key.root() == RegRoot::ClassesRoot ? RegStatus::InvalidName
                                                          : inner_->queryInfo(key, info);
        info = {};
        if (const RegStatus s = load(*k); s != RegStatus::Ok) return s;
        k->fresh = true;
        info.subkeyCount = static_cast<uint32_t>(k->subkeys.size());
        info.valueCount = static_cast<uint32_t>(k->values.size());
        for (const auto& name : k->subkeys)
            info.maxSubkeyNameLength = std::max(info.maxSubkeyNameLength, static_cast<uint32_t>(name.size()));
        for (const auto& value : k->values)
            info.maxValueNameLength =
                std::max(info.maxValueNameLength, static_cast<uint32_t>(value.name.size()));
        return RegStatus::Ok;
    }

    RegStatus enumKey(const RegKey& key, uint32_t index, std::string& name) override {
        ClassesKey* k = mine(key);
        if (!k) return key.root() == RegRoot::ClassesRoot ? RegStatus::InvalidName
                                                          : inner_->enumKey(key, index, name);
        if (const RegStatus s = listing(*k, index); s != RegStatus::Ok) return s;
        if (index >= k->subkeys.size()) return RegStatus::NotFound;
        name = k->subkeys[index];
        return RegStatus::Ok;
    }

    RegStatus enumValue(const RegKey& key, uint32_t index, RegValue& value) override {
        ClassesKey* k = mine(key);
        if (!k) return key.root() == RegRoot::ClassesRoot ? RegStatus::InvalidName
                                                          : inner_->enumValue(key, index, value);
        if (const RegStatus s = listing(*k, index); s != RegStatus::Ok) return s;
        if (index >= k->values.size()) return RegStatus::NotFound;
        value = k->values[index];
        return RegStatus::Ok;
    }

    void walk(const RegKey& key, RegWalkVisitor& visitor) override {
        // The merged keys go key by key; the others as their store walks them.
        if (mine(key) || key.root() == RegRoot::ClassesRoot)
            RegistryAccessor::walk(key, visitor);
        else
            inner_->walk(key, visitor);
    }

    RegStatus queryValue(const RegKey& key, const std::string& name, RegValue& value) override {
        ClassesKey* k = mine(key);
        if (!k) return key.root() == RegRoot::ClassesRoot ? RegStatus::InvalidName
                                                          : inner_->queryValue(key, name, value);
        if (k->user) {
            const RegStatus s = inner_->queryValue(*k->user, name, value);
            if (s != RegStatus::NotFound) return s;
        }
        if (k->machine) return inner_->queryValue(*k->machine, name, value);
        return RegStatus::NotFound;
    }

    // A merged key is read through the merging calls above.
    RegStatus readSubkeyValues(const RegKey& key, const std::vector<std::string>& names,
                               std::vector<SubkeyValues>& out) override {
        if (mine(key)) return RegistryAccessor::readSubkeyValues(key, names, out);
        out.clear();
        return key.root() == RegRoot::ClassesRoot ? RegStatus::InvalidName
                                                  : inner_->readSubkeyValues(key, names, out);
    }

    RegStatus setValue(const RegKey& key, const std::string& name, uint32_t type,
                       const std::string& data) override {
        ClassesKey* k = mine(key);
        if (!k) return key.root() == RegRoot::ClassesRoot ? RegStatus::InvalidName
                                                          : inner_->setValue(key, name, type, data);
        k->fresh = false;
        if (k->user) return inner_->setValue(*k->user, name, type, data);
        if (!k->machine) {
            // Only the root can lack both copies: its value makes the machine's Classes key.
            if (k->access != RegAccess::Full) return RegStatus::AccessDenied;
            if (const RegStatus s = inner_->createKey(RegRoot::LocalMachine, join(kClasses, k->path()),
                                                      RegAccess::Full, k->machine);
                s != RegStatus::Ok)
                return s;
        }
        return inner_->setValue(*k->machine, name, type, data);
    }

    RegStatus deleteValue(const RegKey& key, const std::string& name) override {
        ClassesKey* k = mine(key);
        if (!k) return key.root() == RegRoot::ClassesRoot ? RegStatus::InvalidName
                                                          : inner_->deleteValue(key, name);
        k->fresh = false;
        if (k->user) {
            const RegStatus s = inner_->deleteValue(*k->user, name);
            if (s != RegStatus::NotFound) return s;
        }
        if (k->machine) return inner_->deleteValue(*k->machine, name);
        return RegStatus::NotFound;
    }

    RegStatus deleteKey(const RegKey& key, const std::string& subPath) override {
        ClassesKey* k = mine(key);
        if (!k) return key.root() == RegRoot::ClassesRoot ? RegStatus::InvalidName
                                                          : inner_->deleteKey(key, subPath);
        std::vector<std::string_view> names;
        if (!splitKeyPath(subPath, names)) return RegStatus::InvalidName;
        std::string sub;
        for (const auto& name : names) sub = join(sub, std::string(name));
        const std::string target = join(k->path(), sub);
        if (target.empty()) return RegStatus::AccessDenied;  // the root itself
        k->fresh = false;
        for (RegRoot side : {RegRoot::CurrentUser, RegRoot::LocalMachine}) {
            std::unique_ptr<RegKey> rootKey;
            if (const RegStatus s = inner_->openKey(side, "", RegAccess::Read, rootKey); s != RegStatus::Ok)
                return s;
            const RegStatus s = inner_->deleteKey(*rootKey, join(kClasses, target));
            if (s != RegStatus::NotFound) return s;
        }
        return RegStatus::NotFound;
    }

    void beginTransaction(const std::vector<RegRoot>& roots) override {
        std::vector<RegRoot> physical;
        for (RegRoot root : roots) {
            if (root == RegRoot::ClassesRoot) {
                physical.push_back(RegRoot::CurrentUser);
                physical.push_back(RegRoot::LocalMachine);
            } else {
                physical.push_back(root);
            }
        }
        inner_->beginTransaction(physical);
    }
    void commit() override { inner_->commit(); }
    void rollback() override { inner_->rollback(); }
    void setPatience(std::chrono::milliseconds patience) override { inner_->setPatience(patience); }
    std::string failureReason() const override { return inner_->failureReason(); }

private:
    ClassesKey* mine(const RegKey& key) const {
        auto* k = dynamic_cast<const ClassesKey*>(&key);
        return k && k->owner() == this ? const_cast<ClassesKey*>(k) : nullptr;
    }

    // One copy of the key; a user who may read but not change it still reads it.
    RegStatus openSide(RegRoot side, const std::string& logical, RegAccess access,
                       std::unique_ptr<RegKey>& out) {
        const std::string path = join(kClasses, logical);
        RegStatus s = inner_->openKey(side, path, access, out);
        if (s == RegStatus::AccessDenied && access == RegAccess::Full)
            s = inner_->openKey(side, path, RegAccess::Read, out);
        if (s != RegStatus::Ok) out.reset();
        return s;
    }

    RegStatus listing(ClassesKey& k, uint32_t index) {
        if (!k.loaded || (index == 0 && !k.fresh)) {
            if (const RegStatus s = load(k); s != RegStatus::Ok) return s;
        }
        k.fresh = false;
        return RegStatus::Ok;
    }

    // Reads one copy's names and values; a copy deleted meanwhile reads as empty.
    RegStatus readSide(const RegKey& side, std::vector<std::string>& subkeys,
                       std::vector<RegValue>& values, bool& gone) {
        RegKeyInfo info;
        RegStatus s = inner_->queryInfo(side, info);
        if (s == RegStatus::NotFound) {
            gone = true;
            return RegStatus::Ok;
        }
        if (s != RegStatus::Ok) return s;
        std::string name;
        for (uint32_t i = 0; (s = inner_->enumKey(side, i, name)) == RegStatus::Ok; ++i)
            subkeys.push_back(name);
        if (s != RegStatus::NotFound) return s;
        RegValue value;
        for (uint32_t i = 0; (s = inner_->enumValue(side, i, value)) == RegStatus::Ok; ++i)
            values.push_back(value);
        return s == RegStatus::NotFound ? RegStatus::Ok : s;
    }

    RegStatus load(ClassesKey& k) {
        k.loaded = false;
        std::vector<std::string> userKeys, machineKeys;
        std::vector<RegValue> userValues, machineValues;
        bool userGone = !k.user, machineGone = !k.machine;
        if (k.user)
            if (const RegStatus s = readSide(*k.user, userKeys, userValues, userGone); s != RegStatus::Ok)
                return s;
        if (k.machine)
            if (const RegStatus s = readSide(*k.machine, machineKeys, machineValues, machineGone);
                s != RegStatus::Ok)
                return s;
        if (userGone && machineGone && !k.path().empty() && (k.user || k.machine))
            return RegStatus::NotFound;
        // Both lists come in folded-name order; where both hold a name, the
        // user's spelling is the one shown.
        k.subkeys.clear();
        size_t i = 0, j = 0;
        while (i < userKeys.size() || j < machineKeys.size()) {
            if (j == machineKeys.size()) {
                k.subkeys.push_back(userKeys[i++]);
                continue;
            }
            if (i == userKeys.size()) {
                k.subkeys.push_back(machineKeys[j++]);
                continue;
            }
            const std::string a = foldName(userKeys[i]), b = foldName(machineKeys[j]);
            if (a == b) {
                k.subkeys.push_back(userKeys[i++]);
                ++j;
            } else if (a < b) {
                k.subkeys.push_back(userKeys[i++]);
            } else {
                k.subkeys.push_back(machineKeys[j++]);
            }
        }
        k.values = std::move(userValues);
        std::set<std::string> seen;
        for (const auto& v : k.values) seen.insert(foldName(v.name));
        for (auto& v : machineValues)
            if (!seen.count(foldName(v.name))) k.values.push_back(std::move(v));
        k.loaded = true;
        return RegStatus::Ok;
    }

    std::unique_ptr<RegistryAccessor> inner_;
};

}  // namespace

std::unique_ptr<RegistryAccessor> withMergedClasses(std::unique_ptr<RegistryAccessor> inner) {
    return std::make_unique<ClassesAccessor>(std::move(inner));
}

}  // namespace vornak::platform::posix
