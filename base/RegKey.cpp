#include "base/RegKey.h"

namespace {

constexpr REGSAM kViewMask = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
static_assert(kViewMask == 0x300, "registry view bits");

using RegDeleteKeyExAFunction = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);

// The view-aware delete exists from Windows XP x64 on; older systems have a
// single view and only the plain delete. Looked up once: the lookup gives
// the same answer every time, so a repeated lookup by a racing thread is
// harmless.
RegDeleteKeyExAFunction ViewAwareDelete() {
    static bool looked = false;
    static RegDeleteKeyExAFunction function = nullptr;
    if (!looked) {
        HMODULE advapi = GetModuleHandleA("Advapi32.dll");
        if (advapi != nullptr)
            function = reinterpret_cast<RegDeleteKeyExAFunction>(
                reinterpret_cast<void*>(GetProcAddress(advapi, "RegDeleteKeyExA")));
        looked = true;
    }
    return function;
}

}  // namespace

LONG RegKey::Open(HKEY parent, const std::string& path, REGSAM access) {
    HKEY opened = nullptr;
    const LONG result = RegOpenKeyExA(parent, path.c_str(), 0, access, &opened);
    if (result != ERROR_SUCCESS)
        return result;
    Close();
    m_hKey = opened;
    m_samView = access & kViewMask;
    return ERROR_SUCCESS;
}

LONG RegKey::DeleteSubKey(const std::string& name) {
    if (m_hKey == nullptr)
        return ERROR_INVALID_HANDLE;
    if (RegDeleteKeyExAFunction deleteEx = ViewAwareDelete())
        return deleteEx(m_hKey, name.c_str(), m_samView, 0);
    return RegDeleteKeyA(m_hKey, name.c_str());
}

LONG RegKey::Close() {
    LONG result = ERROR_SUCCESS;
    if (m_hKey != nullptr) {
        // Keep the thread's last error: callers read it after clean-up.
        const DWORD error = GetLastError();
        result = RegCloseKey(m_hKey);
        SetLastError(error);
        m_hKey = nullptr;
    }
    m_samView = 0;
    return result;
}
