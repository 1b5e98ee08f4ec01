// The benchmarks' stopwatch, run inside the Wine prefix (scripts/bench.sh):
//
//   rv_bench_clock.exe run [--memory]
//       Starts the command line held in the environment variable
//       RV_BENCH_COMMAND (so that no shell or Wine quoting touches it),
//       waits for it and prints one line
//         RVBENCH <seconds> <exit code> <peak working set bytes>
//       The time runs from just before CreateProcess to the moment the
//       process has ended, so the clock's own start is not in it. With
//       --memory the process's memory counters are read every millisecond
//       while it runs (the peak working set only grows, so the last reading
//       before the end is the peak); without it the peak reads 0 and nothing
//       disturbs the timing.
//   rv_bench_clock.exe hold
//       Keeps a window on the desktop until "release" (at most two hours),
//       so that Wine's desktop process stays up between the measured runs as
//       Explorer does on Windows; otherwise the first program of each run
//       that needs the desktop would start it.
//   rv_bench_clock.exe release
//       Ends a "hold".
//
// The child inherits the clock's standard handles; its output goes where
// the clock's goes, before the RVBENCH line.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kHoldEvent[] = L"Local\\RvBenchHoldRelease";
constexpr DWORD kLongestHoldMs = 2 * 60 * 60 * 1000;

double Seconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

SIZE_T PeakWorkingSet(HANDLE process) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    return GetProcessMemoryInfo(process, &counters, sizeof(counters)) ? counters.PeakWorkingSetSize
                                                                      : 0;
}

// The command line to measure, from RV_BENCH_COMMAND; empty when unset.
std::wstring CommandFromEnvironment() {
    wchar_t buffer[32768];
    const DWORD length = GetEnvironmentVariableW(L"RV_BENCH_COMMAND", buffer, 32768);
    return length > 0 && length < 32768 ? std::wstring(buffer, length) : std::wstring();
}

int Run(bool sampleMemory) {
    std::wstring buffer = CommandFromEnvironment();
    if (buffer.empty()) {
        std::fprintf(stderr, "rv_bench_clock: RV_BENCH_COMMAND is not set\n");
        return 2;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(nullptr, &buffer[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        std::fprintf(stderr, "rv_bench_clock: cannot start (error %lu)\n", GetLastError());
        return 3;
    }
    SIZE_T peak = 0;
    if (sampleMemory) {
        while (WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
            const SIZE_T now = PeakWorkingSet(process.hProcess);
            if (now > peak)
                peak = now;
        }
    } else {
        WaitForSingleObject(process.hProcess, INFINITE);
    }
    QueryPerformanceCounter(&end);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    std::fflush(stdout);
    std::printf("RVBENCH %.6f %lu %lu\n", Seconds(start, end), exitCode,
                static_cast<unsigned long>(peak));
    std::fflush(stdout);
    return 0;
}

int Hold() {
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, kHoldEvent);
    if (release == nullptr)
        return 3;
    // A message-only window connects the process to the desktop.
    HWND window = CreateWindowExW(0, L"STATIC", L"rv_bench_clock", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                  nullptr, nullptr, nullptr);
    std::printf("holding the desktop (%s)\n", window ? "window" : "no window");
    std::fflush(stdout);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kLongestHoldMs) {
        const DWORD result = MsgWaitForMultipleObjects(1, &release, FALSE, 1000, QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    if (window)
        DestroyWindow(window);
    CloseHandle(release);
    return 0;
}

int Release() {
    HANDLE release = OpenEventW(EVENT_MODIFY_STATE, FALSE, kHoldEvent);
    if (release == nullptr)
        return 1;
    SetEvent(release);
    CloseHandle(release);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wcscmp(argv[1], L"run") == 0) {
        const bool memory = argc >= 3 && std::wcscmp(argv[2], L"--memory") == 0;
        return Run(memory);
    }
    if (argc >= 2 && std::wcscmp(argv[1], L"hold") == 0)
        return Hold();
    if (argc >= 2 && std::wcscmp(argv[1], L"release") == 0)
        return Release();
    std::fprintf(stderr, "usage: rv_bench_clock.exe run [--memory] | hold | release\n");
    return 2;
}
