// Starting a program from a Windows command line and waiting for it, as
// CreateProcess with no application name does: the system finds the program in
// the line by its own rules. Nothing here is tied to a host, so the Win32
// backend (CreateProcess with CREATE_NEW_PROCESS_GROUP | IDLE_PRIORITY_CLASS,
// WaitForSingleObject, CloseHandle) and the POSIX one serve the same callers.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vornak::platform {

// A started process. Closing it (or destroying the object) lets go of it; the
// process itself goes on running.
class StartedProcess {
  public:
    virtual ~StartedProcess() = default;
    // Blocks until the process has ended, without a time limit. Its exit code is
    // of no interest: any ending counts. A program started in a Wine prefix has
    // ended once the prefix's wineserver has too: what it started there (an
    // uninstaller's copy of itself) has then ended, and the registry is on disk.
    virtual void wait() = 0;
    virtual void close() = 0;
    // The system's number for the process (for messages and tests).
    virtual long id() const = 0;
};

class ProcessLauncher {
  public:
    virtual ~ProcessLauncher() = default;
    // Starts `commandLine` in a new process group at idle priority, with our
    // environment and current folder, its output kept apart from ours. Returns
    // nullptr when it cannot be started (missing, not executable, a malformed
    // line), with the reason in `error` when given. Never throws for that.
    virtual std::unique_ptr<StartedProcess> start(const std::string& commandLine,
                                                  std::string* error = nullptr) = 0;
};

// The launcher of this host, finding drive paths through the program's file system.
std::shared_ptr<ProcessLauncher> hostProcessLauncher();
// The launcher the program uses; tests may replace it.
std::shared_ptr<ProcessLauncher> defaultProcessLauncher();
void setDefaultProcessLauncher(std::shared_ptr<ProcessLauncher> launcher);

// ---- The Windows command-line rules, for hosts that must apply them themselves ----

// One way to read the program out of a command line: the program's name as
// written and the rest of the line after it.
struct ProgramCandidate {
    std::string program;
    std::string rest;
};

// The readings CreateProcess tries, in its order. A quoted beginning gives one
// reading (up to the closing quote). An unquoted one gives each blank-separated
// beginning, ever longer: "C:\Program Files\A\u.exe /S" gives "C:\Program",
// "C:\Program Files\A\u.exe", "C:\Program Files\A\u.exe /S". A quote that is
// never closed runs to the end of the line. Empty for a blank line.
std::vector<ProgramCandidate> programCandidates(std::string_view commandLine);

// The arguments a C runtime on Windows makes of the text after the program:
// blanks and tabs separate outside quotes; 2n backslashes before a quote give n
// backslashes and the quote opens or closes; 2n+1 give n and a literal quote;
// other backslashes are literal; "" inside quotes is a literal quote.
std::vector<std::string> splitArguments(std::string_view text);

// The program name with ".exe" appended when its last component has no extension.
std::string withDefaultExtension(const std::string& program);

}  // namespace vornak::platform
