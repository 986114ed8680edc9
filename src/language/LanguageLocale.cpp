#include "language/LanguageLocale.h"

#include <array>
#include <utility>

namespace vornak {
namespace {

// A language file is named by the language's English name, as the shipped
// English.lng and Danish.lng are; these are the names a translator would give.
constexpr std::array<std::pair<std::string_view, std::string_view>, 24> kLocales{{
    {"Arabic", "ar"},  {"Chinese", "zh_CN"}, {"Czech", "cs"},        {"Danish", "da"},
    {"Dutch", "nl"},   {"English", "en"},    {"Finnish", "fi"},      {"French", "fr"},
    {"German", "de"},  {"Greek", "el"},      {"Hebrew", "he"},       {"Hungarian", "hu"},
    {"Italian", "it"}, {"Japanese", "ja"},   {"Korean", "ko"},       {"Norwegian", "nb"},
    {"Polish", "pl"},  {"Portuguese", "pt"}, {"Brazilian", "pt_BR"}, {"Russian", "ru"},
    {"Slovak", "sk"},  {"Spanish", "es"},    {"Swedish", "sv"},      {"Ukrainian", "uk"},
}};

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

}  // namespace

std::string languageLocale(std::string_view languageName) {
    for (const auto& [name, locale] : kLocales)
        if (sameIgnoringCase(name, languageName))
            return std::string(locale);
    return {};
}

}  // namespace vornak
