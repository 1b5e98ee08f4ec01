// Stand-in for the product's core module, run through rundll32.exe:
//
//   rundll32.exe "<folder>\CoreModule.dll",RunCore <text>
//
// RunCore keeps the module loaded in its rundll32 process, as the real
// core does, until the installer asks it to end by setting the event
// Global\PuShellExt_CoredllExitEvent_20150504. When <text> names an
// existing file, the core holds it open without sharing until then, as the
// real core does with its task data. A process nobody asks ends
// by itself after ten minutes, so a forgotten test run leaves nothing.
#include <windows.h>

#include "base/ScopedHandle.h"

namespace {

constexpr wchar_t kExitEventName[] = L"Global\\PuShellExt_CoredllExitEvent_20150504";
constexpr DWORD kLongestRunMs = 10 * 60 * 1000;

}  // namespace

extern "C" __declspec(dllexport) void CALLBACK RunCore(HWND, HINSTANCE, LPSTR text, int) {
    ScopedFile held(CreateFileA(text != nullptr ? text : "", GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    // Manual reset: every running core sees the request, and a second core
    // started while one runs opens the same event.
    ScopedHandle exitEvent(CreateEventW(nullptr, TRUE, FALSE, kExitEventName));
    if (!exitEvent)
        return;
    WaitForSingleObject(exitEvent.Get(), kLongestRunMs);
}
