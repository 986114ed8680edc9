// An import that changes both store files, killed at fixed points of its commit:
// the store keeps all of it or none of it.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <map>

#include "support/RunProgram.h"
#include "support/TempDir.h"

extern char** environ;

namespace vornak::test {
namespace {

const std::string kBefore =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Crash]\r\n\"kept\"=\"original\"\r\n\"gone\"=\"1\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Crash\\Old\\Sub]\r\n\"v\"=hex:00,01\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Crash]\r\n\"u\"=\"1\"\r\n";

// Updates, deletes and inserts keys and values of machine.db, and changes user.db.
const std::string kChange =
    "Windows Registry Editor Version 5.00\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Crash]\r\n\"kept\"=\"changed\"\r\n\"gone\"=-\r\n"
    "\"new\"=dword:00000005\r\n\r\n"
    "[-HKEY_LOCAL_MACHINE\\Software\\Crash\\Old]\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Crash\\Old]\r\n\"again\"=\"\xC3\xA9\"\r\n\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Crash\\New\\Deeper]\r\n@=\"x\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Crash]\r\n\"u\"=\"2\"\r\n\r\n"
    "[HKEY_CURRENT_USER\\Software\\Crash\\Added]\r\n";

class RegCrashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tmp.write("before.reg", kBefore);
        tmp.write("change.reg", kChange);
        ASSERT_EQ(reg({"import", tmp.str() + "/before.reg"}).exitCode, 0);
        before = dump();
    }

    ProgramResult reg(std::vector<std::string> args,
                      std::map<std::string, std::string> env = {}) {
        args.insert(args.begin(), "reg");
        env["VORNAK_REGISTRY_DIR"] = registryDir;
        return runProgram(VORNAK_EXE, args, env);
    }

    std::string dump() {
        std::string out;
        for (const char* root : {"HKLM\\Software", "HKCU\\Software"})
            out += reg({"query", root, "/s"}).out;
        return out;
    }

    // Runs the import with the process told to stop at `point`, and kills it
    // there. False when it did not stop there.
    bool importKilledAt(const std::string& point) {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        env.push_back("VORNAK_REGISTRY_DIR=" + registryDir);
        env.push_back("VORNAK_TEST_STOP_AT=" + point);
        std::vector<char*> envp;
        for (auto& s : env)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        std::vector<std::string> args{VORNAK_EXE, "reg", "import", tmp.str() + "/change.reg"};
        std::vector<char*> argv;
        for (auto& s : args)
            argv.push_back(s.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        const int rc = posix_spawn(&pid, VORNAK_EXE, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        if (rc != 0)
            return false;
        int status = 0;
        waitpid(pid, &status, WUNTRACED);
        const bool stopped = WIFSTOPPED(status);
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return stopped && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    TempDir tmp;
    std::string registryDir = tmp.str() + "/registry";
    std::string before;
};

TEST_F(RegCrashTest, KilledBetweenTheTwoCommitsKeepsNeitherFile) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        ASSERT_TRUE(importKilledAt("between-commits"));
        EXPECT_EQ(dump(), before) << attempt;
    }
    // What was left pending is gone, not merely hidden: a whole import now works.
    ASSERT_EQ(reg({"import", tmp.str() + "/change.reg"}).exitCode, 0);
    const std::string after = dump();
    EXPECT_NE(after.find("kept    REG_SZ    changed"), std::string::npos) << after;
    EXPECT_NE(after.find("u    REG_SZ    2"), std::string::npos) << after;
    EXPECT_EQ(after.find("gone"), std::string::npos) << after;
}

TEST_F(RegCrashTest, KilledAfterBothCommitsKeepsBoth) {
    ASSERT_TRUE(importKilledAt("after-commits"));
    const std::string killed = dump();
    ASSERT_EQ(reg({"import", tmp.str() + "/change.reg"}).exitCode, 0);
    EXPECT_EQ(dump(), killed);
    EXPECT_NE(killed.find("u    REG_SZ    2"), std::string::npos) << killed;
    EXPECT_NE(killed.find("New\\Deeper"), std::string::npos) << killed;
}

TEST_F(RegCrashTest, AFailedSecondCommitTakesBackTheFirst) {
    const auto r =
        reg({"import", tmp.str() + "/change.reg"}, {{"VORNAK_TEST_FAIL_SECOND_COMMIT", "1"}});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("user.db"), std::string::npos) << r.err;
    EXPECT_EQ(dump(), before);
}

}  // namespace
}  // namespace vornak::test
