// Benchmarks of the installation analyser, each against a reference over the
// same data in the same run:
//   files     file snapshot of a generated tree  vs  find TREE | LC_ALL=C sort -u
//   compare   two complete snapshot runs of that tree, 1% of its files renamed
//             between them  vs  LC_ALL=C comm -3 on C-sorted copies of the file
//             snapshots; "linearity" also with snapshots up to 3,000,000 lines
//   registry  walk of 200,000 keys, 1,000,000 values  vs  one SQL query over the same rows
// Measured work runs in a child process (this program started again), so its
// peak memory is its own; the driver itself stays small, since a child's peak
// also counts what the driver held when it started the child. Data is generated once into the work
// folder (default /tmp/vornak-bench, or $VORNAK_BENCH_DIR) and reused.
#include <malloc.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/AnalysisFiles.h"
#include "analysis/CollatedOrder.h"
#include "analysis/CompareThread.h"
#include "analysis/FileDumpThread.h"
#include "analysis/RegDumpThread.h"
#include "analysis/SnapshotRun.h"
#include "analysis/SnapshotSeal.h"
#include "analysis/SnapshotWriter.h"
#include "analysis/TextLines.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace vornak;
using namespace vornak::analysis;

namespace {

constexpr int kRounds = 3;

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    int status = 0;
};

Run spawnAndWait(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        std::cerr << "cannot start " << argv[0] << "\n";
        std::exit(2);
    }
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    run.status = status;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::cerr << argv[0] << " " << (argv.size() > 1 ? argv[1] : "") << " failed\n";
        std::exit(2);
    }
    return run;
}

Run shell(const std::string& command) {
    return spawnAndWait({"/bin/sh", "-c", command});
}
Run self(const std::vector<std::string>& args) {
    std::vector<std::string> argv{"/proc/self/exe"};
    argv.insert(argv.end(), args.begin(), args.end());
    return spawnAndWait(argv);
}

std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void report(const char* what, const std::vector<Run>& ours, const std::vector<Run>& reference,
            double target) {
    std::vector<double> a, b;
    long peakA = 0, peakB = 0;
    for (const auto& r : ours)
        a.push_back(r.seconds), peakA = std::max(peakA, r.peakKiB);
    for (const auto& r : reference)
        b.push_back(r.seconds), peakB = std::max(peakB, r.peakKiB);
    const double ratio = median(a) / median(b);
    std::printf(
        "%-9s ours %.3f s (peak %ld KiB)   reference %.3f s (peak %ld KiB)   ratio %.2f  "
        "(target <= %.1f: %s)\n",
        what, median(a), peakA, median(b), peakB, ratio, target,
        ratio <= target ? "met" : "NOT met");
}

// --- file tree -----------------------------------------------------------

// 30 top folders x 33 x 30 = 29,700 leaf folders (30,720 folders in all),
// 10 files in each leaf: 297,000 files, in names of mixed case and length.
void generateTree(const fs::path& tree) {
    if (fs::exists(tree / ".complete"))
        return;
    std::cerr << "generating " << tree << " ...\n";
    fs::remove_all(tree);
    const char* const exts[] = {".dll", ".exe", ".DAT", ".txt", ".Config", ".json", ".png", ".mui"};
    size_t files = 0;
    for (int top = 0; top < 30; ++top) {
        const fs::path t = tree / ((top % 3 ? "Vendor " : "vendor-") + std::to_string(top));
        for (int mid = 0; mid < 33; ++mid) {
            const fs::path m = t / ("Product_" + std::to_string(mid * 7) + (mid % 2 ? "X" : "x"));
            for (int leaf = 0; leaf < 30; ++leaf) {
                const fs::path l = m / ((leaf % 4 ? "Module " : "module.") + std::to_string(leaf));
                fs::create_directories(l);
                for (int f = 0; f < 10; ++f) {
                    const std::string name = (f % 3 ? "Component" : "resource_") +
                                             std::to_string(f * 13 + leaf) + exts[(f + leaf) % 8];
                    std::ofstream(l / name).put('x');
                    ++files;
                }
            }
        }
    }
    std::ofstream(tree / ".complete") << files << "\n";
}

int childFileSnapshot(const std::string& tree, const std::string& work) {
    auto fileSystem = platform::makeFileSystem({{'C', tree}}, work);
    auto shared = std::make_shared<AnalysisShared>();
    FileDumpThread(shared, {fileSystem, {{"C:", true}}, 1, fileSystem->programFolder(), "", ""}).Execute();
    return shared->takeProblems().empty() ? 0 : 1;
}

long currentRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

// The worker's steps one by one, with their times and the memory after each:
// where to look when the whole is slow.
int childFilePhases(const std::string& tree, const std::string& work) {
    auto fileSystem = platform::makeFileSystem({{'C', tree}}, work);
    using Clock = std::chrono::steady_clock;
    auto cpuSeconds = [] {
        struct rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
               (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    auto t = Clock::now();
    double cpu = cpuSeconds();
    auto lap = [&](const char* what) {
        const auto now = Clock::now();
        const double cpuNow = cpuSeconds();
        std::fprintf(stderr, "  %-8s %.3f s (cpu %.3f s)  rss %ld KiB\n", what,
                     std::chrono::duration<double>(now - t).count(), cpuNow - cpu, currentRssKiB());
        t = now;
        cpu = cpuNow;
    };
    lap("start");
    std::vector<LineArena> lines;
    std::atomic<int32_t> found{0};
    collectFileLines(*fileSystem, {{"C:", true}}, work + "/logs", lines, found);
    lap("walk");
    std::vector<std::string_view> all;
    for (const auto& arena : lines)
        for (size_t i = 0; i < arena.size(); ++i)
            all.push_back(arena[i]);
    const auto order =
        collatedOrder(static_cast<uint32_t>(all.size()), [&all](uint32_t i) { return all[i]; });
    lap("sort");
    std::string text;
    for (uint32_t i : order) {
        text.append(all[i]);
        text.append("\r\n");
    }
    all.clear();
    lines.clear();
    lap("join");
    fileSystem->writeFile(work + "/logs/phases.txt", text);
    lap("write");
    return 0;
}

void benchFiles(const fs::path& dir) {
    const fs::path tree = dir / "tree";
    generateTree(tree);
    const fs::path work = dir / "files-work";
    fs::create_directories(work / "logs");
    std::vector<Run> ours, reference;
    const std::string refCmd = "find " + quoted(tree.string()) + " | LC_ALL=C sort -u > " +
                               quoted((work / "find.txt").string());
    shell(refCmd);  // warms the cache for both
    for (int i = 0; i < kRounds; ++i) {
        reference.push_back(shell(refCmd));
        ours.push_back(self({"--child-files", tree.string(), work.string()}));
    }
    report("files", ours, reference, 0.7);
    const auto size = fs::file_size(work / "logs" / "files_1.txt");
    long peak = 0;
    for (const auto& r : ours)
        peak = std::max(peak, r.peakKiB);
    std::printf("          snapshot %.1f MiB; our peak memory %.2fx its size (target <= 3: %s)\n",
                size / 1048576.0, peak * 1024.0 / size,
                peak * 1024.0 <= 3.0 * size ? "met" : "NOT met");
}

// --- comparison ----------------------------------------------------------

// A complete snapshot run through the program's own code, as the wizard's Go
// buttons start it: the file worker over the tree as drive C and the four
// registry workers over a small store, each file sealed, with the run record.
int childSnapshotRun(const std::string& tree, const std::string& storeDir,
                     const std::string& work, int number) {
    auto fileSystem = platform::makeFileSystem({{'C', tree}}, work);
    auto shared = std::make_shared<AnalysisShared>();
    auto workers = startSnapshotRun(shared, number,
                                    {fileSystem, platform::openRegistryStore(storeDir),
                                     {{"C:", true}}, fileSystem->programFolder(), nullptr});
    for (auto& worker : workers)
        worker.join();
    bool failed = false;
    for (const auto& problem : shared->takeProblems()) {
        std::cerr << problem.text << "\n";
        failed = failed || problem.failed;
    }
    return shared->completed.load() == 5 && !failed ? 0 : 1;
}

// Every hundredth file of the tree renamed (or renamed back): between two runs
// this makes 1% of the lines on each side of the comparison differ.
void renameHundredth(const fs::path& tree, bool back) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(tree))
        if (entry.is_regular_file() && entry.path().filename() != ".complete")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    size_t n = 0;
    for (const auto& file : files) {
        const bool renamed = file.extension() == ".moved";
        if (back && renamed)
            fs::rename(file, fs::path(file).replace_extension());
        else if (!back && !renamed && ++n % 100 == 0)
            fs::rename(file, fs::path(file) += ".moved");
    }
}

// Two complete runs, before and after 1% of the files changed, kept in
// `runs` to be compared again and again (a comparison deletes what it compared).
void makeRuns(const fs::path& dir, const fs::path& tree, const fs::path& runs) {
    if (fs::exists(runs / ".complete"))
        return;
    std::cerr << "taking two snapshot runs of " << tree << " ...\n";
    const fs::path storeDir = dir / "compare-store";
    {
        auto store = platform::openRegistryStore(storeDir.string());
        auto reg = store->accessor();
        std::unique_ptr<platform::RegKey> key;
        reg->createKey(platform::RegRoot::LocalMachine, "SOFTWARE\\Bench", platform::RegAccess::Full,
                       key);
        reg->setValue(*key, "Version", platform::kRegSz, std::string("1\0", 2));
    }
    const fs::path work = dir / "compare-runs-work";
    fs::remove_all(work);
    fs::create_directories(work / "logs");
    self({"--child-snapshot-run", tree.string(), storeDir.string(), work.string(), "1"});
    renameHundredth(tree, false);
    self({"--child-snapshot-run", tree.string(), storeDir.string(), work.string(), "2"});
    renameHundredth(tree, true);
    fs::remove_all(runs);
    fs::create_directories(runs.parent_path());
    fs::rename(work / "logs", runs);
    fs::remove_all(work);
    std::ofstream(runs / ".complete") << "two runs\n";
}

// The runs again with their file snapshots `copies` times as long: each line
// once for every copy, below a folder of its own, so the order stays the
// collation order. Written through the program's own snapshot writer.
void scaleRuns(const fs::path& runs, const fs::path& logs, int copies) {
    fs::remove_all(logs);
    fs::create_directories(logs);
    for (const auto& entry : fs::directory_iterator(runs))
        if (entry.path().filename() != ".complete")
            fs::copy_file(entry.path(), logs / entry.path().filename());
    auto fileSystem = platform::makeFileSystem({});
    for (int number : {1, 2}) {
        const std::string path = (logs / fileSnapshotName(number)).string();
        const auto text = fileSystem->readFile(path, platform::readLimits::kSnapshot);
        const SealCheck seal = checkSeal(*text);
        SnapshotWriter writer(*fileSystem, path, seal.runId);
        char folder[32];
        for (int copy = 0; copy < copies; ++copy) {
            std::snprintf(folder, sizeof folder, "C:\\Copy %04d", copy);
            for (std::string_view line : splitLines(seal.body)) {
                const size_t drive = line.find("C:");
                if (drive == std::string_view::npos) {
                    writer.append(line);
                } else {
                    writer.append(line.substr(0, drive));
                    writer.append(folder);
                    writer.append(line.substr(drive + 2));
                }
                writer.append("\r\n");
            }
        }
        if (!writer.finish()) {
            std::cerr << "cannot write " << path << "\n";
            std::exit(2);
        }
    }
}

size_t lineCount(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return static_cast<size_t>(std::count(std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>(), '\n'));
}

int childCompare(const std::string& work) {
    auto fileSystem = platform::makeFileSystem({}, work);
    const auto result = compareSnapshots(*fileSystem, fileSystem->programFolder(), "bench");
    if (result.outcome != LogOutcome::Written)
        std::cerr << result.error << "\n";
    return result.outcome == LogOutcome::Written ? 0 : 1;
}

// Ours and comm -3 over the runs in `logs`, reported; our median time.
double compareRound(const fs::path& logs, const fs::path& work, const char* what, double target) {
    // A child's peak counts what this process held when it started the child.
    malloc_trim(0);
    const fs::path kept = work / "kept";
    fs::remove_all(kept);
    fs::rename(logs, kept);
    const fs::path a = work / "a.sorted", b = work / "b.sorted";
    shell("LC_ALL=C sort " + quoted((kept / fileSnapshotName(1)).string()) + " > " +
          quoted(a.string()) + " && LC_ALL=C sort " + quoted((kept / fileSnapshotName(2)).string()) +
          " > " + quoted(b.string()));
    const std::string refCmd = "LC_ALL=C comm -3 " + quoted(a.string()) + " " + quoted(b.string()) +
                               " > " + quoted((work / "comm.txt").string());
    std::vector<Run> ours, reference;
    shell(refCmd);
    for (int i = 0; i < kRounds; ++i) {
        reference.push_back(shell(refCmd));
        fs::remove_all(logs);
        fs::copy(kept, logs);
        ours.push_back(self({"--child-compare", work.string()}));
    }
    report(what, ours, reference, target);
    std::printf("          %zu + %zu snapshot lines, analysis log %zu lines\n",
                lineCount(kept / fileSnapshotName(1)), lineCount(kept / fileSnapshotName(2)),
                lineCount(logs / "bench.anlog"));
    std::vector<double> x;
    for (const auto& r : ours)
        x.push_back(r.seconds);
    fs::remove_all(logs);
    fs::rename(kept, logs);
    fs::remove(a);
    fs::remove(b);
    return median(x);
}

void benchCompare(const fs::path& dir, bool linearity) {
    const fs::path tree = dir / "tree";
    generateTree(tree);
    const fs::path runs = dir / "compare-runs";
    makeRuns(dir, tree, runs);
    const fs::path work = dir / "compare-work";
    fs::remove_all(work);
    fs::create_directories(work);
    fs::copy(runs, work / "logs");
    fs::remove(work / "logs" / ".complete");
    const size_t lines = lineCount(work / "logs" / fileSnapshotName(1));
    const double base = compareRound(work / "logs", work, "compare", 0.7);
    if (!linearity)
        return;
    // Linear in the lines: the time per line stays what it was at the start.
    for (const size_t wanted : {size_t(1000000), size_t(3000000)}) {
        const int copies = static_cast<int>((wanted + lines - 1) / lines);
        scaleRuns(runs, work / "logs", copies);
        char what[32];
        std::snprintf(what, sizeof what, "x%d", copies);
        const double seconds = compareRound(work / "logs", work, what, 0.7);
        std::printf("          time per line %.2fx that of one copy (linear: about 1)\n",
                    seconds / copies / base);
    }
    fs::remove_all(work);
}

// --- registry ------------------------------------------------------------

// HKLM\SOFTWARE\Vendor<v>\Product<p>\Component<c>: 20 x 100 x 100 keys with
// five values each (text, expandable text, number, binary, default text).
int childGenerateStore(const fs::path& storeDir) {
    std::cerr << "generating " << storeDir << " ...\n";
    fs::remove_all(storeDir);
    auto store = platform::openRegistryStore(storeDir.string());
    auto reg = store->accessor();
    reg->beginTransaction();
    size_t keys = 0, values = 0;
    for (int v = 0; v < 20; ++v)
        for (int p = 0; p < 100; ++p)
            for (int c = 0; c < 100; ++c) {
                std::unique_ptr<platform::RegKey> key;
                const std::string path = "SOFTWARE\\Vendor" + std::to_string(v) + "\\Product" +
                                         std::to_string(p) + "\\Component" + std::to_string(c);
                reg->createKey(platform::RegRoot::LocalMachine, path, platform::RegAccess::Full,
                               key);
                const std::string n = std::to_string(c);
                reg->setValue(*key, "InstallPath", platform::kRegSz,
                              "C:\\Program Files\\Vendor\\Component" + n + std::string(1, '\0'));
                reg->setValue(*key, "DataDir", platform::kRegExpandSz,
                              "%APPDATA%\\Vendor\\" + n + std::string(1, '\0'));
                reg->setValue(*key, "Version", platform::kRegDword,
                              std::string("\x01\x02\x03\x04"));
                reg->setValue(*key, "State", platform::kRegBinary, std::string(16, '\x5a'));
                reg->setValue(*key, "", platform::kRegSz, "Component " + n + std::string(1, '\0'));
                ++keys;
                values += 5;
            }
    reg->commit();
    std::ofstream(storeDir / ".complete") << keys << " keys, " << values << " values\n";
    return 0;
}

int childRegistry(const std::string& storeDir, const std::string& work) {
    auto fileSystem = platform::makeFileSystem({}, work);
    auto shared = std::make_shared<AnalysisShared>();
    RegDumpThread(shared, {platform::openRegistryStore(storeDir), fileSystem, 2, 1,
                           fileSystem->programFolder(), nullptr, ""})
        .Execute();
    return shared->takeProblems().empty() && shared->registryEntries.load() > 1000000 ? 0 : 1;
}

int childQuery(const std::string& storeDir) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2((storeDir + "/machine.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
        return 1;
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT k.path, k.name, v.name, v.type, v.data FROM keys k "
                       "LEFT JOIN vals v ON v.key = k.id ORDER BY k.id, v.id",
                       -1, &stmt, nullptr);
    size_t rows = 0, bytes = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        ++rows;
        for (int c = 0; c < 5; ++c) {
            sqlite3_column_blob(stmt, c);
            bytes += static_cast<size_t>(sqlite3_column_bytes(stmt, c));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return rows >= 1000000 && bytes > 0 ? 0 : 1;
}

void benchRegistry(const fs::path& dir) {
    const fs::path storeDir = dir / "registry";
    if (!fs::exists(storeDir / ".complete"))
        self({"--child-generate-store", storeDir.string()});
    const fs::path work = dir / "registry-work";
    fs::create_directories(work / "logs");
    std::vector<Run> ours, reference;
    self({"--child-query", storeDir.string()});
    for (int i = 0; i < kRounds; ++i) {
        reference.push_back(self({"--child-query", storeDir.string()}));
        ours.push_back(self({"--child-registry", storeDir.string(), work.string()}));
    }
    report("registry", ours, reference, 2.0);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "--child-files")
        return childFileSnapshot(args[1], args[2]);
    if (args.size() == 3 && args[0] == "--child-file-phases")
        return childFilePhases(args[1], args[2]);
    if (args.size() == 2 && args[0] == "--child-compare")
        return childCompare(args[1]);
    if (args.size() == 5 && args[0] == "--child-snapshot-run")
        return childSnapshotRun(args[1], args[2], args[3], std::atoi(args[4].c_str()));
    if (args.size() == 2 && args[0] == "--child-generate-store")
        return childGenerateStore(args[1]);
    if (args.size() == 3 && args[0] == "--child-registry")
        return childRegistry(args[1], args[2]);
    if (args.size() == 2 && args[0] == "--child-query")
        return childQuery(args[1]);

    const std::string which = args.empty() ? "all" : args[0];
    const char* env = std::getenv("VORNAK_BENCH_DIR");
    const fs::path dir =
        args.size() > 1 ? fs::path(args[1]) : fs::path(env && *env ? env : "/tmp/vornak-bench");
    fs::create_directories(dir);
    if (which == "files" || which == "all")
        benchFiles(dir);
    if (which == "compare" || which == "all" || which == "linearity")
        benchCompare(dir, which == "linearity");
    if (which == "registry" || which == "all")
        benchRegistry(dir);
    if (which != "files" && which != "compare" && which != "linearity" && which != "registry" &&
        which != "all") {
        std::cerr << "usage: bench_analysis [files|compare|linearity|registry|all] [WORK FOLDER]\n";
        return 2;
    }
    return 0;
}
