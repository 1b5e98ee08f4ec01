// Shared pieces of the libFuzzer targets in this folder: an invariant check
// that aborts (libFuzzer then keeps the input as a crash) and the wide text
// built from the raw input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

// Reads the bytes as little-endian UTF-16 code units, the way Windows hands
// text over; an odd last byte is dropped. NUL units are kept.
inline std::wstring WideFromUtf16Units(const uint8_t* data, size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    return text;
}

inline std::wstring MapAsciiLetters(std::wstring text, bool upper) {
    for (wchar_t& c : text) {
        if (upper && c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
        else if (!upper && c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}
