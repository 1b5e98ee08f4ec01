#include "base/AtlIniExt.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "base/TextConvert.h"

namespace {

// Null stays null: the profile functions give it a meaning of its own.
class WideArgument {
public:
    explicit WideArgument(const RvChar* text) : m_bNull(text == nullptr) {
        if (text != nullptr)
            m_strText = RvToWide(text);
    }
    const wchar_t* get() const { return m_bNull ? nullptr : m_strText.c_str(); }

private:
    bool m_bNull;
    std::wstring m_strText;
};

}  // namespace

CAtlIniExt::CAtlIniExt(const std::wstring& path) {
    SetFileName(path);
}

CAtlIniExt::~CAtlIniExt() {
    // Null section, key and value make the system write out its cached copy
    // of the file, so that edits made by others become visible.
    if (!m_strPath.empty())
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_strPath.c_str());
}

bool CAtlIniExt::SetFileName(const std::wstring& path) {
    m_strPath = path;
    m_strFileName = WideToRv(path);
    return !m_strPath.empty();
}

RvString CAtlIniExt::GetString(const RvChar* section,
                               const RvChar* key,
                               const RvChar* defaultValue) const {
    if (m_strPath.empty())
        return RvString();
    const RvChar* fallback = defaultValue != nullptr ? defaultValue : RV_T("");
    wchar_t buffer[kValueBufferSize] = {};
    const DWORD length = GetPrivateProfileStringW(
        WideArgument(section).get(), WideArgument(key).get(), WideArgument(fallback).get(), buffer,
        kValueBufferSize, m_strPath.c_str());
    if (length == 0)
        return RvString(fallback);
    return WideToRv(buffer);
}

bool CAtlIniExt::WriteString(const RvChar* section, const RvChar* key, const RvChar* value) const {
    if (m_strPath.empty())
        return false;
    return WritePrivateProfileStringW(WideArgument(section).get(), WideArgument(key).get(),
                                      WideArgument(value).get(), m_strPath.c_str()) != FALSE;
}

int CAtlIniExt::GetInt(const RvChar* section, const RvChar* key, int defaultValue) const {
    if (m_strPath.empty())
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
