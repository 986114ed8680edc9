// Windows' own collation: CompareStringEx and LCMapStringEx ignoring case, for
// the user's locale. Its order is not ICU's: the tab does not sort before
// space, '-' and '\'', hyphens and apostrophes weigh less than letters
// ("coop" < "co-op") and "ß" equals "ss". Nothing may count on the tab.
#include <stdexcept>
#include <vector>

#include "platform/Collation.h"
#include "platform/win32/WideText.h"

namespace vornak::platform {
namespace {

// "da_DK" -> "da-DK"; the empty name is the invariant locale.
std::wstring localeName(const std::string& locale) {
    std::string name = locale.substr(0, locale.find_first_of(".@"));
    for (char& c : name)
        if (c == '_')
            c = '-';
    return win32::widen(name);
}

class Win32Collation final : public Collation {
  public:
    explicit Win32Collation(std::wstring locale, bool userDefault)
        : locale_(std::move(locale)), userDefault_(userDefault) {}

    int compare(std::string_view a, std::string_view b) const override {
        const std::wstring x = win32::widen(a), y = win32::widen(b);
        const int r = CompareStringEx(name(), NORM_IGNORECASE, x.data(), static_cast<int>(x.size()),
                                      y.data(), static_cast<int>(y.size()), nullptr, nullptr, 0);
        if (r == 0)
            return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
        return r - CSTR_EQUAL;
    }

    void sortKey(std::string_view text, std::string& out) const override {
        const std::wstring source = win32::widen(text);
        const int length = static_cast<int>(source.size());
        const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
        // The empty text has the key of the empty text, which LCMapStringEx refuses to make.
        if (length == 0)
            return;
        int needed = LCMapStringEx(name(), flags, source.data(), length, nullptr, 0, nullptr,
                                   nullptr, 0);
        if (needed <= 0) {
            out.append(text);
            return;
        }
        const size_t start = out.size();
        out.resize(start + static_cast<size_t>(needed));
        needed = LCMapStringEx(name(), flags, source.data(), length,
                               reinterpret_cast<LPWSTR>(out.data() + start), needed, nullptr,
                               nullptr, 0);
        // The key ends with a NUL that memcmp order does not need.
        out.resize(start + static_cast<size_t>(needed > 0 ? needed - 1 : 0));
    }

    std::string toUpper(std::string_view text) const override {
        return mapCase(text, LCMAP_UPPERCASE | LCMAP_LINGUISTIC_CASING);
    }

    std::string foldCase(std::string_view text) const override {
        return mapCase(text, LCMAP_LOWERCASE);
    }

  private:
    LPCWSTR name() const { return userDefault_ ? LOCALE_NAME_USER_DEFAULT : locale_.c_str(); }

    std::string mapCase(std::string_view text, DWORD flags) const {
        const std::wstring source = win32::widen(text);
        if (source.empty())
            return {};
        const int length = static_cast<int>(source.size());
        const int needed =
            LCMapStringEx(name(), flags, source.data(), length, nullptr, 0, nullptr, nullptr, 0);
        if (needed <= 0)
            return std::string(text);
        std::wstring mapped(static_cast<size_t>(needed), L'\0');
        LCMapStringEx(name(), flags, source.data(), length, mapped.data(), needed, nullptr,
                      nullptr, 0);
        return win32::narrow(mapped);
    }

    std::wstring locale_;
    bool userDefault_;
};

}  // namespace

std::unique_ptr<Collation> makeCollation(const std::string& locale) {
    return std::make_unique<Win32Collation>(localeName(locale), false);
}

std::unique_ptr<Collation> makeCollation() {
    return std::make_unique<Win32Collation>(std::wstring(), true);
}

// One object for every thread: it holds nothing that changes, and the calls are
// thread-safe. (A thread_local with a destructor crashed now and then at thread
// exit in the statically linked mingw-w64 build.)
const Collation& threadCollation() {
    static const Win32Collation collation(std::wstring(), true);
    return collation;
}

}  // namespace vornak::platform
