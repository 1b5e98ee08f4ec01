// Fuzz target for the path string functions.
#include <vector>

#include "base/PathString.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool HasSeparator(const std::wstring& text) {
    return text.find_first_of(L"\\/") != std::wstring::npos;
}

// The names below the root, empty ones (from doubled separators) left out.
std::vector<std::wstring> NamesBelow(const std::wstring& path, size_t root) {
    std::vector<std::wstring> names;
    std::wstring name;
    for (size_t i = root; i <= path.size(); ++i) {
        if (i == path.size() || IsPathSeparator(path[i])) {
            if (!name.empty())
                names.push_back(name);
            name.clear();
        } else {
            name += path[i];
        }
    }
    return names;
}

// The delete guard's text part: a root alone never passes, and a path that
// passes has a root, names below it, none of them "." or "..", no NUL, and
// keeps passing without its trailing separators or with a plain name added.
void CheckDeletable(const std::wstring& path) {
    const size_t root = AbsoluteRootLength(path);
    FUZZ_CHECK(root <= path.size());
    if (root > 0) {
        FUZZ_CHECK(!IsDeletablePathText(path.substr(0, root)));
        FUZZ_CHECK(!IsDeletablePathText(path.substr(0, root) + L"\\\\"));
        FUZZ_CHECK(AbsoluteRootLength(path.substr(0, root)) == root);
    }
    if (!IsDeletablePathText(path))
        return;
    FUZZ_CHECK(root > 0);
    FUZZ_CHECK(path.find(L'\0') == std::wstring::npos);
    const std::vector<std::wstring> names = NamesBelow(path, root);
    FUZZ_CHECK(!names.empty());
    for (const std::wstring& name : names)
        FUZZ_CHECK(name != L"." && name != L"..");
    FUZZ_CHECK(IsDeletablePathText(StripTrailingSeparators(path)));
    FUZZ_CHECK(IsDeletablePathText(JoinPath(path, L"name")));
    FUZZ_CHECK(!IsDeletablePathText(JoinPath(path, L"..")));
}

void CheckOnePath(const std::wstring& path) {
    const int drive = DriveRootIndex(path);
    FUZZ_CHECK(drive == 1 || drive == -1);

    // Only trailing separators go, the root keeps one, and a second pass
    // finds nothing more to strip.
    const std::wstring stripped = StripTrailingSeparators(path);
    FUZZ_CHECK(StartsWith(path, stripped));
    FUZZ_CHECK(stripped.empty() == path.empty());
    for (size_t i = stripped.size(); i < path.size(); ++i)
        FUZZ_CHECK(IsPathSeparator(path[i]));
    FUZZ_CHECK(StripTrailingSeparators(stripped) == stripped);

    // The parent is "." or a leading part of the path, already stripped.
    const std::wstring parent = ParentPath(path);
    FUZZ_CHECK(parent == L"." || StartsWith(path, parent));
    FUZZ_CHECK(!parent.empty());
    FUZZ_CHECK(StripTrailingSeparators(parent) == parent);

    // The last component is the end of the stripped path, without separators.
    const std::wstring last = LastPathComponent(path);
    FUZZ_CHECK(!HasSeparator(last));
    FUZZ_CHECK(EndsWith(stripped, last));

    FUZZ_CHECK(JoinPath(L".", path) == path);
    if (path != L".")
        FUZZ_CHECK(JoinPath(path, L"") == stripped);

    // Only the drive letter compares without regard to case.
    FUZZ_CHECK(PathEquals(path, path));
    if (drive == 1) {
        std::wstring flipped = path;
        flipped[0] = static_cast<wchar_t>(flipped[0] ^ 0x20);
        FUZZ_CHECK(PathEquals(path, flipped));
        FUZZ_CHECK(PathEquals(flipped, path));
    }

    CheckDeletable(path);
}

void CheckTwoPaths(const std::wstring& a, const std::wstring& b) {
    const bool equal = PathEquals(a, b);
    FUZZ_CHECK(equal == PathEquals(b, a));
    if (a == b)
        FUZZ_CHECK(equal);
    if (DriveRootIndex(a) < 0 || DriveRootIndex(b) < 0)
        FUZZ_CHECK(equal == (a == b));
    if (equal)
        FUZZ_CHECK(a.size() == b.size());

    const std::wstring joined = JoinPath(a, b);
    FUZZ_CHECK(EndsWith(joined, b));
    // Joining one plain name (no separator, no ":" that could make a drive)
    // is undone by ParentPath and found again by LastPathComponent.
    if (!b.empty() && !HasSeparator(b) && b.find(L':') == std::wstring::npos) {
        FUZZ_CHECK(LastPathComponent(joined) == b);
        const std::wstring base = a.empty() ? std::wstring(L".") : StripTrailingSeparators(a);
        FUZZ_CHECK(ParentPath(joined) == base);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two paths, separated by a NUL unit; anything after a second NUL is
    // ignored, as a C string would end there.
    const std::wstring text = WideFromUtf16Units(data, size);
    const size_t split = text.find(L'\0');
    const std::wstring a = text.substr(0, split);
    std::wstring b;
    if (split != std::wstring::npos)
        b = text.substr(split + 1, text.find(L'\0', split + 1) - split - 1);
    CheckOnePath(a);
    CheckOnePath(b);
    CheckTwoPaths(a, b);
    CheckTwoPaths(b, a);
    return 0;
}
