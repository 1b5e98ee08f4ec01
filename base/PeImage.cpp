// The quick program-image test: a file is taken for a program image when it
// starts with the DOS header signature "MZ"; nothing else is examined.
#include "base/ProcessUtil.h"
#include "base/ScopedHandle.h"

bool IsValidPEImage(const RvString& path) {
    if (GetFileAttributes(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return false;
    ScopedFile file(CreateFile(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    ScopedHandle mapping(CreateFileMapping(file.Get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping)
        return false;
    ScopedMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!view)
        return false;
    // An empty file cannot be mapped (the mapping call fails and leaves its
    // error for the caller); any other view spans at least one whole page,
    // zero-filled past the end of the file, so two bytes can be read.
    const auto* bytes = static_cast<const unsigned char*>(view.Get());
    return bytes[0] == 'M' && bytes[1] == 'Z';
}

bool IsPEImageFile(HANDLE file) {
    LARGE_INTEGER start = {};
    char bytes[2] = {};
    DWORD read = 0;
    return SetFilePointerEx(file, start, nullptr, FILE_BEGIN) &&
           ReadFile(file, bytes, sizeof(bytes), &read, nullptr) && read == sizeof(bytes) &&
           bytes[0] == 'M' && bytes[1] == 'Z';
}
