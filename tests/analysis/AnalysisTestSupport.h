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
    // Snapshot files and run records ("HKLM_2.txt", "run_1.txt") are
    // written sealed as by run "run 1" or "run 2", as a snapshot run would.
    void writeLog(const std::string& name, const std::string& bytes) const;
    void writeSnapshot(const std::string& name, const std::string& body,
                       const std::string& runId) const;
    // The lines of a file in the logs folder, CR LF checked and removed; of
    // a snapshot file, without its seal, which must prove it whole.
    std::vector<std::string> logLines(const std::string& name) const;

    std::string programFolder;  // "C:\Program Files\Vornak\"
};

}  // namespace vornak::test

namespace vornak::test {

// The fixture's file system with faults put in on purpose: folders whose
// listing fails (as a folder the user may not read) and files that cannot be
// read, named by their program paths.
class FaultyFileSystem : public platform::FileSystem {
  public:
    explicit FaultyFileSystem(std::shared_ptr<platform::FileSystem> inner)
        : inner_(std::move(inner)) {}

    std::vector<std::string> unlistable;
    std::vector<std::string> unreadable;
    // Runs before each file is written: what another program does meanwhile.
    std::function<void(const std::string&)> beforeWrite;

    bool findFiles(const std::string& pattern, uint32_t wanted,
                   const std::function<void(const platform::DirEntry&)>& onEntry) const override;
    bool fileExists(const std::string& p) const override { return inner_->fileExists(p); }
    bool directoryExists(const std::string& p) const override { return inner_->directoryExists(p); }
    bool createDirectory(const std::string& p) const override { return inner_->createDirectory(p); }
    bool removeDirectory(const std::string& p) const override { return inner_->removeDirectory(p); }
    bool deleteFile(const std::string& p) const override { return inner_->deleteFile(p); }
    std::optional<std::string> readFile(const std::string& p) const override;
    bool writeFile(const std::string& p, const std::string& bytes,
                   std::string* error) const override {
        if (beforeWrite)
            beforeWrite(p);
        return inner_->writeFile(p, bytes, error);
    }
    bool canWriteDirectory(const std::string& p) const override {
        return inner_->canWriteDirectory(p);
    }
    EntryKind entryKind(const std::string& p) const override { return inner_->entryKind(p); }
    bool removeEntry(const std::string& p, EntryKind kind) const override {
        return inner_->removeEntry(p, kind);
    }
    std::vector<char> fixedDrives() const override { return inner_->fixedDrives(); }
    std::string programFolder() const override { return inner_->programFolder(); }
    std::string toHostPath(const std::string& p) const override;
    std::string fromHostPath(const std::string& h) const override {
        return inner_->fromHostPath(h);
    }

  private:
    bool isUnreadable(const std::string& p) const;
    std::shared_ptr<platform::FileSystem> inner_;
};

}  // namespace vornak::test
