// Character width of the shared utilities.
//
// The shared utilities are compiled twice: narrow (char, ANSI code page,
// the "A" Win32 calls) for the installer library and wide (wchar_t, UTF-16,
// the "W" calls) for the launcher. Code whose text width follows the
// deliverable uses RvChar / RvString and the generic Win32 names; code that
// is always narrow or always wide says so with explicit types and calls.
#pragma once

#include <string>

#ifdef RV_WIDE_TEXT
using RvChar = wchar_t;
#define RV_T(text) L##text
#else
using RvChar = char;
#define RV_T(text) text
#endif

using RvString = std::basic_string<RvChar>;
