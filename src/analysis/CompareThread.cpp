#include "analysis/CompareThread.h"

#include <algorithm>
#include <exception>
#include <iterator>
#include <set>

#include "analysis/AnalysisFiles.h"
#include "analysis/CollatedOrder.h"
#include "analysis/MappedText.h"
#include "analysis/SnapshotDifference.h"
#include "analysis/SnapshotRecord.h"
#include "analysis/SnapshotSeal.h"
#include "language/MessageCatalogue.h"

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

// A broken language text must not hide the failure it reports.
std::string message(Msg role, const std::vector<FormatArg>& args) {
    try {
        return formatMessage(role, args);
    } catch (const FormatError&) {
        std::string text = messages().get(role);
        for (const auto& arg : args)
            if (std::holds_alternative<std::string>(arg))
                text += " " + std::get<std::string>(arg);
        return text;
    }
}

}  // namespace

std::optional<std::string> analysisLogText(const platform::FileSystem& fs,
                                           const std::string& logsFolderPath,
                                           const std::vector<std::string>& unreadFolders,
                                           size_t* lineCount, std::string* problem,
                                           std::vector<ComparedFile>* compared) {
    const std::set<std::string, std::less<>> unread(unreadFolders.begin(), unreadFolders.end());
    // Whether the path of a FILE line lies below a folder a walk could not list.
    auto belowUnread = [&](std::string_view line) {
        std::string_view path = line.substr(line.find('\t') + 1);
        path = path.substr(0, path.find('\t'));
        for (size_t cut = path.find('\\'); cut != std::string_view::npos;
             cut = path.find('\\', cut + 1))
            if (unread.count(path.substr(0, cut)))
                return true;
        return false;
    };
    LineArena differences;
    for (const Pair& pair : snapshotPairs(logsFolderPath)) {
        if (!fs.fileExists(pair.before) || !fs.fileExists(pair.after))
            continue;
        const auto before = MappedText::open(fs, pair.before);
        const auto after = MappedText::open(fs, pair.after);
        if (!before || !after) {
            // Passed over, it would give an empty log in place of the analysis.
            if (problem)
                *problem = message(Msg::fmtSnapshotNotRead, {before ? pair.after : pair.before});
            return std::nullopt;
        }
        // Only whole snapshots: what a cut one lost would count as deleted,
        // and so would what was changed in one.
        std::string_view texts[2];
        for (int side = 0; side < 2; ++side) {
            const std::string& path = side == 0 ? pair.before : pair.after;
            const SealCheck seal = checkSeal((side == 0 ? before : after)->text());
            if (seal.state != SealState::Whole) {
                if (problem)
                    *problem =
                        message(seal.state == SealState::Incomplete ? Msg::fmtSnapshotIncomplete
                                                                    : Msg::fmtSnapshotAltered,
                                {path});
                return std::nullopt;
            }
            texts[side] = seal.body;
            if (compared)
                compared->push_back({path, seal.runId});
        }
        if (!pair.isFiles) {
            appendDifferences(texts[0], texts[1], kRegAdded, kRegDeleted, differences);
            continue;
        }
        LineArena files;
        appendDifferences(texts[0], texts[1], kFileAdded, kFileDeleted, files);
        for (size_t i = 0; i < files.size(); ++i)
            if (unread.empty() || !belowUnread(files[i]))
                differences.add(files[i]);
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
    if (const auto problem = logNameProblem(logName)) {
        result.outcome = LogOutcome::UnusableName;
        result.error = "\"" + logName + "\": " + messages().get(*problem);
        return result;
    }
    for (int32_t number : {1, 2}) {
        const std::string path = joinPath(logs, runRecordName(number));
        if (!fs.fileExists(path))
            continue;
        if (std::string why = snapshotFileProblem(fs, path); !why.empty()) {
            result.outcome = LogOutcome::SnapshotUnreadable;
            result.error = std::move(why);
            return result;
        }
    }
    const auto before = readRecord(fs, logs, 1), after = readRecord(fs, logs, 2);
    if (!before || !after) {
        result.outcome = LogOutcome::DifferentGround;
        result.error = "there is no record of what the snapshot " +
                       std::string(before ? "after" : "before") +
                       " the installation covered; take both snapshots again";
        return result;
    }
    if (std::string why = groundDifference(*before, *after); !why.empty()) {
        result.outcome = LogOutcome::DifferentGround;
        result.error = std::move(why);
        return result;
    }
    std::set_union(before->unreadFolders.begin(), before->unreadFolders.end(),
                   after->unreadFolders.begin(), after->unreadFolders.end(),
                   std::back_inserter(result.unreadFolders));
    std::vector<ComparedFile> compared;
    const auto text = analysisLogText(fs, logs, result.unreadFolders, &result.lineCount,
                                      &result.error, &compared);
    if (!text) {
        result.outcome = LogOutcome::SnapshotUnreadable;
        return result;
    }
    // The links the walk went through, for the removal: it acts behind such a
    // link only because the walk recorded going there, and only while the
    // link still leads to the folder recorded.
    std::string logText = *text;
    for (const WalkedLink& link : after->walkedLinks)
        logText += std::string(kLinkWalked) + "\t" + link.path + "\t" + link.target + "\r\n";
    if (!fs.writeFile(result.logPath, logText, &result.error)) {
        result.outcome = LogOutcome::WriteFailed;
        return result;
    }
    // Only the files compared, and only while they are still the ones
    // compared: a new snapshot run may have begun on these names meanwhile.
    compared.push_back({joinPath(logs, runRecordName(1)), before->runId});
    compared.push_back({joinPath(logs, runRecordName(2)), after->runId});
    for (const ComparedFile& file : compared) {
        const auto now = MappedText::open(fs, file.path);
        const std::optional<std::string> runId = now ? sealRunId(now->text()) : std::nullopt;
        if (runId && *runId == file.runId)
            fs.deleteFile(file.path);
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
        if (result.outcome == LogOutcome::WriteFailed ||
            result.outcome == LogOutcome::UnusableName) {
            shared_->reportProblem(
                messageText(Msg::fmtLogNotWrittenKept, {result.logPath, result.error}));
            shared_->nameAgain.store(true);
        } else if (result.outcome != LogOutcome::Written) {
            shared_->reportProblem(
                messageText(Msg::fmtLogNotWritten, {result.logPath, result.error}));
        }
        shared_->setUnreadFolders(result.unreadFolders);
    } catch (const std::exception& e) {
        shared_->reportProblem(messageText(Msg::fmtComparisonFailed, {std::string(e.what())}));
    } catch (...) {
        shared_->reportProblem(
            messageText(Msg::fmtComparisonFailed, {messages().get(Msg::msgUnexpectedError)}));
    }
}

std::thread CompareThread::start(std::shared_ptr<AnalysisShared> shared, CompareInputs inputs) {
    inputs.logName = shared->logName();
    return std::thread([worker = CompareThread(std::move(shared), std::move(inputs))]() mutable {
        worker.Execute();
    });
}

}  // namespace vornak::analysis
