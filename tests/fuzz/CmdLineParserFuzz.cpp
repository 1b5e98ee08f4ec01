// Fuzz target for the launcher's command-line table.
#include "launcher/CmdLineParser.h"
#include "tests/fuzz/FuzzSupport.h"

#include <vector>

namespace {

// Every run after a "-" or "/" up to the next " " or ":" (or the end). The
// keys of the table are all among these, though not every run is a key.
std::vector<std::wstring> CandidateKeys(const std::wstring& text) {
    std::vector<std::wstring> keys;
    for (size_t marker = text.find_first_of(L"-/"); marker != std::wstring::npos;
         marker = text.find_first_of(L"-/", marker + 1)) {
        const size_t end = text.find_first_of(L" :", marker + 1);
        keys.push_back(text.substr(
            marker + 1, end == std::wstring::npos ? std::wstring::npos : end - marker - 1));
    }
    return keys;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::wstring raw = WideFromUtf16Units(data, size);
    // The parser takes a C string, so it sees the text up to the first NUL.
    const std::wstring text(raw.c_str());

    CCmdLineParser parser;
    parser.ParseCommandLine(raw.c_str());

    const std::vector<std::wstring> keys = CandidateKeys(text);
    std::vector<const wchar_t*> values;
    for (const std::wstring& key : keys) {
        const wchar_t* value = parser.GetValue(key.c_str());
        values.push_back(value);
        FUZZ_CHECK(parser.HasKey(key.c_str()) == (value != nullptr));
        if (key.empty())
            FUZZ_CHECK(value == nullptr);
        // Keys are held lower-cased in A-Z only, so every spelling that
        // differs just in the case of A-Z finds the same entry.
        FUZZ_CHECK(parser.GetValue(MapAsciiLetters(key, true).c_str()) == value);
        FUZZ_CHECK(parser.GetValue(MapAsciiLetters(key, false).c_str()) == value);
        FUZZ_CHECK(parser.HasKey(MapAsciiLetters(key, true).c_str()) == (value != nullptr));
        if (value != nullptr) {
            const std::wstring held(value);
            // A value is a piece of the text; a quoted one loses its quotes,
            // so no value starts with one.
            FUZZ_CHECK(text.find(held) != std::wstring::npos);
            FUZZ_CHECK(held.empty() || held[0] != L'"');
        }
    }
    // The first switch of the text is always taken, unless its key is empty.
    if (!keys.empty() && !keys.front().empty())
        FUZZ_CHECK(parser.HasKey(keys.front().c_str()));

    // Null leaves the table, and the text the values point into, as it was.
    parser.ParseCommandLine(nullptr);
    for (size_t i = 0; i < keys.size(); ++i)
        FUZZ_CHECK(parser.GetValue(keys[i].c_str()) == values[i]);
    return 0;
}
