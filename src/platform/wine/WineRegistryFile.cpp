#include "platform/wine/WineRegistryFile.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <unordered_set>

#include "platform/RegistryStore.h"
#include "platform/Utf8.h"
#include "platform/model/RegistryNames.h"

namespace vornak::platform::posix {
namespace {

using Units = std::u16string;

// UTF-8 to UTF-16; a byte that does not start valid UTF-8 stands for the code
// point of its value, and encoded surrogates come back as the units they were.
Units toUnits(const std::string& s) {
    Units out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        uint32_t cp = b;
        size_t len = 1;
        if (b >= 0xC0 && b < 0xF8) {
            len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
            cp = b & (0x3F >> (len - 1));
            bool ok = i + len <= s.size();
            for (size_t k = 1; ok && k < len; ++k) {
                const auto c = static_cast<unsigned char>(s[i + k]);
                if ((c & 0xC0) != 0x80) ok = false;
                cp = (cp << 6) | (c & 0x3F);
            }
            if (!ok || cp > 0x10FFFF) {
                cp = b;
                len = 1;
            }
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

using platform::appendUtf8;

std::string fromUnits(const Units& u) {
    std::string out;
    out.reserve(u.size());
    for (size_t i = 0; i < u.size(); ++i) {
        uint32_t cp = u[i];
        if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 &&
            u[i + 1] < 0xE000) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        }
        appendUtf8(out, cp);
    }
    return out;
}

bool isStringType(uint32_t type) {
    return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads escaped text up to the unescaped `end` character; `pos` is left after it.
bool unescape(const std::string& s, size_t& pos, char end, Units& out) {
    while (pos < s.size()) {
        const char c = s[pos];
        if (c == end) {
            ++pos;
            return true;
        }
        if (c == '\n') return false;
        if (c != '\\') {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x80) {
                out.push_back(static_cast<char16_t>(b));
                ++pos;
            } else {
                // Raw UTF-8, which Wine also reads.
                size_t start = pos++;
                while (pos < s.size() && (static_cast<unsigned char>(s[pos]) & 0xC0) == 0x80) ++pos;
                out += toUnits(s.substr(start, pos - start));
            }
            continue;
        }
        if (++pos >= s.size()) return false;
        const char e = s[pos++];
        switch (e) {
            case 'a': out.push_back(7); break;
            case 'b': out.push_back(8); break;
            case 't': out.push_back(9); break;
            case 'n': out.push_back(10); break;
            case 'v': out.push_back(11); break;
            case 'f': out.push_back(12); break;
            case 'r': out.push_back(13); break;
            case 'e': out.push_back(27); break;
            case 'x': {
                uint32_t v = 0;
                int n = 0;
                while (n < 4 && pos < s.size() && hexDigit(s[pos]) >= 0) {
                    v = v * 16 + static_cast<uint32_t>(hexDigit(s[pos++]));
                    ++n;
                }
                if (n == 0) return false;
                out.push_back(static_cast<char16_t>(v));
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    uint32_t v = static_cast<uint32_t>(e - '0');
                    for (int n = 1; n < 3 && pos < s.size() && s[pos] >= '0' && s[pos] <= '7'; ++n)
                        v = v * 8 + static_cast<uint32_t>(s[pos++] - '0');
                    out.push_back(static_cast<char16_t>(v));
                } else {
                    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(e)));
                }
        }
    }
    return false;
}

std::string escapeUnits(const Units& u, char q1, char q2) {
    static const char escapes[33] = ".......abtnvfr.............e....";
    std::string out;
    char buf[16];
    for (size_t i = 0; i < u.size(); ++i) {
        const char16_t c = u[i];
        const bool more = i + 1 < u.size();
        if (c > 127) {
            const bool hexNext = more && u[i + 1] < 128 && hexDigit(static_cast<char>(u[i + 1])) >= 0;
            std::snprintf(buf, sizeof buf, hexNext ? "\\x%04x" : "\\x%x", static_cast<unsigned>(c));
            out += buf;
        } else if (c < 32) {
            if (escapes[c] != '.') {
                out += '\\';
                out += escapes[c];
            } else {
                const bool octNext = more && u[i + 1] >= '0' && u[i + 1] <= '7';
                std::snprintf(buf, sizeof buf, octNext ? "\\%03o" : "\\%o", static_cast<unsigned>(c));
                out += buf;
            }
        } else {
            if (c == '\\' || c == q1 || c == q2) out += '\\';
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string utf16Bytes(const Units& u) {
    std::string out;
    for (char16_t c : u) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

// The data of a value in the program's terms from the bytes Wine keeps.
std::string programData(uint32_t type, const std::string& bytes) {
    if (!isStringType(type) || bytes.size() % 2) return bytes;
    Units u;
    for (size_t i = 0; i < bytes.size(); i += 2)
        u.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return fromUnits(u);
}

std::string wineBytes(uint32_t type, const std::string& data) {
    return isStringType(type) ? utf16Bytes(toUnits(data)) : data;
}

// Parses the text after "=" of a value line (continuations already joined).
bool parseData(const std::string& s, size_t pos, WineValue& v) {
    auto rest = [&](const char* word) {
        const size_t n = std::char_traits<char>::length(word);
        if (s.compare(pos, n, word) != 0) return false;
        pos += n;
        return true;
    };
    auto atEnd = [&] { return pos == s.size(); };
    auto readType = [&](uint32_t& type) {
        uint32_t t = 0;
        int n = 0;
        while (pos < s.size() && hexDigit(s[pos]) >= 0 && n < 8) {
            t = t * 16 + static_cast<uint32_t>(hexDigit(s[pos++]));
            ++n;
        }
        if (n == 0 || !rest("):")) return false;
        type = t;
        return true;
    };
    if (pos < s.size() && s[pos] == '"') {
        ++pos;
        Units u;
        if (!unescape(s, pos, '"', u) || !atEnd()) return false;
        v.type = kRegSz;
        u.push_back(0);
        v.data = fromUnits(u);
        return true;
    }
    if (rest("str(")) {
        if (!readType(v.type) || pos >= s.size() || s[pos] != '"') return false;
        ++pos;
        Units u;
        if (!unescape(s, pos, '"', u) || !atEnd()) return false;
        u.push_back(0);
        v.data = programData(v.type, utf16Bytes(u));
        return true;
    }
    if (rest("dword:")) {
        if (s.size() - pos != 8) return false;
        uint32_t d = 0;
        for (; pos < s.size(); ++pos) {
            if (hexDigit(s[pos]) < 0) return false;
            d = d * 16 + static_cast<uint32_t>(hexDigit(s[pos]));
        }
        v.type = kRegDword;
        v.data.clear();
        for (int i = 0; i < 4; ++i) v.data += static_cast<char>((d >> (8 * i)) & 0xFF);
        return true;
    }
    if (rest("hex:")) {
        v.type = kRegBinary;
    } else if (rest("hex(")) {
        if (!readType(v.type)) return false;
    } else {
        return false;
    }
    std::string bytes;
    while (pos < s.size()) {
        if (s[pos] == ',' || s[pos] == ' ' || s[pos] == '\t') {
            ++pos;
            continue;
        }
        if (pos + 1 >= s.size() || hexDigit(s[pos]) < 0 || hexDigit(s[pos + 1]) < 0) return false;
        bytes += static_cast<char>(hexDigit(s[pos]) * 16 + hexDigit(s[pos + 1]));
        pos += 2;
    }
    v.data = programData(v.type, bytes);
    return true;
}

bool parseValue(const std::string& joined, WineValue& v) {
    size_t pos = 0;
    if (joined[0] == '@') {
        pos = 1;
    } else {
        pos = 1;
        Units name;
        if (!unescape(joined, pos, '"', name)) return false;
        v.name = fromUnits(name);
    }
    if (pos >= joined.size() || joined[pos] != '=') return false;
    return parseData(joined, pos + 1, v);
}

bool within(const WineKey* k, const WineKey* ancestor) {
    for (; k; k = k->parent)
        if (k == ancestor) return true;
    return false;
}

std::string keyPath(const WineKey& key) {
    std::vector<const WineKey*> chain;
    for (const WineKey* k = &key; k->parent; k = k->parent) chain.push_back(k);
    std::string path;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        if (!path.empty()) path += '\\';
        path += (*it)->name;
    }
    return path;
}

}  // namespace

std::string wineEscape(const std::string& utf8, bool keyName) {
    return keyName ? escapeUnits(toUnits(utf8), '[', ']') : escapeUnits(toUnits(utf8), '"', '"');
}

std::string wineValueText(const WineValue& v) {
    std::string out;
    size_t count;
    if (!v.name.empty()) {
        const std::string name = wineEscape(v.name, false);
        out = "\"" + name + "\"=";
        count = name.size() + 3;
    } else {
        out = "@=";
        count = 2;
    }
    const std::string bytes = wineBytes(v.type, v.data);
    char buf[32];
    if (isStringType(v.type) && bytes.size() >= 2 && bytes.size() % 2 == 0 &&
        bytes[bytes.size() - 1] == 0 && bytes[bytes.size() - 2] == 0) {
        if (v.type != kRegSz) {
            std::snprintf(buf, sizeof buf, "str(%x):", static_cast<unsigned>(v.type));
            out += buf;
        }
        Units u = toUnits(v.data);
        u.pop_back();
        return out + "\"" + escapeUnits(u, '"', '"') + "\"\n";
    }
    if (v.type == kRegDword && bytes.size() == 4) {
        uint32_t d = 0;
        for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(bytes[static_cast<size_t>(i)]);
        std::snprintf(buf, sizeof buf, "dword:%08x\n", static_cast<unsigned>(d));
        return out + buf;
    }
    if (v.type == kRegBinary)
        std::snprintf(buf, sizeof buf, "hex:");
    else
        std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
    out += buf;
    count += std::char_traits<char>::length(buf);
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
        out += buf;
        count += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            if (++count > 76) {
                out += "\\\n  ";
                count = 2;
            }
        }
    }
    return out + "\n";
}

std::unique_ptr<WineRegistryFile> WineRegistryFile::parse(const std::string& text, std::string& error) {
    auto file = std::make_unique<WineRegistryFile>();
    // Views into `text`: a big prefix's file is not copied line by line.
    std::vector<std::string_view> lines;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        lines.emplace_back(text.data() + pos, end - pos);
        pos = end;
    }
    if (lines.empty() || lines[0] != "WINE REGISTRY Version 2\n") {
        error = "not a Wine registry file (no \"WINE REGISTRY Version 2\" header)";
        return nullptr;
    }
    size_t i = 0;
    for (; i < lines.size() && (lines[i].empty() || lines[i][0] != '['); ++i) file->preamble_ += lines[i];
    auto fail = [&](size_t line, const char* why) {
        error = "line " + std::to_string(line + 1) + ": " + why;
        return nullptr;
    };
    while (i < lines.size()) {
        const std::string head(lines[i]);
        size_t pos = 1;
        Units path;
        if (!unescape(head, pos, ']', path)) return fail(i, "key name not closed");
        std::vector<std::string> names;
        {
            const std::string p = fromUnits(path);
            size_t start = 0;
            while (start <= p.size() && !p.empty()) {
                size_t end = p.find('\\', start);
                if (end == std::string::npos) end = p.size();
                if (end == start) return fail(i, "empty key name");
                names.push_back(p.substr(start, end - start));
                start = end + 1;
            }
        }
        WineKey* key = &file->root_;
        for (const auto& name : names) {
            auto it = key->children.find(foldName(name));
            key = it != key->children.end() ? it->second.get() : file->insertKey(*key, name);
        }
        if (key->hasSection) return fail(i, "key listed twice");
        key->hasSection = true;
        key->header = head;
        file->order_.push_back(key);
        ++i;
        if (i < lines.size() && lines[i].starts_with("#time=")) key->header += lines[i++];
        std::unordered_set<std::string> seen;  // folded value names of this key
        while (i < lines.size() && (lines[i].empty() || lines[i][0] != '[')) {
            const std::string_view line = lines[i];
            if (line == "\n") {
                key->trailer += line;
                ++i;
                continue;
            }
            if (!key->trailer.empty()) return fail(i, "text after a blank line inside a key");
            if (line[0] == '#') {
                key->meta.emplace_back(line);
                ++i;
                continue;
            }
            if (line[0] != '"' && line[0] != '@') return fail(i, "not a value");
            WineValue v;
            v.raw = line;
            std::string joined(line);
            const size_t first = i++;
            while (joined.size() >= 2 && joined.compare(joined.size() - 2, 2, "\\\n") == 0 &&
                   joined.find("=hex") != std::string::npos && i < lines.size()) {
                joined.resize(joined.size() - 2);
                size_t lead = lines[i].find_first_not_of(" \t");
                if (lead == std::string::npos) return fail(i, "broken continuation");
                joined += lines[i].substr(lead);
                v.raw += lines[i++];
            }
            if (!joined.empty() && joined.back() == '\n') joined.pop_back();
            if (!parseValue(joined, v)) return fail(first, "value not understood");
            if (!seen.insert(foldName(v.name)).second) return fail(first, "value listed twice");
            key->values.push_back(std::move(v));
        }
    }
    return file;
}

std::string WineRegistryFile::serialize() const {
    std::string out = preamble_;
    for (size_t n = 0; n < order_.size(); ++n) {
        const WineKey& key = *order_[n];
        out += key.header;
        for (const auto& m : key.meta) out += m;
        for (const auto& v : key.values) out += v.raw.empty() ? wineValueText(v) : v.raw;
        if (key.trailer.empty() && n + 1 < order_.size())
            out += '\n';
        else
            out += key.trailer;
    }
    return out;
}

WineKey* WineRegistryFile::find(const std::vector<std::string>& names) {
    WineKey* key = &root_;
    for (const auto& name : names) {
        auto it = key->children.find(foldName(name));
        if (it == key->children.end()) return nullptr;
        key = it->second.get();
    }
    return key;
}

WineKey* WineRegistryFile::insertKey(WineKey& parent, const std::string& name) {
    auto child = std::make_unique<WineKey>();
    child->name = name;
    child->parent = &parent;
    WineKey* raw = child.get();
    parent.children.emplace(foldName(name), std::move(child));
    return raw;
}

WineKey* WineRegistryFile::create(const std::vector<std::string>& names, bool* created) {
    WineKey* key = &root_;
    bool made = false;
    for (const auto& name : names) {
        auto it = key->children.find(foldName(name));
        if (it != key->children.end()) {
            key = it->second.get();
            made = false;
            continue;
        }
        key = insertKey(*key, name);
        made = true;
    }
    // A new key without subkeys must have a section, or Wine would not see it.
    if (made) touch(*key);
    if (created) *created = made;
    return key;
}

void WineRegistryFile::touch(WineKey& key) {
    if (!key.parent) return;
    // FILETIME: 100 ns ticks since 1601.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t ticks = static_cast<uint64_t>(now.tv_sec) * 10000000ULL +
                           static_cast<uint64_t>(now.tv_nsec) / 100 + 116444736000000000ULL;
    char buf[64];
    std::snprintf(buf, sizeof buf, "] %u\n#time=%x%08x\n",
                  static_cast<unsigned>(now.tv_sec), static_cast<unsigned>(ticks >> 32),
                  static_cast<unsigned>(ticks & 0xFFFFFFFFu));
    key.header = "[" + wineEscape(keyPath(key), true) + buf;
    key.changed = true;
    if (!key.hasSection) {
        key.hasSection = true;
        key.trailer = "\n";
        place(key);
    }
}

void WineRegistryFile::place(WineKey& key) {
    // After the last section inside the nearest ancestor that has any, which is
    // where Wine's own depth-first order puts it closely enough for Wine.
    for (const WineKey* a = key.parent; a; a = a->parent) {
        for (size_t n = order_.size(); n-- > 0;) {
            if (order_[n] != &key && within(order_[n], a)) {
                order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(n + 1), &key);
                return;
            }
        }
    }
    order_.push_back(&key);
}

void WineRegistryFile::remove(WineKey& key) {
    WineKey* parent = key.parent;
    if (!parent) return;
    order_.erase(std::remove(order_.begin(), order_.end(), &key), order_.end());
    parent->children.erase(foldName(key.name));
    if (parent->parent && parent->children.empty() && !parent->hasSection) touch(*parent);
}

}  // namespace vornak::platform::posix
