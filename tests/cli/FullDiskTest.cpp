// The stores on a file system that is full to the last byte (a small tmpfs of
// the test's own): reading goes on, and a change fails saying why, leaving
// nothing half done.
#include <gtest/gtest.h>
#include <sys/mount.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vornak::test {
namespace {

namespace fs = std::filesystem;

const std::string kUninstall =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";

std::string pairImport(const std::string& mark) {
    return "Windows Registry Editor Version 5.00\r\n\r\n[" + kUninstall +
           "]\r\n\"DisplayName\"=\"Demo " + mark +
           "\"\r\n\"UninstallString\"=\"C:\\\\demo\\\\uninstall.exe\"\r\n\r\n"
           "[HKEY_CURRENT_USER\\Software\\Pair]\r\n\"round\"=\"" +
           mark + "\"\r\n";
}

class FullDiskTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(disk);
        if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=3m") != 0)
            GTEST_SKIP() << "needs a small file system of its own (mount -t tmpfs), which only "
                            "root may make here: "
                         << std::strerror(errno);
        mounted = true;
    }
    void TearDown() override {
        if (mounted)
            ::umount2(disk.c_str(), MNT_DETACH);
    }

    // Takes every byte that is left.
    void fill() const {
        std::FILE* f = std::fopen((disk + "/filler").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::setvbuf(f, nullptr, _IONBF, 0);
        const std::string block(65536, 'x');
        while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
        }
        while (std::fwrite("x", 1, 1, f) == 1) {
        }
        std::fclose(f);
        std::ofstream probe(disk + "/probe");
        probe << std::string(8192, 'p') << std::flush;
        ASSERT_FALSE(probe) << "the disk is not full";
    }
    void makeRoom() const {
        fs::remove(disk + "/filler");
        fs::remove(disk + "/probe");
    }

    std::map<std::string, std::string> env;
    ProgramResult run(std::vector<std::string> args) const {
        return runProgram(VORNAK_EXE, args, env);
    }

    TempDir tmp;
    std::string disk = tmp.str() + "/disk";
    bool mounted = false;
};

std::string snapshot(const std::string& dir) {
    std::string all;
    for (const char* f : {"system.reg", "user.reg", "userdef.reg"}) {
        std::ifstream in(dir + "/" + f, std::ios::binary);
        all += std::string(std::istreambuf_iterator<char>(in), {}) + '\0';
    }
    return all;
}

TEST_F(FullDiskTest, APrefixChangeSaysWhyAndChangesNothing) {
    const std::string prefix = disk + "/pfx";
    for (const char* f : {"system.reg", "user.reg", "userdef.reg"}) {
        // With the uninstall keys that Wine makes, which a reader would create.
        std::string text =
            "WINE REGISTRY Version 2\n\n#arch=win64\n\n[Software] 1796702855\n\n"
            "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall] 1796702855\n";
        for (int i = 0; i < 1500; ++i)
            text += "\n[Software\\\\Filler\\\\Key" + std::to_string(i) +
                    "] 1796702855\n\"V\"=\"text\"\n";
        tmp.write("disk/pfx/" + std::string(f), text);
    }
    env = {{"VORNAK_WINEPREFIX", prefix},
           {"VORNAK_REGISTRY_DIR", tmp.str() + "/settings"},
           {"XDG_DATA_HOME", tmp.str() + "/data"}};
    const std::string file = tmp.write("pair.reg", pairImport("1")).string();
    fill();
    const std::string before = snapshot(prefix);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {"reg", "import", file},
             {"reg", "add", "HKCU\\Software\\Pair", "/v", "round", "/d", "2", "/f"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.exitCode, 1) << args[1];
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("nothing was changed"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find("successfully"), std::string::npos) << r.out;
        EXPECT_EQ(snapshot(prefix), before) << args[1];
    }
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(prefix))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".vornak-registry.lock", "system.reg", "user.reg",
                                               "userdef.reg"}));
    EXPECT_EQ(run({"list"}).exitCode, 0);

    makeRoom();
    const auto r = run({"reg", "import", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(run({"list"}).out.find("Demo 1"), std::string::npos);
}

TEST_F(FullDiskTest, TheStoreIsReadOnAFullDiskAndAChangeSaysTheDiskIsFull) {
    env = {{"VORNAK_REGISTRY_DIR", disk + "/registry"}, {"XDG_DATA_HOME", tmp.str() + "/data"}};
    ASSERT_EQ(run({"reg", "import", tmp.write("one.reg", pairImport("1")).string()}).exitCode, 0);
    const auto listed = run({"list"});
    ASSERT_NE(listed.out.find("Demo 1"), std::string::npos) << listed.out << listed.err;
    // Without their shared-memory index files (as after a copy of the folder),
    // which the first reader has to make anew.
    for (const char* f : {"machine.db-shm", "user.db-shm"})
        fs::remove(disk + "/registry/" + f);
    fill();

    const auto full = run({"list"});
    EXPECT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(full.out, listed.out);
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"reg", "import", tmp.write("two.reg", pairImport("2")).string()},
             {"reg", "add", "HKLM\\Software\\More", "/v", "x", "/d", std::string(20000, 'y'),
              "/f"}}) {
        const auto r = run(args);
        EXPECT_EQ(r.exitCode, 1) << args[1];
        EXPECT_TRUE(r.err.find("No space left on device") != std::string::npos ||
                    r.err.find("disk is full") != std::string::npos)
            << r.err;
    }
    EXPECT_EQ(run({"list"}).out, listed.out);
    EXPECT_EQ(run({"reg", "query", "HKCU\\Software\\Pair", "/v", "round"}).out.find("2"),
              std::string::npos);

    makeRoom();
    EXPECT_EQ(run({"reg", "import", tmp.str() + "/two.reg"}).exitCode, 0);
    EXPECT_NE(run({"list"}).out.find("Demo 2"), std::string::npos);
}

}  // namespace
}  // namespace vornak::test
