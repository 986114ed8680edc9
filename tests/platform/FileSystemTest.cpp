#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/FileSystem.h"
#include "support/TempDir.h"

using namespace vornak::platform;
using vornak::test::TempDir;

namespace {

std::set<std::string> names(const FileSystem& fs, const std::string& pattern, uint32_t wanted) {
    std::set<std::string> found;
    EXPECT_TRUE(fs.findFiles(pattern, wanted, [&](const DirEntry& e) { found.insert(e.name); }));
    return found;
}

}  // namespace

TEST(DriveMap, ParsesLettersAndIgnoresJunk) {
    auto drives = parseDriveMap("c=/srv/c;D=/data;;x;E=");
    ASSERT_EQ(drives.size(), 2u);
    EXPECT_EQ(drives['C'], "/srv/c");
    EXPECT_EQ(drives['D'], "/data");
}

// Host paths in the host's own spelling.
#ifdef _WIN32
const std::string kHostRoot = "Z:\\";
static std::string host(std::string path) {
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}
#else
const std::string kHostRoot = "/";
static std::string host(std::string path) { return path; }
#endif

TEST(DriveMap, TranslatesBothWays) {
    TempDir tmp;
    auto fs = makeFileSystem({{'C', tmp.str() + "/c/"}, {'D', kHostRoot}}, tmp.str() + "/c/prog");
    EXPECT_EQ(fs->toHostPath("C:\\Program Files\\X\\uninst.exe"),
              host(tmp.str() + "/c/Program Files/X/uninst.exe"));
    EXPECT_EQ(fs->toHostPath("c:"), host(tmp.str() + "/c"));
    EXPECT_EQ(fs->toHostPath("Q:\\nothing"), "");  // unmapped drive
    EXPECT_EQ(fs->toHostPath("/usr/bin/env"), "/usr/bin/env");
    // The longest matching root wins over the root of everything.
    EXPECT_EQ(fs->fromHostPath(tmp.str() + "/c/prog"), "C:\\prog");
    EXPECT_EQ(fs->fromHostPath(kHostRoot + host("etc/hosts")), "D:\\etc\\hosts");
    EXPECT_EQ(fs->programFolder(), "C:\\prog\\");
}

TEST(DriveMap, ProgramOutsideEveryDriveKeepsItsHostPath) {
    TempDir tmp;
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}}, host("/opt/vornak"));
    EXPECT_EQ(fs->programFolder(), host("/opt/vornak/"));
    EXPECT_EQ(fs->toHostPath(fs->programFolder() + "lang\\English.lng"),
              host("/opt/vornak/lang/English.lng"));

    // A program folder with a drive letter of the host's own (on Windows the
    // letter of a mapped drive too) is not taken for a folder on that drive.
    std::filesystem::create_directories(tmp.path() / "bin");
    auto beside = makeFileSystem({{'C', tmp.str() + "/c"}}, tmp.str() + "/bin");
    ASSERT_TRUE(beside->writeFile(beside->programFolder() + "hidden.dat", "x"));
    EXPECT_TRUE(std::filesystem::exists(tmp.path() / "bin/hidden.dat"));
    EXPECT_EQ(beside->toHostPath(beside->programFolder() + "hidden.dat"),
              beside->toHostPath(beside->programFolder()) + "hidden.dat");
}

TEST(FindFiles, AttributeFilterFollowsWindowsRules) {
    TempDir tmp;
    tmp.write("c/Visible/a.txt", "a");
    tmp.write("c/.hidden dir/b.txt", "b");
    tmp.write("c/.hidden file", "h");
    tmp.write("c/plain.txt", "p");
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}});

    // Directory pass: folders and plain files, nothing hidden.
    EXPECT_EQ(names(*fs, "C:\\*.*", kAttrDirectory),
              (std::set<std::string>{"Visible", "plain.txt"}));
    // File pass: every non-folder, hidden ones included.
    EXPECT_EQ(names(*fs, "C:\\*.*", 0x2F), (std::set<std::string>{".hidden file", "plain.txt"}));
    // Wildcards match without regard to case.
    EXPECT_EQ(names(*fs, "C:\\*.TXT", 0x2F), (std::set<std::string>{"plain.txt"}));
    EXPECT_FALSE(fs->findFiles("C:\\missing\\*.*", 0x2F, [](const DirEntry&) {}));
    // A folder named in another letter case than the host's is listed all the same.
    EXPECT_EQ(names(*fs, "C:\\vISIBLE\\*.*", 0x2F), (std::set<std::string>{"a.txt"}));
}

TEST(FindFiles, LinksAreFilesAndKernelFoldersAreSystem) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: folder links made by the test, /proc";
#else
    TempDir tmp;
    tmp.write("c/real/x", "x");
    std::filesystem::create_directory_symlink(tmp.path() / "c", tmp.path() / "c" / "loop");
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}});
    uint32_t loopAttrs = 0;
    fs->findFiles("C:\\*.*", 0x3F, [&](const DirEntry& e) {
        if (e.name == "loop") loopAttrs = e.attributes;
    });
    EXPECT_EQ(loopAttrs & kAttrDirectory, 0u) << "a link to a folder must not be walked into";

    auto root = makeFileSystem({{'C', "/"}});
    bool procSeen = false;
    root->findFiles("C:\\*.*", kAttrDirectory, [&](const DirEntry& e) {
        if (e.name == "proc") procSeen = true;
    });
    EXPECT_FALSE(procSeen);
#endif
}

// The links a Wine prefix makes from its shell folders into the home: the
// Desktop's may be walked and acted in, the home itself and a link found
// behind a link never.
TEST(FindFiles, OnlyLinksFromTheDriveIntoTheHomeBelowItAreWalkable) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: links made by the test";
#else
    namespace fsys = std::filesystem;
    TempDir tmp;
    tmp.write("home/Desktop/old.txt", "x");
    tmp.write("c/users/me/keep", "x");
    const fsys::path users = tmp.path() / "c" / "users" / "me";
    fsys::create_directory_symlink(tmp.path() / "home" / "Desktop", users / "Desktop");
    fsys::create_directory_symlink(tmp.path() / "home", users / "Documents");
    fsys::create_directory_symlink(tmp.path() / "home", tmp.path() / "home" / "Desktop" / "up");
    fsys::create_directory_symlink(tmp.path() / "c", users / "Drive");
    const char* oldHome = std::getenv("HOME");
    const std::string saved = oldHome ? oldHome : "";
    ::setenv("HOME", (tmp.str() + "/home").c_str(), 1);
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}});
    const std::string desktop = fs->walkableLinkTarget("C:\\users\\me\\Desktop");
    EXPECT_EQ(desktop, fsys::canonical(tmp.path() / "home" / "Desktop").string());
    EXPECT_EQ(fs->walkableLinkTarget("C:\\users\\me\\Documents"), "");
    EXPECT_EQ(fs->walkableLinkTarget("C:\\users\\me\\Drive"), "");
    EXPECT_EQ(fs->walkableLinkTarget("C:\\users\\me\\Desktop\\up"), "");
    EXPECT_EQ(fs->walkableLinkTarget("C:\\users\\me\\keep"), "");
    uint32_t attrs = 0;
    fs->findFiles("C:\\users\\me\\*.*", 0x3F, [&](const DirEntry& e) {
        if (e.name == "Desktop") attrs = e.attributes;
    });
    EXPECT_NE(attrs & kAttrReparsePoint, 0u);

    using Kind = FileSystem::EntryKind;
    EXPECT_EQ(fs->entryKind("C:\\users\\me\\Desktop\\old.txt"), Kind::Outside);
    EXPECT_EQ(fs->entryKindWithin("C:\\users\\me\\Desktop\\old.txt", desktop), Kind::File);
    // Not beyond the recorded folder, even through it.
    EXPECT_EQ(fs->entryKindWithin("C:\\users\\me\\Desktop\\up\\Desktop", desktop), Kind::Outside);
    EXPECT_EQ(fs->entryKindWithin("C:\\users\\me\\Documents\\Desktop\\old.txt", desktop), Kind::File);
    EXPECT_TRUE(fs->removeEntryWithin("C:\\users\\me\\Desktop\\old.txt", Kind::File, desktop));
    EXPECT_FALSE(fsys::exists(tmp.path() / "home" / "Desktop" / "old.txt"));
    if (oldHome) ::setenv("HOME", saved.c_str(), 1); else ::unsetenv("HOME");
#endif
}

TEST(Files, ExistenceCreateRemoveDelete) {
    TempDir tmp;
    tmp.write("c/dir/file.txt", "x");
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}});
    EXPECT_TRUE(fs->fileExists("C:\\dir\\file.txt"));
    EXPECT_FALSE(fs->fileExists("C:\\dir"));
    EXPECT_TRUE(fs->directoryExists("C:\\dir"));
    EXPECT_FALSE(fs->removeDirectory("C:\\dir")) << "not empty";
    EXPECT_TRUE(fs->deleteFile("C:\\dir\\file.txt"));
    EXPECT_FALSE(fs->deleteFile("C:\\dir\\file.txt"));
    EXPECT_TRUE(fs->removeDirectory("C:\\dir"));
    EXPECT_TRUE(fs->createDirectory("C:\\new"));
    EXPECT_FALSE(fs->createDirectory("C:\\a\\b")) << "one level only";
    EXPECT_EQ(fs->fixedDrives(), std::vector<char>{'C'});
}

TEST(Files, WriteReplacesWholeFileAndRefusesProtectedFolders) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by chmod";
#else
    TempDir tmp;
    tmp.write("c/out.txt", "old contents");
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}});
    ASSERT_TRUE(fs->writeFile("C:\\out.txt", "new"));
    EXPECT_EQ(*fs->readFile("C:\\out.txt", readLimits::kNote), "new");
    // Only the file itself is left, no temporary beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path() / "c"),
                            std::filesystem::directory_iterator()),
              1);

    // A write-protected folder refuses the write, even for root, and the old
    // file stays as it was.
    chmod((tmp.path() / "c").c_str(), 0555);
    std::string error;
    EXPECT_FALSE(fs->writeFile("C:\\out.txt", "newer", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(*fs->readFile("C:\\out.txt", readLimits::kNote), "new");
    EXPECT_FALSE(fs->canWriteDirectory("C:\\"));
    chmod((tmp.path() / "c").c_str(), 0755);
    EXPECT_TRUE(fs->canWriteDirectory("C:\\"));
#endif
}

TEST(Files, WriteRemovesNewFilesThatACrashLeftOfTheSameTarget) {
    TempDir tmp;
    tmp.write("c/hidden.dat.new-12345", std::string(4096, 'x'));
    tmp.write("c/hidden.dat.new-67890", "y");
    tmp.write("c/other.dat.new-12345", "of another file");
    tmp.write("c/hidden.dat.new-notmine", "not one of ours");
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}});
    ASSERT_TRUE(fs->writeFile("C:\\hidden.dat", "list"));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(tmp.path() / "c"))
        left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"hidden.dat", "hidden.dat.new-notmine",
                                              "other.dat.new-12345"}));
}

TEST(Wildcard, MatchesLikeFindFirstFile) {
    EXPECT_TRUE(matchesWildcard("English.lng", "*.lng"));
    EXPECT_TRUE(matchesWildcard("Danish.LNG", "*.lng"));
    EXPECT_FALSE(matchesWildcard("English.lng.bak", "*.lng"));
    EXPECT_TRUE(matchesWildcard("noext", "*.*"));
    EXPECT_TRUE(matchesWildcard("a1", "a?"));
    EXPECT_FALSE(matchesWildcard("a", "a?"));
}

TEST(OwnFiles, UserFolderServesWhenTheProgramFolderIsProtected) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: write protection by chmod";
#endif
    TempDir tmp;
    tmp.write("c/prog/lang/English.lng", "");
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}}, tmp.str() + "/c/prog",
                             tmp.str() + "/c/home/me/data/vornak");
    EXPECT_EQ(fs->userDataFolder(), "C:\\home\\me\\data\\vornak\\");
    EXPECT_EQ(ownFilesFolder(*fs, "logs"), "C:\\prog\\");
    EXPECT_EQ(ownFileForReading(*fs, "hidden.dat"), "C:\\prog\\hidden.dat");

    chmod((tmp.str() + "/c/prog").c_str(), 0555);
    EXPECT_EQ(ownFilesFolder(*fs, "logs"), "C:\\home\\me\\data\\vornak\\");
    ASSERT_TRUE(makeFolders(*fs, ownFilesFolder(*fs, "logs") + "logs"));
    EXPECT_TRUE(std::filesystem::is_directory(tmp.path() / "c/home/me/data/vornak/logs"));
    chmod((tmp.str() + "/c/prog").c_str(), 0755);
    // Once the user's folder holds it, it is used from there.
    EXPECT_EQ(ownFilesFolder(*fs, "logs"), "C:\\home\\me\\data\\vornak\\");
    EXPECT_EQ(ownFileForReading(*fs, "logs"), "C:\\home\\me\\data\\vornak\\logs");

    auto none = makeFileSystem({{'C', tmp.str() + "/c"}}, tmp.str() + "/c/prog");
    EXPECT_EQ(none->userDataFolder(), "");
    EXPECT_EQ(ownFilesFolder(*none, "hidden.dat"), "C:\\prog\\");
}

TEST(DriveMap, WindowsPathsIgnoreLetterCaseExactNameFirst) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: file names that differ only in case";
#endif
    TempDir tmp;
    tmp.write("c/Program Files/Acme Editor/Uninstall.exe", "MZ");
    tmp.write("c/Twins/readme", "upper");
    tmp.write("c/twins/readme", "lower");
    tmp.write("c/Ærø/Øl.txt", "x");
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}});
    const std::string c = tmp.str() + "/c";
    EXPECT_EQ(fs->toHostPath("c:\\program files\\acme editor\\UNINSTALL.EXE"),
              c + "/Program Files/Acme Editor/Uninstall.exe");
    EXPECT_TRUE(fs->fileExists("C:\\PROGRAM FILES\\ACME EDITOR\\uninstall.exe"));
    EXPECT_TRUE(fs->directoryExists("c:\\program files\\"));
    EXPECT_EQ(fs->readFile("C:\\twins\\README", readLimits::kNote), "lower")
        << "an exact component wins";
    EXPECT_EQ(fs->readFile("C:\\Twins\\readme", readLimits::kNote), "upper");
    EXPECT_EQ(fs->readFile("C:\\ærØ\\øL.TXT", readLimits::kNote), "x")
        << "letters beyond ASCII too";
    // What does not exist keeps its spelling from the first missing component on,
    // so a new file lands in the folder that is there.
    EXPECT_EQ(fs->toHostPath("C:\\PROGRAM FILES\\New Dir\\X.txt"),
              c + "/Program Files/New Dir/X.txt");
    ASSERT_TRUE(fs->writeFile("C:\\program files\\ACME EDITOR\\hidden.dat", "h"));
    EXPECT_TRUE(std::filesystem::exists(c + "/Program Files/Acme Editor/hidden.dat"));
}

// A lookup for many paths remembers what it has seen of the folders; it must
// answer every path as fileExists does, whatever was asked of it before (the
// same folders in another letter case, a missing folder, a folder's listing
// read for one name and then used for another).
TEST(Files, LookupOfManyPathsAnswersAsFileExists) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: file names that differ only in case, links";
#else
    TempDir tmp;
    tmp.write("c/Program Files/Acme/Uninstall.exe", "MZ");
    tmp.write("c/Program Files/Acme/unins000.EXE", "MZ");
    tmp.write("c/Program Files/Twins/a.exe", "upper");
    tmp.write("c/Program Files/twins/b.exe", "lower");
    tmp.write("c/Ærø/Øl.exe", "x");
    tmp.write("c/Folder.exe/inside", "");
    tmp.write("c/Locked/Listed/u.exe", "");
    tmp.write("c/Case/X.EXE/inside", "");
    tmp.write("c/Case/x.Exe", "");
    tmp.write("c/Case/ſetup.exe", "");  // a long s, whose upper case is S
    const std::string c = tmp.str() + "/c";
    std::filesystem::create_symlink(c + "/Program Files/Acme/Uninstall.exe", c + "/Link.exe");
    std::filesystem::create_symlink(c + "/Folder.exe", c + "/FolderLink.exe");
    std::filesystem::create_symlink(c + "/gone", c + "/Dangling.exe");
    // Searchable but not readable: names in it are found only by asking for them.
    ::chmod((c + "/Locked").c_str(), 0111);
    auto fs = makeFileSystem({{'C', c}});
    const char* const paths[] = {
        "C:\\Program Files\\Acme\\Uninstall.exe", "C:\\program files\\ACME\\uninstall.EXE",
        "C:\\Program Files\\Acme\\unins000.exe", "C:\\Program Files\\Acme\\gone.exe",
        "C:\\Program Files\\Gone\\uninstall.exe", "C:\\PROGRAM FILES\\gone\\uninstall.exe",
        "C:\\Program Files\\Twins\\b.exe", "C:\\Program Files\\TWINS\\b.exe",
        "C:\\Program Files\\twins\\a.exe", "C:\\ærØ\\øL.EXE", "C:\\Folder.exe",
        "C:\\folder.exe\\inside", "C:\\Link.exe", "C:\\link.EXE", "C:\\FolderLink.exe",
        "C:\\Dangling.exe", "C:\\Locked\\Listed\\u.exe", "C:\\Locked\\listed\\u.exe",
        "C:\\Locked\\Listed\\U.EXE", "C:\\Program Files\\..\\Link.exe",
        "C:\\PROGRAM FILES\\..\\Link.exe", "C:\\Prog",
        "C:\\Program Files\\Acme\\", "C:\\", "Q:\\x.exe",
        "C:\\Program Files\\Acme\\Uninstall.exe\\", "C:\\Case\\x.exe", "C:\\case\\X.eXe",
        "C:\\Case\\SETUP.EXE", "C:\\Case\\setup.exe"};
    // Twice through one lookup: the second time from what the first has seen.
    const auto lookup = fs->fileLookup();
    for (int round = 0; round < 2; ++round)
        for (const char* path : paths)
            EXPECT_EQ(lookup->fileExists(path), fs->fileExists(path)) << path << " round " << round;
    EXPECT_TRUE(lookup->fileExists("C:\\program files\\acme\\UNINSTALL.exe"));
    EXPECT_FALSE(lookup->fileExists("C:\\Program Files\\Twins\\b.exe")) << "the exact folder wins";
    EXPECT_FALSE(lookup->fileExists("C:\\Case\\x.exe"))
        << "of the names in other letters, the first in byte order (a folder)";
    EXPECT_TRUE(lookup->fileExists("C:\\Case\\SETUP.exe")) << "a letter beyond ASCII";
    EXPECT_TRUE(fs->fileExists("C:\\PROGRAM FILES\\..\\Link.exe"))
        << "a folder up after a folder in other letters";
    ::chmod((c + "/Locked").c_str(), 0755);
#endif
}

// Every kind of file read whole: within its limit it is read, past it or as
// anything but a regular file it is refused before any of it is read, and the
// refusal names the file.
TEST(Files, ReadFileTakesOnlyRegularFilesWithinTheLimitOfTheirKind) {
    TempDir tmp;
    auto fs = makeFileSystem({{'C', tmp.str() + "/c"}});
    const auto path = tmp.write("c/f", "");
    const std::string hostPath = fs->toHostPath("C:\\f");
    const ReadLimit limits[] = {readLimits::kRegistryFile, readLimits::kLanguageFile,
                                readLimits::kHiddenList,   readLimits::kSnapshot,
                                readLimits::kAnalysisLog,  readLimits::kRunRecord,
                                readLimits::kPicture,      readLimits::kNote};
#ifndef _WIN32
    ::alarm(60);  // a hang ends the test program rather than blocking the suite
#endif
    for (const ReadLimit& limit : limits) {
        SCOPED_TRACE(limit.what);
        auto refused = [&](const std::string& reason) {
            std::string error;
            EXPECT_FALSE(fs->readFile("C:\\f", limit, &error));
            EXPECT_NE(error.find(hostPath), std::string::npos) << error;
            EXPECT_NE(error.find(reason), std::string::npos) << error;
            EXPECT_NE(error.find(limit.what), std::string::npos) << error;
        };
        std::filesystem::remove_all(path);
        tmp.write("c/f", "text");
        EXPECT_EQ(fs->readFile("C:\\f", limit), "text");
        // Sparse: no disk is spent; at the limit it is still read.
        std::error_code grown;
        std::filesystem::resize_file(path, limit.maxBytes + 1, grown);
#ifdef _WIN32
        // Under Wine a file cannot be made as large as a snapshot's bound ("File
        // too large"); the smaller kinds test the bound there.
        if (!grown)
            refused("larger than");
#else
        ASSERT_FALSE(grown) << grown.message();
        refused("larger than");
#endif
        if (limit.maxBytes <= readLimits::kPicture.maxBytes) {
            std::filesystem::resize_file(path, limit.maxBytes);
            EXPECT_EQ(fs->readFile("C:\\f", limit)->size(), limit.maxBytes);
        }
        std::filesystem::remove(path);
        std::filesystem::create_directory(path);
        refused("is a folder");
        std::filesystem::remove(path);
#ifndef _WIN32
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        refused("not a regular file");
        std::filesystem::remove(path);
        std::filesystem::create_symlink("/dev/zero", path);
        refused("not a regular file");
#endif
    }
#ifndef _WIN32
    ::alarm(0);
#endif
}
