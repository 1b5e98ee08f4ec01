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
    // What cannot be judged is not given away: an empty or device form
    // counts as a root as much as "C:\" or "\\server\share" does.
    const std::wstring full = FullFolderPath(path);
    const size_t root = AbsoluteRootLength(full);
    return root == 0 || root >= StripTrailingSeparators(full).size();
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
