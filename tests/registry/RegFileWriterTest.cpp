// Writing version 5 files, and reading back what we wrote.
#include <gtest/gtest.h>

#include <random>

#include "registry/RegFileParser.h"
#include "registry/RegFileTestSupport.h"
#include "registry/RegFileText.h"
#include "registry/RegFileWriter.h"

namespace vornak::registry {
namespace {

using platform::RegRoot;
using platform::RegValue;
using namespace std::string_literals;

// The text of a written file, checked to be UTF-16LE with BOM.
std::string text(const std::string& file) {
    EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(file.size() % 2, 0u);
    return utf16ToBytes(leBytesToUtf16(file.substr(2)));
}

RegFileKey key(RegRoot root, const std::string& path, std::vector<RegValue> values) {
    return RegFileKey{root, path, std::move(values)};
}

TEST(RegFileWriter, WritesRegeditsLayout) {
    const std::string file = writeRegFile({
        key(RegRoot::CurrentUser, "Software\\Acme",
            {
                {"", platform::kRegSz, "Acme \"Editor\" C:\\x\0"s},
                {"Quote\"Back\\slash", platform::kRegDword, "\xEF\xBE\xAD\xDE"s},
                {"Bin", platform::kRegBinary, "\x00\xFF"s},
            }),
        key(RegRoot::CurrentUser, "Software\\Acme\\Empty", {}),
    });
    EXPECT_EQ(text(file),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Acme]\r\n"
              "@=\"Acme \\\"Editor\\\" C:\\\\x\"\r\n"
              "\"Quote\\\"Back\\\\slash\"=dword:deadbeef\r\n"
              "\"Bin\"=hex:00,ff\r\n"
              "\r\n"
              "[HKEY_CURRENT_USER\\Software\\Acme\\Empty]\r\n"
              "\r\n");
}

TEST(RegFileWriter, WrapsLongHexDataAtRegeditsColumns) {
    // regedit's own export of the REG_EXPAND_SZ "This is a test".
    const std::string wrapped = formatRegFileData(platform::kRegExpandSz, "This is a test\0"s, 7);
    EXPECT_EQ(
        "\"test\"=" + wrapped,
        "\"test\"=hex(2):54,00,68,00,69,00,73,00,20,00,69,00,73,00,20,00,61,00,20,00,74,\\\r\n"
        "  00,65,00,73,00,74,00,00,00");
    // Full continuation lines hold 25 bytes.
    const std::string many = formatRegFileData(platform::kRegBinary, std::string(60, '\x11'), 4);
    const size_t second = many.find("\r\n  ") + 4;
    const size_t secondEnd = many.find("\\\r\n", second);
    EXPECT_EQ(secondEnd - second, 25u * 3);
}

TEST(RegFileWriter, TextThatIsNotPlainGoesAsHexOfItsUtf16) {
    auto data = [](uint32_t type, const std::string& bytes) {
        return formatRegFileData(type, bytes, 4);
    };
    EXPECT_EQ(data(platform::kRegSz, "caf\xC3\xA9\0"s), "\"caf\xC3\xA9\"");
    EXPECT_EQ(data(platform::kRegSz, "\0"s), "\"\"");
    // As regedit writes them: empty, without a NUL, cut at the first NUL.
    EXPECT_EQ(data(platform::kRegSz, ""), "\"\"");
    EXPECT_EQ(data(platform::kRegSz, "ab"), "\"ab\"");
    EXPECT_EQ(data(platform::kRegSz, "a\0b\0"s), "\"a\"");
    EXPECT_EQ(data(platform::kRegSz, "\0\0\0\0"s), "\"\"");
    // What "..." cannot hold keeps every byte.
    EXPECT_EQ(data(platform::kRegSz, "\xFF\0b\0"s), "hex(1):ff,dc,00,00,62,00,00,00");
    EXPECT_EQ(data(platform::kRegSz, "a\r\nb\0"s), "hex(1):61,00,0d,00,0a,00,62,00,00,00");
    EXPECT_EQ(data(platform::kRegSz, "\xFF\0"s), "hex(1):ff,dc,00,00");
    EXPECT_EQ(data(platform::kRegExpandSz, "%A%\0"s), "hex(2):25,00,41,00,25,00,00,00");
    EXPECT_EQ(data(platform::kRegMultiSz, "a\0\xC3\xA9\0\0"s),
              "hex(7):61,00,00,00,e9,00,00,00,00,00");
    EXPECT_EQ(data(platform::kRegDword, "\x01\0\0"s), "hex(4):01,00,00");
    EXPECT_EQ(data(platform::kRegQword, "\x01\0\0\0\0\0\0\0"s), "hex(b):01,00,00,00,00,00,00,00");
    EXPECT_EQ(data(platform::kRegNone, ""), "hex(0):");
    EXPECT_EQ(data(0xFFFF0007u, "\x01"), "hex(ffff0007):01");
}

TEST(RegFileWriter, NamesThatNoFileCanHoldAreLeftOutAndNamed) {
    std::vector<std::string> leftOut;
    const std::string file = writeRegFile(
        {key(RegRoot::CurrentUser, "A",
             {{"x\0y"s, platform::kRegSz, ""}, {"ok", platform::kRegSz, ""}}),
         key(RegRoot::CurrentUser, "A\\B\nC", {}), key(RegRoot::CurrentUser, "A\\B\nC\\D", {}),
         key(RegRoot::CurrentUser, "A\\E", {})},
        &leftOut);
    EXPECT_EQ(leftOut, (std::vector<std::string>{"HKEY_CURRENT_USER\\A\\x^@y",
                                                 "HKEY_CURRENT_USER\\A\\B^JC"}));
    const RegFileContent back = parseRegFile(file);
    std::vector<std::string> paths;
    for (const auto& op : back.ops)
        paths.push_back(op.path + (op.kind == RegFileOp::SetValue ? ":" + op.name : ""));
    EXPECT_EQ(paths, (std::vector<std::string>{"A", "A:ok", "A\\E"}));
}

// Rebuilds the keys of an export from the operations that reading it gives.
std::vector<RegFileKey> keysOf(const RegFileContent& content) {
    std::vector<RegFileKey> keys;
    for (const auto& o : content.ops) {
        if (o.kind == RegFileOp::CreateKey) {
            keys.push_back(RegFileKey{o.root, o.path, {}});
        } else {
            EXPECT_EQ(o.kind, RegFileOp::SetValue);
            EXPECT_FALSE(keys.empty());
            if (!keys.empty())
                keys.back().values.push_back(RegValue{o.name, o.type, o.data});
        }
    }
    return keys;
}

// What an import makes of written keys: a REG_SZ that "..." holds is its text
// up to the first NUL; text data that lacks its terminating NUL gets one, as
// reg.exe adds it.
std::vector<RegFileKey> asImported(std::vector<RegFileKey> keys) {
    for (auto& k : keys)
        for (auto& v : k.values) {
            const std::string text = v.data.substr(0, v.data.find('\0'));
            if (v.type == platform::kRegSz && isValidUtf8(text) &&
                text.find_first_of("\r\n") == std::string::npos)
                v.data = text + '\0';
            else if ((v.type == platform::kRegSz || v.type == platform::kRegExpandSz ||
                      v.type == platform::kRegMultiSz) &&
                     !v.data.empty() && v.data.back() != '\0')
                v.data += '\0';
        }
    return keys;
}

TEST(RegFileWriter, EverythingWrittenReadsBackToTheSameBytes) {
    const std::vector<RegFileKey> keys = {
        key(RegRoot::LocalMachine, "Software\\Caf\xC3\xA9 [x] ]\"q\"",
            {
                {"", platform::kRegSz, "\0"s},
                {"\"", platform::kRegSz, "\\\"\\\0"s},
                {"line\nbreak\r", platform::kRegSz, "x\0"s},
                {"@", platform::kRegSz, "at\0"s},
                {";not a comment", platform::kRegExpandSz, "%PATH%;\xC3\xA9\0"s},
                {"multi", platform::kRegMultiSz, "a\0\0b\0\0"s},
                {"empty multi", platform::kRegMultiSz, ""},
                {"raw sz", platform::kRegSz, "\xFF\xFE\0x"s},
                {"tab\there", platform::kRegSz, "a\tb\0"s},
                {"dw", platform::kRegDword, "\0\0\0\x80"s},
                {"qw", platform::kRegQword, "\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF"s},
                {"none", platform::kRegNone, "\x01"s},
                {"bin", platform::kRegBinary, std::string(200, '\x7F')},
                {"\xF0\x9F\x98\x80", 0x12345678u, "z"},
            }),
        key(RegRoot::Users, ".Default", {}),
        key(RegRoot::ClassesRoot, "-dash", {{"v", platform::kRegSz, "\0"s}}),
    };
    const std::string first = writeRegFile(keys);
    const auto read = keysOf(parseRegFile(first));
    expectSameKeys(read, asImported(keys));
    // What an import gave is written and read back unchanged.
    EXPECT_EQ(writeRegFile(keysOf(parseRegFile(writeRegFile(read)))), writeRegFile(read));
}

TEST(RegFileWriter, RandomDataOfEveryTypeSurvives) {
    std::mt19937 gen(4242);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 120);
    const uint32_t types[] = {
        platform::kRegNone,  platform::kRegSz,      platform::kRegExpandSz, platform::kRegBinary,
        platform::kRegDword, platform::kRegMultiSz, platform::kRegQword,    5u,
        0xFFFFFFFFu};
    RegFileKey k{RegRoot::CurrentUser, "Software\\Random", {}};
    for (int i = 0; i < 300; ++i) {
        std::string data, name = "v" + std::to_string(i);
        const int n = length(gen);
        for (int b = 0; b < n; ++b)
            data += static_cast<char>(byte(gen));
        for (int b = 0; b < 3; ++b)
            name += static_cast<char>(byte(gen) | 1);  // no NUL
        k.values.push_back(RegValue{name, types[i % std::size(types)], data});
    }
    const std::string file = writeRegFile({k});
    expectSameKeys(keysOf(parseRegFile(file)), asImported({k}));
}

}  // namespace
}  // namespace vornak::registry
