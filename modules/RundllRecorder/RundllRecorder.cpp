// A test library with rundll32-style exports. Each call records what it
// received in "<this library's path>.txt" as one line
//   <process id> TAB <host program's full path> TAB <parameter text>
// so that a test can tell which process, started from which file, ran the
// export and with what text.
// The record is written to a temporary name first and then renamed, so a
// reader never sees half of it.
#include <windows.h>

#include <string>

namespace {

HMODULE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

void Record(const char* parameters) {
    const std::wstring own = ModulePath(ThisModule());
    if (own.empty())
        return;
    const std::wstring host = ModulePath(nullptr);

    std::string line = std::to_string(GetCurrentProcessId()) + "\t";
    char narrowHost[MAX_PATH] = {};
    WideCharToMultiByte(CP_ACP, 0, host.c_str(), -1, narrowHost, MAX_PATH, nullptr, nullptr);
    line += narrowHost;
    line += "\t";
    line += parameters ? parameters : "";
    line += "\n";

    const std::wstring temporary = own + L".tmp";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), (own + L".txt").c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

extern "C" {

// Records the call and returns.
__declspec(dllexport) void CALLBACK RecordCall(HWND, HINSTANCE, LPSTR parameters, int) {
    Record(parameters);
}

// Records the call and then keeps its process alive for a while, the way a
// long-running export would.
__declspec(dllexport) void CALLBACK RecordThenLinger(HWND, HINSTANCE, LPSTR parameters, int) {
    Record(parameters);
    Sleep(30000);
}

}  // extern "C"
