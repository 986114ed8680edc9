#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

#include "analysis/AnalysisTestSupport.h"
#include "analysis/RegDumpThread.h"
#include "analysis/TextLines.h"

using namespace vornak;
using namespace vornak::analysis;
using platform::RegRoot;

namespace {

constexpr int kHKCR = 0, kHKCU = 1, kHKLM = 2;

class RegDumpThreadTest : public test::AnalysisFixture {
  protected:
    std::vector<std::string> walk(int rootIndex) {
        auto registry = store->accessor();
        std::atomic<int32_t> entries{0};
        const std::string text = registrySnapshotText(*registry, rootIndex, entries);
        EXPECT_TRUE(text.empty() || (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n"));
        std::vector<std::string> lines;
        for (auto line : splitLines(text))
            lines.emplace_back(line);
        EXPECT_EQ(entries.load(), static_cast<int32_t>(lines.size()));
        return lines;
    }
    static bool has(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static std::vector<std::string> keyLines(const std::vector<std::string>& lines) {
        std::vector<std::string> keys;
        for (const auto& l : lines)
            if (!l.empty() && l[0] == '\t')
                keys.push_back(l);
        return keys;
    }
};

TEST_F(RegDumpThreadTest, LineFormatForEveryKindOfValue) {
    const std::string acme = "Software\\Acme";
    setString(RegRoot::CurrentUser, acme, "Path", "C:\\Acme");
    setValue(RegRoot::CurrentUser, acme, "Home", platform::kRegExpandSz,
             std::string("%USERPROFILE%\0", 14));
    setValue(RegRoot::CurrentUser, acme, "Count", platform::kRegDword,
             std::string("\x07\0\0\0", 4));
    setValue(RegRoot::CurrentUser, acme, "All", platform::kRegDword, "\xff\xff\xff\xff");
    setValue(RegRoot::CurrentUser, acme, "Blob", platform::kRegBinary, "\x01\x02");
    setValue(RegRoot::CurrentUser, acme, "List", platform::kRegMultiSz, std::string("a\0b\0\0", 5));
    setValue(RegRoot::CurrentUser, acme, "Big", platform::kRegQword, std::string(8, '\x01'));
    setString(RegRoot::CurrentUser, acme, "Empty", "");
    setValue(RegRoot::CurrentUser, acme, "NoBytes", platform::kRegSz, "");
    setValue(RegRoot::CurrentUser, acme, "EmptyExp", platform::kRegExpandSz, std::string(1, '\0'));
    setString(RegRoot::CurrentUser, acme, "", "default");
    setValue(RegRoot::CurrentUser, acme, "Cut", platform::kRegSz, std::string("before\0after", 12));
    setString(RegRoot::CurrentUser, acme, "Quoted", "say \"hi\"\tthere");

    const auto lines = walk(kHKCU);
    std::vector<std::string> expected{"\tHKCU\t\\",
                                            "\tHKCU\t\\Software",
                                            "\tHKCU\tSoftware\\Acme",
                                            "HKCU\tSoftware\\Acme\tPath\t\"C:\\Acme\"",
                                            "HKCU\tSoftware\\Acme\tHome\texp:%USERPROFILE%",
                                            "HKCU\tSoftware\\Acme\tCount\tint:7",
                                            "HKCU\tSoftware\\Acme\tAll\tint:-1",
                                            "HKCU\tSoftware\\Acme\tBlob",
                                            "HKCU\tSoftware\\Acme\tList",
                                            "HKCU\tSoftware\\Acme\tBig",
                                            "HKCU\tSoftware\\Acme\tEmpty\t\"\"",
                                            "HKCU\tSoftware\\Acme\tNoBytes\t\"\"",
                                            "HKCU\tSoftware\\Acme\tEmptyExp\texp:",
                                            "HKCU\tSoftware\\Acme\t\t\"default\"",
                                            "HKCU\tSoftware\\Acme\tCut\t\"before\"",
                                            "HKCU\tSoftware\\Acme\tQuoted\t\"say \"hi\"\tthere\""};
#ifdef _WIN32
    // Wine lists the values by name, not in the order they were made.
    std::sort(expected.begin() + 3, expected.end(), [](std::string a, std::string b) {
        for (std::string* s : {&a, &b})
            for (char& c : *s)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return a < b;
    });
#endif
    EXPECT_EQ(lines, expected);
}

TEST_F(RegDumpThreadTest, EveryKeyOnceParentsFirstIncludingNamesBeforeTheBackslash) {
    // Names that sort before the backslash: file types and shell extensions.
    for (const char* path : {".txt\\ShellNew", "*\\shellex\\ContextMenuHandlers\\Acme",
                             "!odd\\child", "txtfile\\shell\\open\\command", "-dash\\x"})
        setString(RegRoot::ClassesRoot, path, "", "v");
    const auto keys = keyLines(walk(kHKCR));
    const std::set<std::string> unique(keys.begin(), keys.end());
    EXPECT_EQ(unique.size(), keys.size()) << "a key was visited twice";
    for (const char* line :
         {"\tHKCR\t\\.txt", "\tHKCR\t.txt\\ShellNew", "\tHKCR\t\\*", "\tHKCR\t*\\shellex",
          "\tHKCR\t*\\shellex\\ContextMenuHandlers\\Acme", "\tHKCR\t!odd\\child",
          "\tHKCR\ttxtfile\\shell\\open\\command", "\tHKCR\t-dash\\x"})
        EXPECT_TRUE(has(keys, line)) << line;
    EXPECT_EQ(keys.size(), 15u);
    EXPECT_EQ(keys.front(), "\tHKCR\t\\");
    // A parent's line comes before its children's.
    auto at = [&](const std::string& l) { return std::find(keys.begin(), keys.end(), l); };
    EXPECT_LT(at("\tHKCR\t\\.txt"), at("\tHKCR\t.txt\\ShellNew"));
    // The same store walked twice gives the same text.
    EXPECT_EQ(walk(kHKCR), walk(kHKCR));
}

TEST_F(RegDumpThreadTest, MachineExclusionsMatchExactCaseOnly) {
    setString(RegRoot::LocalMachine, "SYSTEM\\CurrentControlSet", "x", "1");
    setString(RegRoot::LocalMachine, "SOFTWARE\\Classes\\.txt", "", "txtfile");
    setString(RegRoot::LocalMachine, "SOFTWARE\\Acme", "x", "1");
    setString(RegRoot::ClassesRoot, "SYSTEM", "x", "1");
    setString(RegRoot::ClassesRoot, "SOFTWARE\\Classes", "x", "1");

    const auto machine = walk(kHKLM);
    for (const auto& line : machine) {
        EXPECT_EQ(line.find("SYSTEM"), std::string::npos) << line;
        EXPECT_EQ(line.find("Classes"), std::string::npos) << line;
    }
    EXPECT_TRUE(has(machine, "\tHKLM\tSOFTWARE\\Acme"));
    const auto classes = walk(kHKCR);
    EXPECT_TRUE(has(classes, "\tHKCR\t\\SYSTEM"));
    EXPECT_TRUE(has(classes, "\tHKCR\tSOFTWARE\\Classes"));
}

// SYSTEM keeps its exact letter case; the Classes keys are HKCR's in any
// case, so each class is logged once, under HKCR.
TEST_F(RegDumpThreadTest, SystemInAnotherCaseIsWalkedAndEveryClassOnlyUnderClassesRoot) {
#ifdef _WIN32
    GTEST_SKIP() << "Our own stores only: the tests' private Win32 keys stand in for each root apart, "
                    "so Windows' merge of the two Classes keys into HKCR is not there";
#endif
    setString(RegRoot::LocalMachine, "System\\Setup", "x", "1");
    setString(RegRoot::LocalMachine, "SOFTWARE\\classes\\.txt", "", "txtfile");
    setString(RegRoot::LocalMachine, "Software2\\Classes", "", "y");
    setString(RegRoot::CurrentUser, "software\\CLASSES\\.mine", "", "user");
    const auto lines = walk(kHKLM);
    EXPECT_TRUE(has(lines, "\tHKLM\t\\System"));
    EXPECT_TRUE(has(lines, "\tHKLM\tSystem\\Setup"));
    EXPECT_TRUE(has(lines, "\tHKLM\tSoftware2\\Classes"));
    for (const auto& line : lines) EXPECT_EQ(line.find(".txt"), std::string::npos) << line;
    for (const auto& line : walk(kHKCU)) EXPECT_EQ(line.find(".mine"), std::string::npos) << line;
    const auto classes = walk(kHKCR);
    EXPECT_EQ(std::count(classes.begin(), classes.end(), "HKCR\t\\.txt\t\t\"txtfile\""), 1);
    EXPECT_EQ(std::count(classes.begin(), classes.end(), "HKCR\t\\.mine\t\t\"user\""), 1);
}

TEST_F(RegDumpThreadTest, LineBreaksNeverSplitALine) {
    setString(RegRoot::CurrentUser, "Software\\Acme", "Note", "one\r\nHKCU\tSoftware\\Victim\tX");
    setString(RegRoot::CurrentUser, "Software\\Acme", "bad\nname", "x");
    const auto lines = walk(kHKCU);
    EXPECT_TRUE(has(lines, "HKCU\tSoftware\\Acme\tNote"));  // recorded like a binary value
    for (const auto& line : lines)
        EXPECT_EQ(line.find("Victim"), std::string::npos) << line;
    EXPECT_EQ(lines.size(), 4u);
}

// A tab inside a name would read back as the end of the key path or of the
// value name: the removal would then delete "Keep" of "Software\\Acme", which
// the installation never touched.
TEST_F(RegDumpThreadTest, NamesWithATabAreLeftOutNotMisread) {
    setString(RegRoot::CurrentUser, "Software\\Acme", "Keep", "old");
    setString(RegRoot::CurrentUser, "Software\\Acme", "Keep\tNew", "x");
    setString(RegRoot::CurrentUser, "Software\\Acme\tKeep", "v", "y");
    auto registry = store->accessor();
    std::atomic<int32_t> entries{0};
    RegistryWalkStats stats;
    const std::string text = registrySnapshotText(*registry, kHKCU, entries, &stats);
    std::vector<std::string> lines;
    for (auto line : splitLines(text))
        lines.emplace_back(line);
    EXPECT_TRUE(has(lines, "HKCU\tSoftware\\Acme\tKeep\t\"old\""));
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("New"), std::string::npos) << line;
        EXPECT_EQ(line.find("\"y\""), std::string::npos) << line;
        EXPECT_NE(line, "\tHKCU\tSoftware\\Acme\tKeep");
    }
    EXPECT_EQ(stats.skippedNames, 2u);
}

TEST_F(RegDumpThreadTest, WorkerWritesItsFileCompletesThenReportsTheCount) {
    setString(RegRoot::CurrentConfig, "System\\Profile", "x", "1");
    auto shared = std::make_shared<AnalysisShared>();
    shared->registryEntries = 100;  // the other workers' lines so far
    int32_t shown = -1;
    int32_t completedWhenShown = -1;
    RegDumpInputs inputs{store, fs, 3, 2, programFolder, [&](int32_t count) {
                             shown = count;
                             completedWhenShown = shared->completed.load();
                         }, ""};
    RegDumpThread::start(shared, std::move(inputs)).join();
    EXPECT_EQ(shared->completed.load(), 1);
    EXPECT_EQ(completedWhenShown, 1);
    EXPECT_EQ(shown, 104);
    EXPECT_EQ(logLines("HKCC_2.txt"),
              (std::vector<std::string>{"\tHKCC\t\\", "\tHKCC\t\\System", "\tHKCC\tSystem\\Profile",
                                        "HKCC\tSystem\\Profile\tx\t\"1\""}));
}

TEST_F(RegDumpThreadTest, UnwritableFileStillCompletesOnce) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by permission bits";
#else
    std::filesystem::permissions(
        logsHost(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    auto shared = std::make_shared<AnalysisShared>();
    RegDumpThread(shared, {store, fs, 1, 1, programFolder, nullptr, ""}).Execute();
    EXPECT_EQ(shared->completed.load(), 1);
    EXPECT_EQ(shared->takeProblems().size(), 1u);
#endif
}

}  // namespace

namespace {

// A root that cannot be read would pass for an empty one: compared with a
// good snapshot later, every key of it would come out ADDED, and the removal
// would delete them all. The worker must say that it failed.
TEST_F(RegDumpThreadTest, DamagedStoreIsAFailureNotAnEmptyRoot) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: the SQLite store files";
#else
    const std::string damagedDir = tmp.str() + "/damaged registry";
    std::filesystem::create_directories(damagedDir);
    {
        std::ofstream damaged(damagedDir + "/machine.db", std::ios::binary);
        damaged << std::string(4096, 'x');
    }
    auto shared = std::make_shared<AnalysisShared>();
    auto damagedStore = platform::openRegistryStore(damagedDir);
    RegDumpThread(shared, {damagedStore, fs, kHKLM, 1, programFolder, nullptr, ""}).Execute();
    EXPECT_EQ(shared->completed.load(), 1);
    const auto problems = shared->takeProblems();
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(),
                            [](const AnalysisShared::Problem& p) { return p.failed; }));
#endif
}

}  // namespace
