#include "platform/posix/ProgramSearch.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"

namespace vornak::platform {
namespace {

bool isRegularFile(const std::string& host) {
    struct stat st {};
    return !host.empty() && ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string slashes(std::string text) {
    for (char& c : text)
        if (c == '\\')
            c = '/';
    return text;
}

std::string joinHost(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool isDrivePath(const std::string& name) {
    return name.size() >= 2 && name[1] == ':' &&
           ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
}

// The host file a program name stands for, or the empty text.
std::string findProgram(const std::string& written, const FileSystem& fs,
                        const SearchPlaces& places) {
    const std::string name = withDefaultExtension(written);
    if (isDrivePath(name)) {
        const std::string host = fs.toHostPath(name);
        return isRegularFile(host) ? host : std::string();
    }
    if (name.find_first_of("\\/") != std::string::npos) {
        if (name.rfind("\\\\", 0) == 0 || name.rfind("//", 0) == 0)
            return {};  // network paths
        std::string host;
        if (name[0] == '\\' || name[0] == '/') {
            // From the root of the current folder's drive, as on Windows.
            const std::string current = fs.fromHostPath(places.currentFolder);
            host =
                isDrivePath(current) ? fs.toHostPath(current.substr(0, 2) + name) : slashes(name);
        } else {
            host = joinHost(places.currentFolder, slashes(name));
        }
        return isRegularFile(host) ? host : std::string();
    }
    std::vector<std::string> folders{places.programFolder, places.currentFolder};
    size_t start = 0;
    while (start <= places.path.size()) {
        size_t end = places.path.find(':', start);
        if (end == std::string::npos)
            end = places.path.size();
        if (end > start)
            folders.push_back(places.path.substr(start, end - start));
        start = end + 1;
    }
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        const std::string host = joinHost(folder, name);
        if (isRegularFile(host))
            return host;
    }
    return {};
}

}  // namespace

SearchPlaces currentSearchPlaces(const FileSystem& fs) {
    SearchPlaces places;
    places.programFolder = fs.toHostPath(fs.programFolder());
    char buf[4096];
    if (::getcwd(buf, sizeof(buf)))
        places.currentFolder = buf;
    if (const char* path = std::getenv("PATH"))
        places.path = path;
    return places;
}

std::optional<ResolvedCommand> resolveCommandLine(const std::string& commandLine,
                                                  const FileSystem& fs,
                                                  const SearchPlaces& places) {
    for (const ProgramCandidate& candidate : programCandidates(commandLine)) {
        if (candidate.program.empty())
            continue;
        std::string host = findProgram(candidate.program, fs, places);
        if (host.empty())
            continue;
        return ResolvedCommand{std::move(host), withDefaultExtension(candidate.program),
                               splitArguments(candidate.rest)};
    }
    return std::nullopt;
}

}  // namespace vornak::platform
