// `vornak uninstall` run as a program against a store and drive C of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/RegistryFixture.h"
#include "support/RunProgram.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace vornak;
using platform::RegRoot;

namespace {

const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// The system's own words for a missing program; Wine has words of its own.
std::string fileNotFoundText() {
#ifdef _WIN32
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        return "File not found";
#endif
    return "The system cannot find the file specified";
}

class UninstallCommandTest : public test::RegistryFixture {
  protected:
    test::ProgramResult run(std::vector<std::string> args) {
        args.insert(args.begin(), "uninstall");
        return test::runProgram(
            VORNAK_TOOL, args,
            {{"VORNAK_REGISTRY_DIR", tmp.str() + "/registry"}, {"VORNAK_DRIVES", "C=" + driveC}});
    }
    // C:\Program Files\<folder>\un.exe, a script that records its arguments
    // after a pause, so the record exists only if the tool waited.
    std::string script(const std::string& folder) {
        const auto path = tmp.write(
            "drive c/Program Files/" + folder + "/un.exe",
            "#!/bin/sh\nsleep 0.3\necho \"$*\" > '" + tmp.str() + "/" + folder + ".ran'\n");
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return "C:\\Program Files\\" + folder + "\\un.exe";
    }
    std::string ran(const std::string& folder) {
        return std::filesystem::exists(tmp.path() / (folder + ".ran")) ? tmp.read(folder + ".ran")
                                                                       : "<not run>";
    }
};

}  // namespace

TEST_F(UninstallCommandTest, RunsTheCommandOfTheRegistrationAndWaits) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: the uninstallers are shell scripts";
#endif
    setString(RegRoot::LocalMachine, kUninstall + "Acme", "UninstallString",
              script("LM side") + " /S");
    setString(RegRoot::CurrentUser, kUninstall + "Acme", "UninstallString",
              "\"" + script("CU side") + "\" /user");
    setString(RegRoot::CurrentUser, kUninstall + "Mine", "UninstallString",
              script("Mine") + " a\\\"b");

    EXPECT_EQ(run({"Acme"}).exitCode, 0);
    EXPECT_EQ(ran("LM side"), "/S\n");
    EXPECT_EQ(ran("CU side"), "<not run>");
    EXPECT_EQ(run({"acme", "--root", "cu"}).exitCode, 0);
    EXPECT_EQ(ran("CU side"), "/user\n");
    EXPECT_EQ(run({"Mine"}).exitCode, 0) << "found below CU when LM has none";
    EXPECT_EQ(ran("Mine"), "a\"b\n");
    // The row the list shows: LM's registration has no command, CU's has.
    setString(RegRoot::LocalMachine, kUninstall + "Dup", "DisplayName", "Dup");
    setString(RegRoot::CurrentUser, kUninstall + "Dup", "UninstallString", script("Dup") + " cu");
    const auto dup = run({"Dup"});
    EXPECT_EQ(dup.exitCode, 0) << dup.err;
    EXPECT_EQ(ran("Dup"), "cu\n");
}

TEST_F(UninstallCommandTest, HelpPrintsTheUsage) {
    for (const char* word : {"--help", "-h", "/?"}) {
        const auto r = run({word});
        EXPECT_EQ(r.exitCode, 0) << word;
        EXPECT_EQ(
            r.out.rfind("usage: vornak uninstall KEY [KEY ...] [--quiet] [--root LM|CU]\n", 0), 0u)
            << word << r.out;
        EXPECT_EQ(r.err, "") << word;
    }
}

TEST_F(UninstallCommandTest, FailuresEndWithOneLine) {
    setString(RegRoot::LocalMachine, kUninstall + "NoCommand", "DisplayName", "x");
    setString(RegRoot::LocalMachine, kUninstall + "Gone", "UninstallString", "C:\\gone\\un.exe /S");

    auto r = run({"NoCommand"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "vornak uninstall: LM\\NoCommand has no uninstall command\n");
    r = run({"Gone"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "vornak uninstall: C:\\gone\\un.exe /S could not be started: " +
                         fileNotFoundText() + ".\n");
    r = run({"Nobody", "--root", "CU"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "vornak uninstall: no registration Nobody below CU\n");
    EXPECT_EQ(run({"Nobody"}).exitCode, 1);
    EXPECT_FALSE(keyExists(RegRoot::LocalMachine, kUninstall + "Nobody"))
        << "looking creates nothing";
    EXPECT_EQ(run({}).exitCode, 1);
    EXPECT_EQ(run({"Gone", "--root", "HKLM"}).exitCode, 1);
}

// Several keys run one after another, each to its end; --quiet takes each one's
// quiet command and skips one without; the failures are named and the exit
// code says so.
TEST_F(UninstallCommandTest, ABatchRunsInTurnAndNamesWhatFailedOrStayed) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: the uninstallers are shell scripts";
#else
    // Each logs its start and end into one file; the pause would interleave
    // them if two ran at once. `remove` takes its registration out as a real
    // uninstaller does.
    auto uninstaller = [&](const std::string& name, const std::string& remove,
                           const std::string& tail = {}) {
        std::string body = "#!/bin/sh\necho \"start " + name + " $*\" >> '" + tmp.str() +
                           "/order'\nsleep 0.2\n" + remove + "echo \"end " + name + "\" >> '" +
                           tmp.str() + "/order'\nexit 0\n";
        if (!tail.empty())
            body += std::string(512 - body.size() % 512, '#') + tail;
        const auto path = tmp.write("drive c/" + name + "/un.exe", body);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return "C:\\" + name + "\\un.exe";
    };
    const std::string removeA =
        std::string("'") + VORNAK_TOOL + "' reg delete 'HKLM\\" + kUninstall + "A' /f >/dev/null\n";
    // B's file carries an NSIS uninstaller's header after the script's end.
    std::string nsis = std::string{1, 0, 0, 0} + "\xEF\xBE\xAD\xDENullsoftInst";
    setString(RegRoot::LocalMachine, kUninstall + "A", "DisplayName", "Alpha");
    setString(RegRoot::LocalMachine, kUninstall + "A", "UninstallString",
              uninstaller("A", removeA));
    setString(RegRoot::LocalMachine, kUninstall + "A", "QuietUninstallString",
              "C:\\A\\un.exe /quiet");
    setString(RegRoot::CurrentUser, kUninstall + "B", "DisplayName", "Beta");
    setString(RegRoot::CurrentUser, kUninstall + "B", "UninstallString",
              uninstaller("B", "", nsis));
    setString(RegRoot::LocalMachine, kUninstall + "C", "DisplayName", "Gamma");
    setString(RegRoot::LocalMachine, kUninstall + "C", "UninstallString", "C:\\gone\\un.exe");
    setString(RegRoot::LocalMachine, kUninstall + "C", "QuietUninstallString",
              "C:\\gone\\un.exe /S");
    setString(RegRoot::LocalMachine, kUninstall + "D", "DisplayName", "Delta");
    setString(RegRoot::LocalMachine, kUninstall + "D", "UninstallString", uninstaller("D", ""));

    auto r = run({"--quiet", "A", "B", "C", "D", "Nobody"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(tmp.read("order"), "start A /quiet\nend A\nstart B /S\nend B\n");
    EXPECT_NE(r.out.find("1 of 4: Alpha\n2 of 4: Beta\n3 of 4: Gamma\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.err,
              "vornak uninstall: no registration Nobody below LM or CU\n"
              "vornak uninstall: no quiet command, not run: Delta\n"
              "vornak uninstall: could not be started: Gamma (C:\\gone\\un.exe /S: " +
                  fileNotFoundText() +
                  ".)\n"
                  "vornak uninstall: still registered: Beta\n");
    EXPECT_FALSE(keyExists(RegRoot::LocalMachine, kUninstall + "A"));

    // Without --quiet each runs its own command; all ended and gone is success.
    std::filesystem::remove(tmp.path() / "order");
    const std::string removeD =
        std::string("'") + VORNAK_TOOL + "' reg delete 'HKLM\\" + kUninstall + "D' /f >/dev/null\n";
    setString(RegRoot::LocalMachine, kUninstall + "D", "UninstallString",
              uninstaller("D", removeD));
    r = run({"D", "B"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(tmp.read("order"), "start D \nend D\nstart B \nend B\n");
    EXPECT_EQ(r.err, "vornak uninstall: still registered: Beta\n");
    setString(RegRoot::CurrentUser, kUninstall + "B", "UninstallString",
              uninstaller("B", std::string("'") + VORNAK_TOOL + "' reg delete 'HKCU\\" +
                                   kUninstall + "B' /f >/dev/null\n"));
    r = run({"--quiet", "B"});
    EXPECT_EQ(r.exitCode, 1) << "B's file is no NSIS uninstaller any more";
    EXPECT_EQ(r.err, "vornak uninstall: no quiet command, not run: Beta\n");
    std::filesystem::remove(tmp.path() / "order");
    r = run({"B", "b", "\\" + kUninstall + "B"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(tmp.read("order"), "start B \nend B\n") << "one registration runs once";
#endif
}
