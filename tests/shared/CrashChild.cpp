// Test program for the crash handler: installs it the way a deliverable
// does, then crashes on purpose.
//   RvCrashChild_x.exe process <name>            process-wide handler, a write to address 0
//   RvCrashChild_x.exe guard <name>              handler without the process-wide filter and a
//                                                second installation with another name and the
//                                                flag set (which must change nothing), then a
//                                                crash under a guard whose filter is
//                                                RV_ExceptFilter; exits with 3 when it fired
//   RvCrashChild_x.exe invalid-parameter <name>  process-wide handler, a runtime call with an
//                                                invalid parameter
//   RvCrashChild_x.exe pure-call <name>          process-wide handler, the runtime's
//                                                pure-virtual-call entry
// The narrow build takes further arguments: "prompt=yes" or "prompt=no"
// answers the installer's crash question without a message box and writes
// what it asked to "prompt.txt" next to the program; "admin-only=yes" lets
// every path pass the check that only administrators can change the install
// folder and the report program, and writes each path asked about as a line
// of "admin-only.txt" (UTF-8) next to the program.
#include <windows.h>

#include <cstring>
#include <string>

#include "diagnostics/ExceptHandler.h"
#include "diagnostics/SehGuard.h"
#ifndef RV_WIDE_TEXT
#include "diagnostics/CrashPromptTesting.h"
#include "diagnostics/ExceptHandlerTesting.h"
#endif

namespace {

enum ExitCode {
    kGuardFired = 3,
    kRuntimeReturned = 4,
    kNotReached = 90,
    kUsage = 91,
};

volatile ULONG_PTR g_nowhere = 0;

void CrashOnPurpose() {
    *reinterpret_cast<volatile int*>(g_nowhere) = 1;
}

RvString FromAscii(const char* text) {
    return RvString(text, text + std::strlen(text));
}

#ifndef RV_WIDE_TEXT
int g_promptAnswer = IDNO;

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    return out;
}

// Writes `text` into the file `name` next to this program, replacing it
// or, with `append`, adding to its end.
void WriteBesideProgram(const wchar_t* name, const std::string& text, bool append) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring record(path);
    record = record.substr(0, record.find_last_of(L'\\') + 1) + name;
    HANDLE file = CreateFileW(record.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, 0, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
}

int RecordingPrompt(const wchar_t* text, const wchar_t* caption, UINT type) {
    WriteBesideProgram(L"prompt.txt",
                       Utf8(text) + "\n" + Utf8(caption) + "\n" + std::to_string(type), false);
    return g_promptAnswer;
}

bool RecordingAdminOnlyCheck(const std::wstring& path) {
    WriteBesideProgram(L"admin-only.txt", Utf8(path.c_str()) + "\n", true);
    return true;
}
#endif

FARPROC RuntimeEntry(const char* name) {
    return GetProcAddress(GetModuleHandleA("msvcrt.dll"), name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return kUsage;
    const std::string mode = argv[1];
    const RvString name = FromAscii(argv[2]);
#ifndef RV_WIDE_TEXT
    for (int index = 3; index < argc; ++index) {
        if (std::strncmp(argv[index], "prompt=", 7) == 0) {
            g_promptAnswer = std::strcmp(argv[index], "prompt=yes") == 0 ? IDYES : IDNO;
            SetCrashPromptForTesting(RecordingPrompt);
        } else if (std::strcmp(argv[index], "admin-only=yes") == 0) {
            SetAdminOnlyCheckForTesting(RecordingAdminOnlyCheck);
        }
    }
#endif

    if (mode == "guard") {
        RV_ExceptHandlerInit(name.c_str(), false);
        RV_ExceptHandlerInit(RV_T("OtherModule"), true);
        const bool completed = SehTry(CrashOnPurpose, [](DWORD code, EXCEPTION_POINTERS* pointers) {
            return static_cast<LONG>(RV_ExceptFilter(code, pointers, "CrashChild"));
        });
        return completed ? kNotReached : kGuardFired;
    }

    RV_ExceptHandlerInit(name.c_str(), true);
    if (mode == "process") {
        CrashOnPurpose();
    } else if (mode == "invalid-parameter") {
        using CopyFunction = int(__cdecl*)(char*, size_t, const char*);
        auto copy =
            reinterpret_cast<CopyFunction>(reinterpret_cast<void*>(RuntimeEntry("strcpy_s")));
        if (copy == nullptr)
            return kUsage;
        copy(nullptr, 0, "x");
        return kRuntimeReturned;
    } else if (mode == "pure-call") {
        using PureCallFunction = void(__cdecl*)();
        auto pureCall =
            reinterpret_cast<PureCallFunction>(reinterpret_cast<void*>(RuntimeEntry("_purecall")));
        if (pureCall == nullptr)
            return kUsage;
        pureCall();
        return kRuntimeReturned;
    }
    return kNotReached;
}
