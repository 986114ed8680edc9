#include "registry/RegFileWriter.h"

#include <algorithm>
#include <cstdio>

#include "registry/RegFileText.h"

namespace vornak::registry {
namespace {

// regedit breaks hex data once a line reaches 77 characters, before the backslash.
constexpr size_t kWrapColumn = 77;

// Whether "..." can hold the text so that reading it back gives the same text.
bool isQuotable(std::string_view text) {
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos &&
           isValidUtf8(text);
}

std::string quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
        }
    }
    return out + "\"";
}

std::string hexData(const std::string& prefix, std::string_view bytes, size_t column) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out = prefix;
    column += prefix.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
        if (i + 1 == bytes.size())
            break;
        out += ',';
        column += 3;
        if (column >= kWrapColumn) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
    return out;
}

std::string typePrefix(uint32_t type) {
    if (type == platform::kRegBinary)
        return "hex:";
    char buf[24];
    std::snprintf(buf, sizeof buf, "hex(%x):", type);
    return buf;
}

}  // namespace

std::string formatRegFileData(uint32_t type, const std::string& data, size_t firstColumn) {
    switch (type) {
        case platform::kRegSz: {
            // As regedit and reg.exe write it: the text up to its first NUL, which is
            // all that anything reading the value as text sees.
            const std::string_view text(data.data(), std::min(data.find('\0'), data.size()));
            if (isQuotable(text))
                return quote(text);
            [[fallthrough]];
        }
        case platform::kRegExpandSz:
        case platform::kRegMultiSz:
            return hexData(typePrefix(type), utf16ToLeBytes(bytesToUtf16(data)), firstColumn);
        case platform::kRegDword:
            if (data.size() == 4) {
                uint32_t v = 0;
                for (int i = 3; i >= 0; --i)
                    v = (v << 8) | static_cast<unsigned char>(data[i]);
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", v);
                return buf;
            }
            [[fallthrough]];
        default:
            return hexData(typePrefix(type), data, firstColumn);
    }
}

namespace {

// `restore(i)`: what else key i says, null for a plain key.
template <class KeyOf, class RestoreOf>
std::string writeKeys(size_t count, KeyOf keyOf, RestoreOf restoreOf,
                      std::vector<std::string>* leftOut) {
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
    std::string skippedTree;  // the last key left out; its subkeys follow it
    for (size_t i = 0; i < count; ++i) {
        const RegFileKey& key = keyOf(i);
        const RegFileRestoreKey* restore = restoreOf(i);
        const std::string full = std::string(platform::rootLongName(key.root)) +
                                 (key.path.empty() ? "" : "\\" + key.path);
        if (full.find_first_of(std::string_view("\0\r\n", 3)) != std::string::npos) {
            const bool below = !skippedTree.empty() && full.size() > skippedTree.size() &&
                               full.compare(0, skippedTree.size(), skippedTree) == 0 &&
                               full[skippedTree.size()] == '\\';
            if (!below) {
                skippedTree = full;
                if (leftOut)
                    leftOut->push_back(lineSafe(full));
            }
            continue;
        }
        if (restore && (restore->removedFirst || restore->removedOnly))
            text += "[-" + full + "]\r\n\r\n";
        if (restore && restore->removedOnly)
            continue;
        text += "[" + full + "]\r\n";
        for (const auto& value : key.values) {
            if (value.name.find('\0') != std::string::npos) {
                if (leftOut)
                    leftOut->push_back(lineSafe(full) + "\\" + lineSafe(value.name));
                continue;
            }
            const std::string name = value.name.empty() ? "@" : quote(value.name);
            text += name + "=";
            text += formatRegFileData(value.type, value.data, bytesToUtf16(name).size() + 1);
            text += "\r\n";
        }
        for (const auto& name : restore ? restore->removedValues : std::vector<std::string>{}) {
            if (name.find('\0') != std::string::npos) {
                if (leftOut)
                    leftOut->push_back(lineSafe(full) + "\\" + lineSafe(name));
                continue;
            }
            text += (name.empty() ? std::string("@") : quote(name)) + "=-\r\n";
        }
        text += "\r\n";
    }
    return "\xFF\xFE" + utf16ToLeBytes(bytesToUtf16(text));
}

}  // namespace

std::string writeRegFile(const std::vector<RegFileKey>& keys, std::vector<std::string>* leftOut) {
    return writeKeys(
        keys.size(), [&](size_t i) -> const RegFileKey& { return keys[i]; },
        [](size_t) -> const RegFileRestoreKey* { return nullptr; }, leftOut);
}

std::string writeRestoringRegFile(const std::vector<RegFileRestoreKey>& keys,
                                  std::vector<std::string>* leftOut) {
    return writeKeys(
        keys.size(), [&](size_t i) -> const RegFileKey& { return keys[i].key; },
        [&](size_t i) { return &keys[i]; }, leftOut);
}

}  // namespace vornak::registry
