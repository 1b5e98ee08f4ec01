// Points where a test may have the process killed, to prove that every
// state a kill leaves behind is one the next install recovers from. When
// the environment variable RV_TEST_KILL_AT is "<name>" or "<name>#<n>",
// the process ends at once (exit code 77, nothing cleaned up, as when a
// user ends the task) the first or the n-th time the point of that name is
// passed. Without the variable a point does nothing.
#pragma once

constexpr unsigned kKilledExitCode = 77;

void KillPoint(const char* name);
