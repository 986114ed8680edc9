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

TextLines readLanguageLines(std::string_view bytes) {
    const size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos) {
        bytes = bytes.substr(0, nul);
    }
    TextLines lines = splitLines(decodeLanguageText(bytes));
    removeCommentLines(lines);
    return lines;
}

}  // namespace vornak
