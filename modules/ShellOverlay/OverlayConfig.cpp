#include "modules/ShellOverlay/OverlayConfig.h"

#include <cwctype>

namespace {

HMODULE g_module = nullptr;

std::wstring ReadValue(const std::wstring& iniFile, const wchar_t* name) {
    wchar_t value[256] = {};
    GetPrivateProfileStringW(L"config", name, L"", value, ARRAYSIZE(value), iniFile.c_str());
    return value;
}

// Exactly 8-4-4-4-12 hexadecimal digits. IIDFromString alone would also
// accept forms this module never writes, so the shape is checked first.
bool IsClassIdText(const std::wstring& text) {
    if (text.size() != 36)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != L'-' : !std::iswxdigit(text[i]))
            return false;
    }
    return true;
}

}  // namespace

void SetThisModule(HMODULE module) {
    g_module = module;
}

HMODULE ThisModule() {
    return g_module;
}

std::wstring ThisModulePath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(path, length);
}

bool ReadOverlayConfig(OverlayConfig* config) {
    const std::wstring own = ThisModulePath();
    const size_t slash = own.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return false;
    const std::wstring iniFile = own.substr(0, slash) + L"\\Conf\\User\\Config.ini";

    std::wstring classId = ReadValue(iniFile, L"CLSID");
    if (classId.empty())
        classId = kDefaultClassId;
    if (!IsClassIdText(classId))
        return false;
    for (wchar_t& c : classId)
        c = static_cast<wchar_t>(std::towupper(c));
    config->classIdText = L"{" + classId + L"}";
    if (FAILED(IIDFromString(config->classIdText.c_str(), &config->classId)))
        return false;

    config->explorerKey = ReadValue(iniFile, L"ExplorerKey");
    if (config->explorerKey.empty())
        config->explorerKey = kDefaultExplorerKey;
    return config->explorerKey.find(L'\\') == std::wstring::npos;
}
