// Installer-only path helpers: the default install location and the version
// of a loaded module.
#include <shlobj.h>

#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/StandardPaths.h"
#include "diagnostics/DebugTrace.h"

bool GetDefaultInstallPath(std::wstring& path, int csidl) {
    // The UTF-16 path: below a profile the ANSI code page cannot name, the
    // ANSI call gives a name with '?' that does not exist, and the install
    // would land in the fallback folder. Such a folder is refused by the
    // install instead.
    wchar_t folder[MAX_PATH] = {};
    SpecialFolderPath(folder, csidl, TRUE);
    if (!PathExists(folder)) {
        RV_TRACE_ERROR("PathUtil", 248) << "GetDefaultInstallPath err csidl_dir = " << csidl;
        folder[0] = 0;
        SpecialFolderPath(folder, CSIDL_COMMON_APPDATA, TRUE);
    }
    path = JoinPath(folder, L"Dovadi");
    return PathExists(path);
}

bool GetModuleVersionString(HMODULE module, std::string& version) {
    wchar_t file[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    return GetFileVersionString(std::wstring(file, length), version);
}
