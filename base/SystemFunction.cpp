#include "base/SystemFunction.h"

#include <cwchar>

bool SystemFolderFile(const wchar_t* name, wchar_t (&path)[MAX_PATH]) {
    path[0] = L'\0';
    if (name == nullptr)
        return false;
    const UINT folderLength = GetSystemDirectoryW(path, MAX_PATH);
    const size_t nameLength = std::wcslen(name);
    if (folderLength == 0) {
        path[0] = L'\0';
        return false;
    }
    if (folderLength + 1 + nameLength >= MAX_PATH) {
        path[0] = L'\0';
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    path[folderLength] = L'\\';
    std::wmemcpy(path + folderLength + 1, name, nameLength + 1);
    return true;
}

FARPROC GetSystemFunction(const wchar_t* library, const char* name) {
    if (library == nullptr || name == nullptr)
        return nullptr;
    wchar_t path[MAX_PATH];
    if (!SystemFolderFile(library, path))
        return nullptr;
    // The reference is never given back: the DLL stays for the process.
    HMODULE module = LoadLibraryW(path);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}
