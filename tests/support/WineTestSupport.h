// Real Wine for the tests that need it: a prefix made by Wine itself, its own
// programs (reg, uninstaller) run in it, and small NSIS installers built on the
// spot. Every call waits for the prefix's wineserver to end, so the prefix's
// files on disk are what Wine last wrote. POSIX hosts only.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "support/RunProgram.h"

namespace vornak::test {

// The program of that name on PATH, or empty.
std::string onPath(const std::string& name);

// Why the Wine tests cannot run here, or empty when they can
// (wine, wineboot and wineserver on PATH; makensis too when `needNsis`).
std::string wineMissing(bool needNsis = false);

// The environment a Wine program of the tests runs with: the prefix, no debug
// chatter, no Mono or Gecko download prompts, and a home of the prefix's own
// (`<prefix>.home`), so that the links Wine makes from the prefix's Desktop and
// other shell folders into $HOME never reach the real user's home.
std::map<std::string, std::string> wineEnv(const std::string& prefix);

// Runs `program` (found on PATH: "wine", "wineserver", ...) with the prefix's
// environment, then waits for the prefix's wineserver to end.
ProgramResult runWine(const std::string& prefix, const std::string& program,
                      const std::vector<std::string>& args);

// Makes a fresh prefix in `dir` with wineboot unless one is there already; its
// home has a Desktop folder (the prefix's Desktop links there) and nothing else
// (Documents, Music and the rest link to the home itself).
// False (with Wine's words in `error`) when Wine could not make one.
bool makeWinePrefix(const std::string& dir, std::string& error);

// Builds a 64-bit NSIS installer from the script text into `outDir` and
// returns its path; the script's OutFile must be a bare file name.
// Empty (with makensis' words in `error`) when it does not build.
std::string buildNsisInstaller(const std::string& script, const std::string& outDir,
                               std::string& error);

// Builds with wixl a 64-bit per-machine MSI of product `productCode` ("{...}")
// named `name`, installing "C:\Program Files\<name>\payload.txt", into `outDir`
// and returns its path; empty (with wixl's words in `error`) when it does not build.
std::string buildMsi(const std::string& productCode, const std::string& name,
                     const std::string& outDir, std::string& error);

}  // namespace vornak::test
