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
        EXPECT_EQ(r.out.rfind("usage: vornak uninstall KEY [--root LM|CU]\n", 0), 0u)
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
    EXPECT_EQ(r.err,
              "vornak uninstall: C:\\gone\\un.exe /S could not be started: " +
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
