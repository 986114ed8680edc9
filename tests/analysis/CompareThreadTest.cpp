#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "analysis/AnalysisFiles.h"
#include "analysis/AnalysisTestSupport.h"
#include "analysis/CompareThread.h"
#include "analysis/FileDumpThread.h"
#include "language/MessageCatalogue.h"

using namespace vornak;
using namespace vornak::analysis;

namespace {

const char* const kRoots[] = {"HKCR", "HKCU", "HKLM", "HKCC"};

class CompareThreadTest : public test::AnalysisFixture {
  protected:
    // Both snapshots of every pair, as a registry root line only, so that a
    // test changes just the pair it is about.
    void plainSnapshots() {
        for (int n : {1, 2}) {
            writeLog("run_" + std::to_string(n) + ".txt", "drive\tC:\t/c\r\nstore\t/r\r\n");
            writeLog("files_" + std::to_string(n) + ".txt", "C:\\a.txt\r\n");
            for (const char* root : kRoots)
                writeLog(std::string(root) + "_" + std::to_string(n) + ".txt",
                         std::string("\t") + root + "\t\\\r\n");
        }
    }
    CompareResult compare(const std::string& name = "acme") {
        return compareSnapshots(*fs, programFolder, name);
    }
    bool anySnapshotLeft() const {
        for (int n : {1, 2}) {
            if (logExists("files_" + std::to_string(n) + ".txt"))
                return true;
            for (const char* root : kRoots)
                if (logExists(std::string(root) + "_" + std::to_string(n) + ".txt"))
                    return true;
        }
        return false;
    }
};

TEST_F(CompareThreadTest, IdenticalSnapshotsGiveAnEmptyLogAndAreDeleted) {
    plainSnapshots();
    const auto result = compare();
    EXPECT_EQ(result.outcome, LogOutcome::Written);
    EXPECT_TRUE(logExists("acme.anlog"));
    EXPECT_EQ(readLog("acme.anlog"), "");
    EXPECT_FALSE(anySnapshotLeft());
}

TEST_F(CompareThreadTest, AddedAndDeletedFilesFoldersKeysAndChangedValues) {
    plainSnapshots();
    writeLog("files_1.txt", "C:\\a.txt\r\nC:\\old.txt\r\n");
    writeLog("files_2.txt", "C:\\a.txt\r\nC:\\Acme\t<- dir\r\nC:\\Acme\\setup.log\r\n");
    writeLog("HKCU_1.txt", "\tHKCU\t\\\r\nHKCU\t\\\tName\t\"a\"\r\n");
    writeLog(
        "HKCU_2.txt",
        "\tHKCU\t\\\r\nHKCU\t\\\tName\t\"b\"\r\n\tHKCU\t\\Acme\r\nHKCU\t\\Acme\tCount\tint:5\r\n");
    compare();
    EXPECT_EQ(logLines("acme.anlog"),
              (std::vector<std::string>{
                  "FILE ADDED!\tC:\\Acme\t<- dir", "FILE ADDED!\tC:\\Acme\\setup.log",
                  "FILE DELETED!\tC:\\old.txt", "REG ADDED!\t\tHKCU\t\\Acme",
                  "REG ADDED!\tHKCU\t\\\tName\t\"b\"", "REG ADDED!\tHKCU\t\\Acme\tCount\tint:5",
                  "REG DELETED!\tHKCU\t\\\tName\t\"a\""}));
}

TEST_F(CompareThreadTest, AMovedLineIsNoDifference) {
    plainSnapshots();
    // A value deleted and created again moves to the end of its key's values.
    std::string before = "\tHKLM\t\\\r\n", after = "\tHKLM\t\\\r\n";
    before += "HKLM\t\\\tMoved\tint:1\r\n";
    for (int i = 0; i < 50; ++i) {
        const std::string line = "HKLM\t\\\tv" + std::to_string(i) + "\t\"x\"\r\n";
        before += line;
        after += line;
    }
    after += "HKLM\t\\\tMoved\tint:1\r\n";
    writeLog("HKLM_1.txt", before);
    writeLog("HKLM_2.txt", after);
    compare();
    EXPECT_EQ(readLog("acme.anlog"), "");
}

TEST_F(CompareThreadTest, CountsDecideForRepeatedLines) {
    plainSnapshots();
    // A REG_SZ text once split by a line break can repeat a line.
    writeLog("HKCR_1.txt", "\tHKCR\t\\\r\nrest\"\r\n");
    writeLog("HKCR_2.txt", "\tHKCR\t\\\r\nrest\"\r\nrest\"\r\nrest\"\r\n");
    writeLog("HKCC_1.txt", "\tHKCC\t\\\r\nx\r\nx\r\n");
    writeLog("HKCC_2.txt", "\tHKCC\t\\\r\nx\r\n");
    compare();
    EXPECT_EQ(logLines("acme.anlog"),
              (std::vector<std::string>{"REG ADDED!\trest\"", "REG DELETED!\tx"}));
}

TEST_F(CompareThreadTest, OneSideEmpty) {
    plainSnapshots();
    writeLog("files_1.txt", "");
    writeLog("files_2.txt", "C:\\b\r\nC:\\a\n");
    writeLog("HKCU_1.txt", "\tHKCU\t\\\r\n\tHKCU\t\\Gone\r\n");
    writeLog("HKCU_2.txt", "");
    compare();
    EXPECT_EQ(
        logLines("acme.anlog"),
        (std::vector<std::string>{"FILE ADDED!\tC:\\a", "FILE ADDED!\tC:\\b",
                                  "REG DELETED!\t\tHKCU\t\\", "REG DELETED!\t\tHKCU\t\\Gone"}));
}

TEST_F(CompareThreadTest, LinesDifferingOnlyInCaseAreBothLogged) {
    plainSnapshots();
    writeLog("files_2.txt", "C:\\a.txt\r\nC:\\README\r\nC:\\readme\r\n");
    compare();
    EXPECT_EQ(logLines("acme.anlog"),
              (std::vector<std::string>{"FILE ADDED!\tC:\\README", "FILE ADDED!\tC:\\readme"}));
}

TEST_F(CompareThreadTest, MissingFilesOfAPair) {
    plainSnapshots();
    std::filesystem::remove(logsHost() + "/files_1.txt");
    writeLog("files_2.txt", "C:\\new.txt\r\n");
    std::filesystem::remove(logsHost() + "/HKLM_2.txt");
    compare();
    EXPECT_EQ(readLog("acme.anlog"), "");
    // Only what was compared goes: the half of a pair is left as it is.
    EXPECT_TRUE(logExists("files_2.txt"));
    EXPECT_TRUE(logExists("HKLM_1.txt"));
    EXPECT_FALSE(logExists("HKCU_1.txt"));
}

TEST_F(CompareThreadTest, BothFileSnapshotsEmptyAreStillDeleted) {
    plainSnapshots();
    writeLog("files_1.txt", "");
    writeLog("files_2.txt", "");
    compare();
    EXPECT_EQ(readLog("acme.anlog"), "");
    EXPECT_FALSE(anySnapshotLeft());
}

TEST_F(CompareThreadTest, EmptyNameIsTheFileDotAnlog) {
    plainSnapshots();
    EXPECT_EQ(compare("").outcome, LogOutcome::Written);
    EXPECT_TRUE(logExists(".anlog"));
}

TEST_F(CompareThreadTest, UnusableNamesWriteNothingKeepTheSnapshotsAndComplete) {
    for (const std::string& name :
         std::vector<std::string>{"a/b", "a\\b", "c:d", "what?", "star*", "<x>", "pipe|", "quote\"",
                                  std::string("tab\tname"), std::string("nl\n")}) {
        plainSnapshots();
        auto shared = std::make_shared<AnalysisShared>();
        shared->setLogName(name);
        CompareThread::start(shared, {fs, programFolder, ""}).join();
        EXPECT_EQ(shared->completed.load(), 1) << name;
        EXPECT_EQ(shared->takeProblems().size(), 1u) << name;
        EXPECT_TRUE(logExists("files_1.txt")) << name;
        EXPECT_EQ(compare(name).outcome, LogOutcome::UnusableName) << name;
    }
    for (const auto& entry : std::filesystem::directory_iterator(logsHost()))
        EXPECT_NE(entry.path().extension(), ".anlog") << entry.path();
}

TEST_F(CompareThreadTest, LogThatCannotBeWrittenKeepsTheSnapshots) {
    plainSnapshots();
    std::filesystem::create_directory(logsHost() + "/taken.anlog");  // a folder in the way
    auto shared = std::make_shared<AnalysisShared>();
    shared->setLogName("taken");
    CompareThread::start(shared, {fs, programFolder, ""}).join();
    EXPECT_EQ(shared->completed.load(), 1);
    EXPECT_EQ(shared->takeProblems().size(), 1u);
    EXPECT_TRUE(logExists("HKCU_2.txt"));
}

TEST_F(CompareThreadTest, StoredLogsAreTheAnlogFilesOfTheLogsFolder) {
    writeLog("Acme.anlog", "");
    writeLog(".anlog", "");  // the log of an empty name
    writeLog("notes.txt", "");
    writeLog("other.anlogx", "");
    std::filesystem::create_directory(logsHost() + "/folder.anlog");
    auto names = listAnalysisLogs(*fs, programFolder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"", "Acme"}));
}

}  // namespace

namespace {

TEST_F(CompareThreadTest, UnreadableSnapshotIsAFailureAndKeepsTheSnapshots) {
    plainSnapshots();
    auto faulty = std::make_shared<test::FaultyFileSystem>(fs);
    faulty->unreadable = {programFolder + "logs\\HKCU_1.txt"};
    auto shared = std::make_shared<AnalysisShared>();
    shared->setLogName("acme");
    CompareThread::start(shared, {faulty, programFolder, ""}).join();
    EXPECT_EQ(shared->completed.load(), 1);
    const auto problems = shared->takeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].text.find("HKCU_1.txt"), std::string::npos) << problems[0].text;
    EXPECT_FALSE(logExists("acme.anlog"));
    EXPECT_TRUE(logExists("files_1.txt"));
    EXPECT_TRUE(logExists("HKCU_1.txt"));
    EXPECT_TRUE(logExists("HKCC_2.txt"));
}

TEST_F(CompareThreadTest, NothingBelowAFolderEitherWalkCouldNotListIsLogged) {
    file("Secret/old.txt");
    file("Open/gone.txt");
    auto faulty = std::make_shared<test::FaultyFileSystem>(fs);
    auto walk = [&](int32_t number, std::vector<std::string> unlistable) {
        faulty->unlistable = std::move(unlistable);
        auto shared = std::make_shared<AnalysisShared>();
        FileDumpThread(shared, {faulty, {{"C:", true}}, number, programFolder, "", ""}).Execute();
        return shared->takeProblems();
    };
    const auto problems = walk(1, {"C:\\Secret"});
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].text.find("C:\\Secret"), std::string::npos) << problems[0].text;
    EXPECT_FALSE(problems[0].failed);
    file("Secret/new.txt");
    file("App/app.exe");
    std::filesystem::remove(hostC("Open/gone.txt"));
    walk(2, {"C:\\Open"});
    EXPECT_EQ(compare().unreadFolders, (std::vector<std::string>{"C:\\Open", "C:\\Secret"}));
    EXPECT_EQ(logLines("acme.anlog"), (std::vector<std::string>{"FILE ADDED!\tC:\\App\t<- dir",
                                                                "FILE ADDED!\tC:\\App\\app.exe"}));
}

}  // namespace

namespace {

TEST_F(CompareThreadTest, RunsOverDifferentGroundAreNotCompared) {
    plainSnapshots();
    writeLog("files_2.txt", "C:\\a.txt\r\nD:\\b.txt\r\n");
    for (const std::string second :
         {"drive\tC:\t/c\r\ndrive\tD:\t/d\r\nstore\t/r\r\n", "drive\tC:\t/other\r\nstore\t/r\r\n",
          "drive\tC:\t/c\r\nstore\t/other\r\n", "not a record\r\n"}) {
        writeLog("run_2.txt", second);
        const auto result = compare();
        EXPECT_EQ(result.outcome, LogOutcome::DifferentGround) << second;
        EXPECT_FALSE(logExists("acme.anlog")) << second;
        EXPECT_TRUE(logExists("files_1.txt") && logExists("files_2.txt")) << second;
    }
    writeLog("run_2.txt", "drive\tC:\t/c\r\nstore\t/r\r\n");
    std::filesystem::remove(logsHost() + "/run_1.txt");
    EXPECT_EQ(compare().outcome, LogOutcome::DifferentGround);
}

}  // namespace

namespace {

// Only whole snapshots are compared: one cut short or changed after it was
// written is named, and every snapshot is kept for another try.
TEST_F(CompareThreadTest, ADamagedSnapshotIsNamedAndKept) {
    const auto cut = [&](const std::string& name, uintmax_t keep) {
        std::filesystem::resize_file(logsHost() + "/" + name, keep);
    };
    const auto change = [&](const std::string& name) {
        std::string bytes = readLog(name);
        bytes[1] = bytes[1] == 'x' ? 'y' : 'x';
        std::ofstream(logsHost() + "/" + name, std::ios::binary) << bytes;
    };
    const struct {
        std::string file;
        std::function<void()> damage;
        Msg said;
    } cases[] = {
        {"files_1.txt", [&] { cut("files_1.txt", 20); }, Msg::fmtSnapshotIncomplete},
        {"files_1.txt", [&] { cut("files_1.txt", readLog("files_1.txt").size() - 3); },
         Msg::fmtSnapshotIncomplete},
        {"HKLM_2.txt", [&] { change("HKLM_2.txt"); }, Msg::fmtSnapshotAltered},
        {"run_2.txt", [&] { change("run_2.txt"); }, Msg::fmtSnapshotAltered},
    };
    for (const auto& c : cases) {
        plainSnapshots();
        writeLog("files_1.txt", "C:\\a.txt\r\nC:\\b.txt\r\nC:\\c.txt\r\n");
        c.damage();
        const auto result = compare();
        EXPECT_EQ(result.outcome, LogOutcome::SnapshotUnreadable) << c.file;
        EXPECT_EQ(result.error, formatMessage(c.said, {programFolder + "logs\\" + c.file}));
        EXPECT_FALSE(logExists("acme.anlog")) << c.file;
        for (const char* kept :
             {"files_1.txt", "files_2.txt", "HKLM_1.txt", "HKLM_2.txt", "run_1.txt"})
            EXPECT_TRUE(logExists(kept)) << c.file << ": " << kept;
    }
}

// Another program may begin a new analysis while the log is written: its
// new snapshot is not the one compared, and stays.
TEST_F(CompareThreadTest, OnlyTheFilesItComparedAreDeleted) {
    plainSnapshots();
    auto faulty = std::make_shared<test::FaultyFileSystem>(fs);
    faulty->beforeWrite = [&](const std::string&) {
        writeSnapshot("files_1.txt", "C:\\next.txt\r\n", "next run");
        writeSnapshot("run_1.txt", "drive\tC:\t/c\r\nstore\t/r\r\n", "next run");
    };
    EXPECT_EQ(compareSnapshots(*faulty, programFolder, "acme").outcome, LogOutcome::Written);
    EXPECT_TRUE(logExists("acme.anlog"));
    EXPECT_EQ(logLines("files_1.txt"), std::vector<std::string>{"C:\\next.txt"});
    EXPECT_TRUE(logExists("run_1.txt"));
    EXPECT_FALSE(logExists("files_2.txt"));
    EXPECT_FALSE(logExists("HKLM_1.txt"));
    EXPECT_FALSE(logExists("run_2.txt"));
}

}  // namespace
