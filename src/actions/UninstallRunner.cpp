#include "actions/UninstallRunner.h"

#include <mutex>
#include <set>
#include <thread>

#include "actions/UninstallCommandLine.h"
#include "inventory/Inventory.h"
#include "platform/ProcessLauncher.h"
#include "registry/SilentAbort.h"

namespace vornak::actions {
namespace {

// The registrations whose uninstaller runs now, shared by every run of the process.
class RunningRegistrations {
  public:
    bool claim(const std::string& registration) {
        std::lock_guard lock(mutex_);
        return running_.insert(registration).second;
    }
    void release(const std::string& registration) {
        std::lock_guard lock(mutex_);
        running_.erase(registration);
    }

  private:
    std::mutex mutex_;
    std::set<std::string> running_;
};

RunningRegistrations& runningRegistrations() {
    static RunningRegistrations registrations;
    return registrations;
}

}  // namespace

bool claimRegistration(const std::string& registration) {
    return runningRegistrations().claim(registration);
}

void releaseRegistration(const std::string& registration) {
    runningRegistrations().release(registration);
}

std::string runStatusText(Msg role, const std::string& displayName) {
    try {
        return formatMessage(role, {displayName});
    } catch (const FormatError&) {
        return messages().get(role);
    }
}

RunUninstaller::RunUninstaller(std::string uninstallCommand, std::string displayName,
                               std::shared_ptr<platform::ProcessLauncher> launcher,
                               std::shared_ptr<RunnerHost> host)
    : command_(std::move(uninstallCommand)),
      displayName_(std::move(displayName)),
      launcher_(std::move(launcher)),
      host_(std::move(host)) {}

RunUninstaller::~RunUninstaller() {
    release();
}

bool RunUninstaller::claim(const std::string& registration) {
    if (!runningRegistrations().claim(registration))
        return false;
    claimed_ = registration;
    return true;
}

void RunUninstaller::release() {
    if (!claimed_.empty())
        runningRegistrations().release(claimed_);
    claimed_.clear();
}

void RunUninstaller::Execute() {
    // The command goes to the launcher exactly as the registration holds it:
    // separating program and arguments is the system's business.
    std::unique_ptr<platform::StartedProcess> process;
    try {
        process = launcher_->start(command_);
    } catch (const std::exception&) {
        process.reset();
    }
    if (process) {
        host_->showRunStatus(Msg::fmtUninstallStarted, displayName_);
        process->wait();
        release();
        host_->showRunStatus(Msg::fmtUninstallFinished, displayName_);
        process->close();
    } else {
        release();
        host_->showRunStatus(Msg::fmtUninstallNotStarted, displayName_);
    }
    host_->refreshAndRefilter();
}

void RunUninstaller::start(std::unique_ptr<RunUninstaller> run) {
    std::thread([run = std::move(run)] {
        // Nothing may leave a detached thread: it would end the whole program.
        try {
            run->Execute();
        } catch (...) {
        }
    }).detach();
}

void UninstallClick(const Inventory& inventory, int selectedRow,
                    std::shared_ptr<platform::ProcessLauncher> launcher,
                    std::shared_ptr<RunnerHost> host) {
    const auto& rows = inventory.visible();
    if (selectedRow < 0 || static_cast<size_t>(selectedRow) >= rows.size())
        throw SilentAbort();
    const UninstallEntry& row = rows[static_cast<size_t>(selectedRow)];
    auto run =
        std::make_unique<RunUninstaller>(commandToRun(row), row.caption, std::move(launcher), host);
    if (!run->claim(row.rootCode + "\\" + row.keyPath)) {
        host->showRunStatus(Msg::fmtUninstallRunning, row.caption);
        return;
    }
    RunUninstaller::start(std::move(run));
}

}  // namespace vornak::actions
