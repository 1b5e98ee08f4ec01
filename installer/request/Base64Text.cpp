#include "installer/request/Base64Text.h"

namespace {

// The 6-bit value of a standard-alphabet character, or -1.
int SextetOf(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

// Decodes into bytes; false on misplaced padding or a trailing partial
// group.
bool DecodeBytes(const std::string& text, std::string& bytes) {
    int sextets[4] = {0, 0, 0, 0};
    int count = 0;    // symbols of the current group, padding included
    int padding = 0;  // '=' seen in the current group
    for (char c : text) {
        if (c == '=') {
            // Padding may only fill the last one or two places of a group.
            if (count < 2) {
                return false;
            }
            ++padding;
        } else {
            const int sextet = SextetOf(c);
            if (sextet < 0) {
                continue;
            }
            // Nothing but padding may follow padding within a group.
            if (padding > 0) {
                return false;
            }
            sextets[count] = sextet;
        }
        if (++count < 4) {
            continue;
        }
        const unsigned group =
            (static_cast<unsigned>(sextets[0]) << 18) | (static_cast<unsigned>(sextets[1]) << 12) |
            (static_cast<unsigned>(sextets[2]) << 6) | static_cast<unsigned>(sextets[3]);
        bytes.push_back(static_cast<char>((group >> 16) & 0xFF));
        if (padding < 2) {
            bytes.push_back(static_cast<char>((group >> 8) & 0xFF));
        }
        if (padding < 1) {
            bytes.push_back(static_cast<char>(group & 0xFF));
        }
        count = 0;
        padding = 0;
        sextets[2] = sextets[3] = 0;
    }
    return count == 0;
}

}  // namespace

std::string DecodeBase64Text(const std::string& text) {
    std::string bytes;
    if (!DecodeBytes(text, bytes)) {
        return std::string();
    }
    const std::string::size_type nul = bytes.find('\0');
    if (nul != std::string::npos) {
        bytes.erase(nul);
    }
    return bytes;
}
