#include "app/FontCharset.h"

#include <QFontDatabase>
#include <QList>
#include <cctype>
#include <climits>

namespace vornak::app {

int charsetForFamily(const QString& family) {
    const auto systems = QFontDatabase::writingSystems(family);
    if (systems.isEmpty() || systems.contains(QFontDatabase::Latin)) return kAnsiCharset;
    struct Pair {
        QFontDatabase::WritingSystem system;
        int charset;
    };
    // Windows numbers: SYMBOL 2, SHIFTJIS 128, HANGUL 129, GB2312 134,
    // CHINESEBIG5 136, GREEK 161, HEBREW 177, ARABIC 178, RUSSIAN 204, THAI 222.
    static const Pair kPairs[] = {
        {QFontDatabase::Greek, 161},           {QFontDatabase::Cyrillic, 204},
        {QFontDatabase::Hebrew, 177},          {QFontDatabase::Arabic, 178},
        {QFontDatabase::Thai, 222},            {QFontDatabase::Japanese, 128},
        {QFontDatabase::Korean, 129},          {QFontDatabase::SimplifiedChinese, 134},
        {QFontDatabase::TraditionalChinese, 136}, {QFontDatabase::Symbol, 2},
    };
    for (const auto& pair : kPairs)
        if (systems.contains(pair.system)) return pair.charset;
    return kAnsiCharset;
}

std::optional<int> parseWholeNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isdigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

}  // namespace vornak::app
