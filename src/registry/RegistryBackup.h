// Backups of the registry taken before the program changes it for the user
// (an entry deleted, values edited, a log-driven removal): regedit version 5
// files in a `backups` folder beside `logs`, each of which puts back what the
// change touched when it is imported. Old ones are removed at start.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "registry/RegFileModel.h"

namespace vornak::registry {

// `ownFolder` is the folder holding `logs` (with its trailing separator).
std::string backupsFolderIn(std::string_view ownFolder);
// The backups folder of the file system's own files (per prefix where one is in use).
std::string backupsFolder(const platform::FileSystem& fs);

// Keys that put the key tree at `path` back as it is now: its removal first,
// so what is added later goes too, then the tree; a missing key is only
// removed. Other failures of the store come back as their status.
platform::RegStatus keyTreeImage(platform::RegistryAccessor& accessor, platform::RegRoot root,
                                 const std::string& path, std::vector<RegFileRestoreKey>& out);

// Writes `keys` as a new backup in `folder` (made when missing), named
// "YYYY-MM-DD HH-MM-SS <what>.reg" in local time, with " (2)" and on after
// the time when that name is taken. Written beside and renamed into place, so
// it is whole or not there. The file's name, or nullopt with `error` saying why.
std::optional<std::string> writeBackup(const platform::FileSystem& fs, const std::string& folder,
                                       const std::vector<RegFileRestoreKey>& keys,
                                       std::string_view what, std::string& error,
                                       std::time_t now = std::time(nullptr));

struct BackupFile {
    std::string name;  // the file name, ".reg" included
    std::time_t made = 0;
};

// The backups of `folder`, newest first. Files whose names do not begin with
// a backup's time are not ours and are left out.
std::vector<BackupFile> listBackups(const platform::FileSystem& fs, const std::string& folder);

// Imports the backup `name` (a file of `folder`, ".reg" may be left out) all
// or nothing, as `reg import` does. Throws RegFileError.
void restoreBackup(const platform::FileSystem& fs, const std::string& folder,
                   platform::RegistryAccessor& accessor, const std::string& name);

// Removes the backups made more than `days` days before `now`; the number removed.
int pruneBackups(const platform::FileSystem& fs, const std::string& folder, int days,
                 std::time_t now = std::time(nullptr));

// The settings of this feature, below the program's settings key.
inline constexpr int kDefaultBackupDays = 90;
int backupRetentionDays();
bool writeBackupRetentionDays(int days);
// Whether a log-driven removal moves files to the wastebasket.
bool trashSettingOn();
bool writeTrashSetting(bool on);

}  // namespace vornak::registry
