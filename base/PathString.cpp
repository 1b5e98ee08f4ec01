#include "base/PathString.h"

namespace {

const wchar_t kSeparators[] = L"\\/";

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// Characters the file system takes as patterns, streams or nothing at all
// rather than as part of a name.
bool IsUnsafeNameCharacter(wchar_t c) {
    return c < 0x20 || c == L'*' || c == L'?' || c == L'<' || c == L'>' || c == L'"' || c == L'|' ||
           c == L':';
}

size_t NameEnd(const std::wstring& path, size_t start) {
    size_t end = start;
    while (end < path.size() && !IsPathSeparator(path[end]))
        ++end;
    return end;
}

// A name below a root: not empty, not made only of dots and spaces (".",
// "..", "...", ". "), no unsafe character.
bool IsPlainName(const std::wstring& path, size_t start, size_t end) {
    bool onlyDots = true;
    for (size_t i = start; i < end; ++i) {
        if (IsUnsafeNameCharacter(path[i]))
            return false;
        if (path[i] != L'.' && path[i] != L' ')
            onlyDots = false;
    }
    return end > start && !onlyDots;
}

// "server\share" starting at `start`: the end of the share name, or 0 when
// either name is missing or not a plain name.
size_t ShareRootEnd(const std::wstring& path, size_t start) {
    const size_t serverEnd = NameEnd(path, start);
    if (!IsPlainName(path, start, serverEnd) || serverEnd == path.size())
        return 0;
    const size_t shareEnd = NameEnd(path, serverEnd + 1);
    return IsPlainName(path, serverEnd + 1, shareEnd) ? shareEnd : 0;
}

bool IsDriveRootAt(const std::wstring& path, size_t start) {
    return path.size() > start + 2 && DriveRootIndex(path.substr(start, 2)) == 1 &&
           IsPathSeparator(path[start + 2]);
}

// "\\?\" or "\\.\", with either separator.
bool HasDevicePrefix(const std::wstring& path) {
    return path.size() >= 4 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]) &&
           (path[2] == L'?' || path[2] == L'.') && IsPathSeparator(path[3]);
}

}  // namespace

bool IsPathSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

int DriveRootIndex(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':' && IsAsciiLetter(path[0]))
        return 1;
    return -1;
}

std::wstring StripTrailingSeparators(const std::wstring& path) {
    const int r = DriveRootIndex(path);
    // The root keeps its own separator: "C:\" or "\" stays as it is.
    const size_t rootLength = static_cast<size_t>(r + 2);
    size_t length = path.size();
    bool removed = false;
    while (length > rootLength && IsPathSeparator(path[length - 1])) {
        // A doubled root separator ("\\" or "C:\\") is kept as a pair,
        // unless it is what is left of a longer run of separators.
        if (length == rootLength + 1 && IsPathSeparator(path[r + 1]) && !removed)
            break;
        --length;
        removed = true;
    }
    return path.substr(0, length);
}

std::wstring JoinPath(const std::wstring& base, const std::wstring& tail) {
    if (base == L".")
        return tail;
    std::wstring result = StripTrailingSeparators(base);
    const bool bareDrive = result.size() == 2 && DriveRootIndex(result) == 1;
    if (!tail.empty() && !result.empty() && !IsPathSeparator(result.back()) && !bareDrive)
        result += L'\\';
    result += tail;
    return result;
}

std::wstring ParentPath(const std::wstring& path) {
    const std::wstring p = StripTrailingSeparators(path);
    const int r = DriveRootIndex(p);
    const size_t d = p.find_last_of(kSeparators);
    size_t keep;
    if (d == std::wstring::npos) {
        keep = static_cast<size_t>(r + 1);  // "C:" of "C:name", nothing of "name"
    } else if (d == static_cast<size_t>(r + 1)) {
        keep = static_cast<size_t>(r + 2);  // the root separator
    } else if (d == static_cast<size_t>(r + 2) && IsPathSeparator(p[r + 1])) {
        keep = static_cast<size_t>(r + 3);  // a doubled root, as in "\\server"
    } else {
        keep = d;
    }
    std::wstring parent = StripTrailingSeparators(p.substr(0, keep));
    if (parent.empty())
        parent = L".";
    return parent;
}

bool PathEquals(const std::wstring& a, const std::wstring& b) {
    if (DriveRootIndex(a) < 0 || DriveRootIndex(b) < 0)
        return a == b;
    if (AsciiLower(a[0]) != AsciiLower(b[0]))
        return false;
    return a.compare(2, std::wstring::npos, b, 2, std::wstring::npos) == 0;
}

std::wstring LastPathComponent(const std::wstring& path) {
    std::wstring p = StripTrailingSeparators(path);
    if (DriveRootIndex(p) == 1)
        p.erase(0, 2);
    const size_t d = p.find_last_of(kSeparators);
    return d == std::wstring::npos ? p : p.substr(d + 1);
}

size_t AbsoluteRootLength(const std::wstring& path) {
    if (HasDevicePrefix(path)) {
        if (IsDriveRootAt(path, 4))
            return 7;
        const bool unc = path.size() > 8 && AsciiLower(path[4]) == L'u' &&
                         AsciiLower(path[5]) == L'n' && AsciiLower(path[6]) == L'c' &&
                         IsPathSeparator(path[7]);
        return unc ? ShareRootEnd(path, 8) : 0;
    }
    if (path.size() >= 2 && IsPathSeparator(path[0]) && IsPathSeparator(path[1]))
        return ShareRootEnd(path, 2);
    return IsDriveRootAt(path, 0) ? 3 : 0;
}

bool IsDeletablePathText(const std::wstring& path) {
    const size_t rootLength = AbsoluteRootLength(path);
    if (rootLength == 0)
        return false;
    bool hasName = false;
    size_t start = rootLength;
    while (start < path.size()) {
        if (IsPathSeparator(path[start])) {
            ++start;
            continue;
        }
        const size_t end = NameEnd(path, start);
        if (!IsPlainName(path, start, end))
            return false;
        hasName = true;
        start = end;
    }
    return hasName;
}
