#include "actions/QuietCommand.h"

#include <array>
#include <cctype>
#include <optional>

#include "actions/UninstallCommandLine.h"
#include "inventory/Inventory.h"
#include "platform/BoundedRead.h"
#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "registry/RegistryAccess.h"
#include "registry/SilentAbort.h"

namespace vornak::actions {
namespace {

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The uninstaller a command names: its path as written, the rest of the line,
// and whether it exists where the drive map puts it.
struct Uninstaller {
    std::string program;  // with ".exe" added where the name had no extension
    std::string rest;
    bool found = false;
};

Uninstaller uninstallerOf(const std::string& command, const platform::FileSystem& fs) {
    const auto candidates = platform::programCandidates(command);
    for (const auto& c : candidates) {
        const std::string program = platform::withDefaultExtension(c.program);
        if (fs.fileExists(program))
            return {program, c.rest, true};
    }
    if (candidates.empty())
        return {};
    // Not found: the first reading, as CreateProcess would report it.
    return {platform::withDefaultExtension(candidates.front().program), candidates.front().rest,
            false};
}

std::string baseName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> fileStart(const platform::FileSystem& fs, const std::string& path,
                                     uint64_t count) {
    const std::string host = fs.toHostPath(path);
    if (host.empty())
        return std::nullopt;
    return platform::readBoundedFileStart(host, platform::readLimits::kProgram, count);
}

// The uninstaller's own switches go right after its name: NSIS takes
// everything after "_?=" as the folder, so nothing may follow that.
std::string withSwitches(const Uninstaller& u, const char* switches) {
    std::string line = "\"" + u.program + "\" " + switches;
    const size_t rest = u.rest.find_first_not_of(" \t");
    if (rest != std::string::npos)
        line += " " + u.rest.substr(rest);
    return line;
}

std::optional<std::string> windowsInstaller(const std::string& command,
                                            const platform::FileSystem&) {
    const auto candidates = platform::programCandidates(command);
    if (candidates.empty())
        return std::nullopt;
    const std::string name = lower(baseName(candidates.front().program));
    if (name != "msiexec" && name != "msiexec.exe")
        return std::nullopt;
    const std::string product = msiProductCode({}, command);
    if (product.empty())
        return std::nullopt;
    return "MsiExec.exe /X" + product + " /qn /norestart";
}

// NSIS puts its first header at a 512-byte boundary after the stub: four bytes
// of flags, then 0xDEADBEEF and "NullsoftInst". Only an uninstaller's header
// has the uninstall flag; an installer named as the uninstaller would install
// again with /S.
std::optional<std::string> nsis(const std::string& command, const platform::FileSystem& fs) {
    const Uninstaller u = uninstallerOf(command, fs);
    if (!u.found)
        return std::nullopt;
    // The stub is some tens of kilobytes; its icons and plug-ins stay far below this.
    constexpr uint64_t kSearched = uint64_t{16} << 20;
    const auto bytes = fileStart(fs, u.program, kSearched);
    if (!bytes)
        return std::nullopt;
    static constexpr char kSignature[] = "\xEF\xBE\xAD\xDENullsoftInst";
    constexpr size_t kSignatureSize = sizeof kSignature - 1;
    constexpr unsigned kUninstallFlag = 1;
    for (size_t at = 0; at + 4 + kSignatureSize <= bytes->size(); at += 512) {
        if (bytes->compare(at + 4, kSignatureSize, kSignature) != 0)
            continue;
        if (static_cast<unsigned char>((*bytes)[at]) & kUninstallFlag)
            return withSwitches(u, "/S");
        return std::nullopt;
    }
    return std::nullopt;
}

// An Inno Setup uninstaller (unins000.exe, but a setup may name it otherwise)
// keeps its log, which it needs to run at all, beside it under the same name
// with ".dat"; the log begins with Inno's own identification.
std::optional<std::string> innoSetup(const std::string& command, const platform::FileSystem& fs) {
    const Uninstaller u = uninstallerOf(command, fs);
    if (!u.found || lower(u.program).size() < 4 ||
        lower(u.program).compare(u.program.size() - 4, 4, ".exe") != 0)
        return std::nullopt;
    const std::string log = u.program.substr(0, u.program.size() - 4) + ".dat";
    static constexpr char kLogId[] = "Inno Setup Uninstall Log (b)";
    const auto bytes = fileStart(fs, log, sizeof kLogId - 1);
    if (!bytes || *bytes != kLogId)
        return std::nullopt;
    return withSwitches(u, "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART");
}

struct Rule {
    QuietKind kind;
    std::optional<std::string> (*derive)(const std::string&, const platform::FileSystem&);
    const char* reason;
};

// Tried in this order; the first that recognises the command gives it.
const std::array<Rule, 3> kRules = {{
    {QuietKind::WindowsInstaller, windowsInstaller,
     "Windows Installer removes a product by its code; /I would repair it or open its "
     "maintenance dialog, /qn shows no window and /norestart keeps the machine up"},
    {QuietKind::Nsis, nsis,
     "NSIS uninstallers carry their installer's header, and /S runs them without a window"},
    {QuietKind::InnoSetup, innoSetup,
     "Inno Setup uninstallers need their .dat log beside them; /VERYSILENT shows no window, "
     "/SUPPRESSMSGBOXES answers its questions and /NORESTART keeps the machine up"},
}};

}  // namespace

QuietCommand deriveQuietCommand(const std::string& uninstallCommand,
                                const platform::FileSystem& fs) {
    for (const Rule& rule : kRules)
        if (auto command = rule.derive(uninstallCommand, fs))
            return {rule.kind, *command};
    return {};
}

QuietCommand quietCommand(const UninstallEntry& row, const platform::FileSystem& fs) {
    std::string registered;
    try {
        registered = ReadRegString(row.rootCode, row.keyPath, "QuietUninstallString");
    } catch (const SilentAbort&) {
    }
    if (registered.find_first_not_of(" \t") != std::string::npos)
        return {QuietKind::Registered, registered};
    return deriveQuietCommand(row.uninstallCommand, fs);
}

const char* quietKindName(QuietKind kind) {
    switch (kind) {
        case QuietKind::None:
            break;
        case QuietKind::Registered:
            return "its QuietUninstallString";
        case QuietKind::WindowsInstaller:
            return "Windows Installer";
        case QuietKind::Nsis:
            return "NSIS";
        case QuietKind::InnoSetup:
            return "Inno Setup";
    }
    return "none";
}

}  // namespace vornak::actions
