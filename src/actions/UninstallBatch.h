// A batch of uninstalls: the registrations run one after another, never two at
// once (Windows Installer refuses a second installation while one runs, and two
// NSIS uninstallers race for the same temporary folder). Each run is waited for
// as a single one is, in a Wine prefix until the prefix's wineserver has ended.
// The batch can be told to stop after the run in progress. The window runs it
// on a worker thread, the command-line tool on its own.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "inventory/Inventory.h"

namespace vornak {

namespace platform {
class FileSystem;
class ProcessLauncher;
}  // namespace platform

namespace actions {

struct BatchItem {
    std::string rootCode;
    std::string keyPath;
    std::string caption;
    std::string command;  // what runs; empty: no quiet command, so it is not run
};

enum class BatchOutcome {
    NotRun,          // the batch was stopped before its turn
    Ended,           // its program ran and has ended
    NotStarted,      // its program could not be started
    NoQuietCommand,  // a quiet batch, and it has none
};

struct BatchResult {
    BatchItem item;
    BatchOutcome outcome = BatchOutcome::NotRun;
    std::string error;         // why it did not start
    bool stillListed = false;  // its registration is still there after the batch
};

// The batch's items for `rows`, in their order: each row's quiet command when
// `quiet`, else the command a single run of it uses.
std::vector<BatchItem> batchItems(const EntryList& rows, bool quiet,
                                  const platform::FileSystem& fs);

// What a batch reports, from the thread it runs on.
class BatchHost {
  public:
    virtual ~BatchHost() = default;
    // Item `index` (from 0) of `total` is about to start.
    virtual void runStarting(size_t index, size_t total, const std::string& caption) = 0;
    // Item `result` has ended, or did not start.
    virtual void runEnded(const BatchResult& /*result*/) {}
};

class UninstallBatch {
  public:
    UninstallBatch(std::vector<BatchItem> items,
                   std::shared_ptr<platform::ProcessLauncher> launcher);

    // Runs the items in order, each to its end. Returns one result per item.
    std::vector<BatchResult> run(BatchHost& host);

    // No item starts after the one that runs now; callable from any thread.
    void stopAfterCurrent() { stop_ = true; }
    bool stopping() const { return stop_; }

  private:
    std::vector<BatchItem> items_;
    std::shared_ptr<platform::ProcessLauncher> launcher_;
    std::atomic<bool> stop_{false};
};

// Looks which registrations of the items that had their turn are still there
// (on the thread that reads the registry for the window or the tool).
void markStillListed(std::vector<BatchResult>& results);

// The summary of a batch from the message catalogue: a line for each outcome
// that happened, naming the programs; registrations still there get their own.
std::string batchSummary(const std::vector<BatchResult>& results);

// "2 of 5: <name>".
std::string batchProgressText(size_t index, size_t total, const std::string& caption);

}  // namespace actions
}  // namespace vornak
