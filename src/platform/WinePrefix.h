// Wine prefixes managed directly: the prefix's own registry files as the
// registry store, its dosdevices links as the drive map.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

namespace vornak::platform {

class FileSystem;
class ProcessLauncher;

// $VORNAK_WINEPREFIX, or empty when the program manages this host's own store.
std::string configuredWinePrefix();

// The registry of the prefix in `prefixDir`: HKLM in system.reg, HKCU in
// user.reg, HKU\.Default in userdef.reg; HKCR is HKLM\Software\Classes and
// HKCC the current hardware profile. Read live; a change is written back at
// once (or at commit) in Wine's format by replacing the file, and refused
// (AccessDenied) while the prefix's wineserver runs, since it would overwrite
// the file with its own copy; keys still open with full access then, so the
// reads of the access functions go on working. Changes to a file the user may
// not replace (or one without any write permission bit) are denied likewise. A file the store cannot parse is never written: its roots give
// StoreFailure and check() names it.
std::shared_ptr<RegistryStore> openPrefixRegistryStore(const std::string& prefixDir);

// Whether a wineserver serves the prefix now (it holds the lock in its server folder).
bool prefixServerRunning(const std::string& prefixDir);
// Why writes are refused now, naming the prefix; empty when they are not.
std::string prefixWriteRefusal(const std::string& prefixDir);

// Drive letters from the prefix's dosdevices links ("c:" -> ../drive_c).
std::map<char, std::string> prefixDriveMap(const std::string& prefixDir);

// Where the program keeps its own files (hidden.dat, logs) for the prefix: a
// folder of its own below the per-user data folder, named after the prefix's
// last folder and a hash of its full path, so no two prefixes share one and
// the machine's own files stay where they are. With a trailing '/'; empty
// when there is no per-user data folder.
std::string prefixDataFolder(const std::string& prefixDir);
// The prefix's drives as the file system, its own files in prefixDataFolder.
std::shared_ptr<FileSystem> prefixFileSystem(const std::string& prefixDir);
// A file system on `drives` whose own files are in that host folder alone; the
// program's folder is the running program's unless `programHostFolder` names one.
std::shared_ptr<FileSystem> makePrefixFileSystem(std::map<char, std::string> drives,
                                                 const std::string& ownFilesHostFolder,
                                                 const std::string& programHostFolder = {});

// The launcher for a program of the prefix: a Windows program (an MZ
// executable, or msiexec, rundll32, regsvr32, rundll.exe) starts through
// `wine` with WINEPREFIX set to the prefix, and waiting for it waits for the
// prefix's wineserver to end too; other programs start as on the host. Paths
// are found through the default file system, which is the prefix's while it
// is in use.
std::shared_ptr<ProcessLauncher> prefixProcessLauncher(const std::string& prefixDir);

// The machine's own drives ($VORNAK_DRIVES) and files, whatever prefix is set.
std::shared_ptr<FileSystem> machineFileSystem();

// Makes the prefix (empty: the machine's own store and drives) the one the
// program manages: the default registry store, file system and launcher. The
// settings store stays the machine's; what was the default before the first
// switch away from the machine is what a switch back restores.
void useWinePrefix(const std::string& prefixDir);
// The prefix in use: the last one given to useWinePrefix, else $VORNAK_WINEPREFIX.
std::string activeWinePrefix();
// Goes back to the machine's store and drives and forgets every switch (tests).
void resetWinePrefixUse();

// Whether the folder looks like a prefix (holds system.reg).
bool isWinePrefix(const std::string& dir);
// Prefixes in the usual places: $WINEPREFIX, ~/.wine, Steam's compatdata/*/pfx
// (in Steam's own folder and in every library its libraryfolders.vdf lists),
// Bottles' and Lutris' default folders; each once, in that order.
std::vector<std::string> findWinePrefixes();

}  // namespace vornak::platform
