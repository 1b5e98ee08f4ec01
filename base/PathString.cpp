#include "base/PathString.h"

namespace {

const wchar_t kSeparators[] = L"\\/";

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

wchar_t AsciiLower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
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
