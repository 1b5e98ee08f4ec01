#include "base/FileIdentity.h"

#include <windows.h>

#include "base/ScopedHandle.h"

bool ReadFileObjectId(const std::wstring& path, FileObjectId& id) {
    // A folder needs backup semantics; no access is asked for, so that
    // neither sharing nor the access list stands in the way.
    if (path.empty())
        return false;
    ScopedFile file(CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &info))
        return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool IsSameFileObject(const std::wstring& a, const std::wstring& b) {
    FileObjectId first;
    FileObjectId second;
    return ReadFileObjectId(a, first) && ReadFileObjectId(b, second) && first == second;
}
