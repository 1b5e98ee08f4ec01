// Registration of the installed shell module with the system's registration
// tool, proven by the overlay identifier key it must create.
#include "installer/ShellRegistration.h"

#include <windows.h>

#include <cstdio>

#include "base/PathString.h"
#include "base/ProcessUtil.h"
#include "base/RegKey.h"
#include "base/ScopedHandle.h"
#include "base/SystemInfo.h"
#include "base/TextConvert.h"
#include "base/tree/ProtectedFolders.h"
#include "installer/InstallerLogSites.h"
#include "installer/ModuleProof.h"
#include "installer/RvInstallerMain.h"
#include "installer/RvInstallException.h"

namespace {

constexpr size_t kClsidLength = 36;
// Overlay key paths are composed in a buffer of this many characters.
constexpr size_t kKeyPathBufferSize = 1024;

// The 32-bit installer must look where 64-bit Explorer looks.
REGSAM OverlayViewFlag() {
    return Is64BitWindows() ? KEY_WOW64_64KEY : 0;
}

// The default string value of a key under HKEY_LOCAL_MACHINE in Explorer's
// view, environment variables expanded; empty when there is none.
std::wstring ReadMachineDefault(const std::wstring& path) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | OverlayViewFlag(),
                      &opened) != ERROR_SUCCESS)
        return std::wstring();
    const ScopedRegKey key(opened);
    wchar_t value[MAX_PATH * 2] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value),
                         &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    if (type != REG_EXPAND_SZ)
        return value;
    wchar_t expanded[MAX_PATH * 2] = {};
    const DWORD length = ExpandEnvironmentStringsW(value, expanded, MAX_PATH * 2);
    return length > 0 && length <= MAX_PATH * 2 ? expanded : value;
}

// Deletes `name` with its sub-keys below the key `parent` of
// HKEY_LOCAL_MACHINE in Explorer's view. True when it is gone.
bool DeleteMachineTree(const wchar_t* parent, const std::wstring& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, parent, 0,
                      KEY_READ | KEY_WRITE | DELETE | OverlayViewFlag(), &opened) != ERROR_SUCCESS)
        return false;
    const ScopedRegKey key(opened);
    return RegDeleteTreeW(key.Get(), name.c_str()) == ERROR_SUCCESS;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

}  // namespace

const char* RemoveRegistrationOf(const std::string& clsid,
                                 const std::string& key,
                                 const std::wstring& folder) {
    if (clsid.size() != kClsidLength)
        return "nothing";
    const std::wstring server = FullFolderPath(ClassServerModule(clsid));
    const bool classNamesModule = !server.empty() && IsSameFolder(ParentPath(server), folder);
    const bool keyNamesClass =
        !key.empty() && EqualIgnoringCase(OverlayKeyClass(key), "{" + clsid + "}");
    bool classGone = false, keyGone = false;
    if (keyNamesClass)
        keyGone = DeleteMachineTree(AnsiToWide(kOverlayIdentifiersKey).c_str(), AnsiToWide(key));
    if (classNamesModule)
        classGone = DeleteMachineTree(L"SOFTWARE\\Classes\\CLSID", L"{" + AnsiToWide(clsid) + L"}");
    return classGone && keyGone ? "class and key"
           : classGone          ? "class"
           : keyGone            ? "key"
                                : "nothing";
}

std::wstring ClassServerModule(const std::string& clsid) {
    std::wstring module = ReadMachineDefault(L"SOFTWARE\\Classes\\CLSID\\{" + AnsiToWide(clsid) +
                                             L"}\\InprocServer32");
    if (module.size() >= 2 && module.front() == L'"' && module.back() == L'"')
        module = module.substr(1, module.size() - 2);
    return module;
}

std::string OverlayKeyClass(const std::string& name) {
    return WideToAnsi(
        ReadMachineDefault(AnsiToWide(std::string(kOverlayIdentifiersKey) + "\\" + name)));
}

bool IsOverlayKeyRegistered(const std::string& name, int* error) {
    const REGSAM access = KEY_READ | OverlayViewFlag();
    char path[kKeyPathBufferSize] = {};
    const int length =
        std::snprintf(path, sizeof(path), "%s\\%s", kOverlayIdentifiersKey, name.c_str());
    LONG result = ERROR_FILENAME_EXCED_RANGE;
    // A name too long for the buffer is refused rather than cut: a cut name
    // could match another key.
    if (length >= 0 && static_cast<size_t>(length) < sizeof(path)) {
        RegKey key;
        result = key.Open(HKEY_LOCAL_MACHINE, path, access);
    }
    if (error != nullptr)
        *error = static_cast<int>(result);
    return result == ERROR_SUCCESS;
}

void CRvInstallerMain::RegisterShell(const std::string& shellPath) {
    RV_STEP_LOG(kRegisterShell, "RegisterShell");
    if (m_request.CLSID.size() != kClsidLength)
        m_request.CLSID = kDefaultClsid;
    if (m_request.ExplorerKey.empty())
        m_request.ExplorerKey = kDefaultExplorerKey;
    RV_STEP_LOG(kRegisterShell,
                "BeginRegister:folder:" << WideToAnsi(m_strInstallFolder)
                                        << " |CLSID:" << m_request.CLSID
                                        << " |ExplorerKey:" << m_request.ExplorerKey);
    // The module reads its identity from there when it registers.
    WriteUserRecords(
        {{"config", "CLSID", m_request.CLSID}, {"config", "ExplorerKey", m_request.ExplorerKey}});

    // The registration would take the class or the key over: never one of
    // another product's.
    if (const char* refusal = m_policy.RegistrationRefusal(m_request.CLSID, m_request.ExplorerKey))
        throw CRvInstallException(10, 0, refusal);
    // The tool runs the module's code: only on the bytes this install
    // placed, held unchanged until the tool has ended.
    const ProvenModule proof(AnsiToWide(shellPath));
    if (!proof.IsProven()) {
        RV_STEP_LOG(kRegisterShell, "not run: " << shellPath << " (" << proof.Refusal() << ")");
        throw CRvInstallException(10, 0, "error regerror");
    }
    // Rolled back in the mirror order: the new registration undone, what it
    // overwrote put back, the previous module registered again.
    m_workItems.Add(
        std::make_unique<CallbackItem>([this, shellPath] { RegisterPreviousAgain(shellPath); }));
    // What the registration overwrites goes back if the install fails:
    // another product's registration whose module was gone, or the previous
    // installation's. A registration this install's own folder left (a
    // retry after a kill) is not worth keeping.
    const std::wstring server = FullFolderPath(ClassServerModule(m_request.CLSID));
    const bool leftHere = !server.empty() && IsSameFolder(ParentPath(server), m_strInstallFolder);
    const std::string braced = "{" + m_request.CLSID + "}";
    const auto restored = [](const std::wstring& path) {
        RV_STEP_LOG(kClearInstalled, "restored: " << WideToAnsi(path));
    };
    if (!leftHere)
        m_workItems.Add(std::make_unique<RegistryBackupItem>(
            L"SOFTWARE\\Classes\\CLSID\\" + AnsiToWide(braced), OverlayViewFlag(), restored));
    if (!leftHere || !EqualIgnoringCase(OverlayKeyClass(m_request.ExplorerKey), braced))
        m_workItems.Add(std::make_unique<RegistryBackupItem>(
            AnsiToWide(std::string(kOverlayIdentifiersKey) + "\\" + m_request.ExplorerKey),
            OverlayViewFlag(), restored));
    m_workItems.Add(
        std::make_unique<CallbackItem>([this, shellPath] { UndoRegistration(shellPath); }));
    const DWORD exitCode = RegisterServer(shellPath.c_str(), kRegisterServer);
    RV_STEP_LOG(kRegisterShell, "RegisterShellExtDll:" << shellPath << " bret = " << exitCode);
    if (exitCode != 0)
        throw CRvInstallException(10, static_cast<int>(exitCode), "error regerror");

    RV_STEP_LOG(kRegisterShell, "checkrunning");
    int error = 0;
    if (!IsOverlayKeyRegistered(m_request.ExplorerKey, &error))
        throw CRvInstallException(
            10, 0,
            "check reg, key:" + m_request.ExplorerKey + ", lastError:" + std::to_string(error));
    RV_STEP_LOG(kRegisterShell, "RegisterShell Ret dwLastError:" << error);
}
