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
