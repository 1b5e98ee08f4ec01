#include "base/StandardPaths.h"

#include <shlobj.h>

#include "base/AtlIniExt.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/SystemFunction.h"
#include "base/TextConvert.h"

namespace {

// The shell's special-folder and the version-resource functions are looked
// up on first use: the launcher needs them only for a crash report, and
// importing their libraries would load them, with the libraries they need,
// at every start. Both text widths take the UTF-16 path: the ANSI call
// answers with '?' for a profile folder the code page cannot name.
using SpecialFolderPathFn = BOOL(WINAPI*)(HWND, LPWSTR, int, BOOL);
constexpr char kSpecialFolderPathName[] = "SHGetSpecialFolderPathW";
using VersionInfoSizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
using VersionInfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
using VersionQueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

}  // namespace

BOOL SpecialFolderPath(wchar_t* buffer, int csidl, BOOL create) {
    static const SpecialFolderPathFn function =
        GetSystemFunctionAs<SpecialFolderPathFn>(L"shell32.dll", kSpecialFolderPathName);
    return function != nullptr && function(nullptr, buffer, csidl, create);
}

namespace {

struct VersionFunctions {
    VersionInfoSizeFn size =
        GetSystemFunctionAs<VersionInfoSizeFn>(L"version.dll", "GetFileVersionInfoSizeW");
    VersionInfoFn read = GetSystemFunctionAs<VersionInfoFn>(L"version.dll", "GetFileVersionInfoW");
    VersionQueryFn query = GetSystemFunctionAs<VersionQueryFn>(L"version.dll", "VerQueryValueW");
};

// Version resources are read into a zeroed buffer of this size; a resource
// that reports more than kVersionBufferSize - 1 bytes is not read at all.
constexpr DWORD kVersionBufferSize = 8192;

// Full file name of the module running this code. Empty when the name
// cannot be read or does not fit in 259 characters: a cut name would point
// the search at the wrong folder.
std::wstring RunningModulePath() {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(GetCurrentModuleHandle(), buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(buffer, length);
}

// The per-user local data folder: the local application-data folder
// (created by the system when missing) joined with "TDXdata". False when
// the special folder cannot be obtained; `folder` is then the bare relative
// name, and callers create nothing relative to the current folder.
bool LocalDataFolder(std::wstring& folder) {
    wchar_t buffer[MAX_PATH] = {};
    const bool known = SpecialFolderPath(buffer, CSIDL_LOCAL_APPDATA, TRUE) && buffer[0] != 0;
    folder = JoinPath(buffer, L"TDXdata");
    return known;
}

// A file or folder inside the local data folder, creating `createFolder`
// (the data folder itself or one below it) on the way.
std::wstring LocalDataPath(const wchar_t* createBelow, const wchar_t* name) {
    std::wstring folder;
    const bool known = LocalDataFolder(folder);
    if (createBelow != nullptr)
        folder = JoinPath(folder, createBelow);
    if (known)
        CreateDirectoryChain(folder);
    return name != nullptr ? JoinPath(folder, name) : folder;
}

// The install folder recorded by the last install ("Config"/"installDir" of
// config.dat), used when no "Conf" folder lies above the running module.
bool ReadRecordedInstallDir(std::wstring& path) {
    path.clear();
    std::wstring dataConfig;
    GetStandardPath(dataConfig, kPathDataConfig);
    if (!PathExists(dataConfig))
        return false;
    {
        // Destroying the object flushes the system's cached copy of the file,
        // so the next reader sees what an install wrote in the meantime.
        CAtlIniExt ini(dataConfig);
        path = RvToWide(ini.GetString(RV_T("Config"), RV_T("installDir")));
    }
    return PathExists(path);
}

// The install folder joined with "Conf" and an optional sub-folder; false,
// with the install folder's own result path, when that was not found.
bool ConfSubFolder(std::wstring& path, const wchar_t* sub) {
    if (!GetInstallDir(path))
        return false;
    path = JoinPath(path, L"Conf");
    if (sub != nullptr)
        path = JoinPath(path, sub);
    return PathExists(path);
}

// A file below a configuration folder; the folder's own result is ignored,
// the file decides.
bool FileBelow(std::wstring& path, bool (*folder)(std::wstring&), const wchar_t* name) {
    folder(path);
    path = JoinPath(path, name);
    return PathExists(path);
}

// A value of the User configuration file, empty when the file is missing.
// (A missing file is not handed to the profile functions: they would look
// for a relative name in the Windows folder.)
std::wstring UserConfigValue(const RvChar* section, const RvChar* key) {
    std::wstring userConfig;
    if (!GetStandardPath(userConfig, kPathUserConfigIni))
        return std::wstring();
    CAtlIniExt ini(userConfig);
    return RvToWide(ini.GetString(section, key, RV_T("")));
}

}  // namespace

HMODULE GetCurrentModuleHandle() {
    // The module that holds this function's code: the library when the
    // utilities are linked into one, the program otherwise.
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&GetCurrentModuleHandle), &module))
        return nullptr;
    return module;
}

bool GetInstallDir(std::wstring& path) {
    // Look for "Conf" next to the module, then one folder higher at a time,
    // until the join stops changing (the drive root).
    const std::wstring module = RunningModulePath();
    if (!module.empty()) {
        std::wstring candidate = JoinPath(ParentPath(module), L"Conf");
        bool found = PathExists(candidate);
        while (!found) {
            std::wstring next = JoinPath(ParentPath(ParentPath(candidate)), L"Conf");
            if (PathEquals(next, candidate))
                break;
            candidate = next;
            found = PathExists(candidate);
        }
        if (found) {
            path = ParentPath(candidate);
            return true;
        }
    }
    return ReadRecordedInstallDir(path);
}

bool GetConfDir(std::wstring& path) {
    return ConfSubFolder(path, nullptr);
}

bool GetUserConfDir(std::wstring& path) {
    return ConfSubFolder(path, L"User");
}

bool GetServerConfDir(std::wstring& path) {
    return ConfSubFolder(path, L"Server");
}

bool GetStandardPath(std::wstring& path, int type) {
    switch (type) {
        case kPathInstallDir:
            return GetInstallDir(path);
        case kPathConfDir:
            return GetConfDir(path);
        case kPathUserConfDir:
            return GetUserConfDir(path);
        case kPathUserConfigIni:
            return FileBelow(path, GetUserConfDir, L"config.ini");
        case kPathUserCfgDb:
            return FileBelow(path, GetUserConfDir, L"cfg.db");
        case kPathServerConfDir:
            return GetServerConfDir(path);
        case kPathServerConfigIni:
            return FileBelow(path, GetServerConfDir, L"config.ini");
        case kPathServerTaskList:
            return FileBelow(path, GetServerConfDir, L"tasklist.dat");
        case kPathDataConfig:
            path = LocalDataPath(nullptr, L"config.dat");
            return true;
        case kPathTaskDir:
            return FileBelow(path, GetInstallDir, L"task");
        case kPathLocalDataDir:
            path = LocalDataPath(nullptr, nullptr);
            return true;
        case kPathLogConfigDir:
            LocalDataFolder(path);
            path = JoinPath(path, L"log_cfg");
            return true;
        case kPathRunningModule:
            path = RunningModulePath();
            return PathExists(path);
        case kPathCoreModule: {
            std::wstring installDir;
            GetInstallDir(installDir);
            path = JoinPath(installDir, UserConfigValue(RV_T("CModuleUpdate"), RV_T("modulename")));
            return true;
        }
        case kPathShellModule:
            path = UserConfigValue(RV_T("config"), RV_T("ShellPath"));
            return true;
        case kPathCommonData:
            path = LocalDataPath(L"Common", L"CommonData.dat");
            return true;
        default:
            path.clear();
            return false;
    }
}

bool GetFileVersionString(const std::wstring& file, RvString& version) {
    if (!PathExists(file))
        return false;
    static const VersionFunctions functions;
    if (!functions.size || !functions.read || !functions.query)
        return false;
    DWORD ignored = 0;
    const DWORD size = functions.size(file.c_str(), &ignored);
    if (size == 0 || size > kVersionBufferSize - 1)
        return false;
    BYTE buffer[kVersionBufferSize] = {};
    if (!functions.read(file.c_str(), 0, size, buffer))
        return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!functions.query(buffer, L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO))
        return false;
    RvChar text[MAX_PATH] = {};
    if (FormatToPathBuffer(text, MAX_PATH, RV_T("%u.%u.%u.%u"),
                           static_cast<unsigned>(HIWORD(info->dwFileVersionMS)),
                           static_cast<unsigned>(LOWORD(info->dwFileVersionMS)),
                           static_cast<unsigned>(HIWORD(info->dwFileVersionLS)),
                           static_cast<unsigned>(LOWORD(info->dwFileVersionLS))) < 0)
        return false;
    version = text;
    return true;
}
