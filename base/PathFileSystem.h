// Path tests and folder creation on the file system.
#pragma once

#include <string>

bool PathExists(const std::wstring& path);
bool IsDirectory(const std::wstring& path);

// Creates the folder and its missing parents; true when the folder exists
// at the end.
bool CreateDirectoryChain(const std::wstring& path);
