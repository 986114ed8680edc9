// The program's message catalogue: one text per role, guarded so that a reader
// on a worker thread never sees an entry while it is being replaced.
#include "language/MessageCatalogue.h"

#include <mutex>

namespace vornak {

const char* messageName(Msg role) {
    switch (role) {
        case Msg::msgDeleteEntryQuestion:
            return "msgDeleteEntryQuestion";
        case Msg::msgUpdateAvailable:
            return "msgUpdateAvailable";
        case Msg::msgNoUpdate:
            return "msgNoUpdate";
        case Msg::msgUpdateCheckFailed:
            return "msgUpdateCheckFailed";
        case Msg::fmtStatusCount:
            return "fmtStatusCount";
        case Msg::fmtUninstallStarted:
            return "fmtUninstallStarted";
        case Msg::fmtUninstallFinished:
            return "fmtUninstallFinished";
        case Msg::fmtUninstallNotStarted:
            return "fmtUninstallNotStarted";
        case Msg::msgLogNameCaption:
            return "msgLogNameCaption";
        case Msg::msgLogNamePrompt:
            return "msgLogNamePrompt";
        case Msg::msgLogNameTakenCaption:
            return "msgLogNameTakenCaption";
        case Msg::msgLogNameTakenPrompt:
            return "msgLogNameTakenPrompt";
        case Msg::msgAnalysisDone:
            return "msgAnalysisDone";
        case Msg::msgNoLogSelected:
            return "msgNoLogSelected";
        case Msg::msgMustConfirm:
            return "msgMustConfirm";
        case Msg::fmtDeleteFileQuestion:
            return "fmtDeleteFileQuestion";
        case Msg::msgDeleteFileCaption:
            return "msgDeleteFileCaption";
        case Msg::msgDeleteLogQuestion:
            return "msgDeleteLogQuestion";
        case Msg::msgDeleteLogCaption:
            return "msgDeleteLogCaption";
        case Msg::msgFileDeletedPrefix:
            return "msgFileDeletedPrefix";
        case Msg::fmtFolderNotRemoved:
            return "fmtFolderNotRemoved";
        case Msg::fmtDeletedFilesCount:
            return "fmtDeletedFilesCount";
        case Msg::fmtKeyNotRemoved:
            return "fmtKeyNotRemoved";
        case Msg::msgEntrySkipped:
            return "msgEntrySkipped";
        case Msg::msgRemovalDone:
            return "msgRemovalDone";
        case Msg::msgRemoveValueQuestion:
            return "msgRemoveValueQuestion";
        case Msg::msgConfirmCaption:
            return "msgConfirmCaption";
        case Msg::fmtEntryNotDeleted:
            return "fmtEntryNotDeleted";
        case Msg::fmtKeyNotDeleted:
            return "fmtKeyNotDeleted";
        case Msg::fmtFileNotDeleted:
            return "fmtFileNotDeleted";
        case Msg::fmtLogNotDeleted:
            return "fmtLogNotDeleted";
        case Msg::fmtSnapshotNotRead:
            return "fmtSnapshotNotRead";
        case Msg::fmtFoldersNotRead:
            return "fmtFoldersNotRead";
        case Msg::fmtValueNotWritten:
            return "fmtValueNotWritten";
        case Msg::fmtValueNotRemoved:
            return "fmtValueNotRemoved";
        case Msg::msgSettingsNotSaved:
            return "msgSettingsNotSaved";
        case Msg::fmtPrefixBusy:
            return "fmtPrefixBusy";
        case Msg::msgWinePrefixMenu:
            return "msgWinePrefixMenu";
        case Msg::msgMachineRegistry:
            return "msgMachineRegistry";
        case Msg::fmtPrefixBusySnapshot:
            return "fmtPrefixBusySnapshot";
        case Msg::fmtPrefixNoChange:
            return "fmtPrefixNoChange";
        case Msg::fmtUninstallRunning:
            return "fmtUninstallRunning";
        case Msg::fmtSnapshotIncomplete:
            return "fmtSnapshotIncomplete";
        case Msg::fmtSnapshotAltered:
            return "fmtSnapshotAltered";
        case Msg::msgLogNameTooLong:
            return "msgLogNameTooLong";
        case Msg::msgLogNameBadCharacter:
            return "msgLogNameBadCharacter";
        case Msg::msgLogNameTwoDots:
            return "msgLogNameTwoDots";
        case Msg::msgLogNameDevice:
            return "msgLogNameDevice";
        case Msg::fmtLogNotWrittenKept:
            return "fmtLogNotWrittenKept";
        case Msg::msgComparisonRunning:
            return "msgComparisonRunning";
        case Msg::msgCheckingForUpdates:
            return "msgCheckingForUpdates";
        case Msg::msgNoUpdateServer:
            return "msgNoUpdateServer";
        case Msg::msgNoWebsite:
            return "msgNoWebsite";
        case Msg::fmtHelpNotOpened:
            return "fmtHelpNotOpened";
        case Msg::fmtWebsiteNotOpened:
            return "fmtWebsiteNotOpened";
        case Msg::fmtCannotCreateFile:
            return "fmtCannotCreateFile";
        case Msg::fmtCannotWrite:
            return "fmtCannotWrite";
        case Msg::fmtCannotOpenFile:
            return "fmtCannotOpenFile";
        case Msg::fmtDataNotSet:
            return "fmtDataNotSet";
        case Msg::msgUnexpectedError:
            return "msgUnexpectedError";
        case Msg::fmtLogNotWritten:
            return "fmtLogNotWritten";
        case Msg::fmtComparisonFailed:
            return "fmtComparisonFailed";
        case Msg::fmtFileSnapshotFailed:
            return "fmtFileSnapshotFailed";
        case Msg::fmtRegistrySnapshotFailed:
            return "fmtRegistrySnapshotFailed";
        case Msg::fmtFolderNotReadOne:
            return "fmtFolderNotReadOne";
        case Msg::fmtFileNamesLeftOut:
            return "fmtFileNamesLeftOut";
        case Msg::fmtFileNameLeftOutOne:
            return "fmtFileNameLeftOutOne";
        case Msg::fmtRegNamesLeftOut:
            return "fmtRegNamesLeftOut";
        case Msg::fmtRegNameLeftOutOne:
            return "fmtRegNameLeftOutOne";
        case Msg::fmtKeysNotRead:
            return "fmtKeysNotRead";
        case Msg::fmtKeyNotReadOne:
            return "fmtKeyNotReadOne";
        case Msg::fmtNoBeforeSnapshot:
            return "fmtNoBeforeSnapshot";
        case Msg::fmtOtherDrives:
            return "fmtOtherDrives";
        case Msg::fmtDriveMoved:
            return "fmtDriveMoved";
        case Msg::msgNoFolder:
            return "msgNoFolder";
        case Msg::fmtOtherStore:
            return "fmtOtherStore";
        case Msg::msgKeyNotFound:
            return "msgKeyNotFound";
        case Msg::msgAccessDenied:
            return "msgAccessDenied";
        case Msg::msgBadKeyName:
            return "msgBadKeyName";
        case Msg::msgKeyHasSubkeys:
            return "msgKeyHasSubkeys";
        case Msg::msgStoreFailed:
            return "msgStoreFailed";
        case Msg::msgChangeNotTaken:
            return "msgChangeNotTaken";
        case Msg::fmtNoAnswer:
            return "fmtNoAnswer";
        case Msg::fmtInvalidAddress:
            return "fmtInvalidAddress";
        case Msg::fmtDeletedFileOne:
            return "fmtDeletedFileOne";
        case Msg::msgRegistryBusy:
            return "msgRegistryBusy";
        case Msg::msgValueNameNeeded:
            return "msgValueNameNeeded";
        case Msg::fmtWineMenuNotRecorded:
            return "fmtWineMenuNotRecorded";
        case Msg::fmtLanguageLineCut:
            return "fmtLanguageLineCut";
        case Msg::fmtHiddenListNotRead:
            return "fmtHiddenListNotRead";
        case Msg::fmtSettingsNotSavedReason:
            return "fmtSettingsNotSavedReason";
        case Msg::msgEmptyRegistry:
            return "msgEmptyRegistry";
        case Msg::fmtEmptyOwnStore:
            return "fmtEmptyOwnStore";
        case Msg::fmtEmptyPrefix:
            return "fmtEmptyPrefix";
        case Msg::fmtEmptyExample:
            return "fmtEmptyExample";
        case Msg::msgNoPrefixFound:
            return "msgNoPrefixFound";
        case Msg::fmtPrefixFoundOne:
            return "fmtPrefixFoundOne";
        case Msg::fmtPrefixesFound:
            return "fmtPrefixesFound";
        case Msg::fmtExampleHint:
            return "fmtExampleHint";
        case Msg::msgOpenExample:
            return "msgOpenExample";
        case Msg::msgExampleTitle:
            return "msgExampleTitle";
        case Msg::msgExampleInfo:
            return "msgExampleInfo";
        case Msg::fmtExampleNotOpened:
            return "fmtExampleNotOpened";
        case Msg::fmtManageOnePrefix:
            return "fmtManageOnePrefix";
        case Msg::fmtBackupNotWritten:
            return "fmtBackupNotWritten";
        case Msg::msgBackupDeleted:
            return "msgBackupDeleted";
        case Msg::msgBackupEdited:
            return "msgBackupEdited";
        case Msg::msgBackupRemoval:
            return "msgBackupRemoval";
        case Msg::msgRestoreBackupMenu:
            return "msgRestoreBackupMenu";
        case Msg::msgRestoreBackupPrompt:
            return "msgRestoreBackupPrompt";
        case Msg::fmtRestoreBackupQuestion:
            return "fmtRestoreBackupQuestion";
        case Msg::fmtBackupRestored:
            return "fmtBackupRestored";
        case Msg::fmtBackupNotRestored:
            return "fmtBackupNotRestored";
        case Msg::msgNoBackups:
            return "msgNoBackups";
        case Msg::msgTrashMenu:
            return "msgTrashMenu";
        case Msg::msgBackupDaysMenu:
            return "msgBackupDaysMenu";
        case Msg::msgBackupDaysPrompt:
            return "msgBackupDaysPrompt";
        case Msg::fmtFileMovedToTrash:
            return "fmtFileMovedToTrash";
        case Msg::fmtFileNotMovedToTrash:
            return "fmtFileNotMovedToTrash";
        case Msg::fmtBatchProgress:
            return "fmtBatchProgress";
        case Msg::fmtBatchEnded:
            return "fmtBatchEnded";
        case Msg::fmtBatchStillListed:
            return "fmtBatchStillListed";
        case Msg::fmtBatchNotStarted:
            return "fmtBatchNotStarted";
        case Msg::fmtBatchNoQuietCommand:
            return "fmtBatchNoQuietCommand";
        case Msg::fmtBatchNotRun:
            return "fmtBatchNotRun";
        case Msg::msgUninstallQuietly:
            return "msgUninstallQuietly";
        case Msg::msgStopBatch:
            return "msgStopBatch";
        case Msg::msgBatchStopping:
            return "msgBatchStopping";
        case Msg::msgBatchBusy:
            return "msgBatchBusy";
        case Msg::msgQuietMark:
            return "msgQuietMark";
    }
    return "?";
}

namespace {

constexpr std::array kAddedLines = {
    AddedLine{Msg::fmtEntryNotDeleted, "The registration of %s could not be deleted: %s", "ss"},
    AddedLine{Msg::fmtKeyNotDeleted, "The key %s could not be deleted.", "s"},
    AddedLine{Msg::fmtFileNotDeleted, "The file %s could not be deleted.", "s"},
    AddedLine{Msg::fmtLogNotDeleted, "The analysis log %s could not be deleted.", "s"},
    AddedLine{Msg::fmtSnapshotNotRead,
              "The snapshot %s could not be read; the snapshots have been kept.", "s"},
    AddedLine{Msg::fmtFoldersNotRead,
              "%d folders could not be read; nothing below them is in the analysis log: %s", "ds"},
    AddedLine{Msg::fmtValueNotWritten, "The value %s could not be written: %s", "ss"},
    AddedLine{Msg::fmtValueNotRemoved, "The value %s could not be removed: %s", "ss"},
    AddedLine{Msg::msgSettingsNotSaved,
              "The settings were not saved: the registry is in use by another program.", ""},
    AddedLine{Msg::fmtPrefixBusy,
              "Wine is running in the prefix %s. The list may not show its latest changes, and "
              "no change can be saved into it until Wine ends there.",
              "s"},
    AddedLine{Msg::msgWinePrefixMenu, "Wine prefix", ""},
    AddedLine{Msg::msgMachineRegistry, "This computer (no Wine prefix)", ""},
    AddedLine{Msg::fmtPrefixBusySnapshot,
              "Wine is running in the prefix %s: what it holds in memory is not yet in the "
              "prefix's registry files, so no snapshot was taken. Close its programs, or wait "
              "with: WINEPREFIX=\"%s\" wineserver -w",
              "ss"},
    AddedLine{Msg::fmtPrefixNoChange,
              "Wine is running in the prefix %s, so its registry cannot be changed until Wine "
              "ends there. Close its programs, or wait with: WINEPREFIX=\"%s\" wineserver -w",
              "ss"},
    AddedLine{Msg::fmtUninstallRunning, "The uninstaller of %s is still running.", "s"},
    AddedLine{Msg::fmtSnapshotIncomplete,
              "The snapshot %s is incomplete: it was cut short after it was taken. Nothing has "
              "been compared, and the snapshot files have been kept.",
              "s"},
    AddedLine{Msg::fmtSnapshotAltered,
              "The snapshot %s has been changed after it was taken. Nothing has been compared, and "
              "the snapshot files have been kept.",
              "s"},
    AddedLine{Msg::msgLogNameTooLong,
              "The name is too long to be a file name. Please give a shorter name.", ""},
    AddedLine{Msg::msgLogNameBadCharacter,
              "A file name cannot hold any of the characters \\ / : * ? \" < > | or control "
              "characters. Please give another name.",
              ""},
    AddedLine{Msg::msgLogNameTwoDots,
              "The name cannot hold two dots in a row (..). Please give another name.", ""},
    AddedLine{Msg::msgLogNameDevice,
              "Windows keeps this name for a device (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to "
              "LPT9). Please give another name.",
              ""},
    AddedLine{Msg::fmtLogNotWrittenKept,
              "The analysis log %s could not be written: %s. Both snapshots have been kept: please "
              "give the log another name.",
              "ss"},
    AddedLine{Msg::msgComparisonRunning,
              "An earlier analysis is still being compared, and its snapshot files are still in "
              "use. Please wait until it has finished.",
              ""},
    AddedLine{Msg::msgCheckingForUpdates, "Looking for a newer version...", ""},
    AddedLine{
        Msg::msgNoUpdateServer,
        "No update server is configured for this build, so it cannot look for a newer version. To "
        "name one, start the program with the environment variable VORNAK_UPDATE_SERVER set to "
        "host or host:port, or build it with -DVORNAK_UPDATE_SERVER_DEFAULT=host.",
        ""},
    AddedLine{Msg::msgNoWebsite,
              "No web site is configured for this build. To name its server, start the program "
              "with the environment variable VORNAK_UPDATE_SERVER set to host or host:port, or "
              "build it with -DVORNAK_UPDATE_SERVER_DEFAULT=host.",
              ""},
    AddedLine{Msg::fmtHelpNotOpened,
              "No browser could be started to show the help. Open this page by hand: %s", "s"},
    AddedLine{Msg::fmtWebsiteNotOpened,
              "No browser could be started to open the web site. Open this address by hand: %s",
              "s"},
    AddedLine{Msg::fmtCannotCreateFile, "Cannot create file %s", "s"},
    AddedLine{Msg::fmtCannotWrite, "Cannot write %s: %s", "ss"},
    AddedLine{Msg::fmtCannotOpenFile, "Cannot open file %s", "s"},
    AddedLine{Msg::fmtDataNotSet, "Failed to set data for '%s'", "s"},
    AddedLine{Msg::msgUnexpectedError, "An unexpected error has occurred.", ""},
    AddedLine{Msg::fmtLogNotWritten, "The analysis log %s was not written: %s", "ss"},
    AddedLine{Msg::fmtComparisonFailed, "The comparison failed: %s", "s"},
    AddedLine{Msg::fmtFileSnapshotFailed, "The file snapshot failed: %s", "s"},
    AddedLine{Msg::fmtRegistrySnapshotFailed, "The registry snapshot of %s failed: %s", "ss"},
    AddedLine{Msg::fmtFolderNotReadOne,
              "%d folder could not be read; nothing below it is in the analysis log: %s", "ds"},
    AddedLine{Msg::fmtFileNamesLeftOut,
              "%d names with a tab, a line break or a backslash were left out of %s", "ds"},
    AddedLine{Msg::fmtFileNameLeftOutOne,
              "%d name with a tab, a line break or a backslash was left out of %s", "ds"},
    AddedLine{Msg::fmtRegNamesLeftOut, "%d names with line breaks or tabs were left out of %s",
              "ds"},
    AddedLine{Msg::fmtRegNameLeftOutOne, "%d name with a line break or a tab was left out of %s",
              "ds"},
    AddedLine{Msg::fmtKeysNotRead, "%d keys of %s could not be read completely", "ds"},
    AddedLine{Msg::fmtKeyNotReadOne, "%d key of %s could not be read completely", "ds"},
    AddedLine{Msg::fmtNoBeforeSnapshot,
              "no complete snapshot from before the installation (%s missing)", "s"},
    AddedLine{Msg::fmtOtherDrives,
              "the snapshot before the installation covered the drives %s, this one %s", "ss"},
    AddedLine{Msg::fmtDriveMoved, "drive %s stood for %s before the installation, now for %s",
              "sss"},
    AddedLine{Msg::msgNoFolder, "nothing", ""},
    AddedLine{Msg::fmtOtherStore,
              "the registry before the installation was the store %s, now it is %s", "ss"},
    AddedLine{Msg::msgKeyNotFound, "The system cannot find the key specified.", ""},
    AddedLine{Msg::msgAccessDenied, "Access is denied.", ""},
    AddedLine{Msg::msgBadKeyName, "The key name is not valid.", ""},
    AddedLine{Msg::msgKeyHasSubkeys, "The key still has subkeys.", ""},
    AddedLine{Msg::msgStoreFailed, "The registry store failed.", ""},
    AddedLine{Msg::msgChangeNotTaken, "The registry did not take the change.", ""},
    AddedLine{Msg::fmtNoAnswer, "No answer from %s within %d seconds.", "sd"},
    AddedLine{Msg::fmtInvalidAddress, "Invalid web address: %s", "s"},
    AddedLine{Msg::fmtDeletedFileOne,
              "The installation had deleted %d file; it cannot be brought back.", "d"},
    AddedLine{Msg::msgRegistryBusy,
              "The registry is in use by another program and nothing was changed.", ""},
    AddedLine{Msg::msgValueNameNeeded, "The new item needs a name.", ""},
    AddedLine{Msg::fmtWineMenuNotRecorded,
              "Wine's menu entries in %s are not recorded: no drive of the prefix leads there.",
              "s"},
    AddedLine{Msg::fmtLanguageLineCut,
              "Line %d of the language file %s is longer than %d characters; only its beginning "
              "is shown.",
              "dsd"},
    AddedLine{Msg::fmtHiddenListNotRead,
              "The list of hidden entries could not be read, so nothing is hidden and the file "
              "is kept as it is: %s",
              "s"},
    AddedLine{Msg::fmtSettingsNotSavedReason, "The settings were not saved: %s", "s"},
    AddedLine{Msg::msgEmptyRegistry,
              "The list is empty: no program is registered for removal in this computer's "
              "registry.",
              ""},
    AddedLine{Msg::fmtEmptyOwnStore,
              "The list is empty: no program is registered in this computer's registry, which "
              "here, off Windows, is the program's own store (%s).",
              "s"},
    AddedLine{Msg::fmtEmptyPrefix,
              "The list is empty: no program is registered in the Wine prefix %s.", "s"},
    AddedLine{Msg::fmtEmptyExample,
              "The list is empty: nothing is left in the example registry (%s).", "s"},
    AddedLine{Msg::msgNoPrefixFound,
              "No Wine prefix was found ($WINEPREFIX, ~/.wine, Steam, Bottles, ~/Games).", ""},
    AddedLine{Msg::fmtPrefixFoundOne, "One Wine prefix was found, %s. To manage it: %s.", "ss"},
    AddedLine{Msg::fmtPrefixesFound, "%d Wine prefixes were found. To manage one of them: %s.",
              "ds"},
    AddedLine{Msg::fmtExampleHint, "To try the program on example registrations: %s.", "s"},
    AddedLine{Msg::msgOpenExample, "Open the example registry", ""},
    AddedLine{Msg::msgExampleTitle, "example registry", ""},
    AddedLine{Msg::msgExampleInfo,
              "This is the example registry: the registrations shipped with the program, in a "
              "store of its own that is made afresh each time the example is opened. Your own "
              "registry is not touched.",
              ""},
    AddedLine{Msg::fmtExampleNotOpened, "The example registry could not be opened: %s", "s"},
    AddedLine{Msg::fmtManageOnePrefix,
              "Nothing is registered in the program's own store yet, but one Wine prefix was "
              "found:\n\n%s\n\nDo you want to manage the programs of that prefix? You can "
              "change it at any time: %s.",
              "ss"},
    AddedLine{Msg::fmtBackupNotWritten,
              "No backup of the registry could be written, so nothing was changed: %s", "s"},
    AddedLine{Msg::msgBackupDeleted, "deleted", ""},
    AddedLine{Msg::msgBackupEdited, "edited", ""},
    AddedLine{Msg::msgBackupRemoval, "removal of", ""},
    AddedLine{Msg::msgRestoreBackupMenu, "Restore a backup...", ""},
    AddedLine{Msg::msgRestoreBackupPrompt, "Choose the backup to restore (newest first):", ""},
    AddedLine{
        Msg::fmtRestoreBackupQuestion,
        "Restore the backup %s? The keys it holds are put back as they were when it was made.",
        "s"},
    AddedLine{Msg::fmtBackupRestored, "The backup %s has been restored.", "s"},
    AddedLine{Msg::fmtBackupNotRestored,
              "The backup %s was not restored, and nothing was changed: %s", "ss"},
    AddedLine{Msg::msgNoBackups, "There are no backups to restore.", ""},
    AddedLine{Msg::msgTrashMenu, "Move removed files to the wastebasket", ""},
    AddedLine{Msg::msgBackupDaysMenu, "Keep backups for...", ""},
    AddedLine{
        Msg::msgBackupDaysPrompt,
        "Number of days a backup is kept (older ones are removed when the program starts):", ""},
    AddedLine{Msg::fmtFileMovedToTrash, "Moved to the wastebasket: %s (now in %s)", "ss"},
    AddedLine{Msg::fmtFileNotMovedToTrash,
              "The file %s could not be moved to the wastebasket and was kept: %s", "ss"},
    AddedLine{Msg::fmtBatchProgress, "%d of %d: %s", "dds"},
    AddedLine{Msg::fmtBatchEnded, "Ended: %s", "s"},
    AddedLine{Msg::fmtBatchStillListed, "Still listed, its uninstaller left the registration: %s",
              "s"},
    AddedLine{Msg::fmtBatchNotStarted, "Could not be started: %s", "s"},
    AddedLine{Msg::fmtBatchNoQuietCommand, "Not run, as there is no quiet command: %s", "s"},
    AddedLine{Msg::fmtBatchNotRun, "Not run, as the queue was stopped: %s", "s"},
    AddedLine{Msg::msgUninstallQuietly, "Uninstall quietly", ""},
    AddedLine{Msg::msgStopBatch, "Stop after the current uninstall", ""},
    AddedLine{Msg::msgBatchStopping, "The queue stops once the running uninstaller has ended.", ""},
    AddedLine{Msg::msgBatchBusy,
              "A queue of uninstalls is already running. Stop it, or wait until it has ended.", ""},
    AddedLine{Msg::msgQuietMark, "quiet", ""},
};

}  // namespace

std::span<const AddedLine> addedLines() {
    return kAddedLines;
}

MessageCatalogue::MessageCatalogue() {
    for (const AddedLine& added : kAddedLines) {
        texts_[slot(added.role)] = std::string(added.english);
    }
}

size_t MessageCatalogue::slot(Msg role) {
    for (size_t i = 0; i < kAllMessages.size(); ++i) {
        if (kAllMessages[i] == role) {
            return i;
        }
    }
    throw std::out_of_range("no message with line " + std::to_string(static_cast<int>(role)));
}

std::string MessageCatalogue::get(Msg role) const {
    const size_t i = slot(role);
    std::shared_lock lock(mutex_);
    return texts_[i];
}

void MessageCatalogue::set(Msg role, std::string text) {
    const size_t i = slot(role);
    std::unique_lock lock(mutex_);
    texts_[i].swap(text);
    // The old text is released after the lock, in `text`'s destructor.
}

void MessageCatalogue::clear() {
    decltype(texts_) fresh{};
    for (const AddedLine& added : kAddedLines) {
        fresh[slot(added.role)] = std::string(added.english);
    }
    std::unique_lock lock(mutex_);
    texts_.swap(fresh);
}

MessageCatalogue& messages() {
    static MessageCatalogue catalogue;
    return catalogue;
}

}  // namespace vornak
