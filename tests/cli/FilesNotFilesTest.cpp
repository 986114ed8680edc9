// Every file the tool reads whole, replaced by what is no file to read: a FIFO
// nobody writes, a link to /dev/zero, a file larger than its kind can be, a
// folder. The tool runs as a child, so a hang ends in its kill (after a minute)
// and fails the case instead of blocking the suite.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "platform/BoundedRead.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vornak::test {
namespace {

namespace fs = std::filesystem;

std::string wineFile(const std::string& root) {
    return "WINE REGISTRY Version 2\n;; All keys relative to " + root +
           "\n\n#arch=win64\n\n[Software] 1796702855\n#time=1dd86c9a7b20616\n";
}

enum class Form { Fifo, DevZero, TooLarge, Folder };

struct Kind {
    const char* name;
    const char* file;  // below the test's folder
    platform::ReadLimit limit;
    std::vector<std::string> args;
    bool prefix = false;   // run in the Wine prefix "pfx"
    bool before = false;   // after a first snapshot run
    bool mustFail = true;  // the command cannot go on without the file
};

class FilesNotFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tool = (tmp.path() / "prog/vornak").string();
        fs::create_directories(tmp.path() / "prog");
        fs::copy_file(VORNAK_TOOL, tool);
        fs::create_directories(tmp.path() / "c/Program Files");
        tmp.write("pfx/system.reg", wineFile("REGISTRY\\\\Machine"));
        tmp.write("pfx/user.reg", wineFile("REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000"));
        tmp.write("pfx/userdef.reg", wineFile("REGISTRY\\\\User\\\\.Default"));
        fs::create_directories(tmp.path() / "pfx/drive_c");
        fs::create_directories(tmp.path() / "pfx/dosdevices");
        fs::create_symlink("../drive_c", tmp.path() / "pfx/dosdevices/c:");
        for (const char* root : {"HKLM", "HKCU"})
            ASSERT_EQ(run({"reg", "add",
                           std::string(root) +
                               "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Acme",
                           "/v", "UninstallString", "/d", "C:\\acme.exe", "/f"})
                          .exitCode,
                      0);
    }

    ProgramResult run(const std::vector<std::string>& args, bool inPrefix = false) {
        std::map<std::string, std::string> env{{"VORNAK_REGISTRY_DIR", tmp.str() + "/registry"},
                                               {"VORNAK_DRIVES", "C=" + tmp.str() + "/c"},
                                               {"XDG_DATA_HOME", tmp.str() + "/data"}};
        if (inPrefix)
            env["VORNAK_WINEPREFIX"] = tmp.str() + "/pfx";
        return runProgram(tool, args, env);
    }

    void makeHostile(const fs::path& path, Form form, uint64_t limit) {
        fs::remove_all(path);
        fs::create_directories(path.parent_path());
        switch (form) {
            case Form::Fifo:
                ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
                break;
            case Form::DevZero:
                fs::create_symlink("/dev/zero", path);
                break;
            case Form::TooLarge:
                // Sparse: no disk is spent, and only its size can refuse it.
                tmp.write(fs::relative(path, tmp.path()).string(), "x");
                fs::resize_file(path, limit + 1);
                break;
            case Form::Folder:
                fs::create_directory(path);
                break;
        }
    }

    TempDir tmp;
    std::string tool;
};

TEST_F(FilesNotFilesTest, EveryFileReadWholeIsRefusedAtOnceAndNamed) {
    using namespace platform::readLimits;
    const std::vector<Kind> kinds = {
        {"machine registry", "pfx/system.reg", kRegistryFile, {"list"}, true},
        {"user registry", "pfx/user.reg", kRegistryFile, {"list"}, true},
        {"default user registry",
         "pfx/userdef.reg",
         kRegistryFile,
         {"reg", "query", "HKU\\.Default"},
         true},
        {"hidden list", "prog/hidden.dat", kHiddenList, {"list"}, false, false, false},
        {"registry file to import", "in.reg", kRegistryFile, {"reg", "import", "IN"}},
        {"file snapshot",
         "prog/logs/files_1.txt",
         kSnapshot,
         {"analyze", "after", "A"},
         false,
         true},
        {"registry snapshot",
         "prog/logs/HKLM_1.txt",
         kSnapshot,
         {"analyze", "after", "A"},
         false,
         true},
        {"snapshot record",
         "prog/logs/run_1.txt",
         kRunRecord,
         {"analyze", "after", "A"},
         false,
         true},
        {"analysis log", "prog/logs/A.anlog", kAnalysisLog, {"analyze", "remove", "A", "--yes"}},
        {"language file",
         "prog/lang/English.lng",
         kLanguageFile,
         {"analyze", "list"},
         false,
         false,
         false},
    };
    const std::vector<std::pair<Form, std::vector<std::string>>> forms = {
        {Form::Fifo, {"not a regular file"}},
        {Form::DevZero, {"not a regular file"}},
        {Form::TooLarge, {"larger than"}},
        // A folder where a snapshot or a log should be counts as none there.
        {Form::Folder, {"is a folder", "missing", "not the name of a log"}},
    };
    for (const Kind& kind : kinds) {
        for (const auto& [form, reasons] : forms) {
            SCOPED_TRACE(std::string(kind.name) + ", form " + std::to_string(int(form)));
            if (kind.before) {
                ASSERT_EQ(run({"analyze", "before", "C:"}).exitCode, 0);
            }
            const fs::path hostile = tmp.path() / kind.file;
            const bool had = fs::is_regular_file(hostile);
            const std::string original = had ? tmp.read(kind.file) : std::string();
            makeHostile(hostile, form, kind.limit.maxBytes);
            std::vector<std::string> args = kind.args;
            for (auto& a : args)
                if (a == "IN")
                    a = hostile.string();
            const ProgramResult r = run(args, kind.prefix);
            EXPECT_NE(r.exitCode, 128 + 9) << "it hung and was killed";
            if (kind.mustFail) {
                EXPECT_NE(r.exitCode, 0) << r.out;
            }
            EXPECT_NE(r.err.find(hostile.filename().string()), std::string::npos) << r.err;
            bool said = false;
            for (const auto& reason : reasons)
                said = said || r.err.find(reason) != std::string::npos;
            EXPECT_TRUE(said) << r.err;
            fs::remove_all(hostile);
            if (had)
                tmp.write(kind.file, original);
            fs::remove_all(tmp.path() / "prog/logs");
        }
    }
}

}  // namespace
}  // namespace vornak::test
