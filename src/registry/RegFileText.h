// Text conversions that registry files need: the file encodings regedit and Wine
// use, and the lossless mapping between our 8-bit string data and UTF-16LE.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::registry {

// Our REG_SZ data are UTF-8 bytes, Windows keeps UTF-16. Bytes that are not part
// of a well-formed UTF-8 sequence travel as lone low surrogates U+DC80..U+DCFF,
// so any byte string survives bytes -> UTF-16 -> bytes unchanged. Lone
// surrogates outside that range (only seen in foreign files) become their
// three-byte generalised UTF-8 form.
std::u16string bytesToUtf16(std::string_view bytes);
std::string utf16ToBytes(std::u16string_view text);

std::string utf16ToLeBytes(std::u16string_view text);
// `bytes` must have an even length.
std::u16string leBytesToUtf16(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);

// The value of a hexadecimal digit of either case, or -1.
inline int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
// The text with every control character written in caret notation (^J for a
// line feed, ^M carriage return, ^@ NUL, ^? DEL), so that it prints on one
// line of a terminal or of a tab-separated list. A tab is kept unless
// `escapeTabs`. Used wherever a name or datum goes into a line of output.
std::string lineSafe(std::string_view text, bool escapeTabs = false);

// Windows-1252, the 8-bit code page of files written on Western Windows systems.
std::string cp1252ToUtf8(std::string_view bytes);

enum class FileEncoding { Utf16Le, Utf8, Cp1252 };

struct DecodedText {
    std::string text;  // UTF-8 (lossless mapping above for UTF-16 input)
    FileEncoding encoding = FileEncoding::Utf8;
    bool byteOrderMark = false;  // the file began with one (dropped from `text`)
};

// A text file as regedit may have written it: UTF-16LE with or without BOM,
// UTF-8 with or without BOM, else Windows-1252. The BOM is dropped.
DecodedText decodeTextFile(std::string_view bytes);
// The same, taking the bytes: 8-bit UTF-8 text is kept without a copy, and
// other text is converted piecewise with the bytes released afterwards.
DecodedText decodeTextFileTaking(std::string&& bytes);

}  // namespace vornak::registry
