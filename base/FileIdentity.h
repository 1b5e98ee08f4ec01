// Whether two names reach the same file or folder on disk, whatever their
// spelling (case, short 8.3 names, separators, relative parts).
#pragma once

#include <string>

// True when both names exist, can be opened (no access rights asked, full
// sharing, so a file in use still counts) and the system reports the same
// volume serial number and file index for them. A link is compared as
// itself, not as what it points to. False otherwise, including when either
// cannot be opened.
bool IsSameFileObject(const std::wstring& a, const std::wstring& b);
