#include "analysis/RegDumpThread.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <exception>
#include <mutex>
#include <string_view>
#include <vector>

#include "analysis/AnalysisFiles.h"
#include "analysis/SnapshotRun.h"
#include "analysis/SnapshotWriter.h"
#include "language/MessageCatalogue.h"

namespace vornak::analysis {
namespace {

using platform::RegStatus;

// Plain loops: find_first_of searches the set once for every character.
bool hasLineBreak(std::string_view text) {
    for (char c : text)
        if (c == '\r' || c == '\n')
            return true;
    return false;
}

// A name that cannot stand in a line: a line break would split it, and a tab
// would read back as the end of the key path or of the value name, so the
// removal would act on another key or value.
bool isUnwritableName(std::string_view name) {
    for (char c : name)
        if (c == '\r' || c == '\n' || c == '\t')
            return true;
    return false;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

// Subtrees left out of the walk. HKLM\SYSTEM changes all the time without any
// installation: the test path root + "\" + current path + "\" + name is
// "HKLM\\SYSTEM", in exactly this letter case (key names hold no backslash,
// so that is the first-level key SYSTEM). Both Software\Classes keys, in any
// letter case as the registry names keys, are what HKEY_CLASSES_ROOT shows:
// walked there, and again here, every class would be logged twice, and the
// removal would act on it twice.
bool isExcluded(std::string_view rootName, std::string_view currentPath, std::string_view name) {
    if (rootName == "HKLM" && currentPath.empty() && name == "SYSTEM")
        return true;
    return (rootName == "HKLM" || rootName == "HKCU") && equalsNoCase(currentPath, "SOFTWARE") &&
           equalsNoCase(name, "Classes");
}

// What Wine changes in a prefix's registry by itself every time it starts,
// found by comparing the registry of a fresh prefix before and after a
// `wine cmd /c exit`: it builds the NetworkCards key anew, and writes and
// drops the default values of the display adapter and monitor device
// classes. Logged, they would look like the installation's work, and the
// removal would put them back or take them away. Paths below HKLM.
constexpr std::string_view kWineRebuiltKeys[] = {
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards",
};
constexpr std::string_view kWineRewrittenDefaults[] = {
    "System\\CurrentControlSet\\Control\\Class\\{4D36E968-E325-11CE-BFC1-08002BE10318}",
    "System\\CurrentControlSet\\Control\\Class\\{4D36E96E-E325-11CE-BFC1-08002BE10318}",
};

bool isWineRebuiltKey(std::string_view path) {
    for (auto key : kWineRebuiltKeys)
        if (equalsNoCase(path, key))
            return true;
    return false;
}

bool isWineRewrittenDefault(std::string_view keyPath, std::string_view valueName) {
    if (!valueName.empty())
        return false;
    for (auto key : kWineRewrittenDefaults)
        if (equalsNoCase(keyPath, key))
            return true;
    return false;
}

std::string_view textUpToNul(std::string_view data) {
    return data.substr(0, data.find('\0'));
}

// TAB and the value line's data field (valueDataField), when it has one.
void appendValueData(std::string& out, uint32_t type, std::string_view data) {
    switch (type) {
        case platform::kRegSz:
        case platform::kRegExpandSz: {
            const std::string_view text = textUpToNul(data);
            if (hasLineBreak(text))
                return;
            if (type == platform::kRegSz) {
                out += "\t\"";
                out += text;
                out += '"';
            } else {
                out += "\texp:";
                out += text;
            }
            return;
        }
        case platform::kRegDword: {
            unsigned char bytes[4] = {0, 0, 0, 0};
            std::memcpy(bytes, data.data(), std::min<size_t>(data.size(), 4));
            const uint32_t bits = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                                  uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
            char number[16];
            const auto end =
                std::to_chars(number, number + sizeof number, static_cast<int32_t>(bits)).ptr;
            out += "\tint:";
            out.append(number, end);
            return;
        }
        default:
            return;
    }
}

// The snapshot lines of one root, made as the store's walk reports its keys.
class Walk final : public platform::RegWalkVisitor {
  public:
    Walk(platform::RegistryAccessor& registry, int rootIndex, std::atomic<int32_t>& entries,
         RegistryWalkStats& stats, const std::function<void(std::string_view)>& sink,
         bool winePrefix)
        : winePrefix_(winePrefix &&
                      kSnapshotRoots[rootIndex].root == platform::RegRoot::LocalMachine),
          sink_(sink),
          registry_(registry),
          root_(kSnapshotRoots[rootIndex].root),
          name_(kSnapshotRoots[rootIndex].name),
          entries_(entries),
          stats_(stats) {}

    void run() {
        std::unique_ptr<platform::RegKey> rootKey;
        // Every root exists, so a root that cannot be opened means a store that
        // cannot be read; passed over, it would look like an empty root.
        if (registry_.openKey(root_, "", platform::RegAccess::Read, rootKey) != RegStatus::Ok) {
            ++stats_.failedKeys;
            keyLine({});
        } else {
            registry_.walk(*rootKey, *this);
        }
        flushCount();
        flushText();
    }

    void key(std::string_view path, RegStatus status, bool) override {
        keyLine(path);
        // A key the user may not read shows only its own line, alike in both
        // snapshots; a store that fails is another matter.
        if (status == RegStatus::StoreFailure)
            ++stats_.failedKeys;
        keyPath_ = path;
    }

    void value(std::string_view name, uint32_t type, std::string_view data) override {
        if (isUnwritableName(name)) {
            ++stats_.skippedNames;
            return;
        }
        if (winePrefix_ && isWineRewrittenDefault(keyPath_, name))
            return;
        out_ += name_;
        out_ += '\t';
        appendQueuePath(keyPath_);
        out_ += '\t';
        out_ += name;
        appendValueData(out_, type, data);
        out_ += "\r\n";
        countLine();
    }

    bool wantSubkey(std::string_view path, std::string_view name) override {
        if (name.empty() || isExcluded(name_, path, name))
            return false;
        if (winePrefix_) {
            std::string full(path);
            full += '\\';
            full += name;
            if (isWineRebuiltKey(full))
                return false;
        }
        if (isUnwritableName(name)) {
            ++stats_.skippedNames;
            return false;
        }
        return true;
    }

    void listingFailed(RegStatus) override { ++stats_.failedKeys; }

  private:
    // A first-level key's path begins with a backslash, and so does the root's
    // (a lone backslash); deeper ones do not.
    void appendQueuePath(std::string_view path) {
        if (path.find('\\') == std::string_view::npos)
            out_ += '\\';
        out_ += path;
    }

    void keyLine(std::string_view path) {
        out_ += '\t';
        out_ += name_;
        out_ += '\t';
        appendQueuePath(path);
        out_ += "\r\n";
        countLine();
    }

    void countLine() {
        ++stats_.lines;
        if (++pending_ == 1024) {
            flushCount();
            if (out_.size() >= kFlushAt)
                flushText();
        }
    }
    void flushText() {
        sink_(out_);
        out_.clear();
    }
    void flushCount() {
        entries_.fetch_add(pending_, std::memory_order_relaxed);
        pending_ = 0;
    }

    static constexpr size_t kFlushAt = 1 << 20;
    const bool winePrefix_;
    const std::function<void(std::string_view)>& sink_;
    platform::RegistryAccessor& registry_;
    platform::RegRoot root_;
    std::string_view name_;
    std::atomic<int32_t>& entries_;
    RegistryWalkStats& stats_;
    int32_t pending_ = 0;
    std::string keyPath_;  // of the key whose values come now
    std::string out_;
};

}  // namespace

std::string valueDataField(uint32_t type, const std::string& data) {
    std::string field;
    appendValueData(field, type, data);
    return field.empty() ? field : field.substr(1);
}

void writeRegistrySnapshot(platform::RegistryAccessor& registry, int rootIndex,
                           std::atomic<int32_t>& entries,
                           const std::function<void(std::string_view)>& sink,
                           RegistryWalkStats* stats, bool winePrefix) {
    RegistryWalkStats local;
    Walk(registry, rootIndex, entries, stats ? *stats : local, sink, winePrefix).run();
}

std::string registrySnapshotText(platform::RegistryAccessor& registry, int rootIndex,
                                 std::atomic<int32_t>& entries, RegistryWalkStats* stats,
                                 bool winePrefix) {
    std::string text;
    writeRegistrySnapshot(
        registry, rootIndex, entries, [&text](std::string_view piece) { text.append(piece); },
        stats, winePrefix);
    return text;
}

RegDumpThread::RegDumpThread(std::shared_ptr<AnalysisShared> shared, RegDumpInputs inputs)
    : shared_(std::move(shared)), inputs_(std::move(inputs)) {}

void RegDumpThread::Execute() {
    const std::string rootName = kSnapshotRoots[inputs_.rootIndex & 3].name;
    {
        CompletionStep step(shared_->completed);
        try {
            // A store file that cannot be used would read as empty roots: compared
            // with a good snapshot, all of them would count as added.
            // One at a time: the four workers start together, and on a store
            // made just now concurrent checks race to lay out its new files.
            {
                static std::mutex checking;
                std::lock_guard lock(checking);
                inputs_.store->check();
            }
            auto registry = inputs_.store->accessor();
            RegistryWalkStats stats;
            const std::string path =
                joinPath(logsFolder(inputs_.programFolder),
                         registrySnapshotName(rootName, inputs_.snapshotNumber));
            SnapshotWriter writer(*inputs_.fileSystem, path, inputs_.runId);
            writeRegistrySnapshot(
                *registry, inputs_.rootIndex & 3, shared_->registryEntries,
                [&writer](std::string_view piece) { writer.append(piece); }, &stats,
                inputs_.store->isWinePrefix());
            std::string error;
            // Wine started meanwhile: what was read may already be out of date,
            // and a snapshot of this number from before must not stand in for it.
            if (const std::string why = snapshotRefusal(*inputs_.store); !why.empty()) {
                if (inputs_.fileSystem->fileExists(path))
                    inputs_.fileSystem->deleteFile(path);
                shared_->reportProblem(why);
            } else if (!writer.finish(&error)) {
                shared_->reportProblem(messageText(Msg::fmtCannotWrite, {path, error}));
            }
            if (stats.skippedNames > 0)
                shared_->reportProblem(
                    formatCountMessage(Msg::fmtRegNameLeftOutOne, Msg::fmtRegNamesLeftOut,
                                       static_cast<int64_t>(stats.skippedNames), {path}),
                    false);
            if (stats.failedKeys > 0)
                shared_->reportProblem(
                    formatCountMessage(Msg::fmtKeyNotReadOne, Msg::fmtKeysNotRead,
                                       static_cast<int64_t>(stats.failedKeys), {rootName}));
        } catch (const std::exception& e) {
            shared_->reportProblem(
                messageText(Msg::fmtRegistrySnapshotFailed, {rootName, std::string(e.what())}));
        } catch (...) {
            shared_->reportProblem(
                messageText(Msg::fmtRegistrySnapshotFailed,
                            {rootName, messages().get(Msg::msgUnexpectedError)}));
        }
    }
    if (inputs_.onFinished) {
        try {
            inputs_.onFinished(shared_->registryEntries.load());
        } catch (...) {
            // A display that cannot be updated is no reason to end the program.
        }
    }
}

std::thread RegDumpThread::start(std::shared_ptr<AnalysisShared> shared, RegDumpInputs inputs) {
    return std::thread([worker = RegDumpThread(std::move(shared), std::move(inputs))]() mutable {
        worker.Execute();
    });
}

}  // namespace vornak::analysis
