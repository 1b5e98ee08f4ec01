// Rules for where an install may go, on path text alone (no file system,
// no Windows headers): the request's sub-folder and the resolved install
// folder.
#pragma once

#include <string>

// True when `subDir` is a relative path of plain names that stays below the
// folder it is joined to: no leading separator, no drive, no "." or ".."
// (or any all-dots) part, no empty part, no character Windows forbids in a
// name (< > : " / | ? * and control characters), no part ending in a dot
// or blank (Windows drops those, so two texts would name one folder) and no
// device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without an
// extension). Trailing separators are allowed; '/' counts as a separator.
// Empty text is valid: it stands for the default sub-folder.
bool IsValidSubDir(const std::wstring& subDir);

// True for a path with an absolute root ("X:\", "\\server\share") and a
// name below it: the forms an install folder may take.
bool IsAbsoluteFolderPath(const std::wstring& path);

// True when `name` is one plain file name by the rules above for a part of
// `subDir`: no separator, no forbidden or control character, not all dots,
// no trailing dot or blank, no device name.
bool IsValidFileName(const std::wstring& name);

// True when the full path `inner` names the folder `outer` or one below it,
// judged on the text alone: '/' counts as '\', trailing separators are
// ignored and ASCII letters compare without regard to case. Both paths
// must be full forms; the file system's view (other spellings, 8.3 names)
// is the caller's to add.
bool IsSameOrInsidePath(const std::wstring& inner, const std::wstring& outer);
