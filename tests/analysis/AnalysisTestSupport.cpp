#include "analysis/AnalysisTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "analysis/SnapshotSeal.h"
#include "language/MessageCatalogue.h"

namespace vornak::test {

void useTestMessages() {
    auto& m = messages();
    for (Msg role : kAllMessages)
        m.set(role, messageName(role));
    // The added lines keep their built-in English.
    for (const AddedLine& added : addedLines())
        m.set(added.role, std::string(added.english));
    m.set(Msg::msgMustConfirm, "Please confirm: ");
    m.set(Msg::fmtDeleteFileQuestion, "Delete %s?");
    m.set(Msg::msgDeleteFileCaption, "Delete file");
    m.set(Msg::msgFileDeletedPrefix, "Deleted: ");
    m.set(Msg::fmtFolderNotRemoved, "Folder not removed: %s");
    m.set(Msg::fmtDeletedFilesCount, "%d files were deleted by the installation");
    m.set(Msg::fmtKeyNotRemoved, "Key kept: %s");
    m.set(Msg::msgEntrySkipped, "Skipped");
    m.set(Msg::msgRemovalDone, "Done");
    m.set(Msg::msgDeleteLogQuestion, "Delete the log?");
    m.set(Msg::msgDeleteLogCaption, "Log");
    m.set(Msg::msgNoLogSelected, "Select a log");
    m.set(Msg::msgAnalysisDone, "Analysis done");
}

void AnalysisFixture::SetUp() {
    RegistryFixture::SetUp();
    std::filesystem::create_directories(logsHost());
    programFolder = fs->programFolder();
    useTestMessages();
}

std::string AnalysisFixture::hostC(const std::string& relative) const {
    return driveC + "/" + relative;
}

void AnalysisFixture::file(const std::string& relative, const std::string& bytes) {
    const std::filesystem::path p = hostC(relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << p;
}

void AnalysisFixture::folder(const std::string& relative) {
    std::filesystem::create_directories(hostC(relative));
}

bool AnalysisFixture::logExists(const std::string& name) const {
    return std::filesystem::is_regular_file(logsHost() + "/" + name);
}

std::string AnalysisFixture::readLog(const std::string& name) const {
    std::ifstream in(logsHost() + "/" + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

namespace {

// files_1.txt, HKLM_2.txt, run_1.txt: files the snapshot runs write sealed.
bool isSnapshotName(const std::string& name) {
    static const std::regex pattern("(files|HKCR|HKCU|HKLM|HKCC|run)_[12]\\.txt");
    return std::regex_match(name, pattern);
}

}  // namespace

void AnalysisFixture::writeLog(const std::string& name, const std::string& bytes) const {
    if (isSnapshotName(name)) {
        writeSnapshot(name, bytes, "run " + name.substr(name.size() - 5, 1));
        return;
    }
    std::ofstream out(logsHost() + "/" + name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void AnalysisFixture::writeSnapshot(const std::string& name, const std::string& body,
                                    const std::string& runId) const {
    std::ofstream out(logsHost() + "/" + name, std::ios::binary | std::ios::trunc);
    out << analysis::sealed(body, runId);
}

std::vector<std::string> AnalysisFixture::logLines(const std::string& name) const {
    std::string text = readLog(name);
    if (isSnapshotName(name)) {
        const auto seal = analysis::checkSeal(text);
        EXPECT_EQ(seal.state, analysis::SealState::Whole) << name;
        text = std::string(seal.body);
    }
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "last line of " << name << " lacks CR LF";
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

}  // namespace vornak::test

namespace vornak::test {

bool FaultyFileSystem::findFiles(
    const std::string& pattern, uint32_t wanted,
    const std::function<void(const platform::DirEntry&)>& onEntry) const {
    const std::string folder = pattern.substr(0, pattern.find_last_of('\\'));
    if (std::find(unlistable.begin(), unlistable.end(), folder) != unlistable.end())
        return false;
    return inner_->findFiles(pattern, wanted, onEntry);
}

bool FaultyFileSystem::isUnreadable(const std::string& p) const {
    return std::find(unreadable.begin(), unreadable.end(), p) != unreadable.end();
}

std::optional<std::string> FaultyFileSystem::readFile(const std::string& p) const {
    if (isUnreadable(p))
        return std::nullopt;
    return inner_->readFile(p);
}

std::string FaultyFileSystem::toHostPath(const std::string& p) const {
    // Without a host path, whoever reads the file directly has to come here.
    return isUnreadable(p) ? std::string() : inner_->toHostPath(p);
}

}  // namespace vornak::test
