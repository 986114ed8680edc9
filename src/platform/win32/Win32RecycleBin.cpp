#include "platform/win32/Win32RecycleBin.h"

#include "platform/win32/WideText.h"

// After windows.h, which WideText.h brings.
#include <shellapi.h>

namespace vornak::platform::win32 {

bool moveToRecycleBin(const std::string& hostPath, std::string& error) {
    // The list of names ends in an empty one: two NULs.
    std::wstring from = widen(hostPath);
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    // Without the nuke warning, a file the Recycle Bin cannot take (too big, on
    // a network share) would be deleted for good and reported as recycled. With
    // it, Windows asks first; a No aborts, and the file is kept.
    operation.fFlags = FOF_ALLOWUNDO | FOF_NO_UI | FOF_WANTNUKEWARNING;
    const int code = SHFileOperationW(&operation);
    if (code != 0 || operation.fAnyOperationsAborted) {
        error = code != 0 ? errorText(static_cast<DWORD>(code)) : "aborted";
        return false;
    }
    return true;
}

}  // namespace vornak::platform::win32
