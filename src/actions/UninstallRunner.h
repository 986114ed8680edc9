// The uninstall runner: one worker thread per started uninstaller, which starts
// the registration's command, waits for the program to end (in a Wine prefix,
// for the prefix's wineserver too, so the rebuilt list is what the uninstaller
// left) and asks for the info-panel texts and the rebuild of the list. The worker never touches a
// window: it hands everything to a RunnerHost, which carries it over to the
// user interface thread (or drops it when the window has gone).
#pragma once

#include <memory>
#include <string>

#include "language/MessageCatalogue.h"

namespace vornak {

class Inventory;
namespace platform {
class ProcessLauncher;
}

namespace actions {

// What a run reports. Called on the run's worker thread; an implementation
// hands the calls over to the user interface thread in the order they came.
class RunnerHost {
  public:
    virtual ~RunnerHost() = default;
    // The info panel is to show `role` (fmtUninstallStarted, fmtUninstallFinished,
    // fmtUninstallNotStarted or fmtUninstallRunning) for the program `displayName`.
    virtual void showRunStatus(Msg role, const std::string& displayName) = 0;
    // The program has ended (or never started): rebuild the list.
    virtual void refreshAndRefilter() = 0;
};

// The info-panel text of `role` for `displayName`. A language line whose
// placeholders do not fit one text argument is shown as it stands.
std::string runStatusText(Msg role, const std::string& displayName);

// Every run of the process, single or in a batch, claims its registration
// (root code and key path) while its program runs: false when another holds it.
bool claimRegistration(const std::string& registration);
void releaseRegistration(const std::string& registration);

class RunUninstaller {
  public:
    RunUninstaller(std::string uninstallCommand, std::string displayName,
                   std::shared_ptr<platform::ProcessLauncher> launcher,
                   std::shared_ptr<RunnerHost> host);
    ~RunUninstaller();
    RunUninstaller(const RunUninstaller&) = delete;
    RunUninstaller& operator=(const RunUninstaller&) = delete;

    // Claims `registration` (root code and key path) for this run until its
    // program has ended; false when another run holds it.
    bool claim(const std::string& registration);

    // The run itself, on the worker thread: start, wait, report, rebuild.
    void Execute();

    // Starts the run on a thread of its own that owns it and is never waited for.
    static void start(std::unique_ptr<RunUninstaller> run);

  private:
    std::string command_;
    std::string displayName_;
    std::shared_ptr<platform::ProcessLauncher> launcher_;
    std::shared_ptr<RunnerHost> host_;
    std::string claimed_;
    void release();
};

// UninstallClick: a run for visible row `selectedRow` of `inventory`
// (-1: none selected, the silent abort), with the command commandToRun()
// gives. Returns at once. While that registration's uninstaller still runs
// (a held Enter repeats the command), it is not started again: the info panel
// says it is running; other registrations start as usual.
void UninstallClick(const Inventory& inventory, int selectedRow,
                    std::shared_ptr<platform::ProcessLauncher> launcher,
                    std::shared_ptr<RunnerHost> host);

}  // namespace actions
}  // namespace vornak
