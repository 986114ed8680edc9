// `vornak list` run as a program against the same store and drive as the
// inventory logic in this process: the two must agree row for row.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "inventory/InventoryTestSupport.h"
#include "registry/RegFileText.h"
#include "registry/RegistryAccess.h"
#include "support/RunProgram.h"

using namespace vornak;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out;
};

class ListCommandTest : public test::InventoryFixture {
  protected:
    void SetUp() override {
        InventoryFixture::SetUp();
        // The tool reads hidden.dat beside itself, so it runs from the test's program folder.
        tool = programHost + "/vornak";
        std::filesystem::copy_file(VORNAK_TOOL, tool);
        const std::string live = uninstaller("Program Files/Acme/uninstall.exe");
        registration("LM", "Acme", "Acme Editor", "\"" + live + "\" /S");
        registration("LM", "Gone", "Gone Player", "C:\\Program Files\\Gone\\uninst.exe");
        registration("CU", "{5A1E-0001}", "", "MsiExec.exe /X{5A1E-0001}");
        registration("CU", "Bonzi", "BonziBuddy 4", "C:\\bonzi\\remove.exe");
        registration("LM", "Tabs", "Tabbed\tName", live);
        // A crafted name that, printed as it is, would add a row of its own.
        registration("LM", "Forged", "Real\nok\tLM\tFake\tFake Row\tC:\\x.exe", live);
    }

    RunResult run(const std::string& args) {
        std::vector<std::string> words;
        std::istringstream in(args);
        for (std::string w; in >> w;)
            words.push_back(w);
        const auto r = test::runProgram(
            tool,
            [&] {
                words.insert(words.begin(), "list");
                return words;
            }(),
            {{"VORNAK_REGISTRY_DIR", tmp.str() + "/registry"}, {"VORNAK_DRIVES", "C=" + driveC}});
        return RunResult{r.exitCode, r.out + r.err};
    }

    // What the logic shows, in the tool's line format.
    static std::string lines(const EntryList& rows) {
        std::ostringstream out;
        for (const auto& r : rows)
            out << (r.statusImage ? "dead" : "ok") << '\t' << r.rootCode << '\t' << r.keyPath
                << '\t' << registry::lineSafe(r.caption, true) << '\t' << r.uninstallCommand
                << '\n';
        return out.str();
    }

    std::string tool;
};

}  // namespace

TEST_F(ListCommandTest, AgreesWithTheInventory) {
    Inventory inv(&view);
    inv.RefreshInventory();
    inv.startHiddenFilter();
    const RunResult r = run("");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, lines(inv.visible()));
    const std::string key = std::string(kUninstallKeyPath) + "\\";
    EXPECT_NE(r.out.find("dead\tLM\t" + key + "Gone\tGone Player\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ok\tCU\t" + key + "{5A1E-0001}\t{5A1E-0001} ***\tMsiExec.exe"),
              std::string::npos);
    // One row per entry, five fields each, whatever the names hold.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 6) << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\t'), 6 * 4) << r.out;
    EXPECT_NE(r.out.find("\tTabbed^IName\t"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tReal^Jok^ILM^IFake^IFake Row^IC:\\x.exe\t"), std::string::npos);
}

TEST_F(ListCommandTest, FiltersLikeTheWindow) {
    Inventory inv(&view);
    inv.RefreshInventory();
    inv.startHiddenFilter();
    inv.setFilterText("o");
    inv.kundoedelinksClick();
    EXPECT_EQ(run("--filter o --dead").out, lines(inv.visible()));
    EXPECT_EQ(run("--crap").out.substr(0, 5), "dead\t");
    EXPECT_EQ(run("--dead --crap").out, "dead\tCU\t" + std::string(kUninstallKeyPath) +
                                            "\\Bonzi\tBonziBuddy 4\tC:\\bonzi\\remove.exe\n");
    EXPECT_EQ(run("--filter nothing-matches --dead").out, "");
    const RunResult bad = run("--bogus");
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("--bogus"), std::string::npos);
}

TEST_F(ListCommandTest, HiddenListAppliedUnlessShowHidden) {
    tmp.write("drive c/Program Files/Vornak/hidden.dat", "Acme Editor\r\n");
    EXPECT_EQ(run("").out.find("Acme Editor"), std::string::npos);
    EXPECT_NE(run("--show-hidden").out.find("Acme Editor"), std::string::npos);
    WriteRegBool("LM", kSettingsKeyPath, "hidehidden", false);
    EXPECT_NE(run("").out.find("Acme Editor"), std::string::npos) << "hidehidden 0: filter off";
}

namespace {

// A damaged store file is not a question of rights: the message names the file.
TEST_F(ListCommandTest, DamagedStoreIsNamedNotTakenForMissingRights) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: the SQLite store files";
#else
    const std::string dir = tmp.str() + "/damaged registry";
    std::filesystem::create_directories(dir);
    FILE* f = std::fopen((dir + "/machine.db").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs(std::string(4096, 'x').c_str(), f);
    std::fclose(f);
    const std::string cmd =
        "env VORNAK_REGISTRY_DIR='" + dir + "' '" + tool + "' list </dev/null 2>&1";
    FILE* pipe = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), pipe)) > 0)
        out.append(buf, n);
    EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 1);
    EXPECT_NE(out.find("machine.db"), std::string::npos) << out;
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
#endif
}

}  // namespace

TEST(RunScript, WithoutADisplayItSaysWhatToDoInOneLine) {
#ifdef _WIN32
    GTEST_SKIP() << "POSIX only: the run script is a shell script for X11 and Wayland";
#endif
    const auto r = test::runProgram("/usr/bin/env",
                                    {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u",
                                     "QT_QPA_PLATFORM", "LC_ALL=C", VORNAK_RUN_SCRIPT},
                                    {});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("DISPLAY"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("vornak list"), std::string::npos) << r.err;
}

// An empty registry is no failure: stdout stays empty for scripts, and the
// person at the terminal reads on stderr what the list shows and how to fill it.
TEST_F(ListCommandTest, EmptyRegistrySaysWhyOnStderrOnly) {
    std::filesystem::copy(VORNAK_SOURCE_LANG_DIR, programHost + "/lang");
    const std::string empty = tmp.str() + "/empty registry";
    std::map<std::string, std::string> env{{"VORNAK_REGISTRY_DIR", empty},
                                           {"VORNAK_DRIVES", "C=" + driveC}};
    auto run = [&] { return test::runProgram(tool, {"list"}, env); };
#ifdef _WIN32
    // Under Wine, HOME and WINEPREFIX would lead the tool into another prefix.
    const auto r = run();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(messageText(Msg::msgEmptyRegistry), 0), 0u) << r.err;
#else
    const std::string home = tmp.str() + "/home";
    env.insert({{"HOME", home}, {"XDG_DATA_HOME", home + "/.local/share"}, {"WINEPREFIX", ""}});
    // No prefix, then one, then two, where Wine users keep them.
    const std::string prefixes[] = {home + "/.wine", home + "/Games/Game 2"};
    const std::string choose = "vornak list --prefix FOLDER";
    const std::vector<std::string> expected[] = {
        {messageText(Msg::msgNoPrefixFound)},
        {messageText(Msg::fmtPrefixFoundOne, {prefixes[0], choose})},
        {messageText(Msg::fmtPrefixesFound, {int64_t{2}, choose})},
    };
    for (int found = 0; found <= 2; ++found) {
        if (found > 0)
            tmp.write(prefixes[found - 1].substr(tmp.str().size() + 1) + "/system.reg", "");
        const auto r = run();
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind(messageText(Msg::fmtEmptyOwnStore, {empty}), 0), 0u) << r.err;
        for (const std::string& part : expected[found])
            EXPECT_NE(r.err.find(part), std::string::npos) << found << ": " << r.err;
        EXPECT_NE(r.err.find(messageText(Msg::fmtExampleHint,
                                         {programHost + "/vornak-uninstaller --example"})),
                  std::string::npos)
            << r.err;
    }
    // A filter leaves the list empty, not the registry: nothing to explain.
    env["VORNAK_REGISTRY_DIR"] = tmp.str() + "/registry";
    const auto filtered = test::runProgram(tool, {"list", "--filter", "nothing-matches"}, env);
    EXPECT_EQ(filtered.exitCode, 0);
    EXPECT_EQ(filtered.out + filtered.err, "");
#endif
}
