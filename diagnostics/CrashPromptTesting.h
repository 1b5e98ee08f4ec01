// For tests only: answers the installer's crash question without a message
// box. The product never calls this; the question then goes to MessageBoxW.
#pragma once

#include <windows.h>

// Receives what MessageBoxW would: text, caption and style; returns the
// answer.
using CrashPromptFunction = int (*)(const wchar_t* text, const wchar_t* caption, UINT type);

// Replaces the prompt (null restores MessageBoxW); returns the previous one.
CrashPromptFunction SetCrashPromptForTesting(CrashPromptFunction prompt);
