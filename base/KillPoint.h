// Points where a test may have the process killed, to prove that every
// state a kill leaves behind is one the next install recovers from. When
// the environment variable RV_TEST_KILL_AT is "<name>" or "<name>#<n>",
// the process ends at once (exit code 77, nothing cleaned up, as when a
// user ends the task) the first or the n-th time the point of that name is
// passed. Without the variable a point does nothing.
//
// When RV_TEST_PAUSE_AT is "<name>", the process instead pauses at the
// first pass of that point: it sets the named event "RvTestPaused" and
// waits up to 60 seconds for the event "RvTestResume", so that a test can
// change the disk at exactly that moment.
//
// Only a build with tests (RV_TEST_SWITCHES) reads either variable: in a
// release build a point does nothing, whatever the environment says, so
// that no user can cut short an install running elevated.
#pragma once

constexpr unsigned kKilledExitCode = 77;
constexpr wchar_t kPausedEvent[] = L"RvTestPaused";
constexpr wchar_t kResumeEvent[] = L"RvTestResume";

#ifdef RV_TEST_SWITCHES
void KillPoint(const char* name);
#else
inline void KillPoint(const char*) {}
#endif
