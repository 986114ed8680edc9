// Process launcher for POSIX hosts: the program found by the Windows rules
// (ProgramSearch), started with fork and exec in a process group of its own at
// the lowest priority, its standard streams on /dev/null and none of our other
// descriptors, and waited for with waitpid. With a Wine prefix in use, Windows
// programs start through `wine` in that prefix.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
#include "platform/WinePrefix.h"
#include "platform/posix/ProgramSearch.h"

extern char** environ;

namespace vornak::platform {
namespace {

constexpr int kIdleNice = 19;

void reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

class PosixProcess : public StartedProcess {
  public:
    explicit PosixProcess(pid_t pid) : pid_(pid) {}
    ~PosixProcess() override { close(); }

    void wait() override {
        if (pid_ <= 0 || waited_)
            return;
        reap(pid_);
        waited_ = true;
    }

    void close() override {
        if (pid_ <= 0)
            return;
        // Letting go must not leave a zombie behind, nor wait for the program.
        if (!waited_)
            std::thread([pid = pid_] { reap(pid); }).detach();
        pid_ = -1;
    }

    long id() const override { return pid_; }

  private:
    pid_t pid_;
    bool waited_ = false;
};

// The program's own bytes: everything a child needs is made before fork.
struct ChildImage {
    std::vector<std::string> words;
    std::vector<char*> argv;
    std::vector<std::string> envText;
    std::vector<char*> envp;

    ChildImage(std::vector<std::string> w, const std::string& winePrefix) : words(std::move(w)) {
        for (auto& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        for (char** e = environ; e && *e; ++e)
            if (winePrefix.empty() || std::strncmp(*e, "WINEPREFIX=", 11) != 0)
                envText.emplace_back(*e);
        if (!winePrefix.empty())
            envText.push_back("WINEPREFIX=" + winePrefix);
        for (auto& entry : envText)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
    }
};

// In the child between fork and exec: only calls that are safe there.
[[noreturn]] void execChild(const char* program, char* const* argv, char* const* envp,
                            int reportFd) {
    ::setpgid(0, 0);
    ::setpriority(PRIO_PROCESS, 0, kIdleNice);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD})
        ::signal(sig, SIG_DFL);
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
    // Handles are not inherited: close everything else but the report pipe
    // (which closes itself on exec).
    const auto fd = static_cast<unsigned>(reportFd);
    const bool closed =
        (fd == 3 || ::close_range(3, fd - 1, 0) == 0) && ::close_range(fd + 1, ~0U, 0) == 0;
    if (!closed) {
        const long max = ::sysconf(_SC_OPEN_MAX);
        for (int other = 3; other < (max > 0 && max < 65536 ? max : 65536); ++other)
            if (other != reportFd)
                ::close(other);
    }
    ::execve(program, argv, envp);
    const int err = errno;
    [[maybe_unused]] ssize_t n = ::write(reportFd, &err, sizeof(err));
    ::_exit(127);
}

// Forks and execs `image`; the child's exec failure comes back through a pipe.
pid_t spawn(const ChildImage& image, std::string& error) {
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        error = std::strerror(errno);
        ::close(report[0]);
        ::close(report[1]);
        return -1;
    }
    if (pid == 0)
        execChild(image.words[0].c_str(), image.argv.data(), image.envp.data(), report[1]);
    ::close(report[1]);
    // Also set from here, so the group exists before anyone signals it.
    ::setpgid(pid, pid);
    int childErr = 0;
    ssize_t n;
    while ((n = ::read(report[0], &childErr, sizeof(childErr))) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    if (n > 0) {
        reap(pid);
        error = std::strerror(childErr);
        return -1;
    }
    return pid;
}

std::string findOnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        if (end > start) {
            const std::string candidate = dirs.substr(start, end - start) + "/" + name;
            if (::access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

bool startsWithMz(const std::string& hostFile) {
    std::ifstream in(hostFile, std::ios::binary);
    char magic[2] = {};
    return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

// Windows' own tools, which a prefix has as Wine builtins rather than as files
// an uninstall line would name by path.
bool isWindowsTool(const std::string& program) {
    std::string name = withDefaultExtension(program);
    const size_t sep = name.find_last_of("\\/");
    if (sep != std::string::npos)
        name.erase(0, sep + 1);
    for (char& c : name)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return name == "msiexec.exe" || name == "rundll32.exe" || name == "regsvr32.exe" ||
           name == "rundll.exe";
}

// Blocks until no wineserver serves the prefix any more. An uninstaller that
// copies itself to %TEMP% and goes on from there outlives the program we
// started; the server lives as long as any of them, and writes the registry
// files when it ends, so only then is the prefix's registry what they left.
void waitForPrefixServer(const std::string& prefix) {
    if (const std::string server = findOnPath("wineserver"); !server.empty()) {
        std::string error;
        const ChildImage image({server, "-w"}, prefix);
        if (const pid_t pid = spawn(image, error); pid > 0)
            reap(pid);
    }
    // `wineserver -w` may be missing, or return before the lock is let go.
    while (prefixServerRunning(prefix))
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

class WineProcess final : public PosixProcess {
  public:
    WineProcess(pid_t pid, std::string prefix) : PosixProcess(pid), prefix_(std::move(prefix)) {}

    void wait() override {
        PosixProcess::wait();
        waitForPrefixServer(prefix_);
    }

  private:
    std::string prefix_;
};

class PosixProcessLauncher final : public ProcessLauncher {
  public:
    explicit PosixProcessLauncher(std::string winePrefix) : prefix_(std::move(winePrefix)) {}

    std::unique_ptr<StartedProcess> start(const std::string& commandLine,
                                          std::string* error) override {
        auto failWith = [&](const std::string& why) -> std::unique_ptr<StartedProcess> {
            if (error)
                *error = why;
            return nullptr;
        };
        const auto fs = defaultFileSystem();
        std::optional<ResolvedCommand> resolved;
        bool throughWine = false;
        if (!prefix_.empty()) {
            const auto candidates = programCandidates(commandLine);
            if (!candidates.empty() && isWindowsTool(candidates.front().program)) {
                resolved = ResolvedCommand{{}, withDefaultExtension(candidates.front().program),
                                           splitArguments(candidates.front().rest)};
                throughWine = true;
            }
        }
        if (!resolved) {
            SearchPlaces places = currentSearchPlaces(*fs);
            if (!prefix_.empty()) {
                // The prefix's system folders, where Windows looks before PATH.
                const std::string system = fs->toHostPath("C:\\windows\\system32");
                const std::string windows = fs->toHostPath("C:\\windows");
                places.path = system + ":" + windows + (places.path.empty() ? "" : ":") +
                              places.path;
            }
            resolved = resolveCommandLine(commandLine, *fs, places);
            if (!resolved)
                return failWith("The system cannot find the file specified.");
            throughWine = !prefix_.empty() && startsWithMz(resolved->hostProgram);
        }

        std::vector<std::string> words;
        if (throughWine) {
            const std::string wine = findOnPath("wine");
            if (wine.empty())
                return failWith("Wine is not installed: there is no wine program on PATH.");
            // A drive path goes to Wine as the line wrote it, so the program sees
            // its own Windows path; other finds are host paths, which Wine maps.
            const std::string& written = resolved->program;
            const bool drivePath = written.size() >= 2 && written[1] == ':';
            words = {wine, resolved->hostProgram.empty() || drivePath ? written
                                                                      : resolved->hostProgram};
        } else {
            words = {resolved->hostProgram};
        }
        words.insert(words.end(), resolved->arguments.begin(), resolved->arguments.end());
        const ChildImage image(std::move(words), throughWine ? prefix_ : std::string());
        std::string why;
        const pid_t pid = spawn(image, why);
        if (pid < 0)
            return failWith(why);
        if (throughWine)
            return std::make_unique<WineProcess>(pid, prefix_);
        return std::make_unique<PosixProcess>(pid);
    }

  private:
    std::string prefix_;
};

}  // namespace

std::shared_ptr<ProcessLauncher> prefixProcessLauncher(const std::string& prefixDir) {
    return std::make_shared<PosixProcessLauncher>(prefixDir);
}

}  // namespace vornak::platform
