#include "platform/wine/WineRegistryFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "platform/BoundedRead.h"
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

constexpr std::array<int8_t, 256> kHexDigits = [] {
    std::array<int8_t, 256> t{};
    for (auto& d : t) d = -1;
    for (int c = 0; c < 10; ++c) t['0' + c] = static_cast<int8_t>(c);
    for (int c = 0; c < 6; ++c) t['a' + c] = t['A' + c] = static_cast<int8_t>(10 + c);
    return t;
}();

int hexDigit(char c) {
    return kHexDigits[static_cast<unsigned char>(c)];
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

// Whether escaped text runs from `pos` to an unescaped `end` as unescape()
// reads it, without decoding it; `pos` is left after it. The text is one
// value's, which holds no line break.
bool skipEscaped(std::string_view s, size_t& pos, char end) {
    while (pos < s.size()) {
        const char* from = s.data() + pos;
        const size_t left = s.size() - pos;
        const auto* closing = static_cast<const char*>(std::memchr(from, end, left));
        const size_t plain = closing ? static_cast<size_t>(closing - from) : left;
        const auto* escape = static_cast<const char*>(std::memchr(from, '\\', plain));
        if (!escape) {
            pos += plain + 1;
            return closing != nullptr;
        }
        pos += static_cast<size_t>(escape - from) + 1;
        if (pos >= s.size()) return false;
        if (s[pos++] == 'x' && (pos >= s.size() || hexDigit(s[pos]) < 0)) return false;
    }
    return false;
}

// The type in "hex(...):" and "str(...):", as parseData() reads it.
bool skipType(std::string_view s, size_t& pos) {
    int n = 0;
    while (pos < s.size() && hexDigit(s[pos]) >= 0 && n < 8) {
        ++pos;
        ++n;
    }
    if (n == 0 || s.substr(pos, 2) != "):") return false;
    pos += 2;
    return true;
}

// Whether parseValue() reads the line (continuations joined, without its line
// break), checked without decoding anything; `name` gets the name's escaped
// text, and `named` is false for the default value.
bool checkValue(std::string_view s, std::string_view& name, bool& named) {
    size_t pos = 1;
    named = s[0] != '@';
    if (named) {
        if (!skipEscaped(s, pos, '"')) return false;
        name = s.substr(1, pos - 2);
    }
    if (pos >= s.size() || s[pos] != '=') return false;
    ++pos;
    auto rest = [&](std::string_view word) {
        if (s.substr(pos, word.size()) != word) return false;
        pos += word.size();
        return true;
    };
    if (pos < s.size() && s[pos] == '"') {
        ++pos;
        return skipEscaped(s, pos, '"') && pos == s.size();
    }
    if (rest("str(")) {
        if (!skipType(s, pos) || pos >= s.size() || s[pos] != '"') return false;
        ++pos;
        return skipEscaped(s, pos, '"') && pos == s.size();
    }
    if (rest("dword:")) {
        if (s.size() - pos != 8) return false;
        for (; pos < s.size(); ++pos)
            if (hexDigit(s[pos]) < 0) return false;
        return true;
    }
    if (!rest("hex:") && !(rest("hex(") && skipType(s, pos))) return false;
    while (pos < s.size()) {
        if (s[pos] == ',' || s[pos] == ' ' || s[pos] == '\t') {
            ++pos;
            continue;
        }
        if (pos + 1 >= s.size() || hexDigit(s[pos]) < 0 || hexDigit(s[pos + 1]) < 0) return false;
        pos += 2;
    }
    return true;
}

// The folded name of a value from its escaped text.
void foldValueName(std::string_view escaped, bool named, std::string& out) {
    out.assign(named ? escaped : std::string_view());
    for (char& c : out) {
        if (c == '\\' || static_cast<unsigned char>(c) >= 0x80) {
            std::string quoted(escaped);
            quoted += '"';
            size_t pos = 0;
            Units u;
            unescape(quoted, pos, '"', u);
            out = foldName(fromUnits(u));
            return;
        }
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
}

// The folded value names of one section, to find a name listed twice.
class SeenNames {
public:
    void clear() {
        pool_.clear();
        ends_.clear();
        many_.clear();
    }
    // False when the name was there already.
    bool add(const std::string& folded) {
        if (ends_.size() >= 64) return many_.insert(folded).second;
        for (size_t i = 0, start = 0; i < ends_.size(); start = ends_[i++])
            if (std::string_view(pool_).substr(start, ends_[i] - start) == folded) return false;
        pool_ += folded;
        ends_.push_back(pool_.size());
        if (ends_.size() == 64)
            for (size_t i = 0, start = 0; i < ends_.size(); start = ends_[i++])
                many_.insert(pool_.substr(start, ends_[i] - start));
        return true;
    }

private:
    std::string pool_;
    std::vector<size_t> ends_;
    std::unordered_set<std::string> many_;
};

// The order of folded names, as comparing foldName() of both gives it, without
// folding names that are plain ASCII.
int compareFolded(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 0x80 || y >= 0x80) return foldName(a).compare(foldName(b));
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool isLinkLine(std::string_view line) {
    return line.starts_with("#link") && (line.size() == 5 || line[5] == '\n' || line[5] == '\r');
}

// The key names of a section header's path. Plain paths (ASCII, no escapes
// but the doubled backslash between names) are cut where they stand; others
// are decoded into `decoded` first. "key name not closed" or "empty key name"
// in `why` when the header is not one.
bool headerNames(std::string_view head, std::vector<std::string_view>& names, std::string& decoded,
                 const char*& why) {
    // A plain path (ASCII, no escapes but the doubled backslash between names)
    // is cut where it stands, in one pass; a line holds one line break, at its
    // end, so the first ']' ends it.
    names.clear();
    bool plain = true, empty = false;
    size_t at = 1, start = 1;
    for (; at < head.size() && head[at] != ']'; ++at) {
        const char c = head[at];
        const bool lone = c == '\\' && (at + 1 >= head.size() || head[at + 1] != '\\');
        if (static_cast<unsigned char>(c) >= 0x80 || lone) {
            plain = false;
            break;
        }
        if (c == '\\') {
            empty = empty || at == start;
            names.push_back(head.substr(start, at - start));
            start = ++at + 1;
        }
    }
    if (plain && at < head.size()) {
        if (at == 1) return true;  // the root's own section
        if (empty || at == start) {
            why = "empty key name";
            return false;
        }
        names.push_back(head.substr(start, at - start));
        return true;
    }
    names.clear();
    Units units;
    size_t pos = 1;
    if (!unescape(std::string(head), pos, ']', units)) {
        why = "key name not closed";
        return false;
    }
    decoded = fromUnits(units);
    const std::string_view path = decoded;
    if (path.empty()) return true;
    for (size_t from = 0;;) {
        const size_t end = std::min(path.find('\\', from), path.size());
        if (end == from) {
            why = "empty key name";
            return false;
        }
        names.push_back(path.substr(from, end - from));
        if (end == path.size()) return true;
        from = end + 1;
    }
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


namespace {

// The lines of a text, each with its line break (the last may have none) and
// where it starts.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool next(std::string_view& line, size_t& offset) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        end = end == std::string_view::npos ? text_.size() : end + 1;
        line = text_.substr(pos_, end - pos_);
        offset = pos_;
        pos_ = end;
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// The text or the open file between two offsets, in blocks of whole lines (the
// last line of the range may have no line break). A block from the file stays
// valid until the next one is asked for.
class BlockReader {
public:
    BlockReader(std::string_view text, uint64_t begin, uint64_t end) : text_(text.substr(0, end)), base_(begin) {}
    BlockReader(int fd, uint64_t begin, uint64_t end)
        : fd_(fd), buffer_(size_t{256} << 10, '\0'), base_(begin), limit_(end) {}

    bool next(std::string_view& block, uint64_t& offset, std::string& error) {
        if (fd_ < 0) {
            if (base_ >= text_.size()) return false;
            block = text_.substr(base_);
            offset = base_;
            base_ = text_.size();
            return true;
        }
        // The lines begun in the block given before go first.
        std::memmove(buffer_.data(), buffer_.data() + given_, filled_ - given_);
        base_ += given_;
        filled_ -= given_;
        given_ = 0;
        for (;;) {
            if (!eof_ && filled_ < buffer_.size()) {
                const uint64_t want = std::min<uint64_t>(buffer_.size() - filled_, limit_ - (base_ + filled_));
                ssize_t n = 0;
                while (want > 0 &&
                       (n = ::pread(fd_, buffer_.data() + filled_, want, static_cast<off_t>(base_ + filled_))) < 0 &&
                       errno == EINTR) {
                }
                if (n < 0) {
                    error = std::strerror(errno);
                    return false;
                }
                eof_ = n == 0;
                filled_ += static_cast<size_t>(n);
                continue;
            }
            if (filled_ == 0) return false;
            size_t end = filled_;
            if (!eof_) {
                const void* last = ::memrchr(buffer_.data(), '\n', filled_);
                if (!last) {  // a line longer than the buffer grows it
                    buffer_.resize(buffer_.size() * 2);
                    continue;
                }
                end = static_cast<size_t>(static_cast<const char*>(last) - buffer_.data()) + 1;
            }
            block = std::string_view(buffer_.data(), end);
            offset = base_;
            given_ = end;
            return true;
        }
    }

    // Where the text read ends.
    uint64_t end() const { return fd_ < 0 ? text_.size() : base_ + filled_; }

private:
    std::string_view text_;
    int fd_ = -1;
    std::string buffer_;
    uint64_t base_ = 0;  // where the buffer's first byte lies in the file
    uint64_t limit_ = 0;
    size_t filled_ = 0, given_ = 0;
    bool eof_ = false;
};

// The first fault met: where its line starts, and why; no place for a read error.
struct Fault {
    static constexpr uint64_t kNowhere = ~uint64_t{0};
    uint64_t offset = kNowhere;
    std::string why;
};

// Finds the sections of one part of the file without reading their values. A
// part begins at the file's start (the lines before the first section then go
// to `preamble`) or at a section's header. `onHeader(line, offset)` gets each
// header line and gives null or why it is not one; `onEnd(size, link,
// trailer)` gets the end of each section. False at the first fault.
//
// Only lines that begin with '[' (a header) or '#' (a "#link" among them) are
// looked at: a value's text holds no line break, and its continuation lines
// begin with blanks, so neither can begin a line inside a value.
template <class OnHeader, class OnEnd>
bool scanSections(BlockReader& reader, std::string* preamble, OnHeader onHeader, OnEnd onEnd, Fault& fault) {
    std::string_view block;
    uint64_t base = 0;
    bool inSection = false, link = false;
    uint64_t start = 0;
    // The last two bytes before the block: a section whose text ends in two
    // line breaks is followed by a blank line.
    char last = 0, beforeLast = 0;
    while (reader.next(block, base, fault.why)) {
        // The next line at or after `from` that begins with `c`; each block begins a line.
        auto lineStarting = [&](char c, size_t from) {
            while (from < block.size()) {
                const auto* hit = static_cast<const char*>(std::memchr(block.data() + from, c, block.size() - from));
                if (!hit) break;
                const size_t at = static_cast<size_t>(hit - block.data());
                if (at == 0 || block[at - 1] == '\n') return at;
                from = at + 1;
            }
            return std::string_view::npos;
        };
        auto byteBefore = [&](size_t at, size_t back) {
            return at >= back ? block[at - back] : back - at == 1 ? last : beforeLast;
        };
        size_t header = lineStarting('[', 0), hash = lineStarting('#', 0);
        for (size_t pos = 0; pos < block.size();) {
            if (header < pos) header = lineStarting('[', pos);
            if (hash < pos) hash = lineStarting('#', pos);
            const size_t at = std::min(header, hash);
            if (!inSection && preamble) *preamble += block.substr(pos, at - pos);
            if (at == std::string_view::npos) break;
            size_t end = block.find('\n', at);
            end = end == std::string_view::npos ? block.size() : end + 1;
            const std::string_view line = block.substr(at, end - at);
            pos = end;
            if (at == hash) {
                if (inSection)
                    link = link || isLinkLine(line);
                else if (preamble)
                    *preamble += line;
                continue;
            }
            if (inSection) onEnd(base + at - start, link, byteBefore(at, 1) == '\n' && byteBefore(at, 2) == '\n');
            if (const char* why = onHeader(line, base + at)) {
                fault = {base + at, why};
                return false;
            }
            inSection = true;
            link = false;
            start = base + at;
        }
        beforeLast = block.size() >= 2 ? block[block.size() - 2] : last;
        last = block.back();
    }
    if (!fault.why.empty()) return false;
    if (inSection) onEnd(reader.end() - start, link, last == '\n' && beforeLast == '\n');
    return true;
}

// Below this size a file is read in one go; above, in parts by two threads.
constexpr uint64_t kSplitFrom = uint64_t{1} << 20;
constexpr size_t kParts = 6;
// From this size on, each part's keys take huge pages from the start.
constexpr uint64_t kManyFrom = uint64_t{16} << 20;

constexpr std::string_view kFileHeader = "WINE REGISTRY Version 2\n";

}  // namespace

WineRegistryFile::WineRegistryFile() {
    root_ = &newKey();
}

WineRegistryFile::~WineRegistryFile() {
    if (fd_ >= 0) ::close(fd_);
    for (auto& [block, made] : keys_)
        for (size_t i = 0; i < made; ++i) block[i].~WineKey();
}

// The section whose header line begins first at or after `from`; `size` when none does.
uint64_t WineRegistryFile::sectionAfter(uint64_t from, uint64_t size) const {
    std::string window;
    std::string ignored;
    for (uint64_t at = from > 0 ? from - 1 : 0; at + 1 < size; at += window.size() - 1) {
        window.clear();
        if (!readRange(at, std::min<uint64_t>(size - at, 1 << 16), window, ignored) || window.size() < 2)
            return size;
        if (const size_t found = window.find("\n["); found != std::string::npos) return at + found + 1;
    }
    return size;
}

bool WineRegistryFile::addSections(const WineRegistryFile& source, uint64_t begin, uint64_t end,
                                   std::string* preamble, uint64_t& faultAt, std::string& why) {
    BlockReader blocks = source.fd_ >= 0 ? BlockReader(source.fd_, begin, end) : BlockReader(source.text_, begin, end);
    // The keys of the header before, so that a path that shares its beginning
    // with it is not looked up again from the root.
    std::vector<WineKey*> chain;
    std::vector<std::string_view> names;
    std::string decoded;
    WineKey* key = nullptr;
    auto addSection = [&](std::string_view line, uint64_t offset) -> const char* {
        const char* bad = nullptr;
        if (!headerNames(line, names, decoded, bad)) return bad;
        size_t same = 0;
        while (same < names.size() && same < chain.size() && chain[same]->name == names[same]) ++same;
        chain.resize(same);
        key = same ? chain.back() : root_;
        for (size_t i = same; i < names.size(); ++i) {
            key = insertKey(*key, names[i]);
            chain.push_back(key);
        }
        if (key->hasSection) return "key listed twice";
        key->hasSection = true;
        key->offset = static_cast<uint32_t>(offset);
        order_.push_back(key);
        return nullptr;
    };
    auto endSection = [&](uint64_t bytes, bool link, bool trailer) {
        key->size = static_cast<uint32_t>(bytes);
        key->link = link;
        key->trailer = trailer;
    };
    Fault fault;
    const bool ok = scanSections(blocks, preamble, addSection, endSection, fault);
    faultAt = fault.offset;
    why = std::move(fault.why);
    return ok;
}

// Moves the subkeys of `from`, a key of a later part of the file read on its
// own, below `into`; a key in both keeps the one section it may have. `twice`
// gets the first offset of a section listed in both.
void WineRegistryFile::adopt(WineKey& into, WineKey& from, uint64_t& twice) {
    auto& mine = into.children;
    auto& theirs = from.children;
    if (theirs.empty()) return;
    if (!mine.empty() && compareFolded(mine.back()->name, theirs.front()->name) >= 0) {
        // Names in both: merged in folded order.
        decltype(into.children) merged(mine.get_allocator());
        merged.reserve(mine.size() + theirs.size());
        size_t a = 0, b = 0;
        while (a < mine.size() || b < theirs.size()) {
            const int order = a == mine.size()     ? 1
                              : b == theirs.size() ? -1
                                                   : compareFolded(mine[a]->name, theirs[b]->name);
            if (order < 0) {
                merged.push_back(mine[a++]);
                continue;
            }
            WineKey* other = theirs[b++];
            if (order > 0) {
                other->parent = &into;
                merged.push_back(other);
                continue;
            }
            WineKey* same = mine[a++];
            merged.push_back(same);
            if (other->hasSection) {
                if (same->hasSection) {
                    twice = std::min<uint64_t>(twice, other->offset);
                } else {
                    same->hasSection = true;
                    same->offset = other->offset;
                    same->size = other->size;
                    same->link = other->link;
                    same->trailer = other->trailer;
                    other->hasSection = false;
                    other->parent = same;  // where its place in the order goes
                }
            }
            adopt(*same, *other, twice);
        }
        mine = std::move(merged);
        return;
    }
    // The usual case: Wine writes keys in order, so they all come after.
    for (WineKey* k : theirs) {
        k->parent = &into;
        mine.push_back(k);
    }
}

bool WineRegistryFile::build(uint64_t size, uint64_t splitFrom, std::string& error) {
    auto failed = [&](uint64_t at, const std::string& why) {
        error = at == Fault::kNowhere ? why : "line " + std::to_string(lineAt(at)) + ": " + why;
        return false;
    };
    // A big file is read in parts, each from a section's header on and into a
    // tree of its own, by this thread and one more, each taking the next part
    // left; the trees are joined to this one in the file's order afterwards.
    // More parts than threads keep both busy where keys lie denser in one half.
    const size_t count = size >= splitFrom ? kParts : 1;
    const bool many = size >= kManyFrom;
    if (many) arena_.holdMany();
    std::vector<uint64_t> cuts{0};
    for (size_t n = 1; n < count; ++n) cuts.push_back(std::max(cuts.back(), sectionAfter(size * n / count, size)));
    cuts.push_back(size);
    struct Part {
        std::unique_ptr<WineRegistryFile> file;
        uint64_t faultAt = Fault::kNowhere;
        std::string why;
        bool ok = true;
    };
    std::vector<Part> parts(count);
    std::atomic<size_t> next{1};
    auto readParts = [&] {
        for (size_t n; (n = next++) < count;) {
            if (cuts[n] == cuts[n + 1]) continue;
            Part& part = parts[n];
            part.file = std::make_unique<WineRegistryFile>();
            if (many) part.file->arena_.holdMany();
            part.ok = part.file->addSections(*this, cuts[n], cuts[n + 1], nullptr, part.faultAt, part.why);
        }
    };
    std::thread worker;
    // Waited for however this function ends.
    struct Join {
        std::thread& thread;
        ~Join() {
            if (thread.joinable()) thread.join();
        }
    } join{worker};
    if (count > 1) worker = std::thread(readParts);
    uint64_t faultAt = Fault::kNowhere;
    std::string why;
    const bool ok = addSections(*this, 0, cuts[1], &preamble_, faultAt, why);
    readParts();
    if (worker.joinable()) worker.join();
    if (!ok && faultAt == Fault::kNowhere) return failed(faultAt, why);  // it could not be read
    if (!preamble_.starts_with(kFileHeader)) {
        error = "not a Wine registry file (no \"WINE REGISTRY Version 2\" header)";
        return false;
    }
    if (!ok) return failed(faultAt, why);

    // The first fault in the file's order is the one told.
    for (Part& part : parts) {
        if (!part.file) continue;
        uint64_t twice = Fault::kNowhere;
        adopt(*root_, part.file->root(), twice);
        if (twice != Fault::kNowhere) return failed(twice, "key listed twice");
        if (!part.ok) return failed(part.faultAt, part.why);
        order_.reserve(order_.size() + part.file->order_.size());
        for (WineKey* k : part.file->order_) order_.push_back(k->hasSection ? k : k->parent);
        part.file->order_.clear();
        parts_.push_back(std::move(part.file));
    }
    return true;
}

// The number of the line that starts at `offset`; 0 when the file cannot be read again.
size_t WineRegistryFile::lineAt(uint64_t offset) const {
    size_t line = 1;
    std::string chunk, ignored;
    for (uint64_t at = 0; at < offset; at += chunk.size()) {
        chunk.clear();
        if (!readRange(at, std::min<uint64_t>(offset - at, 1 << 20), chunk, ignored)) return 0;
        line += static_cast<size_t>(std::count(chunk.begin(), chunk.end(), '\n'));
    }
    return line;
}

std::unique_ptr<WineRegistryFile> WineRegistryFile::parse(std::string text, std::string& error, uint64_t splitFrom) {
    auto file = std::make_unique<WineRegistryFile>();
    file->text_ = std::move(text);
    if (!file->build(file->text_.size(), splitFrom, error)) return nullptr;
    return file;
}

std::unique_ptr<WineRegistryFile> WineRegistryFile::open(const std::string& path, std::string& error,
                                                         struct stat* identity) {
    uint64_t size = 0;
    const int fd = openBoundedFile(path, readLimits::kRegistryFile, size, &error);
    if (fd < 0) return nullptr;
    auto file = std::make_unique<WineRegistryFile>();
    file->fd_ = fd;
    file->path_ = path;
    if (identity && ::fstat(fd, identity) != 0) {
        error = path + ": cannot be read (" + std::strerror(errno) + ")";
        return nullptr;
    }
    std::string why;
    if (!file->build(size, kSplitFrom, why)) {
        error = path + ": " + why;
        return nullptr;
    }
    return file;
}

bool WineRegistryFile::readRange(uint64_t offset, uint64_t size, std::string& out, std::string& error) const {
    if (fd_ < 0) {
        out.append(text_, offset, size);
        return true;
    }
    const size_t start = out.size();
    out.resize(start + size);
    for (uint64_t done = 0; done < size;) {
        const ssize_t n = ::pread(fd_, out.data() + start + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            out.resize(start);
            error = path_ + ": cannot be read again (" +
                    (n < 0 ? std::string(std::strerror(errno)) : std::string("it was cut short meanwhile")) + ")";
            return false;
        }
        done += static_cast<uint64_t>(n);
    }
    return true;
}

bool WineRegistryFile::decode(const WineKey& key, WineSection& out, std::string& error) const {
    out = {};
    if (!key.hasSection) return true;
    std::string text;
    if (!readRange(key.offset, key.size, text, error)) return false;
    // A section's lines are checked when the program first looks inside it;
    // one it cannot read is never written anew (the others are copied as they stand).
    auto fail = [&](size_t at, const char* why) {
        error = (path_.empty() ? std::string() : path_ + ": ") + "line " +
                std::to_string(lineAt(key.offset + at)) + ": " + why;
        return false;
    };
    auto continues = [](std::string_view v) {
        return v.ends_with("\\\n") && v.find("=hex") != std::string_view::npos;
    };
    LineReader reader(text);
    std::string_view line;
    size_t offset = 0;
    reader.next(line, offset);
    out.header.assign(line);
    bool first = true;
    SeenNames seen;
    std::string joined, folded;
    while (reader.next(line, offset)) {
        if (first && line.starts_with("#time=")) {
            out.header += line;
            first = false;
            continue;
        }
        first = false;
        if (line == "\n") {
            out.trailer += line;
            continue;
        }
        if (!out.trailer.empty()) return fail(offset, "text after a blank line inside a key");
        if (line[0] == '#') {
            out.meta.emplace_back(line);
            continue;
        }
        if (line[0] != '"' && line[0] != '@') return fail(offset, "not a value");
        // A value line and those that continue it.
        const size_t valueAt = offset;
        WineValue v;
        v.raw.assign(line);
        joined.assign(line);
        while (continues(joined) && reader.next(line, offset)) {
            const size_t lead = line.find_first_not_of(" \t");
            if (lead == std::string_view::npos) return fail(offset, "broken continuation");
            joined.resize(joined.size() - 2);
            joined.append(line.substr(lead));
            v.raw += line;
        }
        if (joined.back() == '\n') joined.pop_back();
        std::string_view name;
        bool named = false;
        if (!checkValue(joined, name, named) || !parseValue(joined, v))
            return fail(valueAt, "value not understood");
        foldValueName(name, named, folded);
        if (!seen.add(folded)) return fail(valueAt, "value listed twice");
        out.values.push_back(std::move(v));
    }
    return true;
}

std::vector<FilePiece> WineRegistryFile::pieces() const {
    std::vector<FilePiece> out{FilePiece{preamble_}};
    auto text = [&]() -> std::string& {
        if (out.back().from >= 0) out.emplace_back();
        return out.back().text;
    };
    for (size_t n = 0; n < order_.size();) {
        const WineKey& key = *order_[n];
        if (key.section) {
            const WineSection& s = *key.section;
            std::string& t = text();
            t += s.header;
            for (const auto& m : s.meta) t += m;
            for (const auto& v : s.values) t += v.raw.empty() ? wineValueText(v) : v.raw;
            if (s.trailer.empty() && n + 1 < order_.size())
                t += '\n';
            else
                t += s.trailer;
            ++n;
            continue;
        }
        // Untouched sections that follow each other in the file go as one piece.
        size_t m = n + 1;
        uint64_t end = uint64_t{key.offset} + key.size;
        while (m < order_.size() && !order_[m]->section && order_[m - 1]->trailer && order_[m]->offset == end)
            end += order_[m++]->size;
        if (fd_ >= 0)
            out.push_back({{}, fd_, key.offset, end - key.offset});
        else
            text().append(text_, key.offset, end - key.offset);
        if (!order_[m - 1]->trailer && m < order_.size()) text() += '\n';
        n = m;
    }
    return out;
}

bool WineRegistryFile::serialize(std::string& out, std::string& error) const {
    out.clear();
    for (const FilePiece& piece : pieces())
        if (piece.from < 0)
            out += piece.text;
        else if (!readRange(piece.offset, piece.size, out, error))
            return false;
    return true;
}

WineKey* WineRegistryFile::child(const WineKey& key, std::string_view name) const {
    const auto it = std::lower_bound(key.children.begin(), key.children.end(), name,
                                     [](const WineKey* k, std::string_view n) { return compareFolded(k->name, n) < 0; });
    return it != key.children.end() && compareFolded((*it)->name, name) == 0 ? *it : nullptr;
}

WineKey* WineRegistryFile::find(const std::vector<std::string>& names) const {
    WineKey* key = root_;
    for (const auto& name : names)
        if (!(key = child(*key, name))) return nullptr;
    return key;
}

// The subkey of that name, made when there is none. Wine writes the keys of a
// file in an order close to that of their folded names, so a new one mostly
// goes last.
WineKey* WineRegistryFile::insertKey(WineKey& parent, std::string_view name) {
    auto& kids = parent.children;
    auto at = kids.end();
    if (!kids.empty()) {
        const int last = compareFolded(kids.back()->name, name);
        if (last == 0) return kids.back();
        if (last > 0) {
            at = std::lower_bound(kids.begin(), kids.end(), name,
                                  [](const WineKey* k, std::string_view n) { return compareFolded(k->name, n) < 0; });
            if (compareFolded((*at)->name, name) == 0) return *at;
        }
    }
    WineKey& made = newKey();
    auto* text = static_cast<char*>(arena_.allocate(name.size(), 1));
    std::memcpy(text, name.data(), name.size());
    made.name = std::string_view(text, name.size());
    made.parent = &parent;
    kids.insert(at, &made);
    return &made;
}

void* WineArena::allocate(size_t bytes, size_t align) {
    size_t skip = (align - reinterpret_cast<uintptr_t>(at_) % align) % align;
    if (skip + bytes > left_) {
        // A small file's arena stays small; a big one's comes in huge pages,
        // whose first touch costs one fault instead of five hundred.
        constexpr size_t kHuge = size_t{2} << 20;
        Block block{nullptr, std::max<size_t>(size_t{64} << 10, bytes + align), false};
        if (total_ >= kHuge || big_) {
            block.size = (bytes + align + kHuge - 1) / kHuge * kHuge;
            void* raw = ::mmap(nullptr, block.size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (raw != MAP_FAILED) {
                const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
                const uintptr_t aligned = (start + kHuge - 1) / kHuge * kHuge;
                if (aligned > start) ::munmap(raw, aligned - start);
                if (const size_t tail = start + kHuge - aligned)
                    ::munmap(reinterpret_cast<void*>(aligned + block.size), tail);
                block.at = reinterpret_cast<void*>(aligned);
                block.mapped = true;
                ::madvise(block.at, block.size, MADV_HUGEPAGE);  // only a hint
            }
        }
        if (!block.at) block.at = ::operator new(block.size);
        blocks_.push_back(block);
        at_ = static_cast<std::byte*>(block.at);
        left_ = block.size;
        total_ += block.size;
        skip = (align - reinterpret_cast<uintptr_t>(at_) % align) % align;
    }
    std::byte* const given = at_ + skip;
    at_ = given + bytes;
    left_ -= skip + bytes;
    return given;
}

WineArena::~WineArena() {
    for (const Block& b : blocks_)
        if (b.mapped)
            ::munmap(b.at, b.size);
        else
            ::operator delete(b.at);
}

WineKey& WineRegistryFile::newKey() {
    constexpr size_t kBlock = 1024;
    if (keysLeft_ == 0) {
        keys_.emplace_back(static_cast<WineKey*>(arena_.allocate(kBlock * sizeof(WineKey), alignof(WineKey))), 0);
        keysLeft_ = kBlock;
    }
    --keysLeft_;
    auto& [block, made] = keys_.back();
    WineKey* key = new (block + made++) WineKey;
    key->children = decltype(key->children)(WineArenaAllocator<WineKey*>(&arena_));
    return *key;
}

WineKey* WineRegistryFile::create(const std::vector<std::string>& names, bool* created) {
    WineKey* key = root_;
    bool made = false;
    for (const auto& name : names) {
        if (WineKey* found = child(*key, name)) {
            key = found;
            made = false;
            continue;
        }
        key = insertKey(*key, name);
        made = true;
    }
    // A new key without subkeys must have a section, or Wine would not see it.
    std::string ignored;  // a new key's section is made, not read
    if (made) touch(*key, ignored);
    if (created) *created = made;
    return key;
}

const WineSection* WineRegistryFile::view(const WineKey& key, WineSection& scratch, std::string& error) const {
    if (key.section) return key.section.get();
    return decode(key, scratch, error) ? &scratch : nullptr;
}

WineSection* WineRegistryFile::edit(WineKey& key, std::string& error) {
    if (!key.section) {
        auto section = std::make_unique<WineSection>();
        if (!decode(key, *section, error)) return nullptr;
        key.section = std::move(section);
    }
    return key.section.get();
}

bool WineRegistryFile::touch(WineKey& key, std::string& error) {
    if (!key.parent) return true;
    WineSection* section = edit(key, error);
    if (!section) return false;
    // FILETIME: 100 ns ticks since 1601.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const uint64_t ticks = static_cast<uint64_t>(now.tv_sec) * 10000000ULL +
                           static_cast<uint64_t>(now.tv_nsec) / 100 + 116444736000000000ULL;
    char buf[64];
    std::snprintf(buf, sizeof buf, "] %u\n#time=%x%08x\n",
                  static_cast<unsigned>(now.tv_sec), static_cast<unsigned>(ticks >> 32),
                  static_cast<unsigned>(ticks & 0xFFFFFFFFu));
    section->header = "[" + wineEscape(keyPath(key), true) + buf;
    key.changed = true;
    if (!key.hasSection) {
        key.hasSection = true;
        section->trailer = "\n";
        place(key);
    }
    return true;
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
    auto& kids = parent->children;
    kids.erase(std::remove(kids.begin(), kids.end(), &key), kids.end());
    std::string ignored;  // a key without a section gets a new one, nothing is read
    if (parent->parent && kids.empty() && !parent->hasSection) touch(*parent, ignored);
}

}  // namespace vornak::platform::posix
