// Runs a program to its end with standard input from a file (/dev/null unless
// told), capturing its exit code, standard output and standard error. A program
// still running after `patienceSeconds` (a minute unless told) is killed (exit
// code 128 + 9).
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vornak::test {

struct ProgramResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// `env` entries are set on top of this process's environment.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::map<std::string, std::string>& env,
                         const std::string& stdinFile = "/dev/null", int patienceSeconds = 60);

}  // namespace vornak::test
