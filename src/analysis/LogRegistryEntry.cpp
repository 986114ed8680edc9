#include "analysis/LogRegistryEntry.h"

#include "analysis/AnalysisFiles.h"

namespace vornak::analysis {
namespace {

std::optional<platform::RegRoot> snapshotRoot(std::string_view name) {
    for (const auto& root : kSnapshotRoots)
        if (name == root.name)
            return root.root;
    return std::nullopt;
}

bool isUsableKeyPath(std::string_view apiPath) {
    if (apiPath.empty())
        return true;
    size_t start = 0;
    while (true) {
        const size_t end = apiPath.find('\\', start);
        if (end == start || start == apiPath.size())
            return false;  // empty component
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

}  // namespace

std::optional<RegistryEntry> parseRegistryEntry(std::string_view text) {
    RegistryEntry entry;
    if (!text.empty() && text.front() == '\t') {
        entry.isKey = true;
        text.remove_prefix(1);
    }
    const size_t tab = text.find('\t');
    if (tab == std::string_view::npos)
        return std::nullopt;
    const auto root = snapshotRoot(text.substr(0, tab));
    if (!root)
        return std::nullopt;
    entry.root = *root;
    std::string_view path = text.substr(tab + 1);
    if (!entry.isKey) {
        const size_t nameTab = path.find('\t');
        if (nameTab == std::string_view::npos)
            return std::nullopt;
        entry.rest = std::string(path.substr(nameTab + 1));
        path = path.substr(0, nameTab);
    }
    if (!path.empty() && path.front() == '\\')
        path.remove_prefix(1);
    if (!isUsableKeyPath(path))
        return std::nullopt;
    entry.apiPath = std::string(path);
    entry.keyPath = "\\" + entry.apiPath;
    return entry;
}

}  // namespace vornak::analysis
