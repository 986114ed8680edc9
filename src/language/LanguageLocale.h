// Which locale a language file stands for, by its name: the one place that
// knows that "Danish" is "da". The toolkit's own texts (Yes, No, the file and
// font dialogs) follow it; a language not listed here leaves them English.
#pragma once

#include <string>
#include <string_view>

namespace vornak {

// The locale ("da", "pt_BR") of the language named `languageName` (a language
// file's name without ".lng", compared without regard to ASCII letter case);
// empty when the name is none this program knows.
std::string languageLocale(std::string_view languageName);

}  // namespace vornak
