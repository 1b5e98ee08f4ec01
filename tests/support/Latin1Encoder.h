// Latin-1 standing in for an ANSI code page in tests of the request reader:
// units below 0x100 are one byte, everything else cannot be held ('?').
#pragma once

#include <string>

inline bool EncodeLatin1(const std::u16string& text, std::string& ansi) {
    ansi.clear();
    bool exact = true;
    for (char16_t unit : text) {
        exact = exact && unit < 0x100;
        ansi += unit < 0x100 ? static_cast<char>(unit) : '?';
    }
    return exact;
}
