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

// The same conversions, checked: true only when the text survives the
// round trip through the other form unchanged. The plain ones map a
// character the code page cannot hold to '?' or a look-alike ("best fit")
// and an invalid byte sequence to U+FFFD, which would turn a path into
// another one. The output is set either way.
bool AnsiToWideExact(const std::string& text, std::wstring& wide);
bool WideToAnsiExact(const std::wstring& text, std::string& ansi);

// UTF-8 to and from UTF-16 and ANSI text. Utf8ToWide fails on invalid
// UTF-8; AnsiToUtf8 gives the text as the code page reads it.
bool Utf8ToWide(const std::string& text, std::wstring& wide);
std::string WideToUtf8(const std::wstring& text);
std::string AnsiToUtf8(const std::string& text);

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
