// The prefix store against a fresh prefix made by Wine itself (once, in the
// build folder), and against Wine reading what the store wrote.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/WinePrefix.h"
#include "platform/model/Wow64View.h"
#include "platform/wine/WineRegistryFile.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"
#include "support/WineTestSupport.h"

namespace vornak::platform {
namespace {

namespace fs = std::filesystem;
using test::onPath;
using test::runProgram;
using test::wineEnv;

const char* const kFiles[] = {"system.reg", "user.reg", "userdef.reg"};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Empty when equal, else the first line that differs (a diff of whole
// registry files would take gtest minutes).
std::string firstDifference(const std::string& got, const std::string& want) {
    if (got == want) return {};
    size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    const size_t line = want.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t from = line == std::string::npos ? 0 : line + 1;
    return "got:  " + got.substr(from, got.find('\n', at) - from) + "\nwant: " +
           want.substr(from, want.find('\n', at) - from);
}

test::ProgramResult wine(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env) {
    return runProgram(test::onPath(program), args, env);
}

class WinePrefixStoreTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        base_ = VORNAK_TEST_PREFIX_DIR;
        if (test::wineMissing().empty()) test::makeWinePrefix(base_, baseError_);
    }

    void SetUp() override {
        if (const std::string why = test::wineMissing(); !why.empty()) GTEST_SKIP() << why;
        ASSERT_TRUE(isWinePrefix(base_)) << baseError_;
        // A cheap copy: its own registry files, the drive_c of the fresh prefix.
        prefix = tmp.str() + "/pfx";
        fs::create_directories(prefix + "/dosdevices");
        for (const char* f : kFiles) fs::copy_file(base_ + "/" + f, prefix + "/" + f);
        fs::copy_file(base_ + "/.update-timestamp", prefix + "/.update-timestamp");
        fs::create_symlink(fs::canonical(base_ + "/drive_c"), prefix + "/dosdevices/c:");
        fs::create_symlink("/", prefix + "/dosdevices/z:");
        store = openPrefixRegistryStore(prefix);
    }

    void TearDown() override {
        if (!prefix.empty() && prefixServerRunning(prefix)) wine("wineserver", {"-k"}, wineEnv(prefix));
    }

    std::string wineReg(const std::vector<std::string>& args) {
        std::vector<std::string> all{"reg"};
        all.insert(all.end(), args.begin(), args.end());
        const auto r = wine("wine", all, wineEnv(prefix));
        wine("wineserver", {"-w"}, wineEnv(prefix));
        return r.out;
    }

    static std::string base_;
    static std::string baseError_;
    test::TempDir tmp;
    std::string prefix;
    std::shared_ptr<RegistryStore> store;
};

std::string WinePrefixStoreTest::base_;
std::string WinePrefixStoreTest::baseError_;

TEST_F(WinePrefixStoreTest, FreshPrefixFilesComeBackByteForByteAndValuesAsWineWritesThem) {
    for (const char* name : kFiles) {
        const std::string text = readAll(prefix + "/" + name);
        std::string error;
        auto file = posix::WineRegistryFile::parse(text, error);
        ASSERT_TRUE(file) << name << ": " << error;
        std::string out;
        ASSERT_TRUE(file->serialize(out, error)) << error;
        EXPECT_EQ(firstDifference(out, text), "") << name;
        // Every value written anew must read as Wine wrote it.
        std::vector<posix::WineKey*> stack{&file->root()};
        while (!stack.empty()) {
            posix::WineKey* k = stack.back();
            stack.pop_back();
            posix::WineSection* section = file->edit(*k, error);
            ASSERT_TRUE(section) << error;
            for (auto& v : section->values) v.raw.clear();
            for (posix::WineKey* c : k->children) stack.push_back(c);
        }
        ASSERT_TRUE(file->serialize(out, error)) << error;
        EXPECT_EQ(firstDifference(out, text), "") << name;
    }
}

TEST_F(WinePrefixStoreTest, ChangesReachWineAndLeaveTheRestAsWasWritten) {
    const std::string before = readAll(prefix + "/system.reg");
    const std::string userBefore = readAll(prefix + "/user.reg");
    const std::string key = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Probe \"1\"";
    {
        auto acc = store->accessor();
        std::unique_ptr<RegKey> k;
        ASSERT_EQ(acc->createKey(RegRoot::LocalMachine, key, RegAccess::Full, k), RegStatus::Ok);
        ASSERT_EQ(acc->setValue(*k, "DisplayName", kRegSz, std::string("Probe \xc3\xa6\\x\0", 11)), RegStatus::Ok);
        ASSERT_EQ(acc->setValue(*k, "Multi", kRegMultiSz, std::string("a\0b\0\0", 5)), RegStatus::Ok);
        ASSERT_EQ(acc->setValue(*k, "Size", kRegDword, std::string("\x2a\0\0\0", 4)), RegStatus::Ok);
        ASSERT_EQ(acc->setValue(*k, "Blob", kRegBinary, std::string(40, '\x01')), RegStatus::Ok);
    }
    // Only the new section differs.
    std::string after = readAll(prefix + "/system.reg");
    const size_t at = after.find("\n[Software\\\\Wow6432Node\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Probe \"1\"]");
    ASSERT_NE(at, std::string::npos);
    const size_t end = after.find("\n[", at + 1);
    EXPECT_EQ(firstDifference(after.substr(0, at) + after.substr(end == std::string::npos ? after.size() : end), before), "");
    EXPECT_EQ(firstDifference(readAll(prefix + "/user.reg"), userBefore), "");

    // Another store reads the same bytes back.
    auto fresh = openPrefixRegistryStore(prefix)->accessor();
    std::unique_ptr<RegKey> k;
    ASSERT_EQ(fresh->openKey(RegRoot::LocalMachine, key, RegAccess::Read, k), RegStatus::Ok);
    RegValue v;
    ASSERT_EQ(fresh->queryValue(*k, "displayname", v), RegStatus::Ok);
    EXPECT_EQ(v.data, std::string("Probe \xc3\xa6\\x\0", 11));
    ASSERT_EQ(fresh->queryValue(*k, "Multi", v), RegStatus::Ok);
    EXPECT_EQ(v.data, std::string("a\0b\0\0", 5));
    ASSERT_EQ(fresh->queryValue(*k, "Blob", v), RegStatus::Ok);
    EXPECT_EQ(v.data, std::string(40, '\x01'));

    const std::string wineKey = "HKLM\\" + key;
    std::string out = wineReg({"query", wineKey});
    EXPECT_NE(out.find("REG_DWORD    0x2a"), std::string::npos) << out;
    EXPECT_NE(out.find("Blob"), std::string::npos) << out;

    // Deleting it is seen by Wine too, and its parent stays.
    k.reset();
    std::unique_ptr<RegKey> parent;
    ASSERT_EQ(fresh->openKey(RegRoot::LocalMachine, "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                             RegAccess::Full, parent), RegStatus::Ok);
    ASSERT_EQ(fresh->deleteKey(*parent, "PROBE \"1\""), RegStatus::Ok);
    out = wineReg({"query", "HKLM\\Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion"});
    EXPECT_EQ(out.find("Probe"), std::string::npos) << out;
    EXPECT_NE(out.find("Uninstall"), std::string::npos) << out;
}

TEST_F(WinePrefixStoreTest, ReadsWhatWineWroteMeanwhile) {
    auto acc = store->accessor();
    std::unique_ptr<RegKey> k;
    ASSERT_EQ(acc->openKey(RegRoot::CurrentUser, "Software\\Probe", RegAccess::Read, k), RegStatus::NotFound);
    wineReg({"add", "HKCU\\Software\\Probe", "/v", "From Wine", "/d", "yes", "/f"});
    ASSERT_EQ(acc->openKey(RegRoot::CurrentUser, "Software\\Probe", RegAccess::Read, k), RegStatus::Ok);
    RegValue v;
    ASSERT_EQ(acc->queryValue(*k, "From Wine", v), RegStatus::Ok);
    EXPECT_EQ(v.data, std::string("yes\0", 4));
}

TEST_F(WinePrefixStoreTest, RefusesWritesWhileTheWineserverRuns) {
    // Through the shell: the server keeps its inherited output open while it runs.
    ASSERT_EQ(std::system(("WINEPREFIX='" + prefix + "' '" + onPath("wineserver") + "' -p >/dev/null 2>&1").c_str()), 0);
    ASSERT_TRUE(prefixServerRunning(prefix));
    EXPECT_NE(prefixWriteRefusal(prefix).find(prefix), std::string::npos);
    const std::string before = readAll(prefix + "/user.reg");
    auto acc = store->accessor();
    std::unique_ptr<RegKey> k;
    EXPECT_EQ(acc->openKey(RegRoot::CurrentUser, "Software", RegAccess::Read, k), RegStatus::Ok);
    ASSERT_EQ(acc->openKey(RegRoot::CurrentUser, "Software", RegAccess::Full, k), RegStatus::Ok);
    EXPECT_EQ(acc->setValue(*k, "v", kRegSz, std::string("x\0", 2)), RegStatus::AccessDenied);
    ASSERT_EQ(acc->openKey(RegRoot::CurrentUser, "Control Panel\\Accessibility", RegAccess::Full, k), RegStatus::Ok);
    EXPECT_EQ(acc->deleteKey(*k, "Blind Access"), RegStatus::AccessDenied);
    EXPECT_EQ(acc->createKey(RegRoot::CurrentUser, "Software\\New", RegAccess::Full, k), RegStatus::AccessDenied);
    wine("wineserver", {"-k"}, wineEnv(prefix));
    wine("wineserver", {"-w"}, wineEnv(prefix));
    EXPECT_EQ(readAll(prefix + "/user.reg"), before);
    EXPECT_FALSE(prefixServerRunning(prefix));
    EXPECT_EQ(acc->createKey(RegRoot::CurrentUser, "Software\\New", RegAccess::Full, k), RegStatus::Ok);
}

TEST_F(WinePrefixStoreTest, WhatItCannotReadIsNeverWritten) {
    const std::string original = readAll(prefix + "/user.reg");
    // A damaged key path: the whole file is refused, and left as it is.
    const std::string badPath = original + "\n[Broken\\\\\\\\Key] 1\n";
    tmp.write("pfx/user.reg", badPath);
    EXPECT_THROW(store->check(), RegistryStoreError);
    auto acc = store->accessor();
    std::unique_ptr<RegKey> k;
    EXPECT_EQ(acc->createKey(RegRoot::CurrentUser, "Software\\New", RegAccess::Full, k), RegStatus::StoreFailure);
    EXPECT_EQ(readAll(prefix + "/user.reg"), badPath);
    // The other files stay usable.
    EXPECT_EQ(acc->openKey(RegRoot::LocalMachine, "Software", RegAccess::Read, k), RegStatus::Ok);
    EXPECT_EQ(acc->openKey(RegRoot::Users, ".DEFAULT\\Software", RegAccess::Read, k), RegStatus::Ok);

    // A damaged value: its key cannot be read or changed, and a change
    // elsewhere copies its lines as they stand.
    const std::string damage = "\n[Broken\\\\Key] 1\n\"v\"=what:1\n";
    tmp.write("pfx/user.reg", original + damage);
    acc = store->accessor();
    ASSERT_EQ(acc->openKey(RegRoot::CurrentUser, "Broken\\Key", RegAccess::Full, k), RegStatus::Ok);
    RegValue v;
    EXPECT_EQ(acc->queryValue(*k, "v", v), RegStatus::StoreFailure);
    EXPECT_EQ(acc->setValue(*k, "w", kRegSz, std::string("1\0", 2)), RegStatus::StoreFailure);
    EXPECT_EQ(readAll(prefix + "/user.reg"), original + damage);
    ASSERT_EQ(acc->createKey(RegRoot::CurrentUser, "Software\\New", RegAccess::Full, k), RegStatus::Ok);
    const std::string after = readAll(prefix + "/user.reg");
    EXPECT_NE(after.find("\n[Software\\\\New] "), std::string::npos);
    EXPECT_NE(after.find(damage), std::string::npos);
}

TEST_F(WinePrefixStoreTest, DrivesComeFromDosdevices) {
    const auto drives = prefixDriveMap(base_);
    ASSERT_EQ(drives.count('C'), 1u);
    EXPECT_EQ(drives.at('C'), fs::canonical(base_ + "/drive_c").string());
    EXPECT_EQ(drives.at('Z'), "/");
    EXPECT_EQ(drives.size(), 2u);  // com1 and the like are no drives
}

TEST_F(WinePrefixStoreTest, LinkKeysLeadToTheirTargetsAndClassesRootIsMergedAsWineMergesIt) {
    auto acc = store->accessor();
    const std::string fonts64 = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    const std::string fonts32 = "Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    std::unique_ptr<RegKey> real, linked, parent;
    ASSERT_EQ(acc->openKey(RegRoot::LocalMachine, fonts64, RegAccess::Read, real), RegStatus::Ok);
    ASSERT_EQ(acc->openKey(RegRoot::LocalMachine, fonts32, RegAccess::Full, linked), RegStatus::Ok);
    EXPECT_TRUE(linked->isLink());
    EXPECT_FALSE(real->isLink());
    RegKeyInfo a, b;
    ASSERT_EQ(acc->queryInfo(*real, a), RegStatus::Ok);
    ASSERT_EQ(acc->queryInfo(*linked, b), RegStatus::Ok);
    EXPECT_GT(a.valueCount, 0u);
    EXPECT_EQ(a.valueCount, b.valueCount);
    RegValue value;
    EXPECT_EQ(acc->queryValue(*linked, "SymbolicLinkValue", value), RegStatus::NotFound);
    // The link is listed by its own name where it lives.
    ASSERT_EQ(acc->openKey(RegRoot::LocalMachine, "Software\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion",
                           RegAccess::Read, parent), RegStatus::Ok);
    bool listed = false;
    std::string name;
    for (uint32_t i = 0; acc->enumKey(*parent, i, name) == RegStatus::Ok; ++i) listed |= name == "Fonts";
    EXPECT_TRUE(listed);
    // A write through the link lands in the target, where Wine reads it.
    ASSERT_EQ(acc->setValue(*linked, "Vornak Sans", kRegSz, std::string("vornak.ttf\0", 11)), RegStatus::Ok);
    std::unique_ptr<RegKey> sub;
    ASSERT_EQ(acc->createKey(RegRoot::LocalMachine, fonts32 + "\\VornakSub", RegAccess::Full, sub), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*sub, "In", kRegSz, std::string("target\0", 7)), RegStatus::Ok);

    // HKCR: a new key goes to the machine's Classes, the user's own classes show too.
    std::unique_ptr<RegKey> cls;
    ASSERT_EQ(acc->createKey(RegRoot::ClassesRoot, ".vornak", RegAccess::Full, cls), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*cls, "", kRegSz, std::string("VornakFile\0", 11)), RegStatus::Ok);
    ASSERT_EQ(acc->createKey(RegRoot::CurrentUser, "Software\\Classes\\VornakUser", RegAccess::Full, cls),
              RegStatus::Ok);
    ASSERT_EQ(acc->openKey(RegRoot::ClassesRoot, "VornakUser", RegAccess::Read, cls), RegStatus::Ok);
    // The 32-bit view of Fonts is the shared key itself.
    auto view32 = wow64View(store->accessor());
    std::unique_ptr<RegKey> fontsSeen32;
    ASSERT_EQ(view32->openKey(RegRoot::LocalMachine, fonts64, RegAccess::Read, fontsSeen32), RegStatus::Ok);
    EXPECT_EQ(view32->queryValue(*fontsSeen32, "Vornak Sans", value), RegStatus::Ok);

    const std::string fonts = wineReg({"query", "HKLM\\" + fonts64, "/v", "Vornak Sans"});
    EXPECT_NE(fonts.find("vornak.ttf"), std::string::npos) << fonts;
    EXPECT_NE(wineReg({"query", "HKLM\\" + fonts64 + "\\VornakSub", "/v", "In"}).find("target"), std::string::npos);
    const std::string classes = wineReg({"query", "HKLM\\Software\\Classes\\.vornak", "/ve"});
    EXPECT_NE(classes.find("VornakFile"), std::string::npos) << classes;
    // Deleting the link deletes the link, never what it leads to.
    ASSERT_EQ(acc->deleteKey(*parent, "Fonts"), RegStatus::Ok);
    EXPECT_EQ(acc->openKey(RegRoot::LocalMachine, fonts64, RegAccess::Read, real), RegStatus::Ok);
    EXPECT_EQ(acc->queryValue(*real, "Vornak Sans", value), RegStatus::Ok);
}

// Without Wine: a prefix written by hand in Wine's format.
TEST(WinePrefixWriteTest, OthersWaitForATransactionAndReadOnlyFilesStayAsTheyAre) {
    test::TempDir tmp;
    const std::string head = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
    for (const char* f : kFiles) tmp.write(std::string("pfx/") + f, head + "\n[Software] 1796702855\n#time=1dd86c9a7b20616\n");
    auto store = openPrefixRegistryStore(tmp.str() + "/pfx");
    auto a = store->accessor();
    auto b = store->accessor();
    std::unique_ptr<RegKey> ka, kb;
    ASSERT_EQ(a->openKey(RegRoot::LocalMachine, "Software", RegAccess::Full, ka), RegStatus::Ok);
    ASSERT_EQ(b->openKey(RegRoot::LocalMachine, "Software", RegAccess::Full, kb), RegStatus::Ok);
    a->beginTransaction();
    ASSERT_EQ(a->setValue(*ka, "mine", kRegSz, std::string("a\0", 2)), RegStatus::Ok);
    EXPECT_EQ(tmp.read("pfx/system.reg").find("mine"), std::string::npos);
    std::thread other([&] { EXPECT_EQ(b->setValue(*kb, "theirs", kRegSz, std::string("b\0", 2)), RegStatus::Ok); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    a->rollback();
    other.join();
    const std::string text = tmp.read("pfx/system.reg");
    EXPECT_EQ(text.find("mine"), std::string::npos);
    EXPECT_NE(text.find("\"theirs\"=\"b\"\n"), std::string::npos) << text;

    // A file without write permission is not replaced.
    fs::permissions(tmp.str() + "/pfx/system.reg", fs::perms::owner_read | fs::perms::group_read);
    EXPECT_EQ(b->setValue(*kb, "more", kRegSz, std::string("c\0", 2)), RegStatus::AccessDenied);
    EXPECT_EQ(tmp.read("pfx/system.reg"), text);
}

// A file of keys out of name order, a continued value, escaped and non-ASCII
// names and a last section without a blank line or a line break.
const char kHandMade[] =
    "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
    "[Soft\\\\b] 1\n#time=1\n\"v\"=\"one\"\n\n"
    "[Soft\\\\A_x] 2\n#link\n\"SymbolicLinkValue\"=hex(6):41,00\n\n"
    "[Soft\\\\a\\\\Caf\\x00e9] 3\n\"Blob\"=hex:00,01,02,\\\n  03,04\n\"q\\\"\"=dword:0000002a\n\n"
    "[Soft\\\\Z] 4\n@=str(2):\"%x%\"";

TEST(WineRegistryFileTest, ReadsSectionsWhenLookedIntoAndCopiesTheUntouchedOnesAsTheyStand) {
    test::TempDir tmp;
    tmp.write("system.reg", kHandMade);
    std::string error;
    struct stat identity {};
    auto file = posix::WineRegistryFile::open(tmp.str() + "/system.reg", error, &identity);
    ASSERT_TRUE(file) << error;
    auto halves = posix::WineRegistryFile::parse(kHandMade, error, 1);
    ASSERT_TRUE(halves) << error;
    std::string whole;
    ASSERT_TRUE(halves->serialize(whole, error));
    EXPECT_EQ(whole, kHandMade);
    posix::WineKey* soft = file->find({"SOFT"});
    ASSERT_TRUE(soft);
    std::vector<std::string> names;
    for (const auto* k : soft->children) names.emplace_back(k->name);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "A_x", "b", "Z"}));  // folded order
    ASSERT_TRUE(file->find({"soft", "A", "CAF\xc3\x89"}));
    EXPECT_TRUE(file->find({"Soft", "a_X"})->link);
    posix::WineSection scratch;
    const posix::WineSection* cafe = file->view(*file->find({"Soft", "a", "caf\xc3\xa9"}), scratch, error);
    ASSERT_TRUE(cafe) << error;
    ASSERT_EQ(cafe->values.size(), 2u);
    EXPECT_EQ(cafe->values[0].data, std::string("\0\1\2\3\4", 5));
    EXPECT_EQ(cafe->values[1].name, "q\"");

    // Another program replaces the file; what was read stays what is written.
    tmp.write("new.reg", "WINE REGISTRY Version 2\n");
    fs::rename(tmp.str() + "/new.reg", tmp.str() + "/system.reg");
    posix::WineKey* b = file->find({"Soft", "B"});
    posix::WineSection* section = file->edit(*b, error);
    ASSERT_TRUE(section) << error;
    section->values[0] = {"v", kRegSz, std::string("two\0", 4), {}};
    ASSERT_TRUE(file->touch(*b, error));
    bool created = false;
    file->create({"Soft", "a", "New"}, &created);
    EXPECT_TRUE(created);
    std::string out;
    ASSERT_TRUE(file->serialize(out, error)) << error;
    std::string want = kHandMade;
    const std::string header = "[Soft\\\\b] 1\n#time=1\n";
    want.replace(want.find(header), header.size(), section->header);
    want.replace(want.find("\"one\""), 5, "\"two\"");
    const size_t z = want.find("[Soft\\\\Z]");
    want.insert(z, out.substr(out.find("[Soft\\\\a\\\\New]"), out.find("[Soft\\\\Z]") - out.find("[Soft\\\\a\\\\New]")));
    EXPECT_EQ(firstDifference(out, want), "");
    EXPECT_NE(out.find("\n\n[Soft\\\\a\\\\New] "), std::string::npos) << out;

    // A damaged key path or a key listed twice refuses the file on reading;
    // damage inside a section is told when the key is first looked into, and
    // a change elsewhere copies those lines as they stand.
    struct Damage {
        const char* tail;
        const char* why;
        bool onReading;
    };
    const Damage damaged[] = {
        {"\n\n[Soft\\\\c] 5\n\"x\"=what:1\n", "line 23: value not understood", false},
        {"\n\n[Soft\\\\c] 5\n\"X\\x41\"=\"1\"\n\"xa\"=\"2\"\n", "line 24: value listed twice", false},
        {"\n\n[Soft\\\\c] 5\n\n\"x\"=\"1\"\n", "line 24: text after a blank line inside a key", false},
        {"\n\n[SOFT\\\\B] 5\n", "line 22: key listed twice", true},
        {"\n\n[Soft\\\\\\\\c] 5\n", "line 22: empty key name", true},
        {"\n\n[Soft\\\\c\n", "line 22: key name not closed", true},
        {"", "not a Wine registry file", true},
    };
    for (const auto& [tail, why, onReading] : damaged) {
        // The last one has no file header.
        const std::string text = *tail ? std::string(kHandMade) + tail : std::string(kHandMade).substr(1);
        tmp.write("system.reg", text);
        // Read whole, and in two halves at once.
        for (bool split : {false, true}) {
            auto read = split ? posix::WineRegistryFile::parse(text, error, 1)
                              : posix::WineRegistryFile::open(tmp.str() + "/system.reg", error);
            if (onReading) {
                EXPECT_FALSE(read) << tail;
                EXPECT_NE(error.find(why), std::string::npos) << error;
                continue;
            }
            ASSERT_TRUE(read) << error;
            posix::WineKey* c = read->find({"Soft", "c"});
            ASSERT_TRUE(c);
            EXPECT_FALSE(read->view(*c, scratch, error)) << tail;
            EXPECT_NE(error.find(why), std::string::npos) << error;
            EXPECT_FALSE(read->edit(*c, error));
            ASSERT_TRUE(read->touch(*read->find({"Soft", "b"}), error)) << error;
            std::string written;
            ASSERT_TRUE(read->serialize(written, error)) << error;
            EXPECT_NE(written.find(tail), std::string::npos) << written;
        }
    }

    // Halves whose keys meet: a key whose section is in the second half and
    // subkeys in both, and the subkeys' folded order across them.
    const std::string meeting =
        "WINE REGISTRY Version 2\n\n[A\\\\b\\\\x] 1\n\"v\"=\"1\"\n\n[A\\\\B] 2\n\"w\"=\"2\"\n\n[a\\\\a] 3\n";
    auto met = posix::WineRegistryFile::parse(meeting, error, 1);
    ASSERT_TRUE(met) << error;
    std::string again;
    ASSERT_TRUE(met->serialize(again, error));
    EXPECT_EQ(again, meeting);
    posix::WineKey* ab = met->find({"a", "b"});
    ASSERT_TRUE(ab && ab->hasSection && met->find({"A", "B", "X"}));
    ASSERT_TRUE(met->view(*ab, scratch, error)) << error;
    EXPECT_EQ(scratch.values.at(0).name, "w");
    names.clear();
    for (const auto* k : met->find({"A"})->children) names.emplace_back(k->name);
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
}

// Steam names every prefix "pfx": the folder name alone would mix their files.
TEST(WinePrefixOwnFilesTest, EachPrefixHasAFolderOfItsOwnBesideTheMachinesFiles) {
    test::TempDir tmp;
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_HOME", (tmp.str() + "/data").c_str(), 1);
    fs::create_directories(tmp.str() + "/steam/1/pfx");
    fs::create_directories(tmp.str() + "/steam/2/pfx");
    const std::string one = prefixDataFolder(tmp.str() + "/steam/1/pfx");
    const std::string two = prefixDataFolder(tmp.str() + "/steam/2/pfx");
    EXPECT_NE(one, two);
    EXPECT_EQ(one, prefixDataFolder(tmp.str() + "/steam/1/pfx/"));
    EXPECT_EQ(one, prefixDataFolder(tmp.str() + "/steam/2/../1/pfx"));
    EXPECT_EQ(one.rfind(tmp.str() + "/data/vornak/prefixes/pfx-", 0), 0u) << one;
    // The prefix's file system keeps hidden.dat and logs there, not beside the
    // program, whose folder (languages, help) it leaves as it is.
    const auto files = prefixFileSystem(tmp.str() + "/steam/1/pfx");
    EXPECT_NE(files->toHostPath(files->programFolder()), one);
    EXPECT_EQ(files->toHostPath(ownFilesFolder(*files, "hidden.dat")), one);
    EXPECT_EQ(files->toHostPath(ownFileForReading(*files, "logs")), one + "logs");
    if (old) setenv("XDG_DATA_HOME", saved.c_str(), 1); else unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace vornak::platform
