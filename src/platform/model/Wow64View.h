// The 32-bit view of the registry (reg.exe's /reg:32, KEY_WOW64_32KEY): the
// paths a 32-bit program on 64-bit Windows names, led to where Windows keeps
// them below Wow6432Node. Windows redirects a 32-bit program's own access by
// itself; the view names those places as paths, which every store holds alike
// (the real registry too), so `reg /reg:32` works the same on each.
#pragma once

#include <memory>
#include <string>

#include "platform/RegistryStore.h"

namespace vornak::platform {

// Where a 32-bit program's key lives: HKLM\Software\X in
// HKLM\Software\Wow6432Node\X (but for the keys both views share, such as
// Clients, Policies and parts of Microsoft), and the redirected Classes keys
// (CLSID, DirectShow, Interface, Media Type, MediaFoundation) of HKCR and of
// both Software\Classes keys below their Wow6432Node. Everything else, and a
// path that names Wow6432Node itself, stays where it is.
std::string wow64Path(RegRoot root, const std::string& path);

// An accessor that opens, makes and deletes keys through wow64Path. Its keys
// keep the path they were asked for, so listings name what the caller named.
std::unique_ptr<RegistryAccessor> wow64View(std::unique_ptr<RegistryAccessor> inner);

}  // namespace vornak::platform
