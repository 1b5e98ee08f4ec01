#include "base/FileIdentity.h"

#include <windows.h>

#include "base/ScopedHandle.h"

namespace {

// Opens the file or folder itself (a folder needs backup semantics, a link
// is opened rather than followed) without asking for any access, so that
// neither sharing nor the access list stands in the way.
bool ReadIdentity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    ScopedFile file(CreateFileW(
        path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file.IsValid() && GetFileInformationByHandle(file.Get(), &info) != FALSE;
}

}  // namespace

bool IsSameFileObject(const std::wstring& a, const std::wstring& b) {
    BY_HANDLE_FILE_INFORMATION first = {};
    BY_HANDLE_FILE_INFORMATION second = {};
    if (a.empty() || b.empty() || !ReadIdentity(a, first) || !ReadIdentity(b, second))
        return false;
    return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}
