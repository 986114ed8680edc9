#include "analysis/LogReplay.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <memory>

#include "analysis/AnalysisFiles.h"
#include "analysis/LogRegistryEntry.h"
#include "analysis/RemovalBackup.h"
#include "analysis/SnapshotDifference.h"
#include "analysis/TextLines.h"
#include "analysis/WineMenuFiles.h"
#include "language/MessageCatalogue.h"
#include "registry/RegistryBackup.h"

namespace vornak::analysis {
namespace {

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

using platform::RegAccess;
using platform::RegStatus;

// A broken language text must not end a half-done removal: its arguments
// are then shown after it as they are.
std::string message(Msg role, const std::vector<FormatArg>& args = {}) {
    return messageText(role, args);
}

size_t componentCount(std::string_view apiPath) {
    return apiPath.empty() ? 0 : 1 + std::count(apiPath.begin(), apiPath.end(), '\\');
}

std::optional<int32_t> parseInt32(std::string_view text) {
    int32_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    if (first != last && *first == '+')
        ++first;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last)
        return std::nullopt;
    return value;
}

std::string littleEndian32(int32_t value) {
    const auto bits = static_cast<uint32_t>(value);
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return bytes;
}

}  // namespace

AnalysisLogEntries readAnalysisLog(std::string_view text) {
    AnalysisLogEntries entries;
    for (std::string_view line : splitLines(text)) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            continue;
        const std::string_view tag = line.substr(0, tab);
        std::string rest(line.substr(tab + 1));
        if (tag == kFileAdded)
            entries.addedFiles.push_back(std::move(rest));
        else if (tag == kFileDeleted)
            entries.deletedFiles.push_back(std::move(rest));
        else if (tag == kRegAdded)
            entries.addedRegistry.push_back(std::move(rest));
        else if (tag == kRegDeleted)
            entries.deletedRegistry.push_back(std::move(rest));
        else if (const size_t second = rest.find('\t');
                 tag == kLinkWalked && second != std::string::npos)
            entries.walkedLinks.emplace_back(rest.substr(0, second), rest.substr(second + 1));
    }
    return entries;
}

bool isSafeDrivePath(std::string_view path) {
    if (path.size() < 4 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
        path[2] != '\\')
        return false;
    std::string_view rest = path.substr(3);
    while (true) {
        const size_t end = rest.find('\\');
        const std::string_view part = rest.substr(0, end);
        if (part.empty() || part == "." || part == "..")
            return false;
        if (part.find_first_of(std::string_view("\t\r\n\0/", 5)) != std::string_view::npos)
            return false;
        if (end == std::string_view::npos)
            return true;
        rest.remove_prefix(end + 1);
    }
}

bool removalMayStart(const std::optional<std::string>& selectedLog,
                     const std::vector<RemovalConfirmation>& confirmations,
                     platform::Dialogs& dialogs) {
    if (!selectedLog) {
        dialogs.showMessage(message(Msg::msgNoLogSelected));
        return false;
    }
    for (const auto& box : confirmations) {
        if (!box.ticked) {
            dialogs.showMessage(messages().get(Msg::msgMustConfirm) + box.caption);
            return false;
        }
    }
    return true;
}

LogReplay::LogReplay(const platform::FileSystem& fs, platform::RegistryStore& store,
                     platform::Dialogs& dialogs, AppendLine appendLine)
    : fs_(fs), store_(store), dialogs_(dialogs), append_(std::move(appendLine)) {}

RemovalResult LogReplay::run(const std::string& programFolder, const std::string& logName,
                             const RemovalOptions& options) {
    RemovalResult result;
    // Only a log of the logs folder, found as the list of logs finds it.
    const auto found = findAnalysisLog(fs_, programFolder, logName);
    const std::string logPath = found.value_or(analysisLogPath(programFolder, logName));
    std::optional<std::string> text;
    std::string refusal;
    if (found)
        text = fs_.readFile(*found, platform::readLimits::kAnalysisLog, &refusal);
    else if (fs_.directoryExists(logPath))
        refusal = platform::refusedAsFolder(logPath, platform::readLimits::kAnalysisLog);
    if (!text) {
        dialogs_.showError(messageText(Msg::fmtCannotOpenFile, {logPath}) +
                           (refusal.empty() ? "" : "\n" + refusal));
        return result;
    }
    const AnalysisLogEntries entries = readAnalysisLog(*text);
    text.reset();
    // A registry that takes no changes now (Wine running in the prefix) would
    // keep every key of the program while its files went: then nothing is done.
    if (const std::string why = store_.writeRefusal(); !why.empty()) {
        dialogs_.showError(why);
        return result;
    }

    // The way back for the registry, before anything at all is changed: a
    // removal that cannot keep one does nothing.
    auto registry = store_.accessor();
    if (const auto image = removalImage(entries, *registry); !image.empty()) {
        std::string why;
        const auto backup =
            registry::writeBackup(fs_, registry::backupsFolderIn(programFolder), image,
                                  messages().get(Msg::msgBackupRemoval) + " " + logName, why);
        if (!backup) {
            dialogs_.showError(messageText(Msg::fmtBackupNotWritten, {why}));
            return result;
        }
    }

    removeAddedFiles(entries.addedFiles, entries.walkedLinks, options);
    if (!entries.deletedFiles.empty())
        append_(formatCountMessage(Msg::fmtDeletedFileOne, Msg::fmtDeletedFilesCount,
                                   static_cast<int64_t>(entries.deletedFiles.size())));

    removeAddedRegistry(entries.addedRegistry, *registry);
    if (!restoreDeletedRegistry(entries.deletedRegistry, *registry))
        return result;

    append_(message(Msg::msgRemovalDone));
    result.finished = true;
    const bool deleteLog = options.deleteLog ? *options.deleteLog
                                             : dialogs_.askYesNo(message(Msg::msgDeleteLogQuestion),
                                                                 message(Msg::msgDeleteLogCaption));
    if (deleteLog) {
        result.logDeleted = fs_.deleteFile(logPath);
        result.logDeleteFailed = !result.logDeleted;
        if (result.logDeleteFailed)
            append_(message(Msg::fmtLogNotDeleted, {logPath}));
    }
    return result;
}

void LogReplay::removeAddedFiles(const std::vector<std::string>& entries,
                                 const std::vector<std::pair<std::string, std::string>>& links,
                                 const RemovalOptions& options) {
    using Kind = platform::FileSystem::EntryKind;
    // Wine's menu files of the prefix lie in the user's folders, which a
    // drive of the prefix reaches whole: the removal keeps to the folder
    // Wine wrote them in.
    const auto wineMenu = wineMenuPlaces(store_);
    std::string menuRoot;
    // Behind a link the walk recorded going through, the folder it led to
    // stands for the drive: nothing beyond it, and nothing once the link
    // leads elsewhere. The log only names the link; whether the walk would go
    // through it is the walk's own rule, asked now, and the folder it gives
    // must be the one the log records. A log cannot widen that folder.
    std::vector<std::pair<std::string, std::string>> usable;
    for (const auto& [link, target] : links)
        if (isSafeDrivePath(link) && !target.empty() && fs_.walkableLinkTarget(link) == target)
            usable.emplace_back(link, target);
    auto walkedThrough = [&](const std::string& path) -> const std::string* {
        for (const auto& [link, target] : usable)
            if (path.size() > link.size() + 1 && path[link.size()] == '\\' &&
                equalsAsciiNoCase(std::string_view(path).substr(0, link.size()), link))
                return &target;
        return nullptr;
    };
    // The log is in collation order, where a folder's own line (its path and
    // a tab) comes before everything inside it: backwards, a folder is
    // emptied before it is removed.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const std::string& entry = *it;
        const size_t tab = entry.find('\t');
        const std::string path = entry.substr(0, tab);
        // Where the path really leads, links in its folders followed: a link
        // made after the analysis must not take the removal off the drive.
        Kind kind = isSafeDrivePath(path) ? fs_.entryKind(path) : Kind::Outside;
        const std::string* behind = nullptr;
        if (wineMenu && isSafeDrivePath(path) &&
            !(menuRoot = wineMenuRootOf(fs_, *wineMenu, path, tab != std::string::npos)).empty()) {
            behind = &menuRoot;
            kind = fs_.entryKindWithin(path, menuRoot);
        } else if (kind == Kind::Outside && isSafeDrivePath(path) &&
                   (behind = walkedThrough(path))) {
            kind = fs_.entryKindWithin(path, *behind);
        }
        auto remove = [&](Kind k) {
            return behind ? fs_.removeEntryWithin(path, k, *behind) : fs_.removeEntry(path, k);
        };
        // Into the wastebasket, on the same checks as a deletion.
        auto trash = [&](Kind k, std::string& where, std::string& why) {
            return behind ? fs_.trashEntryWithin(path, k, *behind, where, why)
                          : fs_.trashEntry(path, k, where, why);
        };
        if (kind == Kind::Outside) {
            append_(message(Msg::msgEntrySkipped) + " " + path);
            continue;
        }
        if (tab != std::string::npos) {
            if (kind == Kind::Folder && !remove(kind))
                append_(message(Msg::fmtFolderNotRemoved, {path}));
            continue;
        }
        // A link is a file of its own here, whatever it points to, if anything.
        if (kind != Kind::File && kind != Kind::Link)
            continue;
        if (options.confirmEachFile &&
            !dialogs_.askYesNo(message(Msg::fmtDeleteFileQuestion, {path}),
                               message(Msg::msgDeleteFileCaption)))
            continue;
        if (options.toTrash) {
            std::string where, why;
            if (trash(kind, where, why))
                append_(message(Msg::fmtFileMovedToTrash, {path, where}));
            else
                append_(message(Msg::fmtFileNotMovedToTrash, {path, why}));
            continue;
        }
        if (remove(kind))
            append_(messages().get(Msg::msgFileDeletedPrefix) + path);
        else
            append_(message(Msg::fmtFileNotDeleted, {path}));
    }
}

void LogReplay::removeAddedRegistry(const std::vector<std::string>& entries,
                                    platform::RegistryAccessor& registry) {
    // Values first, backwards; then keys, deepest first, so a key whose
    // children were added too is empty when its turn comes. (The log's order
    // alone does not promise that: HKCR\.ext sorts after .ext\shell.)
    std::vector<RegistryEntry> keys;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        auto entry = parseRegistryEntry(*it);
        if (!entry) {
            append_(message(Msg::msgEntrySkipped));
            continue;
        }
        if (entry->isKey) {
            keys.push_back(std::move(*entry));
            continue;
        }
        std::unique_ptr<platform::RegKey> key;
        const RegStatus opened =
            registry.openKey(entry->root, entry->apiPath, RegAccess::Full, key);
        if (opened == RegStatus::NotFound)
            continue;  // gone already, and its values with it
        const size_t tab = entry->rest.find('\t');
        const std::string name = entry->rest.substr(0, tab);
        platform::RegValue value;
        if (opened != RegStatus::Ok || (registry.queryValue(*key, name, value) == RegStatus::Ok &&
                                        registry.deleteValue(*key, name) != RegStatus::Ok))
            append_(message(Msg::msgEntrySkipped) + " " + *it);
    }

    std::stable_sort(keys.begin(), keys.end(), [](const RegistryEntry& a, const RegistryEntry& b) {
        return componentCount(a.apiPath) > componentCount(b.apiPath);
    });
    for (const RegistryEntry& entry : keys) {
        if (entry.apiPath.empty()) {
            append_(message(Msg::msgEntrySkipped));  // a root is never removed
            continue;
        }
        std::unique_ptr<platform::RegKey> key;
        if (registry.openKey(entry.root, entry.apiPath, RegAccess::Read, key) != RegStatus::Ok)
            continue;
        platform::RegKeyInfo info;
        if (registry.queryInfo(*key, info) != RegStatus::Ok)
            continue;
        key.reset();
        if (info.subkeyCount > 0 || info.valueCount > 0) {
            append_(message(Msg::fmtKeyNotRemoved, {entry.keyPath}));
            continue;
        }
        const size_t cut = entry.apiPath.rfind('\\');
        const std::string parentPath = cut == std::string::npos ? "" : entry.apiPath.substr(0, cut);
        const std::string leaf =
            cut == std::string::npos ? entry.apiPath : entry.apiPath.substr(cut + 1);
        std::unique_ptr<platform::RegKey> parent;
        const RegStatus opened = registry.openKey(entry.root, parentPath, RegAccess::Full, parent);
        const RegStatus deleted =
            opened == RegStatus::Ok ? registry.deleteKey(*parent, leaf) : opened;
        if (deleted == RegStatus::HasSubkeys)
            append_(message(Msg::fmtKeyNotRemoved, {entry.keyPath}));  // filled meanwhile
        else if (deleted != RegStatus::Ok && deleted != RegStatus::NotFound)
            append_(message(Msg::fmtKeyNotDeleted, {entry.keyPath}));
    }
}

bool LogReplay::restoreDeletedRegistry(const std::vector<std::string>& entries,
                                       platform::RegistryAccessor& registry) {
    for (const std::string& text : entries) {
        auto entry = parseRegistryEntry(text);
        if (!entry) {
            append_(message(Msg::msgEntrySkipped));
            continue;
        }
        std::unique_ptr<platform::RegKey> key;
        const RegStatus opened =
            registry.createKey(entry->root, entry->apiPath, RegAccess::Full, key);
        if (entry->isKey)
            continue;
        if (opened != RegStatus::Ok) {
            // A value that cannot be put back must not pass for one that was.
            append_(message(Msg::msgEntrySkipped) + " " + text);
            continue;
        }

        const size_t tab = entry->rest.find('\t');
        if (tab == std::string::npos)
            continue;  // recorded without data: cannot be written back
        const std::string name = entry->rest.substr(0, tab);
        const std::string_view data = std::string_view(entry->rest).substr(tab + 1);

        uint32_t type = 0;
        std::string bytes;
        if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
            type = platform::kRegSz;
            bytes = std::string(data.substr(1, data.size() - 2)) + '\0';
        } else if (data.substr(0, 4) == "int:") {
            const auto number = parseInt32(data.substr(4));
            if (!number) {
                append_(message(Msg::msgEntrySkipped) + " " + text);
                continue;
            }
            type = platform::kRegDword;
            bytes = littleEndian32(*number);
        } else if (data.substr(0, 4) == "exp:") {
            type = platform::kRegExpandSz;
            bytes = std::string(data.substr(4)) + '\0';
        } else {
            // Also a text cut short by a line break inside it: writing what
            // is left of it would store a wrong value.
            append_(message(Msg::msgEntrySkipped));
            continue;
        }
        if (registry.setValue(*key, name, type, bytes) != RegStatus::Ok) {
            dialogs_.showError(messageText(Msg::fmtDataNotSet, {name}));
            return false;
        }
    }
    return true;
}

}  // namespace vornak::analysis
