#include "analysis/AnalysisFiles.h"

#include <cctype>

namespace vornak::analysis {

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    const char separator = !path.empty() && path.front() == '/' ? '/' : '\\';
    if (path.empty() || path.back() != separator)
        path += separator;
    path.append(name);
    return path;
}

std::string logsFolder(std::string_view programFolder) {
    return std::string(programFolder) + "logs";
}

std::string fileSnapshotName(int32_t snapshotNumber) {
    return "files_" + std::to_string(snapshotNumber) + ".txt";
}

std::string registrySnapshotName(std::string_view rootName, int32_t snapshotNumber) {
    return std::string(rootName) + "_" + std::to_string(snapshotNumber) + ".txt";
}

std::string analysisLogPath(std::string_view programFolder, std::string_view logName) {
    return joinPath(logsFolder(programFolder), std::string(logName) + std::string(kLogExtension));
}

bool isUsableLogName(std::string_view logName) {
    for (unsigned char c : logName) {
        if (c < 0x20 || c == 0x7F)
            return false;
        switch (c) {
            case '\\':
            case '/':
            case ':':
            case '*':
            case '?':
            case '"':
            case '<':
            case '>':
            case '|':
                return false;
            default:
                break;
        }
    }
    return true;
}

namespace {

// Names Windows keeps for devices: "NUL.anlog" is no file there, whatever follows the dot.
bool isDeviceName(std::string_view name) {
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return true;
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '1' && stem[3] <= '9';
}

// How long the file system counts a file name: in UTF-16 units on Windows,
// in bytes elsewhere. Either way it takes 255, and the log is first written
// as "<name>.anlog.new-<up to 10 digits>" beside its place.
constexpr size_t kLongestFileName = 255;
constexpr size_t kNewFileSuffix = std::string_view(".new-4294967295").size();

size_t fileNameLength(std::string_view name) {
#ifdef _WIN32
    size_t units = 0;
    for (unsigned char c : name) {
        if ((c & 0xC0) != 0x80)
            ++units;  // the first byte of a character
        if ((c & 0xF8) == 0xF0)
            ++units;  // beyond the first plane: two units
    }
    return units;
#else
    return name.size();
#endif
}

}  // namespace

std::optional<Msg> logNameProblem(std::string_view logName) {
    if (!isUsableLogName(logName))
        return Msg::msgLogNameBadCharacter;
    if (logName.find("..") != std::string_view::npos)
        return Msg::msgLogNameTwoDots;
    if (isDeviceName(logName))
        return Msg::msgLogNameDevice;
    if (fileNameLength(logName) + kLogExtension.size() + kNewFileSuffix > kLongestFileName)
        return Msg::msgLogNameTooLong;
    return std::nullopt;
}

namespace {

// Every log file of the logs folder: its name, and the part before the extension.
template <typename OnLog>
void forEachLogFile(const platform::FileSystem& fs, std::string_view programFolder,
                    const OnLog& onLog) {
    const std::string pattern =
        joinPath(logsFolder(programFolder), "*") + std::string(kLogExtension);
    fs.findFiles(pattern,
                 platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrSystem |
                     platform::kAttrArchive,
                 [&](const platform::DirEntry& entry) {
                     std::string_view name = entry.name;
                     // The wildcard also matches longer extensions (".anlogx")
                     // the way Windows does for three-letter ones; only ours count.
                     if (name.size() < kLogExtension.size())
                         return;
                     std::string_view ext = name.substr(name.size() - kLogExtension.size());
                     if (!platform::matchesWildcard(std::string(ext), std::string(kLogExtension)))
                         return;
                     onLog(entry.name, name.substr(0, name.size() - kLogExtension.size()));
                 });
}

}  // namespace

std::vector<std::string> listAnalysisLogs(const platform::FileSystem& fs,
                                          std::string_view programFolder) {
    std::vector<std::string> names;
    forEachLogFile(fs, programFolder,
                   [&](const std::string&, std::string_view stem) { names.emplace_back(stem); });
    return names;
}

std::optional<std::string> findAnalysisLog(const platform::FileSystem& fs,
                                           std::string_view programFolder,
                                           std::string_view logName) {
    if (!isUsableLogName(logName))
        return std::nullopt;
    const std::string exact = analysisLogPath(programFolder, logName);
    if (fs.fileExists(exact))
        return exact;
    std::optional<std::string> found;
    forEachLogFile(fs, programFolder, [&](const std::string& file, std::string_view stem) {
        if (!found && stem == logName)
            found = joinPath(logsFolder(programFolder), file);
    });
    if (found && !fs.fileExists(*found))
        found.reset();
    return found;
}

}  // namespace vornak::analysis
