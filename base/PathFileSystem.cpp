#include "base/PathFileSystem.h"

#include <windows.h>

#include <algorithm>

#include "base/PathString.h"

bool PathExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDirectoryChain(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;

    // A root whose parent is itself (a missing drive, "\\") ends the climb.
    const std::wstring parent = ParentPath(path);
    if (parent == path)
        return false;
    if (!CreateDirectoryChain(parent))
        return false;

    if (CreateDirectoryW(path.c_str(), nullptr))
        return true;
    // Someone else may have created it in between.
    return GetLastError() == ERROR_ALREADY_EXISTS && IsDirectory(path);
}

bool IsReadableOrMissing(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
        (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND))
        return true;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

std::wstring FullPath(const std::wstring& path) {
    if (path.empty())
        return std::wstring();
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return std::wstring();
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed)
        return std::wstring();
    full.resize(length);
    return full;
}

std::wstring FullFolderPath(const std::wstring& path) {
    std::wstring full = FullPath(path);
    std::replace(full.begin(), full.end(), L'/', L'\\');
    return StripTrailingSeparators(full);
}
