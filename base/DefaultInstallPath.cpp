// Installer-only path helpers: the default install location and the version
// of a loaded module.
#include <shlobj.h>

#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/StandardPaths.h"
#include "base/TextConvert.h"
#include "diagnostics/DebugTrace.h"

bool GetDefaultInstallPath(std::wstring& path, int csidl) {
    char folder[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, folder, csidl, TRUE);
    if (!PathExists(AnsiToWide(folder))) {
        RV_TRACE_ERROR("PathUtil", 248) << "GetDefaultInstallPath err csidl_dir = " << csidl;
        folder[0] = 0;
        SHGetSpecialFolderPathA(nullptr, folder, CSIDL_COMMON_APPDATA, TRUE);
    }
    path = JoinPath(AnsiToWide(folder), L"Dovadi");
    return PathExists(path);
}

bool GetModuleVersionString(HMODULE module, std::string& version) {
    wchar_t file[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    return GetFileVersionString(std::wstring(file, length), version);
}
