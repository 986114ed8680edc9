// Test fixture: a fresh registry store and a drive C in a temporary folder, set
// as the program's defaults for the duration of one test.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "support/TempDir.h"

namespace vornak::test {

class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Sets a value through the store directly, creating the key.
    void setValue(platform::RegRoot root, const std::string& path, const std::string& name,
                  uint32_t type, const std::string& data);
    void setString(platform::RegRoot root, const std::string& path, const std::string& name,
                   const std::string& text);
    // The value's type and bytes, or nullopt.
    std::optional<platform::RegValue> value(platform::RegRoot root, const std::string& path,
                                            const std::string& name);
    bool keyExists(platform::RegRoot root, const std::string& path);

    TempDir tmp;
    std::shared_ptr<platform::RegistryStore> store;
    std::shared_ptr<platform::FileSystem> fs;
    std::string driveC;       // host folder of drive C
    std::string programHost;  // host folder of the program
    std::string userDataHost;  // the per-user data folder (not made until written)
};

}  // namespace vornak::test
