// The Windows command-line rules, the program search of the POSIX backend, and
// real processes started through it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/WinePrefix.h"
#include "platform/posix/ProgramSearch.h"
#include "support/TempDir.h"

using namespace vornak::platform;
using vornak::test::TempDir;
using Strings = std::vector<std::string>;

namespace {

Strings programs(const std::string& line) {
    Strings out;
    for (const auto& c : programCandidates(line))
        out.push_back(c.program + "|" + c.rest);
    return out;
}

void makeExecutable(const TempDir& tmp, const std::string& relative, const std::string& body,
                    mode_t mode = 0755) {
    const auto path = tmp.write(relative, body);
    ASSERT_EQ(::chmod(path.c_str(), mode), 0);
}

}  // namespace

TEST(CommandLineRules, ProgramCandidates) {
    const std::pair<std::string, Strings> table[] = {
        {R"("C:\A B\u.exe" /S)", {R"(C:\A B\u.exe| /S)"}},
        {R"(  "C:\A B\u.exe"/S)", {R"(C:\A B\u.exe|/S)"}},
        {R"("C:\never closed)", {R"(C:\never closed|)"}},
        {R"(C:\Program Files\A\u.exe /S)",
         {R"(C:\Program| Files\A\u.exe /S)", R"(C:\Program Files\A\u.exe| /S)",
          R"(C:\Program Files\A\u.exe /S|)"}},
        {"a  b\tc", {"a|  b\tc", "a  b|\tc", "a  b\tc|"}},
        {"   ", {}},
    };
    for (const auto& [line, expected] : table)
        EXPECT_EQ(programs(line), expected) << line;
}

TEST(CommandLineRules, ArgumentSplitting) {
    const std::pair<std::string, Strings> table[] = {
        {R"( /S  /D=x )", {"/S", "/D=x"}},
        {R"("a b" c)", {"a b", "c"}},
        {R"(a"b c"d)", {"ab cd"}},
        {R"(\\\"x)", {R"(\"x)"}},               // 2n+1 backslashes: n and a literal quote
        {R"(\\"x y")", {R"(\x y)"}},            // 2n: n, and the quote opens
        {R"(C:\dir\ x)", {R"(C:\dir\)", "x"}},  // backslashes before no quote are literal
        {R"("a""b")", {R"(a"b)"}},
        {R"("")", {""}},
        {"", {}},
    };
    for (const auto& [text, expected] : table)
        EXPECT_EQ(splitArguments(text), expected) << text;
}

TEST(CommandLineRules, DefaultExtension) {
    EXPECT_EQ(withDefaultExtension(R"(C:\x\uninst)"), R"(C:\x\uninst.exe)");
    EXPECT_EQ(withDefaultExtension(R"(C:\x.y\uninst)"), R"(C:\x.y\uninst.exe)");
    EXPECT_EQ(withDefaultExtension("setup.bat"), "setup.bat");
    EXPECT_EQ(withDefaultExtension("un.exe"), "un.exe");
}

TEST(ProgramSearch, FindsProgramsAsWindowsDoes) {
    TempDir tmp;
    const std::string c = tmp.str() + "/c";
    for (const char* f : {"c/Program Files/Acme/uninst.exe", "prog/inprog.exe", "cwd/both.exe",
                          "prog/both.exe", "path1/onpath.exe", "path2/onpath.exe",
                          "cwd/sub/rel.exe", "c/rooted.exe", "c/Program.exe.d/keep"})
        tmp.write(f, "x");
    std::filesystem::create_directories(c + "/Windows/folder.exe");
    auto fs = makeFileSystem({{'C', c}}, tmp.str() + "/prog");
    const SearchPlaces places{tmp.str() + "/prog", tmp.str() + "/cwd",
                              tmp.str() + "/path1::" + tmp.str() + "/path2"};
    auto resolve = [&](const std::string& line) -> std::string {
        auto r = resolveCommandLine(line, *fs, places);
        if (!r)
            return "-";
        std::string out = r->hostProgram.substr(tmp.str().size());
        for (const auto& a : r->arguments)
            out += " [" + a + "]";
        return out;
    };
    EXPECT_EQ(resolve(R"(C:\Program Files\Acme\uninst.exe /S)"),
              "/c/Program Files/Acme/uninst.exe [/S]");
    EXPECT_EQ(resolve(R"("C:\Program Files\Acme\uninst" "/D=a b")"),
              "/c/Program Files/Acme/uninst.exe [/D=a b]");
    EXPECT_EQ(resolve(R"(c:\Program Files\Acme\uninst.exe)"), "/c/Program Files/Acme/uninst.exe");
    EXPECT_EQ(resolve("inprog /x"), "/prog/inprog.exe [/x]");
    EXPECT_EQ(resolve("both.exe"), "/prog/both.exe") << "the program's folder comes first";
    EXPECT_EQ(resolve("onpath"), "/path1/onpath.exe");
    EXPECT_EQ(resolve(R"(sub\rel.exe)"), "/cwd/sub/rel.exe");
    EXPECT_EQ(resolve(R"(\rooted.exe)"), "-") << "the current folder is on no drive";
    EXPECT_EQ(resolve(R"(C:\rooted.exe)"), "/c/rooted.exe");
    EXPECT_EQ(resolve(R"(C:\Windows\folder.exe)"), "-") << "a folder is no program";
    EXPECT_EQ(resolve(R"(D:\x.exe)"), "-");
    EXPECT_EQ(resolve(R"(\\server\share\x.exe)"), "-");
    EXPECT_EQ(resolve("missing.exe"), "-");
    EXPECT_EQ(resolve(""), "-");
}

TEST(ProcessLauncher, StartsWaitsAndKeepsItsOutputApart) {
    TempDir tmp;
    const std::string out = tmp.str() + "/report";
    makeExecutable(tmp, "c/Program Files/Tool/run.exe",
                   "#!/bin/sh\n"
                   "{ printf '%s|%s\\n' \"$1\" \"$2\"; cut -d\" \" -f5,19 /proc/$$/stat; pwd; echo "
                   "\"$LAUNCH_PROBE\";"
                   "  ls -l /proc/$$/fd | grep -c leak-probe; } > \"$REPORT\"\n"
                   "echo noise; echo noise >&2; sleep 0.3\n");
    setDefaultFileSystem(makeFileSystem({{'C', tmp.str() + "/c"}}, tmp.str()));
    setenv("REPORT", out.c_str(), 1);
    setenv("LAUNCH_PROBE", "inherited", 1);
    auto launcher = hostProcessLauncher();
    // A descriptor of ours that does not close itself on exec.
    const int leak = ::open(tmp.write("leak-probe", "").c_str(), O_RDONLY);
    ASSERT_GE(leak, 0);

    testing::internal::CaptureStdout();
    const auto begin = std::chrono::steady_clock::now();
    std::string error;
    auto process = launcher->start(R"(C:\Program Files\Tool\run.exe "a b" c\\)", &error);
    ASSERT_TRUE(process) << error;
    const long pid = process->id();
    process->wait();
    EXPECT_GE(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(300));
    process->close();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

    std::istringstream report(tmp.read("report"));
    std::string line;
    std::getline(report, line);
    EXPECT_EQ(line, R"(a b|c\\)");
    long pgid = 0, nice = 0;
    report >> pgid >> nice;
    EXPECT_EQ(pgid, pid) << "a process group of its own";
    EXPECT_EQ(nice, 19);
    std::getline(report, line);
    std::getline(report, line);
    EXPECT_EQ(line, std::filesystem::current_path().string());
    std::getline(report, line);
    EXPECT_EQ(line, "inherited");
    int fds = 0;
    report >> fds;
    EXPECT_EQ(fds, 0) << "our descriptors are not inherited";
    ::close(leak);
    setDefaultFileSystem(nullptr);
}

TEST(ProcessLauncher, FailedStartsAreReportedNotThrown) {
    TempDir tmp;
    makeExecutable(tmp, "c/plain.exe", "#!/bin/sh\nexit 0\n", 0644);
    makeExecutable(tmp, "c/windows.exe", std::string("MZ\x90\0\3\0\0\0", 8), 0755);
    setDefaultFileSystem(makeFileSystem({{'C', tmp.str() + "/c"}}, tmp.str()));
    auto launcher = hostProcessLauncher();
    for (const char* line :
         {R"(C:\missing.exe /S)", R"(C:\plain.exe)", R"(C:\windows.exe)", "", "\"", "\"\" /x"}) {
        std::string error;
        EXPECT_EQ(launcher->start(line, &error), nullptr) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
    setDefaultFileSystem(nullptr);
}

TEST(ProcessLauncher, ClosingDoesNotWaitNorStopTheProgram) {
    TempDir tmp;
    const std::string mark = tmp.str() + "/done";
    makeExecutable(tmp, "c/slow.exe", "#!/bin/sh\nsleep 0.5\ntouch \"$MARK\"\n");
    setDefaultFileSystem(makeFileSystem({{'C', tmp.str() + "/c"}}, tmp.str()));
    setenv("MARK", mark.c_str(), 1);
    const auto begin = std::chrono::steady_clock::now();
    {
        auto process = hostProcessLauncher()->start(R"(C:\slow.exe)");
        ASSERT_TRUE(process);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(400));
    for (int i = 0; i < 100 && !std::filesystem::exists(mark); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(std::filesystem::exists(mark));
    setDefaultFileSystem(nullptr);
}

// A stand-in Wine on PATH: `wine` notes its prefix and arguments, `wineserver
// -w` takes a while before it returns, as the real one does while an
// uninstaller's copy in %TEMP% still runs.
TEST(ProcessLauncher, WindowsProgramsOfAPrefixStartThroughWineAndWaitForItsServer) {
    TempDir tmp;
    const std::string log = tmp.str() + "/wine.log";
    makeExecutable(tmp, "bin/wine",
                   "#!/bin/sh\n{ printf '%s' \"$WINEPREFIX\"; for a; do printf '|%s' \"$a\"; done; "
                   "echo; } >> \"$WINE_LOG\"\n");
    makeExecutable(tmp, "bin/wineserver",
                   "#!/bin/sh\nsleep 0.4\necho \"server $1 $WINEPREFIX\" >> \"$WINE_LOG\"\n");
    tmp.write("c/Program Files/App/uninst.exe", std::string("MZ\x90\0\3\0\0\0", 8));
    makeExecutable(tmp, "c/Program Files/App/script.exe",
                   "#!/bin/sh\necho \"script $WINEPREFIX\" >> \"$WINE_LOG\"\n");
    setDefaultFileSystem(makeFileSystem({{'C', tmp.str() + "/c"}}, tmp.str()));
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (tmp.str() + "/bin:" + oldPath).c_str(), 1);
    setenv("WINE_LOG", log.c_str(), 1);
    setenv("WINEPREFIX", "/not/this/one", 1);
    const std::string prefix = tmp.str() + "/pfx";
    auto launcher = prefixProcessLauncher(prefix);

    for (const char* line : {R"(C:\Program Files\App\uninst.exe /S "_?=C:\a b")",
                             R"(MsiExec.exe /X{1234})", R"(rundll32 x.dll,Entry)",
                             R"("C:\Program Files\App\script.exe")"}) {
        std::string error;
        auto process = launcher->start(line, &error);
        ASSERT_TRUE(process) << line << ": " << error;
        process->wait();
    }
    unsetenv("WINEPREFIX");
    setenv("PATH", oldPath.c_str(), 1);
    setDefaultFileSystem(nullptr);

    // The server's end is noted before the next program starts: wait() waited for it.
    EXPECT_EQ(tmp.read("wine.log"),
              prefix + R"(|C:\Program Files\App\uninst.exe|/S|_?=C:\a b)" + "\n" +
                  "server -w " + prefix + "\n" +
                  prefix + "|MsiExec.exe|/X{1234}\n" + "server -w " + prefix + "\n" +
                  prefix + "|rundll32.exe|x.dll,Entry\n" + "server -w " + prefix + "\n" +
                  "script /not/this/one\n");
}
