// ICU collation at secondary strength: letters compare without regard to case,
// accents count, and whitespace and punctuation keep their weights, so a tab
// sorts before every printable character.
#include <unicode/ucasemap.h>
#include <unicode/uset.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "platform/Collation.h"

namespace vornak::platform {
namespace {

std::string environmentLocale() {
    for (const char* var : {"LC_ALL", "LC_COLLATE", "LANG"}) {
        const char* value = std::getenv(var);
        if (value && *value) {
            std::string locale(value);
            locale = locale.substr(0, locale.find_first_of(".@"));
            if (locale == "C" || locale == "POSIX") return {};
            return locale;
        }
    }
    return {};
}

void toUtf16(std::string_view text, std::vector<UChar>& out) {
    out.resize(text.size() + 1);
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                         static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(static_cast<size_t>(length) + 1);
        status = U_ZERO_ERROR;
        u_strFromUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &length, text.data(),
                             static_cast<int32_t>(text.size()), 0xFFFD, nullptr, &status);
    }
    out.resize(U_SUCCESS(status) ? static_cast<size_t>(length) : 0);
}

class IcuCollation final : public Collation {
public:
    explicit IcuCollation(const std::string& locale) : locale_(locale) {
        UErrorCode status = U_ZERO_ERROR;
        collator_ = ucol_open(locale.c_str(), &status);
        if (U_FAILURE(status)) {
            status = U_ZERO_ERROR;
            collator_ = ucol_open("", &status);
        }
        if (U_FAILURE(status) || !collator_) throw std::runtime_error("cannot open the collation");
        ucol_setStrength(collator_, UCOL_SECONDARY);
        // Punctuation and whitespace are not ignorable: a tab must sort first.
        ucol_setAttribute(collator_, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        status = U_ZERO_ERROR;
        caseMap_ = ucasemap_open(locale.c_str(), 0, &status);
    }
    ~IcuCollation() override {
        if (caseMap_) ucasemap_close(caseMap_);
        if (collator_) ucol_close(collator_);
    }
    IcuCollation(const IcuCollation&) = delete;
    IcuCollation& operator=(const IcuCollation&) = delete;

    int compare(std::string_view a, std::string_view b) const override {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult r =
            ucol_strcollUTF8(collator_, a.data(), static_cast<int32_t>(a.size()), b.data(),
                             static_cast<int32_t>(b.size()), &status);
        if (U_FAILURE(status)) return a.compare(b);
        return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
    }

    void sortKey(std::string_view text, std::string& out) const override {
        toUtf16(text, buffer_);
        const size_t start = out.size();
        out.resize(start + buffer_.size() * 4 + 16);
        int32_t needed = ucol_getSortKey(collator_, buffer_.data(),
                                         static_cast<int32_t>(buffer_.size()),
                                         reinterpret_cast<uint8_t*>(out.data() + start),
                                         static_cast<int32_t>(out.size() - start));
        if (needed > static_cast<int32_t>(out.size() - start)) {
            out.resize(start + static_cast<size_t>(needed));
            needed = ucol_getSortKey(collator_, buffer_.data(),
                                     static_cast<int32_t>(buffer_.size()),
                                     reinterpret_cast<uint8_t*>(out.data() + start), needed);
        }
        // The key ends with a NUL that memcmp order does not need.
        out.resize(start + static_cast<size_t>(needed > 0 ? needed - 1 : 0));
    }

    std::array<uint8_t, 128> asciiRanks() const override {
        std::array<uint8_t, 128> ranks{};
        // Characters that form a contraction weigh with their neighbours: they
        // get no rank. The root collation has no contraction of such bytes
        // alone (the tests hold it to that); a locale's own are in its
        // tailoring, which is quick to list where listing every contraction
        // is not.
        bool single[128];
        std::fill(std::begin(single), std::end(single), true);
        UErrorCode status = U_ZERO_ERROR;
        USet* tailored = ucol_getTailoredSet(collator_, &status);
        if (U_FAILURE(status))
            return ranks;
        std::vector<UChar> text(64);
        for (int32_t i = 0; i < uset_getItemCount(tailored); ++i) {
            UChar32 start = 0, end = 0;
            status = U_ZERO_ERROR;
            int32_t length = uset_getItem(tailored, i, &start, &end, text.data(),
                                          static_cast<int32_t>(text.size()), &status);
            if (status == U_BUFFER_OVERFLOW_ERROR) {
                text.resize(static_cast<size_t>(length));
                status = U_ZERO_ERROR;
                length = uset_getItem(tailored, i, &start, &end, text.data(),
                                      static_cast<int32_t>(text.size()), &status);
            }
            if (U_FAILURE(status) || length < 2)
                continue;  // a character of its own is weighed below
            // One that holds any other character never forms in a text of
            // these bytes alone.
            const bool ascii = std::all_of(text.begin(), text.begin() + length,
                                           [](UChar c) { return c < 128; });
            for (int32_t k = 0; ascii && k < length; ++k)
                single[text[k]] = false;
        }
        uset_close(tailored);

        // One primary weight and the common secondary weight (that of "a"):
        // the key is primary bytes, 01, secondary bytes. An expansion has
        // several secondary weights, which make other secondary bytes.
        auto split = [this](char c, std::string& primary, std::string& secondary) {
            std::string key;
            sortKey(std::string_view(&c, 1), key);
            const size_t separator = key.find('\x01');
            primary = key.substr(0, separator);
            secondary = separator == std::string::npos ? std::string() : key.substr(separator + 1);
        };
        std::string primary, secondary, common;
        split('a', primary, common);
        std::vector<std::pair<std::string, char>> weighed;
        for (int c = 1; c < 128; ++c) {
            if (!single[c])
                continue;
            split(static_cast<char>(c), primary, secondary);
            if (!primary.empty() && secondary == common)
                weighed.emplace_back(primary, static_cast<char>(c));
        }
        std::sort(weighed.begin(), weighed.end());
        uint8_t rank = 0;
        for (size_t i = 0; i < weighed.size(); ++i) {
            if (i == 0 || weighed[i].first != weighed[i - 1].first)
                ++rank;
            ranks[static_cast<unsigned char>(weighed[i].second)] = rank;
        }
        return ranks;
    }

    std::string toUpper(std::string_view text) const override {
        return mapCase(text, true);
    }

    std::string foldCase(std::string_view text) const override {
        return mapCase(text, false);
    }

private:
    std::string mapCase(std::string_view text, bool upper) const {
        bool ascii = true;
        for (unsigned char c : text)
            if (c >= 0x80) {
                ascii = false;
                break;
            }
        if (ascii || !caseMap_) {
            std::string out(text);
            for (char& c : out) {
                if (upper && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                if (!upper && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            }
            return out;
        }
        auto fn = upper ? ucasemap_utf8ToUpper : ucasemap_utf8FoldCase;
        std::string out(text.size() * 3 + 8, '\0');
        UErrorCode status = U_ZERO_ERROR;
        int32_t n = fn(caseMap_, out.data(), static_cast<int32_t>(out.size()), text.data(),
                       static_cast<int32_t>(text.size()), &status);
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(static_cast<size_t>(n));
            status = U_ZERO_ERROR;
            n = fn(caseMap_, out.data(), static_cast<int32_t>(out.size()), text.data(),
                   static_cast<int32_t>(text.size()), &status);
        }
        if (U_FAILURE(status)) return std::string(text);
        out.resize(static_cast<size_t>(n));
        return out;
    }

    std::string locale_;
    UCollator* collator_ = nullptr;
    UCaseMap* caseMap_ = nullptr;
    mutable std::vector<UChar> buffer_;
};

}  // namespace

std::unique_ptr<Collation> makeCollation(const std::string& locale) {
    return std::make_unique<IcuCollation>(locale);
}

std::unique_ptr<Collation> makeCollation() { return makeCollation(environmentLocale()); }

const Collation& threadCollation() {
    thread_local std::unique_ptr<Collation> collation = makeCollation();
    return *collation;
}

}  // namespace vornak::platform
