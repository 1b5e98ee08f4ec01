// Conversions between narrow text (bytes in a Windows code page, the ANSI
// code page throughout the product) and UTF-16, and the bounded formatting
// into path-sized buffers.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "base/RvText.h"

// Converts exactly `length` bytes; invalid input for the code page gives an
// empty string, never a partial one.
std::wstring ToWide(const char* text, size_t length, UINT codePage);
std::wstring ToWide(const std::string& text, UINT codePage);
std::string ToNarrow(const std::wstring& text, UINT codePage);

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);

// Converts NUL-terminated text into a new array (released with delete[])
// holding the ANSI text and its NUL. Returns the byte count written,
// including the NUL; 0 for absent or empty input, and then nothing is
// allocated and *output is set to null.
int WideToAnsiBuffer(const wchar_t* text, char** output);

// Text of the deliverable's width from and to UTF-16 (a copy in the wide
// flavor, an ANSI conversion in the narrow one).
RvString WideToRv(const std::wstring& text);
std::wstring RvToWide(const RvString& text);

// Size of the fixed buffers that paths and formatted texts are built in.
constexpr size_t kPathBufferSize = MAX_PATH;

// Formats into `buffer` of `count` characters (at most kPathBufferSize).
// Returns the length written, or -1 when the text with its NUL does not
// fit: the buffer then holds empty text. Text is never cut.
int FormatToPathBuffer(RvChar* buffer, size_t count, const RvChar* format, ...);
