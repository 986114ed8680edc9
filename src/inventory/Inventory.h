// The inventory of registered programs: the master list read from both uninstall
// keys, the visible list the main window shows, the text and special filters and
// the hidden-entry filter. No widget code: the main window implements
// InventoryView and forwards its commands here; the command-line tool and the
// tests drive the same object.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace vornak {

namespace platform {
class FileSystem;
class FileLookup;
}

extern const char* const kUninstallKeyPath;  // "\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
extern const char* const kUninstallKeyPath32;  // the same below "\SOFTWARE\Wow6432Node"
extern const char* const kDeadMarker;        // "{!-DEAD-!}"
extern const char* const kCrapMarker;        // "{!-CRAP-!}"

// One row of either list.
struct UninstallEntry {
    std::string caption;       // display name, the only text shown
    int statusImage = 0;       // 0 ordinary, 1 dead
    std::string uninstallCommand;  // sub-item 0: "UninstallString" as stored
    std::string keyPath;           // sub-item 1: kUninstallKeyPath + "\" + key name
    std::string rootCode;          // sub-item 2: "LM" or "CU"

    // Sub-item n (0..2); the empty text for any other n.
    const std::string& subItem(int n) const;
    bool operator==(const UninstallEntry&) const = default;
};
using EntryList = std::vector<UninstallEntry>;

// The built-in adware names, in the order they are tested.
const std::vector<std::string>& CrapwareNames();

// Sort comparison: column 0 compares captions, column n >= 1 sub-item n-1, with
// the platform collation; the sign is reversed when `sortAscending` is false.
int CompareListRows(const UninstallEntry& a, const UninstallEntry& b, int column,
                    bool sortAscending);

// Status image for an uninstall command read under `rootCode` ("LM" or "CU"):
// 0 when the uninstaller exists or the command starts a system tool, else 1.
int ClassifyUninstallCommand(const std::string& command, const std::string& rootCode,
                             const platform::FileSystem& fs);
// The same, for many commands in one pass, through one lookup.
int ClassifyUninstallCommand(const std::string& command, const std::string& rootCode,
                             platform::FileLookup& files);

// What the window (or a test, or the command-line tool) provides to the logic.
class InventoryView {
public:
    virtual ~InventoryView() = default;
    // The visible list was replaced or changed: redraw it once.
    virtual void visibleListChanged() {}
    // Show `text` in the filter box without reporting it back as a change.
    virtual void showFilterText(const std::string& /*text*/) {}
    // Status bar panel 0.
    virtual void showStatus(const std::string& /*text*/) {}
    // Check marks of kundoedelinks, kuncrap, VisIkkeSkjulte changed.
    virtual void checkMarksChanged() {}
    // Splash screen progress bar during the build at creation time.
    virtual void setSplashMaximum(int /*maximum*/) {}
    virtual void stepSplash() {}
};

class Inventory {
public:
    explicit Inventory(InventoryView* view = nullptr);
    ~Inventory();

    void setView(InventoryView* view) { view_ = view; }
    // The file system for uninstaller tests and hidden.dat; the program's default
    // one unless set.
    void setFileSystem(std::shared_ptr<platform::FileSystem> fs);

    // Lists and flags.
    const EntryList& master() const { return master_; }
    const EntryList& visible() const { return visible_; }
    bool masterExists() const { return masterExists_; }
    // Whether the last build read the uninstall keys whole and found no
    // registration to list, before any filter or the hidden list took rows
    // away. False while nothing has been read, or when reading failed.
    bool registryEmpty() const { return registered_ == 0; }
    bool startupDone() const { return startupDone_; }
    void setStartupDone() { startupDone_ = true; }
    bool sortAscending() const { return sortAscending_; }

    // Rebuilds master and visible lists from the registry. May throw SilentAbort
    // (the lists are then left as far as they got).
    void RefreshInventory();

    // ---- Text and special filters ----
    const std::string& filterText() const { return filterText_; }
    // The filter box's text changed to `text` (typed, pasted or set by the program).
    // Setting the text it already holds is no change and runs nothing.
    void setFilterText(const std::string& text);
    void FilterBoxChange();
    void FilterRydClick();
    void kundoedelinksClick();  // may throw SilentAbort
    void kuncrapClick();        // may throw SilentAbort
    bool deadChecked() const { return deadChecked_; }
    bool crapChecked() const { return crapChecked_; }

    // ---- Hidden-entry filter ----
    bool hiddenFilterOn() const { return hiddenFilterOn_; }
    // Clears the check mark without running anything (used before re-applying).
    void clearHiddenFilterMark();
    void VisIkkeSkjulteClick();
    // Hides the visible row `selectedRow` (-1: none selected -> SilentAbort).
    void SkjulClick(int selectedRow);
    const std::vector<std::string>& hiddenList() const { return hiddenList_; }
    void setHiddenList(std::vector<std::string> lines) { hiddenList_ = std::move(lines); }
    // Start-up: load hidden.dat (UTF-8 when valid, else Windows-1252) and switch
    // the filter on unless "hidehidden" holds 0.
    void startHiddenFilter();
    // Why hidden.dat could not be read at the start (it names the file); empty
    // when it could, or was not there.
    const std::string& hiddenListError() const { return hiddenListError_; }
    // Close: write the hidden list to hidden.dat, replacing the file atomically,
    // in the user's data folder when the program's folder cannot take it; throws
    // std::runtime_error "Cannot create file <path>" when neither can. A
    // hidden.dat that could not be read at the start is kept. ("hidehidden" is written
    // with the other settings, from hiddenFilterOn().)
    void saveHiddenFilter() const;
    // The hidden.dat that is read: the user's own copy when there is one, else
    // the one beside the program.
    std::string hiddenFilePath() const;
    // Re-apply the hidden filter after a change of the master list or the hidden
    // list: when it is on, clear the mark and run the toggle (which turns it on).
    void reapplyHiddenFilter();
    // RefreshInventory then re-apply the filter-box text. A special filter whose
    // marker the box holds is applied again to the rebuilt list and shown checked.
    void RefreshAndRefilter();
    // Takes the registration (root code and key path) out of both lists.
    void removeEntry(const std::string& rootCode, const std::string& keyPath);

    // Status bar text: fmtStatusCount with the visible row count (statusCountText's rule).
    void writeStatus();

private:
    const platform::FileSystem& fileSystem() const;
    void copyMasterToVisible();
    void removeHiddenFromMaster();

    InventoryView* view_;
    std::shared_ptr<platform::FileSystem> fs_;
    mutable std::shared_ptr<platform::FileSystem> current_;
    EntryList master_;
    EntryList visible_;
    bool masterExists_ = false;
    // Rows the last complete build read; -1 before one, or after a failed one.
    long long registered_ = -1;
    bool startupDone_ = false;
    bool sortAscending_ = true;
    std::string filterText_;
    bool deadChecked_ = false;
    bool crapChecked_ = false;
    bool hiddenFilterOn_ = false;
    std::string hiddenListError_;
    std::vector<std::string> hiddenList_;
};

// hidden.dat: read by its line rules (CR LF, lone CR, lone LF; a final break adds
// no line; a NUL ends the text), written with CR LF after every line.
std::vector<std::string> parseHiddenList(const std::string& bytes);
std::string serializeHiddenList(const std::vector<std::string>& lines);

}  // namespace vornak
