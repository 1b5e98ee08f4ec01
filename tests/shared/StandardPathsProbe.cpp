// Child program of the standard-path tests. The install folder is searched
// from the running module's own file, so the tests copy this program into
// folder trees of their own and run it there. It resolves every kind (and
// two kinds that do not exist) and writes one line per kind,
// "<kind>\t<0|1>\t<path>\n", as UTF-8 into the file named by its argument.
#include <windows.h>
#include <shellapi.h>

#include <string>

#include "base/StandardPaths.h"

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr || count < 2)
        return 2;
    std::wstring text;
    for (int type = -1; type <= 16; ++type) {
        std::wstring path = L"untouched";
        const bool result = GetStandardPath(path, type);
        text += std::to_wstring(type) + L"\t" + (result ? L"1" : L"0") + L"\t" + path + L"\n";
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size,
                        nullptr, nullptr);
    HANDLE file = CreateFileW(args[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LocalFree(args);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
