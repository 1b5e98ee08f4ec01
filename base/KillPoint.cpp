#include "base/KillPoint.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct KillSpec {
    std::string name;
    long count = 0;
};

KillSpec ReadKillSpec() {
    KillSpec spec;
    char text[128] = {};
    const DWORD length = GetEnvironmentVariableA("RV_TEST_KILL_AT", text, sizeof(text));
    if (length == 0 || length >= sizeof(text))
        return spec;
    spec.name = text;
    spec.count = 1;
    const size_t mark = spec.name.find('#');
    if (mark != std::string::npos) {
        spec.count = std::strtol(spec.name.c_str() + mark + 1, nullptr, 10);
        spec.name.erase(mark);
    }
    return spec;
}

}  // namespace

void KillPoint(const char* name) {
    static const KillSpec spec = ReadKillSpec();
    static volatile LONG passed = 0;
    if (spec.name.empty() || std::strcmp(spec.name.c_str(), name) != 0)
        return;
    if (InterlockedIncrement(&passed) == spec.count)
        TerminateProcess(GetCurrentProcess(), kKilledExitCode);
}
