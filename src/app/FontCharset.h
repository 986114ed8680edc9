// Windows keeps a character set number with every font; Qt has none. We keep
// the number beside the QFont (it is what the settings store) and derive one
// for a font chosen in the dialog from the writing systems its family covers.
#pragma once

#include <QString>
#include <optional>
#include <string>

namespace vornak::app {

inline constexpr int kAnsiCharset = 0;

// The character set a font family is best described by: ANSI for families
// with Latin letters, else the first other script it covers.
int charsetForFamily(const QString& family);

// A whole number the way the settings hold one: optional blanks, an optional
// sign, decimal digits, nothing after them. nullopt for anything else or a
// number out of the int range.
std::optional<int> parseWholeNumber(const std::string& text);

}  // namespace vornak::app
