#include "analysis/FileDumpThread.h"

#include <exception>
#include <string_view>

#include "analysis/AnalysisFiles.h"
#include "analysis/CollatedOrder.h"

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

bool hasControlCharacter(std::string_view name) {
    for (unsigned char c : name)
        if (c < 0x20) return true;
    return false;
}

}  // namespace

void collectFileLines(const platform::FileSystem& fs, const std::vector<DriveItem>& drives,
                      const std::string& logsFolderPath, LineArena& lines,
                      std::atomic<int32_t>& foundFiles, uint64_t* skipped) {
    std::vector<std::string> pending;
    for (const DriveItem& drive : drives) {
        if (!drive.ticked) continue;
        pending.push_back(drive.caption);
        while (!pending.empty()) {
            const std::string folder = std::move(pending.back());
            pending.pop_back();
            fs.findFiles(folder + "\\*.*", kEverything, [&](const platform::DirEntry& entry) {
                const std::string_view name = entry.name;
                if (name == "." || name == "..") return;
                const bool isDirectory = (entry.attributes & platform::kAttrDirectory) != 0;
                if (isDirectory ? !platform::passesAttributeFilter(entry.attributes, kFolderPass)
                                : !platform::passesAttributeFilter(entry.attributes, kFilePass))
                    return;
                if (hasControlCharacter(name)) {
                    if (skipped) ++*skipped;
                    return;
                }
                if (isDirectory) {
                    std::string path = folder + "\\";
                    path += name;
                    // Exact comparison: a folder that differs in letter case is
                    // another folder where the file system tells case apart.
                    if (path == logsFolderPath) return;
                    lines.add({path, kDirSuffix});
                    pending.push_back(std::move(path));
                } else {
                    lines.add({folder, "\\", name});
                }
                foundFiles.fetch_add(1, std::memory_order_relaxed);
            });
        }
    }
}

FileDumpThread::FileDumpThread(std::shared_ptr<AnalysisShared> shared, FileDumpInputs inputs)
    : shared_(std::move(shared)), inputs_(std::move(inputs)) {}

void FileDumpThread::Execute() {
    CompletionStep step(shared_->completed);
    try {
        shared_->foundFiles.store(0, std::memory_order_relaxed);
        const std::string logs = logsFolder(inputs_.programFolder);
        LineArena lines;
        uint64_t skipped = 0;
        collectFileLines(*inputs_.fileSystem, inputs_.drives, logs, lines, shared_->foundFiles,
                         &skipped);

        const auto order = collatedOrder(static_cast<uint32_t>(lines.size()),
                                         [&lines](uint32_t i) { return lines[i]; });
        std::string text;
        size_t total = 0;
        for (uint32_t i : order) total += lines[i].size() + 2;
        text.reserve(total);
        for (uint32_t i : order) {
            text.append(lines[i]);
            text.append("\r\n");
        }
        lines.clear();

        const std::string path = joinPath(logs, fileSnapshotName(inputs_.snapshotNumber));
        std::string error;
        if (!inputs_.fileSystem->writeFile(path, text, &error))
            shared_->reportProblem("Cannot write " + path + ": " + error);
        if (skipped > 0)
            shared_->reportProblem(std::to_string(skipped) +
                                   " names with control characters were left out of " + path,
                                   false);
    } catch (const std::exception& e) {
        shared_->reportProblem(std::string("File snapshot failed: ") + e.what());
    } catch (...) {
        shared_->reportProblem("File snapshot failed");
    }
}

std::thread FileDumpThread::start(std::shared_ptr<AnalysisShared> shared, FileDumpInputs inputs) {
    return std::thread([worker = FileDumpThread(std::move(shared), std::move(inputs))]() mutable {
        worker.Execute();
    });
}

}  // namespace vornak::analysis
