// Test library for the COM registration tool: DllRegisterServer,
// DllInstall and DllUnregisterServer record what the tool called in the
// registry, under HKEY_CURRENT_USER\Software\RvTests\<this file's name>, so
// that a test can tell that the tool really ran this very file. Every load,
// by whatever process, is recorded too, under
// HKEY_CURRENT_USER\Software\RvTestsLoaded (a value named after the file).
#include <windows.h>

#include <string>

namespace {

HMODULE g_module = nullptr;

std::wstring RecordKey() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(g_module, path, MAX_PATH);
    std::wstring name(path);
    const size_t slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    return L"Software\\RvTests\\" + name;
}

void SetRecord(HKEY key, const wchar_t* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void RecordLoad() {
    const std::wstring key = RecordKey();
    const std::wstring name = key.substr(key.find_last_of(L'\\') + 1);
    HKEY loads = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\RvTestsLoaded", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &loads, nullptr) != ERROR_SUCCESS)
        return;
    SetRecord(loads, name.c_str(), 1);
    RegCloseKey(loads);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        RecordLoad();
    }
    return TRUE;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllRegisterServer() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, RecordKey().c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    SetRecord(key, L"Registered", 1);
    RegCloseKey(key);
    return S_OK;
}

extern "C" __declspec(dllexport) HRESULT __stdcall DllUnregisterServer() {
    RegDeleteKeyW(HKEY_CURRENT_USER, RecordKey().c_str());
    // Removes the parent only when no other record is left below it.
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\RvTests");
    return S_OK;
}

// Records the install flag only while the registration record exists, so
// an uninstall call made after DllUnregisterServer leaves nothing behind.
extern "C" __declspec(dllexport) HRESULT __stdcall DllInstall(BOOL install, LPCWSTR) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, RecordKey().c_str(), 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return S_OK;
    SetRecord(key, L"Installed", install ? 1 : 0);
    RegCloseKey(key);
    return S_OK;
}
