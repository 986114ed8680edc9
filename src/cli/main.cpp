// vornak: the command-line tool. The same logic libraries as the window program,
// so the two never disagree about the registry, the inventory or an analysis.
#include <cstdio>
#include <exception>
#include <iostream>
#include <map>

#include "cli/Command.h"
#include "platform/Console.h"
#ifndef _WIN32
#include "platform/WinePrefix.h"
#endif

namespace vornak::cli {
namespace {

struct Entry {
    std::string usage;
    std::function<int(const Args&)> run;
};

std::map<std::string, Entry>& table() {
    static std::map<std::string, Entry> commands;
    return commands;
}

void usage(std::ostream& out) {
    out << "usage: vornak <command> [arguments]\n\ncommands:\n";
    for (const auto& [name, entry] : table()) out << "  " << entry.usage << "\n";
}

}  // namespace

Command::Command(std::string name, std::string usageLine, std::function<int(const Args&)> run) {
    table()[std::move(name)] = Entry{std::move(usageLine), std::move(run)};
}

int fail(const std::string& message) {
    std::cerr << message << std::endl;
    return 1;
}

#ifndef _WIN32
// While Wine runs in the prefix its registry files lag behind what it holds.
// A read says so once, whatever it found; a write that failed says why, as
// the commands themselves say only that access was denied. The list, the
// prefixes and the analyser say it themselves, in their own words.
void noteWineRunning(const std::string& command, const Args& args, int code) {
    const std::string prefix = platform::configuredWinePrefix();
    if (prefix.empty() || !platform::prefixServerRunning(prefix))
        return;
    std::string operation = args.empty() ? std::string() : args[0];
    for (char& c : operation)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const bool reads = command == "uninstall" ||
                       (command == "reg" && (operation == "query" || operation == "export"));
    if (reads) {
        std::cerr << "vornak: Wine is running in the prefix " << prefix
                  << "; what was read may not hold its latest changes until Wine ends there\n";
    } else if (command == "reg" && code != 0) {
        if (const std::string why = platform::prefixWriteRefusal(prefix); !why.empty())
            std::cerr << "vornak: " << why << "\n";
    }
}
#endif

}  // namespace vornak::cli

int main(int argc, char** argv) {
    using namespace vornak::cli;
    vornak::platform::prepareConsole();
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        usage(argc < 2 ? std::cerr : std::cout);
        return argc < 2 ? 1 : 0;
    }
    auto it = table().find(argv[1]);
    if (it == table().end()) {
        std::cerr << "vornak: unknown command '" << argv[1] << "'\n";
        usage(std::cerr);
        return 1;
    }
    try {
        const int code = it->second.run(Args(argv + 2, argv + argc));
#ifndef _WIN32
        noteWineRunning(argv[1], Args(argv + 2, argv + argc), code);
#endif
        return code;
    } catch (const std::exception& e) {
        return fail(std::string("ERROR: ") + e.what());
    }
}
