// The file-system snapshot worker: every folder and file on the ticked drives,
// one sorted line each, written to logs\files_<n>.txt.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "analysis/AnalysisShared.h"
#include "analysis/LineArena.h"
#include "platform/FileSystem.h"

namespace vornak::analysis {

// One item of the wizard's drive list.
struct DriveItem {
    std::string caption;  // "C:"
    bool ticked = false;
};

struct FileDumpInputs {
    std::shared_ptr<const platform::FileSystem> fileSystem;
    std::vector<DriveItem> drives;
    int32_t snapshotNumber = 1;
    std::string programFolder;  // with its trailing separator
    std::string storeLocation;  // the registry store the run's other workers walk
    std::string runId;          // in the seals of the run's files (SnapshotSeal)
};

// The lines of one snapshot, unsorted: "C:\Acme" TAB "<- dir" for a folder,
// "C:\Acme\setup.log" for a file. Folders are listed by `walkers` threads at
// once (0: one per core, up to two), each into its own arena of `lines`.
// `foundFiles` goes up by one per line. Names with a tab, a line break or a
// backslash are left out, and so is what lies below such a folder; `skipped`
// counts them. `unreadFolders` gets the folders whose listing failed, sorted.
// A link the walk went through (FileSystem::walkableLinkTarget): the drive
// path of the link and the host folder it led to. Its folder's line and what
// it holds are in the snapshot as if it were a folder of the drive.
struct WalkedLink {
    std::string path;
    std::string target;
    bool operator==(const WalkedLink&) const = default;
    bool operator<(const WalkedLink& o) const { return path != o.path ? path < o.path : target < o.target; }
};

void collectFileLines(const platform::FileSystem& fs, const std::vector<DriveItem>& drives,
                      const std::string& logsFolderPath, std::vector<LineArena>& lines,
                      std::atomic<int32_t>& foundFiles, uint64_t* skipped = nullptr,
                      std::vector<std::string>* unreadFolders = nullptr, unsigned walkers = 0,
                      std::vector<WalkedLink>* walkedLinks = nullptr);

class FileDumpThread {
  public:
    FileDumpThread(std::shared_ptr<AnalysisShared> shared, FileDumpInputs inputs);

    // The whole worker on the calling thread: walk, sort, write the snapshot
    // and the record of what it walked (SnapshotRecord), one completion step. Problems go to the
    // shared values, never out as exceptions.
    void Execute();

    // Runs Execute on a new thread that owns the worker.
    static std::thread start(std::shared_ptr<AnalysisShared> shared, FileDumpInputs inputs);

  private:
    std::shared_ptr<AnalysisShared> shared_;
    FileDumpInputs inputs_;
};

}  // namespace vornak::analysis
