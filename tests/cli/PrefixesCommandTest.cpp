// `vornak prefixes` and `vornak list --prefix` on prefixes written in Wine's
// format by the test, found through HOME as a Wine user keeps them.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string regFile(const std::string& relativeTo, const std::string& sections) {
    return "WINE REGISTRY Version 2\n;; All keys relative to " + relativeTo + "\n\n#arch=win64\n" + sections;
}

std::string program(const std::string& key, const std::string& name, const std::string& command) {
    return "\n[" + key + "\\\\" + name + "] 1796702855\n#time=1dd86c9a7b20616\n\"DisplayName\"=\"" + name +
           "\"\n\"UninstallString\"=\"" + command + "\"\n";
}

const std::string kUninstall = "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall";
const std::string kUninstall32 = "Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall";

void makePrefix(const vornak::test::TempDir& tmp, const std::string& dir, const std::string& machine) {
    tmp.write(dir + "/system.reg", regFile("REGISTRY\\\\Machine", machine));
    tmp.write(dir + "/user.reg", regFile("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000",
                                         "\n[Software] 1796702855\n#time=1dd86c9a7b20616\n"));
    tmp.write(dir + "/userdef.reg", regFile("REGISTRY\\\\User\\\\.Default",
                                            "\n[Software] 1796702855\n#time=1dd86c9a7b20616\n"));
    fs::create_directories(tmp.path() / dir / "drive_c");
    fs::create_directories(tmp.path() / dir / "dosdevices");
    fs::create_symlink("../drive_c", tmp.path() / dir / "dosdevices/c:");
}

class PrefixesCommandTest : public ::testing::Test {
protected:
    vornak::test::ProgramResult run(const std::vector<std::string>& args,
                                    const std::string& managedPrefix = {}) {
        const std::string home = tmp.str() + "/home";
        std::map<std::string, std::string> env{{"HOME", home},
                                               {"XDG_DATA_HOME", home + "/.local/share"},
                                               {"WINEPREFIX", home + "/.wine"},
                                               {"VORNAK_REGISTRY_DIR", tmp.str() + "/registry"},
                                               {"VORNAK_DRIVES", "C=" + tmp.str() + "/c"}};
        if (!managedPrefix.empty()) env["VORNAK_WINEPREFIX"] = managedPrefix;
        return vornak::test::runProgram(VORNAK_TOOL, args, env);
    }
    vornak::test::TempDir tmp;
};

TEST_F(PrefixesCommandTest, FindsPrefixesOnceWithTheirProgramsAndListsOne) {
    makePrefix(tmp, "home/.wine",
               program(kUninstall, "Live", "C:\\\\Live\\\\uninst.exe") +
                   program(kUninstall32, "Old", "C:\\\\Gone\\\\uninst.exe"));
    tmp.write("home/.wine/drive_c/Live/uninst.exe", "MZ");
    makePrefix(tmp, "home/.local/share/Steam/steamapps/compatdata/420/pfx", "");
    fs::create_directories(tmp.path() / "home/.local/share/Steam/steamapps/compatdata/421");

    const auto found = run({"prefixes"});
    ASSERT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(found.out, "2\t" + tmp.str() + "/home/.wine\n0\t" + tmp.str() +
                             "/home/.local/share/Steam/steamapps/compatdata/420/pfx\n");

    const std::string user = tmp.read("home/.wine/user.reg");
    const auto listed = run({"list", "--prefix", tmp.str() + "/home/.wine"});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out,
              "ok\tLM\t\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Live\tLive\t"
              "C:\\Live\\uninst.exe\n"
              "dead\tLM\t\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ol"
              "d\tOld\t"
              "C:\\Gone\\uninst.exe\n");
    // The same with the prefix as the program's registry and drives.
    EXPECT_EQ(run({"list"}, tmp.str() + "/home/.wine").out, listed.out);
    // Reading writes nothing, not even the missing HKCU uninstall key.
    EXPECT_EQ(tmp.read("home/.wine/user.reg"), user);
    EXPECT_FALSE(fs::exists(tmp.path() / "registry"));

    const auto wrong = run({"list", "--prefix", tmp.str() + "/home"});
    EXPECT_EQ(wrong.exitCode, 1);
    EXPECT_NE(wrong.err.find("is not a Wine prefix"), std::string::npos);
}

}  // namespace

TEST_F(PrefixesCommandTest, FindsPrefixesInTheOtherSteamLibraries) {
    const std::string library = tmp.str() + "/mnt/Steam Library";
    tmp.write("home/.local/share/Steam/steamapps/libraryfolders.vdf",
              "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + tmp.str() +
                  "/home/.local/share/Steam\"\n\t}\n\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" + library +
                  "\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"430\"\t\t\"1\"\n\t\t}\n\t}\n}\n");
    makePrefix(tmp, "home/.local/share/Steam/steamapps/compatdata/420/pfx", "");
    makePrefix(tmp, "mnt/Steam Library/steamapps/compatdata/430/pfx", "");
    const auto found = run({"prefixes"});
    ASSERT_EQ(found.exitCode, 0) << found.err;
    EXPECT_EQ(found.out, "0\t" + tmp.str() +
                             "/home/.local/share/Steam/steamapps/compatdata/420/pfx\n0\t" +
                             library + "/steamapps/compatdata/430/pfx\n");
}
