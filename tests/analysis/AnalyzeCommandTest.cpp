// `vornak analyze` run as a program on a drive and a store in a temporary
// folder, from a program folder of its own, as a user would run it.
#include <gtest/gtest.h>

#ifndef _WIN32
#include "platform/WinePrefix.h"
#include "support/WineTestSupport.h"
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

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
        return runWith({}, args, input);
    }
    // The same with some variables of the environment set otherwise.
    RunResult runWith(const std::map<std::string, std::string>& changed, const std::string& args,
                      const std::string& input = "/dev/null") {
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
        std::map<std::string, std::string> env{{"LC_ALL", "en_US.UTF-8"},
                                               {"VORNAK_REGISTRY_DIR", tmp.str() + "/registry"},
                                               {"VORNAK_DRIVES", "C=" + driveC}};
        for (const auto& [name, value] : changed)
            env[name] = value;
        const auto r = test::runProgram(tool, words, env, input);
        return RunResult{r.exitCode, r.out, r.err};
    }

    std::string tool;
};

TEST_F(AnalyzeCommandTest, BeforeAfterListRemove) {
    file("Data/keep.txt");
    const auto before = run("before");
    ASSERT_EQ(before.exitCode, 0);
    EXPECT_EQ(before.out.rfind("Recorded ", 0), 0u) << before.out;
    EXPECT_NE(before.out.find(" of C: and the registry"), std::string::npos) << before.out;
    EXPECT_EQ(std::count(before.out.begin(), before.out.end(), '\n'), 1) << before.out;
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

TEST_F(AnalyzeCommandTest, ProtectedProgramFolderKeepsLogsInTheUsersFolder) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by permission bits";
#else
    const auto protect = [](const std::string& folder) {
        std::filesystem::permissions(
            folder, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    };
    std::filesystem::remove_all(logsHost());
    protect(programHost);
    const std::string userLogs = std::string(std::getenv("XDG_DATA_HOME")) + "/vornak/logs";
    const auto before = run("before");
    EXPECT_EQ(before.exitCode, 0) << before.err;
    EXPECT_TRUE(std::filesystem::exists(userLogs + "/files_1.txt"));
    EXPECT_EQ(run("after one").exitCode, 0);
    EXPECT_EQ(run("list").out, "one\n");
    std::filesystem::remove_all(userLogs);

    // When the user's folder cannot take them either, the snapshot fails.
    std::filesystem::create_directories(userLogs);
    protect(userLogs);
    const auto r = run("before");
    EXPECT_EQ(r.exitCode, 1);
    // Progress lines may come first; the failure is the last line, naming the files.
    const auto last = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
    EXPECT_EQ(last.rfind("vornak analyze before: Cannot write", 0), 0u) << r.err;
    EXPECT_NE(last.find("files_1.txt"), std::string::npos);
    EXPECT_NE(last.find("HKCC_1.txt"), std::string::npos);
    // Logs in the user's folder take over from then on; the other tests have none.
    std::filesystem::permissions(userLogs, std::filesystem::perms::owner_all);
    std::filesystem::remove_all(userLogs);
#endif
}

}  // namespace

namespace {

TEST_F(AnalyzeCommandTest, AfterIsTiedToWhatBeforeWalked) {
    const std::string driveD = tmp.str() + "/drive d";
    std::filesystem::create_directories(driveD);
    const std::map<std::string, std::string> twoDrives{
        {"VORNAK_DRIVES", "C=" + driveC + ";D=" + driveD}};
    file("Data/keep.txt");

    // After without drives walks what before walked: D alone, not C.
    const auto first = runWith(twoDrives, "before D:");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    std::filesystem::create_directories(driveD + "/Acme");
    { std::ofstream(driveD + "/Acme/acme.exe") << "x"; }
    const auto after = runWith(twoDrives, "after Acme");
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(logLines("Acme.anlog"), (std::vector<std::string>{"FILE ADDED!\tD:\\Acme\t<- dir",
                                                                "FILE ADDED!\tD:\\Acme\\acme.exe"}));
    EXPECT_EQ(runWith(twoDrives, "remove Acme --yes").exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(driveD + "/Acme"));
    EXPECT_TRUE(std::filesystem::exists(hostC("Data/keep.txt")));

    // Other drives, another drive map or another store: refused, snapshots kept.
    ASSERT_EQ(runWith(twoDrives, "before D:").exitCode, 0);
    const std::string elsewhere = tmp.str() + "/elsewhere";
    std::filesystem::create_directories(elsewhere);
    for (const auto& [changed, args] :
         std::vector<std::pair<std::map<std::string, std::string>, std::string>>{
             {twoDrives, "after X C:"},
             {twoDrives, "after X C: D:"},
             {{{"VORNAK_DRIVES", "C=" + driveC + ";D=" + elsewhere}}, "after X"},
             {{{"VORNAK_DRIVES", "C=" + driveC + ";D=" + driveD},
               {"VORNAK_REGISTRY_DIR", elsewhere}},
              "after X"}}) {
        const auto r = runWith(changed, args);
        EXPECT_EQ(r.exitCode, 1) << args << ": " << r.err;
        EXPECT_FALSE(logExists("X.anlog")) << args;
        EXPECT_TRUE(logExists("files_1.txt")) << args;
        EXPECT_FALSE(logExists("files_2.txt")) << args;
    }

    // A name the file system would refuse is refused before anything is walked.
    const auto tooLong = runWith(twoDrives, "after " + std::string(300, 'n'));
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_NE(tooLong.err.find("too long"), std::string::npos) << tooLong.err;
    EXPECT_FALSE(logExists("files_2.txt"));

    // Every snapshot from before is needed.
    std::filesystem::remove(logsHost() + "/HKCC_1.txt");
    EXPECT_EQ(runWith(twoDrives, "after X").exitCode, 1);
    EXPECT_FALSE(logExists("X.anlog"));

    // The default drive C must be there like a named one.
    const auto unmapped = runWith({{"VORNAK_DRIVES", "D=" + driveD}}, "before");
    EXPECT_EQ(unmapped.exitCode, 1) << unmapped.err;
}

// A snapshot from before that was cut short or changed would show what it
// lost as installed: after refuses it, names it, and keeps every file.
TEST_F(AnalyzeCommandTest, AfterRefusesADamagedSnapshotAndKeepsIt) {
    for (int i = 0; i < 40; ++i)
        file("Data/file " + std::to_string(i) + ".txt");
    const std::string files = logsHost() + "/files_1.txt", hklm = logsHost() + "/HKLM_1.txt";
    const struct {
        std::string file;
        std::function<void()> damage;
        std::string said;
    } cases[] = {
        {"files_1.txt",
         [&] { std::filesystem::resize_file(files, std::filesystem::file_size(files) / 2); },
         "is incomplete"},
        {"HKLM_1.txt",
         [&] {
             std::string bytes = readLog("HKLM_1.txt");
             bytes[bytes.size() / 2] ^= 1;
             std::ofstream(hklm, std::ios::binary) << bytes;
         },
         "has been changed"},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(run("before").exitCode, 0);
        c.damage();
        const std::string damaged = readLog(c.file);
        const auto r = run("after Acme");
        EXPECT_EQ(r.exitCode, 1) << c.file;
        EXPECT_NE(r.err.find(c.file), std::string::npos) << r.err;
        EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        EXPECT_FALSE(logExists("Acme.anlog")) << c.file;
        EXPECT_FALSE(logExists("files_2.txt")) << c.file;
        EXPECT_EQ(readLog(c.file), damaged);
        EXPECT_TRUE(logExists("HKCU_1.txt") && logExists("run_1.txt")) << c.file;
    }
}

TEST_F(AnalyzeCommandTest, RemoveTakesOnlyALogNameAndFindsWhatListShows) {
    file("victim.txt");
    std::filesystem::create_directories(tmp.str() + "/w");
    { std::ofstream(tmp.str() + "/w/evil.anlog") << "FILE ADDED!\tC:\\victim.txt\r\n"; }
    for (const std::string name : {"'../../../../w/evil'", "'a\\b'", "'/tmp/x'"}) {
        const auto r = run("remove " + name + " --yes");
        EXPECT_EQ(r.exitCode, 1) << name;
    }
    EXPECT_TRUE(std::filesystem::exists(hostC("victim.txt")));
    EXPECT_TRUE(std::filesystem::exists(tmp.str() + "/w/evil.anlog"));

    // A log whose extension is written in capitals is listed, so it can be removed.
    writeLog("Upper.ANLOG", "FILE ADDED!\tC:\\victim.txt\r\n");
    EXPECT_EQ(run("list").out, "Upper\n");
    const auto removed = run("remove Upper --yes");
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_FALSE(std::filesystem::exists(hostC("victim.txt")));
    EXPECT_EQ(run("list").out, "");
}

// The README's set-up: the program in the build folder, every drive elsewhere.
TEST_F(AnalyzeCommandTest, ProgramFolderOutsideTheMappedDrives) {
    test::TempDir outside;
    const std::string program = outside.str() + "/bin";
    std::filesystem::create_directories(program);
    std::filesystem::copy_file(tool, program + "/vornak");
    std::filesystem::copy(programHost + "/lang", program + "/lang");
    tool = program + "/vornak";
    file("Data/keep.txt");

    const auto first = run("before");
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_TRUE(std::filesystem::exists(program + "/logs/files_1.txt"));
    file("Acme/acme.exe");
    const auto after = run("after Acme");
    ASSERT_EQ(after.exitCode, 0) << after.err;
    EXPECT_EQ(run("list").out, "Acme\n");
    const auto removed = run("remove Acme --yes");
    EXPECT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(removed.out, "Deleted: C:\\Acme\\acme.exe\nUninstall finished.\n");
    EXPECT_FALSE(std::filesystem::exists(hostC("Acme")));
    EXPECT_TRUE(std::filesystem::exists(hostC("Data/keep.txt")));
    EXPECT_FALSE(std::filesystem::exists(program + "/logs/Acme.anlog"));
}

#ifndef _WIN32
// A log names the links its walk went through, but only the walk's own rule
// decides where a removal may act behind one: a hand-made log that claims a
// link led to the home, to "/" or to a folder it does not lead to deletes
// nothing there. The log that tells the truth still removes its file.
TEST_F(AnalyzeCommandTest, ALogCannotWidenWhereTheRemovalActsBehindALink) {
    namespace fsys = std::filesystem;
    const std::string home = tmp.str() + "/home";
    const std::string outside = tmp.str() + "/outside";
    for (const std::string& f : {home + "/secret.txt", home + "/Desktop/a.txt",
                                 home + "/Desktop/mine.txt", outside + "/victim.txt"}) {
        fsys::create_directories(fsys::path(f).parent_path());
        std::ofstream(f) << "x";
    }
    folder("users/me");
    fsys::create_directory_symlink(home + "/Desktop", hostC("users/me/Desktop"));
    fsys::create_directory_symlink(home, hostC("users/me/Documents"));
    fsys::create_directory_symlink(outside, hostC("users/me/Other"));
    const std::string realHome = fsys::canonical(home).string();
    const std::string desktop = fsys::canonical(home + "/Desktop").string();
    const std::map<std::string, std::string> withHome{{"HOME", home}};

    const struct {
        std::string link, target, file, host;
        bool removed;
    } cases[] = {
        {"Documents", realHome, "secret.txt", home + "/secret.txt", false},
        {"Desktop", "/", "a.txt", home + "/Desktop/a.txt", false},
        {"Desktop", realHome, "a.txt", home + "/Desktop/a.txt", false},
        {"Other", "/", "victim.txt", outside + "/victim.txt", false},
        {"Other", fsys::canonical(outside).string(), "victim.txt", outside + "/victim.txt", false},
        {"Desktop", desktop, "mine.txt", home + "/Desktop/mine.txt", true},
    };
    for (const auto& c : cases) {
        const std::string link = "C:\\users\\me\\" + c.link;
        writeLog("hand.anlog", "FILE ADDED!\t" + link + "\\" + c.file + "\r\nLINK WALKED!\t" + link +
                                   "\t" + c.target + "\r\n");
        const auto r = runWith(withHome, "remove hand --yes");
        EXPECT_EQ(fsys::exists(c.host), !c.removed) << c.link << " -> " << c.target << ": " << r.out;
    }
}

// Every file and folder below the folder, as relative paths, sorted.
std::vector<std::string> treeOf(const std::string& root) {
    std::vector<std::string> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        out.push_back(std::filesystem::relative(e.path(), root).string());
    std::sort(out.begin(), out.end());
    return out;
}

// A real installer in a fresh Wine prefix, analysed and removed in the live
// prefix: afterwards drive C and the keys it wrote are as before, for Wine too.
TEST_F(AnalyzeCommandTest, AnInstallationInAWinePrefixIsRecordedAndRemovedThere) {
    if (const std::string why = test::wineMissing(true); !why.empty()) GTEST_SKIP() << why;
    const std::string prefix = tmp.str() + "/pfx";
    std::string error;
    ASSERT_TRUE(test::makeWinePrefix(prefix, error)) << error;
    tmp.write("nsis/payload.txt", "payload\n");
    const std::string installer = test::buildNsisInstaller(
        "Name \"Vornak Test\"\nOutFile \"vornaktest.exe\"\nInstallDir \"$PROGRAMFILES64\\Vornak Test\"\n"
        "RequestExecutionLevel user\nSilentInstall silent\n"
        "Section\n SetOutPath \"$INSTDIR\"\n File \"payload.txt\"\n"
        " WriteRegStr HKLM \"Software\\Vornak Test\" \"Version\" \"1.0\"\n"
        " WriteRegStr HKCU \"Software\\Vornak Test\" \"User\" \"yes\"\n"
        " WriteRegStr HKCR \".vornaktest\" \"\" \"VornakTest.File\"\n"
        " CreateShortCut \"$DESKTOP\\Vornak Test.lnk\" \"$INSTDIR\\payload.txt\"\n"
        "SectionEnd\n",
        tmp.str() + "/nsis", error);
    ASSERT_FALSE(installer.empty()) << error;
    const std::map<std::string, std::string> inPrefix{{"VORNAK_WINEPREFIX", prefix},
                                                      {"HOME", prefix + ".home"}};
    const std::vector<std::vector<std::string>> touched{
        {"query", "HKLM\\Software\\Vornak Test"},
        {"query", "HKCU\\Software\\Vornak Test"},
        {"query", "HKLM\\Software\\Classes\\.vornaktest"},
        {"query", "HKCU\\Software\\UserPref"}};
    auto wineQueries = [&] {
        std::string out;
        for (const auto& args : touched) {
            std::vector<std::string> all{"reg"};
            all.insert(all.end(), args.begin(), args.end());
            out += test::runWine(prefix, "wine", all).out;
        }
        return out;
    };
    // The user changes a setting while Wine runs: it is in Wine's memory, not
    // yet in the prefix's files, so a snapshot now would count it as the
    // installation's and the removal would delete it.
    const auto wineEnv = test::wineEnv(prefix);
    ASSERT_EQ(std::system(("WINEPREFIX='" + prefix + "' '" + test::onPath("wineserver") +
                           "' -p >/dev/null 2>&1")
                              .c_str()),
              0);
    ASSERT_EQ(
        test::runProgram(test::onPath("wine"),
                         {"reg", "add", "HKCU\\Software\\UserPref", "/v", "keep", "/d", "x", "/f"},
                         wineEnv)
            .exitCode,
        0);
    const auto refused = runWith(inPrefix, "before");
    test::runWine(prefix, "wineserver", {"-k"});
    test::runWine(prefix, "wineserver", {"-w"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("no snapshot was taken"), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("wineserver -w"), std::string::npos) << refused.err;

    const auto filesBefore = treeOf(prefix + "/drive_c");
    const std::string keysBefore = wineQueries();
    const auto homeBefore = treeOf(prefix + ".home");

    const auto before = runWith(inPrefix, "before");
    ASSERT_EQ(before.exitCode, 0) << before.err;
    // The prefix's own folders as the host names them, not through drive Z.
    const std::string logsFolder = platform::prefixDataFolder(prefix) + "logs";
    EXPECT_NE(before.out.find(" in " + logsFolder + ";"), std::string::npos) << before.out;
    const auto installed = test::runWine(prefix, "wine", {installer, "/S"});
    ASSERT_EQ(installed.exitCode, 0) << installed.err;
    ASSERT_TRUE(std::filesystem::exists(prefix + "/drive_c/Program Files/Vornak Test/payload.txt"));
    // Through the prefix's Desktop link, in the home's Desktop.
    ASSERT_TRUE(std::filesystem::exists(prefix + ".home/Desktop/Vornak Test.lnk"));
    const auto after = runWith(inPrefix, "after vt");
    ASSERT_EQ(after.exitCode, 0) << after.err;
    // A prefix keeps its logs in a folder of its own, not beside the program.
    const std::string logFile = platform::prefixDataFolder(prefix) + "logs/vt.anlog";
    std::ifstream logIn(logFile, std::ios::binary);
    ASSERT_TRUE(logIn) << logFile;
    std::vector<std::string> log;
    for (std::string line; std::getline(logIn, line);) {
        ASSERT_FALSE(line.empty() || line.back() != '\r') << "no CR LF after: " << line;
        log.push_back(line.substr(0, line.size() - 1));
    }
    for (const char* line : {"FILE ADDED!\tC:\\Program Files\\Vornak Test\\payload.txt",
                             "REG ADDED!\tHKLM\tSoftware\\Vornak Test\tVersion\t\"1.0\"",
                             "REG ADDED!\tHKCU\tSoftware\\Vornak Test\tUser\t\"yes\"",
                             "REG ADDED!\tHKCR\t\\.vornaktest\t\t\"VornakTest.File\""})
        EXPECT_EQ(std::count(log.begin(), log.end(), line), 1) << line;
    const std::string shortcut = "\\Desktop\\Vornak Test.lnk";
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [&](const std::string& line) {
                  return line.rfind("FILE ADDED!\tC:\\users\\", 0) == 0 && line.size() > shortcut.size() &&
                         line.compare(line.size() - shortcut.size(), shortcut.size(), shortcut) == 0;
              }), 1);
    // What Wine rewrites at every start is no part of the installation.
    for (const auto& line : log) {
        EXPECT_EQ(line.find("NetworkCards"), std::string::npos) << line;
        EXPECT_EQ(line.find("Software\\Classes"), std::string::npos) << line;
        EXPECT_EQ(line.find("UserPref"), std::string::npos) << line;
    }

    const auto removed = runWith(inPrefix, "remove vt --yes");
    ASSERT_EQ(removed.exitCode, 0) << removed.err;
    EXPECT_EQ(treeOf(prefix + "/drive_c"), filesBefore);
    EXPECT_EQ(wineQueries(), keysBefore);
    EXPECT_EQ(treeOf(prefix + ".home"), homeBefore);
}
#endif

}  // namespace
