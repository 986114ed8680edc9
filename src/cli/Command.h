// Subcommands of the command-line tool `vornak`. Each lives in its own file and
// registers itself with a static Command object, so main() needs no list.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vornak::cli {

using Args = std::vector<std::string>;

struct Command {
    // name: first word after `vornak`; usage: one help line; run: gets the words
    // after the name and returns the exit code.
    Command(std::string name, std::string usage, std::function<int(const Args&)> run);
};

// Prints "message" to stderr as one line and returns 1.
int fail(const std::string& message);

}  // namespace vornak::cli
