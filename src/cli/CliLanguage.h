// The tool speaks the language the settings name, as the window does.
#pragma once

namespace vornak::cli {

// Fills the message catalogue from the language the settings name (English
// when none, or when the settings cannot be read). A language file that
// cannot be read is reported on stderr; its messages then stay English.
void applyLanguage();

}  // namespace vornak::cli
