#include "registry/RegFileParser.h"

#include <optional>
#include <vector>

#include "registry/RegFileText.h"

namespace vornak::registry {
namespace {

using platform::RegRoot;

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader16 = "REGEDIT";
constexpr std::string_view kHeaderWine = "WINE REGISTRY Version 2";
constexpr std::string_view kWineBasePrefix = ";; All keys relative to ";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upper(s[i]) != upper(prefix[i]))
            return false;
    return true;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}

std::string quoteForMessage(std::string_view s) {
    constexpr size_t kMax = 60;
    std::string out = "\"";
    out += s.substr(0, kMax);
    if (s.size() > kMax)
        out += "...";
    return out + "\"";
}

struct CurrentKey {
    RegRoot root;
    std::string path;
    bool deleted;
};

class Parser {
  public:
    Parser(std::string_view text, RegFileFormat format, std::string fileName)
        : format_(format), fileName_(std::move(fileName)) {
        size_t start = 0;
        while (start <= text.size()) {
            size_t end = text.find('\n', start);
            if (end == std::string_view::npos)
                end = text.size();
            std::string_view line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.remove_suffix(1);
            lines_.push_back(line);
            start = end + 1;
        }
    }

    RegFileContent run() {
        content_.format = format_;
        for (index_ = 1; index_ < lines_.size(); ++index_) {
            const int number = static_cast<int>(index_) + 1;
            std::string_view t = trim(lines_[index_]);
            if (t.empty())
                continue;
            if (t.front() == ';') {
                if (format_ == RegFileFormat::Wine2 &&
                    t.substr(0, kWineBasePrefix.size()) == kWineBasePrefix)
                    setWineBase(t.substr(kWineBasePrefix.size()), number);
                continue;
            }
            if (t.front() == '#')
                continue;  // regedit's comment too; Wine's #arch, #time, #link, #class
            if (t.front() == '[') {
                keyLine(t, number);
                continue;
            }
            valueLine(t, number);
        }
        return std::move(content_);
    }

  private:
    [[noreturn]] static void fail(int line, const std::string& reason) {
        throw RegFileError(line, reason);
    }

    // --- keys ---------------------------------------------------------------

    void keyLine(std::string_view t, int line) {
        const size_t close = t.rfind(']');
        if (close == std::string_view::npos)
            fail(line, "a key line must end with ]");
        const std::string_view after = trim(t.substr(close + 1));
        if (!after.empty()) {
            bool ok = after.front() == ';';
            if (format_ == RegFileFormat::Wine2) {  // the key's modification time
                ok = true;
                for (char c : after)
                    if (c < '0' || c > '9')
                        ok = false;
            }
            if (!ok)
                fail(line, "unexpected text after the key name: " + quoteForMessage(after));
        }
        std::string_view inner = t.substr(1, close - 1);
        const bool deletion = !inner.empty() && inner.front() == '-';
        if (deletion)
            inner.remove_prefix(1);

        RegRoot root;
        std::string path;
        if (format_ == RegFileFormat::Wine2) {
            if (deletion)
                fail(line, "a Wine registry file cannot delete keys");
            if (!wineRoot_)
                resolveWineBaseFromFileName(line);
            root = *wineRoot_;
            path = wineUnescape(inner, line);
            if (!wineBase_.empty())
                path = path.empty() ? wineBase_ : wineBase_ + "\\" + path;
        } else {
            const size_t bs = inner.find('\\');
            const std::string rootName(inner.substr(0, bs));
            const auto parsed = platform::rootFromName(rootName);
            if (!parsed)
                fail(line, "unknown root key " + quoteForMessage(rootName));
            root = *parsed;
            if (bs != std::string_view::npos)
                path = std::string(inner.substr(bs + 1));
        }
        while (!path.empty() && path.back() == '\\')
            path.pop_back();
        if (path.find("\\\\") != std::string::npos || (!path.empty() && path.front() == '\\'))
            fail(line, "empty key name in " + quoteForMessage(inner));
        if (deletion && path.empty())
            fail(line, "a root key cannot be deleted");

        current_ = CurrentKey{root, path, deletion};
        RegFileOp op;
        op.kind = deletion ? RegFileOp::DeleteKey : RegFileOp::CreateKey;
        op.line = line;
        op.root = root;
        op.path = std::move(path);
        content_.ops.push_back(std::move(op));
    }

    void setWineBase(std::string_view text, int line) {
        std::string base = wineUnescape(trim(text), line);
        std::string_view b = base;
        while (!b.empty() && b.front() == '\\')
            b.remove_prefix(1);
        if (startsWithNoCase(b, "REGISTRY\\"))
            b.remove_prefix(9);
        if (equalsNoCase(b, "Machine")) {
            wineRoot_ = RegRoot::LocalMachine;
            wineBase_.clear();
        } else if (equalsNoCase(b, "User\\.Default")) {
            wineRoot_ = RegRoot::Users;
            wineBase_ = ".Default";
        } else if (startsWithNoCase(b, "User\\") && b.size() > 5) {
            wineRoot_ = RegRoot::CurrentUser;
            wineBase_.clear();
        } else {
            fail(line, "unknown registry branch " + quoteForMessage(base));
        }
    }

    void resolveWineBaseFromFileName(int line) {
        if (equalsNoCase(fileName_, "system.reg")) {
            wineRoot_ = RegRoot::LocalMachine;
        } else if (equalsNoCase(fileName_, "user.reg")) {
            wineRoot_ = RegRoot::CurrentUser;
        } else if (equalsNoCase(fileName_, "userdef.reg")) {
            wineRoot_ = RegRoot::Users;
            wineBase_ = ".Default";
        } else {
            fail(line,
                 "the file does not say which registry branch it holds "
                 "(\";; All keys relative to ...\" is missing)");
        }
    }

    // --- values -------------------------------------------------------------

    void valueLine(std::string_view t, int line) {
        if (!current_)
            fail(line, "a value must follow a [key] line");
        if (current_->deleted)
            fail(line, "a value cannot follow a key deletion");
        size_t pos = 0;
        std::string name;
        if (t.front() == '@') {
            pos = 1;
        } else if (t.front() == '"') {
            name = quoted(t, pos, line);
        } else {
            fail(line, "a value line must begin with a quoted name or @: " + quoteForMessage(t));
        }
        while (pos < t.size() && isBlank(t[pos]))
            ++pos;
        if (pos >= t.size() || t[pos] != '=')
            fail(line, "= expected after the value name");
        ++pos;
        while (pos < t.size() && isBlank(t[pos]))
            ++pos;
        const std::string_view rest = t.substr(pos);

        RegFileOp op;
        op.line = line;
        op.root = current_->root;
        op.path = current_->path;
        op.name = std::move(name);
        op.kind = RegFileOp::SetValue;

        if (!rest.empty() && rest.front() == '-') {
            expectEnd(rest.substr(1), line);
            op.kind = RegFileOp::DeleteValue;
        } else if (!rest.empty() && rest.front() == '"') {
            size_t p = 0;
            std::string text = quoted(rest, p, line);
            expectEnd(rest.substr(p), line);
            op.type = platform::kRegSz;
            op.data = std::move(text) + '\0';
        } else if (startsWithNoCase(rest, "dword:")) {
            std::string_view digits = rest.substr(6);
            while (!digits.empty() && isBlank(digits.front()))
                digits.remove_prefix(1);  // reg.exe reads "dword:  00000008" too
            uint32_t value = 0;
            size_t n = 0;
            while (n < digits.size() && hexValue(digits[n]) >= 0) {
                value = (value << 4) | static_cast<uint32_t>(hexValue(digits[n]));
                ++n;
            }
            if (n == 0 || n > 8)
                fail(line, "dword: needs 1 to 8 hexadecimal digits");
            expectEnd(digits.substr(n), line);
            op.type = platform::kRegDword;
            for (int i = 0; i < 4; ++i)
                op.data += static_cast<char>((value >> (8 * i)) & 0xFF);
        } else if (startsWithNoCase(rest, "hex")) {
            size_t p = 3;
            op.type = typeSuffix(rest, p, line, "hex");
            op.data = hexBytes(rest.substr(p));
            if (isStringType(op.type) && format_ != RegFileFormat::Regedit4) {
                if (op.data.size() % 2)
                    fail(line, "text data in hex(" + std::to_string(op.type) +
                                   ") must be UTF-16LE, an even number of bytes");
                std::u16string text = leBytesToUtf16(op.data);
                if (format_ == RegFileFormat::Regedit5 && !text.empty() && text.back() != 0)
                    text += u'\0';
                op.data = utf16ToBytes(text);
            } else if (isStringType(op.type) && !op.data.empty() && op.data.back() != '\0') {
                op.data += '\0';
            }
        } else if (format_ == RegFileFormat::Wine2 && startsWithNoCase(rest, "str")) {
            size_t p = 3;
            op.type = typeSuffix(rest, p, line, "str");
            if (p >= rest.size() || rest[p] != '"')
                fail(line, "a quoted text must follow str:");
            std::string text = quoted(rest, p, line);
            expectEnd(rest.substr(p), line);
            op.data = std::move(text) + '\0';
        } else {
            const size_t colon = rest.find(':');
            fail(line, "unknown value type " +
                           quoteForMessage(rest.substr(
                               0, colon == std::string_view::npos ? rest.size() : colon)));
        }
        content_.ops.push_back(std::move(op));
    }

    static bool isStringType(uint32_t type) {
        return type == platform::kRegSz || type == platform::kRegExpandSz ||
               type == platform::kRegMultiSz;
    }

    // After "hex" or "str": ":" alone, or "(N):" with N in hexadecimal.
    uint32_t typeSuffix(std::string_view rest, size_t& p, int line, const char* word) {
        uint32_t type = std::string_view(word) == "hex" ? platform::kRegBinary : platform::kRegSz;
        if (p < rest.size() && rest[p] == '(') {
            ++p;
            size_t n = 0;
            type = 0;
            while (p < rest.size() && hexValue(rest[p]) >= 0) {
                type = (type << 4) | static_cast<uint32_t>(hexValue(rest[p]));
                ++p;
                ++n;
            }
            if (n == 0 || n > 8 || p >= rest.size() || rest[p] != ')')
                fail(line,
                     std::string(word) + "(N): needs a type number of 1 to 8 hexadecimal digits");
            ++p;
        }
        if (p >= rest.size() || rest[p] != ':')
            fail(line, std::string("a colon must follow ") + word);
        ++p;
        return type;
    }

    // Hex bytes after "hex:" or "hex(N):", over as many lines as a trailing
    // backslash continues them, read as reg.exe reads them: the backslash may
    // follow only a comma (or the colon) and only a ;comment may follow it; blank
    // lines and ;comment lines in between are passed over; the line that goes on
    // must begin with a byte; the end of the file ends the data. A value that
    // Windows stores as written also reads alike here (a trailing comma, a
    // ;comment after the data); a byte split over two lines, a lone backslash or
    // a line that goes on with a comma are faults, as for reg.exe.
    std::string hexBytes(std::string_view s) {
        std::string out;
        size_t p = 0;
        auto line = [this] { return static_cast<int>(index_) + 1; };
        auto skipBlanks = [&] {
            while (p < s.size() && isBlank(s[p]))
                ++p;
        };
        for (;;) {
            skipBlanks();
            if (p >= s.size() || s[p] == ';')
                return out;
            if (s[p] == '\\') {
                ++p;
                skipBlanks();
                if (p < s.size() && s[p] != ';')
                    fail(line(),
                         "only a ;comment may follow the backslash that continues hex data");
                const std::optional<std::string_view> next = nextContinuedLine();
                if (!next)
                    return out;  // reg.exe keeps what came before the end of the file
                s = *next;
                p = 0;
                if (hexValue(s.front()) < 0)
                    fail(line(), "a continued line must go on with a hexadecimal byte, not " +
                                     quoteForMessage(s));
                continue;
            }
            int value = 0;
            size_t n = 0;
            while (p < s.size() && hexValue(s[p]) >= 0 && n < 3) {
                value = value * 16 + hexValue(s[p]);
                ++p;
                ++n;
            }
            if (n == 0)
                fail(line(), "a hexadecimal byte expected at " + quoteForMessage(s.substr(p)));
            if (n > 2)
                fail(line(), "hex bytes are two digits each, separated by commas");
            out += static_cast<char>(value);
            if (p < s.size() && s[p] == ',') {
                ++p;
                continue;
            }
            skipBlanks();
            if (p >= s.size() || s[p] == ';')
                return out;
            if (s[p] == '\\')
                fail(line(), "the backslash that continues hex data must follow a comma");
            fail(line(), "hex bytes must be separated by commas");
        }
    }

    // The next line of continued hex data, blank and ;comment lines passed over;
    // nothing at the end of the file.
    std::optional<std::string_view> nextContinuedLine() {
        while (index_ + 1 < lines_.size()) {
            ++index_;
            const std::string_view next = trim(lines_[index_]);
            if (!next.empty() && next.front() != ';')
                return next;
        }
        return std::nullopt;
    }

    static void expectEnd(std::string_view rest, int line) {
        rest = trim(rest);
        if (!rest.empty() && rest.front() != ';')
            fail(line, "unexpected text after the value: " + quoteForMessage(rest));
    }

    // --- quoted texts ---------------------------------------------------------

    // A quoted text starting at s[pos] == '"'; pos ends after the closing quote.
    std::string quoted(std::string_view s, size_t& pos, int line) {
        if (format_ == RegFileFormat::Wine2)
            return wineQuoted(s, pos, line);
        std::string out;
        ++pos;
        while (pos < s.size()) {
            const char c = s[pos++];
            if (c == '"')
                return out;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (pos >= s.size())
                break;
            const char e = s[pos++];
            switch (e) {
                case '\\':
                    out += '\\';
                    break;
                case '"':
                    out += '"';
                    break;
                case 'n':
                    out += '\n';
                    break;  // regedit of Wine writes these two
                case 'r':
                    out += '\r';
                    break;
                default:
                    fail(line, std::string("unknown escape \\") + e +
                                   " in a quoted text (a backslash is written \\\\)");
            }
        }
        fail(line, "the closing quote is missing");
    }

    std::string wineQuoted(std::string_view s, size_t& pos, int line) {
        ++pos;
        const size_t start = pos;
        while (pos < s.size() && s[pos] != '"')
            pos += (s[pos] == '\\' && pos + 1 < s.size()) ? 2 : 1;
        if (pos >= s.size())
            fail(line, "the closing quote is missing");
        std::string text = wineUnescape(s.substr(start, pos - start), line);
        ++pos;
        return text;
    }

    // Wine's escapes: C-style letters, \xHHHH (a UTF-16 unit, 1 to 4 digits) and
    // octal \ooo. Everything else stands for itself, backslash included as \\.
    static std::string wineUnescape(std::string_view s, int /*line*/) {
        std::u16string units;
        std::string run;
        auto flush = [&] {
            units += bytesToUtf16(run);
            run.clear();
        };
        for (size_t p = 0; p < s.size();) {
            const char c = s[p++];
            if (c != '\\' || p >= s.size()) {
                run += c;
                continue;
            }
            const char e = s[p++];
            char16_t unit = 0;
            switch (e) {
                case 'a':
                    unit = 7;
                    break;
                case 'b':
                    unit = 8;
                    break;
                case 'e':
                    unit = 27;
                    break;
                case 'f':
                    unit = 12;
                    break;
                case 'n':
                    unit = '\n';
                    break;
                case 'r':
                    unit = '\r';
                    break;
                case 't':
                    unit = '\t';
                    break;
                case 'v':
                    unit = 11;
                    break;
                case 'x': {
                    size_t n = 0;
                    while (n < 4 && p < s.size() && hexValue(s[p]) >= 0) {
                        unit = static_cast<char16_t>(unit * 16 + hexValue(s[p]));
                        ++p;
                        ++n;
                    }
                    if (n == 0)
                        unit = 'x';
                    break;
                }
                default:
                    if (e >= '0' && e <= '7') {
                        unit = static_cast<char16_t>(e - '0');
                        for (int n = 1; n < 3 && p < s.size() && s[p] >= '0' && s[p] <= '7'; ++n)
                            unit = static_cast<char16_t>(unit * 8 + (s[p++] - '0'));
                    } else if (static_cast<unsigned char>(e) < 0x80) {
                        unit = static_cast<char16_t>(e);
                    } else {
                        run += e;  // a non-ASCII byte after a backslash: keep it literal
                        continue;
                    }
            }
            flush();
            units += unit;
        }
        flush();
        return utf16ToBytes(units);
    }

    RegFileFormat format_;
    std::string fileName_;
    std::vector<std::string_view> lines_;
    size_t index_ = 0;
    std::optional<CurrentKey> current_;
    std::optional<RegRoot> wineRoot_;
    std::string wineBase_;
    RegFileContent content_;
};

}  // namespace

RegFileContent parseRegFile(std::string_view bytes, const std::string& fileName) {
    return parseRegFileText(decodeTextFile(bytes), fileName);
}

RegFileContent parseRegFileTaking(std::string&& bytes, const std::string& fileName) {
    DecodedText decoded = decodeTextFileTaking(std::move(bytes));
    return parseRegFileText(decoded, fileName);
}

RegFileContent parseRegFileText(const DecodedText& decoded, const std::string& fileName) {
    std::string_view text = decoded.text;
    const size_t end = text.find('\n');
    const std::string_view header = trim(text.substr(0, end));
    // Windows knows UTF-16 only by its byte-order mark: without one it reads the
    // file as 8-bit text and finds no header.
    if (decoded.encoding == FileEncoding::Utf16Le && !decoded.byteOrderMark)
        throw RegFileError(1,
                           "UTF-16 text without the byte-order mark that marks it so (regedit "
                           "writes one; reg.exe refuses such a file)");
    RegFileFormat format;
    if (header == kHeader5) {
        format = RegFileFormat::Regedit5;
    } else if (header == kHeader4) {
        format = RegFileFormat::Regedit4;
    } else if (header == kHeaderWine) {
        format = RegFileFormat::Wine2;
    } else if (header == kHeader16) {
        throw RegFileError(1, "the 16-bit REGEDIT format (Windows 3.1) is not read");
    } else if (header.substr(0, kHeader16.size()) == kHeader16) {
        RegFileContent skipped;
        skipped.skippedHeader = std::string(header);
        return skipped;
    } else {
        throw RegFileError(1, "not a registry file: the first line must be \"" +
                                  std::string(kHeader5) + "\", \"" + std::string(kHeader4) +
                                  "\" or \"" + std::string(kHeaderWine) + "\"");
    }
    Parser parser(text, format, fileName);
    return parser.run();
}

}  // namespace vornak::registry
