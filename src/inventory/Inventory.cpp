#include "inventory/Inventory.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "language/MessageCatalogue.h"
#include "language/TextEncoding.h"
#include "platform/Collation.h"
#include "platform/FileSystem.h"
#include "platform/RegistryStore.h"
#include "registry/RegistryAccess.h"

namespace vornak {

const char* const kUninstallKeyPath = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kUninstallKeyPath32 =
    "\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char* const kDeadMarker = "{!-DEAD-!}";
const char* const kCrapMarker = "{!-CRAP-!}";

namespace {

const char* const kHiddenFileName = "hidden.dat";

// Calls the view's redraw once when the scope ends, also when a silent abort
// leaves the lists half built, so the window never shows stale rows.
class RedrawOnExit {
public:
    explicit RedrawOnExit(InventoryView* view) : view_(view) {}
    ~RedrawOnExit() {
        if (view_) view_->visibleListChanged();
    }
    RedrawOnExit(const RedrawOnExit&) = delete;
    RedrawOnExit& operator=(const RedrawOnExit&) = delete;

private:
    InventoryView* view_;
};

// The command and display name of every registration below one uninstall key,
// read at once: the list is rebuilt after every uninstall and edit, and a key
// look-up and a query per value cost several times the reading itself.
class RegistrationReader {
public:
    RegistrationReader(platform::RegistryAccessor* accessor, platform::RegRoot root,
                       const char* keyPath)
        : accessor_(accessor) {
        // The key is opened, not made: listing must not write.
        if (accessor_ &&
            accessor_->openKey(root, keyPath + 1, platform::RegAccess::Read, parent_) ==
                platform::RegStatus::Ok &&
            accessor_->readSubkeyValues(*parent_, {"UninstallString", "DisplayName"}, rows_) !=
                platform::RegStatus::Ok)
            rows_.clear();
    }

    // The registration `keyName` as read; nullptr when it had gone by then.
    // The names come in the order of the reading, so they are looked up in
    // passing; one that went or came meanwhile sends the look-up to an index.
    platform::SubkeyValues* find(const std::string& keyName) {
        if (next_ < rows_.size() && rows_[next_].name == keyName) return &rows_[next_++];
        if (index_.empty())
            for (size_t i = 0; i < rows_.size(); ++i) index_.emplace(rows_[i].name, i);
        const auto it = index_.find(keyName);
        if (it == index_.end()) return nullptr;
        next_ = it->second + 1;
        return &rows_[it->second];
    }

    // A value of a registration as ReadRegString gives it: the empty text when
    // it is missing or is no text. Each is taken once, so it is moved out.
    static std::string take(platform::SubkeyValues& row, size_t which) {
        auto& value = row.values[which];
        if (!value || (value->type != platform::kRegSz && value->type != platform::kRegExpandSz))
            return {};
        std::string text = std::move(value->data);
        text.resize(std::min(text.find('\0'), text.size()));
        return text;
    }
    static constexpr size_t kCommand = 0, kDisplayName = 1;

    // The names of the registrations there now; nothing when they cannot be read.
    std::optional<std::unordered_set<std::string>> namesNow() const {
        std::vector<platform::SubkeyValues> rows;
        if (!parent_ || accessor_->readSubkeyValues(*parent_, {}, rows) != platform::RegStatus::Ok)
            return std::nullopt;
        std::unordered_set<std::string> names;
        for (auto& row : rows) names.insert(std::move(row.name));
        return names;
    }

private:
    platform::RegistryAccessor* accessor_;
    std::unique_ptr<platform::RegKey> parent_;
    std::vector<platform::SubkeyValues> rows_;
    std::unordered_map<std::string, size_t> index_;
    size_t next_ = 0;
};

bool isMarker(const std::string& text) { return text == kDeadMarker || text == kCrapMarker; }

bool uninstallKeyExists(platform::RegRoot root, const char* keyPath) {
    try {
        auto accessor = platform::defaultRegistryStore()->accessor();
        std::unique_ptr<platform::RegKey> key;
        // A store file that cannot be read is no missing key: reading it then
        // fails, and the failure is told, not passed over as an empty root.
        const platform::RegStatus status =
            accessor->openKey(root, keyPath + 1, platform::RegAccess::Read, key);
        return status == platform::RegStatus::Ok || status == platform::RegStatus::StoreFailure;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

const std::string& UninstallEntry::subItem(int n) const {
    static const std::string empty;
    switch (n) {
        case 0:
            return uninstallCommand;
        case 1:
            return keyPath;
        case 2:
            return rootCode;
        default:
            return empty;
    }
}

const std::vector<std::string>& CrapwareNames() {
    static const std::vector<std::string> names = {
        "Alexa",       "Aureate",     "Gator",         "BonziBuddy",    "HotBar",
        "CyDoor",      "New.net",     "SaveNow",       "B3D Projector", "WebHancer",
        "Xupiter",     "OnFlow",      "Radiate",       "CoolWebSearch", "PurityScan",
        "N-Case",      "msbbb",       "GAIN",          "CWS",           "Transponder",
        "vx2",         "ISTbar",      "AUpdate",       "KeenValue",     "Internet Optimizer",
        "Perfect Keylogger", "TIBS Dialer"};
    return names;
}

int CompareListRows(const UninstallEntry& a, const UninstallEntry& b, int column,
                    bool sortAscending) {
    const std::string& x = column == 0 ? a.caption : a.subItem(column - 1);
    const std::string& y = column == 0 ? b.caption : b.subItem(column - 1);
    const int r = platform::threadCollation().compare(x, y);
    const int sign = r < 0 ? -1 : (r > 0 ? 1 : 0);
    return sortAscending ? sign : -sign;
}

int ClassifyUninstallCommand(const std::string& command, const std::string& rootCode,
                             platform::FileLookup& files) {
    // Every row of the list passes here: the texts are compared in place.
    auto lowerAt = [](const std::string& text, size_t at) {
        const char c = text[at];
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    auto startsWith = [&](const std::string& text, std::string_view prefix, size_t from = 0) {
        if (text.size() - from < prefix.size()) return false;
        for (size_t i = 0; i < prefix.size(); ++i)
            if (lowerAt(text, from + i) != prefix[i]) return false;
        return true;
    };

    std::string candidate;
    candidate.reserve(command.size());
    for (char c : command)
        if (c != '"') candidate.push_back(c);
    size_t exe = candidate.find('.');
    while (exe != std::string::npos && !startsWith(candidate, ".exe", exe))
        exe = candidate.find('.', exe + 1);
    candidate.resize(exe != std::string::npos ? exe + 4 : std::min<size_t>(candidate.size(), 3));
    if (!candidate.empty() && files.fileExists(candidate)) return 0;

    // System tools that carry the uninstall logic themselves need no file of their own.
    const bool cu = rootCode.size() == 2 && startsWith(rootCode, "cu");
    if (startsWith(command, cu ? "msiexec.exe" : "msiexec")) return 0;
    if (startsWith(command, "rundll32") || startsWith(command, "regsvr32") ||
        startsWith(command, "rundll.exe"))
        return 0;
    return 1;
}

int ClassifyUninstallCommand(const std::string& command, const std::string& rootCode,
                             const platform::FileSystem& fs) {
    return ClassifyUninstallCommand(command, rootCode, *fs.fileLookup());
}

std::vector<std::string> parseHiddenList(const std::string& bytes) {
    std::vector<std::string> lines;
    const size_t end = std::min(bytes.find('\0'), bytes.size());
    size_t start = 0;
    while (start < end) {
        size_t stop = start;
        while (stop < end && bytes[stop] != '\r' && bytes[stop] != '\n') ++stop;
        lines.emplace_back(bytes, start, stop - start);
        if (stop < end && bytes[stop] == '\r' && stop + 1 < end && bytes[stop + 1] == '\n')
            start = stop + 2;
        else
            start = stop + 1;
    }
    return lines;
}

std::string serializeHiddenList(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

Inventory::Inventory(InventoryView* view) : view_(view) {}

const platform::FileSystem& Inventory::fileSystem() const {
    if (fs_) return *fs_;
    // Looked up at use, so a file system set up after construction counts.
    current_ = platform::defaultFileSystem();
    return *current_;
}

Inventory::~Inventory() = default;

void Inventory::setFileSystem(std::shared_ptr<platform::FileSystem> fs) { fs_ = std::move(fs); }

void Inventory::RefreshInventory() {
    deadChecked_ = false;
    crapChecked_ = false;
    if (view_) view_->checkMarksChanged();
    RedrawOnExit redraw(view_);
    visible_.clear();
    registered_ = -1;

    // The master list exists before anything is read, so a failed read leaves it
    // empty rather than missing.
    if (!startupDone_) masterExists_ = true;

    const NameList lmNames = GetRegKeyNames("LM", kUninstallKeyPath);
    // The keys that may be missing are looked for first, since reading a key
    // through the access functions creates it: listing must not write (into a
    // Wine prefix, say, whose fresh HKCU has no uninstall key). 32-bit
    // installers register below Wow6432Node on a 64-bit system.
    const NameList cuNames = uninstallKeyExists(platform::RegRoot::CurrentUser, kUninstallKeyPath)
                                 ? GetRegKeyNames("CU", kUninstallKeyPath)
                                 : NameList{};
    const NameList lm32Names = uninstallKeyExists(platform::RegRoot::LocalMachine, kUninstallKeyPath32)
                                   ? GetRegKeyNames("LM", kUninstallKeyPath32)
                                   : NameList{};
    const size_t total = lmNames.size() + lm32Names.size() + cuNames.size();
    if (!startupDone_ && view_)
        view_->setSplashMaximum(static_cast<int>(total));

    const auto files = fileSystem().fileLookup();
    std::unique_ptr<platform::RegistryAccessor> accessor;
    try {
        accessor = platform::defaultRegistryStore()->accessor();
    } catch (const std::exception&) {
        // Every registration then reads as unreadable: no rows, as before.
    }
    master_.clear();
    master_.reserve(total);
    struct Source {
        const char* rootCode;
        const char* keyPath;
        const NameList& names;
    };
    const Source sources[] = {Source{"LM", kUninstallKeyPath, lmNames},
                              Source{"LM", kUninstallKeyPath32, lm32Names},
                              Source{"CU", kUninstallKeyPath, cuNames}};
    std::unique_ptr<RegistrationReader> readers[std::size(sources)];
    std::vector<size_t> rowSource;  // which source each row of master_ came from
    rowSource.reserve(total);
    const bool stepping = !startupDone_ && view_;
    for (size_t s = 0; s < std::size(sources); ++s) {
        const Source& source = sources[s];
        const char* rootCode = source.rootCode;
        const std::string prefix = std::string(source.keyPath) + "\\";
        if (source.names.empty()) continue;
        readers[s] = std::make_unique<RegistrationReader>(accessor.get(), *rootFromCode(rootCode),
                                                          source.keyPath);
        for (const std::string& keyName : source.names) {
            // One registration with a value that is not text must not cost the
            // user the rest of the list: without a readable command it gives no
            // row, without a readable name it is listed under its key name.
            platform::SubkeyValues* values = readers[s]->find(keyName);
            if (!values) continue;
            std::string command = RegistrationReader::take(*values, RegistrationReader::kCommand);
            if (command.empty()) continue;
            std::string caption = RegistrationReader::take(*values, RegistrationReader::kDisplayName);
            // Only leading blanks go; tabs and trailing blanks stay.
            caption.erase(0, std::min(caption.find_first_not_of(' '), caption.size()));
            if (caption.empty()) caption = keyName + " ***";
            UninstallEntry& row = master_.emplace_back();
            row.statusImage = ClassifyUninstallCommand(command, rootCode, *files);
            row.caption = std::move(caption);
            row.uninstallCommand = std::move(command);
            row.keyPath = prefix + keyName;
            row.rootCode = rootCode;
            rowSource.push_back(s);
            if (stepping) view_->stepSplash();
        }
    }

    // A splash step lets the window run, and what runs meanwhile may remove a
    // registration that was read already: one that has gone by the end of the
    // reading is left out, as it would be had it been read after.
    if (stepping && !master_.empty()) {
        // A source that cannot be listed again keeps its rows.
        std::optional<std::unordered_set<std::string>> present[std::size(sources)];
        for (size_t s = 0; s < std::size(sources); ++s)
            if (readers[s]) present[s] = readers[s]->namesNow();
        size_t kept = 0;
        for (size_t i = 0; i < master_.size(); ++i) {
            const size_t s = rowSource[i];
            const std::string keyName =
                master_[i].keyPath.substr(std::strlen(sources[s].keyPath) + 1);
            if (present[s] && present[s]->count(keyName) == 0) continue;
            if (kept != i) master_[kept] = std::move(master_[i]);
            ++kept;
        }
        master_.resize(kept);
    }

    // Its snapshot of the store is not kept past the reading.
    accessor.reset();

    // Sort by caption through precomputed collation keys: one key per row
    // instead of two collations per comparison.
    sortAscending_ = true;
    const auto& collation = platform::threadCollation();
    std::vector<std::string> keys(master_.size());
    for (size_t i = 0; i < master_.size(); ++i) collation.sortKey(master_[i].caption, keys[i]);
    std::vector<size_t> order(master_.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return keys[a] < keys[b]; });
    EntryList sorted;
    sorted.reserve(master_.size());
    for (size_t i : order) sorted.push_back(std::move(master_[i]));
    master_ = std::move(sorted);
    registered_ = static_cast<long long>(master_.size());

    visible_ = master_;

    if (hiddenFilterOn_) {
        hiddenFilterOn_ = false;
        VisIkkeSkjulteClick();
    }
}

void Inventory::setFilterText(const std::string& text) {
    if (text == filterText_) return;
    filterText_ = text;
    FilterBoxChange();
}

void Inventory::FilterBoxChange() {
    deadChecked_ = false;
    crapChecked_ = false;
    if (view_) view_->checkMarksChanged();
    if (isMarker(filterText_)) return;

    {
        RedrawOnExit redraw(view_);
        visible_.clear();
        if (filterText_.empty()) {
            visible_ = master_;
        } else {
            const auto& collation = platform::threadCollation();
            const std::string needle = collation.toUpper(filterText_);
            for (const auto& row : master_)
                if (collation.toUpper(row.caption).find(needle) != std::string::npos)
                    visible_.push_back(row);
        }
    }
    writeStatus();
}

void Inventory::FilterRydClick() {
    setFilterText(std::string());
    if (view_) view_->showFilterText(filterText_);
}

void Inventory::kundoedelinksClick() {
    setFilterText(kDeadMarker);
    if (view_) view_->showFilterText(filterText_);
    if (visible_.empty()) throw SilentAbort();
    {
        RedrawOnExit redraw(view_);
        std::erase_if(visible_, [](const UninstallEntry& row) { return row.statusImage == 0; });
    }
    writeStatus();
}

void Inventory::kuncrapClick() {
    setFilterText(kCrapMarker);
    if (view_) view_->showFilterText(filterText_);
    if (visible_.empty()) throw SilentAbort();
    {
        RedrawOnExit redraw(view_);
        const auto& collation = platform::threadCollation();
        std::vector<std::string> names;
        for (const auto& name : CrapwareNames()) names.push_back(collation.toUpper(name));
        std::erase_if(visible_, [&](const UninstallEntry& row) {
            const std::string caption = collation.toUpper(row.caption);
            for (const auto& name : names)
                if (caption.find(name) != std::string::npos) return false;
            return true;
        });
    }
    writeStatus();
}

void Inventory::clearHiddenFilterMark() {
    hiddenFilterOn_ = false;
    if (view_) view_->checkMarksChanged();
}

void Inventory::VisIkkeSkjulteClick() {
    if (hiddenFilterOn_) {
        clearHiddenFilterMark();
        RefreshInventory();
    } else {
        hiddenFilterOn_ = true;
        if (view_) view_->checkMarksChanged();
        removeHiddenFromMaster();
    }
    copyMasterToVisible();
    writeStatus();
}

void Inventory::removeHiddenFromMaster() {
    if (hiddenList_.empty() || master_.empty()) return;
    const std::unordered_set<std::string> hidden(hiddenList_.begin(), hiddenList_.end());
    std::erase_if(master_, [&](const UninstallEntry& row) { return hidden.count(row.caption) > 0; });
}

void Inventory::copyMasterToVisible() {
    RedrawOnExit redraw(view_);
    visible_ = master_;
}

void Inventory::SkjulClick(int selectedRow) {
    if (selectedRow < 0 || static_cast<size_t>(selectedRow) >= visible_.size()) throw SilentAbort();
    hiddenList_.push_back(visible_[static_cast<size_t>(selectedRow)].caption);
    if (hiddenFilterOn_) {
        RedrawOnExit redraw(view_);
        visible_.erase(visible_.begin() + selectedRow);
    }
    writeStatus();
}

std::string Inventory::hiddenFilePath() const {
    return platform::ownFileForReading(fileSystem(), kHiddenFileName);
}

void Inventory::startHiddenFilter() {
    hiddenList_.clear();
    hiddenListError_.clear();
    bool failed = false;
    const std::string path = hiddenFilePath();
    const platform::FileSystem& fs = fileSystem();
    if (fs.fileExists(path) || fs.directoryExists(path)) {
        if (auto bytes = fs.readFile(path, platform::readLimits::kHiddenList, &hiddenListError_))
            hiddenList_ = parseHiddenList(decodeLanguageText(*bytes));
        else
            failed = true;
    }
    bool on = false;
    if (!failed) {
        try {
            on = ReadRegBool("lm", kSettingsKeyPath, "hidehidden");
        } catch (const SilentAbort&) {
            failed = true;
        }
    }
    // The filter is on unless the settings say 0 in so many words.
    if (failed || on) VisIkkeSkjulteClick();
}

void Inventory::saveHiddenFilter() const {
    const platform::FileSystem& fs = fileSystem();
    // What could not be read is not ours to replace: it may be a list too
    // large for us, and all of it would be lost. The start said so. A folder
    // in its place holds no list: the write is tried, and its failure shown.
    if (!hiddenListError_.empty() && !fs.directoryExists(hiddenFilePath()))
        return;
    const std::string bytes = serializeHiddenList(hiddenList_);
    std::string folder = platform::ownFilesFolder(fs, kHiddenFileName);
    if (folder == fs.programFolder()) {
        if (fs.writeFile(folder + kHiddenFileName, bytes))
            return;
        // The program's folder refused it after all: the user's own folder serves.
        const std::string user = fs.userDataFolder();
        if (user.empty())
            throw std::runtime_error(
                messageText(Msg::fmtCannotCreateFile, {folder + kHiddenFileName}));
        folder = user;
    }
    const std::string path = folder + kHiddenFileName;
    if (!platform::makeFolders(fs, folder) || !fs.writeFile(path, bytes))
        throw std::runtime_error(messageText(Msg::fmtCannotCreateFile, {path}));
}

void Inventory::reapplyHiddenFilter() {
    if (!hiddenFilterOn_) return;
    clearHiddenFilterMark();
    VisIkkeSkjulteClick();
}

void Inventory::RefreshAndRefilter() {
    const std::string remembered = filterText_;
    RefreshInventory();
    if (isMarker(remembered)) {
        // The text detour would leave the list empty under a marker; the user
        // chose that special filter, so it narrows the rebuilt list again.
        if (!visible_.empty())
            remembered == kDeadMarker ? kundoedelinksClick() : kuncrapClick();
        else
            writeStatus();
        deadChecked_ = remembered == kDeadMarker;
        crapChecked_ = remembered == kCrapMarker;
        if (view_) view_->checkMarksChanged();
        return;
    }
    // Setting the text it already holds runs nothing, so go round by another text.
    setFilterText(remembered + "dummytextline");
    setFilterText(remembered);
    if (view_) view_->showFilterText(filterText_);
}

void Inventory::removeEntry(const std::string& rootCode, const std::string& keyPath) {
    auto same = [&](const UninstallEntry& row) {
        return row.rootCode == rootCode && row.keyPath == keyPath;
    };
    RedrawOnExit redraw(view_);
    std::erase_if(visible_, same);
    // The row was read as a registration; with the last one gone the registry
    // is as empty as a new build would find it.
    const auto removed = static_cast<long long>(std::erase_if(master_, same));
    if (registered_ > 0) registered_ = std::max(0LL, registered_ - removed);
}

void Inventory::writeStatus() {
    const std::string text = statusCountText(static_cast<int64_t>(visible_.size()));
    if (view_) view_->showStatus(text);
}

}  // namespace vornak
