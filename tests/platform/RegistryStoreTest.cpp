// The registry model of the SQLite store: names, orders, limits, deletion,
// handles and groups of changes.
#include <gtest/gtest.h>

#include <optional>

#include "RegistryStoreTestSupport.h"

using namespace vornak::platform;
using namespace vornak::test;
using Strings = std::vector<std::string>;

TEST_F(RegistryStoreTest, NamesAreCaseInsensitiveAndKeepTheirCase) {
    bool created = false;
    std::unique_ptr<RegKey> key;
    ASSERT_EQ(acc->createKey(RegRoot::LocalMachine, "Software\\Acme Ltd\\Ärger", RegAccess::Full,
                             key, &created),
              RegStatus::Ok);
    EXPECT_TRUE(created);
    EXPECT_EQ(key->path(), "Software\\Acme Ltd\\Ärger");
    ASSERT_EQ(acc->setValue(*key, "Install Path", kRegSz, "C:\\Acme"), RegStatus::Ok);

    // Any letter case finds the key, non-ASCII letters included.
    auto same = tryOpen(*acc, RegRoot::LocalMachine, "SOFTWARE\\acme ltd\\äRGER", RegAccess::Full,
                        RegStatus::Ok);
    ASSERT_TRUE(same);
    EXPECT_EQ(same->path(), "SOFTWARE\\acme ltd\\äRGER");
    RegValue value;
    ASSERT_EQ(acc->queryValue(*same, "INSTALL PATH", value), RegStatus::Ok);
    EXPECT_EQ(value.name, "Install Path");
    EXPECT_EQ(value.data, "C:\\Acme");

    // Creating it again in other letters makes nothing new and renames nothing.
    ASSERT_EQ(acc->createKey(RegRoot::LocalMachine, "software\\ACME LTD\\ärger\\New",
                             RegAccess::Full, key, &created),
              RegStatus::Ok);
    EXPECT_TRUE(created);
    ASSERT_EQ(
        acc->createKey(RegRoot::LocalMachine, "SOFTWARE\\Acme Ltd", RegAccess::Full, key, &created),
        RegStatus::Ok);
    EXPECT_FALSE(created);
    EXPECT_EQ(subkeyNames(*acc, *key), Strings{"Ärger"});
    auto root = tryOpen(*acc, RegRoot::LocalMachine, "", RegAccess::Read, RegStatus::Ok);
    EXPECT_EQ(subkeyNames(*acc, *root), Strings{"Software"});

    // Setting a value under another case replaces it and keeps its name.
    ASSERT_EQ(acc->setValue(*same, "INSTALL PATH", kRegExpandSz, "%ProgramFiles%"), RegStatus::Ok);
    ASSERT_EQ(acc->queryValue(*same, "install path", value), RegStatus::Ok);
    EXPECT_EQ(value.name, "Install Path");
    EXPECT_EQ(value.type, kRegExpandSz);
    EXPECT_EQ(valueNames(*acc, *same), Strings{"Install Path"});

    // Folding is one letter for one letter: "ß" is not "ss", as on Windows.
    mustCreate(*acc, RegRoot::LocalMachine, "Straße");
    tryOpen(*acc, RegRoot::LocalMachine, "STRASSE", RegAccess::Read, RegStatus::NotFound);
    tryOpen(*acc, RegRoot::LocalMachine, "STRAßE", RegAccess::Read, RegStatus::Ok);
}

TEST_F(RegistryStoreTest, RootsAreSeparateAndOpenWithAnEmptyPath) {
    mustCreate(*acc, RegRoot::CurrentUser, "Software\\Only User");
    tryOpen(*acc, RegRoot::LocalMachine, "Software\\Only User", RegAccess::Read,
            RegStatus::NotFound);
    for (RegRoot root : {RegRoot::ClassesRoot, RegRoot::CurrentUser, RegRoot::LocalMachine,
                         RegRoot::Users, RegRoot::CurrentConfig}) {
        auto key = tryOpen(*acc, root, "", RegAccess::Full, RegStatus::Ok);
        ASSERT_TRUE(key);
        EXPECT_EQ(key->root(), root);
        EXPECT_EQ(key->path(), "");
        RegKeyInfo info;
        EXPECT_EQ(acc->queryInfo(*key, info), RegStatus::Ok);
    }
    tryOpen(*acc, static_cast<RegRoot>(99), "", RegAccess::Read, RegStatus::InvalidName);
}

TEST_F(RegistryStoreTest, SubkeysInCaseInsensitiveOrderValuesInCreationOrder) {
    auto key = mustCreate(*acc, RegRoot::CurrentUser, "Order");
    for (const char* name : {"beta", "Émile", "Alpha", "zeta", "9", "ärger", "10", "a", "Zulu"})
        mustCreate(*acc, RegRoot::CurrentUser, std::string("Order\\") + name);
    // Folded case in code point order: letters mix regardless of case, and
    // non-ASCII letters come after z.
    EXPECT_EQ(subkeyNames(*acc, *key),
              (Strings{"10", "9", "a", "Alpha", "beta", "zeta", "Zulu", "ärger", "Émile"}));

    for (const char* name : {"second", "First", "", "third"})
        ASSERT_EQ(acc->setValue(*key, name, kRegSz, name), RegStatus::Ok);
#ifdef _WIN32
    // Wine lists values by name (Windows itself in creation order, untried here).
    EXPECT_EQ(valueNames(*acc, *key), (Strings{"", "First", "second", "third"}));
    const size_t first = 1, last = 2;
#else
    EXPECT_EQ(valueNames(*acc, *key), (Strings{"second", "First", "", "third"}));
    const size_t first = 0, last = 3;
#endif

    // Replacing keeps the place; deleting and setting again moves to the end.
    ASSERT_EQ(acc->setValue(*key, "FIRST", kRegDword, std::string("\x05\0\0\0", 4)), RegStatus::Ok);
    ASSERT_EQ(acc->deleteValue(*key, "second"), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*key, "Second", kRegSz, "again"), RegStatus::Ok);
    auto listed = values(*acc, *key);
    ASSERT_EQ(listed.size(), 4u);
    EXPECT_EQ(listed[first].name, "First");
    EXPECT_EQ(listed[first].type, kRegDword);
    EXPECT_EQ(listed[first].data, std::string("\x05\0\0\0", 4));
    EXPECT_EQ(listed[last].name, "Second");
    EXPECT_EQ(acc->deleteValue(*key, "second"), RegStatus::Ok);
    EXPECT_EQ(acc->deleteValue(*key, "second"), RegStatus::NotFound);
}

// A subkey and the values asked of it as one line: "-" for a missing value.
std::string subkeyLine(const std::string& name, const std::vector<std::optional<RegValue>>& values) {
    std::string line = name + ":";
    for (const auto& value : values)
        line += value ? " " + value->name + "/" + std::to_string(value->type) + "/" + value->data
                      : std::string(" -");
    return line;
}

TEST_F(RegistryStoreTest, SubkeyValuesReadAtOnceAsKeyByKey) {
    // The store's own reading, and (off Windows) the general one that the
    // merged classes view falls back on.
    std::vector<RegRoot> roots{RegRoot::CurrentUser};
#ifndef _WIN32
    roots.push_back(RegRoot::ClassesRoot);
#endif
    Strings many;
    for (int i = 0; i < 40; ++i)
        many.push_back("v" + std::to_string(i));
    for (RegRoot root : roots) {
        SCOPED_TRACE(rootShortName(root));
        auto parent = mustCreate(*acc, root, "Bulk");
        std::vector<SubkeyValues> rows{SubkeyValues{"stale", {}}};
        EXPECT_EQ(acc->readSubkeyValues(*parent, {"a"}, rows), RegStatus::Ok);
        EXPECT_TRUE(rows.empty());

        for (const char* sub : {"beta", "Alpha", "Émile", "Empty"})
            mustCreate(*acc, root, std::string("Bulk\\") + sub);
        auto set = [&](const char* sub, const char* name, uint32_t type, const std::string& data) {
            auto key = mustCreate(*acc, root, std::string("Bulk\\") + sub);
            ASSERT_EQ(acc->setValue(*key, name, type, data), RegStatus::Ok);
        };
        set("Alpha", "DisplayName", kRegSz, std::string("Alpha\0", 6));
        set("Alpha", "UninstallString", kRegExpandSz, "%u%");
        set("beta", "DISPLAYNAME", kRegDword, std::string("\1\0\0\0", 4));
        set("beta", "v39", kRegBinary, "");
        set("Émile", "", kRegSz, "default");
        set("Émile", "v3", kRegQword, std::string(8, '\xff'));

        for (const Strings& asked :
             {Strings{"displayname", "UninstallString", "", "Missing"}, many, Strings{}}) {
            ASSERT_EQ(acc->readSubkeyValues(*parent, asked, rows), RegStatus::Ok);
            Strings got, expected;
            for (const auto& row : rows)
                got.push_back(subkeyLine(row.name, row.values));
            for (const auto& name : subkeyNames(*acc, *parent)) {
                std::unique_ptr<RegKey> sub;
                ASSERT_EQ(acc->openSubKey(*parent, name, RegAccess::Read, sub), RegStatus::Ok);
                std::vector<std::optional<RegValue>> values;
                for (const auto& valueName : asked) {
                    RegValue value;
                    values.push_back(acc->queryValue(*sub, valueName, value) == RegStatus::Ok
                                         ? std::optional(value)
                                         : std::nullopt);
                }
                expected.push_back(subkeyLine(name, values));
            }
            EXPECT_EQ(got, expected);
            EXPECT_EQ(rows.size(), 4u);
        }
        EXPECT_EQ(acc->readSubkeyValues(*parent, {std::string("a\0b", 3)}, rows),
                  RegStatus::InvalidName);

        auto top = tryOpen(*acc, root, "", RegAccess::Full, RegStatus::Ok);
        for (const char* sub : {"beta", "Alpha", "Émile", "Empty"})
            ASSERT_EQ(acc->deleteKey(*top, std::string("Bulk\\") + sub), RegStatus::Ok);
        ASSERT_EQ(acc->deleteKey(*top, "Bulk"), RegStatus::Ok);
        EXPECT_EQ(acc->readSubkeyValues(*parent, {"a"}, rows), RegStatus::NotFound);
    }
}

TEST_F(RegistryStoreTest, QueryInfoCountsAndLongestNamesInBytes) {
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Info");
    RegKeyInfo info;
    ASSERT_EQ(acc->queryInfo(*key, info), RegStatus::Ok);
    EXPECT_EQ(info.subkeyCount, 0u);
    EXPECT_EQ(info.valueCount, 0u);
    EXPECT_EQ(info.maxSubkeyNameLength, 0u);
    EXPECT_EQ(info.maxValueNameLength, 0u);

    mustCreate(*acc, RegRoot::LocalMachine, "Info\\abc");
    mustCreate(*acc, RegRoot::LocalMachine, "Info\\Ärger");            // 5 letters, 6 bytes
    mustCreate(*acc, RegRoot::LocalMachine, "Info\\abc\\deeper key");  // not a direct subkey
    ASSERT_EQ(acc->setValue(*key, "", kRegSz, "default"), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*key, "seven77", kRegBinary, std::string(1000, 'x')), RegStatus::Ok);
    ASSERT_EQ(acc->queryInfo(*key, info), RegStatus::Ok);
    EXPECT_EQ(info.subkeyCount, 2u);
    EXPECT_EQ(info.maxSubkeyNameLength, 6u);
    EXPECT_EQ(info.valueCount, 2u);
    EXPECT_EQ(info.maxValueNameLength, 7u);
}

TEST_F(RegistryStoreTest, EnumerationReadsAfreshAtIndexZero) {
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Live");
    mustCreate(*acc, RegRoot::LocalMachine, "Live\\b");
    ASSERT_EQ(acc->setValue(*key, "one", kRegSz, "1"), RegStatus::Ok);
    std::string name;
    RegValue value;
    EXPECT_EQ(acc->enumKey(*key, 1, name), RegStatus::NotFound);
    EXPECT_EQ(acc->enumValue(*key, 1, value), RegStatus::NotFound);

    // Changes made through another accessor show from the next index 0 on.
    auto other = store->accessor();
    mustCreate(*other, RegRoot::LocalMachine, "Live\\a");
    auto otherKey = mustCreate(*other, RegRoot::LocalMachine, "Live");
    ASSERT_EQ(other->setValue(*otherKey, "two", kRegSz, "2"), RegStatus::Ok);
    EXPECT_EQ(subkeyNames(*acc, *key), (Strings{"a", "b"}));
    EXPECT_EQ(valueNames(*acc, *key), (Strings{"one", "two"}));

    // queryInfo reads the listings; the enumeration right after it uses them.
    RegKeyInfo info;
    ASSERT_EQ(acc->queryInfo(*key, info), RegStatus::Ok);
    ASSERT_EQ(other->deleteKey(*otherKey, "a"), RegStatus::Ok);
    ASSERT_EQ(acc->enumKey(*key, 0, name), RegStatus::Ok);
    EXPECT_EQ(name, "a");
    // Asked again from 0, the listing is current.
    EXPECT_EQ(subkeyNames(*acc, *key), Strings{"b"});
}

TEST_F(RegistryStoreTest, NameAndPathLimits) {
    const std::string longest(kMaxKeyNameLength, 'k');
    bool created = false;
    std::unique_ptr<RegKey> key;
    EXPECT_EQ(
        acc->createKey(RegRoot::LocalMachine, "Limits\\" + longest, RegAccess::Full, key, &created),
        RegStatus::Ok);
    for (const std::string& bad :
         {"Limits\\" + longest + "k", std::string("Limits\\\\Double"), std::string("\\Leading"),
          std::string("Limits\\\\"), std::string("\\"), std::string("Nul\0Inside", 10)}) {
        EXPECT_EQ(acc->createKey(RegRoot::LocalMachine, bad, RegAccess::Full, key),
                  RegStatus::InvalidName)
            << bad;
        EXPECT_EQ(acc->openKey(RegRoot::LocalMachine, bad, RegAccess::Read, key),
                  RegStatus::InvalidName)
            << bad;
    }
    // One trailing backslash is allowed (the settings key is written with one).
    ASSERT_EQ(acc->createKey(RegRoot::LocalMachine, "Limits\\Trailing\\", RegAccess::Full, key),
              RegStatus::Ok);
    EXPECT_EQ(key->path(), "Limits\\Trailing");
    tryOpen(*acc, RegRoot::LocalMachine, "Limits\\Trailing", RegAccess::Read, RegStatus::Ok);

    // Value names may hold backslashes and run to 16383 bytes.
    const std::string longValue(kMaxValueNameLength, 'v');
    EXPECT_EQ(acc->setValue(*key, longValue, kRegSz, "x"), RegStatus::Ok);
    EXPECT_EQ(acc->setValue(*key, "a\\b", kRegSz, "x"), RegStatus::Ok);
    EXPECT_EQ(acc->setValue(*key, longValue + "v", kRegSz, "x"), RegStatus::InvalidName);
    RegValue value;
    EXPECT_EQ(acc->queryValue(*key, longValue + "v", value), RegStatus::InvalidName);
    RegKeyInfo info;
    ASSERT_EQ(acc->queryInfo(*key, info), RegStatus::Ok);
    EXPECT_EQ(info.valueCount, 2u);
    EXPECT_EQ(info.maxValueNameLength, kMaxValueNameLength);
}

TEST_F(RegistryStoreTest, ValueDataIsKeptByteForByteWithAnyType) {
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Data");
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    const std::vector<RegValue> stored = {
        {"none", kRegNone, ""},
        {"sz", kRegSz, std::string("text\0", 5)},
        {"expand", kRegExpandSz, std::string("%PATH%\0", 7)},
        {"binary", kRegBinary, bytes},
        {"dword", kRegDword, std::string("\xff\xff\xff\xff", 4)},
        {"multi", kRegMultiSz, std::string("a\0b\0\0", 5)},
        {"qword", kRegQword, std::string("\x01\0\0\0\0\0\0\x80", 8)},
        {"odd type", 0x12345, "\xc3\x28 not UTF-8"},
        {"empty sz", kRegSz, ""},
    };
    for (const auto& v : stored)
        ASSERT_EQ(acc->setValue(*key, v.name, v.type, v.data), RegStatus::Ok);

    auto fresh = store->accessor();
    auto again = tryOpen(*fresh, RegRoot::LocalMachine, "Data", RegAccess::Read, RegStatus::Ok);
    auto listed = values(*fresh, *again);
    ASSERT_EQ(listed.size(), stored.size());
#ifdef _WIN32
    // Wine lists values by name: compare them in the order they were stored.
    std::vector<RegValue> inOrder;
    for (const auto& v : stored)
        for (const auto& l : listed)
            if (l.name == v.name)
                inOrder.push_back(l);
    ASSERT_EQ(inOrder.size(), stored.size());
    listed = inOrder;
#endif
    for (size_t i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(listed[i].name, stored[i].name);
        EXPECT_EQ(listed[i].type, stored[i].type) << stored[i].name;
        EXPECT_EQ(listed[i].data, stored[i].data) << stored[i].name;
        RegValue queried;
        ASSERT_EQ(fresh->queryValue(*again, stored[i].name, queried), RegStatus::Ok);
        EXPECT_EQ(queried.type, stored[i].type);
        EXPECT_EQ(queried.data, stored[i].data);
    }
    RegValue missing;
    EXPECT_EQ(fresh->queryValue(*again, "no such value", missing), RegStatus::NotFound);
}

TEST_F(RegistryStoreTest, DeleteKeyRules) {
    auto top = mustCreate(*acc, RegRoot::LocalMachine, "Del");
    auto child = mustCreate(*acc, RegRoot::LocalMachine, "Del\\Child");
    mustCreate(*acc, RegRoot::LocalMachine, "Del\\Child\\Grandchild");
    ASSERT_EQ(acc->setValue(*child, "v", kRegSz, "gone with the key"), RegStatus::Ok);

    EXPECT_EQ(acc->deleteKey(*top, "Child"), RegStatus::HasSubkeys);
    EXPECT_EQ(acc->deleteKey(*top, "child\\GRANDCHILD"), RegStatus::Ok);
    EXPECT_EQ(acc->deleteKey(*top, "Child\\Grandchild"), RegStatus::NotFound);
    EXPECT_EQ(acc->deleteKey(*top, "Child\\\\x"), RegStatus::InvalidName);
    EXPECT_EQ(acc->deleteKey(*top, "CHILD"), RegStatus::Ok);
    EXPECT_EQ(subkeyNames(*acc, *top), Strings{});

    // The values went with the key: a new key of that name starts empty.
    auto reborn = mustCreate(*acc, RegRoot::LocalMachine, "Del\\Child");
    EXPECT_EQ(valueNames(*acc, *reborn), Strings{});

    // An empty sub-path deletes the key itself; the roots cannot be deleted.
    EXPECT_EQ(acc->deleteKey(*reborn, ""), RegStatus::Ok);
    tryOpen(*acc, RegRoot::LocalMachine, "Del\\Child", RegAccess::Read, RegStatus::NotFound);
    auto root = tryOpen(*acc, RegRoot::LocalMachine, "", RegAccess::Full, RegStatus::Ok);
    EXPECT_EQ(acc->deleteKey(*root, ""), RegStatus::AccessDenied);
    EXPECT_EQ(acc->deleteKey(*root, "Del"), RegStatus::Ok);
}

TEST_F(RegistryStoreTest, HandlesOfDeletedKeysGiveNotFound) {
    auto key = mustCreate(*acc, RegRoot::CurrentUser, "Doomed");
    ASSERT_EQ(acc->setValue(*key, "v", kRegSz, "x"), RegStatus::Ok);
    auto other = store->accessor();
    auto root = tryOpen(*other, RegRoot::CurrentUser, "", RegAccess::Full, RegStatus::Ok);
    ASSERT_EQ(other->deleteKey(*root, "Doomed"), RegStatus::Ok);
    // The same name made again is another key: the old handle must not reach it.
    auto successor = mustCreate(*other, RegRoot::CurrentUser, "Doomed");
    ASSERT_EQ(other->setValue(*successor, "v", kRegSz, "new"), RegStatus::Ok);

    RegKeyInfo info;
    RegValue value;
    std::string name;
    std::unique_ptr<RegKey> sub;
    EXPECT_EQ(acc->queryInfo(*key, info), RegStatus::NotFound);
    EXPECT_EQ(acc->enumKey(*key, 0, name), RegStatus::NotFound);
    EXPECT_EQ(acc->enumValue(*key, 0, value), RegStatus::NotFound);
    EXPECT_EQ(acc->queryValue(*key, "v", value), RegStatus::NotFound);
    EXPECT_EQ(acc->setValue(*key, "w", kRegSz, "x"), RegStatus::NotFound);
    EXPECT_EQ(acc->deleteValue(*key, "v"), RegStatus::NotFound);
    EXPECT_EQ(acc->createKey(RegRoot::CurrentUser, "Doomed", RegAccess::Full, sub), RegStatus::Ok);
    EXPECT_EQ(valueNames(*acc, *sub), Strings{"v"});
    EXPECT_EQ(acc->queryValue(*sub, "v", value), RegStatus::Ok);
    EXPECT_EQ(value.data, "new");
}

TEST_F(RegistryStoreTest, KeysOpenedForReadingCannotWrite) {
    mustCreate(*acc, RegRoot::LocalMachine, "ReadOnly");
    auto key = tryOpen(*acc, RegRoot::LocalMachine, "ReadOnly", RegAccess::Read, RegStatus::Ok);
    EXPECT_EQ(acc->setValue(*key, "v", kRegSz, "x"), RegStatus::AccessDenied);
    EXPECT_EQ(acc->deleteValue(*key, "v"), RegStatus::AccessDenied);
}

TEST_F(RegistryStoreTest, SubKeysOpenRelativeToAKey) {
    mustCreate(*acc, RegRoot::LocalMachine, "Rel\\Inner\\Deep");
    auto rel = tryOpen(*acc, RegRoot::LocalMachine, "rel", RegAccess::Read, RegStatus::Ok);
    std::unique_ptr<RegKey> deep;
    ASSERT_EQ(acc->openSubKey(*rel, "INNER\\deep", RegAccess::Full, deep), RegStatus::Ok);
    EXPECT_EQ(deep->path(), "rel\\INNER\\deep");
    EXPECT_EQ(acc->setValue(*deep, "v", kRegSz, "x"), RegStatus::Ok);
    EXPECT_EQ(acc->openSubKey(*rel, "Missing", RegAccess::Read, deep), RegStatus::NotFound);
    EXPECT_EQ(acc->openSubKey(*rel, "\\Inner", RegAccess::Read, deep), RegStatus::InvalidName);
    auto root = tryOpen(*acc, RegRoot::LocalMachine, "", RegAccess::Read, RegStatus::Ok);
    ASSERT_EQ(acc->openSubKey(*root, "Rel\\Inner", RegAccess::Read, deep), RegStatus::Ok);
    EXPECT_EQ(deep->path(), "Rel\\Inner");

    // A handle of another store is refused, not misread.
    TempDir elsewhere;
    auto foreignStore = openRegistryStore(elsewhere.str());
    auto foreignAccessor = foreignStore->accessor();
    auto foreignKey = mustCreate(*foreignAccessor, RegRoot::LocalMachine, "Rel");
    RegKeyInfo info;
    EXPECT_EQ(acc->queryInfo(*foreignKey, info), RegStatus::InvalidName);
}

TEST_F(RegistryStoreTest, RollbackLeavesTheStoreExactlyAsBefore) {
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Software\\Kept");
    ASSERT_EQ(acc->setValue(*key, "a", kRegSz, "1"), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*key, "b", kRegSz, "2"), RegStatus::Ok);
    mustCreate(*acc, RegRoot::CurrentUser, "Software\\Mine");
    const std::string machineBefore = dumpRoot(*acc, RegRoot::LocalMachine);
    const std::string userBefore = dumpRoot(*acc, RegRoot::CurrentUser);

    acc->beginTransaction();
    auto added = mustCreate(*acc, RegRoot::LocalMachine, "Software\\Kept\\New\\Deeper");
    ASSERT_EQ(acc->setValue(*added, "x", kRegDword, "1234"), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*key, "a", kRegBinary, "changed"), RegStatus::Ok);
    ASSERT_EQ(acc->deleteValue(*key, "b"), RegStatus::Ok);
    auto user = tryOpen(*acc, RegRoot::CurrentUser, "", RegAccess::Full, RegStatus::Ok);
    ASSERT_EQ(acc->deleteKey(*user, "Software\\Mine"), RegStatus::Ok);
    // A failing operation inside the group does not end it.
    EXPECT_EQ(acc->deleteKey(*user, "Software"), RegStatus::Ok);
    EXPECT_EQ(acc->deleteKey(*user, "Software"), RegStatus::NotFound);

    // Nothing is committed yet: another accessor still sees the old store.
    // (Windows' registry has no transactions: there others see the changes at once.)
    auto other = store->accessor();
#ifndef _WIN32
    EXPECT_EQ(dumpRoot(*other, RegRoot::LocalMachine), machineBefore);
    EXPECT_EQ(dumpRoot(*other, RegRoot::CurrentUser), userBefore);
#endif

    acc->rollback();
    EXPECT_EQ(dumpRoot(*acc, RegRoot::LocalMachine), machineBefore);
    EXPECT_EQ(dumpRoot(*acc, RegRoot::CurrentUser), userBefore);
    EXPECT_EQ(dumpRoot(*other, RegRoot::LocalMachine), machineBefore);
}

TEST_F(RegistryStoreTest, CommitMakesTheGroupVisibleAtOnce) {
    acc->beginTransaction();
    EXPECT_THROW(acc->beginTransaction(), std::logic_error);
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Imported\\Key");
    ASSERT_EQ(acc->setValue(*key, "v", kRegSz, "imported"), RegStatus::Ok);
    mustCreate(*acc, RegRoot::CurrentUser, "Imported too");
    auto other = store->accessor();
#ifndef _WIN32
    tryOpen(*other, RegRoot::LocalMachine, "Imported\\Key", RegAccess::Read, RegStatus::NotFound);
#endif
    acc->commit();
    auto seen =
        tryOpen(*other, RegRoot::LocalMachine, "Imported\\Key", RegAccess::Read, RegStatus::Ok);
    RegValue value;
    ASSERT_EQ(other->queryValue(*seen, "v", value), RegStatus::Ok);
    EXPECT_EQ(value.data, "imported");
    tryOpen(*other, RegRoot::CurrentUser, "Imported too", RegAccess::Read, RegStatus::Ok);

    // Changes after the commit commit on their own again.
    ASSERT_EQ(acc->setValue(*key, "after", kRegSz, "x"), RegStatus::Ok);
#ifdef _WIN32
    EXPECT_EQ(valueNames(*other, *seen), (Strings{"after", "v"}));  // by name under Wine
#else
    EXPECT_EQ(valueNames(*other, *seen), (Strings{"v", "after"}));
#endif

    // An accessor dropped in the middle of a group keeps nothing of it.
    {
        auto dropped = store->accessor();
        dropped->beginTransaction();
        mustCreate(*dropped, RegRoot::LocalMachine, "Abandoned");
    }
    tryOpen(*other, RegRoot::LocalMachine, "Abandoned", RegAccess::Read, RegStatus::NotFound);
}

namespace {

// A walk as text; nothing below a key named "Skip" is gone into.
struct WalkRecord final : RegWalkVisitor {
    std::string text;
    void key(std::string_view path, RegStatus status, bool link) override {
        text += "key " + std::string(path) + " " + std::to_string(static_cast<int>(status)) +
                (link ? " link\n" : "\n");
    }
    void value(std::string_view name, uint32_t type, std::string_view data) override {
        text += "value " + std::string(name) + " " + std::to_string(type) + " " +
                std::string(data) + "\n";
    }
    bool wantSubkey(std::string_view path, std::string_view name) override {
        text += "subkey " + std::string(path) + " | " + std::string(name) + "\n";
        return name != "Skip";
    }
    void listingFailed(RegStatus status) override {
        text += "failed " + std::to_string(static_cast<int>(status)) + "\n";
    }
};

}  // namespace

// However a store walks, it reports what the key-by-key calls give.
TEST_F(RegistryStoreTest, WalkReportsWhatTheKeyByKeyCallsGive) {
    for (const char* path : {"Software\\b", "Software\\A\\x", "Software\\a b\\y\\z",
                             "Software\\Skip\\Below", "Software\\Ärger", "Software\\!x\\.y",
                             "Software\\Classes\\.txt"})
        mustCreate(*acc, RegRoot::LocalMachine, path);
    mustCreate(*acc, RegRoot::CurrentUser, "Software\\Classes\\.mine");
    auto key = mustCreate(*acc, RegRoot::LocalMachine, "Software\\A");
    ASSERT_EQ(acc->setValue(*key, "z", kRegSz, std::string("last\0", 5)), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*key, "", kRegDword, "\x01\0\0\0"), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*key, "Bin", kRegBinary, std::string("\0\x01", 2)), RegStatus::Ok);
    ASSERT_EQ(acc->setValue(*key, "Z", kRegExpandSz, "again"), RegStatus::Ok);  // keeps its place
    key = mustCreate(*acc, RegRoot::LocalMachine, "Software\\a b\\y\\z");
    ASSERT_EQ(acc->setValue(*key, "deep", kRegSz, "v"), RegStatus::Ok);

    const struct {
        RegRoot root;
        const char* path;
    } starts[] = {{RegRoot::LocalMachine, ""},       {RegRoot::LocalMachine, "software"},
                  {RegRoot::LocalMachine, "Software\\A"}, {RegRoot::CurrentUser, ""},
                  {RegRoot::ClassesRoot, ""},        {RegRoot::CurrentConfig, ""}};
    for (const auto& start : starts) {
        auto from = tryOpen(*acc, start.root, start.path, RegAccess::Read, RegStatus::Ok);
        ASSERT_TRUE(from) << start.path;
        WalkRecord walked, byKey;
        acc->walk(*from, walked);
        acc->RegistryAccessor::walk(*from, byKey);
        EXPECT_EQ(walked.text, byKey.text) << start.path;
        EXPECT_EQ(walked.text.find("Below"), std::string::npos) << start.path;
    }
}
