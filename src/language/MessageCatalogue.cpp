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
        case Msg::fmtSettingsNotSavedReason:
            return "fmtSettingsNotSavedReason";
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
    AddedLine{Msg::fmtSettingsNotSavedReason, "The settings were not saved: %s", "s"},
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
