// vornak reg add: creates a key and sets one value, as reg.exe does.
#include <iostream>
#include <optional>

#include "cli/RegCommand.h"
#include "registry/RegFileStore.h"
#include "registry/RegFileText.h"

namespace vornak::cli::reg {
namespace {

using platform::RegStatus;

struct TypeName {
    const char* name;
    uint32_t type;
};

constexpr TypeName kTypes[] = {
    {"REG_SZ", platform::kRegSz},
    {"REG_EXPAND_SZ", platform::kRegExpandSz},
    {"REG_MULTI_SZ", platform::kRegMultiSz},
    {"REG_BINARY", platform::kRegBinary},
    {"REG_DWORD", platform::kRegDword},
    {"REG_DWORD_LITTLE_ENDIAN", platform::kRegDword},
    {"REG_DWORD_BIG_ENDIAN", kRegDwordBigEndian},
    {"REG_QWORD", platform::kRegQword},
    {"REG_NONE", platform::kRegNone},
};

std::optional<uint32_t> typeFromName(const std::string& text) {
    std::string upper = text;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    for (const auto& t : kTypes)
        if (upper == t.name)
            return t.type;
    return std::nullopt;
}

const char* nameOfType(uint32_t type) {
    for (const auto& t : kTypes)
        if (t.type == type)
            return t.name;
    return "?";
}

// Decimal, or hexadecimal after 0x, no more than `max`. With `negative`, a
// decimal number may have a minus sign and counts down from 2^64, as reg.exe
// takes "REG_QWORD /d -1".
std::optional<uint64_t> parseNumber(const std::string& text, uint64_t max, bool negative = false) {
    if (negative && text.size() > 1 && text[0] == '-') {
        // Decimal only: reg.exe refuses "-0x1".
        if (text.find_first_not_of("0123456789", 1) != std::string::npos)
            return std::nullopt;
        const auto magnitude = parseNumber(text.substr(1), max);
        if (!magnitude)
            return std::nullopt;
        return 0 - *magnitude;
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty())
        return std::nullopt;
    const unsigned base = hex ? 16 : 10;
    uint64_t value = 0;
    for (char c : digits) {
        const int d = registry::hexValue(c);
        if (d < 0 || static_cast<unsigned>(d) >= base)
            return std::nullopt;
        if (value > (max - static_cast<uint64_t>(d)) / base)
            return std::nullopt;
        value = value * base + static_cast<uint64_t>(d);
    }
    return value;
}

std::string littleEndianBytes(uint64_t value, int size) {
    std::string out;
    for (int i = 0; i < size; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

// The bytes that /d stands for, or nullopt when it does not fit the type.
std::optional<std::string> dataFor(uint32_t type, const std::optional<std::string>& given,
                                   const std::string& separator) {
    const std::string text = given.value_or("");
    switch (type) {
        case platform::kRegSz:
        case platform::kRegExpandSz:
            return text + '\0';
        case platform::kRegMultiSz: {
            // One separator alone is the empty list, as reg.exe takes it.
            if (text == separator)
                return std::string(2, '\0');
            std::string out;
            size_t start = 0;
            while (start <= text.size() && !text.empty()) {
                size_t end = text.find(separator, start);
                if (end == std::string::npos)
                    end = text.size();
                const std::string item = text.substr(start, end - start);
                const bool last = end >= text.size();
                if (item.empty() && !last)
                    return std::nullopt;  // would end the list early
                if (!item.empty())
                    out += item + '\0';
                if (last)
                    break;
                start = end + separator.size();
            }
            return out + '\0';
        }
        case platform::kRegDword:
        case kRegDwordBigEndian:
        case platform::kRegQword: {
            // A DWORD needs its /d; a QWORD without one is 0, as reg.exe has it.
            const bool dword = type != platform::kRegQword;
            if (!given && dword)
                return std::nullopt;
            if (!given)
                return littleEndianBytes(0, 8);
            const auto v = parseNumber(text, dword ? 0xFFFFFFFFull : ~0ull, !dword);
            if (!v)
                return std::nullopt;
            return littleEndianBytes(*v, dword ? 4 : 8);
        }
        case platform::kRegNone:
            // reg.exe keeps the text of a REG_NONE as a UTF-16 string with its NUL.
            return registry::utf16ToLeBytes(registry::bytesToUtf16(text)) + std::string(2, '\0');
        default: {  // REG_BINARY: hex digits, an odd count gets a leading zero
            const std::string digits = text.size() % 2 ? "0" + text : text;
            std::string out;
            for (size_t i = 0; i < digits.size(); i += 2) {
                const int hi = registry::hexValue(digits[i]),
                          lo = registry::hexValue(digits[i + 1]);
                if (hi < 0 || lo < 0)
                    return std::nullopt;
                out += static_cast<char>(hi * 16 + lo);
            }
            return out;
        }
    }
}

size_t utf8Length(const std::string& s) {
    size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80)
            ++n;
    return n;
}

}  // namespace

int add(const Args& args) {
    KeyName key;
    if (args.empty() || looksLikeOption(args[0]))
        return syntaxError("add");
    if (!parseKeyName(args[0], key) || key.path.empty() || !isValidKeyPath(key.path))
        return fail(kInvalidKey);

    std::optional<std::string> valueName, typeText, separator, data;
    bool defaultValue = false, force = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasNext = i + 1 < args.size();
        if (isOption(a, "v") && !valueName && !defaultValue && hasNext) {
            valueName = args[++i];
        } else if (isOption(a, "ve") && !valueName && !defaultValue) {
            defaultValue = true;
        } else if (isOption(a, "t") && !typeText && hasNext) {
            typeText = args[++i];
        } else if (isOption(a, "s") && !separator && hasNext) {
            separator = args[++i];
        } else if (isOption(a, "d") && !data && hasNext) {
            data = args[++i];
        } else if (isOption(a, "f") && !force) {
            force = true;
        } else {
            return syntaxError("add");
        }
    }

    if (valueName && !isValidValueName(*valueName))
        return fail(kInvalidValueName);
    uint32_t type = platform::kRegSz;
    if (typeText) {
        const auto t = typeFromName(*typeText);
        if (!t)
            return fail("ERROR: Unsupported data type \"" + *typeText + "\".");
        type = *t;
    }
    if (separator && (type != platform::kRegMultiSz || utf8Length(*separator) != 1))
        return syntaxError("add");
    const auto bytes = dataFor(type, data, separator.value_or("\\0"));
    if (!bytes)
        return fail(std::string("ERROR: Invalid data for ") + nameOfType(type) + ": \"" +
                    data.value_or("") + "\".");

    // Without /v the default value is set, an empty REG_SZ when nothing else is
    // given, as reg.exe does.
    const std::string name = valueName.value_or("");
    auto acc = openAccessor();

    if (!force) {
        std::unique_ptr<platform::RegKey> existing;
        if (acc->openKey(key.root, key.path, platform::RegAccess::Read, existing) ==
            RegStatus::Ok) {
            platform::RegValue old;
            if (acc->queryValue(*existing, name, old) == RegStatus::Ok) {
                const std::string shown = name.empty() ? "(Default)" : name;
                if (!confirm("Value " + shown + " exists, overwrite(Yes/No)?",
                             "ERROR: Value " + shown +
                                 " exists; without /f it is not overwritten when standard input "
                                 "is not a terminal."))
                    return 1;
            }
        }
    }

    // The key and its value together or not at all.
    registry::TransactionGuard transaction(*acc, {key.root});
    std::unique_ptr<platform::RegKey> handle;
    RegStatus st = acc->createKey(key.root, key.path, platform::RegAccess::Full, handle);
    if (st != RegStatus::Ok)
        return statusError(st, *acc);
    st = acc->setValue(*handle, name, type, *bytes);
    if (st != RegStatus::Ok)
        return valueStatusError(st, *acc);
    handle.reset();
    transaction.commit();
    std::cout << kSuccess << std::endl;
    return 0;
}

}  // namespace vornak::cli::reg
