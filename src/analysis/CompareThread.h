// The comparison worker: compares the before and after snapshots pair by
// pair, writes the differences as the analysis log logs\<name>.anlog and
// deletes the snapshots.
#pragma once

#include <memory>
#include <string>
#include <thread>

#include "analysis/AnalysisShared.h"
#include "platform/FileSystem.h"

namespace vornak::analysis {

struct CompareInputs {
    std::shared_ptr<const platform::FileSystem> fileSystem;
    std::string programFolder;  // with its trailing separator
    std::string logName;
};

enum class LogOutcome {
    Written,
    UnusableName,  // the name cannot be a file name: nothing written, snapshots kept
    WriteFailed,   // the file could not be written: snapshots kept
};

struct CompareResult {
    LogOutcome outcome = LogOutcome::Written;
    std::string logPath;
    size_t lineCount = 0;
    std::string error;  // why, for the two failures
};

// The log text of the snapshots in the logs folder: every difference line,
// ordered by the platform collation (byte order among lines it calls equal),
// each byte-identical line once, CR LF after each.
std::string analysisLogText(const platform::FileSystem& fs, const std::string& logsFolderPath,
                            size_t* lineCount = nullptr);

// Compares, writes the log and, once it is written, deletes the snapshots:
// the file pair only when both files were there, the registry pairs always.
CompareResult compareSnapshots(const platform::FileSystem& fs, const std::string& programFolder,
                               const std::string& logName);

class CompareThread {
  public:
    CompareThread(std::shared_ptr<AnalysisShared> shared, CompareInputs inputs);

    // The whole worker on the calling thread, with one completion step. A log
    // that could not be written is reported to the shared values.
    void Execute();

    // Takes the log name from the shared values, as the wizard stored it, and
    // runs Execute on a new thread that owns the worker.
    static std::thread start(std::shared_ptr<AnalysisShared> shared, CompareInputs inputs);

  private:
    std::shared_ptr<AnalysisShared> shared_;
    CompareInputs inputs_;
};

}  // namespace vornak::analysis
