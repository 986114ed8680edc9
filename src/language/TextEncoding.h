// Decoding of language files: they may be UTF-8 or, like the files made for
// the Windows version, Windows-1252. Texts inside the program are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace vornak {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(std::string_view bytes);

// Every byte as its Windows-1252 character, in UTF-8. The five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the C1 controls
// of the same number, as Windows' own conversion does.
std::string cp1252ToUtf8(std::string_view bytes);

// UTF-8 when the bytes are valid UTF-8 (returned unchanged), else Windows-1252.
// A leading UTF-8 byte-order mark is dropped.
std::string decodeLanguageText(std::string_view bytes);

}  // namespace vornak
