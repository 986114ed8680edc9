// Helpers for the registry store tests: a store in a temporary folder, and
// short forms of the accessor calls that fail the test when a call fails.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"
#include "support/TempDir.h"

namespace vornak::test {

inline std::unique_ptr<platform::RegKey> mustCreate(platform::RegistryAccessor& acc,
                                                    platform::RegRoot root,
                                                    const std::string& path) {
    std::unique_ptr<platform::RegKey> key;
    EXPECT_EQ(acc.createKey(root, path, platform::RegAccess::Full, key), platform::RegStatus::Ok)
        << path;
    return key;
}

inline std::unique_ptr<platform::RegKey> tryOpen(platform::RegistryAccessor& acc,
                                                 platform::RegRoot root, const std::string& path,
                                                 platform::RegAccess access,
                                                 platform::RegStatus expected) {
    std::unique_ptr<platform::RegKey> key;
    EXPECT_EQ(acc.openKey(root, path, access, key), expected) << path;
    return key;
}

inline std::vector<std::string> subkeyNames(platform::RegistryAccessor& acc,
                                            const platform::RegKey& key) {
    std::vector<std::string> names;
    std::string name;
    for (uint32_t i = 0; acc.enumKey(key, i, name) == platform::RegStatus::Ok; ++i)
        names.push_back(name);
    return names;
}

inline std::vector<platform::RegValue> values(platform::RegistryAccessor& acc,
                                              const platform::RegKey& key) {
    std::vector<platform::RegValue> out;
    platform::RegValue value;
    for (uint32_t i = 0; acc.enumValue(key, i, value) == platform::RegStatus::Ok; ++i)
        out.push_back(value);
    return out;
}

inline std::vector<std::string> valueNames(platform::RegistryAccessor& acc,
                                           const platform::RegKey& key) {
    std::vector<std::string> names;
    for (const auto& value : values(acc, key))
        names.push_back(value.name);
    return names;
}

// Every key and value below a root as text, in enumeration order: two stores
// (or one store at two moments) hold the same when their dumps are equal.
std::string dumpRoot(platform::RegistryAccessor& acc, platform::RegRoot root);

class RegistryStoreTest : public ::testing::Test {
  protected:
    TempDir tmp;
    // Two levels that do not exist yet: the store makes its folder with parents.
    std::string dir = tmp.str() + "/registry/store";
    std::shared_ptr<platform::RegistryStore> store = platform::openRegistryStore(dir);
    std::unique_ptr<platform::RegistryAccessor> acc = store->accessor();
};

}  // namespace vornak::test
