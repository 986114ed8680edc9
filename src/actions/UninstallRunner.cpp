#include "actions/UninstallRunner.h"

#include <thread>

#include "inventory/Inventory.h"
#include "platform/ProcessLauncher.h"
#include "registry/SilentAbort.h"

namespace vornak::actions {

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
        host_->showRunStatus(Msg::fmtUninstallFinished, displayName_);
        process->close();
    } else {
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
    RunUninstaller::start(std::make_unique<RunUninstaller>(row.uninstallCommand, row.caption,
                                                           std::move(launcher), std::move(host)));
}

}  // namespace vornak::actions
