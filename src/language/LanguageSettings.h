// The language choice kept in the settings key between runs.
#pragma once

#include <string>

namespace vornak {

// The language to apply at start-up: the stored "lang" value under
// "\SOFTWARE\Vornak\Uninstaller\" (root "LM"), or "English"
// when it is empty. A registry failure raises SilentAbort, as every read does.
std::string storedLanguage();

// Writes `name` (the current language, possibly empty) as "lang"; false when
// the write failed, which the close handling ignores.
bool saveLanguage(const std::string& name);

}  // namespace vornak
