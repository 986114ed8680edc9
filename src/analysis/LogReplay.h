// Log-driven removal: replays an analysis log to undo an installation. It
// deletes the files, folders, keys and values the installation added and
// writes back the registry values it deleted or changed. Questions go through
// Dialogs, the removal log comes out line by line through a callback.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

namespace vornak::analysis {

// The four lists of a log, each entry the part of its line after the tag's tab.
struct AnalysisLogEntries {
    std::vector<std::string> addedFiles;
    std::vector<std::string> deletedFiles;
    std::vector<std::string> addedRegistry;
    std::vector<std::string> deletedRegistry;
    // Drive path of a link and the host folder the walk went to through it.
    std::vector<std::pair<std::string, std::string>> walkedLinks;
};

// Lines with another tag, or without a tab, are ignored.
AnalysisLogEntries readAnalysisLog(std::string_view text);

// One of the three confirmation check boxes of the removal page.
struct RemovalConfirmation {
    bool ticked = false;
    std::string caption;
};

// The checks before a removal, in order: a log is selected, every box is
// ticked. The first that fails is shown as a plain message; false then.
bool removalMayStart(const std::optional<std::string>& selectedLog,
                     const std::vector<RemovalConfirmation>& confirmations,
                     platform::Dialogs& dialogs);

struct RemovalOptions {
    // Ask before each file is deleted (the "do not confirm" box unticked).
    bool confirmEachFile = true;
    // Set: what to do with the log at the end, without asking.
    std::optional<bool> deleteLog;
    // Files go to the wastebasket instead of being deleted.
    bool toTrash = false;
};

struct RemovalResult {
    bool finished = false;  // false: the log could not be read, or a value could not be set
    bool logDeleted = false;
    bool logDeleteFailed = false;  // it was to be deleted and is still there
};

class LogReplay {
  public:
    using AppendLine = std::function<void(const std::string&)>;

    LogReplay(const platform::FileSystem& fs, platform::RegistryStore& store,
              platform::Dialogs& dialogs, AppendLine appendLine);

    // Replays logs\<logName>.anlog of the program folder. What it will change
    // in the registry is first saved in the backups folder beside the logs;
    // when that cannot be written nothing is done.
    RemovalResult run(const std::string& programFolder, const std::string& logName,
                      const RemovalOptions& options);

  private:
    void removeAddedFiles(const std::vector<std::string>& entries,
                          const std::vector<std::pair<std::string, std::string>>& links,
                          const RemovalOptions& options);
    void removeAddedRegistry(const std::vector<std::string>& entries,
                             platform::RegistryAccessor& registry);
    bool restoreDeletedRegistry(const std::vector<std::string>& entries,
                                platform::RegistryAccessor& registry);

    const platform::FileSystem& fs_;
    platform::RegistryStore& store_;
    platform::Dialogs& dialogs_;
    AppendLine append_;
};

// Whether a log's file path may be acted on: a drive letter, a colon and a
// path whose every component is a real name (not empty, "." or "..", no "/",
// NUL, tab or line break). Anything else could reach beyond the drive. Where
// the path really leads is the file system's entryKind to tell.
bool isSafeDrivePath(std::string_view path);

}  // namespace vornak::analysis
