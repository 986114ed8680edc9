// Reading a language file into text lines.
#include "language/LanguageFile.h"

#include <algorithm>

#include "language/TextEncoding.h"

namespace vornak {

TextLines splitLines(std::string_view text) {
    TextLines lines;
    size_t start = 0;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(text.substr(start, i - start));
        i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

void removeCommentLines(TextLines& lines) {
    std::erase_if(lines, [](const std::string& line) { return !line.empty() && line[0] == ';'; });
}

TextLines readLanguageLines(std::string_view bytes, size_t* firstCutLine) {
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
        bytes = bytes.substr(0, nul);
    }
    TextLines lines = splitLines(decodeLanguageText(bytes));
    if (firstCutLine) {
        *firstCutLine = 0;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string& line = lines[i];
        if (line.size() <= kMaxLanguageLineCharacters || line[0] == ';') {
            continue;
        }
        // The decoded text is UTF-8: count the bytes that begin a character.
        size_t characters = 0;
        size_t at = 0;
        for (; at < line.size(); ++at) {
            if ((static_cast<unsigned char>(line[at]) & 0xC0) != 0x80 &&
                ++characters > kMaxLanguageLineCharacters) {
                break;
            }
        }
        if (at < line.size()) {
            line.resize(at);
            if (firstCutLine && *firstCutLine == 0) {
                *firstCutLine = i + 1;
            }
        }
    }
    removeCommentLines(lines);
    return lines;
}

}  // namespace vornak
