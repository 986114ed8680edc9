// The quiet command of a registration: its own QuietUninstallString, else one
// derived from the uninstaller's kind, recognised from its files on drive C.
#include <gtest/gtest.h>

#include "actions/QuietCommand.h"
#include "inventory/Inventory.h"
#include "support/RegistryFixture.h"

using namespace vornak;
using namespace vornak::actions;

namespace {

// A program file with NSIS's first header at `offset`, flags `flags`.
std::string nsisFile(size_t offset, char flags) {
    std::string bytes = "MZ" + std::string(offset - 2, 'x');
    bytes += std::string{flags, 0, 0, 0};
    bytes += "\xEF\xBE\xAD\xDENullsoftInst";
    return bytes + std::string(600, 'y');
}

const std::string kCode = "{0C1D2E3F-4A5B-4C6D-8E7F-A0B1C2D3E4F5}";
const std::string kInnoSwitches = " /VERYSILENT /SUPPRESSMSGBOXES /NORESTART";

class QuietCommandTest : public test::RegistryFixture {};

}  // namespace

TEST_F(QuietCommandTest, EachInstallerKindIsRecognisedFromItsFiles) {
    tmp.write("drive c/App/uninst.exe", nsisFile(34816, 1));
    tmp.write("drive c/App/setup.exe", nsisFile(34816, 0));    // an installer: /S would install
    tmp.write("drive c/App/shifted.exe", nsisFile(34817, 1));  // not at a 512-byte boundary
    tmp.write("drive c/App/plain.exe", "MZ" + std::string(4096, 'z'));
    tmp.write("drive c/Inno/unins000.exe", "MZ inno");
    tmp.write("drive c/Inno/unins000.dat",
              std::string("Inno Setup Uninstall Log (b) 64-bit") + std::string(400, '\0'));
    tmp.write("drive c/Renamed/remove.exe", "MZ inno");
    tmp.write("drive c/Renamed/remove.dat", "Inno Setup Uninstall Log (b)");
    tmp.write("drive c/NotInno/unins000.exe", "MZ");
    tmp.write("drive c/NotInno/unins000.dat", "some other log");
    tmp.write("drive c/NoLog/unins000.exe", "MZ");

    struct Case {
        std::string command;
        QuietKind kind;
        std::string quiet;
    };
    const Case cases[] = {
        {"MsiExec.exe /I" + kCode, QuietKind::WindowsInstaller,
         "MsiExec.exe /X" + kCode + " /qn /norestart"},
        {"C:\\Windows\\System32\\msiexec /x " + kCode + " REBOOT=1", QuietKind::WindowsInstaller,
         "MsiExec.exe /X" + kCode + " /qn /norestart"},
        {"MsiExec.exe /I", QuietKind::None, ""},
        {"\"C:\\App\\uninst.exe\"", QuietKind::Nsis, "\"C:\\App\\uninst.exe\" /S"},
        {"C:\\app\\UNINST _?=C:\\App", QuietKind::Nsis, "\"C:\\app\\UNINST.exe\" /S _?=C:\\App"},
        {"C:\\App\\setup.exe /uninstall", QuietKind::None, ""},
        {"C:\\App\\shifted.exe", QuietKind::None, ""},
        {"C:\\App\\plain.exe", QuietKind::None, ""},
        {"\"C:\\Inno\\unins000.exe\"", QuietKind::InnoSetup,
         "\"C:\\Inno\\unins000.exe\"" + kInnoSwitches},
        {"C:\\Renamed\\remove.exe /LOG", QuietKind::InnoSetup,
         "\"C:\\Renamed\\remove.exe\"" + kInnoSwitches + " /LOG"},
        {"C:\\NotInno\\unins000.exe", QuietKind::None, ""},
        {"C:\\NoLog\\unins000.exe", QuietKind::None, ""},
        {"C:\\Gone\\uninst.exe", QuietKind::None, ""},
        {"", QuietKind::None, ""},
    };
    for (const Case& c : cases) {
        const QuietCommand q = deriveQuietCommand(c.command, *fs);
        EXPECT_EQ(q.kind, c.kind) << c.command;
        EXPECT_EQ(q.command, c.quiet) << c.command;
    }
}

TEST_F(QuietCommandTest, TheRegistrationsOwnQuietCommandComesFirst) {
    tmp.write("drive c/App/uninst.exe", nsisFile(512, 1));
    const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
    UninstallEntry row{"App", 0, "C:\\App\\uninst.exe", "\\" + key, "LM"};
    EXPECT_EQ(quietCommand(row, *fs).kind, QuietKind::Nsis);
    setString(platform::RegRoot::LocalMachine, key, "QuietUninstallString", "  ");
    EXPECT_EQ(quietCommand(row, *fs).kind, QuietKind::Nsis) << "a blank one is none";
    setString(platform::RegRoot::LocalMachine, key, "QuietUninstallString",
              "\"C:\\App\\uninst.exe\" /S /quiet");
    const QuietCommand own = quietCommand(row, *fs);
    EXPECT_EQ(own.kind, QuietKind::Registered);
    EXPECT_EQ(own.command, "\"C:\\App\\uninst.exe\" /S /quiet");
}
