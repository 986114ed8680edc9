// A whole analysis as the wizard runs it: five snapshot workers at once before
// and after a simulated installation, the comparison, then the replay of the
// log, which must leave drive and store as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "analysis/AnalysisTestSupport.h"
#include "analysis/CompareThread.h"
#include "analysis/FileDumpThread.h"
#include "analysis/LogReplay.h"
#include "analysis/RegDumpThread.h"
#include "analysis/SnapshotRun.h"
#include "analysis/TextLines.h"

using namespace vornak;
using namespace vornak::analysis;
using platform::RegRoot;

namespace {

class EndToEndTest : public test::AnalysisFixture {
  protected:
    // Starts the workers the way the wizard does and waits, as its timer
    // does, for the completion counter to reach `until`.
    void waitFor(int32_t until) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (shared->completed.load() < until && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_EQ(shared->completed.load(), until);
    }

    void snapshotRun(int32_t number) {
        auto workers =
            startSnapshotRun(shared, number,
                             {fs,
                              store,
                              {{"A:", false}, {"C:", true}},
                              programFolder,
                              [counts = shownCounts](int32_t) { counts->fetch_add(1); }});
        waitFor(5);
        for (auto& w : workers)
            w.join();
        EXPECT_TRUE(shared->takeProblems().empty());
        shared->registryEntries = 0;
    }

    // Lines of every root, sorted: the replay writes values back at the end
    // of their key, so only the order may differ.
    std::vector<std::string> registryLines() {
        auto registry = store->accessor();
        std::atomic<int32_t> count{0};
        std::vector<std::string> lines;
        for (int root = 0; root < 4; ++root) {
            const std::string text = registrySnapshotText(*registry, root, count);
            for (auto line : splitLines(text))
                lines.emplace_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }
    // One spelling of a host path (Windows accepts both separators).
    static std::string normal(const std::filesystem::path& path) {
        return path.lexically_normal().string();
    }
    std::vector<std::string> files() {
        std::vector<std::string> paths;
        // The program's own files (the logs, and the backups beside them) aside.
        const std::string logs = normal(logsHost());
        const std::string backups = normal(programHost + "/backups");
        for (const auto& e : std::filesystem::recursive_directory_iterator(driveC))
            if (normal(e.path()).rfind(logs, 0) != 0 && normal(e.path()).rfind(backups, 0) != 0)
                paths.push_back(normal(e.path()));
        std::sort(paths.begin(), paths.end());
        return paths;
    }
    void removeValue(RegRoot root, const std::string& path, const std::string& name) {
        auto acc = store->accessor();
        std::unique_ptr<platform::RegKey> key;
        ASSERT_EQ(acc->openKey(root, path, platform::RegAccess::Full, key),
                  platform::RegStatus::Ok);
        ASSERT_EQ(acc->deleteValue(*key, name), platform::RegStatus::Ok);
    }
    void removeKey(RegRoot root, const std::string& parent, const std::string& name) {
        auto acc = store->accessor();
        std::unique_ptr<platform::RegKey> key;
        ASSERT_EQ(acc->openKey(root, parent, platform::RegAccess::Full, key),
                  platform::RegStatus::Ok);
        ASSERT_EQ(acc->deleteKey(*key, name), platform::RegStatus::Ok);
    }

    std::shared_ptr<AnalysisShared> shared = std::make_shared<AnalysisShared>();
    std::shared_ptr<std::atomic<int>> shownCounts = std::make_shared<std::atomic<int>>(0);
};

TEST_F(EndToEndTest, AnalyseInstallationThenRemoveItByItsLog) {
    // The machine before.
    file("Windows/system.ini");
    file("Users/me/notes.txt");
    file("Users/me/obsolete.txt");
    file("Program Files/Shared/common.dll");
    setString(RegRoot::CurrentUser, "Software\\Existing", "A", "1");
    setString(RegRoot::CurrentUser, "Software\\Existing", "B", "2");
    setString(RegRoot::CurrentUser, "Software\\Existing", "C", "3");
    setString(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Mode", "classic");
    setValue(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Level", platform::kRegDword, "\x05\0\0\0");
    setValue(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Root", platform::kRegExpandSz,
             std::string("%ProgramFiles%\0", 15));
    setValue(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Blob", platform::kRegBinary, "\x01");
    setValue(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Gone", platform::kRegBinary, "\x02");
    setString(RegRoot::LocalMachine, "SOFTWARE\\Obsolete\\Deep", "Old", "yes");
    setString(RegRoot::ClassesRoot, ".txt", "", "txtfile");
    setString(RegRoot::LocalMachine, "SYSTEM\\Noise", "Counter", "1");
    const auto filesBefore = files();
    const auto registryBefore = registryLines();

    snapshotRun(1);
    EXPECT_EQ(shownCounts->load(), 4);

    // The installation.
    file("Program Files/Acme/acme.exe");
    file("Program Files/Acme/Plugins/one.dll");
    file("Program Files/Acme/Plugins/Two.dll");
#ifndef _WIN32  // Windows' file names ignore letter case
    file("Program Files/Acme/Plugins/two.dll");  // differs from Two.dll in case only
#endif
    folder("Program Files/Acme/Empty");
    file("Users/me/acme.ini");
    std::filesystem::remove(hostC("Users/me/obsolete.txt"));
    setString(RegRoot::CurrentUser, "Software\\Acme", "Path", "C:\\Program Files\\Acme");
    setValue(RegRoot::CurrentUser, "Software\\Acme", "Runs", platform::kRegDword,
             "\xff\xff\xff\xff");
    setValue(RegRoot::CurrentUser, "Software\\Acme", "Home", platform::kRegExpandSz,
             std::string("%APPDATA%\\Acme\0", 15));
    setValue(RegRoot::CurrentUser, "Software\\Acme\\State", "Window", platform::kRegBinary,
             "\x10\x20");
    setValue(RegRoot::CurrentUser, "Software\\Acme\\State", "Recent", platform::kRegMultiSz,
             std::string("a\0b\0\0", 5));
    setValue(RegRoot::CurrentUser, "Software\\Acme\\State", "Stamp", platform::kRegQword,
             std::string(8, '\x07'));
    setValue(RegRoot::CurrentUser, "Software\\Acme\\State", "", platform::kRegNone, "");
    removeValue(RegRoot::CurrentUser, "Software\\Existing", "B");  // B moves to the end
    setString(RegRoot::CurrentUser, "Software\\Existing", "B", "2");
    setString(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Mode", "acme");
    setValue(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Level", platform::kRegDword, "\x09\0\0\0");
    setValue(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Root", platform::kRegExpandSz,
             std::string("%SystemDrive%\0", 14));
    setValue(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Blob", platform::kRegBinary, "\x03");
    removeValue(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Gone");
    removeValue(RegRoot::LocalMachine, "SOFTWARE\\Obsolete\\Deep", "Old");
    removeKey(RegRoot::LocalMachine, "SOFTWARE\\Obsolete", "Deep");
    setString(RegRoot::ClassesRoot, ".acme\\ShellNew", "NullFile", "");
    setString(RegRoot::ClassesRoot, "*\\shellex\\ContextMenuHandlers\\Acme", "", "{ACME}");
    setString(RegRoot::LocalMachine, "SYSTEM\\Noise", "Counter", "2");

    snapshotRun(2);
    shared->setLogName("Acme 1.0");
    std::thread compare = CompareThread::start(shared, {fs, programFolder, ""});
    waitFor(6);
    compare.join();
    EXPECT_TRUE(shared->takeProblems().empty());
    EXPECT_TRUE(logExists("Acme 1.0.anlog"));
    EXPECT_FALSE(logExists("files_1.txt"));
    EXPECT_FALSE(logExists("HKCU_2.txt"));

    // In collation order: the tab first, then "." before "*" (on Windows "*"
    // before ".") before "\\";
    // letter case only where nothing else differs. The moved value, the
    // excluded key and the logs folder give no line.
    std::vector<std::string> expectedLog{
        "FILE ADDED!\tC:\\Program Files\\Acme\t<- dir",
        "FILE ADDED!\tC:\\Program Files\\Acme\\acme.exe",
        "FILE ADDED!\tC:\\Program Files\\Acme\\Empty\t<- dir",
        "FILE ADDED!\tC:\\Program Files\\Acme\\Plugins\t<- dir",
        "FILE ADDED!\tC:\\Program Files\\Acme\\Plugins\\one.dll",
        "FILE ADDED!\tC:\\Program Files\\Acme\\Plugins\\Two.dll",
        "FILE ADDED!\tC:\\Program Files\\Acme\\Plugins\\two.dll",
        "FILE ADDED!\tC:\\Users\\me\\acme.ini",
        "FILE DELETED!\tC:\\Users\\me\\obsolete.txt",
#ifdef _WIN32
        // Windows' collation puts "*" before ".".
        "REG ADDED!\t\tHKCR\t*\\shellex",
        "REG ADDED!\t\tHKCR\t*\\shellex\\ContextMenuHandlers",
        "REG ADDED!\t\tHKCR\t*\\shellex\\ContextMenuHandlers\\Acme",
        "REG ADDED!\t\tHKCR\t.acme\\ShellNew",
        "REG ADDED!\t\tHKCR\t\\*",
        "REG ADDED!\t\tHKCR\t\\.acme",
#else
        "REG ADDED!\t\tHKCR\t.acme\\ShellNew",
        "REG ADDED!\t\tHKCR\t*\\shellex",
        "REG ADDED!\t\tHKCR\t*\\shellex\\ContextMenuHandlers",
        "REG ADDED!\t\tHKCR\t*\\shellex\\ContextMenuHandlers\\Acme",
        "REG ADDED!\t\tHKCR\t\\.acme",
        "REG ADDED!\t\tHKCR\t\\*",
#endif
        "REG ADDED!\t\tHKCU\tSoftware\\Acme",
        "REG ADDED!\t\tHKCU\tSoftware\\Acme\\State",
#ifdef _WIN32
        "REG ADDED!\tHKCR\t*\\shellex\\ContextMenuHandlers\\Acme\t\t\"{ACME}\"",
        "REG ADDED!\tHKCR\t.acme\\ShellNew\tNullFile\t\"\"",
#else
        "REG ADDED!\tHKCR\t.acme\\ShellNew\tNullFile\t\"\"",
        "REG ADDED!\tHKCR\t*\\shellex\\ContextMenuHandlers\\Acme\t\t\"{ACME}\"",
#endif
        "REG ADDED!\tHKCU\tSoftware\\Acme\tHome\texp:%APPDATA%\\Acme",
        "REG ADDED!\tHKCU\tSoftware\\Acme\tPath\t\"C:\\Program Files\\Acme\"",
        "REG ADDED!\tHKCU\tSoftware\\Acme\tRuns\tint:-1",
        "REG ADDED!\tHKCU\tSoftware\\Acme\\State\t",
        "REG ADDED!\tHKCU\tSoftware\\Acme\\State\tRecent",
        "REG ADDED!\tHKCU\tSoftware\\Acme\\State\tStamp",
        "REG ADDED!\tHKCU\tSoftware\\Acme\\State\tWindow",
        "REG ADDED!\tHKLM\tSOFTWARE\\Shared\tLevel\tint:9",
        "REG ADDED!\tHKLM\tSOFTWARE\\Shared\tMode\t\"acme\"",
        "REG ADDED!\tHKLM\tSOFTWARE\\Shared\tRoot\texp:%SystemDrive%",
        "REG DELETED!\t\tHKLM\tSOFTWARE\\Obsolete\\Deep",
        "REG DELETED!\tHKLM\tSOFTWARE\\Obsolete\\Deep\tOld\t\"yes\"",
        "REG DELETED!\tHKLM\tSOFTWARE\\Shared\tGone",
        "REG DELETED!\tHKLM\tSOFTWARE\\Shared\tLevel\tint:5",
        "REG DELETED!\tHKLM\tSOFTWARE\\Shared\tMode\t\"classic\"",
        "REG DELETED!\tHKLM\tSOFTWARE\\Shared\tRoot\texp:%ProgramFiles%"};
#ifdef _WIN32
    // One folder holds either Two.dll or two.dll, never both.
    std::erase(expectedLog, "FILE ADDED!\tC:\\Program Files\\Acme\\Plugins\\two.dll");
#endif
    EXPECT_EQ(logLines("Acme 1.0.anlog"), expectedLog);

    test::ScriptedDialogs dialogs;
    std::vector<std::string> removal;
    LogReplay replay(*fs, *store, dialogs, [&](const std::string& l) { removal.push_back(l); });
    const auto result = replay.run(programFolder, "Acme 1.0", {false, true});
    EXPECT_TRUE(result.finished);
    EXPECT_TRUE(result.logDeleted);
    EXPECT_EQ(removal.back(), "Done");
    for (const auto& line : removal) {
        EXPECT_EQ(line.find("Folder not removed"), std::string::npos) << line;
        EXPECT_EQ(line.find("Key kept"), std::string::npos) << line;
        EXPECT_EQ(line.find("Skipped"), std::string::npos) << line;
    }

    // Deleted files cannot come back; neither can a deleted binary value.
    auto expectedFiles = filesBefore;
    std::erase(expectedFiles, normal(hostC("Users/me/obsolete.txt")));
    EXPECT_EQ(files(), expectedFiles);
    auto expectedRegistry = registryBefore;
    std::erase(expectedRegistry, "HKLM\tSOFTWARE\\Shared\tGone");
    EXPECT_EQ(registryLines(), expectedRegistry);
    EXPECT_EQ(value(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Blob")->data, "\x03");
    EXPECT_EQ(value(RegRoot::LocalMachine, "SOFTWARE\\Shared", "Level")->data,
              std::string("\x05\0\0\0", 4));
}

}  // namespace

namespace {

TEST_F(EndToEndTest, ARunClearsWhatKilledRunsLeftInTheLogsFolder) {
    for (const char* name : {"files_1.txt.new-123", "HKCU_2.txt.new-4294967295", "run_1.txt.new-7"})
        writeLog(name, "half");
    writeLog("notes.txt.new-x", "mine");
    writeLog("Acme.anlog", "");
    snapshotRun(1);
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(logsHost()))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    const std::vector<std::string> snapshots{"Acme.anlog",     "HKCC_1.txt", "HKCR_1.txt",
                                             "HKCU_1.txt",     "HKLM_1.txt", "files_1.txt",
                                             "notes.txt.new-x"};
    // The record of what the run walked may stand beside them.
    std::erase(left, "run_1.txt");
    EXPECT_EQ(left, snapshots);
}

}  // namespace
