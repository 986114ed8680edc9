#include "analysis/AnalysisFiles.h"

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

std::vector<std::string> listAnalysisLogs(const platform::FileSystem& fs,
                                          std::string_view programFolder) {
    std::vector<std::string> names;
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
                     names.emplace_back(name.substr(0, name.size() - kLogExtension.size()));
                 });
    return names;
}

}  // namespace vornak::analysis
