// The installer library's question before a crash report: a Yes/No message
// box with the host program's path, captioned "crash now call coder
// please". "Yes" skips the report. Narrow flavor only.
#pragma once

#include <windows.h>

// Shows the question for the program path; returns the answer (IDYES, IDNO,
// or 0 when no box could be shown).
int ShowCrashPrompt(const wchar_t* programPath);
