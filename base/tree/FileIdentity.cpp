#include "base/tree/FileIdentity.h"

#include <windows.h>
#include <winternl.h>

#include "base/ScopedHandle.h"

namespace {

// Opens the file or folder itself (a folder needs backup semantics, a link
// is opened rather than followed) without asking for any access, so that
// neither sharing nor the access list stands in the way.
HANDLE OpenObject(const std::wstring& path) {
    if (path.empty())
        return INVALID_HANDLE_VALUE;
    return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

bool ReadFileObjectId(const std::wstring& path, FileObjectId& id) {
    ScopedFile file(OpenObject(path));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &info))
        return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool ReadFileIndex(const std::wstring& path, std::uint64_t& index) {
    ScopedFile file(OpenObject(path));
    IO_STATUS_BLOCK status = {};
    LARGE_INTEGER internal = {};
    if (!file.IsValid() || NtQueryInformationFile(file.Get(), &status, &internal, sizeof(internal),
                                                  FileInternalInformation) < 0)
        return false;
    index = static_cast<std::uint64_t>(internal.QuadPart);
    return true;
}

bool IsSameFileObject(const std::wstring& a, const std::wstring& b) {
    std::uint64_t first = 0;
    std::uint64_t second = 0;
    if (!ReadFileIndex(a, first) || !ReadFileIndex(b, second) || first != second)
        return false;
    FileObjectId firstId;
    FileObjectId secondId;
    return ReadFileObjectId(a, firstId) && ReadFileObjectId(b, secondId) && firstId == secondId;
}
