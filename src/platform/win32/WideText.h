// Text at the Windows boundary: the program's UTF-8 strings to and from the
// UTF-16 of the wide calls, and the text of a Windows error code.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vornak::platform::win32 {

// Bytes that are not UTF-8 become U+FFFD; embedded NULs are kept.
std::wstring widen(std::string_view text);
std::string narrow(std::wstring_view text);
// The system's message for a GetLastError() code, without the line end.
std::string errorText(DWORD code);

}  // namespace vornak::platform::win32
