// A real Wine prefix, made fresh by Wine itself, imports whole. Skipped where
// Wine is not installed (it is not one of the build dependencies).
#include <gtest/gtest.h>

#include <cstdlib>

#include "registry/RegFileStore.h"
#include "support/RegistryFixture.h"

namespace vornak::registry {
namespace {

using platform::RegRoot;
using namespace std::string_literals;

class RegFileWinePrefixTest : public test::RegistryFixture {};

TEST_F(RegFileWinePrefixTest, FreshPrefixWithARegistrationImports) {
    if (std::system("command -v wine >/dev/null 2>&1 && command -v wineserver >/dev/null 2>&1") !=
        0)
        GTEST_SKIP() << "Wine is not installed (no wine and wineserver on PATH)";

    const std::string prefix = tmp.str() + "/wine prefix";
    // The registration is written by Wine's own reg, so its escapes are Wine's.
    const std::string script =
        tmp.write(
               "make-prefix.sh",
               "set -e\n"
               "export LC_ALL=C.UTF-8 LANG=C.UTF-8 HOME=\"${HOME:-$1.home}\"\n"
               "export WINEPREFIX=\"$1\" WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='\n"
               "wine wineboot -i\n"
               "wine reg add "
               "'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vornak Wine Test'"
               " /v DisplayName /d 'Caf\xC3\xA9 \"Wine\" Edition' /f\n"
               "wine reg add "
               "'HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vornak Wine Test'"
               " /v UninstallString /d 'C:\\Program Files\\Vornak Wine Test\\uninstall.exe' /f\n"
               "wine reg add 'HKCU\\Software\\Vornak Wine Test' /v Flags /t REG_DWORD /d 5 /f\n"
               "wineserver -w\n")
            .string();
    const std::string command =
        "timeout 300 sh '" + script + "' '" + prefix + "' >'" + tmp.str() + "/wine.log' 2>&1";
    // A Wine that cannot make a prefix here (no home, a broken install) says
    // nothing about our import, so that is a skip with Wine's own words.
    if (std::system(command.c_str()) != 0) {
        const std::string log = tmp.read("wine.log");
        GTEST_SKIP() << "Wine could not make a prefix here: "
                     << log.substr(log.size() > 400 ? log.size() - 400 : 0);
    }

    auto acc = store->accessor();
    importRegFile(*acc, prefix + "/system.reg");
    importRegFile(*acc, prefix + "/user.reg");

    const std::string entry =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vornak Wine Test";
    auto name = value(RegRoot::LocalMachine, entry, "DisplayName");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->data, "Caf\xC3\xA9 \"Wine\" Edition\0"s);
    EXPECT_EQ(value(RegRoot::LocalMachine, entry, "UninstallString")->data,
              "C:\\Program Files\\Vornak Wine Test\\uninstall.exe\0"s);
    EXPECT_EQ(value(RegRoot::CurrentUser, "Software\\Vornak Wine Test", "Flags")->data,
              "\x05\0\0\0"s);
    // Wine's own registrations came along: the Windows version and the classes.
    EXPECT_TRUE(value(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                      "CurrentVersion"));
    std::vector<RegFileKey> classes;
    ASSERT_EQ(readKeyTree(*acc, RegRoot::LocalMachine, "Software\\Classes", classes),
              platform::RegStatus::Ok);
    EXPECT_GT(classes.size(), 1000u);
}

}  // namespace
}  // namespace vornak::registry
