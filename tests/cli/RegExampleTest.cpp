// The shipped example (examples/registrations.reg with examples/drive-c as C:)
// shows the rows that docs/try-it.md promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vornak::test {
namespace {

TEST(RegExample, ImportedExampleListsEveryKindOfRow) {
    TempDir tmp;
    const std::string examples = VORNAK_EXAMPLES_DIR;
    const std::map<std::string, std::string> env = {
        {"VORNAK_REGISTRY_DIR", tmp.str() + "/registry"},
        {"VORNAK_DRIVES", "C=" + examples + "/drive-c"},
    };
    const auto imported =
        runProgram(VORNAK_EXE, {"reg", "import", examples + "/registrations.reg"}, env);
    ASSERT_EQ(imported.exitCode, 0) << imported.err;

    const auto listed = runProgram(VORNAK_EXE, {"list", "--show-hidden"}, env);
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::set<std::string> rows;
    std::istringstream lines(listed.out);
    for (std::string line; std::getline(lines, line);)
        rows.insert(line);

    const std::string guid = "{A1B2C3D4-E5F6-4711-8899-AABBCCDDEEFF}";
    const std::string key = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    const std::set<std::string> expected = {
        "ok\tLM\t" + key +
            "Acme Editor\tAcme Editor 3.2\t\"C:\\Program Files\\Acme Editor\\uninstall.exe\" "
            "/S",
        "dead\tLM\t" + key +
            "OldGame_is1\tOld Game Deluxe\t\"C:\\Program Files\\Old Game\\unins000.exe\"",
        "ok\tLM\t" + key +
            "{6F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}\tContoso Runtime 2.0 (x64)\t"
            "MsiExec.exe /X{6F1E2D3C-4B5A-4968-8776-A5B4C3D2E1F0}",
        "ok\tLM\t" + key + "" + guid + "\t" + guid +
            " ***\t\"C:\\Program Files\\Orphan Tool\\remove.exe\"",
        "ok\tLM\t" + key + "HotBar\tHotBar Toolbar 4.1\tC:\\Program Files\\HotBar\\hbuninst.exe",
        "ok\tCU\t" + key +
            "Portable Notes\tPortable Notes\t\"C:\\Users\\Public\\Portable "
            "Notes\\uninstall.exe\"",
        "dead\tCU\t" + key + "Gator\tGator eWallet\tC:\\Program Files\\Gator\\uninstall.exe",
        "dead\tCU\t" + key +
            "Quick Viewer\tQuick Viewer (per user)\tmsiexec /x "
            "{0F9E8D7C-6B5A-4321-9876-543210FEDCBA}",
    };
    EXPECT_EQ(rows, expected);

    const auto crap = runProgram(VORNAK_EXE, {"list", "--show-hidden", "--crap"}, env);
    EXPECT_EQ(crap.exitCode, 0) << crap.err;
    EXPECT_NE(crap.out.find("HotBar Toolbar 4.1"), std::string::npos);
    EXPECT_NE(crap.out.find("Gator eWallet"), std::string::npos);
    EXPECT_EQ(std::count(crap.out.begin(), crap.out.end(), '\n'), 2) << crap.out;
}

}  // namespace
}  // namespace vornak::test
