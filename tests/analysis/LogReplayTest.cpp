#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "analysis/AnalysisTestSupport.h"
#include "analysis/LogReplay.h"
#include "analysis/RegDumpThread.h"
#include "analysis/TextLines.h"
#include "platform/HostPath.h"
#include "registry/RegistryBackup.h"

#ifdef _WIN32
#include <windows.h>
#endif

using namespace vornak;
using namespace vornak::analysis;
using platform::RegRoot;
using Kind = test::ScriptedDialogs::Kind;

namespace {

class LogReplayTest : public test::AnalysisFixture {
  protected:
    RemovalResult replay(const std::string& log, RemovalOptions options = {}) {
        writeLog("app.anlog", log);
        LogReplay replay(*fs, *store, dialogs,
                         [this](const std::string& line) { removalLog.push_back(line); });
        return replay.run(programFolder, "app", options);
    }
    static RemovalOptions noQuestions() { return {false, false}; }

    // Everything below drive C and in HKCU and HKLM, sorted, to prove that
    // nothing the log does not name has changed.
    std::vector<std::string> state() {
        std::vector<std::string> lines;
        // The program's own files (the logs, and the backups beside them) aside.
        const std::string logs = std::filesystem::path(logsHost()).lexically_normal().string();
        const std::string backups =
            std::filesystem::path(programHost + "/backups").lexically_normal().string();
        for (const auto& e : std::filesystem::recursive_directory_iterator(driveC))
            if (const std::string path = e.path().lexically_normal().string();
                path.rfind(logs, 0) != 0 && path.rfind(backups, 0) != 0)
                lines.push_back(e.path().string());
        auto registry = store->accessor();
        std::atomic<int32_t> count{0};
        for (int root : {1, 2}) {
            const std::string text = registrySnapshotText(*registry, root, count);
            for (auto line : splitLines(text))
                lines.emplace_back(line);
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

    std::vector<std::string> questions() const { return dialogs.texts(Kind::YesNo); }

    test::ScriptedDialogs dialogs;
    std::vector<std::string> removalLog;
};

TEST_F(LogReplayTest, PreconditionsInOrder) {
    const std::vector<RemovalConfirmation> boxes{
        {true, "own risk"}, {false, "no undo"}, {false, "no blame"}};
    EXPECT_FALSE(removalMayStart(std::nullopt, boxes, dialogs));
    EXPECT_FALSE(removalMayStart("app", boxes, dialogs));
    EXPECT_EQ(dialogs.texts(Kind::Message),
              (std::vector<std::string>{"Select a log", "Please confirm: no undo"}));
    EXPECT_TRUE(removalMayStart("app", {{true, "a"}, {true, "b"}, {true, "c"}}, dialogs));
    EXPECT_EQ(dialogs.calls.size(), 2u);
}

TEST_F(LogReplayTest, MissingLogChangesNothing) {
    LogReplay replayer(*fs, *store, dialogs,
                       [this](const std::string& l) { removalLog.push_back(l); });
    const auto result = replayer.run(programFolder, "nothing", {});
    EXPECT_FALSE(result.finished);
    EXPECT_EQ(
        dialogs.texts(Kind::Error),
        (std::vector<std::string>{"Cannot open file " + programFolder + "logs\\nothing.anlog"}));
    EXPECT_TRUE(removalLog.empty());
    EXPECT_TRUE(questions().empty());
}

// A registry that takes no changes now, as a Wine prefix while Wine runs there.
class RefusingStore : public platform::RegistryStore {
  public:
    explicit RefusingStore(std::shared_ptr<platform::RegistryStore> inner) : inner_(std::move(inner)) {}
    std::unique_ptr<platform::RegistryAccessor> accessor() override { return inner_->accessor(); }
    void check() override { inner_->check(); }
    std::string location() const override { return inner_->location(); }
    std::string writeRefusal() const override { return "Wine is running in the prefix"; }

  private:
    std::shared_ptr<platform::RegistryStore> inner_;
};

TEST_F(LogReplayTest, ARegistryThatRefusesChangesStopsTheRemovalBeforeAnyFileGoes) {
    file("Acme/setup.log");
    writeLog("app.anlog", "FILE ADDED!\tC:\\Acme\\setup.log\r\n");
    RefusingStore refusing(store);
    LogReplay replayer(*fs, refusing, dialogs,
                       [this](const std::string& l) { removalLog.push_back(l); });
    const auto result = replayer.run(programFolder, "app", noQuestions());
    EXPECT_FALSE(result.finished);
    EXPECT_EQ(dialogs.texts(Kind::Error), (std::vector<std::string>{"Wine is running in the prefix"}));
    EXPECT_TRUE(std::filesystem::exists(hostC("Acme/setup.log")));
    EXPECT_TRUE(logExists("app.anlog"));
    EXPECT_TRUE(removalLog.empty());
}

TEST_F(LogReplayTest, AddedFilesGoBackwardsFoldersOnceEmpty) {
    file("Acme/setup.log");
    file("Acme/Sub/data.bin");
    file("keep.txt");
    dialogs.yesNoAnswers = {true, true, true};
    const auto result = replay(
        "FILE ADDED!\tC:\\Acme\t<- dir\r\n"
        "FILE ADDED!\tC:\\Acme\\setup.log\r\n"
        "FILE ADDED!\tC:\\Acme\\Sub\t<- dir\r\n"
        "FILE ADDED!\tC:\\Acme\\Sub\\data.bin\r\n"
        "FILE ADDED!\tC:\\Acme\\gone.txt\r\n");
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(questions(),
              (std::vector<std::string>{"Delete C:\\Acme\\Sub\\data.bin?",
                                        "Delete C:\\Acme\\setup.log?", "Delete the log?"}));
    EXPECT_EQ(dialogs.calls[0].title, "Delete file");
    EXPECT_EQ(dialogs.calls[2].title, "Log");
    EXPECT_EQ(removalLog, (std::vector<std::string>{"Deleted: C:\\Acme\\Sub\\data.bin",
                                                    "Deleted: C:\\Acme\\setup.log", "Done"}));
    EXPECT_FALSE(std::filesystem::exists(hostC("Acme")));
    EXPECT_TRUE(std::filesystem::exists(hostC("keep.txt")));
    EXPECT_TRUE(result.logDeleted);
    EXPECT_FALSE(logExists("app.anlog"));
}

TEST_F(LogReplayTest, AnsweringNoKeepsTheFileAndItsFolder) {
    file("Acme/a.txt");
    file("Acme/b.txt");
    dialogs.yesNoAnswers = {true, false, false};  // b yes, a no, keep the log
    const auto result = replay(
        "FILE ADDED!\tC:\\Acme\t<- dir\r\nFILE ADDED!\tC:\\Acme\\a.txt\r\n"
        "FILE ADDED!\tC:\\Acme\\b.txt\r\n");
    EXPECT_EQ(removalLog, (std::vector<std::string>{"Deleted: C:\\Acme\\b.txt",
                                                    "Folder not removed: C:\\Acme", "Done"}));
    EXPECT_TRUE(std::filesystem::exists(hostC("Acme/a.txt")));
    EXPECT_FALSE(result.logDeleted);
    EXPECT_TRUE(logExists("app.anlog"));
}

TEST_F(LogReplayTest, WithoutConfirmationNothingIsAskedAndDeletedFilesAreCounted) {
    file("new.txt");
    const auto result = replay(
        "FILE ADDED!\tC:\\new.txt\r\nFILE DELETED!\tC:\\a\r\nFILE DELETED!\tC:\\b\r\n"
        "FILE DELETED!\tC:\\c\t<- dir\r\n",
        noQuestions());
    EXPECT_TRUE(result.finished);
    EXPECT_TRUE(questions().empty());
    EXPECT_EQ(removalLog,
              (std::vector<std::string>{"Deleted: C:\\new.txt",
                                        "3 files were deleted by the installation", "Done"}));
    EXPECT_FALSE(std::filesystem::exists(hostC("new.txt")));
    EXPECT_TRUE(logExists("app.anlog"));
}

TEST_F(LogReplayTest, PathsThatLeaveTheDriveOrAreRelativeAreSkipped) {
    file("Acme/x.txt");
    file("outside.txt");
    std::filesystem::create_directories(tmp.str() + "/elsewhere");
    { std::ofstream(tmp.str() + "/victim.txt") << "x"; }
    const auto before = state();
    replay(
        "FILE ADDED!\tC:\\Acme\\..\\outside.txt\r\n"
        "FILE ADDED!\tC:\\..\\victim.txt\r\n"
        "FILE ADDED!\tAcme\\x.txt\r\n"
        "FILE ADDED!\t\\outside.txt\r\n"
        "FILE ADDED!\tC:outside.txt\r\n"
        "FILE ADDED!\tC:\\Acme/../outside.txt\r\n"
        "FILE ADDED!\tC:\\..\t<- dir\r\n"
        "FILE ADDED!\tC:\\.\\outside.txt\r\n",
        noQuestions());
    EXPECT_EQ(state(), before);
    EXPECT_TRUE(std::filesystem::exists(tmp.str() + "/victim.txt"));
    EXPECT_TRUE(std::filesystem::exists(tmp.str() + "/elsewhere"));
    ASSERT_EQ(removalLog.size(), 9u);
    for (size_t i = 0; i + 1 < removalLog.size(); ++i)
        EXPECT_EQ(removalLog[i].rfind("Skipped ", 0), 0u) << removalLog[i];
}

TEST_F(LogReplayTest, RegistryAddedRemovedDeletedWrittenBack) {
    setString(RegRoot::CurrentUser, "Software\\Acme", "Path", "C:\\Acme");
    setString(RegRoot::CurrentUser, "Software\\Acme\\Sub", "x", "1");
    setString(RegRoot::CurrentUser, "Software\\Kept", "Late", "added after the analysis");
    setString(RegRoot::CurrentUser, "Software\\Old", "Mode", "new");
    const auto result = replay(
        "REG ADDED!\t\tHKCU\t\\Software\\Acme\r\n"  // leading backslash on a deeper key
        "REG ADDED!\t\tHKCU\tSoftware\\Acme\\Sub\r\n"
        "REG ADDED!\t\tHKCU\tSoftware\\Kept\r\n"
        "REG ADDED!\tHKCU\tSoftware\\Acme\tPath\t\"C:\\Acme\"\r\n"
        "REG ADDED!\tHKCU\tSoftware\\Acme\\Sub\tx\t\"1\"\r\n"
        "REG ADDED!\tHKCU\tSoftware\\Old\tMode\t\"new\"\r\n"
        "REG DELETED!\t\tHKCU\tSoftware\\Removed\\Deep\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Old\tMode\t\"old\"\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Old\tExp\texp:%TEMP%\\x\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Old\tAll\tint:-1\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Old\tSeven\tint:7\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Bin\tBlob\r\n"
        "REG DELETED!\tHKCU\t\\Tabs\tT\t\"a\tb\"\r\n",
        noQuestions());
    EXPECT_TRUE(result.finished);
    EXPECT_EQ(removalLog, (std::vector<std::string>{"Key kept: \\Software\\Kept", "Done"}));
    EXPECT_FALSE(keyExists(RegRoot::CurrentUser, "Software\\Acme"));
    EXPECT_TRUE(keyExists(RegRoot::CurrentUser, "Software\\Kept"));
    EXPECT_TRUE(keyExists(RegRoot::CurrentUser, "Software\\Removed\\Deep"));
    EXPECT_TRUE(keyExists(RegRoot::CurrentUser, "Software\\Bin"));
    EXPECT_FALSE(value(RegRoot::CurrentUser, "Software\\Bin", "Blob"));
    const auto mode = value(RegRoot::CurrentUser, "Software\\Old", "Mode");
    ASSERT_TRUE(mode);
    EXPECT_EQ(mode->type, platform::kRegSz);
    EXPECT_EQ(mode->data, std::string("old\0", 4));
    EXPECT_EQ(value(RegRoot::CurrentUser, "Software\\Old", "Exp")->data,
              std::string("%TEMP%\\x\0", 9));
    EXPECT_EQ(value(RegRoot::CurrentUser, "Software\\Old", "Exp")->type, platform::kRegExpandSz);
    EXPECT_EQ(value(RegRoot::CurrentUser, "Software\\Old", "All")->data, "\xff\xff\xff\xff");
    EXPECT_EQ(value(RegRoot::CurrentUser, "Software\\Old", "Seven")->data,
              std::string("\x07\0\0\0", 4));
    EXPECT_EQ(value(RegRoot::CurrentUser, "Tabs", "T")->data, std::string("a\tb\0", 4));
}

TEST_F(LogReplayTest, FileTypeKeysWhoseChildrenSortFirstAreRemovedToo) {
    setString(RegRoot::ClassesRoot, ".acme\\ShellNew", "NullFile", "");
    setString(RegRoot::ClassesRoot, "*\\shellex\\ContextMenuHandlers\\Acme", "", "{1}");
    // Collation order: ".acme\ShellNew" before "\.acme", "*\..." before "\*".
    replay(
        "REG ADDED!\t\tHKCR\t*\\shellex\r\n"
        "REG ADDED!\t\tHKCR\t*\\shellex\\ContextMenuHandlers\r\n"
        "REG ADDED!\t\tHKCR\t*\\shellex\\ContextMenuHandlers\\Acme\r\n"
        "REG ADDED!\t\tHKCR\t.acme\\ShellNew\r\n"
        "REG ADDED!\t\tHKCR\t\\*\r\n"
        "REG ADDED!\t\tHKCR\t\\.acme\r\n"
        "REG ADDED!\tHKCR\t*\\shellex\\ContextMenuHandlers\\Acme\t\t\"{1}\"\r\n"
        "REG ADDED!\tHKCR\t.acme\\ShellNew\tNullFile\t\"\"\r\n",
        noQuestions());
    EXPECT_EQ(removalLog, (std::vector<std::string>{"Done"}));
    EXPECT_FALSE(keyExists(RegRoot::ClassesRoot, ".acme"));
    EXPECT_FALSE(keyExists(RegRoot::ClassesRoot, "*"));
}

TEST_F(LogReplayTest, MalformedLogChangesOnlyWhatItNames) {
    file("Acme/named.txt");
    file("Acme/other.txt");
    setString(RegRoot::CurrentUser, "Software\\Acme", "Named", "x");
    setString(RegRoot::CurrentUser, "Software\\Acme", "Other", "y");
    setString(RegRoot::CurrentUser, "Software\\Acme", "Number", "5");
    const auto before = state();
    const auto result = replay(
        "no tab at all\r\n"
        "WHAT?\tC:\\Acme\\other.txt\r\n"
        "file added!\tC:\\Acme\\other.txt\r\n"
        "\r\n"
        "\t\r\n"
        "FILE ADDED!\tC:\\Acme\\named.txt\r\n"
        "REG ADDED!\thkcu\tSoftware\\Acme\tOther\t\"y\"\r\n"
        "REG ADDED!\tHKU\tSoftware\\Acme\tOther\r\n"
        "REG ADDED!\tHKCU\r\n"
        "REG ADDED!\tHKCU\tSoftware\\Acme\tNamed\t\"x\"\r\n"
        "REG ADDED!\t\tHKCU\t\\\r\n"
        "REG ADDED!\t\tHKCU\tSoftware\\\\Acme\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Acme\tNumber\tint:12x\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Acme\tNumber\tint:99999999999\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Acme\tNumber\tint:\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Acme\tNumber\thex:01\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Acme\tNote\t\"first half\r\n"
        "REG DELETED!\tsecond half\"\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Acme\tNote\t\"\r\n",
        noQuestions());
    EXPECT_TRUE(result.finished);
    EXPECT_FALSE(std::filesystem::exists(hostC("Acme/named.txt")));
    EXPECT_FALSE(value(RegRoot::CurrentUser, "Software\\Acme", "Named"));
    // Put back what the log named; then nothing else may differ.
    file("Acme/named.txt");
    setString(RegRoot::CurrentUser, "Software\\Acme", "Named", "x");
    EXPECT_EQ(state(), before);
    EXPECT_FALSE(value(RegRoot::CurrentUser, "Software\\Acme", "Note"));
    const auto skipped = std::count_if(removalLog.begin(), removalLog.end(),
                                       [](const auto& l) { return l.rfind("Skipped", 0) == 0; });
    EXPECT_EQ(skipped, 12);
    EXPECT_EQ(removalLog.back(), "Done");
}

TEST_F(LogReplayTest, ValueThatCannotBeWrittenStopsTheRemoval) {
    file("new.txt");
    const std::string tooLong(platform::kMaxValueNameLength + 1, 'n');
    const auto result = replay(
        "FILE ADDED!\tC:\\new.txt\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Acme\tMode\t\"old\"\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Acme\t" +
            tooLong +
            "\t\"x\"\r\n"
            "REG DELETED!\tHKCU\tSoftware\\Acme\tLater\t\"x\"\r\n",
        {false, std::nullopt});
    EXPECT_FALSE(result.finished);
    EXPECT_EQ(dialogs.texts(Kind::Error),
              (std::vector<std::string>{"Failed to set data for '" + tooLong + "'"}));
    EXPECT_EQ(removalLog, (std::vector<std::string>{"Deleted: C:\\new.txt"}));
    EXPECT_TRUE(questions().empty());  // no question about the log either
    EXPECT_TRUE(logExists("app.anlog"));
    EXPECT_TRUE(value(RegRoot::CurrentUser, "Software\\Acme", "Mode"));
    EXPECT_FALSE(value(RegRoot::CurrentUser, "Software\\Acme", "Later"));
}

TEST_F(LogReplayTest, ReadOnlyMachineStoreIsReportedNotPassedOver) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: a read-only store file";
#else
    setString(RegRoot::LocalMachine, "SOFTWARE\\Acme", "Added", "x");
    store.reset();
    platform::setDefaultRegistryStore(nullptr);
    std::filesystem::permissions(tmp.str() + "/registry/machine.db",
                                 std::filesystem::perms::owner_read);
    store = platform::openRegistryStore(tmp.str() + "/registry");
    const auto result = replay(
        "REG ADDED!\tHKLM\tSOFTWARE\\Acme\tAdded\t\"x\"\r\n"
        "REG DELETED!\tHKLM\tSOFTWARE\\Acme\tMode\t\"old\"\r\n",
        noQuestions());
    EXPECT_TRUE(result.finished);
    ASSERT_EQ(removalLog.size(), 3u);
    EXPECT_EQ(removalLog[0], "Skipped HKLM\tSOFTWARE\\Acme\tAdded\t\"x\"");
    EXPECT_EQ(removalLog[1], "Skipped HKLM\tSOFTWARE\\Acme\tMode\t\"old\"");
    EXPECT_TRUE(value(RegRoot::LocalMachine, "SOFTWARE\\Acme", "Added"));
#endif
}

}  // namespace

namespace {

// Links made the host's way; false where the host makes none.
bool makeLink(const std::string& target, const std::string& link, bool folder) {
#ifdef _WIN32
    // Wine answers success and makes nothing, so the link is looked for afterwards.
    const std::wstring wideLink = platform::hostPath(link).wstring();
    CreateSymbolicLinkW(wideLink.c_str(), platform::hostPath(target).wstring().c_str(),
                        (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) |
                            SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    const DWORD attributes = GetFileAttributesW(wideLink.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    std::error_code error;
    if (folder)
        std::filesystem::create_directory_symlink(target, link, error);
    else
        std::filesystem::create_symlink(target, link, error);
    return !error;
#endif
}

bool isLink(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(platform::hostPath(path).wstring().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
#else
    return std::filesystem::is_symlink(path);
#endif
}

TEST_F(LogReplayTest, LinksAreNeverFollowedAndAddedLinksAreRemovedAsLinks) {
    namespace fsys = std::filesystem;
    const std::string outside = tmp.str() + "/outside";
    fsys::create_directories(outside + "/folder");
    { std::ofstream(outside + "/precious.txt") << "x"; }
    { std::ofstream(outside + "/folder/precious.txt") << "x"; }
    folder("App");
    if (!makeLink(outside + "/folder", hostC("App/toFolder"), true))
        GTEST_SKIP() << "this host makes no links (Wine's CreateSymbolicLink makes none)";
    ASSERT_TRUE(makeLink(outside + "/precious.txt", hostC("App/toFile"), false));
    ASSERT_TRUE(makeLink(hostC("App/nowhere"), hostC("App/dangling"), false));
    ASSERT_TRUE(makeLink(hostC("App/loop"), hostC("App/loop"), false));
    // A drive folder that leads off the drive through a link.
    ASSERT_TRUE(makeLink(outside, hostC("Away"), true));
    const auto result = replay(
        "FILE ADDED!\tC:\\App\t<- dir\r\n"
        "FILE ADDED!\tC:\\App\\dangling\r\n"
        "FILE ADDED!\tC:\\App\\loop\r\n"
        "FILE ADDED!\tC:\\App\\toFile\r\n"
        "FILE ADDED!\tC:\\App\\toFolder\r\n"
        "FILE ADDED!\tC:\\App\\toFolder\\precious.txt\r\n"
        "FILE ADDED!\tC:\\Away\\folder\t<- dir\r\n"
        "FILE ADDED!\tC:\\Away\\folder\\precious.txt\r\n"
        "FILE ADDED!\tC:\\Away\\precious.txt\r\n",
        noQuestions());
    EXPECT_TRUE(result.finished);
    EXPECT_TRUE(fsys::exists(outside + "/precious.txt"));
    EXPECT_TRUE(fsys::exists(outside + "/folder/precious.txt"));
    EXPECT_FALSE(fsys::exists(fsys::symlink_status(hostC("App"))));
    EXPECT_TRUE(isLink(hostC("Away")));
    EXPECT_EQ(removalLog,
              (std::vector<std::string>{
                  "Skipped C:\\Away\\precious.txt", "Skipped C:\\Away\\folder\\precious.txt",
                  "Skipped C:\\Away\\folder", "Skipped C:\\App\\toFolder\\precious.txt",
                  "Deleted: C:\\App\\toFolder", "Deleted: C:\\App\\toFile",
                  "Deleted: C:\\App\\loop", "Deleted: C:\\App\\dangling", "Done"}));
}

TEST_F(LogReplayTest, NamesWithControlCharactersOtherThanLineBreaksAreRemoved) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: Windows file names cannot hold control characters";
#endif
    file("App/esc\x1b.txt");
    replay("FILE ADDED!\tC:\\App\t<- dir\r\nFILE ADDED!\tC:\\App\\esc\x1b.txt\r\n", noQuestions());
    EXPECT_EQ(removalLog, (std::vector<std::string>{"Deleted: C:\\App\\esc\x1b.txt", "Done"}));
    EXPECT_FALSE(std::filesystem::exists(hostC("App")));
}

TEST_F(LogReplayTest, FailedDeletionsAreReportedAsSuch) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by permission bits, the SQLite store files";
#endif
    file("Locked/a.txt");
    std::filesystem::permissions(
        hostC("Locked"), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    // The log is written first; then the logs folder turns read-only.
    writeLog("app.anlog",
             "FILE ADDED!\tC:\\Locked\\a.txt\r\n"
             "REG ADDED!\t\tHKLM\tSOFTWARE\\Acme\r\n");
    std::filesystem::permissions(
        logsHost(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    // The key is kept because the store refuses to change the machine roots.
    {
        auto acc = store->accessor();
        std::unique_ptr<platform::RegKey> key;
        ASSERT_EQ(
            acc->createKey(RegRoot::LocalMachine, "SOFTWARE\\Acme", platform::RegAccess::Full, key),
            platform::RegStatus::Ok);
    }
    store.reset();
    platform::setDefaultRegistryStore(nullptr);
    std::filesystem::permissions(tmp.str() + "/registry/machine.db",
                                 std::filesystem::perms::owner_read);
    store = platform::openRegistryStore(tmp.str() + "/registry");
    LogReplay replay(*fs, *store, dialogs,
                     [this](const std::string& line) { removalLog.push_back(line); });
    const auto result = replay.run(programFolder, "app", {false, true});
    std::filesystem::permissions(hostC("Locked"), std::filesystem::perms::owner_all);
    std::filesystem::permissions(logsHost(), std::filesystem::perms::owner_all);
    EXPECT_TRUE(result.finished);
    EXPECT_FALSE(result.logDeleted);
    EXPECT_EQ(removalLog,
              (std::vector<std::string>{
                  "The file C:\\Locked\\a.txt could not be deleted.",
                  "The key \\SOFTWARE\\Acme could not be deleted.", "Done",
                  "The analysis log " + programFolder + "logs\\app.anlog could not be deleted."}));
    EXPECT_TRUE(std::filesystem::exists(hostC("Locked/a.txt")));
}

}  // namespace

TEST_F(LogReplayTest, TheBackupTakenFirstPutsTheRegistryBackWhole) {
    setString(RegRoot::CurrentUser, "Software\\Acme", "Path", "C:\\Acme");
    setString(RegRoot::CurrentUser, "Software\\Acme\\Sub", "x", "1");
    setString(RegRoot::CurrentUser, "Software\\Old", "Mode", "new");
    setValue(RegRoot::CurrentUser, "Software\\Old", "All", platform::kRegBinary, "\x01");
    const auto before = state();
    const auto result = replay(
        "REG ADDED!\t\tHKCU\t\\Software\\Acme\r\n"
        "REG ADDED!\t\tHKCU\tSoftware\\Acme\\Sub\r\n"
        "REG ADDED!\tHKCU\tSoftware\\Acme\tPath\t\"C:\\Acme\"\r\n"
        "REG ADDED!\tHKCU\tSoftware\\Acme\\Sub\tx\t\"1\"\r\n"
        "REG ADDED!\tHKCU\tSoftware\\Old\tMode\t\"new\"\r\n"
        "REG DELETED!\t\tHKCU\tSoftware\\Removed\\Deep\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Old\tMode\t\"old\"\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Old\tAll\tint:-1\r\n"
        "REG DELETED!\tHKCU\tSoftware\\Old\tSeven\tint:7\r\n"
        "REG DELETED!\tHKCU\tNew\\Deeper\tV\t\"v\"\r\n",
        noQuestions());
    ASSERT_TRUE(result.finished);
    ASSERT_FALSE(keyExists(RegRoot::CurrentUser, "Software\\Acme"));
    ASSERT_TRUE(keyExists(RegRoot::CurrentUser, "New\\Deeper"));

    const std::string folder = registry::backupsFolderIn(programFolder);
    const auto backups = registry::listBackups(*fs, folder);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(backups[0].name.find(" app.reg"), std::string::npos) << backups[0].name;
    auto registry = store->accessor();
    registry::restoreBackup(*fs, folder, *registry, backups[0].name);
    EXPECT_EQ(state(), before);
}

TEST_F(LogReplayTest, ABackupThatCannotBeWrittenStopsTheRemovalBeforeAnyChange) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: permission bits";
#else
    file("Acme/setup.log");
    setString(RegRoot::CurrentUser, "Software\\Acme", "Path", "C:\\Acme");
    std::filesystem::create_directories(programHost + "/backups");
    ASSERT_EQ(chmod((programHost + "/backups").c_str(), 0555), 0);
    const auto before = state();
    const auto result = replay(
        "FILE ADDED!\tC:\\Acme\\setup.log\r\n"
        "REG ADDED!\tHKCU\tSoftware\\Acme\tPath\t\"C:\\Acme\"\r\n",
        noQuestions());
    chmod((programHost + "/backups").c_str(), 0755);
    EXPECT_FALSE(result.finished);
    EXPECT_EQ(state(), before);
    const auto errors = dialogs.texts(Kind::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(std::strerror(EACCES)), std::string::npos) << errors[0];
    EXPECT_TRUE(removalLog.empty());
#endif
}

#ifndef _WIN32
namespace {

// A path as a .trashinfo file writes it, for the paths of these tests
// (letters, digits, "/", ".", "-" and spaces).
std::string urlEncodedForTest(std::string path) {
    for (size_t at = 0; (at = path.find(' ', at)) != std::string::npos;)
        path.replace(at, 1, "%20");
    return path;
}

std::string urlDecoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// XDG_DATA_HOME for one test.
class DataHome {
  public:
    explicit DataHome(const std::string& folder) {
        if (const char* old = std::getenv("XDG_DATA_HOME"))
            old_ = old;
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
    }
    ~DataHome() {
        if (old_)
            setenv("XDG_DATA_HOME", old_->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
    }

  private:
    std::optional<std::string> old_;
};

}  // namespace
#endif

TEST_F(LogReplayTest, WithTheWastebasketFilesGoThereWithInfoAFileManagerReads) {
#ifdef _WIN32
    GTEST_SKIP() << "the freedesktop.org trash is the POSIX host's";
#else
    const std::string dataHome = tmp.str() + "/data home";
    DataHome use(dataHome);
    file("Acme/setup.log", "log");
    file("Acme/a b%.txt", "ab");
    file("keep.txt");
    std::vector<std::string> expected = state();
    const std::string acme = std::filesystem::canonical(hostC("Acme")).string();
    for (const char* gone : {"Acme", "Acme/setup.log", "Acme/a b%.txt"})
        std::erase(expected, hostC(gone));

    RemovalOptions options = noQuestions();
    options.toTrash = true;
    const auto result = replay(
        "FILE ADDED!\tC:\\Acme\t<- dir\r\n"
        "FILE ADDED!\tC:\\Acme\\a b%.txt\r\n"
        "FILE ADDED!\tC:\\Acme\\setup.log\r\n",
        options);
    ASSERT_TRUE(result.finished);
    EXPECT_EQ(state(), expected);  // nothing else has changed
    const std::string trash = dataHome + "/Trash";
    const std::regex date("DeletionDate=[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}");
    for (const std::string name : {"a b%.txt", "setup.log"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(tmp.read("data home/Trash/files/" + name), name[0] == 'a' ? "ab" : "log");
        const std::string info = tmp.read("data home/Trash/info/" + name + ".trashinfo");
        const auto lines = splitLines(info);
        ASSERT_EQ(lines.size(), 3u) << info;
        EXPECT_EQ(lines[0], "[Trash Info]");
        ASSERT_EQ(lines[1].substr(0, 6), "Path=/");
        EXPECT_EQ(lines[1].find(' '), std::string::npos) << "a space is encoded";
        EXPECT_EQ(urlDecoded(std::string(lines[1].substr(5))), acme + "/" + name);
        EXPECT_TRUE(std::regex_match(std::string(lines[2]), date)) << lines[2];
    }
    // The same file name again takes the next free name in the trash.
    file("Acme/setup.log", "second");
    replay("FILE ADDED!\tC:\\Acme\\setup.log\r\n", options);
    EXPECT_EQ(tmp.read("data home/Trash/files/setup.log.2"), "second");
    EXPECT_TRUE(std::filesystem::exists(trash + "/info/setup.log.2.trashinfo"));
    EXPECT_EQ(removalLog[0],
              "Moved to the wastebasket: C:\\Acme\\setup.log (now in " + trash + ")");

    // A file on another file system goes to the trash of its own mount.
    struct stat tmpStat {}, shmStat {};
    if (stat(tmp.str().c_str(), &tmpStat) != 0 || stat("/dev/shm", &shmStat) != 0 ||
        tmpStat.st_dev == shmStat.st_dev)
        GTEST_SKIP() << "no second file system at /dev/shm";
    const std::string other = "/dev/shm/" + tmp.path().filename().string();
    std::filesystem::create_directories(other + "/Acme");
    std::ofstream(other + "/Acme/other.txt") << "elsewhere";
    const auto both = platform::makeFileSystem({{'C', driveC}, {'D', other}}, programHost);
    writeLog("d.anlog", "FILE ADDED!\tD:\\Acme\\other.txt\r\n");
    LogReplay(*both, *store, dialogs, [](const std::string&) {}).run(programFolder, "d", options);
    const bool moved = !std::filesystem::exists(other + "/Acme/other.txt");
    // Our entries of that trash are found by their path, and taken out again.
    const std::string mountTrash = "/dev/shm/.Trash-" + std::to_string(geteuid());
    const std::string path = urlEncodedForTest(other) + "/Acme/other.txt";
    std::string info, kept;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(mountTrash + "/info", ec)) {
        std::ifstream in(e.path());
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        if (text.find("Path=" + path + "\n") == std::string::npos)
            continue;
        info = text;
        const std::string name = e.path().stem().string();
        std::ifstream file(mountTrash + "/files/" + name);
        kept.assign(std::istreambuf_iterator<char>(file), {});
        std::filesystem::remove(e.path());
        std::filesystem::remove(mountTrash + "/files/" + name);
    }
    std::filesystem::remove_all(other);
    for (const char* sub : {"/files", "/info", ""})
        std::filesystem::remove(mountTrash + sub, ec);  // only when nothing else is in it
    EXPECT_TRUE(moved);
    EXPECT_EQ(kept, "elsewhere");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + path + "\nDeletionDate=", 0), 0u) << info;
#endif
}
