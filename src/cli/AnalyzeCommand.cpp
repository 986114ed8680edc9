// vornak analyze: the installation analyser without its window, on the same
// workers, logs folder and log replay as the wizard.

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <memory>
#include <thread>

#include "analysis/AnalysisFiles.h"
#include "analysis/CollatedOrder.h"
#include "analysis/CompareThread.h"
#include "analysis/LogReplay.h"
#include "analysis/SnapshotRecord.h"
#include "analysis/SnapshotRun.h"
#include "cli/CliLanguage.h"
#include "cli/Command.h"
#include "language/MessageCatalogue.h"
#include "platform/Console.h"
#include "platform/Dialogs.h"
#include "registry/SilentAbort.h"

namespace vornak::cli {
namespace {

using namespace vornak::analysis;

constexpr const char* kUsage =
    "analyze before [DRIVE...] | after NAME [DRIVE...] | list | remove NAME [--yes] [--keep-log] "
    "[--trash]";

// Questions of the log replay asked on the terminal.
class TerminalDialogs : public platform::Dialogs {
  public:
    void showMessage(const std::string& text) override { std::cerr << text << std::endl; }
    platform::DialogButton messageDialog(const std::string& text, platform::DialogKind,
                                         uint32_t) override {
        std::cerr << text << std::endl;
        return platform::kButtonOk;
    }
    bool askYesNo(const std::string& text, const std::string& title) override {
        std::cerr << title << ": " << text << " [y/N] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer))
            return false;
        return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
    }
    std::optional<std::string> inputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }
    std::optional<platform::FontChoice> chooseFont(const platform::FontChoice&) override {
        return std::nullopt;
    }
    std::optional<std::string> saveFileName(const platform::SaveFileOptions&) override {
        return std::nullopt;
    }
    void showError(const std::string& text) override { std::cerr << text << std::endl; }
};

struct Setup {
    std::shared_ptr<platform::FileSystem> fs = platform::defaultFileSystem();
    // The folder that holds logs: beside the program, or the user's own data
    // folder when the program's cannot be written.
    std::string programFolder = platform::ownFilesFolder(*fs, "logs");
    std::string logs = logsFolder(programFolder);
};

// A folder of the program's own as the user knows it: in a Wine prefix the
// host's path, not the one through the prefix's drive Z.
std::string shown(const Setup& setup, const std::string& path) {
    return platform::defaultRegistryStore()->isWinePrefix() ? setup.fs->toHostPath(path) : path;
}

// The wizard creates the logs folder when it opens; so do we.
bool ensureLogsFolder(const Setup& setup) {
    return platform::makeFolders(*setup.fs, setup.logs);
}

// "C:", "c:" or "c" -> "C:"; the default is the fixed drive C.
std::optional<std::vector<DriveItem>> parseDrives(const Setup& setup, const Args& words,
                                                  std::string& error) {
    const auto fixed = setup.fs->fixedDrives();
    std::vector<DriveItem> drives;
    for (const std::string& word : words) {
        const bool letter = (word.size() == 1 || (word.size() == 2 && word[1] == ':')) &&
                            std::isalpha(static_cast<unsigned char>(word[0]));
        const char upper =
            letter ? static_cast<char>(std::toupper(static_cast<unsigned char>(word[0]))) : 0;
        if (!letter || std::find(fixed.begin(), fixed.end(), upper) == fixed.end()) {
            error = "'" + word + "' is not a fixed drive";
            return std::nullopt;
        }
        drives.push_back({std::string(1, upper) + ":", true});
    }
    if (drives.empty()) {
        // The default is checked like a named drive: an unmapped C would
        // give an empty snapshot, and then everything on it looks added.
        if (std::find(fixed.begin(), fixed.end(), 'C') == fixed.end()) {
            error = "'C:' is not a fixed drive";
            return std::nullopt;
        }
        drives.push_back({"C:", true});
    }
    return drives;
}

// Waits for the completion counter as the wizard's timer does, telling the
// progress on stderr once a second.
void waitWithProgress(const AnalysisShared& shared, int32_t until) {
    const auto start = std::chrono::steady_clock::now();
    auto nextReport = start + std::chrono::seconds(1);
    while (shared.completed.load() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const auto now = std::chrono::steady_clock::now();
        if (now >= nextReport) {
            const auto seconds =
                std::chrono::duration_cast<std::chrono::seconds>(now - start).count();
            std::cerr << "files found: " << shared.foundFiles.load()
                      << "  registry entries: " << shared.registryEntries.load()
                      << "  seconds: " << seconds << std::endl;
            nextReport += std::chrono::seconds(1);
        }
    }
}

// Notes of the workers (what a snapshot left out) go to stderr as they are;
// their failures come back as one line, empty when there were none.
std::string failuresOf(AnalysisShared& shared) {
    std::string failures;
    for (const auto& problem : shared.takeProblems()) {
        if (!problem.failed) {
            std::cerr << problem.text << std::endl;
            continue;
        }
        if (!failures.empty())
            failures += "; ";
        failures += problem.text;
    }
    return failures;
}

// The five workers of one snapshot run; what failed, as one line.
std::string runSnapshots(const Setup& setup, const std::shared_ptr<AnalysisShared>& shared,
                         int32_t number, const std::vector<DriveItem>& drives) {
    auto workers = startSnapshotRun(
        shared, number,
        {setup.fs, platform::defaultRegistryStore(), drives, setup.programFolder, {}});
    waitWithProgress(*shared, 5);
    for (auto& worker : workers)
        worker.join();
    shared->registryEntries.store(0);
    return failuresOf(*shared);
}

int runBefore(const Args& args) {
    Setup setup;
    std::string error;
    const auto drives = parseDrives(setup, args, error);
    if (!drives)
        return fail("vornak analyze before: " + error);
    if (!ensureLogsFolder(setup))
        return fail("vornak analyze: cannot create " + shown(setup, setup.logs));
    auto shared = std::make_shared<AnalysisShared>();
    if (const std::string failures = runSnapshots(setup, shared, 1, *drives); !failures.empty())
        return fail("vornak analyze before: " + failures);
    // Say what was recorded, so the user knows the next step has something to compare.
    std::string driveNames;
    for (const DriveItem& drive : *drives)
        driveNames += (driveNames.empty() ? "" : " ") + drive.caption;
    std::cout << "Recorded " << shared->foundFiles.load() << " file-system entries of "
              << driveNames << " and the registry (HKCR, HKCU, HKLM, HKCC) in "
              << shown(setup, setup.logs)
              << "; install the program, then run 'vornak analyze after NAME'." << std::endl;
    return 0;
}

int runAfter(const Args& args) {
    if (args.empty())
        return fail(std::string("usage: vornak ") + kUsage);
    const std::string& name = args[0];
    Setup setup;
    // Checked as the file system will, before anything is walked.
    if (const auto problem = logNameProblem(name))
        return fail("vornak analyze after: '" + name + "': " + messages().get(*problem));
    if (findAnalysisLog(*setup.fs, setup.programFolder, name))
        return fail(messages().get(Msg::msgLogNameTakenCaption) + ": " + name);

    // The second snapshot is only worth anything on the ground of the first.
    std::vector<DriveItem> drives;
    if (args.size() > 1) {
        std::string error;
        const auto named = parseDrives(setup, Args(args.begin() + 1, args.end()), error);
        if (!named)
            return fail("vornak analyze after: " + error);
        drives = *named;
    } else if (const auto before = readRecord(*setup.fs, setup.logs, 1)) {
        for (const auto& drive : before->drives)
            drives.push_back({drive.caption, true});
    }
    const std::string why = secondRunRefusal(*setup.fs, setup.logs, drives,
                                             platform::defaultRegistryStore()->location());
    if (!why.empty())
        return fail("vornak analyze after: " + why +
                    "; nothing was compared (run 'vornak analyze before' again)");

    auto shared = std::make_shared<AnalysisShared>();
    if (const std::string failures = runSnapshots(setup, shared, 2, drives); !failures.empty())
        return fail("vornak analyze after: nothing was compared: " + failures);
    // Told already, unless the first run could not list other folders.
    const auto unreadBySecondRun = shared->unreadFolders();
    shared->setLogName(name);
    std::thread compare = CompareThread::start(shared, {setup.fs, setup.programFolder, ""});
    waitWithProgress(*shared, 6);
    compare.join();
    if (const std::string failures = failuresOf(*shared); !failures.empty())
        return fail("vornak analyze after: " + failures);
    if (const auto unread = shared->unreadFolders(); unread != unreadBySecondRun)
        std::cerr << unreadFoldersNote(unread) << std::endl;
    std::cout << messages().get(Msg::msgAnalysisDone) << std::endl;
    return 0;
}

int runListLogs(const Args& args) {
    if (!args.empty())
        return fail(std::string("usage: vornak ") + kUsage);
    Setup setup;
    auto names = listAnalysisLogs(*setup.fs, setup.programFolder);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return compareCollated(a, b) < 0; });
    for (const auto& name : names)
        std::cout << name << '\n';
    std::cout.flush();
    return std::cout ? 0 : 1;
}

int runRemove(const Args& args) {
    std::optional<std::string> name;
    bool yes = false, keepLog = false, trash = false;
    for (const std::string& word : args) {
        if (word == "--yes")
            yes = true;
        else if (word == "--trash")
            trash = true;
        else if (word == "--keep-log")
            keepLog = true;
        else if (!name)
            name = word;
        else
            return fail(std::string("usage: vornak ") + kUsage);
    }
    if (!name)
        return fail(messages().get(Msg::msgNoLogSelected));
    // A name of the logs folder, never a path to a file elsewhere.
    if (!isUsableLogName(*name))
        return fail("vornak analyze remove: '" + *name + "' is not the name of a log");
    if (!yes && !platform::isTerminal(0))
        return fail(
            "vornak analyze remove: the questions need a terminal; use --yes to answer none");

    Setup setup;
    TerminalDialogs dialogs;
    RemovalOptions options;
    options.confirmEachFile = !yes;
    options.toTrash = trash;
    if (yes || keepLog)
        options.deleteLog = !keepLog;
    LogReplay replay(*setup.fs, *platform::defaultRegistryStore(), dialogs,
                     [](const std::string& line) { std::cout << line << std::endl; });
    const RemovalResult result = replay.run(setup.programFolder, *name, options);
    return result.finished && !result.logDeleteFailed ? 0 : 1;
}

int runAnalyze(const Args& args) {
    applyLanguage();
    if (args.empty())
        return fail(std::string("usage: vornak ") + kUsage);
    const std::string& sub = args[0];
    const Args rest(args.begin() + 1, args.end());
    if (sub == "before")
        return runBefore(rest);
    if (sub == "after")
        return runAfter(rest);
    if (sub == "list")
        return runListLogs(rest);
    if (sub == "remove")
        return runRemove(rest);
    return fail("vornak analyze: unknown subcommand '" + sub + "'");
}

const Command analyzeCommand("analyze", kUsage, runAnalyze);

}  // namespace
}  // namespace vornak::cli
