// Formatting of catalogue texts. Language files are written by users, so a
// format text is untrusted input: it is interpreted here, directive by
// directive, and every mismatch is reported instead of reaching printf.
#include <algorithm>
#include <string>

#include "language/MessageCatalogue.h"

namespace vornak {

namespace {

std::string describe(std::string_view format) {
    return "\"" + std::string(format) + "\"";
}

}  // namespace

std::string formatMessage(std::string_view format, const std::vector<FormatArg>& args) {
    std::string out;
    out.reserve(format.size() + 16);
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c != '%') {
            out += c;
            continue;
        }
        if (i + 1 == format.size()) {
            throw FormatError("format " + describe(format) + " ends with a lone '%'");
        }
        const char directive = format[++i];
        if (directive == '%') {
            out += '%';
            continue;
        }
        if (directive != 's' && directive != 'd') {
            throw FormatError("format " + describe(format) + " has an unknown directive '%" +
                              std::string(1, directive) + "'");
        }
        if (next >= args.size()) {
            throw FormatError("format " + describe(format) + " needs more than " +
                              std::to_string(args.size()) + " argument(s)");
        }
        const FormatArg& arg = args[next++];
        if (directive == 's') {
            const auto* text = std::get_if<std::string>(&arg);
            if (text == nullptr) {
                throw FormatError("format " + describe(format) + ": argument " +
                                  std::to_string(next) + " is not a text for %s");
            }
            out += *text;
        } else {
            const auto* number = std::get_if<int64_t>(&arg);
            if (number == nullptr) {
                throw FormatError("format " + describe(format) + ": argument " +
                                  std::to_string(next) + " is not an integer for %d");
            }
            out += std::to_string(*number);
        }
    }
    // Arguments a text does not use are left out, not an error: a translation may
    // leave out the count, and an entry no language has set yet (the empty text)
    // must show as empty rather than fail every status update.
    return out;
}

std::string formatMessage(Msg role, const std::vector<FormatArg>& args) {
    return formatMessage(messages().get(role), args);
}

std::string messageText(Msg role, const std::vector<FormatArg>& args) {
    try {
        return formatMessage(role, args);
    } catch (const FormatError&) {
        std::string text = messages().get(role);
        for (const auto& arg : args) {
            text += ' ';
            text += std::holds_alternative<std::string>(arg)
                        ? std::get<std::string>(arg)
                        : std::to_string(std::get<int64_t>(arg));
        }
        return text;
    }
}

std::string formatCountMessage(Msg one, Msg other, int64_t count, std::vector<FormatArg> rest) {
    std::vector<FormatArg> args(1 + rest.size());
    args[0] = count;
    std::move(rest.begin(), rest.end(), args.begin() + 1);
    return messageText(count == 1 ? one : other, args);
}

std::string statusCountText(int64_t rows, const MessageCatalogue& catalogue, bool* fits) {
    try {
        std::string text = formatMessage(catalogue.get(Msg::fmtStatusCount), {rows});
        if (fits)
            *fits = true;
        return text;
    } catch (const FormatError&) {
        if (fits)
            *fits = false;
        return {};
    }
}

}  // namespace vornak
