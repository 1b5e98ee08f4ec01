// Path tests and folder creation on the file system.
#pragma once

#include <string>

// The full form of a path as GetFullPathNameW gives it, of any length
// (the one place that asks for it). Empty when it cannot be formed.
std::wstring FullPath(const std::wstring& path);
// The same with '/' turned into '\' and trailing separators removed except
// a root's own.
std::wstring FullFolderPath(const std::wstring& path);

bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);

// Creates the folder and its missing parents; true when the folder exists
// at the end.
bool CreateDirectoryChain(const std::wstring& path);

// True when the file is missing, or exists and can be opened for reading
// (all sharing allowed). False when it is there but locked against readers
// or closed to this user: what it holds is then unknown.
bool IsReadableOrMissing(const std::wstring& path);
