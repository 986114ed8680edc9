#include "registry/RegistryBackup.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "registry/RegFileParser.h"
#include "registry/RegFileStore.h"
#include "registry/RegFileWriter.h"
#include "registry/RegistryAccess.h"

namespace vornak::registry {
namespace {

constexpr std::string_view kExtension = ".reg";
// "2026-12-09 11-40-05": what every backup's name begins with.
constexpr size_t kStampLength = 19;
// Room for the folder in a path, and for the stamp, a counter and ".reg".
constexpr size_t kLongestWhat = 120;

char separatorOf(std::string_view folder) {
    return !folder.empty() && folder.front() == '/' ? '/' : '\\';
}

std::string inFolder(const std::string& folder, std::string_view name) {
    std::string path = folder;
    const char sep = separatorOf(folder);
    if (path.empty() || path.back() != sep)
        path += sep;
    return path.append(name);
}

std::tm localTime(std::time_t when) {
    std::tm parts{};
#ifdef _WIN32
    localtime_s(&parts, &when);
#else
    localtime_r(&when, &parts);
#endif
    return parts;
}

std::string stamp(std::time_t when) {
    const std::tm t = localTime(when);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d-%02d-%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

// The time a backup's name begins with; nullopt for a name that does not.
std::optional<std::time_t> madeAt(std::string_view name) {
    constexpr std::string_view kPattern = "0000-00-00 00-00-00";
    if (name.size() < kStampLength + kExtension.size())
        return std::nullopt;
    for (size_t i = 0; i < kStampLength; ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (kPattern[i] == '0' ? !digit : name[i] != kPattern[i])
            return std::nullopt;
    }
    const std::string head(name.substr(0, kStampLength));
    int year, month, day, hour, minute, second;
    if (std::sscanf(head.c_str(), "%4d-%2d-%2d %2d-%2d-%2d", &year, &month, &day, &hour, &minute,
                    &second) != 6)
        return std::nullopt;
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    const std::time_t made = std::mktime(&parts);
    if (made == static_cast<std::time_t>(-1))
        return std::nullopt;
    return made;
}

// The counter after the stamp (" (2)"); 1 for the first of its second.
int counterOf(std::string_view name) {
    int counter = 1;
    if (name.size() > kStampLength + 3 && name.substr(kStampLength, 2) == " (")
        std::sscanf(std::string(name.substr(kStampLength + 2, 10)).c_str(), "%d", &counter);
    return counter;
}

// What was done, as part of a file name every file system takes.
std::string fileNameSafe(std::string_view what) {
    std::string safe;
    for (unsigned char c : what) {
        const bool bad =
            c < 0x20 || c == 0x7F ||
            std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos;
        safe += bad ? '_' : static_cast<char>(c);
    }
    if (safe.size() > kLongestWhat) {
        size_t cut = kLongestWhat;
        while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80)
            --cut;  // not inside a character
        safe.resize(cut);
    }
    // Windows drops dots and spaces at the end of a name.
    while (!safe.empty() && (safe.back() == '.' || safe.back() == ' '))
        safe.pop_back();
    return safe;
}

bool endsWithNoCase(std::string_view text, std::string_view end) {
    if (text.size() < end.size())
        return false;
    return std::equal(end.begin(), end.end(), text.end() - static_cast<long>(end.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

}  // namespace

std::string backupsFolderIn(std::string_view ownFolder) {
    return std::string(ownFolder) + "backups";
}

std::string backupsFolder(const platform::FileSystem& fs) {
    return backupsFolderIn(platform::ownFilesFolder(fs, "logs"));
}

platform::RegStatus keyTreeImage(platform::RegistryAccessor& accessor, platform::RegRoot root,
                                 const std::string& path, std::vector<RegFileRestoreKey>& out) {
    std::vector<RegFileKey> tree;
    const platform::RegStatus status = readKeyTree(accessor, root, path, tree);
    if (status == platform::RegStatus::NotFound) {
        RegFileRestoreKey gone;
        gone.key.root = root;
        gone.key.path = path;
        gone.removedOnly = true;
        out.push_back(std::move(gone));
        return platform::RegStatus::Ok;
    }
    if (status != platform::RegStatus::Ok)
        return status;
    for (auto& key : tree) {
        RegFileRestoreKey restore;
        restore.removedFirst = &key == &tree.front();
        restore.key = std::move(key);
        out.push_back(std::move(restore));
    }
    return platform::RegStatus::Ok;
}

std::optional<std::string> writeBackup(const platform::FileSystem& fs, const std::string& folder,
                                       const std::vector<RegFileRestoreKey>& keys,
                                       std::string_view what, std::string& error, std::time_t now) {
    if (!platform::makeFolders(fs, folder)) {
        error = "cannot create the folder " + folder;
        return std::nullopt;
    }
    // The folder's permissions decide, as for the program's other files: a
    // user who may write anywhere still keeps out of a folder made read-only.
    if (!fs.canWriteDirectory(folder)) {
        error = folder + ": " + std::strerror(EACCES);
        return std::nullopt;
    }
    std::vector<std::string> leftOut;
    const std::string bytes = writeRestoringRegFile(keys, &leftOut);
    // A backup that could not hold everything would not put it all back.
    if (!leftOut.empty()) {
        error = leftOut.front() + ": a registry file cannot hold this name";
        return std::nullopt;
    }
    const std::string tail =
        (what.empty() ? "" : " " + fileNameSafe(what)) + std::string(kExtension);
    std::string name = stamp(now) + tail;
    for (int counter = 2; fs.fileExists(inFolder(folder, name)); ++counter)
        name = stamp(now) + " (" + std::to_string(counter) + ")" + tail;
    std::string why;
    if (!fs.writeFile(inFolder(folder, name), bytes, &why)) {
        error = inFolder(folder, name) + ": " + (why.empty() ? "cannot be written" : why);
        return std::nullopt;
    }
    return name;
}

std::vector<BackupFile> listBackups(const platform::FileSystem& fs, const std::string& folder) {
    std::vector<BackupFile> found;
    fs.findFiles(inFolder(folder, "*.reg"), platform::kAttrHidden,
                 [&](const platform::DirEntry& entry) {
                     if (!endsWithNoCase(entry.name, kExtension))
                         return;
                     if (const auto made = madeAt(entry.name))
                         found.push_back({entry.name, *made});
                 });
    std::sort(found.begin(), found.end(), [](const BackupFile& a, const BackupFile& b) {
        if (a.made != b.made)
            return a.made > b.made;
        if (counterOf(a.name) != counterOf(b.name))
            return counterOf(a.name) > counterOf(b.name);
        return a.name > b.name;
    });
    return found;
}

void restoreBackup(const platform::FileSystem& fs, const std::string& folder,
                   platform::RegistryAccessor& accessor, const std::string& name) {
    // A name of the folder, never a path leading out of it.
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos || name == "." ||
        name == "..")
        throw RegFileError(0, name + " is not the name of a backup");
    std::string file = name;
    if (!endsWithNoCase(file, kExtension) && !fs.fileExists(inFolder(folder, file)))
        file += kExtension;
    const std::string path = inFolder(folder, file);
    std::string why;
    std::optional<std::string> bytes = fs.readFile(path, platform::readLimits::kRegistryFile, &why);
    if (!bytes)
        throw RegFileError(0, why.empty() ? path + ": cannot be read" : why);
    applyRegFile(accessor, parseRegFileTaking(std::move(*bytes), file));
}

int pruneBackups(const platform::FileSystem& fs, const std::string& folder, int days,
                 std::time_t now) {
    if (days < 0)
        return 0;
    const std::time_t limit = now - static_cast<std::time_t>(days) * 24 * 60 * 60;
    int removed = 0;
    for (const BackupFile& backup : listBackups(fs, folder))
        if (backup.made < limit && fs.deleteFile(inFolder(folder, backup.name)))
            ++removed;
    return removed;
}

namespace {

constexpr const char* kRoot = "LM";
constexpr const char* kDaysSetting = "BackupDays";
constexpr const char* kTrashSetting = "trash";

}  // namespace

int backupRetentionDays() {
    try {
        const std::string text = ReadRegString(kRoot, kSettingsKeyPath, kDaysSetting);
        int days = 0;
        char extra = 0;
        if (std::sscanf(text.c_str(), "%d%c", &days, &extra) == 1 && days >= 0)
            return days;
    } catch (const SilentAbort&) {
        // Never set: the default.
    }
    return kDefaultBackupDays;
}

bool writeBackupRetentionDays(int days) {
    return WriteRegString(kRoot, kSettingsKeyPath, kDaysSetting, std::to_string(days));
}

bool trashSettingOn() {
    try {
        return ReadRegBool(kRoot, kSettingsKeyPath, kTrashSetting);
    } catch (const SilentAbort&) {
        return false;
    }
}

bool writeTrashSetting(bool on) {
    return WriteRegBool(kRoot, kSettingsKeyPath, kTrashSetting, on);
}

}  // namespace vornak::registry
