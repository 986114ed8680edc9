#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "registry/RegistryAccess.h"
#include "support/RegistryFixture.h"

using namespace vornak;
using platform::RegRoot;

namespace {

const std::string kKey = "\\SOFTWARE\\Acme\\Editor";

std::string dword(uint32_t n) {
    std::string d(4, '\0');
    std::memcpy(d.data(), &n, 4);
    return d;
}

class RegistryAccessTest : public test::RegistryFixture {};

}  // namespace

TEST_F(RegistryAccessTest, RootCodesAnyCaseAndUnknownCodes) {
    setString(RegRoot::LocalMachine, "SOFTWARE\\Acme\\Editor", "Path", "C:\\Acme");
    EXPECT_EQ(ReadRegString("lm", kKey, "Path"), "C:\\Acme");
    EXPECT_EQ(ReadRegString("Lm", kKey, "Path"), "C:\\Acme");
    EXPECT_EQ(ReadRegString("LM", kKey, "path"), "C:\\Acme") << "value names ignore case";
    EXPECT_THROW(GetRegKeyNames("XX", kKey), SilentAbort);
    EXPECT_THROW(ReadRegString("", kKey, "Path"), SilentAbort);
    EXPECT_FALSE(WriteRegString("HKLM", kKey, "Path", "x")) << "only the short codes count";
    EXPECT_EQ(rootFromCode("u"), RegRoot::Users);
    EXPECT_EQ(rootFromCode("cc"), RegRoot::CurrentConfig);
    EXPECT_EQ(rootFromCode("CR"), RegRoot::ClassesRoot);
}

TEST_F(RegistryAccessTest, ReadStringRules) {
    const std::string path = "SOFTWARE\\Acme\\Editor";
    setValue(RegRoot::CurrentUser, path, "Home", platform::kRegExpandSz,
             std::string("%USERPROFILE%\\Acme\0", 20));
    setValue(RegRoot::CurrentUser, path, "Count", platform::kRegDword, dword(7));
    setValue(RegRoot::CurrentUser, path, "Cut", platform::kRegSz, std::string("abc\0def\0", 8));
    setValue(RegRoot::CurrentUser, path, "Empty", platform::kRegBinary, "");

    EXPECT_EQ(ReadRegString("CU", kKey, "Home"), "%USERPROFILE%\\Acme") << "never expanded";
    EXPECT_EQ(ReadRegString("CU", kKey, "Cut"), "abc") << "cut at the first NUL";
    EXPECT_EQ(ReadRegString("CU", kKey, "Missing"), "");
    EXPECT_EQ(ReadRegString("CU", kKey, "Empty"), "") << "empty data is the empty text";
    EXPECT_THROW(ReadRegString("CU", kKey, "Count"), SilentAbort);
}

TEST_F(RegistryAccessTest, ReadOfMissingKeyCreatesIt) {
    EXPECT_FALSE(keyExists(RegRoot::LocalMachine, "SOFTWARE\\Vornak\\Uninstaller"));
    EXPECT_EQ(ReadRegString("lm", kSettingsKeyPath, "lang"), "");
    EXPECT_TRUE(keyExists(RegRoot::LocalMachine, "SOFTWARE\\Vornak\\Uninstaller"));
    EXPECT_TRUE(GetRegKeyNames("LM", kSettingsKeyPath).empty());
    EXPECT_TRUE(GetRegValueNames("LM", kSettingsKeyPath).empty());
}

TEST_F(RegistryAccessTest, Flags) {
    EXPECT_THROW(ReadRegBool("LM", kKey, "grid"), SilentAbort) << "no default for a missing flag";
    EXPECT_TRUE(WriteRegBool("LM", kKey, "grid", true));
    EXPECT_EQ(value(RegRoot::LocalMachine, "SOFTWARE\\Acme\\Editor", "grid")->data, dword(1));
    EXPECT_TRUE(ReadRegBool("LM", kKey, "grid"));
    EXPECT_TRUE(WriteRegBool("LM", kKey, "grid", false));
    EXPECT_EQ(value(RegRoot::LocalMachine, "SOFTWARE\\Acme\\Editor", "grid")->data, dword(0));
    EXPECT_FALSE(ReadRegBool("LM", kKey, "grid"));
    setValue(RegRoot::LocalMachine, "SOFTWARE\\Acme\\Editor", "five", platform::kRegDword,
             dword(5));
    EXPECT_TRUE(ReadRegBool("LM", kKey, "five"));
    WriteRegString("LM", kKey, "text", "1");
    EXPECT_THROW(ReadRegBool("LM", kKey, "text"), SilentAbort);
}

TEST_F(RegistryAccessTest, WritesAndNameListsInRegistryOrder) {
    EXPECT_TRUE(WriteRegString("CU", kKey, "b", "2"));
    EXPECT_TRUE(WriteRegString("CU", kKey, "a", "1"));
    EXPECT_TRUE(WriteRegString("CU", kKey, "B", "3")) << "replaces b";
#ifdef _WIN32
    EXPECT_EQ(GetRegValueNames("CU", kKey), (NameList{"a", "b"}));  // Wine lists by name
#else
    EXPECT_EQ(GetRegValueNames("CU", kKey), (NameList{"b", "a"}));
#endif
    auto stored = value(RegRoot::CurrentUser, "SOFTWARE\\Acme\\Editor", "b");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, platform::kRegSz);
    EXPECT_EQ(stored->data, std::string("3\0", 2)) << "REG_SZ with its terminating NUL";

    WriteRegString("CU", kKey + "\\zeta", "", "");
    WriteRegString("CU", kKey + "\\Alpha", "", "");
    WriteRegString("CU", kKey + "\\beta", "", "");
    EXPECT_EQ(GetRegKeyNames("CU", kKey), (NameList{"Alpha", "beta", "zeta"}));
}

TEST_F(RegistryAccessTest, DeleteValueAndDeepKey) {
    EXPECT_TRUE(DeleteRegValue("CU", kKey, "nothing-there"));
    WriteRegString("CU", kKey, "v", "x");
    EXPECT_TRUE(DeleteRegValue("CU", kKey, "v"));
    EXPECT_EQ(ReadRegString("CU", kKey, "v"), "");

    for (const char* sub : {"\\a\\b\\c\\d", "\\a\\b2", "\\a\\b\\c2", "\\z"})
        ASSERT_TRUE(WriteRegString("CU", kKey + sub, "v", "x"));
    EXPECT_TRUE(DeleteRegKey("CU", kKey));
    EXPECT_FALSE(keyExists(RegRoot::CurrentUser, "SOFTWARE\\Acme\\Editor"));
    EXPECT_TRUE(keyExists(RegRoot::CurrentUser, "SOFTWARE\\Acme"));
    EXPECT_TRUE(DeleteRegKey("CU", "\\SOFTWARE\\Never\\There"));
}

TEST_F(RegistryAccessTest, LimitedUserAndMachineRoot) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a read-only store file stands for a limited user";
#else
    // Make machine.db exist, then write-protect it as a limited user would find it.
    ASSERT_TRUE(WriteRegString("LM", kKey, "v", "x"));
    ASSERT_TRUE(WriteRegString("CU", kKey, "v", "x"));
    store.reset();
    platform::setDefaultRegistryStore(nullptr);
    const std::string machine = tmp.str() + "/registry/machine.db";
    ASSERT_EQ(chmod(machine.c_str(), 0444), 0);
    store = platform::openRegistryStore(tmp.str() + "/registry");
    platform::setDefaultRegistryStore(store);

    EXPECT_FALSE(WriteRegString("LM", kKey, "v", "y"));
    EXPECT_FALSE(WriteRegBool("LM", kKey, "f", true));
    EXPECT_FALSE(DeleteRegValue("LM", kKey, "v"));
    EXPECT_FALSE(DeleteRegKey("LM", kKey));
    // Reads fall back to read access: the value is still there to be read.
    EXPECT_EQ(ReadRegString("LM", kKey, "v"), "x");
    EXPECT_EQ(GetRegValueNames("LM", kKey), NameList{"v"});
    EXPECT_EQ(GetRegKeyNames("LM", "\\SOFTWARE\\Acme"), NameList{"Editor"});
    EXPECT_THROW(ReadRegString("LM", "\\SOFTWARE\\Not\\Made", "v"), SilentAbort)
        << "a key it may not create stays missing";
    EXPECT_FALSE(keyExists(RegRoot::LocalMachine, "SOFTWARE\\Not"));
    EXPECT_TRUE(WriteRegString("CU", kKey, "v", "y")) << "the user's own root stays writable";
    EXPECT_EQ(ReadRegString("CU", kKey, "v"), "y");
#endif
}
