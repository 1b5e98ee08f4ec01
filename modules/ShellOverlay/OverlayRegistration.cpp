#include "modules/ShellOverlay/OverlayRegistration.h"

#include <olectl.h>

#include <string>

#include "base/ScopedHandle.h"
#include "modules/ShellOverlay/OverlayConfig.h"

namespace {

constexpr wchar_t kClassesRoot[] = L"Software\\Classes\\CLSID\\";
constexpr wchar_t kOverlayRoot[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\";
constexpr wchar_t kDescription[] = L"Pu shell icon overlay";

enum class TestMode { kNormal, kFail, kNoKey };

TestMode ReadTestMode() {
    wchar_t value[16] = {};
    const DWORD length =
        GetEnvironmentVariableW(L"RV_TEST_SHELL_REGISTRATION", value, ARRAYSIZE(value));
    if (length == 0 || length >= ARRAYSIZE(value))
        return TestMode::kNormal;
    if (lstrcmpiW(value, L"fail") == 0)
        return TestMode::kFail;
    if (lstrcmpiW(value, L"nokey") == 0)
        return TestMode::kNoKey;
    return TestMode::kNormal;
}

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Creates HKLM\<path> and sets its default value (and one more named value
// when given).
LSTATUS WriteKey(const std::wstring& path,
                 const std::wstring& defaultValue,
                 const wchar_t* name = nullptr,
                 const std::wstring& value = std::wstring()) {
    ScopedRegKey key;
    LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, key.Receive(), nullptr);
    if (status == ERROR_SUCCESS)
        status = SetText(key.Get(), nullptr, defaultValue);
    if (status == ERROR_SUCCESS && name != nullptr)
        status = SetText(key.Get(), name, value);
    return status;
}

// Default value of HKLM\<path>; false when the key or value is missing.
bool ReadDefault(const std::wstring& path, std::wstring* text) {
    wchar_t value[MAX_PATH + 1] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value,
                     &size) != ERROR_SUCCESS)
        return false;
    *text = value;
    return true;
}

// Deletes HKLM\<path> with everything below it; a missing key is no error.
LSTATUS DeleteTree(const std::wstring& path) {
    const LSTATUS status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

}  // namespace

HRESULT RegisterOverlay() {
    const TestMode mode = ReadTestMode();
    if (mode == TestMode::kFail)
        return SELFREG_E_CLASS;
    OverlayConfig config;
    const std::wstring own = ThisModulePath();
    if (own.empty() || !ReadOverlayConfig(&config))
        return E_INVALIDARG;

    const std::wstring classKey = kClassesRoot + config.classIdText;
    LSTATUS status = WriteKey(classKey, kDescription);
    if (status == ERROR_SUCCESS)
        status = WriteKey(classKey + L"\\InprocServer32", own, L"ThreadingModel", L"Apartment");
    if (status == ERROR_SUCCESS && mode != TestMode::kNoKey)
        status = WriteKey(kOverlayRoot + config.explorerKey, config.classIdText);
    if (status != ERROR_SUCCESS) {
        // Leaves no half registration behind.
        UnregisterOverlay();
        return HRESULT_FROM_WIN32(status);
    }
    return S_OK;
}

HRESULT UnregisterOverlay() {
    OverlayConfig config;
    const std::wstring own = ThisModulePath();
    if (own.empty() || !ReadOverlayConfig(&config))
        return E_INVALIDARG;

    const std::wstring classKey = kClassesRoot + config.classIdText;
    std::wstring server;
    const bool classRegistered = ReadDefault(classKey + L"\\InprocServer32", &server);
    const bool ours = classRegistered && lstrcmpiW(server.c_str(), own.c_str()) == 0;
    LSTATUS status = ERROR_SUCCESS;
    if (ours)
        status = DeleteTree(classKey);

    const std::wstring overlayKey = kOverlayRoot + config.explorerKey;
    std::wstring named;
    if ((ours || !classRegistered) && ReadDefault(overlayKey, &named) &&
        lstrcmpiW(named.c_str(), config.classIdText.c_str()) == 0) {
        const LSTATUS overlayStatus = DeleteTree(overlayKey);
        if (status == ERROR_SUCCESS)
            status = overlayStatus;
    }
    return HRESULT_FROM_WIN32(status);
}
