// Shared pieces of the analyser's tests: a store, a drive C and a program
// folder with its logs folder in a temporary directory; a message catalogue
// with recognisable texts.
#pragma once

#include <string>
#include <vector>

#include "support/RegistryFixture.h"
#include "support/ScriptedDialogs.h"

namespace vornak::test {

// Fills the catalogue with short English texts that the tests look for.
void useTestMessages();

class AnalysisFixture : public RegistryFixture {
  protected:
    void SetUp() override;

    // A file below drive C (path with forward slashes), with its folders.
    void file(const std::string& relative, const std::string& bytes = "x");
    void folder(const std::string& relative);
    std::string hostC(const std::string& relative) const;

    std::string logsHost() const { return programHost + "/logs"; }
    bool logExists(const std::string& name) const;
    std::string readLog(const std::string& name) const;
    void writeLog(const std::string& name, const std::string& bytes) const;
    // The lines of a file in the logs folder, CR LF checked and removed.
    std::vector<std::string> logLines(const std::string& name) const;

    std::string programFolder;  // "C:\Program Files\Vornak\"
};

// Collation order of the tests' environment, for building expected lists.
std::vector<std::string> collated(std::vector<std::string> lines);

}  // namespace vornak::test
