// One of a Wine prefix's registry files (system.reg, user.reg, userdef.reg) in
// Wine's own text format.
//
// A big prefix's system.reg holds hundreds of thousands of keys of which the
// program looks inside a few dozen, so reading it builds only the tree of key
// names with where each key's section lies in the file; the file stays open,
// and a section is decoded from it when the program first looks inside that
// key. Reading checks the section headers (a damaged key path or a key listed
// twice refuses the file); a section's values are checked when it is first
// looked into, and one that does not read is never written anew. Only what the
// program changes is written anew: the other sections are copied from the file
// as they stand, so a file saved without changes is the file Wine wrote, byte
// for byte, and a damaged line where the program never looked stays as it was.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/wine/PrefixCommit.h"

namespace vornak::platform::posix {

struct WineValue {
    std::string name;  // UTF-8, as the program sees it
    uint32_t type = 0;
    std::string data;  // the program's bytes: strings in UTF-8, NUL-terminated as stored
    std::string raw;   // the text Wine wrote for it; empty once changed
};

// A key's section, decoded.
struct WineSection {
    std::string header;              // "[path] secs\n#time=...\n" as read
    std::vector<std::string> meta;   // other '#' lines (#link, #class=...) as read
    std::vector<WineValue> values;   // creation order
    std::string trailer;             // blank lines after the section as read
};

// Memory handed out in large blocks and given back only with the arena: a big
// file's hundreds of thousands of keys, their names and their lists of subkeys
// cost a few hundred allocations, not a million.
class WineArena {
public:
    WineArena() = default;
    ~WineArena();
    WineArena(const WineArena&) = delete;
    WineArena& operator=(const WineArena&) = delete;
    void* allocate(size_t bytes, size_t align);
    // Takes huge pages from the start: it will hold a big file's keys.
    void holdMany() { big_ = true; }

private:
    struct Block {
        void* at;
        size_t size;
        bool mapped;
    };
    std::vector<Block> blocks_;
    std::byte* at_ = nullptr;
    size_t left_ = 0, total_ = 0;
    bool big_ = false;
};

template <class T>
struct WineArenaAllocator {
    using value_type = T;
    using propagate_on_container_move_assignment = std::true_type;
    WineArena* arena = nullptr;
    WineArenaAllocator() = default;
    explicit WineArenaAllocator(WineArena* a) : arena(a) {}
    template <class U>
    WineArenaAllocator(const WineArenaAllocator<U>& other) : arena(other.arena) {}
    T* allocate(size_t n) { return static_cast<T*>(arena->allocate(n * sizeof(T), alignof(T))); }
    void deallocate(T*, size_t) {}
    template <class U>
    bool operator==(const WineArenaAllocator<U>& other) const { return arena == other.arena; }
};

struct WineKey {
    std::string_view name;  // case preserved; the file keeps the text
    WineKey* parent = nullptr;
    // In the order of their folded names; the file owns them.
    std::vector<WineKey*, WineArenaAllocator<WineKey*>> children;
    // Wine writes a section only for a key with values, without subkeys, with a
    // class or a link; the others exist through their subkeys.
    bool hasSection = false;
    bool changed = false;   // its section is written anew
    bool link = false;      // its section has a "#link" line
    bool trailer = false;   // a blank line follows its section in the file
    uint32_t offset = 0;    // where its section's text lies in the file read
    uint32_t size = 0;
    // Decoded for a change (or made for a new section); written from here.
    std::unique_ptr<WineSection> section;
};

class WineRegistryFile {
public:
    WineRegistryFile();
    ~WineRegistryFile();
    WineRegistryFile(const WineRegistryFile&) = delete;
    WineRegistryFile& operator=(const WineRegistryFile&) = delete;

    // Parses `text`; on failure returns null and says where in `error`. A
    // text of `splitFrom` bytes or more is read in parts by two threads at once.
    static std::unique_ptr<WineRegistryFile> parse(std::string text, std::string& error,
                                                   uint64_t splitFrom = uint64_t{1} << 20);
    // Reads the file at `path` (a regular file of a registry file's size at
    // most) and keeps it open; `identity` gets the status of the file read.
    // On failure null, and `error` names the file and says why.
    static std::unique_ptr<WineRegistryFile> open(const std::string& path, std::string& error,
                                                  struct stat* identity = nullptr);

    // The whole text, as the pieces of a new file: sections untouched since
    // reading are ranges of the file read (while it is open), the rest text.
    std::vector<FilePiece> pieces() const;
    // The whole text; false with the reason when the file read cannot be read again.
    bool serialize(std::string& out, std::string& error) const;

    WineKey& root() { return *root_; }
    // The subkey of that name in any letter case, or null.
    WineKey* child(const WineKey& key, std::string_view name) const;
    // The key at the path below the root (names in any letter case), or null.
    WineKey* find(const std::vector<std::string>& names) const;
    // Creates missing keys (without sections until they get values).
    WineKey* create(const std::vector<std::string>& names, bool* created);

    // The key's section as it stands: the one decoded for a change, else
    // decoded into `scratch` (an empty one for a key without a section).
    // Null when the file read cannot be read again, with the reason in `error`.
    const WineSection* view(const WineKey& key, WineSection& scratch, std::string& error) const;
    // The key's section, decoded to be changed and kept for writing.
    WineSection* edit(WineKey& key, std::string& error);
    // Gives the key a section of its own, written anew with the current time.
    bool touch(WineKey& key, std::string& error);
    // Removes a key without subkeys; its parent keeps existing.
    void remove(WineKey& key);

private:
    bool build(uint64_t size, uint64_t splitFrom, std::string& error);
    bool addSections(const WineRegistryFile& source, uint64_t begin, uint64_t end, std::string* preamble,
                     uint64_t& faultAt, std::string& why);
    void adopt(WineKey& into, WineKey& from, uint64_t& twice);
    uint64_t sectionAfter(uint64_t from, uint64_t size) const;
    WineKey* insertKey(WineKey& parent, std::string_view name);
    WineKey& newKey();
    void place(WineKey& key);
    bool readRange(uint64_t offset, uint64_t size, std::string& out, std::string& error) const;
    bool decode(const WineKey& key, WineSection& out, std::string& error) const;
    size_t lineAt(uint64_t offset) const;

    std::string preamble_;
    WineArena arena_;  // the keys, their names and lists of subkeys
    // Every key made, the root first, by the blocks they were made in.
    std::vector<std::pair<WineKey*, size_t>> keys_;
    size_t keysLeft_ = 0;
    WineKey* root_ = nullptr;
    // Where the keys of the parts read on their own live.
    std::vector<std::unique_ptr<WineRegistryFile>> parts_;
    std::vector<WineKey*> order_;  // sections in file order
    std::string text_;             // the text parsed, when not read from a file
    int fd_ = -1;                  // the file read, when read from one
    std::string path_;
};

// Wine's string escaping (UTF-8 in, the file's ASCII text out) for value text
// (`quote` '"') and key paths ('[' and ']').
std::string wineEscape(const std::string& utf8, bool keyName);
// Wine's text for one value, line breaks included.
std::string wineValueText(const WineValue& value);

}  // namespace vornak::platform::posix
