// The comparison worker: compares the before and after snapshots pair by
// pair, writes the differences as the analysis log logs\<name>.anlog and
// deletes the snapshots.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/AnalysisShared.h"
#include "platform/FileSystem.h"

namespace vornak::analysis {

struct CompareInputs {
    std::shared_ptr<const platform::FileSystem> fileSystem;
    std::string programFolder;  // with its trailing separator
    std::string logName;
};

// Every outcome but Written writes no log and keeps the snapshots.
enum class LogOutcome {
    Written,
    UnusableName,        // the name cannot be a file name
    WriteFailed,         // the file could not be written
    SnapshotUnreadable,  // a snapshot file is there but cannot be read, or is not whole
    DifferentGround,     // the runs did not walk the same drives and store, or say nothing of it
};

struct CompareResult {
    LogOutcome outcome = LogOutcome::Written;
    std::string logPath;
    size_t lineCount = 0;
    std::string error;  // why, for the failures
    // The folders either walk could not list, sorted; nothing below them is
    // in the log.
    std::vector<std::string> unreadFolders;
};

// The log text of the snapshots in the logs folder: every difference line,
// ordered by the platform collation (byte order among lines it calls equal),
// each byte-identical line once, CR LF after each. File lines below one of
// `unreadFolders` are left out: what a walk could not see is not a change.
// nullopt, with the reason for the user in `problem`, when a snapshot that is
// there cannot be read or is not whole (SnapshotSeal). `compared` gets the
// files compared.
// A snapshot file that was compared, and the run that wrote it.
struct ComparedFile {
    std::string path;
    std::string runId;
};

std::optional<std::string> analysisLogText(const platform::FileSystem& fs,
                                           const std::string& logsFolderPath,
                                           const std::vector<std::string>& unreadFolders,
                                           size_t* lineCount = nullptr,
                                           std::string* problem = nullptr,
                                           std::vector<ComparedFile>* compared = nullptr);

// Checks that both runs' records (SnapshotRecord) name the same ground,
// compares, writes the log and, once it is written, deletes the snapshots it
// compared and the records, each only while it is still the file of the run
// compared.
CompareResult compareSnapshots(const platform::FileSystem& fs, const std::string& programFolder,
                               const std::string& logName);

class CompareThread {
  public:
    CompareThread(std::shared_ptr<AnalysisShared> shared, CompareInputs inputs);

    // The whole worker on the calling thread, with one completion step. A log
    // that could not be written is reported to the shared values, and so are
    // the folders left out (AnalysisShared::unreadFolders).
    void Execute();

    // Takes the log name from the shared values, as the wizard stored it, and
    // runs Execute on a new thread that owns the worker.
    static std::thread start(std::shared_ptr<AnalysisShared> shared, CompareInputs inputs);

  private:
    std::shared_ptr<AnalysisShared> shared_;
    CompareInputs inputs_;
};

}  // namespace vornak::analysis
