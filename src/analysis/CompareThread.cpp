#include "analysis/CompareThread.h"

#include <exception>

#include "analysis/AnalysisFiles.h"
#include "analysis/CollatedOrder.h"
#include "analysis/MappedText.h"
#include "analysis/SnapshotDifference.h"

namespace vornak::analysis {
namespace {

struct Pair {
    std::string before;
    std::string after;
    bool isFiles;
};

std::vector<Pair> snapshotPairs(const std::string& logs) {
    std::vector<Pair> pairs;
    pairs.push_back(
        {joinPath(logs, fileSnapshotName(1)), joinPath(logs, fileSnapshotName(2)), true});
    for (const auto& root : kSnapshotRoots)
        pairs.push_back({joinPath(logs, registrySnapshotName(root.name, 1)),
                         joinPath(logs, registrySnapshotName(root.name, 2)), false});
    return pairs;
}

}  // namespace

std::string analysisLogText(const platform::FileSystem& fs, const std::string& logsFolderPath,
                            size_t* lineCount) {
    LineArena differences;
    for (const Pair& pair : snapshotPairs(logsFolderPath)) {
        if (!fs.fileExists(pair.before) || !fs.fileExists(pair.after))
            continue;
        const auto before = MappedText::open(fs, pair.before);
        const auto after = MappedText::open(fs, pair.after);
        if (!before || !after)
            continue;
        if (pair.isFiles)
            appendDifferences(before->text(), after->text(), kFileAdded, kFileDeleted, differences);
        else
            appendDifferences(before->text(), after->text(), kRegAdded, kRegDeleted, differences);
    }
    const auto order = collatedOrder(static_cast<uint32_t>(differences.size()),
                                     [&differences](uint32_t i) { return differences[i]; });
    if (lineCount)
        *lineCount = order.size();
    std::string text;
    for (uint32_t i : order) {
        text.append(differences[i]);
        text.append("\r\n");
    }
    return text;
}

CompareResult compareSnapshots(const platform::FileSystem& fs, const std::string& programFolder,
                               const std::string& logName) {
    CompareResult result;
    const std::string logs = logsFolder(programFolder);
    result.logPath = analysisLogPath(programFolder, logName);
    if (!isUsableLogName(logName)) {
        result.outcome = LogOutcome::UnusableName;
        result.error = "\"" + logName + "\" cannot be used as a file name";
        return result;
    }
    const std::string text = analysisLogText(fs, logs, &result.lineCount);
    if (!fs.writeFile(result.logPath, text, &result.error)) {
        result.outcome = LogOutcome::WriteFailed;
        return result;
    }
    for (const Pair& pair : snapshotPairs(logs)) {
        if (pair.isFiles && !(fs.fileExists(pair.before) && fs.fileExists(pair.after)))
            continue;
        fs.deleteFile(pair.before);
        fs.deleteFile(pair.after);
    }
    return result;
}

CompareThread::CompareThread(std::shared_ptr<AnalysisShared> shared, CompareInputs inputs)
    : shared_(std::move(shared)), inputs_(std::move(inputs)) {}

void CompareThread::Execute() {
    CompletionStep step(shared_->completed);
    try {
        const CompareResult result =
            compareSnapshots(*inputs_.fileSystem, inputs_.programFolder, inputs_.logName);
        if (result.outcome != LogOutcome::Written)
            shared_->reportProblem("The analysis log " + result.logPath +
                                   " was not written: " + result.error);
    } catch (const std::exception& e) {
        shared_->reportProblem(std::string("The comparison failed: ") + e.what());
    } catch (...) {
        shared_->reportProblem("The comparison failed");
    }
}

std::thread CompareThread::start(std::shared_ptr<AnalysisShared> shared, CompareInputs inputs) {
    inputs.logName = shared->logName();
    return std::thread([worker = CompareThread(std::move(shared), std::move(inputs))]() mutable {
        worker.Execute();
    });
}

}  // namespace vornak::analysis
