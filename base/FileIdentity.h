// Whether two names reach the same file or folder on disk, whatever their
// spelling (case, short 8.3 names, separators, relative parts).
#pragma once

#include <string>

// True when both names exist, can be opened (no access rights asked, full
// sharing, so a file in use still counts) and the system reports the same
// volume serial number and file index for them. False otherwise, including
// when either cannot be opened. A link is opened as itself, not followed; on
// Wine 8, though, a Unix link to a folder opens as its target and so is the
// same object as the folder it points to.
bool IsSameFileObject(const std::wstring& a, const std::wstring& b);
