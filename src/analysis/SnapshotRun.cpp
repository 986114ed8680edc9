#include "analysis/SnapshotRun.h"

#include <cctype>
#include <chrono>
#include <random>

#include "analysis/AnalysisFiles.h"
#include "analysis/RegDumpThread.h"
#include "analysis/SnapshotRecord.h"
#include "language/MessageCatalogue.h"

namespace vornak::analysis {

void removeSnapshotLeftovers(const platform::FileSystem& fs, const std::string& logsFolderPath) {
    constexpr std::string_view kMark = ".txt.new-";
    std::vector<std::string> leftovers;
    fs.findFiles(joinPath(logsFolderPath, "*.txt.new-*"),
                 platform::kAttrReadOnly | platform::kAttrHidden | platform::kAttrArchive,
                 [&](const platform::DirEntry& entry) {
                     const size_t at = entry.name.rfind(kMark);
                     if (at == std::string::npos || at + kMark.size() == entry.name.size())
                         return;
                     for (size_t i = at + kMark.size(); i < entry.name.size(); ++i)
                         if (!std::isdigit(static_cast<unsigned char>(entry.name[i])))
                             return;
                     leftovers.push_back(entry.name);
                 });
    for (const auto& name : leftovers)
        fs.deleteFile(joinPath(logsFolderPath, name));
}

std::string snapshotRefusal(const platform::RegistryStore& store) {
    if (!store.isWinePrefix() || store.writeRefusal().empty())
        return {};
    const std::string prefix = store.location();
    return formatMessage(Msg::fmtPrefixBusySnapshot, {prefix, prefix});
}

std::vector<std::thread> startSnapshotRun(const std::shared_ptr<AnalysisShared>& shared,
                                          int32_t snapshotNumber, const SnapshotRunInputs& inputs) {
    shared->completed.store(0);
    shared->snapshotNumber.store(snapshotNumber);
    // No worker of ours is writing now: a new file left in the logs folder
    // is from a run that was killed, and would stay there for ever.
    removeSnapshotLeftovers(*inputs.fileSystem, logsFolder(inputs.programFolder));
    // Every file of the run carries this in its seal, so that a comparison
    // can tell its files from those of a later run of the same number.
    std::random_device random;
    const uint64_t id =
        (uint64_t(random()) << 32 ^ random()) ^
        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    const std::string runId = std::to_string(snapshotNumber) + "-" + std::to_string(id);
    std::vector<std::thread> workers;
    if (const std::string why = snapshotRefusal(*inputs.store); !why.empty()) {
        const std::string record =
            joinPath(logsFolder(inputs.programFolder), runRecordName(snapshotNumber));
        if (inputs.fileSystem->fileExists(record))
            inputs.fileSystem->deleteFile(record);
        shared->reportProblem(why);
        shared->completed.store(5);
        return workers;
    }
    workers.push_back(
        FileDumpThread::start(shared, {inputs.fileSystem, inputs.drives, snapshotNumber,
                                       inputs.programFolder, inputs.store->location(), runId}));
    for (int root = 0; root < 4; ++root)
        workers.push_back(
            RegDumpThread::start(shared, {inputs.store, inputs.fileSystem, root, snapshotNumber,
                                          inputs.programFolder, inputs.onRegistryFinished, runId}));
    return workers;
}

}  // namespace vornak::analysis
