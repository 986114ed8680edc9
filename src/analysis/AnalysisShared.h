// The values the analysis wizard shares with its workers: the counters they
// advance, the snapshot number and log name they read, and the problems they
// met. One object per wizard (or command-line run), held by shared_ptr so a
// worker that outlives its window still has somewhere to write.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vornak::analysis {

class AnalysisShared {
  public:
    // Every worker adds 1 when it has ended, whatever happened: 5 after a
    // snapshot run, 6 once the comparison is done too.
    std::atomic<int32_t> completed{0};
    // 1 before the installation, 2 after it.
    std::atomic<int32_t> snapshotNumber{1};
    // Lines seen by the file worker (progress display only).
    std::atomic<int32_t> foundFiles{0};
    // Lines written by the four registry workers together.
    std::atomic<int32_t> registryEntries{0};

    // Set by a comparison that could not write its log under the name it was
    // given and kept both snapshots, so that the log can be named again.
    std::atomic<bool> nameAgain{false};

    void setLogName(std::string name);
    std::string logName() const;

    // A worker that could not do all of its work says so here; the window or
    // the command-line tool shows these once the run is over. `failed`: its
    // file is missing or incomplete, rather than a note about what it left out.
    struct Problem {
        std::string text;
        bool failed = true;
    };
    void reportProblem(std::string text, bool failed = true);
    std::vector<Problem> takeProblems();

    // The folders that could not be listed ("C:\Secret"), sorted: by the
    // last file walk, and once the comparison is done by either walk of the
    // analysis. Nothing below them is in the log; the end of the analysis
    // tells the user so (unreadFoldersNote).
    void setUnreadFolders(std::vector<std::string> folders);
    std::vector<std::string> unreadFolders() const;

  private:
    mutable std::mutex mutex_;
    std::string logName_;
    std::vector<Problem> problems_;
    std::vector<std::string> unreadFolders_;
};

// Adds the completion step when it goes out of scope, so a worker counts
// itself done exactly once on every path out of its body, exceptions included.
class CompletionStep {
  public:
    explicit CompletionStep(std::atomic<int32_t>& counter) : counter_(counter) {}
    ~CompletionStep() { counter_.fetch_add(1, std::memory_order_acq_rel); }
    CompletionStep(const CompletionStep&) = delete;
    CompletionStep& operator=(const CompletionStep&) = delete;

  private:
    std::atomic<int32_t>& counter_;
};

}  // namespace vornak::analysis
