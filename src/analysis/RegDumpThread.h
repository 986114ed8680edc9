// The registry snapshot worker: every key and value below one of four roots,
// one line each in walk order, written to logs\<root>_<n>.txt.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "analysis/AnalysisShared.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"

namespace vornak::analysis {

struct RegDumpInputs {
    std::shared_ptr<platform::RegistryStore> store;
    std::shared_ptr<const platform::FileSystem> fileSystem;
    int rootIndex = 0;  // 0 HKCR, 1 HKCU, 2 HKLM, 3 HKCC
    int32_t snapshotNumber = 1;
    std::string programFolder;  // with its trailing separator
    // Gets the registry-entries counter once the worker is done, for the
    // wizard's count display. It runs on the worker's thread; a window hands
    // it on to its own thread.
    std::function<void(int32_t)> onFinished;
    std::string runId;  // in the seal of the file (SnapshotSeal)
};

struct RegistryWalkStats {
    uint64_t lines = 0;
    uint64_t skippedNames = 0;  // names with a line break or a tab, left out with what lies below
    uint64_t failedKeys = 0;    // listings that the store could not finish
};

// The snapshot text of one root: for every key its key line (TAB root TAB
// queue path) and then its value lines (root TAB queue path TAB name, and
// for text, expandable text and 32-bit numbers TAB data), each ending in
// CR LF. Every key is visited once, parents before children, children in
// the store's enumeration order; HKLM\SYSTEM (in exactly that case) and the
// Software\Classes keys of HKLM and HKCU (shown as HKCR) are left out, and
// link keys are not gone through. `entries` goes up by one per line. In a
// Wine prefix (`winePrefix`) the few entries Wine rewrites at every start are
// left out too.
std::string registrySnapshotText(platform::RegistryAccessor& registry, int rootIndex,
                                 std::atomic<int32_t>& entries, RegistryWalkStats* stats = nullptr,
                                 bool winePrefix = false);

// The same text handed to `sink` a piece at a time, as it is made.
void writeRegistrySnapshot(platform::RegistryAccessor& registry, int rootIndex,
                           std::atomic<int32_t>& entries,
                           const std::function<void(std::string_view)>& sink,
                           RegistryWalkStats* stats = nullptr, bool winePrefix = false);

// The value line's data field for a value of `type` holding `data`; empty
// when the line has none (other types, and text with a line break in it,
// which would split the line).
std::string valueDataField(uint32_t type, const std::string& data);

class RegDumpThread {
  public:
    RegDumpThread(std::shared_ptr<AnalysisShared> shared, RegDumpInputs inputs);

    // The whole worker on the calling thread: walk, write, one completion
    // step, then the display callback.
    void Execute();

    static std::thread start(std::shared_ptr<AnalysisShared> shared, RegDumpInputs inputs);

  private:
    std::shared_ptr<AnalysisShared> shared_;
    RegDumpInputs inputs_;
};

}  // namespace vornak::analysis
