#include "actions/EntryRegistry.h"

#include <memory>

#include "language/MessageCatalogue.h"
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
            return messages().get(Msg::msgKeyNotFound);
        case RegStatus::AccessDenied:
            return messages().get(Msg::msgAccessDenied);
        case RegStatus::InvalidName:
            return messages().get(Msg::msgBadKeyName);
        case RegStatus::HasSubkeys:
            return messages().get(Msg::msgKeyHasSubkeys);
        case RegStatus::StoreFailure:
            return messages().get(Msg::msgStoreFailed);
        case RegStatus::Busy:
            return messages().get(Msg::msgRegistryBusy);
    }
    return messages().get(Msg::msgChangeNotTaken);
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

std::optional<uint32_t> dwordValue(const std::string& rootCode, const std::string& keyPath,
                                   const std::string& valueName) {
    std::unique_ptr<platform::RegistryAccessor> accessor;
    std::unique_ptr<platform::RegKey> key;
    if (openForReading(rootCode, keyPath, accessor, key) != RegStatus::Ok)
        return std::nullopt;
    platform::RegValue value;
    if (accessor->queryValue(*key, valueName, value) != RegStatus::Ok ||
        value.type != platform::kRegDword || value.data.size() != 4)
        return std::nullopt;
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = number << 8 | static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
    return number;
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
