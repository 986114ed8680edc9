// vornak reg query: keys and values printed as reg.exe prints them.
#include <cstdio>
#include <iostream>
#include <vector>

#include "cli/RegCommand.h"
#include "registry/RegFileText.h"

namespace vornak::cli::reg {
namespace {

using platform::RegStatus;
using platform::RegValue;

std::string typeName(uint32_t type) {
    static const char* const kNames[] = {
        "REG_NONE",
        "REG_SZ",
        "REG_EXPAND_SZ",
        "REG_BINARY",
        "REG_DWORD",
        "REG_DWORD_BIG_ENDIAN",
        "REG_LINK",
        "REG_MULTI_SZ",
        "REG_RESOURCE_LIST",
        "REG_FULL_RESOURCE_DESCRIPTOR",
        "REG_RESOURCE_REQUIREMENTS_LIST",
        "REG_QWORD",
    };
    if (type < std::size(kNames))
        return kNames[type];
    char buf[40];
    std::snprintf(buf, sizeof buf, "REG_UNKNOWN(0x%x)", type);
    return buf;
}

std::string upperHex(const std::string& data) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : data) {
        const auto b = static_cast<unsigned char>(ch);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

uint64_t littleEndian(const std::string& data) {
    uint64_t v = 0;
    for (size_t i = data.size(); i-- > 0;)
        v = (v << 8) | static_cast<unsigned char>(data[i]);
    return v;
}

std::string formatData(const RegValue& value) {
    const std::string& d = value.data;
    char buf[32];
    switch (value.type) {
        case platform::kRegSz:
        case platform::kRegExpandSz:
            return registry::lineSafe(d.substr(0, d.find('\0')));
        case platform::kRegMultiSz: {
            std::string list = d;
            while (!list.empty() && list.back() == '\0')
                list.pop_back();
            std::string out;
            for (char c : list)
                out += c == '\0' ? std::string("\\0") : registry::lineSafe(std::string(1, c));
            return out;
        }
        case platform::kRegDword:
            if (d.size() != 4)
                break;
            std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(littleEndian(d)));
            return buf;
        case kRegDwordBigEndian:
            // reg.exe stores and shows it in the machine's order, as REG_DWORD.
            if (d.size() != 4)
                break;
            std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(littleEndian(d)));
            return buf;
        case platform::kRegQword:
            if (d.size() != 8)
                break;
            std::snprintf(buf, sizeof buf, "0x%llx",
                          static_cast<unsigned long long>(littleEndian(d)));
            return buf;
        default:
            break;
    }
    return upperHex(d);
}

std::string valueLine(const RegValue& value) {
    const std::string name =
        value.name.empty() ? std::string("(Default)") : registry::lineSafe(value.name);
    return "    " + name + "    " + typeName(value.type) + "    " + formatData(value) + "\n";
}

std::string join(const std::string& path, const std::string& name) {
    return path.empty() ? name : path + "\\" + name;
}

// A key as reg.exe lists it: its name and values, then a blank line, and its
// subkeys by name (or, with /s, each listed the same way). The key queried
// itself is named only when it has values; every key below it always is. A
// subkey that is listed but cannot be opened (a link whose target is gone, as
// Wine leaves some) goes into `unreachable` and the walk goes on.
RegStatus listKey(platform::RegistryAccessor& acc, const KeyName& name, bool recurse, bool below,
                  std::string& out, std::vector<std::string>& unreachable) {
    std::vector<std::string> names;
    {
        std::unique_ptr<platform::RegKey> key;
        RegStatus st = acc.openKey(name.root, name.path, platform::RegAccess::Read, key);
        if (st != RegStatus::Ok)
            return st;
        std::string values;
        for (uint32_t i = 0;; ++i) {
            RegValue value;
            st = acc.enumValue(*key, i, value);
            if (st == RegStatus::NotFound)
                break;
            if (st != RegStatus::Ok)
                return st;
            values += valueLine(value);
        }
        if (!values.empty() || below)
            out += registry::lineSafe(name.full()) + "\n" + values + "\n";
        st = platform::listSubkeyNames(acc, *key, names);
        if (st != RegStatus::Ok)
            return st;
    }
    if (!recurse) {
        for (const auto& n : names)
            out += registry::lineSafe(name.full() + "\\" + n) + "\n";
        return RegStatus::Ok;
    }
    for (const auto& n : names) {
        const KeyName child{name.root, join(name.path, n)};
        const RegStatus st = listKey(acc, child, true, true, out, unreachable);
        if (st == RegStatus::NotFound)
            unreachable.push_back(child.full());
        else if (st != RegStatus::Ok)
            return st;
    }
    return RegStatus::Ok;
}

// /v NAME /s: every key below that holds the value.
RegStatus searchValue(platform::RegistryAccessor& acc, const KeyName& name,
                      const std::string& valueName, std::string& out, int& matches,
                      std::vector<std::string>& unreachable) {
    std::vector<std::string> names;
    {
        std::unique_ptr<platform::RegKey> key;
        RegStatus st = acc.openKey(name.root, name.path, platform::RegAccess::Read, key);
        if (st != RegStatus::Ok)
            return st;
        RegValue value;
        st = acc.queryValue(*key, valueName, value);
        if (st == RegStatus::Ok) {
            out += "\n" + registry::lineSafe(name.full()) + "\n" + valueLine(value);
            ++matches;
        } else if (st != RegStatus::NotFound) {
            return st;
        }
        st = platform::listSubkeyNames(acc, *key, names);
        if (st != RegStatus::Ok)
            return st;
    }
    for (const auto& n : names) {
        const KeyName child{name.root, join(name.path, n)};
        const RegStatus st = searchValue(acc, child, valueName, out, matches, unreachable);
        if (st == RegStatus::NotFound)
            unreachable.push_back(child.full());
        else if (st != RegStatus::Ok)
            return st;
    }
    return RegStatus::Ok;
}

}  // namespace

int query(const Args& args) {
    KeyName name;
    if (args.empty() || looksLikeOption(args[0]))
        return syntaxError("query");
    if (!parseKeyName(args[0], name))
        return fail(kInvalidKey);
    bool recurse = false, haveValue = false, defaultValue = false;
    std::string valueName;
    for (size_t i = 1; i < args.size(); ++i) {
        if (isOption(args[i], "s") && !recurse) {
            recurse = true;
        } else if (isOption(args[i], "v") && !haveValue && !defaultValue && i + 1 < args.size()) {
            haveValue = true;
            valueName = args[++i];
        } else if (isOption(args[i], "ve") && !haveValue && !defaultValue) {
            defaultValue = true;
        } else {
            return syntaxError("query");
        }
    }

    if (haveValue && !isValidValueName(valueName))
        return fail(kInvalidValueName);
    auto acc = openAccessor();
    std::string out;
    std::vector<std::string> unreachable;
    if (!haveValue && !defaultValue) {
        out = "\n";
        const RegStatus st = listKey(*acc, name, recurse, false, out, unreachable);
        if (st != RegStatus::Ok)
            return statusError(st, *acc);
    } else if (recurse) {
        int matches = 0;
        const RegStatus st = searchValue(*acc, name, valueName, out, matches, unreachable);
        if (st != RegStatus::Ok)
            return valueStatusError(st, *acc);
        if (matches == 0)
            return fail(kNotFound);
        out += "\nEnd of search: " + std::to_string(matches) + " match(es) found.\n";
    } else {
        std::unique_ptr<platform::RegKey> key;
        RegStatus st = acc->openKey(name.root, name.path, platform::RegAccess::Read, key);
        if (st != RegStatus::Ok)
            return statusError(st, *acc);
        RegValue value;
        st = acc->queryValue(*key, valueName, value);
        if (st == RegStatus::NotFound && defaultValue) {
            out = "\n" + registry::lineSafe(name.full()) +
                  "\n    (Default)    REG_SZ    (value not set)\n\n";
        } else if (st != RegStatus::Ok) {
            return valueStatusError(st, *acc);
        } else {
            if (defaultValue)
                value.name.clear();
            out = "\n" + registry::lineSafe(name.full()) + "\n" + valueLine(value) + "\n";
        }
    }
    std::cout << out << std::flush;
    warnUnreachable(unreachable);
    // The query itself succeeded; output that could not be written (a closed or
    // full standard output) is no failed query, as for reg.exe.
    return 0;
}

}  // namespace vornak::cli::reg
