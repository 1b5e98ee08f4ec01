#include "installer/InstallFolderRules.h"

#include "base/PathString.h"

namespace {

wchar_t AsciiUpper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool IsForbiddenNameCharacter(wchar_t c) {
    if (c < 0x20)
        return true;
    switch (c) {
        case L'<':
        case L'>':
        case L':':
        case L'"':
        case L'|':
        case L'?':
        case L'*':
            return true;
        default:
            return false;
    }
}

// CON, PRN, AUX, NUL, COM1..COM9 and LPT1..LPT9 name devices, whatever
// extension or trailing blanks follow them.
bool IsDeviceName(const std::wstring& part) {
    std::wstring stem = part.substr(0, part.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = AsciiUpper(c);
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL")
        return true;
    return stem.size() == 4 &&
           (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

bool IsValidNamePart(const std::wstring& part) {
    if (part.empty())
        return false;
    if (part.find_first_not_of(L'.') == std::wstring::npos)
        return false;  // ".", ".." and every other all-dots name
    if (part.back() == L'.' || part.back() == L' ')
        return false;
    for (wchar_t c : part) {
        if (IsForbiddenNameCharacter(c))
            return false;
    }
    return !IsDeviceName(part);
}

}  // namespace

bool IsValidSubDir(const std::wstring& subDir) {
    if (subDir.empty())
        return true;
    if (IsPathSeparator(subDir.front()))
        return false;
    size_t end = subDir.size();
    while (end > 0 && IsPathSeparator(subDir[end - 1]))
        --end;
    size_t start = 0;
    while (start <= end) {
        size_t next = start;
        while (next < end && !IsPathSeparator(subDir[next]))
            ++next;
        if (!IsValidNamePart(subDir.substr(start, next - start)))
            return false;
        start = next + 1;
    }
    return true;
}

bool IsValidFileName(const std::wstring& name) {
    for (wchar_t c : name) {
        if (IsPathSeparator(c))
            return false;
    }
    return IsValidNamePart(name);
}

bool IsAbsoluteFolderPath(const std::wstring& path) {
    const size_t root = AbsoluteRootLength(path);
    return root > 0 && root < StripTrailingSeparators(path).size();
}

bool IsSameOrInsidePath(const std::wstring& inner, const std::wstring& outer) {
    const std::wstring in = StripTrailingSeparators(inner);
    const std::wstring out = StripTrailingSeparators(outer);
    if (out.empty() || in.size() < out.size())
        return false;
    for (size_t i = 0; i < out.size(); ++i) {
        const bool bothSeparators = IsPathSeparator(in[i]) && IsPathSeparator(out[i]);
        if (!bothSeparators && AsciiUpper(in[i]) != AsciiUpper(out[i]))
            return false;
    }
    // A root keeps its separator ("C:\"), so what follows it is inside.
    return in.size() == out.size() || IsPathSeparator(in[out.size()]) ||
           IsPathSeparator(out.back());
}
