// Where Wine prefixes are: their drive links and the usual places people keep them.
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/FileSystem.h"
#include "platform/WinePrefix.h"
#include "platform/wine/SteamLibraries.h"

namespace vornak::platform {
namespace {

namespace fs = std::filesystem;

std::string home() {
    const char* h = std::getenv("HOME");
    return h && *h ? h : std::string();
}

std::string dataHome() {
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return x;
    return home().empty() ? std::string() : home() + "/.local/share";
}

// Every folder directly below `dir` (sorted), joined with `tail`.
void eachBelow(const std::string& dir, const std::string& tail, std::vector<std::string>& out) {
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        found.push_back(it->path().string() + tail);
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
}

}  // namespace

std::map<char, std::string> prefixDriveMap(const std::string& prefixDir) {
    std::map<char, std::string> drives;
    std::error_code ec;
    const fs::path devices = fs::path(prefixDir) / "dosdevices";
    for (fs::directory_iterator it(devices, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        // "c:" is a drive; "c::" is its raw device, "com1" a port.
        if (name.size() != 2 || name[1] != ':' || !std::isalpha(static_cast<unsigned char>(name[0])))
            continue;
        std::error_code linkError;
        const fs::path target = fs::read_symlink(it->path(), linkError);
        if (linkError) continue;
        fs::path root = target.is_absolute() ? target : devices / target;
        root = fs::weakly_canonical(root, linkError);
        if (linkError) continue;
        drives[static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])))] = root.string();
    }
    return drives;
}

std::string prefixDataFolder(const std::string& prefixDir) {
    const std::string data = dataHome();
    if (data.empty()) return {};
    std::error_code ec;
    fs::path real = fs::weakly_canonical(fs::absolute(prefixDir, ec), ec);
    if (ec) real = prefixDir;
    std::string text = real.string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    // FNV-1a: the same name for the same folder in every run and build.
    uint64_t hash = 1469598103934665603ULL;
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ULL;
    std::string name = real.filename().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') c = '_';
    if (name.empty() || name == "." || name == "..") name = "prefix";
    char tail[24];
    std::snprintf(tail, sizeof tail, "-%016llx", static_cast<unsigned long long>(hash));
    return data + "/vornak/prefixes/" + name + tail + "/";
}

std::shared_ptr<FileSystem> prefixFileSystem(const std::string& prefixDir) {
    auto drives = prefixDriveMap(prefixDir);
    if (drives.empty()) drives['C'] = prefixDir + "/drive_c";
    // The program's folder stays what it is (languages, help, splash picture).
    return makePrefixFileSystem(std::move(drives), prefixDataFolder(prefixDir));
}

bool isWinePrefix(const std::string& dir) {
    struct stat st {};
    return ::stat((dir + "/system.reg").c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> findWinePrefixes() {
    std::vector<std::string> candidates;
    if (const char* p = std::getenv("WINEPREFIX"); p && *p) candidates.push_back(p);
    const std::string h = home();
    const std::string data = dataHome();
    if (!h.empty()) candidates.push_back(h + "/.wine");
    for (const std::string& steam : {data + "/Steam", h + "/.steam/steam",
                                     h + "/.var/app/com.valvesoftware.Steam/data/Steam"}) {
        eachBelow(steam + "/steamapps/compatdata", "/pfx", candidates);
        // The other libraries Steam keeps games (and their prefixes) in.
        for (const std::string& library : posix::steamLibraryFolders(steam))
            eachBelow(library + "/steamapps/compatdata", "/pfx", candidates);
    }
    eachBelow(data + "/bottles/bottles", "", candidates);
    eachBelow(h + "/.var/app/com.usebottles.bottles/data/bottles/bottles", "", candidates);
    eachBelow(h + "/Games", "", candidates);  // Lutris' default folder
    std::vector<std::string> prefixes;
    std::vector<std::string> seen;
    for (const auto& c : candidates) {
        if (!isWinePrefix(c)) continue;
        std::error_code ec;
        const std::string real = fs::weakly_canonical(c, ec).string();
        if (std::find(seen.begin(), seen.end(), real) != seen.end()) continue;
        seen.push_back(real);
        prefixes.push_back(c);
    }
    return prefixes;
}

}  // namespace vornak::platform
