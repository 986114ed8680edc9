// One snapshot run as the wizard's Go buttons start it: the file worker and
// the four registry workers, together, with the run's snapshot number.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "analysis/AnalysisShared.h"
#include "analysis/FileDumpThread.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

namespace vornak::analysis {

struct SnapshotRunInputs {
    std::shared_ptr<const platform::FileSystem> fileSystem;
    std::shared_ptr<platform::RegistryStore> store;
    std::vector<DriveItem> drives;
    std::string programFolder;
    std::function<void(int32_t)> onRegistryFinished;  // each registry worker's count display
};

// Deletes the new files ("files_1.txt.new-123") that the snapshot writers of a
// killed run left in the logs folder.
void removeSnapshotLeftovers(const platform::FileSystem& fs, const std::string& logsFolderPath);

// Why no snapshot of `store` can be taken now, empty when it can: a Wine
// prefix's registry files lag behind what its running wineserver holds, and a
// snapshot of them would put the user's own changes into the log.
std::string snapshotRefusal(const platform::RegistryStore& store);

// Sets the completion counter to 0 and the snapshot number, clears what
// killed runs left in the logs folder, then starts
// FileDumpThread and the registry workers for HKCR, HKCU, HKLM and HKCC in
// that order. The run is over when the completion counter reaches 5; the
// threads may be detached or joined. While snapshotRefusal() holds, no worker
// starts: the run is over at once with that problem, and the record of the
// earlier run of that number is gone, so nothing stale is compared.
std::vector<std::thread> startSnapshotRun(const std::shared_ptr<AnalysisShared>& shared,
                                          int32_t snapshotNumber, const SnapshotRunInputs& inputs);

}  // namespace vornak::analysis
