#include "launcher/CmdLineParser.h"

namespace {

// Only A-Z change: key names are ASCII, and any further folding would make
// lookups depend on locale tables.
std::wstring LowerAsciiLetters(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return text;
}

}  // namespace

void CCmdLineParser::Insert(const std::wstring& key, const std::wstring& value) {
    if (key.empty())
        return;
    // emplace keeps an existing entry: the first occurrence of a switch wins.
    m_mapSwitches.emplace(LowerAsciiLetters(key), value);
}

void CCmdLineParser::ParseCommandLine(const wchar_t* commandLine) {
    if (commandLine == nullptr)
        return;
    m_mapSwitches.clear();
    m_strCmdLine = commandLine;

    const std::wstring& text = m_strCmdLine;
    const size_t size = text.size();
    size_t cursor = 0;
    while (cursor < size) {
        const size_t marker = text.find_first_of(L"-/", cursor);
        if (marker == std::wstring::npos || marker + 1 >= size)
            return;
        const size_t keyStart = marker + 1;
        const size_t terminator = text.find_first_of(L" :", keyStart);
        if (terminator == std::wstring::npos) {
            Insert(text.substr(keyStart), std::wstring());
            return;
        }
        const std::wstring key = text.substr(keyStart, terminator - keyStart);
        if (text[terminator] == L' ' || terminator + 1 == size) {
            // A switch without a value (a ":" that ends the text included).
            Insert(key, std::wstring());
            cursor = terminator + 1;
            continue;
        }

        size_t valueStart = terminator + 1;
        size_t valueEnd;
        if (text[valueStart] == L'"') {
            ++valueStart;
            valueEnd = text.find(L'"', valueStart);
        } else {
            valueEnd = text.find(L' ', valueStart);
        }
        if (valueEnd == std::wstring::npos) {
            // No closing quote or no further space: the value is the rest.
            Insert(key, text.substr(valueStart));
            return;
        }
        Insert(key, text.substr(valueStart, valueEnd - valueStart));
        // Past the closing quote or the space; the value is skipped as a
        // whole, so a "-" or "/" inside it starts no switch.
        cursor = valueEnd + 1;
    }
}

bool CCmdLineParser::HasKey(const wchar_t* name) const {
    return GetValue(name) != nullptr;
}

const wchar_t* CCmdLineParser::GetValue(const wchar_t* name) const {
    if (name == nullptr)
        return nullptr;
    auto found = m_mapSwitches.find(LowerAsciiLetters(name));
    return found == m_mapSwitches.end() ? nullptr : found->second.c_str();
}
