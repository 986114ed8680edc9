// Reading regedit version 5, REGEDIT4 and Wine registry files.
#include <gtest/gtest.h>

#include "registry/RegFileParser.h"
#include "registry/RegFileText.h"

namespace vornak::registry {
namespace {

using platform::RegRoot;
using namespace std::string_literals;

std::string crlf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

// A version 5 file as regedit writes it: UTF-16LE with BOM and CR LF.
std::string v5(const std::string& body) {
    return "\xFF\xFE"s +
           utf16ToLeBytes(bytesToUtf16(crlf("Windows Registry Editor Version 5.00\n\n" + body)));
}

const RegFileOp& op(const RegFileContent& c, RegFileOp::Kind kind, const std::string& name) {
    for (const auto& o : c.ops)
        if (o.kind == kind && o.name == name)
            return o;
    static RegFileOp none;
    ADD_FAILURE() << "no operation for value \"" << name << "\"";
    return none;
}

void expectError(const std::string& bytes, int line, const std::string& reasonPart,
                 const std::string& fileName = {}) {
    try {
        parseRegFile(bytes, fileName);
        ADD_FAILURE() << "accepted, expected an error at line " << line << " about " << reasonPart;
    } catch (const RegFileError& e) {
        EXPECT_EQ(e.line(), line) << e.what();
        EXPECT_NE(e.reason().find(reasonPart), std::string::npos) << e.what();
    }
}

TEST(RegFileParser, Version5ReadsEveryValueKindToTheBytesWeStore) {
    const auto c =
        parseRegFile(v5("[HKEY_CURRENT_USER\\Software\\Acme]\n"
                        "@=\"default\"\n"
                        "\"Quote\"=\"say \\\"hi\\\" C:\\\\dir\\\\\"\n"
                        "\"Accent \xC3\xA9\"=\"caf\xC3\xA9 \xE2\x82\xAC\"\n"
                        "\"Empty\"=\"\"\n"
                        "\"Dword\"=dword:0000002A\n"
                        "\"Short\"=dword:1\n"
                        "\"Bin\"=hex:de,AD,be,ef\n"
                        "\"NoBytes\"=hex:\n"
                        "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\n"
                        "\"Multi\"=hex(7):61,00,00,00,e9,00,00,00,00,00\n"
                        "\"Qword\"=hex(b):01,02,03,04,05,06,07,08\n"
                        "\"None\"=hex(0):\n"
                        "\"Custom\"=hex(ffff0007):01,02\n"
                        "\"SzHex\"=hex(1):61,00,62,00\n"));
    ASSERT_EQ(c.format, RegFileFormat::Regedit5);
    ASSERT_EQ(c.ops.front().kind, RegFileOp::CreateKey);
    EXPECT_EQ(c.ops.front().root, RegRoot::CurrentUser);
    EXPECT_EQ(c.ops.front().path, "Software\\Acme");

    auto expectValue = [&](const std::string& name, uint32_t type, const std::string& data) {
        const auto& o = op(c, RegFileOp::SetValue, name);
        EXPECT_EQ(o.type, type) << name;
        EXPECT_EQ(o.data, data) << name;
        EXPECT_EQ(o.path, "Software\\Acme") << name;
    };
    expectValue("", platform::kRegSz, "default\0"s);
    expectValue("Quote", platform::kRegSz, "say \"hi\" C:\\dir\\\0"s);
    expectValue("Accent \xC3\xA9", platform::kRegSz, "caf\xC3\xA9 \xE2\x82\xAC\0"s);
    expectValue("Empty", platform::kRegSz, "\0"s);
    expectValue("Dword", platform::kRegDword, "\x2A\0\0\0"s);
    expectValue("Short", platform::kRegDword, "\x01\0\0\0"s);
    expectValue("Bin", platform::kRegBinary, "\xDE\xAD\xBE\xEF"s);
    expectValue("NoBytes", platform::kRegBinary, "");
    expectValue("Expand", platform::kRegExpandSz, "%A%\0"s);
    expectValue("Multi", platform::kRegMultiSz, "a\0\xC3\xA9\0\0"s);
    expectValue("Qword", platform::kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"s);
    expectValue("None", platform::kRegNone, "");
    expectValue("Custom", 0xFFFF0007u, "\x01\x02"s);
    expectValue("SzHex", platform::kRegSz, "ab\0"s);
}

TEST(RegFileParser, ContinuationCommentsDeletionsAndRootNames) {
    const auto c =
        parseRegFile(v5("; a comment line\n"
                        "[-HKEY_LOCAL_MACHINE\\Software\\Gone]\n"
                        "\n"
                        "  [hklm\\Software\\Kept\\]  ; trailing comment\n"
                        "\"Wrapped\"=hex:01,02,\\\n"
                        "  03,04,\\\n"
                        "\t05\n"
                        "\"Old\"=-\n"
                        "@=-\n"
                        "\"Dw\" = dword:00000010 ; comment after data\n"
                        "[HKU\\.Default]\n"
                        "[HKEY_CLASSES_ROOT\\.txt]\n"
                        "[HKCC\\System]\n"));
    ASSERT_EQ(c.ops.size(), 9u);
    EXPECT_EQ(c.ops[0].kind, RegFileOp::DeleteKey);
    EXPECT_EQ(c.ops[0].root, RegRoot::LocalMachine);
    EXPECT_EQ(c.ops[0].path, "Software\\Gone");
    EXPECT_EQ(c.ops[0].line, 4);
    EXPECT_EQ(c.ops[1].kind, RegFileOp::CreateKey);
    EXPECT_EQ(c.ops[1].path, "Software\\Kept");
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Wrapped").data, "\x01\x02\x03\x04\x05");
    EXPECT_EQ(op(c, RegFileOp::DeleteValue, "Old").line, 10);
    EXPECT_EQ(op(c, RegFileOp::DeleteValue, "").path, "Software\\Kept");
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Dw").line, 12);
    EXPECT_EQ(c.ops[6].root, RegRoot::Users);
    EXPECT_EQ(c.ops[7].root, RegRoot::ClassesRoot);
    EXPECT_EQ(c.ops[8].root, RegRoot::CurrentConfig);
}

TEST(RegFileParser, Version5AlsoComesAsUtf8OrEightBit) {
    const std::string body =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"N\"=\"caf";
    for (const std::string& bytes : {"\xEF\xBB\xBF" + body + "\xC3\xA9\"\r\n",  // UTF-8, BOM
                                     body + "\xC3\xA9\"\r\n",                   // UTF-8
                                     body + "\xE9\"\r\n",                       // Windows-1252
                                     body + "\xE9\"\n"}) {                      // LF only
        const auto c = parseRegFile(bytes);
        EXPECT_EQ(op(c, RegFileOp::SetValue, "N").data, "caf\xC3\xA9\0"s);
    }
}

TEST(RegFileParser, Regedit4KeepsHexTextBytesAsTheyAre) {
    const auto c =
        parseRegFile(crlf("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Old]\n"
                          "\"Path\"=hex(2):25,41,25,00\n"
                          "\"Name\"=\"Fran\xE7"
                          "ais\"\n"));
    EXPECT_EQ(c.format, RegFileFormat::Regedit4);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Path").data, "%A%\0"s);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Name").data,
              "Fran\xC3\xA7"
              "ais\0"s);
}

TEST(RegFileParser, HeaderRules) {
    expectError("", 1, "not a registry file");
    expectError("\r\nREGEDIT4\r\n", 1, "not a registry file");
    expectError("windows registry editor version 5.00\r\n", 1, "not a registry file");
    EXPECT_NO_THROW(parseRegFile("REGEDIT4   \r\n"));
    EXPECT_TRUE(parseRegFile(v5("")).ops.empty());
}

TEST(RegFileParser, MalformedLinesAreReportedWithTheirNumber) {
    // Lines 1 and 2 are the header and the blank line after it.
    expectError(v5("\"a\"=\"b\"\n"), 3, "must follow a [key]");
    expectError(v5("[HKEY_NOWHERE\\X]\n"), 3, "unknown root key");
    expectError(v5("[HKEY_CURRENT_USER\\X\n"), 3, "must end with ]");
    expectError(v5("[HKEY_CURRENT_USER\\X] junk\n"), 3, "after the key name");
    expectError(v5("[HKEY_CURRENT_USER\\A\\\\B]\n"), 3, "empty key name");
    expectError(v5("[-HKEY_CURRENT_USER]\n"), 3, "root key cannot be deleted");
    const std::string key = "[HKEY_CURRENT_USER\\X]\n";
    expectError(v5(key + "\"a\"=\"b\n"), 4, "closing quote");
    expectError(v5(key + "\"a\"=\"C:\\dir\"\n"), 4, "unknown escape \\d");
    expectError(v5(key + "\"a\" \"b\"\n"), 4, "= expected");
    expectError(v5(key + "a=\"b\"\n"), 4, "quoted name or @");
    expectError(v5(key + "\"a\"=dword:123456789\n"), 4, "1 to 8");
    expectError(v5(key + "\"a\"=dword:\n"), 4, "1 to 8");
    expectError(v5(key + "\"a\"=dword:12x\n"), 4, "unexpected text");
    expectError(v5(key + "\"a\"=hex:0g\n"), 4, "separated by commas");
    expectError(v5(key + "\"a\"=hex:123\n"), 4, "two digits");
    expectError(v5(key + "\"a\"=hex:01,,02\n"), 4, "hexadecimal byte expected");
    expectError(v5(key + "\"a\"=hex(2):41,00,42\n"), 4, "even number");
    expectError(v5(key + "\"a\"=hex(z):00\n"), 4, "type number");
    expectError(v5(key + "\"a\"=string:\"x\"\n"), 4, "unknown value type \"string\"");
    expectError(v5(key + "\"a\"=\"b\" c\n"), 4, "unexpected text");
    expectError(v5("[-HKEY_CURRENT_USER\\X]\n\"a\"=\"b\"\n"), 4, "key deletion");
}

// The head of a fresh Wine prefix's files, written by hand in the same style.
const char* const kWineSystem =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\Machine\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Classes\\\\.txt] 1700000000\n"
    "#time=1d9c0f5d5e3a1b0\n"
    "@=\"txtfile\"\n"
    "\"Content Type\"=\"text/plain\"\n"
    "\n"
    "[Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Caf\\xe9] 1700000000\n"
    "#time=1d9c0f5d5e3a1b0\n"
    "\"DisplayName\"=\"Caf\\xe9 \\xd83d\\xde00 \\x00e9a \\\"Q\\\" C:\\\\x\"\n"
    "\"Expand\"=str(2):\"%ProgramFiles%\\\\Caf\\xe9\"\n"
    "\"Multi\"=str(7):\"one\\0two\\0\"\n"
    "\"Plain\"=str:\"tab\\there\"\n"
    "\"Flags\"=dword:00000003\n"
    "\"Hw\"=hex(7):61,00,62,00,00,00,\\\n"
    "  00,00\n"
    "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\n"
    "[System\\\\Link] 1700000000\n"
    "#link\n"
    "\"SymbolicLinkValue\"=hex(6):5c,00\n";

TEST(RegFileParser, WineSystemFileGoesToTheMachineRoot) {
    const auto c = parseRegFile(kWineSystem);
    EXPECT_EQ(c.format, RegFileFormat::Wine2);
    ASSERT_GE(c.ops.size(), 1u);
    EXPECT_EQ(c.ops[0].root, RegRoot::LocalMachine);
    EXPECT_EQ(c.ops[0].path, "Software\\Classes\\.txt");
    EXPECT_EQ(c.ops[0].line, 6);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "").data, "txtfile\0"s);

    const auto& name = op(c, RegFileOp::SetValue, "DisplayName");
    EXPECT_EQ(name.path, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Caf\xC3\xA9");
    // \xe9, a surrogate pair, \x00e9 followed by the hex letter a, quotes, backslash.
    EXPECT_EQ(name.data,
              "Caf\xC3\xA9 \xF0\x9F\x98\x80 \xC3\xA9"
              "a \"Q\" C:\\x\0"s);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Expand").type, platform::kRegExpandSz);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Expand").data, "%ProgramFiles%\\Caf\xC3\xA9\0"s);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Multi").type, platform::kRegMultiSz);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Multi").data, "one\0two\0\0"s);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Plain").data, "tab\there\0"s);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Flags").data, "\x03\0\0\0"s);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Hw").data, "ab\0\0"s);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "Q").type, platform::kRegQword);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "SymbolicLinkValue").type, 6u);
    EXPECT_EQ(op(c, RegFileOp::SetValue, "SymbolicLinkValue").data, "\x5c\0"s);
}

TEST(RegFileParser, WineUserFilesAndTheirBranches) {
    auto first = [](const std::string& text, const std::string& fileName = {}) {
        const auto c = parseRegFile(text, fileName);
        EXPECT_FALSE(c.ops.empty());
        return c.ops.empty() ? RegFileOp{} : c.ops.front();
    };
    const std::string keys = "\n[Software\\\\Wine] 1700000000\n\"V\"=\"1\"\n";
    RegFileOp o =
        first("WINE REGISTRY Version 2\n;; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n" +
              keys);
    EXPECT_EQ(o.root, RegRoot::CurrentUser);
    EXPECT_EQ(o.path, "Software\\Wine");
    o = first("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n" +
              keys);
    EXPECT_EQ(o.root, RegRoot::Users);
    EXPECT_EQ(o.path, ".Default\\Software\\Wine");
    o = first("WINE REGISTRY Version 2\n" + keys, "user.reg");
    EXPECT_EQ(o.root, RegRoot::CurrentUser);
    o = first("WINE REGISTRY Version 2\n" + keys, "SYSTEM.REG");
    EXPECT_EQ(o.root, RegRoot::LocalMachine);
    expectError("WINE REGISTRY Version 2\n" + keys, 3, "which registry branch", "other.reg");
    expectError("WINE REGISTRY Version 2\n;; All keys relative to \\\\Nowhere\n", 2,
                "unknown registry branch");
    expectError("WINE REGISTRY Version 2\n;; All keys relative to \\\\Machine\n[A] 12x\n", 3,
                "after the key name");
}

// reg.exe's reading of what may surround data: comments, continued hex data,
// blanks, terminators. Each file holds one value "v" below [HKEY_CURRENT_USER\X];
// `data` is what the value must hold, or empty with the line of the fault.
TEST(RegFileParser, ReadsValuesAsRegExeReadsThem) {
    struct Case {
        const char* body;  // the lines after the key line
        uint32_t type;
        std::string data;
        int faultLine;  // 0: accepted
    };
    const Case cases[] = {
        // Whole-line # comments, and a ; comment after a continuing backslash.
        {"# a comment\n\"v\"=dword:1\n", platform::kRegDword, "\x01\0\0\0"s, 0},
        {"  #\"w\"=\"not a value\"\n\"v\"=dword:1\n", platform::kRegDword, "\x01\0\0\0"s, 0},
        {"\"v\"=hex:01,02,\\;comment\n  03,\\ ;comment\n  04\n", platform::kRegBinary,
         "\x01\x02\x03\x04"s, 0},
        // Blank and ;comment lines within continued data, and the end of the file.
        {"\"v\"=hex:01,\\\n\n  ;comment\n\t\n  02\n", platform::kRegBinary, "\x01\x02"s, 0},
        {"\"v\"=hex:01,02,\\", platform::kRegBinary, "\x01\x02"s, 0},
        {"\"v\"=hex:\\\n  01\n", platform::kRegBinary, "\x01"s, 0},
        // Data that ends with a comma or a ;comment.
        {"\"v\"=hex:01,02,\n", platform::kRegBinary, "\x01\x02"s, 0},
        {"\"v\"=hex:01,;comment\n", platform::kRegBinary, "\x01"s, 0},
        // Blanks inside and around dword:.
        {"\"v\"=dword:  00000008\n", platform::kRegDword, "\x08\0\0\0"s, 0},
        {"\t\"v\"\t=\tdword:\t00000008\t\n", platform::kRegDword, "\x08\0\0\0"s, 0},
        // Text data gets its terminator; data that has one keeps it alone.
        {"\"v\"=hex(7):4c,00,69,00\n", platform::kRegMultiSz, "Li\0"s, 0},
        {"\"v\"=hex(7):4c,00,00,00,00,00\n", platform::kRegMultiSz, "L\0\0"s, 0},
        {"\"v\"=hex(2):25,00,41,00\n", platform::kRegExpandSz, "%A\0"s, 0},
        {"\"v\"=hex(1):61,00\n", platform::kRegSz, "a\0"s, 0},
        {"\"v\"=hex(1):\n", platform::kRegSz, "", 0},
        {"\"v\"=hex(0):61,00\n", platform::kRegNone, "a\0"s, 0},
        // What reg.exe refuses: a byte split over two lines, a lone backslash, a
        // continuation without its comma or going on with one, text after it, a
        // # comment inside the data.
        {"\"v\"=hex:01,0\\\n2\n", 0, "", 4},
        {"\"v\"=hex:01,\\\n\\\n  02\n", 0, "", 5},
        {"\"v\"=hex:01\\\n  02\n", 0, "", 4},
        {"\"v\"=hex:01,\\\n  ,02\n", 0, "", 5},
        {"\"v\"=hex:01,\\ 02\n", 0, "", 4},
        {"\"v\"=hex:01,\\\n  #comment\n  02\n", 0, "", 5},
        {"\"v\"=hex:01 ,02\n", 0, "", 4},
        {"\"v\"=\"text\" #comment\n", 0, "", 4},
        {"\"v\"=dword:1 #comment\n", 0, "", 4},
    };
    for (const auto& c : cases) {
        const std::string body = "[HKEY_CURRENT_USER\\X]\n"s + c.body;
        if (c.faultLine) {
            expectError(v5(body), c.faultLine, "");
            continue;
        }
        for (const auto& file :
             {v5(body), crlf("Windows Registry Editor Version 5.00\n\n" + body)}) {
            const auto content = parseRegFile(file);
            const auto& o = op(content, RegFileOp::SetValue, "v");
            EXPECT_EQ(o.type, c.type) << c.body;
            EXPECT_EQ(o.data, c.data) << c.body;
        }
    }
    // REGEDIT4 text is 8-bit: its terminator is one byte.
    EXPECT_EQ(op(parseRegFile("REGEDIT4\n[HKEY_CURRENT_USER\\X]\n\"v\"=hex(7):4c,69\n"),
                 RegFileOp::SetValue, "v")
                  .data,
              "Li\0"s);
}

// Headers reg.exe takes without importing anything, and files it refuses.
TEST(RegFileParser, HeadersThatImportNothingAndFilesWindowsRefuses) {
    for (const char* header :
         {"REGEDIT3", "REGEDIT5", "REGEDIT 4", "REGEDIT4 FOO", "REGEDIT4FOO", "  REGEDIT9"}) {
        const auto c = parseRegFile(std::string(header) +
                                    "\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n"
                                    "\"v\"=\"1\"\r\n");
        EXPECT_TRUE(c.ops.empty()) << header;
        EXPECT_FALSE(c.skippedHeader.empty()) << header;
    }
    EXPECT_TRUE(parseRegFile("REGEDIT4\r\n").skippedHeader.empty());
    expectError("REGEDIT\r\nHKEY_CLASSES_ROOT\\.x = y\r\n", 1, "16-bit");
    expectError("regedit4\r\n", 1, "not a registry file");
    // UTF-16 without its byte-order mark, whichever header it has.
    for (const std::string header : {"REGEDIT4", "Windows Registry Editor Version 5.00"}) {
        const std::string bare = utf16ToLeBytes(bytesToUtf16(header + "\r\n"));
        expectError(bare, 1, "byte-order mark");
        EXPECT_NO_THROW(parseRegFile("\xFF\xFE" + bare)) << header;
    }
}

}  // namespace
}  // namespace vornak::registry
