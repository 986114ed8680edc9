// Where the analyser keeps its files: the logs folder beside the program, the
// ten snapshot files and the analysis logs, and which log names can be files.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "language/MessageCatalogue.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

namespace vornak::analysis {

// The four registry roots a snapshot covers, in the order they are compared.
struct SnapshotRoot {
    const char* name;  // "HKCR": in the lines and the file names
    platform::RegRoot root;
};

inline constexpr SnapshotRoot kSnapshotRoots[4] = {
    {"HKCR", platform::RegRoot::ClassesRoot},
    {"HKCU", platform::RegRoot::CurrentUser},
    {"HKLM", platform::RegRoot::LocalMachine},
    {"HKCC", platform::RegRoot::CurrentConfig},
};

// `folder` + separator + `name`, with the separator the folder is written in
// (a program folder outside every mapped drive is a host path).
std::string joinPath(std::string_view folder, std::string_view name);

// Program folder (with its trailing separator) + "logs".
std::string logsFolder(std::string_view programFolder);

// "files_1.txt", "HKLM_2.txt".
std::string fileSnapshotName(int32_t snapshotNumber);
std::string registrySnapshotName(std::string_view rootName, int32_t snapshotNumber);

inline constexpr std::string_view kLogExtension = ".anlog";

std::string analysisLogPath(std::string_view programFolder, std::string_view logName);

// Whether a log name can be a file name: none of \ / : * ? " < > | and no
// control characters. The empty name is allowed (the log is then ".anlog").
bool isUsableLogName(std::string_view logName);

// What keeps `logName` from being the name of a log file right in the logs
// folder, as the file system would refuse it or take it elsewhere: a
// character no file name may hold (msgLogNameBadCharacter), "..", a device
// name of Windows, or a file name longer than the file system takes (with
// ".anlog", and the suffix of the new file it is first written to). nullopt
// when it can be one; the empty name can (".anlog").
std::optional<Msg> logNameProblem(std::string_view logName);

// The names (without extension) of the analysis logs in the logs folder, in
// the order the folder lists them. The extension may be in any letter case.
std::vector<std::string> listAnalysisLogs(const platform::FileSystem& fs,
                                          std::string_view programFolder);

// The file of the log that listAnalysisLogs names `logName`: ".anlog" as we
// write it first, else the extension in another letter case. nullopt when
// there is none, and for a name that is no file name of the logs folder.
std::optional<std::string> findAnalysisLog(const platform::FileSystem& fs,
                                           std::string_view programFolder,
                                           std::string_view logName);

}  // namespace vornak::analysis
