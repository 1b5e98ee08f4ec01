#include "base/AtlIniExt.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "base/TextConvert.h"

CAtlIniExt::CAtlIniExt(const std::wstring& path) {
    SetFileName(path);
}

CAtlIniExt::~CAtlIniExt() {
    // Null section, key and value make the system write out its cached copy
    // of the file, so that edits made by others become visible.
    if (!m_strFileName.empty())
        WritePrivateProfileString(nullptr, nullptr, nullptr, m_strFileName.c_str());
}

bool CAtlIniExt::SetFileName(const std::wstring& path) {
    m_strFileName = WideToRv(path);
    return !m_strFileName.empty();
}

RvString CAtlIniExt::GetString(const RvChar* section,
                               const RvChar* key,
                               const RvChar* defaultValue) const {
    if (m_strFileName.empty())
        return RvString();
    const RvChar* fallback = defaultValue != nullptr ? defaultValue : RV_T("");
    RvChar buffer[kValueBufferSize] = {};
    const DWORD length = GetPrivateProfileString(section, key, fallback, buffer, kValueBufferSize,
                                                 m_strFileName.c_str());
    if (length == 0)
        return RvString(fallback);
    return RvString(buffer);
}

int CAtlIniExt::GetInt(const RvChar* section, const RvChar* key, int defaultValue) const {
    if (m_strFileName.empty())
        return 0;
    RvChar defaultText[kPathBufferSize];
    FormatToPathBuffer(defaultText, kPathBufferSize, RV_T("%d"), defaultValue);
    const RvString value = GetString(section, key, defaultText);
#ifdef RV_WIDE_TEXT
    return static_cast<int>(wcstol(value.c_str(), nullptr, 10));
#else
    return static_cast<int>(strtol(value.c_str(), nullptr, 10));
#endif
}
