#include "platform/model/Wow64View.h"

#include <string_view>
#include <vector>

namespace vornak::platform {
namespace {

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The keys below HKLM\Software that 32-bit and 64-bit programs share (the
// list 64-bit Windows 7 and later keep; Wine links the same keys from its
// Wow6432Node). In lower case, below Software.
constexpr std::string_view kShared[] = {
    "clients",
    "microsoft\\com3",
    "microsoft\\cryptography\\calais\\current",
    "microsoft\\cryptography\\calais\\readers",
    "microsoft\\cryptography\\services",
    "microsoft\\ctf\\systemshared",
    "microsoft\\ctf\\tip",
    "microsoft\\dfs",
    "microsoft\\driver signing",
    "microsoft\\enterprisecertificates",
    "microsoft\\eventsystem",
    "microsoft\\msmq",
    "microsoft\\non-driver signing",
    "microsoft\\notepad\\defaultfonts",
    "microsoft\\ole",
    "microsoft\\ras",
    "microsoft\\rpc",
    "microsoft\\software\\microsoft\\shared tools\\msinfo",
    "microsoft\\systemcertificates",
    "microsoft\\termservlicensing",
    "microsoft\\transaction server",
    "microsoft\\windows\\currentversion\\app paths",
    "microsoft\\windows\\currentversion\\control panel\\cursors\\schemes",
    "microsoft\\windows\\currentversion\\explorer\\autoplayhandlers",
    "microsoft\\windows\\currentversion\\explorer\\driveicons",
    "microsoft\\windows\\currentversion\\explorer\\kindmap",
    "microsoft\\windows\\currentversion\\group policy",
    "microsoft\\windows\\currentversion\\policies",
    "microsoft\\windows\\currentversion\\previewhandlers",
    "microsoft\\windows\\currentversion\\setup",
    "microsoft\\windows\\currentversion\\telephony\\locations",
    "microsoft\\windows nt\\currentversion\\console",
    "microsoft\\windows nt\\currentversion\\fontdpi",
    "microsoft\\windows nt\\currentversion\\fontlink",
    "microsoft\\windows nt\\currentversion\\fontmapper",
    "microsoft\\windows nt\\currentversion\\fonts",
    "microsoft\\windows nt\\currentversion\\fontsubstitutes",
    "microsoft\\windows nt\\currentversion\\gre_initialize",
    "microsoft\\windows nt\\currentversion\\image file execution options",
    "microsoft\\windows nt\\currentversion\\languagepack",
    "microsoft\\windows nt\\currentversion\\networkcards",
    "microsoft\\windows nt\\currentversion\\perflib",
    "microsoft\\windows nt\\currentversion\\ports",
    "microsoft\\windows nt\\currentversion\\print",
    "microsoft\\windows nt\\currentversion\\profilelist",
    "microsoft\\windows nt\\currentversion\\time zones",
    "policies",
    "registeredapplications",
    "registered applications",
};

// The Classes keys that each view has its own of.
constexpr std::string_view kRedirectedClasses[] = {"clsid", "directshow", "interface",
                                                   "media type", "mediafoundation"};

std::string joinNames(const std::vector<std::string_view>& names, size_t from, size_t to) {
    std::string out;
    for (size_t i = from; i < to; ++i) {
        if (!out.empty()) out += '\\';
        out += names[i];
    }
    return out;
}

std::string join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + "\\" + b;
}

// `base` + the Classes path in names[from..], with Wow6432Node in front of a redirected key.
std::string classesPath(const std::string& base, const std::vector<std::string_view>& names, size_t from) {
    if (from < names.size()) {
        const std::string first = lowerAscii(names[from]);
        for (auto redirected : kRedirectedClasses)
            if (first == redirected)
                return join(join(base, "Wow6432Node"), joinNames(names, from, names.size()));
    }
    return join(base, joinNames(names, from, names.size()));
}

bool isShared(const std::vector<std::string_view>& names) {
    // names[0] is Software.
    std::string below;
    for (size_t i = 1; i < names.size(); ++i) {
        below = join(below, lowerAscii(names[i]));
        for (auto shared : kShared)
            if (below == shared) return true;
    }
    return false;
}

class ViewKey final : public RegKey {
public:
    ViewKey(const void* owner, RegRoot root, std::string path, std::unique_ptr<RegKey> innerKey)
        : inner(std::move(innerKey)), owner_(owner), root_(root), path_(std::move(path)) {}
    RegRoot root() const override { return root_; }
    const std::string& path() const override { return path_; }
    bool isLink() const override { return inner->isLink(); }
    const void* owner() const { return owner_; }
    const std::unique_ptr<RegKey> inner;

private:
    const void* owner_;
    RegRoot root_;
    std::string path_;
};

class Wow64Accessor final : public RegistryAccessor {
public:
    explicit Wow64Accessor(std::unique_ptr<RegistryAccessor> inner) : inner_(std::move(inner)) {}

    RegStatus openKey(RegRoot root, const std::string& path, RegAccess access,
                      std::unique_ptr<RegKey>& out) override {
        out.reset();
        std::string logical;
        if (!normalise(path, logical)) return RegStatus::InvalidName;
        std::unique_ptr<RegKey> key;
        const RegStatus s = inner_->openKey(root, wow64Path(root, logical), access, key);
        if (s == RegStatus::Ok) out = std::make_unique<ViewKey>(this, root, logical, std::move(key));
        return s;
    }

    RegStatus createKey(RegRoot root, const std::string& path, RegAccess access,
                        std::unique_ptr<RegKey>& out, bool* created) override {
        out.reset();
        std::string logical;
        if (!normalise(path, logical)) return RegStatus::InvalidName;
        std::unique_ptr<RegKey> key;
        const RegStatus s = inner_->createKey(root, wow64Path(root, logical), access, key, created);
        if (s == RegStatus::Ok) out = std::make_unique<ViewKey>(this, root, logical, std::move(key));
        return s;
    }

    RegStatus openSubKey(const RegKey& key, const std::string& subPath, RegAccess access,
                         std::unique_ptr<RegKey>& out) override {
        const ViewKey* k = mine(key);
        std::string sub;
        if (!k || !normalise(subPath, sub)) return RegStatus::InvalidName;
        return openKey(k->root(), join(k->path(), sub), access, out);
    }

    RegStatus queryInfo(const RegKey& key, RegKeyInfo& info) override {
        const ViewKey* k = mine(key);
        return k ? inner_->queryInfo(*k->inner, info) : RegStatus::InvalidName;
    }
    RegStatus enumKey(const RegKey& key, uint32_t index, std::string& name) override {
        const ViewKey* k = mine(key);
        return k ? inner_->enumKey(*k->inner, index, name) : RegStatus::InvalidName;
    }
    RegStatus enumValue(const RegKey& key, uint32_t index, RegValue& value) override {
        const ViewKey* k = mine(key);
        return k ? inner_->enumValue(*k->inner, index, value) : RegStatus::InvalidName;
    }
    RegStatus queryValue(const RegKey& key, const std::string& name, RegValue& value) override {
        const ViewKey* k = mine(key);
        return k ? inner_->queryValue(*k->inner, name, value) : RegStatus::InvalidName;
    }
    RegStatus setValue(const RegKey& key, const std::string& name, uint32_t type,
                       const std::string& data) override {
        const ViewKey* k = mine(key);
        return k ? inner_->setValue(*k->inner, name, type, data) : RegStatus::InvalidName;
    }
    RegStatus deleteValue(const RegKey& key, const std::string& name) override {
        const ViewKey* k = mine(key);
        return k ? inner_->deleteValue(*k->inner, name) : RegStatus::InvalidName;
    }

    RegStatus deleteKey(const RegKey& key, const std::string& subPath) override {
        const ViewKey* k = mine(key);
        std::string sub;
        if (!k || !normalise(subPath, sub) || sub.empty()) return RegStatus::InvalidName;
        const std::string physical = wow64Path(k->root(), join(k->path(), sub));
        const size_t cut = physical.rfind('\\');
        std::unique_ptr<RegKey> parent;
        const RegStatus s = inner_->openKey(
            k->root(), cut == std::string::npos ? std::string() : physical.substr(0, cut),
            RegAccess::Read, parent);
        if (s != RegStatus::Ok) return s;
        return inner_->deleteKey(*parent, cut == std::string::npos ? physical : physical.substr(cut + 1));
    }

    void beginTransaction(const std::vector<RegRoot>& roots) override { inner_->beginTransaction(roots); }
    void commit() override { inner_->commit(); }
    void rollback() override { inner_->rollback(); }
    void setPatience(std::chrono::milliseconds patience) override { inner_->setPatience(patience); }
    std::string failureReason() const override { return inner_->failureReason(); }

private:
    const ViewKey* mine(const RegKey& key) const {
        auto* k = dynamic_cast<const ViewKey*>(&key);
        return k && k->owner() == this ? k : nullptr;
    }

    static bool normalise(const std::string& path, std::string& out) {
        std::vector<std::string_view> names;
        if (!splitKeyPath(path, names)) return false;
        out = joinNames(names, 0, names.size());
        return true;
    }

    std::unique_ptr<RegistryAccessor> inner_;
};

}  // namespace

std::string wow64Path(RegRoot root, const std::string& path) {
    std::vector<std::string_view> names;
    if (!splitKeyPath(path, names)) return path;
    const auto is = [&](size_t i, std::string_view word) {
        return i < names.size() && lowerAscii(names[i]) == word;
    };
    switch (root) {
        case RegRoot::ClassesRoot:
            return classesPath("", names, 0);
        case RegRoot::CurrentUser:
            if (is(0, "software") && is(1, "classes"))
                return classesPath(joinNames(names, 0, 2), names, 2);
            return path;
        case RegRoot::LocalMachine:
            if (!is(0, "software") || is(1, "wow6432node")) return path;
            if (is(1, "classes")) return classesPath(joinNames(names, 0, 2), names, 2);
            if (isShared(names)) return path;
            return join(join(std::string(names[0]), "Wow6432Node"), joinNames(names, 1, names.size()));
        default:
            return path;
    }
}

std::unique_ptr<RegistryAccessor> wow64View(std::unique_ptr<RegistryAccessor> inner) {
    return std::make_unique<Wow64Accessor>(std::move(inner));
}

}  // namespace vornak::platform
