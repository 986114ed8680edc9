// vornak reg QUERY|ADD|DELETE|COPY|IMPORT|EXPORT: dispatch and the pieces the
// operations share.
#include "cli/RegCommand.h"

#include <iostream>

#include "platform/Console.h"
#include "platform/model/Wow64View.h"
#include "registry/RegFileText.h"

namespace vornak::cli::reg {
namespace {

// /reg:32 names keys as a 32-bit program sees them; /reg:64, the default, as
// they are.
bool g_view32 = false;

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowerAscii(std::string s) {
    for (char& c : s)
        c = lower(c);
    return s;
}

struct Operation {
    const char* name;
    const char* synopsis;
    const char* details;
    int (*run)(const Args&);
};

const Operation kOperations[] = {
    {"query", "  vornak reg query KEY [/v NAME | /ve] [/s]\n",
     "Lists the values and subkeys of KEY, with /s those of every key below it; /v and /ve\n"
     "name one value (with /s: in every key below KEY that has it).\n",
     query},
    {"add", "  vornak reg add KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n",
     "Creates KEY and sets a value: /v NAME, or the default value (/ve, or neither).\n"
     "TYPE is REG_SZ (the default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_BINARY, REG_DWORD,\n"
     "REG_DWORD_LITTLE_ENDIAN, REG_DWORD_BIG_ENDIAN, REG_QWORD or REG_NONE. /f overwrites\n"
     "without asking.\n",
     add},
    {"delete", "  vornak reg delete KEY [/v NAME | /ve | /va] [/f]\n",
     "Deletes KEY with everything below it, or one value (/v, /ve) or all its values (/va).\n"
     "/f deletes without asking.\n",
     remove},
    {"copy", "  vornak reg copy KEY1 KEY2 [/s] [/f]\n",
     "Copies the values of KEY1 into KEY2 (made if missing), with /s its subkeys too, all or\n"
     "nothing. /f overwrites values KEY2 already has without asking.\n",
     copy},
    {"import", "  vornak reg import FILE\n",
     "Imports a registry file (REGEDIT4 or Windows Registry Editor Version 5.00), all or\n"
     "nothing.\n",
     importFile},
    {"export", "  vornak reg export KEY FILE [/y]\n",
     "Writes KEY with everything below it into FILE; /y replaces FILE without asking.\n",
     exportFile},
};

const char* const kCommonUsage =
    "Each takes /reg:32 (keys as 32-bit programs see them, below Wow6432Node) or\n"
    "/reg:64 (the default).\n"
    "KEY is ROOT\\Subkey, ROOT one of HKLM, HKCU, HKCR, HKU, HKCC (or their HKEY_ names).\n"
    "Works on the store in $VORNAK_REGISTRY_DIR.\n";

// /?, -?, /h and -h in any case.
bool isHelpSwitch(const std::string& arg) {
    const std::string word = lowerAscii(arg);
    return word == "/?" || word == "-?" || word == "/h" || word == "-h" || word == "--help";
}

int run(const Args& args) {
    if (args.empty())
        return syntaxError("");
    const std::string op = lowerAscii(args[0]);
    if (isHelpSwitch(op)) {
        if (args.size() > 1)
            return syntaxError("");
        std::cout << "usage:\n";
        for (const auto& o : kOperations)
            std::cout << o.synopsis;
        std::cout << kCommonUsage;
        return 0;
    }
    const Operation* operation = nullptr;
    for (const auto& o : kOperations)
        if (op == o.name)
            operation = &o;
    if (!operation)
        return fail("ERROR: Invalid syntax. Unknown operation \"" + args[0] +
                    "\"; type \"vornak reg /?\" for usage.");
    if (args.size() > 1 && isHelpSwitch(args[1])) {
        // Help stands alone, as for reg.exe.
        if (args.size() > 2)
            return syntaxError(op);
        std::cout << "usage:\n" << operation->synopsis << operation->details << kCommonUsage;
        return 0;
    }
    Args rest;
    bool view32 = false, view64 = false;
    for (auto it = args.begin() + 1; it != args.end(); ++it) {
        const std::string word = lowerAscii(*it);
        const bool is32 = word == "/reg:32" || word == "-reg:32";
        if (!is32 && word != "/reg:64" && word != "-reg:64") {
            rest.push_back(*it);
            continue;
        }
        bool& seen = is32 ? view32 : view64;
        if (seen)
            return syntaxError(op);  // each view once, as for reg.exe
        seen = true;
    }
    if (view32 && view64)
        return syntaxError(op);
    g_view32 = view32;
    return operation->run(rest);
}

const Command regCommand(
    "reg", "reg query|add|delete|copy|import|export ... (as reg.exe; reg /? for more)", run);

}  // namespace

std::string KeyName::full() const {
    return std::string(platform::rootLongName(root)) + (path.empty() ? "" : "\\" + path);
}

bool parseKeyName(const std::string& text, KeyName& out) {
    if (text.empty() || text[0] == '\\')
        return false;  // no remote machines here
    const size_t bs = text.find('\\');
    const auto root = platform::rootFromName(text.substr(0, bs));
    if (!root)
        return false;
    std::string path = bs == std::string::npos ? "" : text.substr(bs + 1);
    // One trailing backslash is taken, as reg.exe takes it; two name an empty key.
    if (!path.empty() && path.back() == '\\')
        path.pop_back();
    if (!path.empty() &&
        (path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string::npos))
        return false;
    out.root = *root;
    out.path = std::move(path);
    return true;
}

int syntaxError(const std::string& operation) {
    return fail("ERROR: Invalid syntax. Type \"vornak reg " +
                (operation.empty() ? std::string() : operation + " ") + "/?\" for usage.");
}

int statusError(platform::RegStatus status) {
    switch (status) {
        case platform::RegStatus::NotFound:
            return fail(kNotFound);
        case platform::RegStatus::AccessDenied:
            return fail(kAccessDenied);
        case platform::RegStatus::InvalidName:
            return fail(kInvalidKey);
        case platform::RegStatus::HasSubkeys:
            return fail("ERROR: The key has subkeys and cannot be deleted.");
        case platform::RegStatus::StoreFailure:
            return fail("ERROR: The registry store failed.");
        case platform::RegStatus::Busy:
            return fail(std::string("ERROR: ") + platform::RegistryBusyError::kMessage);
        case platform::RegStatus::Ok:
            break;
    }
    return fail("ERROR: Unexpected registry failure.");
}

int valueStatusError(platform::RegStatus status) {
    return status == platform::RegStatus::InvalidName ? fail(kInvalidValueName)
                                                      : statusError(status);
}

int statusError(platform::RegStatus status, const platform::RegistryAccessor& accessor) {
    // A store that could only be opened for reading denies access for the
    // reason it gives.
    if (status == platform::RegStatus::StoreFailure || status == platform::RegStatus::AccessDenied)
        if (const std::string why = accessor.failureReason(); !why.empty())
            return fail("ERROR: " + why);
    return statusError(status);
}

int valueStatusError(platform::RegStatus status, const platform::RegistryAccessor& accessor) {
    return status == platform::RegStatus::InvalidName ? fail(kInvalidValueName)
                                                      : statusError(status, accessor);
}

bool isValidKeyPath(const std::string& path) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        const size_t length = end - start;
        if ((length == 0 && !path.empty()) || length > platform::kMaxKeyNameLength)
            return false;
        start = end + 1;
    }
    return path.find('\0') == std::string::npos;
}

bool looksLikeOption(const std::string& arg) {
    // Short words only: "/tmp/x.reg" is a file here, not an option.
    if (arg.size() < 2 || arg.size() > 4 || (arg[0] != '/' && arg[0] != '-'))
        return false;
    for (size_t i = 1; i < arg.size(); ++i) {
        const char c = lower(arg[i]);
        if ((c < 'a' || c > 'z') && c != '?')
            return false;
    }
    return true;
}

bool isOption(const std::string& arg, const char* name) {
    return looksLikeOption(arg) && lowerAscii(arg.substr(1)) == name;
}

bool confirm(const std::string& question, const std::string& refusal) {
    if (!platform::isTerminal(0)) {
        fail(refusal);
        return false;
    }
    for (;;) {
        std::cout << question << ' ' << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            fail("The operation was cancelled by the user.");
            return false;
        }
        answer = lowerAscii(answer);
        if (answer == "y" || answer == "yes")
            return true;
        if (answer == "n" || answer == "no") {
            fail("The operation was cancelled by the user.");
            return false;
        }
    }
}

std::unique_ptr<platform::RegistryAccessor> openAccessor() {
    auto store = platform::defaultRegistryStore();
    // A store that cannot be used is reported with the file it concerns, once,
    // rather than as a bare failure of the first operation.
    store->check();
    return g_view32 ? platform::wow64View(store->accessor()) : store->accessor();
}

void warnUnreachable(const std::vector<std::string>& keys) {
    for (const auto& key : keys)
        std::cerr << "WARNING: " << registry::lineSafe(key)
                  << " cannot be opened (a link to a key that is not there); it was left out."
                  << std::endl;
}

}  // namespace vornak::cli::reg
