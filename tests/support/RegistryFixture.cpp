#include "support/RegistryFixture.h"

#include <filesystem>

namespace vornak::test {

using namespace platform;

void RegistryFixture::SetUp() {
    driveC = tmp.str() + "/drive c";
    programHost = driveC + "/Program Files/Vornak";
    std::filesystem::create_directories(programHost);
    store = openRegistryStore(tmp.str() + "/registry");
    setDefaultRegistryStore(store);
    userDataHost = tmp.str() + "/user data/vornak";
    fs = makeFileSystem({{'C', driveC}}, programHost, userDataHost);
    setDefaultFileSystem(fs);
}

void RegistryFixture::TearDown() {
    setDefaultRegistryStore(nullptr);
    setDefaultFileSystem(nullptr);
}

void RegistryFixture::setValue(RegRoot root, const std::string& path, const std::string& name,
                               uint32_t type, const std::string& data) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    ASSERT_EQ(acc->createKey(root, path, RegAccess::Full, key), RegStatus::Ok) << path;
    ASSERT_EQ(acc->setValue(*key, name, type, data), RegStatus::Ok) << path << " " << name;
}

void RegistryFixture::setString(RegRoot root, const std::string& path, const std::string& name,
                                const std::string& text) {
    setValue(root, path, name, kRegSz, text + std::string(1, '\0'));
}

std::optional<RegValue> RegistryFixture::value(RegRoot root, const std::string& path,
                                               const std::string& name) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    if (acc->openKey(root, path, RegAccess::Read, key) != RegStatus::Ok) return std::nullopt;
    RegValue v;
    if (acc->queryValue(*key, name, v) != RegStatus::Ok) return std::nullopt;
    return v;
}

bool RegistryFixture::keyExists(RegRoot root, const std::string& path) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> key;
    return acc->openKey(root, path, RegAccess::Read, key) == RegStatus::Ok;
}

}  // namespace vornak::test
