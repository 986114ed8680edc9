#include "actions/UninstallBatch.h"

#include "actions/EntryRegistry.h"
#include "actions/QuietCommand.h"
#include "actions/UninstallCommandLine.h"
#include "actions/UninstallRunner.h"
#include "language/MessageCatalogue.h"
#include "platform/ProcessLauncher.h"

namespace vornak::actions {
namespace {

std::string formatted(Msg role, const std::vector<FormatArg>& args) {
    try {
        return formatMessage(role, args);
    } catch (const FormatError&) {
        return messages().get(role);
    }
}

// Releases the claim on a registration when its run is over, however it ends.
class Claim {
  public:
    explicit Claim(std::string registration) : registration_(std::move(registration)) {
        held_ = claimRegistration(registration_);
    }
    ~Claim() {
        if (held_)
            releaseRegistration(registration_);
    }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;
    bool held() const { return held_; }

  private:
    std::string registration_;
    bool held_ = false;
};

}  // namespace

std::vector<BatchItem> batchItems(const EntryList& rows, bool quiet,
                                  const platform::FileSystem& fs) {
    std::vector<BatchItem> items;
    items.reserve(rows.size());
    for (const UninstallEntry& row : rows) {
        BatchItem item{row.rootCode, row.keyPath, row.caption, {}};
        item.command = quiet ? quietCommand(row, fs).command : commandToRun(row);
        items.push_back(std::move(item));
    }
    return items;
}

UninstallBatch::UninstallBatch(std::vector<BatchItem> items,
                               std::shared_ptr<platform::ProcessLauncher> launcher)
    : items_(std::move(items)), launcher_(std::move(launcher)) {}

std::vector<BatchResult> UninstallBatch::run(BatchHost& host) {
    std::vector<BatchResult> results;
    results.reserve(items_.size());
    for (const BatchItem& item : items_)
        results.push_back(BatchResult{item, BatchOutcome::NotRun, {}, false});
    for (size_t i = 0; i < results.size() && !stop_; ++i) {
        BatchResult& result = results[i];
        if (result.item.command.empty()) {
            result.outcome = BatchOutcome::NoQuietCommand;
            host.runEnded(result);
            continue;
        }
        host.runStarting(i, results.size(), result.item.caption);
        Claim claim(result.item.rootCode + "\\" + result.item.keyPath);
        std::unique_ptr<platform::StartedProcess> process;
        if (!claim.held()) {
            result.error = formatted(Msg::fmtUninstallRunning, {result.item.caption});
        } else {
            try {
                process = launcher_->start(result.item.command, &result.error);
            } catch (const std::exception& e) {
                result.error = e.what();
            }
        }
        if (process) {
            process->wait();
            process->close();
            result.outcome = BatchOutcome::Ended;
        } else {
            result.outcome = BatchOutcome::NotStarted;
        }
        host.runEnded(result);
    }
    return results;
}

void markStillListed(std::vector<BatchResult>& results) {
    for (BatchResult& result : results)
        result.stillListed = result.outcome != BatchOutcome::NotRun &&
                             keyExists(result.item.rootCode, result.item.keyPath);
}

std::string batchProgressText(size_t index, size_t total, const std::string& caption) {
    return formatted(Msg::fmtBatchProgress,
                     {static_cast<int64_t>(index + 1), static_cast<int64_t>(total), caption});
}

std::string batchSummary(const std::vector<BatchResult>& results) {
    struct Line {
        Msg role;
        bool (*takes)(const BatchResult&);
    };
    static const Line kLines[] = {
        {Msg::fmtBatchEnded,
         [](const BatchResult& r) { return r.outcome == BatchOutcome::Ended && !r.stillListed; }},
        {Msg::fmtBatchStillListed,
         [](const BatchResult& r) { return r.outcome == BatchOutcome::Ended && r.stillListed; }},
        {Msg::fmtBatchNotStarted,
         [](const BatchResult& r) { return r.outcome == BatchOutcome::NotStarted; }},
        {Msg::fmtBatchNoQuietCommand,
         [](const BatchResult& r) { return r.outcome == BatchOutcome::NoQuietCommand; }},
        {Msg::fmtBatchNotRun,
         [](const BatchResult& r) { return r.outcome == BatchOutcome::NotRun; }},
    };
    std::string summary;
    for (const Line& line : kLines) {
        std::string names;
        for (const BatchResult& r : results) {
            if (!line.takes(r))
                continue;
            names += names.empty() ? "" : ", ";
            names += r.item.caption;
        }
        if (names.empty())
            continue;
        summary += summary.empty() ? "" : "\n";
        summary += formatted(line.role, {names});
    }
    return summary;
}

}  // namespace vornak::actions
