#include "base/KillPoint.h"

#ifdef RV_TEST_SWITCHES

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "base/ScopedHandle.h"

namespace {

struct KillSpec {
    std::string name;
    long count = 0;
};

KillSpec ReadKillSpec(const char* variable) {
    KillSpec spec;
    char text[128] = {};
    const DWORD length = GetEnvironmentVariableA(variable, text, sizeof(text));
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

void PauseOnce() {
    static volatile LONG paused = 0;
    if (InterlockedIncrement(&paused) != 1)
        return;
    const ScopedHandle pausedEvent(CreateEventW(nullptr, TRUE, FALSE, kPausedEvent));
    const ScopedHandle resumeEvent(CreateEventW(nullptr, TRUE, FALSE, kResumeEvent));
    if (!pausedEvent || !resumeEvent)
        return;
    SetEvent(pausedEvent.Get());
    WaitForSingleObject(resumeEvent.Get(), 60000);
}

}  // namespace

void KillPoint(const char* name) {
    static const KillSpec pause = ReadKillSpec("RV_TEST_PAUSE_AT");
    if (!pause.name.empty() && std::strcmp(pause.name.c_str(), name) == 0)
        PauseOnce();
    static const KillSpec spec = ReadKillSpec("RV_TEST_KILL_AT");
    static volatile LONG passed = 0;
    if (spec.name.empty() || std::strcmp(spec.name.c_str(), name) != 0)
        return;
    if (InterlockedIncrement(&passed) == spec.count)
        TerminateProcess(GetCurrentProcess(), kKilledExitCode);
}

#endif  // RV_TEST_SWITCHES
