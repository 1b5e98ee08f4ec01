// A host that never unloads the installer library: loads RvInstaller.dll
// from its own folder, calls doInst with "{}" and returns from main with the
// library still loaded, so that the library sees its detach only as part of
// the process exit.
//
//   RvExitProbe.exe <calls>
//     Calls doInst that many times, one after another. It counts the threads
//     of its process before the load, after it and after the calls, and
//     prints the three counts.
//   RvExitProbe.exe --exit-during-call <pipe name>
//     Serves the named pipe with a one-byte buffer and calls doInst on a
//     second thread; with a log configuration whose file appender writes to
//     that pipe, the call stays blocked in its first log write, holding the
//     locks of log4cplus, while main returns.
//
// Exit code: 0 when all went as described, 1 when the thread count changed,
// 2 for a bad command line, 3 when the library or its export cannot be
// found, 4 when the call on the second thread was not held in its log write.
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ScopedHandle.h"

namespace {

using DoInstFunction = int(__cdecl*)(const char* request, char*& result);

DoInstFunction g_doInst = nullptr;

int CountOwnThreads() {
    ScopedGeneric<FileHandleTraits> snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot)
        return -1;
    const DWORD self = GetCurrentProcessId();
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Thread32First(snapshot.Get(), &entry); more;
         more = Thread32Next(snapshot.Get(), &entry)) {
        if (entry.th32OwnerProcessID == self)
            ++count;
    }
    return count;
}

std::wstring LibraryBesideProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"RvInstaller.dll";
}

void CallDoInst() {
    char* result = nullptr;
    g_doInst("{}", result);
    delete[] result;
}

DWORD WINAPI CallDoInstThread(void*) {
    CallDoInst();
    return 0;
}

int ExitDuringCall(const char* pipeName) {
    // Left open on purpose: closing the server end would fail the blocked
    // write and let the call finish before the process ends.
    const std::string path = std::string("\\\\.\\pipe\\") + pipeName;
    HANDLE pipe = CreateNamedPipeA(path.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                   0, 1, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE)
        return 4;
    ScopedGeneric<KernelHandleTraits> caller(
        CreateThread(nullptr, 0, CallDoInstThread, nullptr, 0, nullptr));
    if (!caller)
        return 4;
    for (int waited = 0; waited < 10000; waited += 50) {
        DWORD available = 0;
        if (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0)
            break;
        if (WaitForSingleObject(caller.Get(), 50) == WAIT_OBJECT_0)
            return 4;
    }
    // The written bytes exceed the buffer: the writer waits for a reader.
    if (WaitForSingleObject(caller.Get(), 500) != WAIT_TIMEOUT)
        return 4;
    std::printf("call held in its log write\n");
    std::fflush(stdout);
    return 0;
}

int SequentialCalls(int calls, int before) {
    const int loaded = CountOwnThreads();
    for (int i = 0; i < calls; ++i)
        CallDoInst();
    const int after = CountOwnThreads();
    std::printf("threads: before %d, loaded %d, after %d calls %d\n", before, loaded, calls, after);
    std::fflush(stdout);
    return loaded == before && after == before ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const bool duringCall = argc == 3 && std::strcmp(argv[1], "--exit-during-call") == 0;
    if (argc != 2 && !duringCall)
        return 2;

    const int before = CountOwnThreads();
    HMODULE module = LoadLibraryW(LibraryBesideProgram().c_str());
    if (!module)
        return 3;
    g_doInst =
        reinterpret_cast<DoInstFunction>(reinterpret_cast<void*>(GetProcAddress(module, "doInst")));
    if (!g_doInst)
        return 3;

    // No FreeLibrary: the library stays loaded into the process exit.
    return duringCall ? ExitDuringCall(argv[2]) : SequentialCalls(std::atoi(argv[1]), before);
}
