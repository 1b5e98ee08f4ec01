// Case folding that must not touch double-byte characters. Pure text code,
// free of the Windows headers.
#pragma once

#include <string>

// Lower-cases A-Z and leaves every double-byte character (a lead byte
// 0x80-0xFE followed by a trail byte 0x40-0xFE, the GBK ranges) unchanged.
// Stops at the first NUL.
std::string ToLowerDbcs(const std::string& text);
