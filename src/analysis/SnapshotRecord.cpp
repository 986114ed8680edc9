#include "analysis/SnapshotRecord.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "analysis/AnalysisFiles.h"
#include "analysis/MappedText.h"
#include "analysis/SnapshotSeal.h"
#include "analysis/TextLines.h"
#include "language/MessageCatalogue.h"

namespace vornak::analysis {
namespace {

// The same folder named another way (a relative path, a link to it) is
// the same ground; a folder named the same from elsewhere is not. A folder
// that does not exist yet (a store made on first use) is named through the
// nearest one above it that does, so its name does not change once it is made.
std::string hostIdentity(std::string path) {
    while (path.size() > 1 && (path.back() == '/' || path.back() == '\\'))
        path.pop_back();
#ifndef _WIN32
    if (path.empty())
        return path;
    if (path.front() != '/') {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(path, error);
        if (!error)
            path = absolute.string();
    }
    std::string missing;
    std::string existing = path;
    while (true) {
        std::unique_ptr<char, decltype(&std::free)> real(::realpath(existing.c_str(), nullptr),
                                                         &std::free);
        if (real) {
            std::string result = real.get();
            if (!missing.empty())
                result += (result == "/" ? "" : "/") + missing;
            return result;
        }
        const size_t slash = existing.rfind('/');
        if (slash == std::string::npos || slash == 0)
            return path;
        missing = existing.substr(slash + 1) + (missing.empty() ? "" : "/" + missing);
        existing.resize(slash);
    }
#else
    return path;
#endif
}

std::string captions(const std::vector<WalkedDrive>& drives) {
    std::string text;
    for (const auto& drive : drives)
        text += (text.empty() ? "" : " ") + drive.caption;
    return text.empty() ? "none" : text;
}

}  // namespace

std::string runRecordName(int32_t snapshotNumber) {
    return "run_" + std::to_string(snapshotNumber) + ".txt";
}

SnapshotRecord groundOf(const platform::FileSystem& fs, const std::vector<DriveItem>& drives,
                        const std::string& storeLocation) {
    SnapshotRecord record;
    for (const DriveItem& drive : drives) {
        if (!drive.ticked)
            continue;
        const std::string host = fs.toHostPath(drive.caption + "\\");
        record.drives.push_back({drive.caption, host.empty() ? host : hostIdentity(host)});
    }
    record.store = hostIdentity(storeLocation);
    return record;
}

std::string recordText(const SnapshotRecord& record) {
    std::vector<std::string> lines;
    for (const auto& drive : record.drives)
        lines.push_back("drive\t" + drive.caption + "\t" + drive.root);
    lines.push_back("store\t" + record.store);
    for (const auto& folder : record.unreadFolders)
        lines.push_back("unread\t" + folder);
    for (const auto& link : record.walkedLinks)
        lines.push_back("link\t" + link.path + "\t" + link.target);
    return joinLines(lines);
}

std::optional<SnapshotRecord> parseRecord(std::string_view text) {
    SnapshotRecord record;
    bool haveStore = false;
    for (std::string_view line : splitLines(text)) {
        const size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return std::nullopt;
        const std::string_view kind = line.substr(0, tab);
        const std::string_view rest = line.substr(tab + 1);
        if (kind == "drive") {
            const size_t second = rest.find('\t');
            if (second == std::string_view::npos)
                return std::nullopt;
            record.drives.push_back(
                {std::string(rest.substr(0, second)), std::string(rest.substr(second + 1))});
        } else if (kind == "store") {
            record.store = std::string(rest);
            haveStore = true;
        } else if (kind == "unread") {
            record.unreadFolders.emplace_back(rest);
        } else if (kind == "link") {
            const size_t second = rest.find('\t');
            if (second == std::string_view::npos)
                return std::nullopt;
            record.walkedLinks.push_back(
                {std::string(rest.substr(0, second)), std::string(rest.substr(second + 1))});
        } else {
            return std::nullopt;
        }
    }
    if (!haveStore)
        return std::nullopt;
    std::sort(record.unreadFolders.begin(), record.unreadFolders.end());
    std::sort(record.walkedLinks.begin(), record.walkedLinks.end());
    return record;
}

std::optional<SnapshotRecord> readRecord(const platform::FileSystem& fs,
                                         const std::string& logsFolderPath, int32_t number,
                                         std::string* error) {
    const std::string path = joinPath(logsFolderPath, runRecordName(number));
    if (!fs.fileExists(path) && !fs.directoryExists(path))
        return std::nullopt;
    const auto text = fs.readFile(path, platform::readLimits::kRunRecord, error);
    if (!text)
        return std::nullopt;
    const SealCheck seal = checkSeal(*text);
    if (seal.state != SealState::Whole) {
        if (error)
            *error = messageText(seal.state == SealState::Incomplete ? Msg::fmtSnapshotIncomplete
                                                                     : Msg::fmtSnapshotAltered,
                                 {path});
        return std::nullopt;
    }
    auto record = parseRecord(seal.body);
    if (!record && error)
        *error = path + " is not a snapshot record";
    if (record)
        record->runId = seal.runId;
    return record;
}

std::string snapshotFileProblem(const platform::FileSystem& fs, const std::string& path,
                                std::string* runId) {
    // A broken language text must not hide the damage it reports.
    auto say = [&](Msg role) {
        try {
            return formatMessage(role, {path});
        } catch (const FormatError&) {
            return messages().get(role) + " " + path;
        }
    };
    std::string why;
    const auto text = MappedText::open(fs, path, &why);
    if (!text)
        return say(Msg::fmtSnapshotNotRead) + (why.empty() ? "" : " (" + why + ")");
    const SealCheck seal = checkSeal(text->text());
    if (seal.state == SealState::Incomplete)
        return say(Msg::fmtSnapshotIncomplete);
    if (seal.state == SealState::Altered)
        return say(Msg::fmtSnapshotAltered);
    if (runId)
        *runId = seal.runId;
    return {};
}

std::string groundDifference(const SnapshotRecord& before, const SnapshotRecord& now) {
    auto sortedCaptions = [](std::vector<WalkedDrive> drives) {
        std::sort(drives.begin(), drives.end(),
                  [](const auto& a, const auto& b) { return a.caption < b.caption; });
        return drives;
    };
    const auto a = sortedCaptions(before.drives), b = sortedCaptions(now.drives);
    if (a.size() != b.size() ||
        !std::equal(a.begin(), a.end(), b.begin(),
                    [](const auto& x, const auto& y) { return x.caption == y.caption; }))
        return messageText(Msg::fmtOtherDrives, {captions(before.drives), captions(now.drives)});
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].root != b[i].root)
            return messageText(
                Msg::fmtDriveMoved,
                {a[i].caption, a[i].root.empty() ? messages().get(Msg::msgNoFolder) : a[i].root,
                 b[i].root.empty() ? messages().get(Msg::msgNoFolder) : b[i].root});
    if (before.store != now.store)
        return messageText(Msg::fmtOtherStore, {before.store, now.store});
    return {};
}

std::string secondRunRefusal(const platform::FileSystem& fs, const std::string& logsFolderPath,
                             const std::vector<DriveItem>& drives,
                             const std::string& storeLocation) {
    std::string missing;
    std::vector<std::string> needed{fileSnapshotName(1)};
    for (const auto& root : kSnapshotRoots)
        needed.push_back(registrySnapshotName(root.name, 1));
    for (const auto& file : needed)
        if (!fs.fileExists(joinPath(logsFolderPath, file)))
            missing += (missing.empty() ? "" : ", ") + file;
    // The record first: read within its own bound, and checked whole.
    std::string unreadable;
    const auto before = readRecord(fs, logsFolderPath, 1, &unreadable);
    if (missing.empty()) {
        if (!before && !unreadable.empty())
            return unreadable;
        // A snapshot cut short or changed would show what it lost as changes.
        for (const auto& file : needed)
            if (std::string why = snapshotFileProblem(fs, joinPath(logsFolderPath, file));
                !why.empty())
                return why;
    }
    if (!missing.empty() || !before)
        return messageText(Msg::fmtNoBeforeSnapshot,
                           {missing.empty() ? runRecordName(1) : missing});
    return groundDifference(*before, groundOf(fs, drives, storeLocation));
}

std::string unreadFoldersNote(const std::vector<std::string>& folders) {
    if (folders.empty())
        return {};
    constexpr size_t kShown = 5;
    std::string first;
    for (size_t i = 0; i < folders.size() && i < kShown; ++i)
        first += (i ? ", " : "") + folders[i];
    if (folders.size() > kShown)
        first += ", ...";
    return formatCountMessage(Msg::fmtFolderNotReadOne, Msg::fmtFoldersNotRead,
                              static_cast<int64_t>(folders.size()), {std::move(first)});
}

}  // namespace vornak::analysis
