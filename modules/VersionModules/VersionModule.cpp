// Resource carrier for the version test libraries; the code does nothing.
#include <windows.h>

extern "C" __declspec(dllexport) int VersionModuleMarker() {
    return 1;
}
