// rundll32-style exports for the launcher benchmark (scripts/bench.sh):
// "Return" comes back at once, so a rundll32.exe start that runs it
// measures a whole rundll32 start; "Linger" stays for a second, as a core
// module does, so the launcher's wait after the start runs out in full.
#include <windows.h>

extern "C" __declspec(dllexport) void CALLBACK Return(HWND, HINSTANCE, LPSTR, int) {}

extern "C" __declspec(dllexport) void CALLBACK Linger(HWND, HINSTANCE, LPSTR, int) {
    Sleep(1000);
}
