// The run-time messages and format texts of the program, each named by its
// role. The translation table's messages have no built-in text: the active
// language file fills them. Texts added after the table's 102 lines (the
// added lines) carry a built-in English text for a file that lacks them.
// Readers on worker threads and the user interface thread replacing an entry
// never see half of one: every entry is read and replaced as a whole.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <shared_mutex>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace vornak {

// Roles, with the language-file line index that sets each one.
enum class Msg : int {
    msgDeleteEntryQuestion = 0,
    msgUpdateAvailable = 1,
    msgNoUpdate = 2,
    msgUpdateCheckFailed = 3,
    fmtStatusCount = 35,
    fmtUninstallStarted = 38,
    fmtUninstallFinished = 39,
    fmtUninstallNotStarted = 40,
    msgLogNameCaption = 71,
    msgLogNamePrompt = 72,
    msgLogNameTakenCaption = 73,
    msgLogNameTakenPrompt = 74,
    msgAnalysisDone = 75,
    msgNoLogSelected = 82,
    msgMustConfirm = 83,
    fmtDeleteFileQuestion = 85,
    msgDeleteFileCaption = 86,
    msgDeleteLogQuestion = 87,
    msgDeleteLogCaption = 88,
    msgFileDeletedPrefix = 89,
    fmtFolderNotRemoved = 90,
    fmtDeletedFilesCount = 91,
    fmtKeyNotRemoved = 92,
    msgEntrySkipped = 93,
    msgRemovalDone = 94,
    msgRemoveValueQuestion = 100,
    msgConfirmCaption = 101,
    // Added lines: 102 on, in the order they stand at the end of the files.
    fmtEntryNotDeleted = 102,
    fmtKeyNotDeleted = 103,
    fmtFileNotDeleted = 104,
    fmtLogNotDeleted = 105,
    fmtSnapshotNotRead = 106,
    fmtFoldersNotRead = 107,
    fmtValueNotWritten = 108,
    fmtValueNotRemoved = 109,
    msgSettingsNotSaved = 110,
    fmtPrefixBusy = 111,
    msgWinePrefixMenu = 112,
    msgMachineRegistry = 113,
    fmtPrefixBusySnapshot = 114,
    fmtPrefixNoChange = 115,
    fmtUninstallRunning = 116,
    fmtSnapshotIncomplete = 117,
    fmtSnapshotAltered = 118,
    msgLogNameTooLong = 119,
    msgLogNameBadCharacter = 120,
    msgLogNameTwoDots = 121,
    msgLogNameDevice = 122,
    fmtLogNotWrittenKept = 123,
    msgComparisonRunning = 124,
    msgCheckingForUpdates = 125,
    msgNoUpdateServer = 126,
    msgNoWebsite = 127,
    fmtHelpNotOpened = 128,
    fmtWebsiteNotOpened = 129,
    fmtCannotCreateFile = 130,
    fmtCannotWrite = 131,
    fmtCannotOpenFile = 132,
    fmtDataNotSet = 133,
    msgUnexpectedError = 134,
    fmtLogNotWritten = 135,
    fmtComparisonFailed = 136,
    fmtFileSnapshotFailed = 137,
    fmtRegistrySnapshotFailed = 138,
    fmtFolderNotReadOne = 139,
    fmtFileNamesLeftOut = 140,
    fmtFileNameLeftOutOne = 141,
    fmtRegNamesLeftOut = 142,
    fmtRegNameLeftOutOne = 143,
    fmtKeysNotRead = 144,
    fmtKeyNotReadOne = 145,
    fmtNoBeforeSnapshot = 146,
    fmtOtherDrives = 147,
    fmtDriveMoved = 148,
    msgNoFolder = 149,
    fmtOtherStore = 150,
    msgKeyNotFound = 151,
    msgAccessDenied = 152,
    msgBadKeyName = 153,
    msgKeyHasSubkeys = 154,
    msgStoreFailed = 155,
    msgChangeNotTaken = 156,
    fmtNoAnswer = 157,
    fmtInvalidAddress = 158,
    fmtDeletedFileOne = 159,
    msgRegistryBusy = 160,
    msgValueNameNeeded = 161,
    fmtWineMenuNotRecorded = 162,
    fmtLanguageLineCut = 163,
    fmtHiddenListNotRead = 164,
    fmtSettingsNotSavedReason = 165,
    msgEmptyRegistry = 166,
    fmtEmptyOwnStore = 167,
    fmtEmptyPrefix = 168,
    fmtEmptyExample = 169,
    msgNoPrefixFound = 170,
    fmtPrefixFoundOne = 171,
    fmtPrefixesFound = 172,
    fmtExampleHint = 173,
    msgOpenExample = 174,
    msgExampleTitle = 175,
    msgExampleInfo = 176,
    fmtExampleNotOpened = 177,
    fmtManageOnePrefix = 178,
    fmtBackupNotWritten = 179,
    msgBackupDeleted = 180,
    msgBackupEdited = 181,
    msgBackupRemoval = 182,
    msgRestoreBackupMenu = 183,
    msgRestoreBackupPrompt = 184,
    fmtRestoreBackupQuestion = 185,
    fmtBackupRestored = 186,
    fmtBackupNotRestored = 187,
    msgNoBackups = 188,
    msgTrashMenu = 189,
    msgBackupDaysMenu = 190,
    msgBackupDaysPrompt = 191,
    fmtFileMovedToTrash = 192,
    fmtFileNotMovedToTrash = 193,
    fmtBatchProgress = 194,
    fmtBatchEnded = 195,
    fmtBatchStillListed = 196,
    fmtBatchNotStarted = 197,
    fmtBatchNoQuietCommand = 198,
    fmtBatchNotRun = 199,
    msgUninstallQuietly = 200,
    msgStopBatch = 201,
    msgBatchStopping = 202,
    msgBatchBusy = 203,
    msgQuietMark = 204,
};

constexpr std::array<Msg, 130> kAllMessages = {
    Msg::msgDeleteEntryQuestion,
    Msg::msgUpdateAvailable,
    Msg::msgNoUpdate,
    Msg::msgUpdateCheckFailed,
    Msg::fmtStatusCount,
    Msg::fmtUninstallStarted,
    Msg::fmtUninstallFinished,
    Msg::fmtUninstallNotStarted,
    Msg::msgLogNameCaption,
    Msg::msgLogNamePrompt,
    Msg::msgLogNameTakenCaption,
    Msg::msgLogNameTakenPrompt,
    Msg::msgAnalysisDone,
    Msg::msgNoLogSelected,
    Msg::msgMustConfirm,
    Msg::fmtDeleteFileQuestion,
    Msg::msgDeleteFileCaption,
    Msg::msgDeleteLogQuestion,
    Msg::msgDeleteLogCaption,
    Msg::msgFileDeletedPrefix,
    Msg::fmtFolderNotRemoved,
    Msg::fmtDeletedFilesCount,
    Msg::fmtKeyNotRemoved,
    Msg::msgEntrySkipped,
    Msg::msgRemovalDone,
    Msg::msgRemoveValueQuestion,
    Msg::msgConfirmCaption,
    Msg::fmtEntryNotDeleted,
    Msg::fmtKeyNotDeleted,
    Msg::fmtFileNotDeleted,
    Msg::fmtLogNotDeleted,
    Msg::fmtSnapshotNotRead,
    Msg::fmtFoldersNotRead,
    Msg::fmtValueNotWritten,
    Msg::fmtValueNotRemoved,
    Msg::msgSettingsNotSaved,
    Msg::fmtPrefixBusy,
    Msg::msgWinePrefixMenu,
    Msg::msgMachineRegistry,
    Msg::fmtPrefixBusySnapshot,
    Msg::fmtPrefixNoChange,
    Msg::fmtUninstallRunning,
    Msg::fmtSnapshotIncomplete,
    Msg::fmtSnapshotAltered,
    Msg::msgLogNameTooLong,
    Msg::msgLogNameBadCharacter,
    Msg::msgLogNameTwoDots,
    Msg::msgLogNameDevice,
    Msg::fmtLogNotWrittenKept,
    Msg::msgComparisonRunning,
    Msg::msgCheckingForUpdates,
    Msg::msgNoUpdateServer,
    Msg::msgNoWebsite,
    Msg::fmtHelpNotOpened,
    Msg::fmtWebsiteNotOpened,
    Msg::fmtCannotCreateFile,
    Msg::fmtCannotWrite,
    Msg::fmtCannotOpenFile,
    Msg::fmtDataNotSet,
    Msg::msgUnexpectedError,
    Msg::fmtLogNotWritten,
    Msg::fmtComparisonFailed,
    Msg::fmtFileSnapshotFailed,
    Msg::fmtRegistrySnapshotFailed,
    Msg::fmtFolderNotReadOne,
    Msg::fmtFileNamesLeftOut,
    Msg::fmtFileNameLeftOutOne,
    Msg::fmtRegNamesLeftOut,
    Msg::fmtRegNameLeftOutOne,
    Msg::fmtKeysNotRead,
    Msg::fmtKeyNotReadOne,
    Msg::fmtNoBeforeSnapshot,
    Msg::fmtOtherDrives,
    Msg::fmtDriveMoved,
    Msg::msgNoFolder,
    Msg::fmtOtherStore,
    Msg::msgKeyNotFound,
    Msg::msgAccessDenied,
    Msg::msgBadKeyName,
    Msg::msgKeyHasSubkeys,
    Msg::msgStoreFailed,
    Msg::msgChangeNotTaken,
    Msg::fmtNoAnswer,
    Msg::fmtInvalidAddress,
    Msg::fmtDeletedFileOne,
    Msg::msgRegistryBusy,
    Msg::msgValueNameNeeded,
    Msg::fmtWineMenuNotRecorded,
    Msg::fmtLanguageLineCut,
    Msg::fmtHiddenListNotRead,
    Msg::fmtSettingsNotSavedReason,
    Msg::msgEmptyRegistry,
    Msg::fmtEmptyOwnStore,
    Msg::fmtEmptyPrefix,
    Msg::fmtEmptyExample,
    Msg::msgNoPrefixFound,
    Msg::fmtPrefixFoundOne,
    Msg::fmtPrefixesFound,
    Msg::fmtExampleHint,
    Msg::msgOpenExample,
    Msg::msgExampleTitle,
    Msg::msgExampleInfo,
    Msg::fmtExampleNotOpened,
    Msg::fmtManageOnePrefix,
    Msg::fmtBackupNotWritten,
    Msg::msgBackupDeleted,
    Msg::msgBackupEdited,
    Msg::msgBackupRemoval,
    Msg::msgRestoreBackupMenu,
    Msg::msgRestoreBackupPrompt,
    Msg::fmtRestoreBackupQuestion,
    Msg::fmtBackupRestored,
    Msg::fmtBackupNotRestored,
    Msg::msgNoBackups,
    Msg::msgTrashMenu,
    Msg::msgBackupDaysMenu,
    Msg::msgBackupDaysPrompt,
    Msg::fmtFileMovedToTrash,
    Msg::fmtFileNotMovedToTrash,
    Msg::fmtBatchProgress,
    Msg::fmtBatchEnded,
    Msg::fmtBatchStillListed,
    Msg::fmtBatchNotStarted,
    Msg::fmtBatchNoQuietCommand,
    Msg::fmtBatchNotRun,
    Msg::msgUninstallQuietly,
    Msg::msgStopBatch,
    Msg::msgBatchStopping,
    Msg::msgBatchBusy,
    Msg::msgQuietMark,
};

// A text the translation table has no line for, read from the line `role`
// stands for when the language file has it. `arguments` as for the table's
// messages: one letter per argument, 's' text, 'd' integer.
struct AddedLine {
    Msg role;
    std::string_view english;
    std::string_view arguments;
};

// Every added line, in line order; the first is line 102 and none is left out.
std::span<const AddedLine> addedLines();

// The role's name as written in the code ("fmtStatusCount").
const char* messageName(Msg role);

class MessageCatalogue {
  public:
    // Every added line holds its built-in English text; the table's messages
    // are empty until a language file sets them.
    MessageCatalogue();
    std::string get(Msg role) const;
    void set(Msg role, std::string text);
    // Back to what a new catalogue holds.
    void clear();

  private:
    static size_t slot(Msg role);
    mutable std::shared_mutex mutex_;
    std::array<std::string, kAllMessages.size()> texts_{};
};

// The one catalogue of the running program.
MessageCatalogue& messages();

// Our own small formatter for catalogue texts: "%s" takes a text argument, "%d"
// an integer argument, "%%" gives a percent sign. Any other directive, too few
// arguments, or an argument of the wrong kind throws FormatError; arguments the
// text does not use are left out.
// Language texts are never handed to the printf family.
class FormatError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};
using FormatArg = std::variant<std::string, int64_t>;
std::string formatMessage(std::string_view format, const std::vector<FormatArg>& args);

// Convenience: the catalogue entry of `role` formatted with `args`.
std::string formatMessage(Msg role, const std::vector<FormatArg>& args);

// The catalogue entry of `role` formatted with `args`, for messages that must
// be told whatever a language file holds (a worker's report, an error being
// shown): a text that does not fit its arguments is shown as it stands, the
// arguments after it.
std::string messageText(Msg role, const std::vector<FormatArg>& args = {});

// A message about `count` things, in the form its number takes: `one` for
// exactly one ("1 folder"), `other` for every other number ("0 folders",
// "2 folders"). The count is the first argument, `rest` follow; formatted as
// messageText does.
std::string formatCountMessage(Msg one, Msg other, int64_t count, std::vector<FormatArg> rest = {});

// The status bar's text, the one rule for every writer of it: fmtStatusCount
// with the number of rows, or the empty text when the active language's format
// does not fit one integer (that language has been reported when it was
// applied; the status bar must not raise an error at every keystroke). `fits`,
// when given, tells which.
std::string statusCountText(int64_t rows, const MessageCatalogue& catalogue = messages(),
                            bool* fits = nullptr);

}  // namespace vornak
