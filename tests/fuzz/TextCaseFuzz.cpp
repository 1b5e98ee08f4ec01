// Fuzz target for the double-byte-safe lower-casing.
#include "base/TextCase.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t length = strnlen(input.data(), input.size());
    const std::string lowered = ToLowerDbcs(input);

    // One byte out for every byte before the first NUL; a byte either stays
    // or is an A-Z turned into its a-z.
    FUZZ_CHECK(lowered.size() == length);
    bool anyHighByte = false;
    for (size_t i = 0; i < lowered.size(); ++i) {
        const char in = input[i];
        const char out = lowered[i];
        FUZZ_CHECK(out == in || (in >= 'A' && in <= 'Z' && out == in - 'A' + 'a'));
        anyHighByte = anyHighByte || static_cast<unsigned char>(in) >= 0x80;
    }
    // Without a possible lead byte there is no double-byte character, so
    // every A-Z is lowered.
    if (!anyHighByte) {
        for (char c : lowered)
            FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
    }
    // Lowering leaves lead and trail bytes what they were, so the pairs are
    // the same the second time and nothing more changes.
    FUZZ_CHECK(ToLowerDbcs(lowered) == lowered);
    return 0;
}
