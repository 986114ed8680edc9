#include "registry/SettingsWriter.h"

#include <cstring>

#include "registry/RegistryAccess.h"

namespace vornak {

using platform::RegStatus;

platform::RegStatus WriteRegValues(const std::string& rootCode, const std::string& keyPath,
                                   const std::vector<SettingValue>& values,
                                   std::chrono::milliseconds patience,
                                   std::string* failure) {
    const auto root = rootFromCode(rootCode);
    if (!root)
        return RegStatus::InvalidName;
    std::string path = keyPath;
    while (!path.empty() && path.front() == '\\')
        path.erase(path.begin());
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    try {
        auto accessor = storeForKey(*root, path, true)->accessor();
        accessor->setPatience(patience);
        accessor->beginTransaction({*root});
        std::unique_ptr<platform::RegKey> key;
        RegStatus status = accessor->createKey(*root, path, platform::RegAccess::Full, key);
        for (size_t i = 0; status == RegStatus::Ok && i < values.size(); ++i) {
            const SettingValue& value = values[i];
            if (value.isFlag) {
                const uint32_t number = value.flag ? 1 : 0;
                std::string data(4, '\0');
                std::memcpy(data.data(), &number, 4);
                status = accessor->setValue(*key, value.name, platform::kRegDword, data);
            } else {
                status = accessor->setValue(*key, value.name, platform::kRegSz,
                                            value.text + '\0');
            }
        }
        if (status != RegStatus::Ok) {
            if (failure && status == RegStatus::StoreFailure)
                *failure = accessor->failureReason();
            accessor->rollback();
            return status;
        }
        key.reset();
        accessor->commit();
        return RegStatus::Ok;
    } catch (const platform::RegistryBusyError&) {
        return RegStatus::Busy;
    } catch (const std::exception& e) {
        if (failure)
            *failure = e.what();
        return RegStatus::StoreFailure;
    }
}

}  // namespace vornak
