// `vornak list` and one `vornak reg add` on a Wine prefix with a big system.reg,
// each a process of its own (time and peak resident memory from wait4), against
// `wine uninstaller --list` on the same prefix and `cp` of the file.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

struct Run {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

Run spawnAndWait(const std::vector<std::string>& argv, const std::vector<std::string>& env = {}) {
    std::vector<std::string> environment(env);
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    std::vector<char*> args, envp;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const auto& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    Run run;
    if (posix_spawnp(&pid, args[0], &quiet, nullptr, args.data(), envp.data()) != 0)
        return run;
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    posix_spawn_file_actions_destroy(&quiet);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKiB = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Wine's escaping is not needed: the generated names and texts are plain.
std::string hexBytes(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out += ',';
        out += digits[static_cast<unsigned char>(bytes[i]) >> 4];
        out += digits[static_cast<unsigned char>(bytes[i]) & 15];
    }
    return out;
}

void section(std::ostream& out, const std::string& path, unsigned n) {
    char time[32];
    std::snprintf(time, sizeof time, "1dd87c3%09x", n);
    out << "\n[" << path << "] 1796810008\n#time=" << time << "\n";
}

// A system.reg of about `megabytes` MB as a long-used machine has it: classes
// with their CLSIDs, vendors' settings with values of every type, and a few
// dozen uninstall registrations among them.
void generatePrefix(const fs::path& prefix, double megabytes) {
    if (fs::exists(prefix / ".complete"))
        return;
    std::cerr << "generating " << prefix << " ...\n";
    fs::remove_all(prefix);
    fs::create_directories(prefix / "drive_c" / "windows" / "system32");
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    std::ofstream(prefix / "userdef.reg")
        << "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\.Default\n\n"
           "#arch=win64\n";
    std::ofstream(prefix / "user.reg")
        << "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
           "#arch=win64\n\n[Software\\\\Wine] 1796810008\n#time=1dd87c323e7c974\n\"Version\"=\"win10\"\n";
    std::ofstream out(prefix / "system.reg", std::ios::binary);
    out << "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n";
    const auto target = static_cast<std::streamoff>(megabytes * 1e6);
    unsigned n = 0;
    for (int i = 0; out.tellp() < target; ++i) {
        char guid[64];
        std::snprintf(guid, sizeof guid, "{%08X-%04X-4%03X-8%03X-%012X}", i * 2654435761u, i & 0xffff,
                      i % 4096, (i * 7) % 4096, i * 40503u);
        const std::string clsid = std::string("Software\\\\Classes\\\\CLSID\\\\") + guid;
        section(out, clsid, n++);
        out << "@=\"Component " << i << "\"\n";
        section(out, clsid + "\\\\InprocServer32", n++);
        out << "@=str(2):\"%SystemRoot%\\\\system32\\\\component" << i << ".dll\"\n"
            << "\"ThreadingModel\"=\"Both\"\n";
        const std::string vendor =
            "Software\\\\Vendor " + std::to_string(i % 211) + "\\\\Product " + std::to_string(i);
        // Values in name order and in the forms Wine itself saves them in, so
        // that the file keeps its size once Wine has written it.
        section(out, vendor, n++);
        out << "\"Installed\"=hex(b):" << hexBytes(std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8))
            << "\n"
            << "\"InstallPath\"=\"C:\\\\Program Files\\\\Vendor " << i % 211 << "\\\\Product " << i
            << "\"\n"
            << "\"Languages\"=str(7):\"en-US\\0da-DK\\0\"\n"
            << "\"Nothing\"=hex(0):\n"
            << "\"State\"=hex:" << hexBytes(std::string(20, static_cast<char>(i))) << "\n"
            << "\"Version\"=dword:" << std::hex << std::setw(8) << std::setfill('0') << (0x10000 + i)
            << std::dec << "\n"
            << "\"Wide\"=str(2):\"%ProgramFiles%\\\\Vendor\"\n";
        if (i % 3000 == 0) {
            section(out,
                    "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Product " +
                        std::to_string(i),
                    n++);
            out << "\"DisplayName\"=\"Product " << i << "\"\n"
                << "\"UninstallString\"=\"C:\\\\Program Files\\\\Vendor " << i % 211
                << "\\\\Product " << i << "\\\\uninstall.exe\"\n";
        }
    }
    out.close();
    std::ofstream(prefix / ".complete") << fs::file_size(prefix / "system.reg") << "\n";
}

void report(const char* what, const std::vector<Run>& ours, const char* reference,
            const std::vector<Run>& theirs, double target, double fileMiB) {
    std::vector<double> a, b;
    long peakA = 0, peakB = 0;
    for (const auto& r : ours)
        a.push_back(r.seconds), peakA = std::max(peakA, r.peakKiB);
    for (const auto& r : theirs)
        b.push_back(r.seconds), peakB = std::max(peakB, r.peakKiB);
    std::printf("%-14s %.3f s (peak %.0f MiB, %.2fx the file)", what, median(a), peakA / 1024.0,
                peakA / 1024.0 / fileMiB);
    if (b.empty()) {
        std::printf("\n");
        return;
    }
    const double ratio = median(a) / median(b);
    std::printf("   %s %.3f s (peak %.0f MiB)   ratio %.2f", reference, median(b), peakB / 1024.0,
                ratio);
    if (target > 0)
        std::printf(" (target <= %.1f: %s)", target, ratio <= target ? "met" : "NOT met");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 55;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    const char* env = std::getenv("VORNAK_BENCH_DIR");
    const fs::path dir = env && *env ? env : "/tmp/vornak-bench";
    const fs::path prefix = dir / "prefix";
    generatePrefix(prefix, megabytes);
    const fs::path reg = prefix / "system.reg";
    const std::string tool = VORNAK_TOOL;
    const std::vector<std::string> ourEnv = {"VORNAK_WINEPREFIX=" + prefix.string(),
                                             "VORNAK_REGISTRY_DIR=" + (dir / "prefix-own").string()};

    // Wine first, as it may rewrite the files when it first meets the prefix;
    // each of its runs ends with its wineserver, which saves the registry.
    std::vector<Run> wine;
    const std::vector<std::string> wineEnv = {"WINEPREFIX=" + prefix.string(), "WINEDEBUG=-all",
                                              "WINEDLLOVERRIDES=mscoree,mshtml="};
    const bool haveWine = spawnAndWait({"sh", "-c", "command -v wine"}).ok;
    if (haveWine) {
        spawnAndWait({"wine", "uninstaller", "--list"}, wineEnv);
        spawnAndWait({"wineserver", "-w"}, wineEnv);
    }
    const double fileMiB = static_cast<double>(fs::file_size(reg)) / 1048576.0;
    std::printf("system.reg %.1f MiB (%.0f MB)\n", fileMiB, fileMiB * 1.048576);
    std::vector<Run> list, add, copy, copySynced;
    for (int i = 0; i < rounds; ++i) {
        if (haveWine) {
            wine.push_back(spawnAndWait({"wine", "uninstaller", "--list"}, wineEnv));
            spawnAndWait({"wineserver", "-w"}, wineEnv);
        }
        list.push_back(spawnAndWait({tool, "list"}, ourEnv));
        copy.push_back(spawnAndWait({"cp", reg.string(), (dir / "system.reg.copy").string()}));
        // The program makes its new file durable before it replaces the old one.
        const std::string copied = (dir / "system.reg.synced").string();
        copySynced.push_back(spawnAndWait({"sh", "-c", "cp \"$0\" \"$1\" && sync \"$1\"", reg.string(), copied}));
        add.push_back(spawnAndWait({tool, "reg", "add", "HKLM\\Software\\Bench", "/v", "Round",
                                    "/d", std::to_string(i), "/f"},
                                   ourEnv));
        if (!list.back().ok || !add.back().ok) {
            std::cerr << "vornak failed on " << prefix << "\n";
            return 2;
        }
    }
    fs::remove(dir / "system.reg.copy");
    fs::remove(dir / "system.reg.synced");
    if (haveWine)
        report("vornak list", list, "wine uninstaller --list (its wineserver not counted)", wine, 0,
               fileMiB);
    else
        report("vornak list", list, "", {}, 0, fileMiB);
    std::vector<double> listSeconds;
    long listPeak = 0;
    for (const Run& r : list)
        listSeconds.push_back(r.seconds), listPeak = std::max(listPeak, r.peakKiB);
    std::printf("               targets: at most 0.5 s (%s), at most 1.5x the file in memory (%s)%s\n",
                median(listSeconds) <= 0.5 ? "met" : "NOT met",
                listPeak / 1024.0 <= 1.5 * fileMiB ? "met" : "NOT met",
                haveWine ? "" : "; wine is not installed here, so its side is left out");
    report("vornak reg add", add, "cp of the file", copy, 2.0, fileMiB);
    report("", add, "cp and sync of the copy", copySynced, 0, fileMiB);
    return 0;
}
