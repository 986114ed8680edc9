#include "actions/EntryRegistry.h"

#include <memory>

#include "platform/RegistryStore.h"
#include "registry/RegistryAccess.h"

namespace vornak::actions {
namespace {

using platform::RegAccess;
using platform::RegStatus;

std::string storePath(const std::string& keyPath) {
    size_t begin = 0, end = keyPath.size();
    while (begin < end && keyPath[begin] == '\\')
        ++begin;
    while (end > begin && keyPath[end - 1] == '\\')
        --end;
    return keyPath.substr(begin, end - begin);
}

std::string describe(RegStatus status) {
    switch (status) {
        case RegStatus::Ok:
            break;
        case RegStatus::NotFound:
            return "The system cannot find the key specified.";
        case RegStatus::AccessDenied:
            return "Access is denied.";
        case RegStatus::InvalidName:
            return "The key name is not valid.";
        case RegStatus::HasSubkeys:
            return "The key still has subkeys.";
        case RegStatus::StoreFailure:
            return "The registry store failed.";
        case RegStatus::Busy:
            return platform::RegistryBusyError::kMessage;
    }
    return "The registry did not take the change.";
}

// Opens the key for reading without creating it.
RegStatus openForReading(const std::string& rootCode, const std::string& keyPath,
                         std::unique_ptr<platform::RegistryAccessor>& accessor,
                         std::unique_ptr<platform::RegKey>& key) {
    const auto root = rootFromCode(rootCode);
    if (!root)
        return RegStatus::InvalidName;
    accessor = platform::defaultRegistryStore()->accessor();
    return accessor->openKey(*root, storePath(keyPath), RegAccess::Read, key);
}

}  // namespace

bool keyExists(const std::string& rootCode, const std::string& keyPath) {
    std::unique_ptr<platform::RegistryAccessor> accessor;
    std::unique_ptr<platform::RegKey> key;
    return openForReading(rootCode, keyPath, accessor, key) == RegStatus::Ok;
}

long valueType(const std::string& rootCode, const std::string& keyPath,
               const std::string& valueName) {
    std::unique_ptr<platform::RegistryAccessor> accessor;
    std::unique_ptr<platform::RegKey> key;
    if (openForReading(rootCode, keyPath, accessor, key) != RegStatus::Ok)
        return -1;
    platform::RegValue value;
    if (accessor->queryValue(*key, valueName, value) != RegStatus::Ok)
        return -1;
    return static_cast<long>(value.type);
}

bool valueExists(const std::string& rootCode, const std::string& keyPath,
                 const std::string& valueName) {
    return valueType(rootCode, keyPath, valueName) >= 0;
}

std::string changeRefusal(const std::string& rootCode, const std::string& keyPath) {
    // The store's own words for what just failed (a full disk) say more than
    // what opening the key now would.
    if (std::string why = LastRegWriteFailure(); !why.empty())
        return why;
    const auto root = rootFromCode(rootCode);
    if (!root)
        return describe(RegStatus::InvalidName);
    auto accessor = platform::defaultRegistryStore()->accessor();
    std::unique_ptr<platform::RegKey> key;
    const RegStatus status = accessor->openKey(*root, storePath(keyPath), RegAccess::Full, key);
    return describe(status);
}

std::string shownValueName(const std::string& valueName) {
    return valueName.empty() ? std::string("(Default)") : valueName;
}

}  // namespace vornak::actions
