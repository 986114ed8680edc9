#include "platform/model/RegistryNames.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include "platform/RegistryStore.h"

namespace vornak::platform::posix {

std::string foldName(std::string_view name) {
    std::string out(name);
    bool ascii = true;
    for (char& c : out) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (ascii)
        return out;

    out.clear();
    out.reserve(name.size());
    const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
    const auto length = static_cast<int32_t>(name.size());
    int32_t i = 0;
    while (i < length) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(bytes, i, length, c);
        if (c < 0) {
            // Not UTF-8: keep the bytes, so distinct names stay distinct.
            out.append(name.data() + start, static_cast<size_t>(i - start));
            continue;
        }
        const UChar32 folded = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        uint8_t buffer[U8_MAX_LENGTH];
        int32_t n = 0;
        UBool error = false;
        U8_APPEND(buffer, n, U8_MAX_LENGTH, folded, error);
        if (error)
            out.append(name.data() + start, static_cast<size_t>(i - start));
        else
            out.append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    }
    return out;
}


}  // namespace vornak::platform::posix
