#include "support/WineTestSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace vornak::test {

namespace fs = std::filesystem;

std::string onPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
    return {};
}

std::string wineMissing(bool needNsis) {
    for (const char* program : {"wine", "wineboot", "wineserver"})
        if (onPath(program).empty())
            return std::string(program) + " is not installed (scripts/install-deps.sh installs it)";
    if (needNsis && onPath("makensis").empty())
        return "makensis is not installed (scripts/install-deps.sh installs nsis)";
    return {};
}

std::map<std::string, std::string> wineEnv(const std::string& prefix) {
    const std::string home = prefix + ".home";
    std::error_code ec;
    fs::create_directories(home, ec);
    return {{"WINEPREFIX", prefix},
            {"WINEDEBUG", "-all"},
            {"WINEDLLOVERRIDES", "mscoree,mshtml="},
            {"HOME", home}};
}

ProgramResult runWine(const std::string& prefix, const std::string& program,
                      const std::vector<std::string>& args) {
    ProgramResult result = runProgram(onPath(program), args, wineEnv(prefix));
    if (program != "wineserver") runProgram(onPath("wineserver"), {"-w"}, wineEnv(prefix));
    return result;
}

bool makeWinePrefix(const std::string& dir, std::string& error) {
    if (fs::exists(fs::path(dir) / "system.reg") && fs::exists(fs::path(dir) / "dosdevices"))
        return true;
    // Like most homes, this one has a Desktop and no other shell folders, so
    // Wine links the prefix's Desktop to it and Documents and the rest to $HOME.
    std::error_code ec;
    fs::create_directories(dir + ".home/Desktop", ec);
    const ProgramResult r = runWine(dir, "wineboot", {"-i"});
    if (fs::exists(fs::path(dir) / "system.reg")) return true;
    error = "wineboot made no prefix in " + dir + " (exit " + std::to_string(r.exitCode) + "): " +
            r.err.substr(r.err.size() > 400 ? r.err.size() - 400 : 0);
    return false;
}

std::string buildNsisInstaller(const std::string& script, const std::string& outDir,
                               std::string& error) {
    std::smatch m;
    static const std::regex outFile(R"re(OutFile\s+"([^"\\/]+)")re");
    if (!std::regex_search(script, m, outFile)) {
        error = "the script has no OutFile \"name.exe\"";
        return {};
    }
    fs::create_directories(outDir);
    const fs::path nsi = fs::path(outDir) / (m[1].str() + ".nsi");
    std::ofstream(nsi, std::ios::binary) << "Target amd64-unicode\n" << script;
    // makensis works in the script's folder, so OutFile lands beside it.
    const ProgramResult r = runProgram(onPath("makensis"), {"-V2", nsi.string()}, {});
    const fs::path exe = fs::path(outDir) / m[1].str();
    if (r.exitCode != 0 || !fs::exists(exe)) {
        error = "makensis failed (exit " + std::to_string(r.exitCode) + "): " + r.out + r.err;
        return {};
    }
    return exe.string();
}

std::string buildMsi(const std::string& productCode, const std::string& name,
                     const std::string& outDir, std::string& error) {
    fs::create_directories(outDir);
    std::ofstream(fs::path(outDir) / "payload.txt", std::ios::binary) << "payload\r\n";
    // The component's GUID differs from the product's in its last digits only.
    std::string component = productCode;
    component[component.size() - 2] = component[component.size() - 2] == '0' ? '1' : '0';
    const fs::path wxs = fs::path(outDir) / "product.wxs";
    std::ofstream(wxs, std::ios::binary)
        << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n"
           " <Product Id=\""
        << productCode << "\" Name=\"" << name
        << "\" Language=\"1033\" Version=\"1.0.0\" Manufacturer=\"Vornak Tests\">\n"
           "  <Package InstallerVersion=\"200\" Compressed=\"yes\" InstallScope=\"perMachine\"/>\n"
           "  <Media Id=\"1\" Cabinet=\"product.cab\" EmbedCab=\"yes\"/>\n"
           "  <Directory Id=\"TARGETDIR\" Name=\"SourceDir\">\n"
           "   <Directory Id=\"ProgramFiles64Folder\">\n"
           "    <Directory Id=\"INSTALLDIR\" Name=\""
        << name
        << "\">\n"
           "     <Component Id=\"Payload\" Guid=\""
        << component
        << "\" Win64=\"yes\">\n"
           "      <File Id=\"PayloadTxt\" Name=\"payload.txt\" Source=\"payload.txt\" "
           "KeyPath=\"yes\"/>\n"
           "     </Component>\n"
           "    </Directory>\n"
           "   </Directory>\n"
           "  </Directory>\n"
           "  <Feature Id=\"Main\" Level=\"1\"><ComponentRef Id=\"Payload\"/></Feature>\n"
           " </Product>\n"
           "</Wix>\n";
    const fs::path msi = fs::path(outDir) / "product.msi";
    const ProgramResult r = runProgram(
        onPath("wixl"), {"-a", "x64", "-I", outDir, "-o", msi.string(), wxs.string()}, {});
    if (r.exitCode != 0 || !fs::exists(msi)) {
        error = "wixl failed (exit " + std::to_string(r.exitCode) + "): " + r.out + r.err;
        return {};
    }
    return msi.string();
}

}  // namespace vornak::test
