#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "analysis/AnalysisTestSupport.h"
#include "analysis/FileDumpThread.h"
#include "analysis/SnapshotRecord.h"
#include "language/MessageCatalogue.h"

using namespace vornak;
using namespace vornak::analysis;

namespace {

class FileDumpThreadTest : public test::AnalysisFixture {
  protected:
    // Runs the worker on this thread, as the wizard's thread would run it.
    std::vector<std::string> snapshot(std::vector<DriveItem> drives, int32_t number = 1) {
        FileDumpInputs inputs{fs, std::move(drives), number, programFolder, "", ""};
        FileDumpThread(shared, inputs).Execute();
        EXPECT_EQ(shared->completed.load(), 1);
        shared->completed = 0;
        return logLines("files_" + std::to_string(number) + ".txt");
    }
    std::vector<std::string> snapshotC() { return snapshot({{"C:", true}}); }

    std::shared_ptr<AnalysisShared> shared = std::make_shared<AnalysisShared>();
};

const std::string kDir = "\t<- dir";

TEST_F(FileDumpThreadTest, FormatOrderAndCounter) {
    file("Acme/setup.log");
    file("Acme/Sub/data.bin");
    file("readme.txt");
    const auto lines = snapshotC();
    // A folder's line comes right before what it holds: the tab sorts first.
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "C:\\Acme" + kDir, "C:\\Acme\\setup.log", "C:\\Acme\\Sub" + kDir,
                         "C:\\Acme\\Sub\\data.bin", "C:\\Program Files" + kDir,
                         "C:\\Program Files\\Vornak" + kDir, "C:\\readme.txt"}));
    EXPECT_EQ(shared->foundFiles.load(), 7);
    EXPECT_TRUE(shared->takeProblems().empty());
}

TEST_F(FileDumpThreadTest, HiddenFoldersAreLeftOutHiddenAndSystemFilesAreNot) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: dot names as hidden, a fifo as a system file";
#else
    file(".cache/inside.txt");  // hidden folder: no line, not entered
    file("Acme/.hidden-file");  // hidden file: listed
    ASSERT_EQ(::mkfifo(hostC("Acme/pipe").c_str(), 0600), 0);  // a system file: listed
    const auto lines = snapshotC();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\Acme\\.hidden-file"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\Acme\\pipe"), 1);
    for (const auto& line : lines)
        EXPECT_EQ(line.find(".cache"), std::string::npos) << line;
#endif
}

TEST_F(FileDumpThreadTest, LogsFolderIsSkippedOnlyInItsExactCase) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: folder names that differ only in case";
#else
    writeLog("files_1.txt", "old");
    file("Program Files/Vornak/Logs/other.txt");  // another folder where case matters
    const auto lines = snapshotC();
    for (const auto& line : lines)
        EXPECT_EQ(line.find("Vornak\\logs"), std::string::npos) << line;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\Program Files\\Vornak\\Logs" + kDir), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\Program Files\\Vornak\\Logs\\other.txt"),
              1);
#endif
}

TEST_F(FileDumpThreadTest, PathsDifferingOnlyInCaseAreTwoLines) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: file names that differ only in case";
#else
    file("Data/README");
    file("Data/readme");
    const auto lines = snapshotC();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\Data\\README"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\Data\\readme"), 1);
#endif
}

TEST_F(FileDumpThreadTest, RootWithoutFoldersAndTwoDrivesMerged) {
    const std::string driveD = tmp.str() + "/drive d";
    std::filesystem::create_directories(driveD);
    { std::ofstream(driveD + "/b.txt") << "x"; }
    { std::ofstream(driveD + "/a.txt") << "x"; }
    fs = platform::makeFileSystem({{'C', driveC}, {'D', driveD}}, programHost);
    file("m.txt");
    // D alone: file lines only, each the caption, a backslash and the name.
    EXPECT_EQ(snapshot({{"D:", true}}), (std::vector<std::string>{"D:\\a.txt", "D:\\b.txt"}));
    // Both ticked (D first in the list): one file in collation order.
    EXPECT_EQ(
        snapshot({{"D:", true}, {"C:", true}}, 2),
        (std::vector<std::string>{"C:\\m.txt", "C:\\Program Files" + kDir,
                                  "C:\\Program Files\\Vornak" + kDir, "D:\\a.txt", "D:\\b.txt"}));
}

TEST_F(FileDumpThreadTest, NoDriveTickedGivesAnEmptyFile) {
    file("a.txt");
    EXPECT_TRUE(snapshot({{"C:", false}}).empty());
    EXPECT_TRUE(logExists("files_1.txt"));
    EXPECT_TRUE(logLines("files_1.txt").empty());  // nothing but its seal
}

TEST_F(FileDumpThreadTest, SecondSnapshotLeavesTheFirstAlone) {
    writeLog("files_1.txt", "before\r\n");
    file("a.txt");
    snapshot({{"C:", true}}, 2);
    EXPECT_EQ(logLines("files_1.txt"), std::vector<std::string>{"before"});
    EXPECT_TRUE(logExists("files_2.txt"));
}

TEST_F(FileDumpThreadTest, UnwritableLogsFolderStillCompletesOnceAndSaysWhy) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by permission bits";
#else
    file("a.txt");
    std::filesystem::permissions(
        logsHost(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    FileDumpThread(shared, {fs, {{"C:", true}}, 1, programFolder, "", ""}).Execute();
    EXPECT_EQ(shared->completed.load(), 1);
    const auto problems = shared->takeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].text.find("files_1.txt"), std::string::npos);
    EXPECT_TRUE(problems[0].failed);
#endif
}

TEST_F(FileDumpThreadTest, NamesWithLineBreaksAreLeftOutWithTheirContents) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: Windows file names cannot hold line breaks";
#else
    file("ok.txt");
    file("bad\nC:\\Windows\\victim.dll");
    file("dir\rname/inner.txt");
    const auto lines = snapshotC();
    for (const auto& line : lines) {
        EXPECT_EQ(line.find("victim"), std::string::npos) << line;
        EXPECT_EQ(line.find("inner"), std::string::npos) << line;
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\ok.txt"), 1);
    EXPECT_EQ(shared->takeProblems().size(), 1u);
#endif
}

TEST_F(FileDumpThreadTest, StartedThreadOwnsItsInputs) {
    file("a.txt");
    std::thread worker;
    {
        FileDumpInputs inputs{fs, {{"C:", true}}, 1, programFolder, "", ""};
        worker = FileDumpThread::start(shared, std::move(inputs));
    }
    worker.join();
    EXPECT_EQ(shared->completed.load(), 1);
    const auto lines = logLines("files_1.txt");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\a.txt"), 1);
}

}  // namespace

namespace {

TEST_F(FileDumpThreadTest, BackslashNamesAreLeftOutOtherControlCharactersKept) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: Windows file names cannot hold backslashes or control characters";
#endif
    file("Data\\report.txt");  // one name on this host, two on the drive
    file("esc\x1b.txt");
    const auto lines = snapshotC();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\Data\\report.txt"), 0);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "C:\\esc\x1b.txt"), 1);
    const auto problems = shared->takeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].text.rfind("1 ", 0), 0u) << problems[0].text;
    EXPECT_FALSE(problems[0].failed);
}

TEST_F(FileDumpThreadTest, FoldersThatCannotBeListedAreReported) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: folders made with openat below a host path's length limit";
#else
    // Deeper than a host path may be: the walk cannot list the last folders.
    folder("Deep");
    int fd = ::open(hostC("Deep").c_str(), O_DIRECTORY | O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::string name(200, 'd');
    for (int level = 0; level < 25; ++level) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_DIRECTORY | O_RDONLY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ::close(fd);
    snapshotC();
    const auto problems = shared->takeProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].text.find("C:\\Deep\\" + name + "\\"), std::string::npos)
        << problems[0].text;
    EXPECT_FALSE(problems[0].failed);
    std::filesystem::remove_all(hostC("Deep"));
#endif
}

}  // namespace

// The note about folders that could not be read counts them as a reader does:
// "1 folder", "2 folders", in the words of the language in force.
TEST(UnreadFoldersNoteTest, SaysOneFolderAndManyFolders) {
    test::useTestMessages();
    EXPECT_EQ(unreadFoldersNote({}), "");
    const std::string one = unreadFoldersNote({"C:\\Secret"});
    EXPECT_EQ(one.rfind("1 folder could not be read; nothing below it", 0), 0u) << one;
    EXPECT_NE(one.find("C:\\Secret"), std::string::npos) << one;
    const std::string two = unreadFoldersNote({"C:\\A", "C:\\B"});
    EXPECT_EQ(two.rfind("2 folders could not be read; nothing below them", 0), 0u) << two;

    messages().set(Msg::fmtFolderNotReadOne, "%d mappe kunne ikke læses: %s");
    messages().set(Msg::fmtFoldersNotRead, "%d mapper kunne ikke læses: %s");
    EXPECT_EQ(unreadFoldersNote({"C:\\A"}), "1 mappe kunne ikke læses: C:\\A");
    EXPECT_EQ(unreadFoldersNote({"C:\\A", "C:\\B"}), "2 mapper kunne ikke læses: C:\\A, C:\\B");
    // A language text that does not fit its arguments still tells them.
    messages().set(Msg::fmtFolderNotReadOne, "%d %d");
    EXPECT_EQ(unreadFoldersNote({"C:\\A"}), "%d %d 1 C:\\A");
    test::useTestMessages();
}
