#include "analysis/RemovalBackup.h"

#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "analysis/LogRegistryEntry.h"

namespace vornak::analysis {
namespace {

using platform::RegAccess;
using platform::RegStatus;

using KeyId = std::pair<platform::RegRoot, std::string>;

class Image {
  public:
    explicit Image(platform::RegistryAccessor& registry) : registry_(registry) {}

    // The key is put back (empty if need be) when it exists now.
    void keepKey(const RegistryEntry& entry) {
        if (!entry.apiPath.empty() && exists(entry.root, entry.apiPath))
            keyOf(entry.root, entry.apiPath);
    }

    // The value is put back as it is now, or removed when the key has none of
    // that name. A key that is missing now, or below a missing one, is removed
    // from its first missing level on, as the removal creates them all.
    void keepValue(const RegistryEntry& entry, const std::string& name, bool mayBeCreated) {
        if (mayBeCreated && removeMissingLevels(entry.root, entry.apiPath))
            return;
        std::unique_ptr<platform::RegKey> key;
        if (registry_.openKey(entry.root, entry.apiPath, RegAccess::Read, key) != RegStatus::Ok)
            return;
        const KeyId id{entry.root, entry.apiPath};
        if (!seenValues_.insert({id, name}).second)
            return;
        platform::RegValue value;
        if (registry_.queryValue(*key, name, value) == RegStatus::Ok)
            keyOf(entry.root, entry.apiPath).key.values.push_back(std::move(value));
        else if (mayBeCreated)
            keyOf(entry.root, entry.apiPath).removedValues.push_back(name);
    }

    // The keys the removal creates, missing now: their first missing level.
    bool removeMissingLevels(platform::RegRoot root, const std::string& apiPath) {
        for (size_t end = 0; end != std::string::npos;) {
            end = apiPath.find('\\', end + 1);
            const std::string level = apiPath.substr(0, end);
            if (!level.empty() && !exists(root, level)) {
                removed_.insert({root, level});
                return true;
            }
        }
        return false;
    }

    std::vector<registry::RegFileRestoreKey> take() {
        std::vector<registry::RegFileRestoreKey> out;
        for (auto& [id, key] : keys_)
            out.push_back(std::move(key));
        // Parents before their subkeys, as regedit writes them.
        std::stable_sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
            return std::count(a.key.path.begin(), a.key.path.end(), '\\') <
                   std::count(b.key.path.begin(), b.key.path.end(), '\\');
        });
        // Last: whatever the lines above created there goes with them.
        for (const auto& [root, path] : removed_) {
            registry::RegFileRestoreKey gone;
            gone.key.root = root;
            gone.key.path = path;
            gone.removedOnly = true;
            out.push_back(std::move(gone));
        }
        return out;
    }

  private:
    bool exists(platform::RegRoot root, const std::string& path) {
        std::unique_ptr<platform::RegKey> key;
        return registry_.openKey(root, path, RegAccess::Read, key) == RegStatus::Ok;
    }
    registry::RegFileRestoreKey& keyOf(platform::RegRoot root, const std::string& path) {
        registry::RegFileRestoreKey& restore = keys_[{root, path}];
        restore.key.root = root;
        restore.key.path = path;
        return restore;
    }

    platform::RegistryAccessor& registry_;
    std::map<KeyId, registry::RegFileRestoreKey> keys_;
    std::set<KeyId> removed_;
    std::set<std::pair<KeyId, std::string>> seenValues_;
};

}  // namespace

std::vector<registry::RegFileRestoreKey> removalImage(const AnalysisLogEntries& entries,
                                                      platform::RegistryAccessor& registry) {
    Image image(registry);
    for (const std::string& text : entries.addedRegistry) {
        const auto entry = parseRegistryEntry(text);
        if (!entry)
            continue;
        if (entry->isKey)
            image.keepKey(*entry);
        else
            image.keepValue(*entry, entry->rest.substr(0, entry->rest.find('\t')), false);
    }
    for (const std::string& text : entries.deletedRegistry) {
        const auto entry = parseRegistryEntry(text);
        if (!entry)
            continue;
        if (entry->isKey)
            image.removeMissingLevels(entry->root, entry->apiPath);
        else if (const size_t tab = entry->rest.find('\t'); tab != std::string::npos)
            image.keepValue(*entry, entry->rest.substr(0, tab), true);
        else
            image.removeMissingLevels(entry->root, entry->apiPath);
    }
    return image.take();
}

}  // namespace vornak::analysis
