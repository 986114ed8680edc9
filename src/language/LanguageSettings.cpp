// Reading and writing "lang" through the registry access layer.
#include "language/LanguageSettings.h"

#include "registry/RegistryAccess.h"

namespace vornak {

std::string storedLanguage() {
    std::string name = ReadRegString("LM", kSettingsKeyPath, "lang");
    return name.empty() ? "English" : name;
}

bool saveLanguage(const std::string& name) {
    return WriteRegString("LM", kSettingsKeyPath, "lang", name);
}

}  // namespace vornak
