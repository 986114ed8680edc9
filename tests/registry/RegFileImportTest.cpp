// Registry files against a real store: import, export, round trips, refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "registry/RegFileParser.h"
#include "registry/RegFileStore.h"
#include "registry/RegFileTestSupport.h"
#include "support/RegistryFixture.h"

namespace vornak::registry {
namespace {

using platform::RegRoot;
using namespace std::string_literals;

const std::string kTest = "Software\\Vornak Test";

class RegFileImportTest : public test::RegistryFixture {
  protected:
    static std::string data(const std::string& name) {
        return std::string(VORNAK_TEST_DATA_DIR) + "/" + name;
    }
    void import(const std::string& path, platform::RegistryStore* target = nullptr) {
        auto acc = (target ? target : store.get())->accessor();
        importRegFile(*acc, path);
    }
    std::vector<RegFileKey> tree(RegRoot root, const std::string& path,
                                 platform::RegistryStore* from = nullptr) {
        auto acc = (from ? from : store.get())->accessor();
        std::vector<RegFileKey> keys;
        EXPECT_EQ(readKeyTree(*acc, root, path, keys), platform::RegStatus::Ok) << path;
        return keys;
    }
    std::string exportTo(RegRoot root, const std::string& path, const std::string& file,
                         platform::RegistryStore* from = nullptr) {
        auto acc = (from ? from : store.get())->accessor();
        EXPECT_EQ(exportRegFile(*acc, root, path, tmp.str() + "/" + file), platform::RegStatus::Ok);
        return tmp.read(file);
    }
    void expectValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                     const std::string& bytes) {
        const auto v = value(root, path, name);
        ASSERT_TRUE(v) << path << " : " << name;
        EXPECT_EQ(v->type, type) << name;
        EXPECT_EQ(v->data, bytes) << name;
    }
    std::vector<std::string> subkeys(RegRoot root, const std::string& path) {
        auto acc = store->accessor();
        std::unique_ptr<platform::RegKey> key;
        std::vector<std::string> names;
        if (acc->openKey(root, path, platform::RegAccess::Read, key) != platform::RegStatus::Ok)
            return names;
        std::string name;
        for (uint32_t i = 0; acc->enumKey(*key, i, name) == platform::RegStatus::Ok; ++i)
            names.push_back(name);
        return names;
    }
    static int errorLine(const std::function<void()>& f) {
        try {
            f();
        } catch (const RegFileError& e) {
            return e.line();
        }
        return -1;
    }
};

TEST_F(RegFileImportTest, HandWrittenVersion5FileSetsEveryKindAndDeletes) {
    const std::string all = kTest + "\\All Types";
    setString(RegRoot::CurrentUser, all + "\\Child", "Gone", "old");
    setString(RegRoot::CurrentUser, kTest + "\\Removed\\Deep\\Deeper", "v", "x");
    import(data("all-types-v5.reg"));

    expectValue(RegRoot::CurrentUser, all, "", platform::kRegSz, "Default text\0"s);
    expectValue(RegRoot::CurrentUser, all, "plain", platform::kRegSz,
                "Acme \"Editor\" in C:\\Program Files\\Acme\0"s);
    expectValue(RegRoot::CurrentUser, all, "Accented", platform::kRegSz,
                "Cr\xC3\xA8me br\xC3\xBBl\xC3\xA9"
                "e, \xC3\x86r\xC3\xB8sk\xC3\xB8"
                "bing, "
                "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\0"s);
    expectValue(RegRoot::CurrentUser, all, "Empty", platform::kRegSz, "\0"s);
    expectValue(RegRoot::CurrentUser, all, "Dword", platform::kRegDword, "\xEF\xBE\0\0"s);
    expectValue(RegRoot::CurrentUser, all, "Binary", platform::kRegBinary, "\x00\x01\x02\xFE\xFF"s);
    expectValue(RegRoot::CurrentUser, all, "Expand", platform::kRegExpandSz,
                "%ProgramFiles%\\Acme\0"s);
    expectValue(RegRoot::CurrentUser, all, "Multi", platform::kRegMultiSz, "one\0two\0\0"s);
    expectValue(RegRoot::CurrentUser, all, "Qword", platform::kRegQword,
                "\x88\x77\x66\x55\x44\x33\x22\x11"s);
    expectValue(RegRoot::CurrentUser, all, "None", platform::kRegNone, "");
    // reg.exe ends text data that the file gives without its NUL.
    expectValue(RegRoot::CurrentUser, all, "Raw text", platform::kRegSz, "AB\0"s);
    EXPECT_FALSE(value(RegRoot::CurrentUser, all + "\\Child", "Gone"));
    EXPECT_TRUE(keyExists(RegRoot::CurrentUser, all + "\\Child"));
    EXPECT_FALSE(keyExists(RegRoot::CurrentUser, kTest + "\\Removed"));
    expectValue(RegRoot::LocalMachine, kTest, "Machine", platform::kRegDword, "\x01\0\0\0"s);
}

TEST_F(RegFileImportTest, EightBitAndUtf8FilesGiveUtf8Text) {
    import(data("regedit4-cp1252.reg"));
    import(data("utf8-v5.reg"));
    expectValue(RegRoot::CurrentUser, kTest + "\\Old Style", "Name", platform::kRegSz,
                "Fran\xC3\xA7"
                "ais\0"s);
    expectValue(RegRoot::CurrentUser, kTest + "\\Old Style", "Path", platform::kRegExpandSz,
                "%WINDIR%\0"s);
    expectValue(RegRoot::CurrentUser, kTest + "\\Old Style", "Count", platform::kRegDword,
                "\x10\0\0\0"s);
    expectValue(RegRoot::CurrentUser, kTest + "\\Utf8", "Name", platform::kRegSz,
                "\xC3\x9Cn\xC3\xAF"
                "c\xC3\xB6"
                "d\xC3\xA9\0"s);
}

TEST_F(RegFileImportTest, WinePrefixFilesLandInTheirRoots) {
    import(data("system.reg"));
    import(data("user.reg"));
    const std::string uninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::string msi = uninstall + "\\{3E0F1F3C-1D9B-4C2E-9E1A-0D1F2A3B4C5D}";
    EXPECT_EQ(subkeys(RegRoot::LocalMachine, uninstall),
              (std::vector<std::string>{"Notepad++", "{3E0F1F3C-1D9B-4C2E-9E1A-0D1F2A3B4C5D}"}));
    expectValue(RegRoot::LocalMachine, uninstall + "\\Notepad++", "UninstallString",
                platform::kRegSz, "\"C:\\Program Files\\Notepad++\\uninstall.exe\"\0"s);
    expectValue(RegRoot::LocalMachine, msi, "DisplayName", platform::kRegSz,
                "Caf\xC3\xA9 \xC3\xA9"
                "dition \xF0\x9F\x98\x80\0"s);
    expectValue(RegRoot::LocalMachine, msi, "InstallLocation", platform::kRegExpandSz,
                "%ProgramFiles%\\Caf\xC3\xA9\0"s);
    expectValue(RegRoot::LocalMachine, msi, "Languages", platform::kRegMultiSz, "en\0fr\0\0"s);
    EXPECT_EQ(value(RegRoot::LocalMachine, msi, "Signature")->data.size(), 24u);
    expectValue(RegRoot::CurrentUser, uninstall + "\\Portable Tool", "DisplayName",
                platform::kRegSz, "Portable \"Tool\"\0"s);
    EXPECT_TRUE(keyExists(RegRoot::CurrentUser, "Software\\Wine\\Drives"));
    EXPECT_FALSE(keyExists(RegRoot::CurrentUser,
                           "Software\\Microsoft\\Windows\\CurrentVersion\\"
                           "Uninstall\\Notepad++"));
}

TEST_F(RegFileImportTest, RoundTripGivesIdenticalFilesAndStores) {
    const std::string base = kTest + "\\Round \"trip\" \xC3\xA9";
    setValue(RegRoot::CurrentUser, base, "", platform::kRegSz, "default\0"s);
    setValue(RegRoot::CurrentUser, base, "Quote\"Back\\slash", platform::kRegSz, "a\"b\\c\0"s);
    setValue(RegRoot::CurrentUser, base, "empty data", platform::kRegSz, "");
    setValue(RegRoot::CurrentUser, base, "no NUL", platform::kRegSz, "abc");
    setValue(RegRoot::CurrentUser, base, "inner NUL", platform::kRegSz, "a\0b\0"s);
    setValue(RegRoot::CurrentUser, base, "not UTF-8", platform::kRegSz, "\xE9t\xE9\0"s);
    setValue(RegRoot::CurrentUser, base, "lines", platform::kRegSz, "one\r\ntwo\0"s);
    setValue(RegRoot::CurrentUser, base, "\xE6\x97\xA5\xE6\x9C\xAC", platform::kRegExpandSz,
             "%TEMP%\\\xE6\x97\xA5\0"s);
    setValue(RegRoot::CurrentUser, base, "multi", platform::kRegMultiSz, "a\0\xC3\xA9\0\0"s);
    setValue(RegRoot::CurrentUser, base, "bin", platform::kRegBinary, std::string(100, '\xAB'));
    setValue(RegRoot::CurrentUser, base, "dword", platform::kRegDword, "\x01\x02\x03\x04"s);
    setValue(RegRoot::CurrentUser, base, "short dword", platform::kRegDword, "\x01"s);
    setValue(RegRoot::CurrentUser, base, "qword", platform::kRegQword, "\x01\0\0\0\0\0\0\x80"s);
    setValue(RegRoot::CurrentUser, base, "none", platform::kRegNone, "");
    setValue(RegRoot::CurrentUser, base + "\\Sub [1]", "x", 0xFFFF0007u, "\x01\x02"s);
    setValue(RegRoot::CurrentUser, base + "\\sub 2\\deeper", "", platform::kRegSz, "\0"s);

    // Long names (past any short-string buffer) that differ only inside.
    setValue(RegRoot::CurrentUser, base, "DejaVu Sans Bold Oblique (TrueType)", platform::kRegSz,
             "bold.ttf\0"s);
    setValue(RegRoot::CurrentUser, base, "DejaVu Sans Mono Oblique (TrueType)", platform::kRegSz,
             "mono.ttf\0"s);

    const std::string first = exportTo(RegRoot::CurrentUser, kTest, "first.reg");
    auto fresh = platform::openRegistryStore(tmp.str() + "/fresh registry");
    import(tmp.str() + "/first.reg", fresh.get());
    const std::string second = exportTo(RegRoot::CurrentUser, kTest, "second.reg", fresh.get());
    // REG_SZ goes as regedit writes it, up to its first NUL, and the import ends
    // text with a NUL, as reg.exe does; everything else arrives as it was.
    setValue(RegRoot::CurrentUser, base, "no NUL", platform::kRegSz, "abc\0"s);
    setValue(RegRoot::CurrentUser, base, "empty data", platform::kRegSz, "\0"s);
    setValue(RegRoot::CurrentUser, base, "inner NUL", platform::kRegSz, "a\0"s);
#ifdef _WIN32
    // Windows' store keeps bytes that are not UTF-8 as U+FFFD and reads that text
    // back without its NUL; quoted in the file, it comes back with one.
    setValue(RegRoot::CurrentUser, base, "not UTF-8", platform::kRegSz,
             "\xEF\xBF\xBDt\xEF\xBF\xBD\0"s);
#endif
    EXPECT_EQ(exportTo(RegRoot::CurrentUser, kTest, "third.reg"), second);
    EXPECT_EQ(first, second);
    expectSameKeys(tree(RegRoot::CurrentUser, kTest, fresh.get()),
                   tree(RegRoot::CurrentUser, kTest));
    const auto keys = tree(RegRoot::CurrentUser, kTest, fresh.get());
    ASSERT_EQ(keys.size(), 5u);  // with Sub [1], sub 2 and deeper
    EXPECT_EQ(keys[1].values.size(), 16u);
}

TEST_F(RegFileImportTest, ARefusedFileLeavesTheStoreExactlyAsItWas) {
    import(data("all-types-v5.reg"));
    const std::string before = exportTo(RegRoot::CurrentUser, "Software", "before.reg");

    // A syntax error on the last line: nothing of the lines before it happens.
    EXPECT_EQ(errorLine([&] { import(data("broken-at-line-9.reg")); }), 9);
    EXPECT_EQ(exportTo(RegRoot::CurrentUser, "Software", "after1.reg"), before);

    // The store refuses a change half-way (a key name longer than 255 characters).
    const std::string file =
        tmp.write("long.reg",
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[-HKEY_CURRENT_USER\\Software\\Vornak Test\\All Types]\r\n"
                  "[HKEY_CURRENT_USER\\Software\\Vornak Test\\New]\r\n\"v\"=\"x\"\r\n"
                  "[HKEY_CURRENT_USER\\Software\\" +
                      std::string(300, 'k') + "]\r\n")
            .string();
    EXPECT_EQ(errorLine([&] { import(file); }), 6);
    EXPECT_EQ(exportTo(RegRoot::CurrentUser, "Software", "after2.reg"), before);
    EXPECT_FALSE(keyExists(RegRoot::CurrentUser, kTest + "\\New"));

    EXPECT_EQ(errorLine([&] { import(tmp.str() + "/no such file.reg"); }), 0);
}

TEST_F(RegFileImportTest, ExportOfAMissingKeyWritesNothing) {
    auto acc = store->accessor();
    EXPECT_EQ(
        exportRegFile(*acc, RegRoot::CurrentUser, "Software\\Nothing Here", tmp.str() + "/x.reg"),
        platform::RegStatus::NotFound);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "x.reg"));
    setString(RegRoot::CurrentUser, "Software\\A", "v", "1");
    EXPECT_THROW(exportRegFile(*acc, RegRoot::CurrentUser, "Software\\A",
                               tmp.str() + "/missing folder/x.reg"),
                 RegFileError);
}

TEST_F(RegFileImportTest, DeleteKeyTreeRemovesEveryLevel) {
    setString(RegRoot::CurrentUser, "Software\\T\\a\\b\\c", "v", "1");
    setString(RegRoot::CurrentUser, "Software\\T\\a\\b2", "v", "1");
    setString(RegRoot::CurrentUser, "Software\\T\\z", "v", "1");
    auto acc = store->accessor();
    EXPECT_EQ(deleteKeyTree(*acc, RegRoot::CurrentUser, "Software\\T\\a"), platform::RegStatus::Ok);
    EXPECT_FALSE(keyExists(RegRoot::CurrentUser, "Software\\T\\a"));
    EXPECT_TRUE(keyExists(RegRoot::CurrentUser, "Software\\T\\z"));
    EXPECT_EQ(deleteKeyTree(*acc, RegRoot::CurrentUser, "Software\\T\\a"),
              platform::RegStatus::NotFound);
    EXPECT_EQ(deleteKeyTree(*acc, RegRoot::CurrentUser, ""), platform::RegStatus::InvalidName);
}

}  // namespace
}  // namespace vornak::registry
