#include "base/SystemFunction.h"

#include <cwchar>

FARPROC GetSystemFunction(const wchar_t* library, const char* name) {
    if (library == nullptr || name == nullptr)
        return nullptr;
    // The full path keeps the search away from the program's folder and the
    // current folder, where a file of the same name could be planted.
    wchar_t path[MAX_PATH] = {};
    const UINT folderLength = GetSystemDirectoryW(path, MAX_PATH);
    const size_t nameLength = std::wcslen(library);
    if (folderLength == 0 || folderLength + 1 + nameLength >= MAX_PATH)
        return nullptr;
    path[folderLength] = L'\\';
    std::wmemcpy(path + folderLength + 1, library, nameLength + 1);
    // The reference is never given back: the DLL stays for the process.
    HMODULE module = LoadLibraryW(path);
    return module != nullptr ? GetProcAddress(module, name) : nullptr;
}
