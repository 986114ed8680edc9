// vornak reg as a user runs it: output, messages and exit codes of reg.exe.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "support/RunProgram.h"
#include "support/TempDir.h"

namespace vornak::test {
namespace {

const std::string kOk = "The operation completed successfully.\n";
const std::string kNotFound =
    "ERROR: The system was unable to find the specified registry key or value.\n";

class RegCommandTest : public ::testing::Test {
  protected:
    ProgramResult reg(std::vector<std::string> args, const std::string& registry = {}) {
        args.insert(args.begin(), "reg");
        return runProgram(VORNAK_EXE, args,
                          {{"VORNAK_REGISTRY_DIR", registry.empty() ? registryDir : registry}});
    }
    void ok(const std::vector<std::string>& args) {
        const auto r = reg(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, kOk);
        EXPECT_EQ(r.err, "");
    }
    // Failures print one line on standard error and nothing else.
    void failsWith(const std::vector<std::string>& args, const std::string& message) {
        const auto r = reg(args);
        EXPECT_EQ(r.exitCode, 1) << args[0];
        EXPECT_EQ(r.out, "") << args[0];
        EXPECT_EQ(r.err.substr(0, message.size()), message) << args[0];
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    std::string query(const std::vector<std::string>& args) {
        auto full = args;
        full.insert(full.begin(), "query");
        const auto r = reg(full);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        return r.out;
    }

    // The line an export of `key` writes for the value `label` ("\"Name\"" or
    // "@"), as ASCII; empty when the export has no such value.
    std::string exported(const std::string& key, const std::string& label) {
        const auto r = reg({"export", key, tmp.str() + "/exported.reg", "/y"});
        if (r.exitCode != 0)
            return "";
        const std::string bytes = tmp.read("exported.reg");
        std::string text;
        for (size_t i = 2; i < bytes.size(); i += 2)
            text += bytes[i];
        const size_t at = text.find("\n" + label + "=");
        return at == std::string::npos ? "" : text.substr(at + 1, text.find('\r', at) - at - 1);
    }

    TempDir tmp;
    std::string registryDir = tmp.str() + "/registry";
};

TEST_F(RegCommandTest, AddsEveryTypeAndQueriesLikeRegExe) {
    const std::string k = "HKCU\\Software\\T";
    ok({"add", k, "/ve", "/d", "hello"});
    ok({"add", k, "/v", "Text", "/d", "caf\xC3\xA9 \"q\""});
    ok({"add", "hkey_current_user\\Software\\T", "/v", "Exp", "/t", "REG_EXPAND_SZ", "/d",
        "%PATH%"});
    ok({"add", k, "/v", "Multi", "/t", "reg_multi_sz", "/d", "a\\0b\\0c"});
    ok({"add", k, "/v", "Piped", "/t", "REG_MULTI_SZ", "/s", "|", "/d", "x|y"});
    ok({"add", k, "/v", "Bin", "/t", "REG_BINARY", "/d", "00ff1A"});
    ok({"add", k, "/v", "Dec", "/t", "REG_DWORD", "/d", "4294967295"});
    ok({"add", k, "/v", "Hex", "-T", "REG_DWORD", "/D", "0x1F"});
    ok({"add", k, "/v", "Q", "/t", "REG_QWORD", "/d", "0x123456789abcdef0"});
    ok({"add", k, "/v", "N", "/t", "REG_NONE"});
    ok({"add", k + "\\Sub\\Deeper", "/v", "V", "/t", "REG_DWORD", "/d", "7"});

#ifdef _WIN32
    // Wine lists values by name.
    EXPECT_EQ(query({k}),
              "\nHKEY_CURRENT_USER\\Software\\T\n"
              "    (Default)    REG_SZ    hello\n"
              "    Bin    REG_BINARY    00FF1A\n"
              "    Dec    REG_DWORD    0xffffffff\n"
              "    Exp    REG_EXPAND_SZ    %PATH%\n"
              "    Hex    REG_DWORD    0x1f\n"
              "    Multi    REG_MULTI_SZ    a\\0b\\0c\n"
              "    N    REG_NONE    0000\n"
              "    Piped    REG_MULTI_SZ    x\\0y\n"
              "    Q    REG_QWORD    0x123456789abcdef0\n"
              "    Text    REG_SZ    caf\xC3\xA9 \"q\"\n"
              "\nHKEY_CURRENT_USER\\Software\\T\\Sub\n");
#else
    EXPECT_EQ(query({k}),
              "\nHKEY_CURRENT_USER\\Software\\T\n"
              "    (Default)    REG_SZ    hello\n"
              "    Text    REG_SZ    caf\xC3\xA9 \"q\"\n"
              "    Exp    REG_EXPAND_SZ    %PATH%\n"
              "    Multi    REG_MULTI_SZ    a\\0b\\0c\n"
              "    Piped    REG_MULTI_SZ    x\\0y\n"
              "    Bin    REG_BINARY    00FF1A\n"
              "    Dec    REG_DWORD    0xffffffff\n"
              "    Hex    REG_DWORD    0x1f\n"
              "    Q    REG_QWORD    0x123456789abcdef0\n"
              "    N    REG_NONE    0000\n"
              "\nHKEY_CURRENT_USER\\Software\\T\\Sub\n");
#endif
    EXPECT_EQ(query({"HKEY_CURRENT_USER\\Software\\T\\Sub", "/s"}),
              "\nHKEY_CURRENT_USER\\Software\\T\\Sub\\Deeper\n"
              "    V    REG_DWORD    0x7\n\n");
    EXPECT_EQ(query({k, "/v", "Text"}),
              "\nHKEY_CURRENT_USER\\Software\\T\n    Text    REG_SZ    caf\xC3\xA9 \"q\"\n\n");
    EXPECT_EQ(query({k, "/ve"}),
              "\nHKEY_CURRENT_USER\\Software\\T\n    (Default)    REG_SZ    hello\n\n");
    EXPECT_EQ(
        query({k + "\\Sub", "/ve"}),
        "\nHKEY_CURRENT_USER\\Software\\T\\Sub\n    (Default)    REG_SZ    (value not set)\n\n");
    EXPECT_EQ(query({k, "/v", "V", "/s"}),
              "\nHKEY_CURRENT_USER\\Software\\T\\Sub\\Deeper\n    V    REG_DWORD    0x7\n"
              "\nEnd of search: 1 match(es) found.\n");
}

TEST_F(RegCommandTest, FailuresGiveOneLineAndExitCodeOne) {
    ok({"add", "HKLM\\Software\\T", "/v", "V", "/d", "x"});
    failsWith({"query", "HKLM\\Software\\Missing"}, kNotFound);
    failsWith({"query", "HKLM\\Software\\T", "/v", "Missing"}, kNotFound);
    failsWith({"query", "HKLM\\Software\\T", "/v", "Missing", "/s"}, kNotFound);
    failsWith({"delete", "HKLM\\Software\\Missing", "/f"}, kNotFound);
    failsWith({"delete", "HKLM\\Software\\T", "/v", "Missing", "/f"}, kNotFound);
    failsWith({"export", "HKLM\\Software\\Missing", tmp.str() + "/x.reg"}, kNotFound);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "x.reg"));

    failsWith({"add", "HKXX\\Software\\T"}, "ERROR: Invalid key name.");
    failsWith({"add", "\\\\server\\HKLM\\Software"}, "ERROR: Invalid key name.");
    failsWith({"delete", "HKCU", "/f"}, "ERROR: Invalid key name.");
    failsWith({"add", "HKCU\\A", "/v", "a", "/ve"}, "ERROR: Invalid syntax.");
    failsWith({"add", "HKCU\\A", "/v"}, "ERROR: Invalid syntax.");
    failsWith({"add", "HKCU\\A", "/v", "a", "/s", ",", "/d", "x"}, "ERROR: Invalid syntax.");
    failsWith({"add", "HKCU\\A", "/v", "a", "/t", "REG_MULTI_SZ", "/s", "ab"},
              "ERROR: Invalid syntax.");
    failsWith({"add", "HKCU\\A", "/v", "a", "/t", "REG_FOO"},
              "ERROR: Unsupported data type \"REG_FOO\".");
    for (const char* bad : {"4294967296", "-1", "12abc", "0x", "0x1FFFFFFFF", ""})
        failsWith({"add", "HKCU\\A", "/v", "a", "/t", "REG_DWORD", "/d", bad},
                  "ERROR: Invalid data for REG_DWORD: \"" + std::string(bad) + "\".");
    failsWith({"add", "HKCU\\A", "/v", "a", "/t", "REG_QWORD", "/d", "18446744073709551616"},
              "ERROR: Invalid data for REG_QWORD");
    failsWith({"add", "HKCU\\A", "/v", "a", "/t", "REG_BINARY", "/d", "0g"},
              "ERROR: Invalid data for REG_BINARY");
    failsWith({"add", "HKCU\\A", "/v", "a", "/t", "REG_MULTI_SZ", "/d", "a\\0\\0b"},
              "ERROR: Invalid data for REG_MULTI_SZ");
    failsWith({"query"}, "ERROR: Invalid syntax.");
    failsWith({"frobnicate"}, "ERROR: Invalid syntax.");
    failsWith({"import"}, "ERROR: Invalid syntax.");
    failsWith({"export", "HKCU\\A"}, "ERROR: Invalid syntax.");
    failsWith({"import", tmp.str() + "/none.reg"},
              "ERROR: " + tmp.str() + "/none.reg was not imported");
    const auto usage = reg({"/?"});
    EXPECT_EQ(usage.exitCode, 0);
    EXPECT_NE(usage.out.find("vornak reg export KEY FILE [/y]"), std::string::npos);
}

TEST_F(RegCommandTest, WithoutATerminalNothingIsOverwrittenOrDeletedUnforced) {
    const std::string k = "HKCU\\Software\\T";
    ok({"add", k, "/v", "V", "/d", "first"});
    ok({"add", k + "\\Sub", "/v", "W", "/d", "w"});
    failsWith({"add", k, "/v", "V", "/d", "second"}, "ERROR: Value V exists; without /f");
    failsWith({"delete", k, "/v", "V"}, "ERROR: The value V is not deleted without /f");
    failsWith({"delete", k, "/va"}, "ERROR: The values are not deleted without /f");
    failsWith({"delete", k}, "ERROR: The key is not deleted without /f");
    EXPECT_EQ(query({k, "/v", "V"}),
              "\nHKEY_CURRENT_USER\\Software\\T\n    V    REG_SZ    first\n\n");

    ok({"export", k, tmp.str() + "/t.reg"});
    const std::string exported = tmp.read("t.reg");
    ok({"add", k, "/v", "V", "/d", "second", "/f"});
    failsWith({"export", k, tmp.str() + "/t.reg"},
              "ERROR: " + tmp.str() + "/t.reg exists; without /y");
    EXPECT_EQ(tmp.read("t.reg"), exported);
    ok({"export", k, tmp.str() + "/t.reg", "/y"});
    EXPECT_NE(tmp.read("t.reg"), exported);
}

TEST_F(RegCommandTest, DeleteRemovesValuesOrTheWholeKey) {
    const std::string k = "HKCU\\Software\\T";
    ok({"add", k, "/ve", "/d", "d"});
    ok({"add", k, "/v", "A", "/d", "a"});
    ok({"add", k, "/v", "B", "/d", "b"});
    ok({"add", k + "\\Sub\\Deep", "/v", "C", "/d", "c"});
    ok({"delete", k, "/v", "A", "/f"});
    ok({"delete", k, "/ve", "/f"});
    EXPECT_EQ(query({k}),
              "\nHKEY_CURRENT_USER\\Software\\T\n    B    REG_SZ    b\n"
              "\nHKEY_CURRENT_USER\\Software\\T\\Sub\n");
    ok({"delete", k, "/va", "/f"});
    EXPECT_EQ(query({k}), "\nHKEY_CURRENT_USER\\Software\\T\\Sub\n");
    EXPECT_EQ(query({k + "\\Sub\\Deep", "/v", "C"}),
              "\nHKEY_CURRENT_USER\\Software\\T\\Sub\\Deep\n    C    REG_SZ    c\n\n");
    ok({"delete", k, "/f"});
    failsWith({"query", k}, kNotFound);
    EXPECT_EQ(query({"HKCU\\Software"}), "\n");
}

TEST_F(RegCommandTest, TheThirtyTwoBitViewNamesWhatLivesBelowWow6432Node) {
#ifdef _WIN32
    GTEST_SKIP()
        << "Our own stores only: the tests' private Win32 keys stand in for each root apart, "
           "so Windows' merge of the two Classes keys into HKCR is not there";
#endif
    ok({"add", "HKLM\\Software\\Acme", "/v", "Bits", "/d", "32", "/reg:32"});
    EXPECT_EQ(query({"HKLM\\Software\\Wow6432Node\\Acme", "/v", "Bits"}),
              "\nHKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Acme\n    Bits    REG_SZ    32\n\n");
    EXPECT_EQ(query({"HKLM\\Software\\Acme", "/v", "Bits", "/REG:32"}),
              "\nHKEY_LOCAL_MACHINE\\Software\\Acme\n    Bits    REG_SZ    32\n\n");
    failsWith({"query", "HKLM\\Software\\Acme", "/reg:64"}, kNotFound);
    // A class written through HKCR is the machine's.
    ok({"add", "HKCR\\.acme", "/ve", "/d", "AcmeFile"});
    EXPECT_EQ(
        query({"HKLM\\Software\\Classes\\.acme", "/ve"}),
        "\nHKEY_LOCAL_MACHINE\\Software\\Classes\\.acme\n    (Default)    REG_SZ    AcmeFile\n\n");
    ok({"delete", "HKLM\\Software\\Acme", "/f", "/reg:32"});
    failsWith({"query", "HKLM\\Software\\Wow6432Node\\Acme"}, kNotFound);
}

TEST_F(RegCommandTest, ExportThenImportIntoAnotherStore) {
    const std::string k = "HKLM\\Software\\Acme \"Editor\"";
    ok({"add", k, "/v", "DisplayName", "/d",
        "Acme \xC3\x89"
        "diteur"});
    ok({"add", k, "/v", "Paths", "/t", "REG_MULTI_SZ", "/d", "C:\\a\\0D:\\b"});
    ok({"add", k + "\\Options", "/v", "Size", "/t", "REG_QWORD", "/d", "12345678901"});
    // A file name outside every 8-bit code page but UTF-8's.
    const std::string file = "acme \xC3\xA6\xE6\x97\xA5.reg";
    ok({"export", k, tmp.str() + "/" + file});
    EXPECT_EQ(tmp.read(file).substr(0, 2), "\xFF\xFE");

    const std::string other = tmp.str() + "/other registry";
    auto r = reg({"import", tmp.str() + "/" + file}, other);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, kOk);
    const auto here = reg({"query", k, "/s"});
    const auto there = reg({"query", k, "/s"}, other);
    EXPECT_EQ(there.exitCode, 0);
    EXPECT_EQ(there.out, here.out);
    EXPECT_NE(there.out.find("Acme \xC3\x89"
                             "diteur"),
              std::string::npos);

    // A file with a fault on line 5 changes nothing.
    tmp.write("bad.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Acme \"Editor\"]\r\n"
              "\"DisplayName\"=\"changed\"\r\n"
              "\"Size\"=dword:100000000\r\n");
    r = reg({"import", tmp.str() + "/bad.reg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("line 5: dword: needs 1 to 8 hexadecimal digits"), std::string::npos)
        << r.err;
    EXPECT_EQ(reg({"query", k, "/s"}).out, here.out);
}

TEST_F(RegCommandTest, AtATerminalTheQuestionIsAskedAndAnswered) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a pseudo terminal";
#else
    const std::string k = "HKCU\\Software\\T";
    ok({"add", k, "/v", "V", "/d", "first"});
    // Standard input is the other end of a pseudo terminal with the answer typed.
    auto atTerminal = [&](std::vector<std::string> args, const std::string& typed) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(grantpt(master), 0);
        EXPECT_EQ(unlockpt(master), 0);
        const std::string terminal = ptsname(master);
        EXPECT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
        args.insert(args.begin(), "reg");
        auto r = runProgram(VORNAK_EXE, args, {{"VORNAK_REGISTRY_DIR", registryDir}}, terminal);
        close(master);
        return r;
    };
    auto r = atTerminal({"add", k, "/v", "V", "/d", "second"}, "no\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "Value V exists, overwrite(Yes/No)? ");
    EXPECT_EQ(r.err, "The operation was cancelled by the user.\n");
    EXPECT_EQ(query({k, "/v", "V"}),
              "\nHKEY_CURRENT_USER\\Software\\T\n    V    REG_SZ    first\n\n");

    r = atTerminal({"add", k, "/v", "V", "/d", "second"}, "maybe\nYes\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "Value V exists, overwrite(Yes/No)? Value V exists, overwrite(Yes/No)? " + kOk);
    EXPECT_EQ(query({k, "/v", "V"}),
              "\nHKEY_CURRENT_USER\\Software\\T\n    V    REG_SZ    second\n\n");

    r = atTerminal({"delete", k}, "y\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "Permanently delete the registry key HKEY_CURRENT_USER\\Software\\T (Yes/No)? " + kOk);
    failsWith({"query", k}, kNotFound);

    // reg copy asks for each value the destination has: No keeps it, All
    // overwrites the rest without asking.
    const std::string src = "HKCU\\Software\\Src", dst = "HKCU\\Software\\Dst";
    for (const char* v : {"A", "B", "C"}) {
        ok({"add", src, "/v", v, "/d", "new"});
        ok({"add", dst, "/v", v, "/d", "old"});
    }
    r = atTerminal({"copy", src, dst}, "n\nall\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(
        r.out,
        "Value A exists, overwrite(Yes/No/All)? Value B exists, overwrite(Yes/No/All)? " + kOk);
    EXPECT_EQ(exported(dst, "\"A\""), "\"A\"=\"old\"");
    EXPECT_EQ(exported(dst, "\"C\""), "\"C\"=\"new\"");
#endif
}

TEST_F(RegCommandTest, AReadOnlyMachineStoreRefusesWritesAndWholeImports) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a read-only store file stands for a limited user";
#else
    ok({"add", "HKLM\\Software\\T", "/v", "V", "/d", "x"});
    ok({"add", "HKCU\\Software\\T", "/v", "V", "/d", "x"});
    std::filesystem::permissions(registryDir + "/machine.db",
                                 std::filesystem::perms::owner_read |
                                     std::filesystem::perms::group_read |
                                     std::filesystem::perms::others_read);
    failsWith({"add", "HKLM\\Software\\T", "/v", "W", "/d", "y", "/f"}, "ERROR: Access is denied.");
    failsWith({"delete", "HKLM\\Software\\T", "/f"}, "ERROR: Access is denied.");
    EXPECT_EQ(query({"HKLM\\Software\\T"}),
              "\nHKEY_LOCAL_MACHINE\\Software\\T\n    V    REG_SZ    x\n\n");

    // The HKEY_CURRENT_USER part of the file comes first and must not stay behind.
    tmp.write("both.reg",
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\T]\r\n\"V\"=\"changed\"\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\T]\r\n\"V\"=\"changed\"\r\n");
    const auto r = reg({"import", tmp.str() + "/both.reg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(
        r.err.find("line 6: cannot create the key HKEY_LOCAL_MACHINE\\Software\\T: access denied"),
        std::string::npos)
        << r.err;
    EXPECT_EQ(query({"HKCU\\Software\\T", "/v", "V"}),
              "\nHKEY_CURRENT_USER\\Software\\T\n    V    REG_SZ    x\n\n");
#endif
}

TEST_F(RegCommandTest, ADamagedStoreIsNamedAndLeftAlone) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: the SQLite store files";
#else
    const std::string junk = "this is not a registry database\n";
    tmp.write("registry/user.db", junk);
    const auto r = reg({"add", "HKCU\\Software\\T", "/v", "V", "/d", "x"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("user.db"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(tmp.read("registry/user.db"), junk);
#endif
}

}  // namespace
}  // namespace vornak::test

namespace vornak::test {
namespace {

TEST_F(RegCommandTest, ARefusedNameChangesNothingAndIsNamedRightly) {
    const std::string longValue(16384, 'v');
    const std::string valueFault = "ERROR: Invalid value name";
    failsWith({"add", "HKCU\\Software\\New", "/v", longValue, "/d", "x", "/f"}, valueFault);
    failsWith({"add", "HKCU\\Software\\New\\" + std::string(256, 'k'), "/f"},
              "ERROR: Invalid key name.");
    failsWith({"query", "HKCU\\Software\\New", "/v", longValue}, valueFault);
    failsWith({"query", "HKCU", "/v", longValue, "/s"}, valueFault);
    ok({"add", "HKCU\\Software\\Kept", "/f"});
    failsWith({"delete", "HKCU\\Software\\Kept", "/v", longValue, "/f"}, valueFault);
    failsWith({"query", "HKCU\\Software\\New"}, kNotFound);
    EXPECT_EQ(query({"HKCU\\Software"}), "\nHKEY_CURRENT_USER\\Software\\Kept\n");
}

}  // namespace
}  // namespace vornak::test

namespace vornak::test {
namespace {

TEST_F(RegCommandTest, ImportRefusesWhatCannotBeARegistryFileBeforeReadingIt) {
    std::filesystem::create_directory(tmp.path() / "folder.reg");
    failsWith({"import", (tmp.path() / "folder.reg").string()}, "ERROR: ");
    EXPECT_NE(reg({"import", (tmp.path() / "folder.reg").string()}).err.find("is a folder"),
              std::string::npos);
#ifdef _WIN32
    const auto device = reg({"import", "NUL"});
#else
    const auto device = reg({"import", "/dev/zero"});
#endif
    EXPECT_EQ(device.exitCode, 1);
    EXPECT_NE(device.err.find("not a regular file"), std::string::npos) << device.err;
    // Sparse: it costs no disk, and is refused by its size alone.
    const std::string big = (tmp.path() / "big.reg").string();
    std::filesystem::resize_file(tmp.write("big.reg", "Windows Registry Editor Version 5.00\r\n"),
                                 (uint64_t{1} << 30) + 1);
    const auto large = reg({"import", big});
    EXPECT_EQ(large.exitCode, 1);
    EXPECT_NE(large.err.find("larger than any registry file"), std::string::npos) << large.err;
}

}  // namespace
}  // namespace vornak::test

namespace vornak::test {
namespace {

TEST_F(RegCommandTest, LineBreaksAndNulsInNamesKeepTheOutputLineTrue) {
    ok({"add", "HKCU\\Software\\Bad\nName\\Below", "/v", "line\nbreak", "/d", "a\r\nb", "/f"});
    ok({"add", "HKCU\\Software\\Good", "/v", "v", "/d", "kept", "/f"});
    EXPECT_EQ(query({"HKCU\\Software", "/s"}),
              "\nHKEY_CURRENT_USER\\Software\\Bad^JName\n"
              "\nHKEY_CURRENT_USER\\Software\\Bad^JName\\Below\n"
              "    line^Jbreak    REG_SZ    a^M^Jb\n"
              "\nHKEY_CURRENT_USER\\Software\\Good\n"
              "    v    REG_SZ    kept\n\n");

    // The export carries every key it can and names the one it cannot.
    const std::string file = tmp.str() + "/hkcu.reg";
    const auto exported = reg({"export", "HKCU", file, "/y"});
    EXPECT_EQ(exported.exitCode, 0);
    EXPECT_EQ(exported.out, kOk);
    EXPECT_EQ(exported.err.rfind("WARNING: HKEY_CURRENT_USER\\Software\\Bad^JName was left out", 0),
              0u)
        << exported.err;
    EXPECT_EQ(std::count(exported.err.begin(), exported.err.end(), '\n'), 1);
    const std::string other = tmp.str() + "/other";
    ASSERT_EQ(reg({"import", file}, other).exitCode, 0);
    EXPECT_EQ(reg({"query", "HKCU\\Software\\Good", "/v", "v"}, other).exitCode, 0);

    // A NUL in a name from a file does not cut the message short. (The file is
    // not called nul.reg: on Windows that is the NUL device.)
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A";
    text += u'\0';
    text += u"B]\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    tmp.write("nul-in-name.reg", bytes);
    const std::string named = tmp.str() + "/nul-in-name.reg";
    failsWith({"import", named}, "ERROR: ");
    EXPECT_NE(reg({"import", named}).err.find("HKEY_CURRENT_USER\\A^@B: invalid"),
              std::string::npos);
}

}  // namespace
}  // namespace vornak::test

namespace vornak::test {
namespace {

std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// reg.exe's reading of a file: what it takes, what it refuses, and what it
// takes without importing anything. Every file sets "V" below HKCU\Software\T.
TEST_F(RegCommandTest, ImportTakesAndRefusesFilesAsRegExeDoes) {
    const std::string key = "[HKEY_CURRENT_USER\\Software\\T]\r\n";
    const std::string v4 = "REGEDIT4\r\n\r\n" + key,
                      v5 = "\xFF\xFE" + utf16("Windows Registry Editor Version 5.00\r\n\r\n" + key);
    struct Case {
        std::string file;
        int exitCode;
        std::string exported;  // the value's line in an export, or "" for no value
    };
    const Case cases[] = {
        // Comments, blank lines and the end of the file around continued data;
        // text data ends with its NUL.
        {v4 + "# comment\r\n\"V\"=hex(7):4c,69,\\;comment\r\n\r\n  ;comment\r\n  6e,65\r\n", 0,
         "\"V\"=hex(7):4c,00,69,00,6e,00,65,00,00,00"},
        {v5 + utf16("\"V\"=hex(2):41,00,\\"), 0, "\"V\"=hex(2):41,00,00,00"},
        {v4 + "\t\"V\"\t=\tdword:\t00000008\t\r\n", 0, "\"V\"=dword:00000008"},
        // A REG_SZ exports as regedit writes it: empty as "", cut at a NUL.
        {v5 + utf16("\"V\"=hex(1):\r\n"), 0, "\"V\"=\"\""},
        {v5 + utf16("\"V\"=hex(1):61,00,00,00,62,00,00,00\r\n"), 0, "\"V\"=\"a\""},
        // What reg.exe refuses: changes nothing here.
        {v4 + "\"V\"=hex:01,0\\\r\n2\r\n", 1, ""},
        {v4 + "\"V\"=hex:01,\\\r\n\\\r\n02\r\n", 1, ""},
        {v4 + "\"V\"=hex:01,\\\r\n,02\r\n", 1, ""},
        {utf16("REGEDIT4\r\n" + key + "\"V\"=\"x\"\r\n"), 1, ""},
        {"regedit4\r\n" + key + "\"V\"=\"x\"\r\n", 1, ""},
        // A header that names no version reg.exe reads: nothing, successfully.
        {"REGEDIT5\r\n" + key + "\"V\"=\"x\"\r\n", 0, ""},
        {"REGEDIT 4\r\n" + key + "\"V\"=\"x\"\r\n", 0, ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string name = "case " + std::to_string(++n) + ".reg";
        tmp.write(name, c.file);
        const auto r = reg({"import", tmp.str() + "/" + name});
        EXPECT_EQ(r.exitCode, c.exitCode) << n << ": " << r.err;
        if (c.exitCode == 0 && c.exported.empty()) {
            EXPECT_NE(r.err.find("WARNING: nothing was imported"), std::string::npos) << n;
        }
        EXPECT_EQ(exported("HKCU\\Software\\T", "\"V\""), c.exported) << n;
        reg({"delete", "HKCU\\Software\\T", "/f"});
    }
}

}  // namespace
}  // namespace vornak::test

namespace vornak::test {
namespace {

// reg add as reg.exe stores: the default value without /v, REG_NONE text, the
// DWORD spellings, empty lists, negative QWORDs; and the arguments it refuses.
TEST_F(RegCommandTest, AddStoresWhatRegExeStores) {
    const std::string k = "HKCU\\Software\\T";
    struct Case {
        std::vector<std::string> args;  // after "add KEY"
        std::string label;              // the value's name in an export
        std::string line;               // its line there; "" when refused
    };
    const Case cases[] = {
        {{"/ve", "/t", "REG_DWORD", "/d", "5", "/f"}, "@", "@=dword:00000005"},
        {{"/f"}, "@", "@=\"\""},  // replaces a default of another type
        {{"/v", "N", "/t", "REG_NONE", "/d", "Te", "/f"},
         "\"N\"",
         "\"N\"=hex(0):54,00,65,00,00,00"},
        {{"/v", "N0", "/t", "REG_NONE", "/f"}, "\"N0\"", "\"N0\"=hex(0):00,00"},
        {{"/v", "LE", "/t", "REG_DWORD_LITTLE_ENDIAN", "/d", "456", "/f"},
         "\"LE\"",
         "\"LE\"=dword:000001c8"},
        {{"/v", "BE", "/t", "reg_dword_big_endian", "/d", "0x456", "/f"},
         "\"BE\"",
         "\"BE\"=hex(5):56,04,00,00"},
        {{"/v", "M", "/t", "REG_MULTI_SZ", "/d", "\\0", "/f"}, "\"M\"", "\"M\"=hex(7):00,00,00,00"},
        {{"/v", "M#", "/t", "REG_MULTI_SZ", "/s", "#", "/d", "#", "/f"},
         "\"M#\"",
         "\"M#\"=hex(7):00,00,00,00"},
        {{"/v", "Q", "/t", "REG_QWORD", "/d", "-1", "/f"},
         "\"Q\"",
         "\"Q\"=hex(b):ff,ff,ff,ff,ff,ff,ff,ff"},
        {{"/v", "Q0", "/t", "REG_QWORD", "/f"}, "\"Q0\"", "\"Q0\"=hex(b):00,00,00,00,00,00,00,00"},
        {{"/v", "Qx", "/t", "REG_QWORD", "/d", "-0x1", "/f"}, "\"Qx\"", ""},
        {{"/v", "D", "/t", "REG_DWORD", "/d", "-1", "/f"}, "\"D\"", ""},
        {{"/v", "D", "/t", "REG_DWORD", "/f"}, "\"D\"", ""},
        {{"/v", "D", "/t", "REG_DWORD_BIG_ENDIAN", "/f"}, "\"D\"", ""},
        {{"/v", "R", "/d", "x", "/f", "/reg:32", "/reg:32"}, "\"R\"", ""},
        {{"/v", "R", "/d", "x", "/f", "/reg:64", "/REG:32"}, "\"R\"", ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"add", k};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = reg(args);
        EXPECT_EQ(r.exitCode, c.line.empty() ? 1 : 0) << c.line << r.err;
        EXPECT_EQ(exported(k, c.label), c.line) << c.label;
    }
    EXPECT_NE(query({k, "/v", "BE"}).find("REG_DWORD_BIG_ENDIAN    0x456"), std::string::npos);

    // Without /f a key that has no default value gets an empty one; one ending
    // in two backslashes is no key.
    ok({"add", "HKCU\\Software\\U", "/v", "x", "/d", "y"});
    ok({"add", "HKCU\\Software\\U\\"});
    EXPECT_EQ(exported("HKCU\\Software\\U", "@"), "@=\"\"");
    failsWith({"add", "HKCU\\Software\\U\\\\", "/f"}, "ERROR: Invalid key name.");
}

// /?, -?, /h, -h in any case give the operation's usage, alone.
TEST_F(RegCommandTest, HelpSwitchesGiveEachOperationsUsage) {
    for (const char* op : {"query", "add", "delete", "copy", "import", "export"}) {
        for (const char* help : {"/?", "-?", "/h", "-H", "/H"}) {
            const auto r = reg({op, help});
            EXPECT_EQ(r.exitCode, 0) << op << help;
            EXPECT_NE(r.out.find("vornak reg " + std::string(op)), std::string::npos) << op;
            EXPECT_EQ(r.out.find("vornak reg " +
                                 std::string(op == std::string("query") ? "add" : "query")),
                      std::string::npos)
                << op;
        }
        failsWith({op, "/?", "/f"}, "ERROR: Invalid syntax.");
    }
    for (const char* help : {"/?", "-h", "/H"}) {
        const auto r = reg({help});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_NE(r.out.find("vornak reg copy KEY1 KEY2"), std::string::npos);
    }
}

// reg query names a key only when it has values (or lies below the one
// queried), ends every listed key with a blank line, and its exit code is the
// query's, whatever became of its output.
TEST_F(RegCommandTest, QueryPrintsAsRegExePrints) {
    ok({"add", "HKCU\\Software\\Q\\Only\\A", "/v", "v", "/d", "1"});
    ok({"add", "HKCU\\Software\\Q\\Only\\B\\C", "/f"});
    const std::string only = "HKEY_CURRENT_USER\\Software\\Q\\Only";
    EXPECT_EQ(query({"HKCU\\Software\\Q\\Only"}), "\n" + only + "\\A\n" + only + "\\B\n");
    EXPECT_EQ(query({"HKCU\\Software\\Q\\Only", "/s"}),
              "\n" + only + "\\A\n    v    REG_SZ    1\n\n" + only + "\\B\n\n" + only +
                  "\\B\\C\n    (Default)    REG_SZ    \n\n");
    EXPECT_EQ(query({"HKCU\\Software\\Q\\Only\\A"}), "\n" + only + "\\A\n    v    REG_SZ    1\n\n");
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a full device as standard output";
#else
    const auto full = runProgram(
        "/bin/sh", {"-c", "exec \"$0\" reg query 'HKCU\\Software\\Q\\Only' >/dev/full", VORNAK_EXE},
        {{"VORNAK_REGISTRY_DIR", registryDir}});
    EXPECT_EQ(full.exitCode, 0) << full.err;
#endif
}

// reg copy: values, with /s subkeys, into a key made when missing; what the
// destination has already is overwritten only when told, and all or nothing.
TEST_F(RegCommandTest, CopyCopiesAllOrNothing) {
    const std::string src = "HKCU\\Software\\Src", dst = "HKCU\\Software\\Dst";
    ok({"add", src, "/v", "A", "/d", "new"});
    ok({"add", src, "/v", "B", "/t", "REG_DWORD", "/d", "2"});
    ok({"add", src + "\\Sub", "/v", "C", "/d", "c"});
    ok({"add", dst, "/v", "A", "/d", "old"});
    ok({"add", dst, "/v", "Mine", "/d", "kept"});

    // A value the destination has stops an unforced copy without a terminal, whole.
    failsWith({"copy", src, dst}, "ERROR: Value A exists in the destination");
    EXPECT_EQ(exported(dst, "\"A\""), "\"A\"=\"old\"");
    EXPECT_EQ(exported(dst, "\"B\""), "");

    ok({"copy", src, dst, "/f"});
    EXPECT_EQ(exported(dst, "\"A\""), "\"A\"=\"new\"");
    EXPECT_EQ(exported(dst, "\"B\""), "\"B\"=dword:00000002");
    EXPECT_EQ(exported(dst, "\"Mine\""), "\"Mine\"=\"kept\"");
    failsWith({"query", dst + "\\Sub"}, kNotFound);
    ok({"copy", src + "\\", "HKCU\\Software\\Fresh\\", "/s"});
    EXPECT_EQ(exported("HKCU\\Software\\Fresh\\Sub", "\"C\""), "\"C\"=\"c\"");

    // Into a key below the source: the source as it was, once.
    ok({"copy", src, src + "\\Sub\\Inner", "/s", "/f"});
    EXPECT_EQ(exported(src + "\\Sub\\Inner\\Sub", "\"C\""), "\"C\"=\"c\"");
    failsWith({"query", src + "\\Sub\\Inner\\Sub\\Inner"}, kNotFound);

    failsWith({"copy", src, "hkey_current_user\\software\\SRC\\", "/f"},
              "ERROR: The source and destination keys cannot be the same.");
    failsWith({"copy", "HKCU\\Software\\Missing", dst, "/f"}, kNotFound);
    failsWith({"copy", src, "HKCU\\", "/f"}, "ERROR: Invalid key name.");
    failsWith({"copy", src, dst, "/a"}, "ERROR: Invalid syntax.");
    failsWith({"copy", src, dst, "/s", "/s"}, "ERROR: Invalid syntax.");
    failsWith({"copy", src}, "ERROR: Invalid syntax.");
}

}  // namespace
}  // namespace vornak::test
