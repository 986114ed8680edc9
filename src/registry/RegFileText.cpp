#include "registry/RegFileText.h"

#include <algorithm>

#include "platform/Utf8.h"

namespace vornak::registry {
namespace {

bool isCont(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at `i` (shortest form, no surrogates,
// at most U+10FFFF), or 0 when the byte there does not start one.
size_t utf8SequenceLength(std::string_view s, size_t i, char32_t& cp) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t left = s.size() - i;
    auto at = [&](size_t k) { return static_cast<unsigned char>(s[i + k]); };
    if (c < 0x80) {
        cp = c;
        return 1;
    }
    if (c >= 0xC2 && c <= 0xDF) {
        if (left < 2 || !isCont(at(1)))
            return 0;
        cp = ((c & 0x1Fu) << 6) | (at(1) & 0x3Fu);
        return 2;
    }
    if (c >= 0xE0 && c <= 0xEF) {
        if (left < 3 || !isCont(at(1)) || !isCont(at(2)))
            return 0;
        if (c == 0xE0 && at(1) < 0xA0)
            return 0;  // overlong
        if (c == 0xED && at(1) > 0x9F)
            return 0;  // surrogate
        cp = ((c & 0x0Fu) << 12) | ((at(1) & 0x3Fu) << 6) | (at(2) & 0x3Fu);
        return 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (left < 4 || !isCont(at(1)) || !isCont(at(2)) || !isCont(at(3)))
            return 0;
        if (c == 0xF0 && at(1) < 0x90)
            return 0;  // overlong
        if (c == 0xF4 && at(1) > 0x8F)
            return 0;  // above U+10FFFF
        cp = ((c & 0x07u) << 18) | ((at(1) & 0x3Fu) << 12) | ((at(2) & 0x3Fu) << 6) |
             (at(3) & 0x3Fu);
        return 4;
    }
    return 0;
}

using platform::appendUtf8;

// The characters Windows-1252 puts at 0x80..0x9F; the five holes keep the C1 code,
// as MultiByteToWideChar does.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

std::u16string bytesToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const size_t n = utf8SequenceLength(bytes, i, cp);
        if (n == 0) {
            out += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i]));
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += n;
    }
    return out;
}

std::string utf16ToBytes(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t cp = 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            appendUtf8(out, cp);
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00);
        } else {
            appendUtf8(out, u);  // lone surrogates included: generalised UTF-8
        }
    }
    return out;
}

std::string utf16ToLeBytes(std::u16string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

std::u16string leBytesToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        out += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    return out;
}

bool isValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        char32_t cp = 0;
        const size_t n = utf8SequenceLength(bytes, i, cp);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x80 && c <= 0x9F)
            appendUtf8(out, kCp1252High[c - 0x80]);
        else
            appendUtf8(out, c);
    }
    return out;
}

std::string lineSafe(std::string_view text, bool escapeTabs) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if ((b < 0x20 && (b != '\t' || escapeTabs)) || b == 0x7F) {
            out += '^';
            out += static_cast<char>(b ^ 0x40);
        } else {
            out += c;
        }
    }
    return out;
}

DecodedText decodeTextFileTaking(std::string&& bytes) {
    const bool bom = bytes.size() >= 3 && std::string_view(bytes).substr(0, 3) == "\xEF\xBB\xBF";
    const bool utf16 =
        bytes.size() >= 2 &&
        (std::string_view(bytes).substr(0, 2) == "\xFF\xFE" ||
         (bytes[0] != '\0' && static_cast<unsigned char>(bytes[0]) < 0x80 && bytes[1] == '\0'));
    if (!utf16 && isValidUtf8(std::string_view(bytes).substr(bom ? 3 : 0))) {
        DecodedText result;
        if (bom)
            bytes.erase(0, 3);
        result.text = std::move(bytes);
        result.encoding = FileEncoding::Utf8;
        result.byteOrderMark = bom;
        return result;
    }
    DecodedText result = decodeTextFile(std::string_view(bytes));
    std::string().swap(bytes);
    return result;
}

DecodedText decodeTextFile(std::string_view bytes) {
    DecodedText result;
    const bool utf16Bom = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
    // Without a BOM, an ASCII first character followed by a zero byte is UTF-16LE.
    const bool utf16Bare = !utf16Bom && bytes.size() >= 2 && bytes[0] != '\0' &&
                           static_cast<unsigned char>(bytes[0]) < 0x80 && bytes[1] == '\0';
    if (utf16Bom || utf16Bare) {
        std::string_view body = bytes.substr(utf16Bom ? 2 : 0);
        // Piece by piece, never cutting a surrogate pair, so a large file is not
        // also held whole as UTF-16.
        constexpr size_t kPieceBytes = 1 << 20;
        const size_t even = body.size() - body.size() % 2;
        result.text.reserve(even / 2);
        for (size_t at = 0; at < even;) {
            size_t n = std::min(kPieceBytes, even - at);
            if (at + n < even) {
                const auto high = static_cast<unsigned char>(body[at + n - 1]);
                if (high >= 0xD8 && high <= 0xDB)
                    n -= 2;
            }
            result.text += utf16ToBytes(leBytesToUtf16(body.substr(at, n)));
            at += n;
        }
        // A stray odd byte at the end is kept visible rather than dropped.
        if (body.size() % 2) {
            const auto stray =
                static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(body.back()));
            result.text += utf16ToBytes(std::u16string_view(&stray, 1));
        }
        result.encoding = FileEncoding::Utf16Le;
        result.byteOrderMark = utf16Bom;
        return result;
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        result.text = std::string(bytes.substr(3));
        result.encoding = FileEncoding::Utf8;
        result.byteOrderMark = true;
        return result;
    }
    if (isValidUtf8(bytes)) {
        result.text = std::string(bytes);
        result.encoding = FileEncoding::Utf8;
    } else {
        result.text = cp1252ToUtf8(bytes);
        result.encoding = FileEncoding::Cp1252;
    }
    return result;
}

}  // namespace vornak::registry
