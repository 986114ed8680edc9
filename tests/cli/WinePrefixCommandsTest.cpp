// The command-line tool in a real Wine prefix (made once in the build folder
// and shared by the cases): walks past Wine's dangling link keys, 32-bit and
// MSI registrations uninstalled as the list shows them, and what it says while
// Wine runs there. Wine's own `reg` is asked what is left.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/WinePrefix.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "support/WineTestSupport.h"

using namespace vornak;

namespace {

namespace fs = std::filesystem;

const std::string kUninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kUninstall32 =
    "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kMsiProduct = "{5B0A7E21-3C4D-4E5F-8A9B-0C1D2E3F4A5B}";

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

class WinePrefixCommandsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        if (!test::wineMissing().empty())
            return;
        std::string error;
        ready_ = test::makeWinePrefix(prefix_, error);
        error_ = error;
    }
    void SetUp() override {
        if (const std::string why = test::wineMissing(); !why.empty())
            GTEST_SKIP() << why;
        ASSERT_TRUE(ready_) << error_;
    }

    test::ProgramResult tool(const std::vector<std::string>& args) {
        auto env = test::wineEnv(prefix_);
        env["VORNAK_WINEPREFIX"] = prefix_;
        env["XDG_DATA_HOME"] = userData.str();
        // Its Wine programs run at idle priority: slow on a busy machine.
        return test::runProgram(VORNAK_TOOL, args, env, "/dev/null", 600);
    }
    test::ProgramResult wine(const std::vector<std::string>& args) {
        return test::runWine(prefix_, "wine", args);
    }
    // Imports registry file text (REGEDIT4, CR LF) with Wine's own reg.
    void wineImport(const std::string& text) {
        std::ofstream(prefix_ + "/drive_c/vornak-test.reg", std::ios::binary) << text;
        ASSERT_EQ(wine({"reg", "import", "C:\\vornak-test.reg"}).exitCode, 0);
    }
    // A host script as an uninstaller on drive C, recording that it ran.
    std::string script(const std::string& name) {
        const std::string path = prefix_ + "/drive_c/vornak-test/" + name + ".exe";
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path) << "#!/bin/sh\necho \"$*\" >> '" << userData.str() << "/" << name
                            << ".ran'\n";
        fs::permissions(path, fs::perms::owner_all);
        return "C:\\\\vornak-test\\\\" + name + ".exe";
    }
    std::string ran(const std::string& name) {
        std::ifstream in(userData.str() + "/" + name + ".ran");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    static inline std::string prefix_ = VORNAK_TEST_CLI_PREFIX_DIR;
    static inline bool ready_ = false;
    static inline std::string error_;
    test::TempDir userData;
};

}  // namespace

// Wine keeps `Wow6432Node\...\NetworkCards` as a link to a key it never saves.
TEST_F(WinePrefixCommandsTest, DanglingLinksNeverEndAWalk) {
    const std::string link =
        "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\Windows "
        "NT\\CurrentVersion\\NetworkCards";
    // Wine makes the link once a program has run in the prefix.
    wine({"reg", "query", "HKLM\\Software\\Wow6432Node"});
    std::ifstream systemReg(prefix_ + "/system.reg", std::ios::binary);
    std::stringstream registry;
    registry << systemReg.rdbuf();
    ASSERT_NE(registry.str().find("\\\\Windows NT\\\\CurrentVersion\\\\NetworkCards] "),
              std::string::npos);

    const auto query = tool({"reg", "query", "HKLM", "/s"});
    ASSERT_EQ(query.exitCode, 0) << query.err;
    // The walk went on past the link, to the keys after it.
    EXPECT_NE(query.out.find("\nHKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\n"),
              std::string::npos);
    EXPECT_EQ(count(query.err, link + " cannot be opened"), 1u) << query.err;

    const auto search = tool({"reg", "query", "HKLM\\Software", "/v", "ProgramFilesDir", "/s"});
    EXPECT_EQ(search.exitCode, 0) << search.err;
    EXPECT_NE(search.out.find("\\Microsoft\\Windows\\CurrentVersion\n"), std::string::npos);

    const std::string file = userData.str() + "/hklm.reg";
    const auto exported = tool({"reg", "export", "HKEY_LOCAL_MACHINE", file});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    // UTF-16 in the file: look for the last root key's name as it is stored.
    std::string system;
    for (char c : std::string("[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet]"))
        system += std::string(1, c) + '\0';
    EXPECT_NE(text.str().find(system), std::string::npos);
    EXPECT_EQ(count(exported.err, link + " cannot be opened"), 1u) << exported.err;
}

TEST_F(WinePrefixCommandsTest, RowsAreUninstalledByTheKeyTheListShows) {
    wineImport("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE" + kUninstall32 +
               "LegacyTool]\r\n\"DisplayName\"=\"Legacy Tool\"\r\n\"UninstallString\"=\"" +
               script("legacy") + " /S\"\r\n\r\n[HKEY_LOCAL_MACHINE" + kUninstall +
               "Dup]\r\n\"DisplayName\"=\"Dup\"\r\n\r\n[HKEY_CURRENT_USER" + kUninstall +
               "Dup]\r\n\"DisplayName\"=\"Dup\"\r\n\"UninstallString\"=\"" + script("dup") +
               " user\"\r\n");
    const auto listed = tool({"list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const std::string legacyRow = "ok\tLM\t" + kUninstall32 + "LegacyTool\tLegacy Tool\t";
    EXPECT_NE(listed.out.find(legacyRow), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("ok\tCU\t" + kUninstall + "Dup\tDup\t"), std::string::npos);
    // Every row in the same form: the key column is a key path.
    std::istringstream rows(listed.out);
    for (std::string row; std::getline(rows, row);)
        EXPECT_EQ(row.find("\t\\SOFTWARE\\"), row.find('\t', row.find('\t') + 1)) << row;

    for (const std::string& key : {std::string("LegacyTool"), kUninstall32 + "LegacyTool",
                                   kUninstall32.substr(1) + "legacytool"}) {
        const auto run = tool({"uninstall", key});
        EXPECT_EQ(run.exitCode, 0) << key << ": " << run.err;
    }
    EXPECT_EQ(ran("legacy"), "/S\n/S\n/S\n");
    const auto dup = tool({"uninstall", "Dup"});
    EXPECT_EQ(dup.exitCode, 0) << dup.err;
    EXPECT_EQ(ran("dup"), "user\n");
}

TEST_F(WinePrefixCommandsTest, MsiProductsAreRemovedNotRepaired) {
    if (test::onPath("wixl").empty())
        GTEST_SKIP() << "wixl is not installed (scripts/install-deps.sh installs it)";
    std::string error;
    const std::string msi =
        test::buildMsi(kMsiProduct, "Vornak Msi Probe", userData.str() + "/msi", error);
    ASSERT_FALSE(msi.empty()) << error;
    ASSERT_EQ(wine({"msiexec", "/i", msi, "/qn"}).exitCode, 0);
    const std::string payload = prefix_ + "/drive_c/Program Files/Vornak Msi Probe/payload.txt";
    ASSERT_TRUE(fs::exists(payload));
    // As Wine's msiexec registers it: a command that repairs.
    const auto listed = tool({"list"});
    EXPECT_NE(listed.out.find(kUninstall + kMsiProduct + "\tVornak Msi Probe\tMsiExec.exe /I" +
                              kMsiProduct),
              std::string::npos)
        << listed.out;

    const auto run = tool({"uninstall", kMsiProduct});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_FALSE(fs::exists(payload));
    EXPECT_NE(wine({"reg", "query", "HKLM" + kUninstall + kMsiProduct}).exitCode, 0);
    EXPECT_EQ(tool({"list"}).out.find("Vornak Msi Probe"), std::string::npos);
}

TEST_F(WinePrefixCommandsTest, WhileWineRunsReadsWarnOnceAndChangesSayWhyOnce) {
    // A log to remove, in the prefix's own logs folder (below the tool's XDG_DATA_HOME).
    setenv("XDG_DATA_HOME", userData.str().c_str(), 1);
    const std::string ownLogs = platform::prefixDataFolder(prefix_) + "logs";
    fs::create_directories(ownLogs);
    std::ofstream(ownLogs + "/old.anlog", std::ios::binary)
        << "REG ADDED!\tHKCU\tSoftware\\Vornak Gone\tx\t\"1\"\r\n";

    const std::string server = test::onPath("wineserver");
    ASSERT_EQ(
        std::system(("WINEPREFIX='" + prefix_ + "' '" + server + "' -p >/dev/null 2>&1").c_str()),
        0);
    ASSERT_TRUE(platform::prefixServerRunning(prefix_));
    const std::string lag = "what was read may not hold its latest changes";
    const std::string refused = "its registry cannot be changed until Wine ends there";

    const auto missing = tool({"reg", "query", "HKLM\\Software\\Vornak Missing"});
    const auto found = tool({"reg", "query", "HKLM\\Software"});
    const auto added = tool({"reg", "add", "HKCU\\Software\\Vornak Added", "/f"});
    const auto before = tool({"analyze", "before"});
    const auto removed = tool({"analyze", "remove", "old", "--yes"});
    test::runWine(prefix_, "wineserver", {"-k"});
    test::runWine(prefix_, "wineserver", {"-w"});

    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(count(missing.err, lag), 1u) << missing.err;
    EXPECT_EQ(count(missing.err, refused), 0u) << missing.err;
    EXPECT_EQ(found.exitCode, 0);
    EXPECT_EQ(count(found.err, lag), 1u) << found.err;
    EXPECT_EQ(added.exitCode, 1);
    EXPECT_EQ(count(added.err, refused), 1u) << added.err;
    // No snapshot of files that lag behind Wine's memory.
    EXPECT_EQ(before.exitCode, 1);
    EXPECT_EQ(count(before.err, "no snapshot was taken"), 1u) << before.err;
    EXPECT_FALSE(fs::exists(ownLogs + "/HKCU_1.txt"));
    EXPECT_EQ(removed.exitCode, 1);
    EXPECT_EQ(count(removed.err, refused), 1u) << removed.err;
    EXPECT_TRUE(fs::exists(ownLogs + "/old.anlog"));
    EXPECT_NE(wine({"reg", "query", "HKCU\\Software\\Vornak Added"}).exitCode, 0);
}

// The backup a log-driven removal takes first brings the prefix's keys back
// whole, as Wine's own reg sees them.
TEST_F(WinePrefixCommandsTest, ARemovedProgramComesBackWholeFromItsBackup) {
    const std::string key = "Software\\Vornak Backup Test";
    wineImport("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\" + key +
               "]\r\n\"Name\"=\"Acme \\\"1\\\"\"\r\n\"Size\"=dword:00000102\r\n"
               "\"Path\"=hex(2):25,54,45,4d,50,25,00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + key +
               "\\Sub]\r\n@=\"default\"\r\n\r\n[HKEY_CURRENT_USER\\" + key +
               "]\r\n\"Mode\"=\"new\"\r\n");
    auto query = [&] {
        return wine({"reg", "query", "HKLM\\" + key, "/s"}).out + "|" +
               wine({"reg", "query", "HKCU\\" + key, "/s"}).out;
    };
    const std::string before = query();
    ASSERT_NE(before.find("Acme \"1\""), std::string::npos) << before;

    // Where the tool keeps its files for this prefix, with the data home it runs with.
    const char* own = std::getenv("XDG_DATA_HOME");
    const std::string saved = own ? own : "";
    setenv("XDG_DATA_HOME", userData.str().c_str(), 1);
    const std::string logs = platform::prefixDataFolder(prefix_) + "logs";
    setenv("XDG_DATA_HOME", saved.c_str(), 1);
    fs::create_directories(logs);
    std::ofstream(logs + "/Backup Test.anlog", std::ios::binary)
        << "REG ADDED!\t\tHKLM\t\\" + key + "\r\nREG ADDED!\t\tHKLM\t" + key +
               "\\Sub\r\nREG ADDED!\tHKLM\t" + key + "\tName\t\"Acme\"\r\nREG ADDED!\tHKLM\t" +
               key + "\tPath\r\nREG ADDED!\tHKLM\t" + key + "\tSize\tint:258\r\nREG ADDED!\tHKLM\t" +
               key + "\\Sub\t\t\"default\"\r\nREG DELETED!\tHKCU\t" + key +
               "\tMode\t\"old\"\r\nREG DELETED!\tHKCU\t" + key + "\\New\tV\t\"v\"\r\n";
    const auto removal = tool({"analyze", "remove", "Backup Test", "--yes"});
    ASSERT_EQ(removal.exitCode, 0) << removal.err;
    EXPECT_NE(wine({"reg", "query", "HKLM\\" + key}).exitCode, 0);
    ASSERT_NE(query(), before);

    const auto listed = tool({"backups", "list"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    const std::string name = listed.out.substr(0, listed.out.find('\n'));
    EXPECT_NE(name.find("Backup Test.reg"), std::string::npos) << listed.out;
    const auto restored = tool({"backups", "restore", name});
    ASSERT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(query(), before);
}

// Real NSIS uninstallers and a real MSI, quietly, in one batch, with no display
// for a dialog to appear on: the quiet commands are derived (none of them
// registers one), each run ends before the next, and nothing is left.
TEST_F(WinePrefixCommandsTest, QuietBatchRemovesRealInstallersWithoutADisplay) {
    if (const std::string why = test::wineMissing(true); !why.empty())
        GTEST_SKIP() << why;
    std::vector<std::string> keys;
    for (const std::string name : {"Vornak Quiet A", "Vornak Quiet B"}) {
        std::string key = name;
        key.erase(std::remove(key.begin(), key.end(), ' '), key.end());
        const std::string script =
            "Name \"" + name + "\"\nOutFile \"" + key + ".exe\"\nInstallDir \"$PROGRAMFILES64\\" +
            name + "\"\nRequestExecutionLevel admin\n!define KEY \"" + kUninstall.substr(1) + key +
            "\"\nSection\n  SetOutPath \"$INSTDIR\"\n  FileOpen $0 \"$INSTDIR\\payload.txt\" w\n"
            "  FileClose $0\n  WriteUninstaller \"$INSTDIR\\uninst.exe\"\n"
            "  WriteRegStr HKLM \"${KEY}\" \"DisplayName\" \"" +
            name +
            "\"\n"
            "  WriteRegStr HKLM \"${KEY}\" \"UninstallString\" '\"$INSTDIR\\uninst.exe\"'\n"
            "SectionEnd\nSection \"Uninstall\"\n"
            // Only a quiet run passes this question by.
            "  MessageBox MB_OK \"Remove " +
            name +
            "?\" /SD IDOK\n"
            "  Delete \"$INSTDIR\\payload.txt\"\n  Delete \"$INSTDIR\\uninst.exe\"\n"
            "  RMDir \"$INSTDIR\"\n  DeleteRegKey HKLM \"${KEY}\"\nSectionEnd\n";
        std::string error;
        const std::string installer =
            test::buildNsisInstaller(script, userData.str() + "/nsis", error);
        ASSERT_FALSE(installer.empty()) << error;
        ASSERT_EQ(wine({installer, "/S"}).exitCode, 0);
        ASSERT_TRUE(fs::exists(prefix_ + "/drive_c/Program Files/" + name + "/payload.txt"));
        keys.push_back(key);
    }
    std::string msiPayload;
    if (!test::onPath("wixl").empty()) {
        const std::string code = "{6C1B8F32-4D5E-4F60-9BAC-1D2E3F4A5B6C}";
        std::string error;
        const std::string msi =
            test::buildMsi(code, "Vornak Quiet Msi", userData.str() + "/msi", error);
        ASSERT_FALSE(msi.empty()) << error;
        ASSERT_EQ(wine({"msiexec", "/i", msi, "/qn"}).exitCode, 0);
        msiPayload = prefix_ + "/drive_c/Program Files/Vornak Quiet Msi/payload.txt";
        ASSERT_TRUE(fs::exists(msiPayload));
        keys.push_back(code);
    }

    auto env = test::wineEnv(prefix_);
    env["VORNAK_WINEPREFIX"] = prefix_;
    env["XDG_DATA_HOME"] = userData.str();
    std::vector<std::string> args{"-u",        "DISPLAY",   "-u",     "WAYLAND_DISPLAY",
                                  VORNAK_TOOL, "uninstall", "--quiet"};
    args.insert(args.end(), keys.begin(), keys.end());
    const auto run = test::runProgram("/usr/bin/env", args, env, "/dev/null", 600);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_NE(
        run.out.find("Vornak Quiet A (NSIS): \"C:\\Program Files\\Vornak Quiet A\\uninst.exe\" /S"),
        std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("1 of " + std::to_string(keys.size()) + ": Vornak Quiet A\n2 of "),
              std::string::npos)
        << run.out;
    for (const std::string name : {"Vornak Quiet A", "Vornak Quiet B"})
        EXPECT_FALSE(fs::exists(prefix_ + "/drive_c/Program Files/" + name)) << name;
    if (!msiPayload.empty()) {
        EXPECT_FALSE(fs::exists(msiPayload));
    }
    const auto listed = tool({"list"});
    for (const std::string name : {"Vornak Quiet A", "Vornak Quiet B", "Vornak Quiet Msi"})
        EXPECT_EQ(listed.out.find(name), std::string::npos) << listed.out;
}
