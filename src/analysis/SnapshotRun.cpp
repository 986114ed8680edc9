#include "analysis/SnapshotRun.h"

#include "analysis/RegDumpThread.h"

namespace vornak::analysis {

std::vector<std::thread> startSnapshotRun(const std::shared_ptr<AnalysisShared>& shared,
                                          int32_t snapshotNumber, const SnapshotRunInputs& inputs) {
    shared->completed.store(0);
    shared->snapshotNumber.store(snapshotNumber);
    std::vector<std::thread> workers;
    workers.push_back(FileDumpThread::start(
        shared, {inputs.fileSystem, inputs.drives, snapshotNumber, inputs.programFolder}));
    for (int root = 0; root < 4; ++root)
        workers.push_back(
            RegDumpThread::start(shared, {inputs.store, inputs.fileSystem, root, snapshotNumber,
                                          inputs.programFolder, inputs.onRegistryFinished}));
    return workers;
}

}  // namespace vornak::analysis
