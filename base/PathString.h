// Path strings: joining, parents, separators, comparison. Pure text code on
// UTF-16 strings, free of the Windows headers. Both '\' and '/' count as
// separators; a join always inserts '\'.
#pragma once

#include <string>

bool IsPathSeparator(wchar_t c);

// 1 when the path starts with an ASCII letter and ':', otherwise -1.
int DriveRootIndex(const std::wstring& path);

std::wstring StripTrailingSeparators(const std::wstring& path);
std::wstring JoinPath(const std::wstring& base, const std::wstring& tail);
std::wstring ParentPath(const std::wstring& path);

// Drive letters compare without regard to case, everything else exactly.
bool PathEquals(const std::wstring& a, const std::wstring& b);

std::wstring LastPathComponent(const std::wstring& path);

// Length of the root of an absolute path: "C:\" for a drive; "\\server\share"
// for a share; "\\?\C:\" and "\\?\UNC\server\share" (also with "\\.\") for
// the device forms. 0 when the path has no such root: relative, relative to
// a drive's current folder ("C:name"), rooted without a drive ("\name"), a
// share without its share name, or any other device path.
size_t AbsoluteRootLength(const std::wstring& path);

// True when the text may name what a tree delete or a deleting move acts on:
// it has an absolute root (AbsoluteRootLength) and at least one name below
// it, and no name is "." or ".." or otherwise made only of dots and spaces
// (which the system folds into a parent), nor holds a wildcard or a
// character that the file system does not take as part of a name
// ('*', '?', '<', '>', '"', '|', ':', control characters, NUL). Doubled and
// trailing separators are allowed.
bool IsDeletablePathText(const std::wstring& path);
