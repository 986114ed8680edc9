// What the hidden-filter editor works on, without its window: a sorted working
// copy of the hidden list without case-insensitive duplicates, the deletions
// made in it, and what closing the editor does to the inventory.
#pragma once

#include <string>
#include <vector>

namespace vornak {

class Inventory;
namespace platform {
class Collation;
}

// The lines sorted with the collation; of lines that compare equal (they differ
// in letter case only) the one met first survives.
std::vector<std::string> sortedUniqueLines(const std::vector<std::string>& lines,
                                           const platform::Collation& collation);

class HiddenFilterEditorModel {
public:
    // FormActivate: a fresh working copy of the hidden list; not modified.
    void load(const std::vector<std::string>& hiddenList, const platform::Collation& collation);
    void load(const std::vector<std::string>& hiddenList);  // with the thread's collation

    const std::vector<std::string>& lines() const { return lines_; }
    bool modified() const { return modified_; }

    // SletValgteClick: removes line `index` (-1 or out of range: nothing is
    // removed) and marks the copy modified either way.
    void deleteLine(int index);

    // FormCloseQuery: when modified, the working copy becomes the hidden list;
    // with the hidden-entry filter on, the inventory is then read again and the
    // filter re-applied, so entries taken off the list reappear at once.
    // RefreshInventory may raise the silent abort.
    void apply(Inventory& inventory) const;

private:
    std::vector<std::string> lines_;
    bool modified_ = false;
};

}  // namespace vornak
