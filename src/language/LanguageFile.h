// Language file content: the bytes of a ".lng" file turned into its text lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vornak {

using TextLines = std::vector<std::string>;

// Splits at CR LF, lone LF and lone CR; a break at the very end adds no empty
// line. Lines are kept exactly as they stand.
TextLines splitLines(std::string_view text);

// Drops every line whose first character is ';'. A line with blanks before
// the ';' is a text line.
void removeCommentLines(TextLines& lines);

// The longest text line taken from a language file, in characters. Far above
// any caption or the About text; a line of megabytes would only keep the window
// busy laying it out.
inline constexpr size_t kMaxLanguageLineCharacters = 8192;

// The whole reading of a language file: the text ends at the first NUL, is
// decoded (UTF-8 when valid, else Windows-1252), split into lines, and the
// comment lines are removed. Index n of the result is text line n. A text line
// longer than kMaxLanguageLineCharacters is cut there; `firstCutLine` (if
// given) is then the number of the first such line in the file (from 1,
// comment lines counted), else 0.
TextLines readLanguageLines(std::string_view bytes, size_t* firstCutLine = nullptr);

}  // namespace vornak
