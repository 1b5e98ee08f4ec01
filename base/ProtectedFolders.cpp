#include "base/ProtectedFolders.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "base/FileIdentity.h"
#include "base/PathString.h"

namespace {

constexpr int kLastCsidl = 0x3F;

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring FullFolderPath(const std::wstring& path) {
    if (path.empty())
        return std::wstring();
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::wstring();
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed)
        return std::wstring();
    full.resize(length);
    std::replace(full.begin(), full.end(), L'/', L'\\');
    return StripTrailingSeparators(full);
}

bool IsSameFolder(const std::wstring& a, const std::wstring& b) {
    const std::wstring fullA = FullFolderPath(a);
    const std::wstring fullB = FullFolderPath(b);
    if (fullA.empty() || fullB.empty())
        return false;
    return EqualIgnoringCase(fullA, fullB) || IsSameFileObject(fullA, fullB);
}

bool IsRootFolder(const std::wstring& path) {
    std::wstring full = FullFolderPath(path);
    if (full.empty())
        return true;  // what cannot be judged is not given away
    for (const wchar_t* prefix : {L"\\\\?\\", L"\\\\.\\"}) {
        if (full.compare(0, 4, prefix) == 0) {
            full.erase(0, 4);
            // "\\?\C:\" is the drive root, "\\?\UNC\server\share" a share.
            if (full.compare(0, 4, L"UNC\\") == 0)
                full = L"\\\\" + full.substr(4);
            break;
        }
    }
    full = StripTrailingSeparators(full);
    if (DriveRootIndex(full) == 1)
        return full.size() <= 3;
    if (full.compare(0, 2, L"\\\\") == 0) {
        // "\\server" and "\\server\share" hold no folder of their own.
        const size_t separators = std::count(full.begin() + 2, full.end(), L'\\');
        return separators <= 1;
    }
    return full.find(L'\\') == std::wstring::npos;  // a device or a bare name
}

bool IsProtectedFolder(const std::wstring& path) {
    if (IsRootFolder(path))
        return true;
    for (int csidl = 0; csidl <= kLastCsidl; ++csidl) {
        wchar_t special[MAX_PATH] = {};
        if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, special) != S_OK ||
            special[0] == L'\0')
            continue;
        if (IsSameFolder(path, special))
            return true;
    }
    return false;
}
