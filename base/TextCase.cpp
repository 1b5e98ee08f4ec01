#include "base/TextCase.h"

namespace {

bool IsLeadByte(unsigned char c) {
    return c >= 0x80 && c <= 0xFE;
}

bool IsTrailByte(unsigned char c) {
    return c >= 0x40 && c <= 0xFE;
}

}  // namespace

std::string ToLowerDbcs(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size && text[i] != '\0') {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsLeadByte(c) && i + 1 < size && IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            // A double-byte character: its trail byte may look like an
            // upper-case letter and must stay as it is.
            result += text[i];
            result += text[i + 1];
            i += 2;
            continue;
        }
        // Only A-Z change, as with the runtime's default locale; folding
        // the bytes by hand keeps high bytes away from locale tables.
        result += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : text[i];
        ++i;
    }
    return result;
}
