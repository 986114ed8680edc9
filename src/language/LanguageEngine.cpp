// ChangeLang, LangShit and the Language menu.
#include "language/LanguageEngine.h"

#include <exception>
#include <optional>

#include "language/LanguageLocale.h"

namespace vornak {

namespace {

constexpr std::string_view kMenuPrefix = "langMenu";

char asciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool startsWithIgnoringCase(std::string_view text, size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) {
        return false;
    }
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (asciiLower(text[at + i]) != asciiLower(prefix[i])) {
            return false;
        }
    }
    return true;
}

// Every entry counts, whatever its attributes, as the folder lists it.
constexpr uint32_t kAnyAttributes = platform::kAttrReadOnly | platform::kAttrHidden |
                                    platform::kAttrSystem | platform::kAttrVolumeLabel |
                                    platform::kAttrDirectory | platform::kAttrArchive;

// The menu lists "*.lng" without regard to letter case, so where file names
// distinguish case the file a name stands for is looked up the same way.
std::optional<std::string> readLanguageFile(const platform::FileSystem& fs,
                                            const std::string& path) {
    if (std::optional<std::string> bytes = fs.readFile(path)) {
        return bytes;
    }
    if (path.find_first_of("*?") != std::string::npos) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    fs.findFiles(path, kAnyAttributes & ~platform::kAttrDirectory,
                 [&](const platform::DirEntry& entry) {
                     if (!found) {
                         found = entry.name;
                     }
                 });
    if (!found) {
        return std::nullopt;
    }
    return fs.readFile(path.substr(0, path.find_last_of('\\') + 1) + *found);
}

}  // namespace

std::string languageErrorText(const std::string& name) {
    return "(Message in English) An error has occurred with the language you have chosen (" + name +
           "), you should choose another language!";
}

std::string languageFromMenuIdentifier(std::string_view identifier) {
    // One pass over the identifier: what a removal joins together is not
    // looked at again.
    std::string name;
    size_t i = 0;
    while (i < identifier.size()) {
        if (startsWithIgnoringCase(identifier, i, kMenuPrefix)) {
            i += kMenuPrefix.size();
        } else {
            name += identifier[i++];
        }
    }
    return name;
}

bool isValidMenuIdentifier(std::string_view text) {
    for (const char c : text) {
        const bool ok =
            (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        if (!ok) {
            return false;
        }
    }
    return true;
}

std::vector<LanguageMenuItem> languageMenuItems(const std::vector<std::string>& fileNames) {
    std::vector<LanguageMenuItem> items;
    for (const std::string& fileName : fileNames) {
        const size_t dot = fileName.rfind('.');
        std::string label = dot == std::string::npos ? fileName : fileName.substr(0, dot);
        std::string identifier = std::string(kMenuPrefix) + label;
        // A file that cannot be a menu item is left out; the others still are.
        if (!isValidMenuIdentifier(identifier)) {
            continue;
        }
        const int image = label == "Danish" ? kDanishFlagImage : -1;
        items.push_back({std::move(label), std::move(identifier), image});
    }
    return items;
}

LanguageEngine::LanguageEngine(LanguageSink& sink, std::shared_ptr<platform::FileSystem> fileSystem,
                               MessageCatalogue& catalogue)
    : sink_(sink), fs_(std::move(fileSystem)), catalogue_(catalogue) {}

void LanguageEngine::ChangeLang(const std::string& name) {
    const std::string path = fs_->programFolder() + "lang\\" + name + ".lng";
    currentLanguage_ = name;
    try {
        const std::optional<std::string> bytes = readLanguageFile(*fs_, path);
        if (!bytes) {
            throw std::runtime_error("cannot read " + path);
        }
        lines_ = readLanguageLines(*bytes);
        sink_.setLocale(languageLocale(name));
        for (const TranslationRow& row : translationTable()) {
            applyRow(row);
        }
        // A file written before a line was added keeps its other texts; the
        // missing ones speak English.
        for (const AddedLine& added : addedLines()) {
            const auto line = static_cast<size_t>(added.role);
            catalogue_.set(added.role, line < lines_.size()
                                           ? transformLine(LineTransform::BreakLf, lines_[line])
                                           : std::string(added.english));
        }
        bool fits = true;
        sink_.setStatusText(statusCountText(int64_t{sink_.visibleRowCount()}, catalogue_, &fits));
        if (!fits) {
            throw FormatError("fmtStatusCount does not take one integer");
        }
    } catch (const std::exception&) {
        sink_.showMessage(languageErrorText(name));
    }
}

void LanguageEngine::applyRow(const TranslationRow& row) {
    if (static_cast<size_t>(row.line) >= lines_.size()) {
        throw std::out_of_range("language file has no line " + std::to_string(row.line));
    }
    std::string text = transformLine(row.transform, lines_[static_cast<size_t>(row.line)]);
    const Target& target = row.target;
    switch (target.kind) {
        case TargetKind::None:
            break;
        case TargetKind::Message:
            catalogue_.set(target.message, std::move(text));
            break;
        case TargetKind::ScrollingText:
            // Taken as a string list takes a whole text: a break at the very end
            // adds no empty line.
            sink_.setScrollingText(target, splitLines(text));
            break;
        default:
            sink_.setText(target, text);
            break;
    }
}

void LanguageEngine::LangShit(const std::string& senderIdentifier) {
    ChangeLang(languageFromMenuIdentifier(senderIdentifier));
}

int LanguageEngine::BuildLanguageMenu() {
    std::vector<std::string> fileNames;
    fs_->findFiles(fs_->programFolder() + "lang\\*.lng", kAnyAttributes,
                   [&](const platform::DirEntry& entry) { fileNames.push_back(entry.name); });
    int added = 0;
    try {
        for (const LanguageMenuItem& item : languageMenuItems(fileNames)) {
            sink_.addLanguageMenuItem(item);
            ++added;
        }
    } catch (const std::exception&) {
        // The menu keeps what it has; the program goes on without a word.
    }
    return added;
}

}  // namespace vornak
