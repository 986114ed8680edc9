// How the POSIX backend finds the program of a Windows command line, the way
// Windows process creation does, with drive paths mapped through the drive map.
// Kept apart from the starting itself so the rules can be checked one by one.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vornak::platform {

class FileSystem;

// Where a program named without a folder is looked for, in this order: the
// manager's own folder, the current folder, then each folder of PATH (host
// folders; `path` separated by ':').
struct SearchPlaces {
    std::string programFolder;
    std::string currentFolder;
    std::string path;
};

struct ResolvedCommand {
    std::string hostProgram;             // an existing file
    std::string program;                 // the program as the line names it, ".exe" added
    std::vector<std::string> arguments;  // as the Windows rules split the rest
};

// The places of this process: the file system's program folder, the current
// folder and $PATH.
SearchPlaces currentSearchPlaces(const FileSystem& fs);

// The program the line starts, or nullopt when no reading of it names an
// existing file.
std::optional<ResolvedCommand> resolveCommandLine(const std::string& commandLine,
                                                  const FileSystem& fs, const SearchPlaces& places);

}  // namespace vornak::platform
