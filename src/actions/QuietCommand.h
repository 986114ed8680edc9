// A registration's quiet command: the command line that removes its program
// without asking anything. Either the registration names one itself
// (QuietUninstallString), or it is derived from the kind of installer that
// made the uninstaller, recognised from the command and, where the name is
// not enough, from the uninstaller's own files.
#pragma once

#include <string>

namespace vornak {

struct UninstallEntry;
namespace platform {
class FileSystem;
}

namespace actions {

enum class QuietKind {
    None,              // no quiet command is known
    Registered,        // the registration's own QuietUninstallString
    WindowsInstaller,  // MsiExec /X{product} /qn /norestart
    Nsis,              // the uninstaller carries the NSIS header: /S
    InnoSetup,         // an Inno Setup uninstaller with its log beside it
};

struct QuietCommand {
    QuietKind kind = QuietKind::None;
    std::string command;  // empty for QuietKind::None
};

// The quiet form of `uninstallCommand` by the first rule of the derivation
// table that recognises it; QuietKind::None when none does. Uninstallers are
// looked for through `fs`; of each only its first bytes are read.
QuietCommand deriveQuietCommand(const std::string& uninstallCommand,
                                const platform::FileSystem& fs);

// The registration's own QuietUninstallString when it holds a text one,
// else deriveQuietCommand of its uninstall command.
QuietCommand quietCommand(const UninstallEntry& row, const platform::FileSystem& fs);

// A short English name of the kind, for the command-line tool.
const char* quietKindName(QuietKind kind);

}  // namespace actions
}  // namespace vornak
