// The tool writing one Wine prefix's registry files from several processes at
// once, and killed in the middle of a change of two files: every change that
// was reported lands, and none is ever left half made.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <thread>

#include "platform/wine/WineRegistryFile.h"
#include "support/RunProgram.h"
#include "support/TempDir.h"

extern char** environ;

namespace vornak::test {
namespace {

namespace fs = std::filesystem;

const char* const kRegFiles[] = {"system.reg", "user.reg", "userdef.reg"};

// A prefix's files as Wine writes them, with `fillerKeys` keys of bulk in
// system.reg and user.reg, so that writing them takes a while.
void makePrefix(const TempDir& tmp, int fillerKeys) {
    for (const char* f : kRegFiles) {
        std::string text =
            "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n"
            "#arch=win64\n\n[Software] 1796702855\n#time=1dd86c9a7b20616\n";
        if (std::string(f) != "userdef.reg")
            for (int i = 0; i < fillerKeys; ++i)
                text += "\n[Software\\\\Filler\\\\Key" + std::to_string(i) +
                        "] 1796702855\n#time=1dd86c9a7b20616\n\"Value\"=\"some text of key " +
                        std::to_string(i) + "\"\n";
        tmp.write(std::string("pfx/") + f, text);
    }
}

class PrefixWriteTest : public ::testing::Test {
  protected:
    std::map<std::string, std::string> env() const {
        return {{"VORNAK_WINEPREFIX", prefix},
                {"VORNAK_REGISTRY_DIR", tmp.str() + "/settings"},
                {"XDG_DATA_HOME", tmp.str() + "/data"}};
    }

    ProgramResult reg(std::vector<std::string> args) const {
        args.insert(args.begin(), "reg");
        return runProgram(VORNAK_EXE, args, env());
    }

    // A string value as the file holds it, or "-" when there is none.
    std::string stored(const std::string& file, const std::vector<std::string>& key,
                       const std::string& name) const {
        std::string why;
        auto model = platform::posix::WineRegistryFile::parse(tmp.read("pfx/" + file), why);
        EXPECT_TRUE(model) << file << ": " << why;
        platform::posix::WineSection scratch;
        const platform::posix::WineSection* section = nullptr;
        if (auto* k = model ? model->find(key) : nullptr) section = model->view(*k, scratch, why);
        if (section)
            for (const auto& v : section->values)
                if (v.name == name)
                    return v.data.substr(0, v.data.find('\0'));
        return "-";
    }

    // Files a writer left in the prefix besides the registry and the lock.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(prefix)) {
            const std::string name = e.path().filename().string();
            if (name != "system.reg" && name != "user.reg" && name != "userdef.reg" &&
                name != ".vornak-registry.lock")
                out.push_back(name);
        }
        return out;
    }

    // An import of both files' halves, each marked with `round`.
    std::string pairFile(const std::string& name, const std::string& round) const {
        const std::string text =
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Pair]\r\n\"round\"=\"" +
            round + "\"\r\n\"" + round +
            "\"=\"machine\"\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\Pair]\r\n\"round\"=\"" +
            round + "\"\r\n\"" + round + "\"=\"user\"\r\n";
        return tmp.write(name, text).string();
    }

    pid_t spawnImport(const std::string& file, const std::string& stopAt = {}) const {
        // The test's own settings replace any the test was started with.
        const auto own = env();
        std::vector<std::string> vars;
        for (char** e = environ; *e; ++e) {
            const std::string_view var = *e;
            if (!own.count(std::string(var.substr(0, var.find('=')))) && !var.starts_with("VORNAK_TEST_STOP_AT="))
                vars.emplace_back(var);
        }
        for (const auto& [k, v] : own)
            vars.push_back(k + "=" + v);
        if (!stopAt.empty())
            vars.push_back("VORNAK_TEST_STOP_AT=" + stopAt);
        std::vector<char*> envp;
        for (auto& s : vars)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        std::vector<std::string> args{VORNAK_EXE, "reg", "import", file};
        std::vector<char*> argv;
        for (auto& s : args)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        if (posix_spawn(&pid, VORNAK_EXE, &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    // The round that a file's half of the pair holds, with its marker value,
    // read straight from the file; "-" for none.
    std::string storedRound(const std::string& file, const std::string& marker) const {
        std::string why;
        auto model = platform::posix::WineRegistryFile::parse(tmp.read("pfx/" + file), why);
        EXPECT_TRUE(model) << file << ": " << why;
        auto* key = model ? model->find({"Software", "Pair"}) : nullptr;
        if (!key)
            return "-";
        std::map<std::string, std::string> values;
        platform::posix::WineSection scratch;
        const auto* section = model->view(*key, scratch, why);
        if (!section)
            return "-";
        for (const auto& v : section->values)
            values[v.name] = v.data.substr(0, v.data.find('\0'));
        EXPECT_EQ(values[values["round"]], marker) << file;
        return values["round"];
    }

    // After the next use of the prefix (a reader, which finishes a change
    // that a killed writer had decided on), both files hold the same round.
    std::string roundAfterNextUse(const std::string& context) const {
        reg({"query", "HKLM\\Software"});
        const std::string machine = storedRound("system.reg", "machine");
        EXPECT_EQ(storedRound("user.reg", "user"), machine) << context;
        EXPECT_FALSE(fs::exists(prefix + "/.vornak-registry.commit")) << context;
        return machine;
    }

    TempDir tmp;
    std::string prefix = tmp.str() + "/pfx";
};

TEST_F(PrefixWriteTest, ConcurrentWritersAllLand) {
    makePrefix(tmp, 2000);
    // Four writers at once: three adding values to keys of system.reg, one to
    // user.reg, each a process per value.
    constexpr int kWriters = 4, kAdds = 15;
    const char* keys[kWriters] = {"HKLM\\Software\\ConcA", "HKLM\\Software\\ConcB",
                                  "HKLM\\Software\\ConcC", "HKCU\\Software\\ConcD"};
    const char* files[kWriters] = {"system.reg", "system.reg", "system.reg", "user.reg"};
    int failures[kWriters] = {};
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] {
            for (int i = 0; i < kAdds; ++i)
                if (reg({"add", keys[w], "/v", "V" + std::to_string(i), "/d", "x", "/f"})
                        .exitCode != 0)
                    ++failures[w];
        });
    for (auto& t : writers)
        t.join();
    for (int w = 0; w < kWriters; ++w) {
        EXPECT_EQ(failures[w], 0) << keys[w];
        for (int i = 0; i < kAdds; ++i)
            EXPECT_EQ(stored(files[w], {"Software", std::string(keys[w]).substr(14)},
                             "V" + std::to_string(i)),
                      "x")
                << keys[w] << " V" << i;
    }
    EXPECT_EQ(leftovers(), std::vector<std::string>{});

    // Two imports of both files at once, again and again: each lands whole,
    // the later one over the earlier in both files.
    for (int round = 0; round < 8; ++round) {
        const std::string a = pairFile("a.reg", "A" + std::to_string(round));
        const std::string b = pairFile("b.reg", "B" + std::to_string(round));
        ProgramResult ra, rb;
        std::thread ta([&] { ra = reg({"import", a}); });
        std::thread tb([&] { rb = reg({"import", b}); });
        ta.join();
        tb.join();
        EXPECT_EQ(ra.exitCode, 0) << ra.err;
        EXPECT_EQ(rb.exitCode, 0) << rb.err;
        const std::string last = roundAfterNextUse("round " + std::to_string(round));
        EXPECT_TRUE(last == "A" + std::to_string(round) || last == "B" + std::to_string(round))
            << last;
        // The one that was overwritten left its own marker value in both.
        for (const char* who : {"A", "B"}) {
            const std::string mark = who + std::to_string(round);
            EXPECT_EQ(stored("system.reg", {"Software", "Pair"}, mark), "machine") << mark;
            EXPECT_EQ(stored("user.reg", {"Software", "Pair"}, mark), "user") << mark;
        }
    }
}

TEST_F(PrefixWriteTest, AWriterKilledAnywhereLeavesAllOrNothingAfterTheNextUse) {
    makePrefix(tmp, 8000);
    ASSERT_EQ(reg({"import", pairFile("start.reg", "start")}).exitCode, 0);
    int round = 0;

    // At the points of the commit itself, where a kill would split it.
    for (const char* point :
         {"prefix-new-files-written", "prefix-record-written", "prefix-between-renames"}) {
        for (int again = 0; again < 2; ++again) {
            const std::string mark = "R" + std::to_string(++round);
            const pid_t pid = spawnImport(pairFile("r.reg", mark), point);
            ASSERT_GT(pid, 0);
            int status = 0;
            waitpid(pid, &status, WUNTRACED);
            ASSERT_TRUE(WIFSTOPPED(status)) << point;
            // Wine can read every file while the writer stands there.
            for (const char* f : kRegFiles) {
                std::string why;
                EXPECT_TRUE(platform::posix::WineRegistryFile::parse(
                    tmp.read(std::string("pfx/") + f), why))
                    << point << " " << f << ": " << why;
            }
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            const std::string found = roundAfterNextUse(point);
            // Once the record is made the change is decided and completed.
            EXPECT_EQ(found == mark, std::string(point) != "prefix-new-files-written")
                << point << " " << found;
        }
    }

    // Anywhere: killed after a random time within an import's length.
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_EQ(reg({"import", pairFile("r.reg", "R" + std::to_string(++round))}).exitCode, 0);
    const auto length = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - begin);
    std::mt19937 random(12345);
    std::uniform_int_distribution<int64_t> after(0, length.count());
    int killedRunning = 0, landed = 0;
    constexpr int kKills = 30;
    for (int k = 0; k < kKills; ++k) {
        const std::string mark = "R" + std::to_string(++round);
        const pid_t pid = spawnImport(pairFile("r.reg", mark));
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(after(random)));
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == 0)
            ++killedRunning;
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        if (roundAfterNextUse("kill " + std::to_string(k)) == mark)
            ++landed;
    }
    std::cout << "[ measured ] " << kKills << " imports of " << length.count() / 1000
              << " ms killed at random, " << killedRunning << " while running; " << landed
              << " landed whole, the others not at all\n";
    EXPECT_GT(killedRunning, kKills / 3);
    // The next writer clears away what the killed ones left.
    EXPECT_EQ(reg({"add", "HKLM\\Software\\After", "/f"}).exitCode, 0);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

}  // namespace
}  // namespace vornak::test
