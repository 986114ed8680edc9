// The platform collation: locale-aware comparison that ignores letter case.
// It orders the inventory and every sorted list of the analyser. On Windows it is
// CompareString with NORM_IGNORECASE; elsewhere ICU at secondary strength for the
// locale of the environment. Either way a text sorts before every longer text
// that begins with it, and the tab before the backslash (a folder's snapshot line
// before its contents). Only with ICU does the tab sort before every printable
// character: Windows puts space, '\'' and '-' before it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vornak::platform {

class Collation {
public:
    virtual ~Collation() = default;
    // Negative, zero or positive. Texts are in the system encoding.
    virtual int compare(std::string_view a, std::string_view b) const = 0;
    // A byte string whose memcmp order equals compare()'s order. Appends to `out`.
    virtual void sortKey(std::string_view text, std::string& out) const = 0;
    // For ordering many texts without a sort key each: a rank for every byte
    // below 0x80 that the collation weighs on its own, with one weight that
    // only letter case shares, and 0 for the others (ignorable characters,
    // parts of contractions or expansions). Two texts made only of ranked
    // bytes compare as their rank sequences do, a shorter prefix first. The
    // default ranks none.
    virtual std::array<uint8_t, 128> asciiRanks() const { return {}; }
    // Upper-cases with the rules of the locale (used by caption matching).
    virtual std::string toUpper(std::string_view text) const = 0;
    // Case-folded form for caseless identity (registry names, root codes).
    virtual std::string foldCase(std::string_view text) const = 0;
};

// A collation object is not shared between threads: each thread makes its own.
std::unique_ptr<Collation> makeCollation();
// The same for a named locale ("da_DK", "en_US", "" = root).
std::unique_ptr<Collation> makeCollation(const std::string& locale);

// The calling thread's collation for the environment's locale.
const Collation& threadCollation();

}  // namespace vornak::platform
