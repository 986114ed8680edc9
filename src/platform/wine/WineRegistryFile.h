// One of a Wine prefix's registry files (system.reg, user.reg, userdef.reg) in
// Wine's own text format. Every key section and value keeps the text it was
// read from, and only what the program changes is written anew, so a file
// saved without changes is the file Wine wrote, byte for byte.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vornak::platform::posix {

struct WineValue {
    std::string name;  // UTF-8, as the program sees it
    uint32_t type = 0;
    std::string data;  // the program's bytes: strings in UTF-8, NUL-terminated as stored
    std::string raw;   // the text Wine wrote for it; empty once changed
};

struct WineKey {
    std::string name;  // case preserved
    WineKey* parent = nullptr;
    std::map<std::string, std::unique_ptr<WineKey>> children;  // by folded name
    // Wine writes a section only for a key with values, without subkeys, with a
    // class or a link; the others exist through their subkeys.
    bool hasSection = false;
    bool changed = false;            // section is written anew
    std::string header;              // "[path] secs\n#time=...\n" as read
    std::vector<std::string> meta;   // other '#' lines (#link, #class=...) as read
    std::vector<WineValue> values;   // creation order
    std::string trailer;             // blank lines after the section as read
};

class WineRegistryFile {
public:
    // Parses `text`; on failure returns null and says where in `error`.
    static std::unique_ptr<WineRegistryFile> parse(const std::string& text, std::string& error);

    std::string serialize() const;

    WineKey& root() { return root_; }
    // The key at the path below the root (names in any letter case), or null.
    WineKey* find(const std::vector<std::string>& names);
    // Creates missing keys (without sections until they get values).
    WineKey* create(const std::vector<std::string>& names, bool* created);
    // Gives the key a section of its own, written anew with the current time.
    void touch(WineKey& key);
    // Removes a key without subkeys; its parent keeps existing.
    void remove(WineKey& key);

private:
    WineKey* insertKey(WineKey& parent, const std::string& name);
    void place(WineKey& key);

    std::string preamble_;
    WineKey root_;
    std::vector<WineKey*> order_;  // sections in file order
};

// Wine's string escaping (UTF-8 in, the file's ASCII text out) for value text
// (`quote` '"') and key paths ('[' and ']').
std::string wineEscape(const std::string& utf8, bool keyName);
// Wine's text for one value, line breaks included.
std::string wineValueText(const WineValue& value);

}  // namespace vornak::platform::posix
