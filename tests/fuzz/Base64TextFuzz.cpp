// Fuzz target for the Base64 decoding of the request text.
#include "installer/request/Base64Text.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/Base64Encode.h"

namespace {

bool IsAlphabetOrPadding(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/' || c == '=';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);

    // Arbitrary text: never a NUL in the result, at most three bytes for
    // every four symbols, and the skipped characters change nothing.
    const std::string decoded = DecodeBase64Text(input);
    FUZZ_CHECK(decoded.find('\0') == std::string::npos);
    std::string symbols;
    for (char c : input) {
        if (IsAlphabetOrPadding(c))
            symbols += c;
    }
    FUZZ_CHECK(decoded.size() * 4 <= symbols.size() * 3);
    FUZZ_CHECK(DecodeBase64Text(symbols) == decoded);
    // Text that decodes to something is whole groups of four symbols, each
    // ending in no padding, "=" or "==".
    if (!decoded.empty()) {
        FUZZ_CHECK(symbols.size() % 4 == 0);
        for (size_t group = 0; group < symbols.size(); group += 4) {
            FUZZ_CHECK(symbols[group] != '=' && symbols[group + 1] != '=');
            FUZZ_CHECK(symbols[group + 2] != '=' || symbols[group + 3] == '=');
        }
    }

    // The input as bytes: encoded with padding, it decodes to the bytes up
    // to the first NUL, also when line breaks split the encoded text.
    const std::string bytes = input.substr(0, input.find('\0'));
    const std::string encoded = EncodeBase64(input);
    FUZZ_CHECK(DecodeBase64Text(encoded) == bytes);
    std::string wrapped;
    for (size_t i = 0; i < encoded.size(); ++i) {
        wrapped += encoded[i];
        if (i % 7 == 6)
            wrapped += "\r\n";
    }
    FUZZ_CHECK(DecodeBase64Text(wrapped) == bytes);
    return 0;
}
