#include "analysis/FileDumpThread.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string_view>

#include "analysis/AnalysisFiles.h"
#include "analysis/CollatedOrder.h"
#include "analysis/SnapshotRecord.h"
#include "analysis/SnapshotSeal.h"
#include "analysis/SnapshotWriter.h"
#include "language/MessageCatalogue.h"

namespace vornak::analysis {
namespace {

constexpr std::string_view kDirSuffix = "\t<- dir";

// One listing per folder gives both passes: the folder pass wants only
// directories that are neither hidden nor system (nor volume labels), the
// file pass takes every entry that is not a directory.
constexpr uint32_t kEverything = platform::kAttrReadOnly | platform::kAttrHidden |
                                 platform::kAttrSystem | platform::kAttrVolumeLabel |
                                 platform::kAttrDirectory | platform::kAttrArchive;
constexpr uint32_t kFolderPass = platform::kAttrDirectory;
constexpr uint32_t kFilePass = 0x2F;

// A name that cannot stand in a line as it is: a line break would split the
// line, a tab would make a file look like a folder, and a backslash (a legal
// character off Windows) would make it name another file on the drive. Other
// control characters are part of real names and are kept.
bool isUnwritableName(std::string_view name) {
    return name.find_first_of("\t\r\n\\") != std::string_view::npos;
}

// The folders still to be listed, shared by the walkers. A walker that finds
// it empty waits while another is still listing, since that one may add more.
class FolderQueue {
  public:
    explicit FolderQueue(std::vector<std::string> roots) : pending_(std::move(roots)) {}

    std::optional<std::string> next() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !pending_.empty() || listing_ == 0; });
        if (pending_.empty())
            return std::nullopt;
        ++listing_;
        std::string folder = std::move(pending_.back());
        pending_.pop_back();
        return folder;
    }

    void done(std::vector<std::string>& found) {
        {
            std::lock_guard lock(mutex_);
            for (auto& folder : found)
                pending_.push_back(std::move(folder));
            --listing_;
        }
        found.clear();
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> pending_;
    int listing_ = 0;
};

void walk(const platform::FileSystem& fs, FolderQueue& queue, const std::string& logsFolderPath,
          LineArena& lines, std::atomic<int32_t>& foundFiles, uint64_t& skipped,
          std::vector<std::string>& unread, std::vector<WalkedLink>& links) {
    std::vector<std::string> subfolders;
    while (auto folder = queue.next()) {
        // Hands the folder back as done on every way out, so that no other
        // walker waits for it forever.
        struct Done {
            FolderQueue& queue;
            std::vector<std::string>& found;
            ~Done() { queue.done(found); }
        } done{queue, subfolders};
        int32_t found = 0;
        const bool listed =
            fs.findFiles(*folder + "\\*.*", kEverything, [&](const platform::DirEntry& entry) {
                const std::string_view name = entry.name;
                if (name == "." || name == "..")
                    return;
                const bool isDirectory = (entry.attributes & platform::kAttrDirectory) != 0;
                if (isDirectory ? !platform::passesAttributeFilter(entry.attributes, kFolderPass)
                                : !platform::passesAttributeFilter(entry.attributes, kFilePass))
                    return;
                if (isUnwritableName(name)) {
                    ++skipped;
                    return;
                }
                if (isDirectory) {
                    std::string path = *folder + "\\";
                    path += name;
                    // Exact comparison: a folder that differs in letter case is
                    // another folder where the file system tells case apart.
                    if (path == logsFolderPath)
                        return;
                    lines.add({path, kDirSuffix});
                    subfolders.push_back(std::move(path));
                } else if (std::string target;
                           (entry.attributes & platform::kAttrReparsePoint) != 0 &&
                           !(target = fs.walkableLinkTarget(*folder + "\\" + std::string(name)))
                                .empty()) {
                    // A Desktop or other shell folder of a Wine prefix, which
                    // lives in the user's home: what an installer puts there is
                    // its work too.
                    std::string path = *folder + "\\";
                    path += name;
                    lines.add({path, kDirSuffix});
                    links.push_back({path, std::move(target)});
                    subfolders.push_back(std::move(path));
                } else {
                    lines.add({*folder, "\\", name});
                }
                ++found;
            });
        // Access denied, or a path longer than the host allows: what it holds
        // is unknown, not absent.
        if (!listed)
            unread.push_back(*folder);
        foundFiles.fetch_add(found, std::memory_order_relaxed);
    }
}

}  // namespace

void collectFileLines(const platform::FileSystem& fs, const std::vector<DriveItem>& drives,
                      const std::string& logsFolderPath, std::vector<LineArena>& lines,
                      std::atomic<int32_t>& foundFiles, uint64_t* skipped,
                      std::vector<std::string>* unreadFolders, unsigned walkers,
                      std::vector<WalkedLink>* walkedLinks) {
    if (walkers == 0)
        walkers = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
    std::vector<std::string> roots;
    for (const DriveItem& drive : drives)
        if (drive.ticked)
            roots.push_back(drive.caption);
    FolderQueue queue(std::move(roots));
    lines.clear();
    lines.resize(walkers);
    std::vector<uint64_t> skippedBy(walkers, 0);
    std::vector<std::vector<std::string>> unreadBy(walkers);
    std::vector<std::vector<WalkedLink>> linksBy(walkers);
    std::vector<std::exception_ptr> errors(walkers);
    std::vector<std::thread> helpers;
    auto run = [&](unsigned w) {
        try {
            walk(fs, queue, logsFolderPath, lines[w], foundFiles, skippedBy[w], unreadBy[w],
                 linksBy[w]);
        } catch (...) {
            errors[w] = std::current_exception();
        }
    };
    for (unsigned w = 1; w < walkers; ++w)
        helpers.emplace_back(run, w);
    run(0);
    for (auto& helper : helpers)
        helper.join();
    for (const auto& error : errors)
        if (error)
            std::rethrow_exception(error);
    if (skipped)
        for (uint64_t n : skippedBy)
            *skipped += n;
    if (unreadFolders) {
        for (auto& some : unreadBy)
            unreadFolders->insert(unreadFolders->end(), some.begin(), some.end());
        std::sort(unreadFolders->begin(), unreadFolders->end());
    }
    if (walkedLinks) {
        for (auto& some : linksBy)
            walkedLinks->insert(walkedLinks->end(), some.begin(), some.end());
        std::sort(walkedLinks->begin(), walkedLinks->end());
    }
}

FileDumpThread::FileDumpThread(std::shared_ptr<AnalysisShared> shared, FileDumpInputs inputs)
    : shared_(std::move(shared)), inputs_(std::move(inputs)) {}

void FileDumpThread::Execute() {
    CompletionStep step(shared_->completed);
    try {
        shared_->foundFiles.store(0, std::memory_order_relaxed);
        const std::string logs = logsFolder(inputs_.programFolder);
        // An old record must not vouch for this run if it fails half way.
        const std::string recordPath = joinPath(logs, runRecordName(inputs_.snapshotNumber));
        if (inputs_.fileSystem->fileExists(recordPath))
            inputs_.fileSystem->deleteFile(recordPath);
        SnapshotRecord record =
            groundOf(*inputs_.fileSystem, inputs_.drives, inputs_.storeLocation);
        std::vector<LineArena> lines;
        uint64_t skipped = 0;
        collectFileLines(*inputs_.fileSystem, inputs_.drives, logs, lines, shared_->foundFiles,
                         &skipped, &record.unreadFolders, 0, &record.walkedLinks);

        // The walkers' arenas, numbered one after the other.
        std::vector<uint32_t> firstLine{0};
        for (const auto& arena : lines)
            firstLine.push_back(firstLine.back() + static_cast<uint32_t>(arena.size()));
        auto lineAt = [&](uint32_t i) {
            size_t a = 0;
            while (i >= firstLine[a + 1])
                ++a;
            return lines[a][i - firstLine[a]];
        };
        const auto order = collatedOrder(firstLine.back(), lineAt);
        const std::string path = joinPath(logs, fileSnapshotName(inputs_.snapshotNumber));
        SnapshotWriter writer(*inputs_.fileSystem, path, inputs_.runId);
        for (uint32_t i : order) {
            writer.append(lineAt(i));
            writer.append("\r\n");
        }
        std::string error;
        if (!writer.finish(&error))
            shared_->reportProblem(messageText(Msg::fmtCannotWrite, {path, error}));
        else if (!inputs_.fileSystem->writeFile(recordPath,
                                                sealed(recordText(record), inputs_.runId), &error))
            shared_->reportProblem(messageText(Msg::fmtCannotWrite, {recordPath, error}));
        if (skipped > 0)
            shared_->reportProblem(
                formatCountMessage(Msg::fmtFileNameLeftOutOne, Msg::fmtFileNamesLeftOut,
                                   static_cast<int64_t>(skipped), {path}),
                false);
        if (!record.unreadFolders.empty())
            shared_->reportProblem(unreadFoldersNote(record.unreadFolders), false);
        shared_->setUnreadFolders(std::move(record.unreadFolders));
    } catch (const std::exception& e) {
        shared_->reportProblem(messageText(Msg::fmtFileSnapshotFailed, {std::string(e.what())}));
    } catch (...) {
        shared_->reportProblem(
            messageText(Msg::fmtFileSnapshotFailed, {messages().get(Msg::msgUnexpectedError)}));
    }
}

std::thread FileDumpThread::start(std::shared_ptr<AnalysisShared> shared, FileDumpInputs inputs) {
    return std::thread([worker = FileDumpThread(std::move(shared), std::move(inputs))]() mutable {
        worker.Execute();
    });
}

}  // namespace vornak::analysis
