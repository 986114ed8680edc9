#include "analysis/RegDumpThread.h"

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

bool hasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

// A name that cannot stand in a line: a line break would split it, and a tab
// would read back as the end of the key path or of the value name, so the
// removal would act on another key or value.
bool isUnwritableName(std::string_view name) {
    return name.find_first_of("\r\n\t") != std::string_view::npos;
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

class Walk {
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
            rootKey.reset();
            ++stats_.failedKeys;
        }
        visit("\\", "", std::move(rootKey));
        while (!stack_.empty()) {
            Frame& top = stack_.back();
            if (top.next == top.children.size()) {
                stack_.pop_back();
                continue;
            }
            const std::string& child = top.children[top.next++];
            std::string currentPath =
                top.currentPath.empty() ? std::string() : top.currentPath + "\\";
            currentPath += child;
            std::string queuePath = top.currentPath.empty() ? "\\" + currentPath : currentPath;
            std::unique_ptr<platform::RegKey> key;
            // A key the user may not read shows only its own line, alike in
            // both snapshots; a store that fails is another matter.
            const RegStatus opened =
                registry_.openSubKey(*top.key, child, platform::RegAccess::Read, key);
            if (opened != RegStatus::Ok) {
                key.reset();
                if (opened == RegStatus::StoreFailure)
                    ++stats_.failedKeys;
            }
            // `top` may move when visit() grows the stack; nothing of it is used after.
            visit(queuePath, currentPath, std::move(key));
        }
        flushCount();
        flushText();
    }

  private:
    struct Frame {
        std::unique_ptr<platform::RegKey> key;
        std::string currentPath;
        std::vector<std::string> children;
        size_t next = 0;
    };

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

    void visit(const std::string& queuePath, const std::string& currentPath,
               std::unique_ptr<platform::RegKey> key) {
        out_ += '\t';
        out_ += name_;
        out_ += '\t';
        out_ += queuePath;
        out_ += "\r\n";
        countLine();
        if (!key)
            return;  // a key that cannot be opened shows no values and no subkeys
        // A link key shows its own line only: what it leads to is walked where it lives.
        if (key->isLink())
            return;

        platform::RegValue value;
        for (uint32_t i = 0;; ++i) {
            const RegStatus status = registry_.enumValue(*key, i, value);
            if (status == RegStatus::NotFound)
                break;
            if (status != RegStatus::Ok) {
                ++stats_.failedKeys;
                break;
            }
            if (isUnwritableName(value.name)) {
                ++stats_.skippedNames;
                continue;
            }
            if (winePrefix_ && isWineRewrittenDefault(currentPath, value.name))
                continue;
            out_ += name_;
            out_ += '\t';
            out_ += queuePath;
            out_ += '\t';
            out_ += value.name;
            const std::string data = valueDataField(value.type, value.data);
            if (!data.empty()) {
                out_ += '\t';
                out_ += data;
            }
            out_ += "\r\n";
            countLine();
        }

        Frame frame{std::move(key), currentPath, {}, 0};
        std::string child;
        for (uint32_t i = 0;; ++i) {
            const RegStatus status = registry_.enumKey(*frame.key, i, child);
            if (status == RegStatus::NotFound)
                break;
            if (status != RegStatus::Ok) {
                ++stats_.failedKeys;
                break;
            }
            if (child.empty() || isExcluded(name_, currentPath, child))
                continue;
            if (winePrefix_ && isWineRebuiltKey(currentPath + "\\" + child))
                continue;
            if (isUnwritableName(child)) {
                ++stats_.skippedNames;
                continue;
            }
            frame.children.push_back(child);
        }
        if (!frame.children.empty())
            stack_.push_back(std::move(frame));
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
    std::vector<Frame> stack_;
    std::string out_;
};

std::string_view textUpToNul(const std::string& data) {
    std::string_view text(data);
    return text.substr(0, text.find('\0'));
}

}  // namespace

std::string valueDataField(uint32_t type, const std::string& data) {
    switch (type) {
        case platform::kRegSz: {
            const std::string_view text = textUpToNul(data);
            if (hasLineBreak(text))
                return {};
            return "\"" + std::string(text) + "\"";
        }
        case platform::kRegExpandSz: {
            const std::string_view text = textUpToNul(data);
            if (hasLineBreak(text))
                return {};
            return "exp:" + std::string(text);
        }
        case platform::kRegDword: {
            unsigned char bytes[4] = {0, 0, 0, 0};
            std::memcpy(bytes, data.data(), std::min<size_t>(data.size(), 4));
            const uint32_t bits = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 |
                                  uint32_t{bytes[2]} << 16 | uint32_t{bytes[3]} << 24;
            return "int:" + std::to_string(static_cast<int32_t>(bits));
        }
        default:
            return {};
    }
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
