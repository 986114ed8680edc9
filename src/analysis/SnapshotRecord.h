// What a snapshot run walked, kept beside its snapshots as logs\run_<n>.txt:
// the drives with the folders they stand for, the registry store, and the
// folders the walk could not list. The second run and the comparison hold it
// against the first, so that an analysis never compares different ground: a
// drive missing from one side would make all of it look added or deleted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/FileDumpThread.h"
#include "platform/FileSystem.h"

namespace vornak::analysis {

struct WalkedDrive {
    std::string caption;  // "C:"
    std::string root;     // the folder it stands for; empty when it is not mapped
    bool operator==(const WalkedDrive&) const = default;
};

struct SnapshotRecord {
    std::vector<WalkedDrive> drives;  // in walk order
    std::string store;
    std::vector<std::string> unreadFolders;  // "C:\Secret", sorted by bytes
    std::vector<WalkedLink> walkedLinks;      // sorted
    std::string runId;  // of the run that wrote it, from its seal; not part of its text
};

// "run_1.txt".
std::string runRecordName(int32_t snapshotNumber);

// The ticked drives of `drives` as `fs` maps them now, and the store.
SnapshotRecord groundOf(const platform::FileSystem& fs, const std::vector<DriveItem>& drives,
                        const std::string& storeLocation);

std::string recordText(const SnapshotRecord& record);
std::optional<SnapshotRecord> parseRecord(std::string_view text);
// nullopt when the file is missing, unreadable, not whole (SnapshotSeal) or
// not a record.
std::optional<SnapshotRecord> readRecord(const platform::FileSystem& fs,
                                         const std::string& logsFolderPath, int32_t number);

// Why `now` is not the ground `before` covered (drives, the folders they
// stand for, the store); empty when it is.
std::string groundDifference(const SnapshotRecord& before, const SnapshotRecord& now);

// Why a second snapshot run over `drives` (the ticked ones) and the store at
// `storeLocation` could not be compared with the first one in the logs
// folder: a snapshot from before missing, no record of what it walked, or
// other ground. Empty when it can; then start the run.
std::string secondRunRefusal(const platform::FileSystem& fs, const std::string& logsFolderPath,
                             const std::vector<DriveItem>& drives,
                             const std::string& storeLocation);

// Why the snapshot (or run record) at `path` cannot be compared, for the
// user: it cannot be read, it was cut short, or it was changed after it was
// written. Empty when it is whole; `runId` then names the run that wrote it.
std::string snapshotFileProblem(const platform::FileSystem& fs, const std::string& path,
                                std::string* runId = nullptr);

// Count and first few of `folders`, for the user: empty when there are none.
std::string unreadFoldersNote(const std::vector<std::string>& folders);

}  // namespace vornak::analysis
