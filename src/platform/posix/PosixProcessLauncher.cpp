// Process launcher for POSIX hosts: the program found by the Windows rules
// (ProgramSearch), started with fork and exec in a process group of its own at
// the lowest priority, its standard streams on /dev/null and none of our other
// descriptors, and waited for with waitpid.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/ProcessLauncher.h"
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

class PosixProcess final : public StartedProcess {
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

// In the child between fork and exec: only calls that are safe there.
[[noreturn]] void execChild(const char* program, char* const* argv, int reportFd) {
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
    ::execve(program, argv, environ);
    const int err = errno;
    [[maybe_unused]] ssize_t n = ::write(reportFd, &err, sizeof(err));
    ::_exit(127);
}

class PosixProcessLauncher final : public ProcessLauncher {
  public:
    std::unique_ptr<StartedProcess> start(const std::string& commandLine,
                                          std::string* error) override {
        auto failWith = [&](const std::string& why) -> std::unique_ptr<StartedProcess> {
            if (error)
                *error = why;
            return nullptr;
        };
        const auto fs = defaultFileSystem();
        const auto resolved = resolveCommandLine(commandLine, *fs, currentSearchPlaces(*fs));
        if (!resolved)
            return failWith("The system cannot find the file specified.");

        // Everything the child needs is made before fork: it may not allocate.
        std::vector<std::string> words{resolved->hostProgram};
        words.insert(words.end(), resolved->arguments.begin(), resolved->arguments.end());
        std::vector<char*> argv;
        for (auto& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);

        int report[2];
        if (::pipe2(report, O_CLOEXEC) != 0)
            return failWith(std::strerror(errno));
        const pid_t pid = ::fork();
        if (pid < 0) {
            const int err = errno;
            ::close(report[0]);
            ::close(report[1]);
            return failWith(std::strerror(err));
        }
        if (pid == 0)
            execChild(words[0].c_str(), argv.data(), report[1]);
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
            return failWith(std::strerror(childErr));
        }
        return std::make_unique<PosixProcess>(pid);
    }
};

}  // namespace

std::shared_ptr<ProcessLauncher> hostProcessLauncher() {
    return std::make_shared<PosixProcessLauncher>();
}

}  // namespace vornak::platform
