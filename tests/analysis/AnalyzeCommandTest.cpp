// `vornak analyze` run as a program on a drive and a store in a temporary
// folder, from a program folder of its own, as a user would run it.
#include <gtest/gtest.h>

#include <filesystem>

#include "analysis/AnalysisTestSupport.h"
#include "support/RunProgram.h"

using namespace vornak;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;  // stdout
    std::string err;
};

class AnalyzeCommandTest : public test::AnalysisFixture {
  protected:
    void SetUp() override {
        AnalysisFixture::SetUp();
        tool = programHost + "/vornak";
        std::filesystem::copy_file(VORNAK_TOOL, tool);
        std::filesystem::copy(std::string(VORNAK_PROGRAM_FOLDER) + "/lang", programHost + "/lang");
    }

    // `args` as a shell would split them: words, with single quotes grouping.
    RunResult run(const std::string& args, const std::string& input = "/dev/null") {
        std::vector<std::string> words{"analyze"};
        std::string word;
        bool quoted = false, inWord = false;
        for (char c : args) {
            if (c == '\'') {
                quoted = !quoted;
                inWord = true;
            } else if (c == ' ' && !quoted) {
                if (inWord) words.push_back(word);
                word.clear();
                inWord = false;
            } else {
                word += c;
                inWord = true;
            }
        }
        if (inWord) words.push_back(word);
        const auto r = test::runProgram(tool, words,
                                        {{"LC_ALL", "en_US.UTF-8"},
                                         {"VORNAK_REGISTRY_DIR", tmp.str() + "/registry"},
                                         {"VORNAK_DRIVES", "C=" + driveC}},
                                        input);
        return RunResult{r.exitCode, r.out, r.err};
    }

    std::string tool;
};

TEST_F(AnalyzeCommandTest, BeforeAfterListRemove) {
    file("Data/keep.txt");
    ASSERT_EQ(run("before").exitCode, 0);
    EXPECT_TRUE(logExists("files_1.txt"));
    EXPECT_TRUE(logExists("HKLM_1.txt"));

    file("Acme/acme.exe");
    setString(platform::RegRoot::CurrentUser, "Software\\Acme", "Path", "C:\\Acme");

    const auto after = run("after 'Acme 2' C:");
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(after.out,
              "The analysis is finished. The changes made by the installation have been "
              "saved.\n");
    EXPECT_FALSE(logExists("files_1.txt"));
    const auto log = logLines("Acme 2.anlog");
    EXPECT_EQ(std::count(log.begin(), log.end(), "FILE ADDED!\tC:\\Acme\\acme.exe"), 1);
    EXPECT_EQ(
        std::count(log.begin(), log.end(), "REG ADDED!\tHKCU\tSoftware\\Acme\tPath\t\"C:\\Acme\""),
        1);

    const auto again = run("after 'Acme 2'");
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.err, "Name Already Used: Acme 2\n");

    EXPECT_EQ(run("list").out, "Acme 2\n");

    const auto refused = run("remove 'Acme 2'");
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(std::filesystem::exists(hostC("Acme/acme.exe")));

    const auto removed = run("remove 'Acme 2' --yes --keep-log");
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(removed.out, "Deleted: C:\\Acme\\acme.exe\nUninstall finished.\n");
    EXPECT_FALSE(std::filesystem::exists(hostC("Acme")));
    EXPECT_FALSE(keyExists(platform::RegRoot::CurrentUser, "Software\\Acme"));
    EXPECT_TRUE(std::filesystem::exists(hostC("Data/keep.txt")));
    EXPECT_TRUE(logExists("Acme 2.anlog"));

    EXPECT_EQ(run("remove 'Acme 2' --yes").exitCode, 0);
    EXPECT_FALSE(logExists("Acme 2.anlog"));
    EXPECT_EQ(run("list").out, "");
}

TEST_F(AnalyzeCommandTest, RefusalsExitWithOneLine) {
    for (const std::string args : {"", "frob", "before Q:", "before C:x", "after", "after 'a/b'",
                                   "after fresh", "remove", "remove nothing --yes", "list extra"}) {
        const auto r = run(args);
        EXPECT_EQ(r.exitCode, 1) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    EXPECT_FALSE(logExists("fresh.anlog"));
}

TEST_F(AnalyzeCommandTest, SnapshotThatCannotBeWrittenFails) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by permission bits";
#else
    std::filesystem::permissions(logsHost(), std::filesystem::perms::owner_read |
                                                 std::filesystem::perms::owner_exec);
    const auto r = run("before");
    EXPECT_EQ(r.exitCode, 1);
    // Progress lines may come first; the failure is the last line, naming the files.
    const auto last = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
    EXPECT_EQ(last.rfind("vornak analyze before: Cannot write", 0), 0u) << r.err;
    EXPECT_NE(last.find("files_1.txt"), std::string::npos);
    EXPECT_NE(last.find("HKCC_1.txt"), std::string::npos);
#endif
}

}  // namespace
