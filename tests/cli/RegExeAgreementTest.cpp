// Windows only: vornak.exe reg on the real registry (under Wine, the prefix's)
// against the system's own reg.exe and regedit on the same key.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vornak::test {
namespace {

class RegExeAgreementTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& value : std::vector<std::vector<std::string>>{
                 {"/ve", "/d", "the default"},
                 {"/v", "Text", "/d", "C:\\Program Files\\Acme"},
                 {"/v", "Expand", "/t", "REG_EXPAND_SZ", "/d", "%SystemRoot%\\acme"},
                 {"/v", "List", "/t", "REG_MULTI_SZ", "/d", "one\\0two"},
                 {"/v", "Count", "/t", "REG_DWORD", "/d", "42"},
                 {"/v", "Big", "/t", "REG_QWORD", "/d", "0x1122334455667788"},
                 {"/v", "Blob", "/t", "REG_BINARY", "/d", "00ff10"},
                 {"/v", "Nothing", "/t", "REG_NONE", "/d", ""},
                 {"/v", "Empty", "/d", ""}}) {
            std::vector<std::string> args{"reg", "add", key};
            args.insert(args.end(), value.begin(), value.end());
            args.push_back("/f");
            ASSERT_EQ(vornak(args).exitCode, 0) << value[1];
        }
        ASSERT_EQ(vornak({"reg", "add", key + "\\Empty key", "/f"}).exitCode, 0);
    }
    void TearDown() override { vornak({"reg", "delete", key, "/f"}); }

    // No VORNAK_REGISTRY_DIR: the real registry.
    ProgramResult vornak(const std::vector<std::string>& args) {
        return runProgram(VORNAK_EXE, args, {{"VORNAK_REGISTRY_DIR", ""}});
    }
    static std::string systemProgram(const char* program) {
        wchar_t folder[MAX_PATH];
        GetSystemWindowsDirectoryW(folder, MAX_PATH);
        std::string path;
        for (const wchar_t* c = folder; *c; ++c)
            path += static_cast<char>(*c);
        return path + "\\" + program;
    }

    TempDir tmp;
    const std::string key =
        "HKCU\\Software\\Vornak agreement " + std::to_string(GetCurrentProcessId());
};

TEST_F(RegExeAgreementTest, QueryAgreesWithRegExe) {
    const auto ours = vornak({"reg", "query", key, "/s"});
    const auto theirs = runProgram(systemProgram("system32\\reg.exe"), {"query", key, "/s"}, {});
    EXPECT_EQ(ours.exitCode, 0) << ours.err;
    EXPECT_EQ(theirs.exitCode, 0) << theirs.err;
    // Where Wine's reg.exe is known to differ: it shows a REG_QWORD as "(null)".
    std::string expected = theirs.out;
    const std::string wineQword = "    Big    REG_QWORD    (null)\n";
    if (const size_t at = expected.find(wineQword); at != std::string::npos)
        expected.replace(at, wineQword.size(), "    Big    REG_QWORD    0x1122334455667788\n");
    EXPECT_EQ(ours.out, expected);
}

TEST_F(RegExeAgreementTest, ExportAgreesWithRegedit) {
    const std::string mine = tmp.str() + "\\vornak.reg", regedit = tmp.str() + "\\regedit.reg";
    ASSERT_EQ(vornak({"reg", "export", key, mine, "/y"}).exitCode, 0);
    const std::string fullKey = "HKEY_CURRENT_USER" + key.substr(4);
    runProgram(systemProgram("regedit.exe"), {"/E", regedit, fullKey}, {});
    EXPECT_EQ(tmp.read("vornak.reg"), tmp.read("regedit.reg"));
}

}  // namespace
}  // namespace vornak::test
