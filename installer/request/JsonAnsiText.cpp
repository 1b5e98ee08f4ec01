#include "installer/request/JsonAnsiText.h"

#include <json/value.h>

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The code unit of the \u escape at `at` (which points at the backslash),
// or -1 when there is none.
long EscapedUnit(const std::string& text, size_t at) {
    if (at + 6 > text.size() || text[at] != '\\' || text[at + 1] != 'u')
        return -1;
    long unit = 0;
    for (size_t i = at + 2; i < at + 6; ++i) {
        const int digit = HexDigit(text[i]);
        if (digit < 0)
            return -1;
        unit = unit * 16 + digit;
    }
    return unit;
}

char SimpleEscape(char c) {
    switch (c) {
        case '"':
        case '\\':
        case '/':
            return c;
        case 'b':
            return '\b';
        case 'f':
            return '\f';
        case 'n':
            return '\n';
        case 'r':
            return '\r';
        case 't':
            return '\t';
        default:
            return 0;
    }
}

// Encodes a run of non-ASCII units; a unit the code page cannot hold (a
// lone surrogate included) becomes '?'.
bool EncodeRun(const std::u16string& run, AnsiEncoder encode, std::string& text) {
    std::string ansi;
    if (encode(run, ansi)) {
        text += ansi;
        return true;
    }
    // Find which characters fail, so that the rest keeps its bytes.
    for (size_t i = 0; i < run.size(); ++i) {
        const bool pair = i + 1 < run.size() && run[i] >= 0xD800 && run[i] <= 0xDBFF &&
                          run[i + 1] >= 0xDC00 && run[i + 1] <= 0xDFFF;
        const std::u16string one = run.substr(i, pair ? 2 : 1);
        text += encode(one, ansi) ? ansi : std::string("?");
        i += pair ? 1 : 0;
    }
    return false;
}

}  // namespace

std::string EscapeTrailBackslashes(const std::string& document, AnsiLeadByte isLeadByte) {
    if (isLeadByte == nullptr)
        return document;
    std::string escaped;
    escaped.reserve(document.size());
    bool inString = false;
    for (size_t at = 0; at < document.size(); ++at) {
        const char c = document[at];
        escaped += c;
        if (!inString) {
            inString = c == '"';
            continue;
        }
        const char next = at + 1 < document.size() ? document[at + 1] : '\0';
        if (c == '"') {
            inString = false;
        } else if (c == '\\') {
            // An escape: its second byte is never a quote that ends the string.
            if (at + 1 < document.size())
                escaped += document[++at];
        } else if (isLeadByte(static_cast<unsigned char>(c)) && next != '\0' && next != '"') {
            ++at;
            escaped += next;
            const bool alreadyEscaped = at + 1 < document.size() && document[at + 1] == '\\';
            if (next == '\\' && alreadyEscaped)
                escaped += document[++at];
            else if (next == '\\')
                escaped += '\\';
        }
    }
    return escaped;
}

bool DecodeJsonLiteralAsAnsi(const std::string& literal,
                             AnsiEncoder encode,
                             std::string& text,
                             bool& exact) {
    text.clear();
    exact = true;
    if (literal.size() < 2 || literal.front() != '"' || literal.back() != '"')
        return false;
    const size_t end = literal.size() - 1;
    size_t at = 1;
    while (at < end) {
        const char c = literal[at];
        if (c != '\\') {
            text += c;
            ++at;
            continue;
        }
        if (at + 1 >= end)
            return false;
        if (literal[at + 1] != 'u') {
            const char plain = SimpleEscape(literal[at + 1]);
            if (plain == 0)
                return false;
            text += plain;
            at += 2;
            continue;
        }
        long unit = EscapedUnit(literal, at);
        if (unit < 0)
            return false;
        if (unit < 0x80) {
            text += static_cast<char>(unit);
            at += 6;
            continue;
        }
        // A run of escaped non-ASCII units is encoded at once, so that a
        // surrogate pair stays one character.
        std::u16string run;
        while (unit >= 0x80) {
            run += static_cast<char16_t>(unit);
            at += 6;
            unit = EscapedUnit(literal, at);
        }
        exact = EncodeRun(run, encode, text) && exact;
    }
    return true;
}

bool JsonAnsiStrings::Take(const Json::Value& object, const char* key, std::string& field) const {
    const Json::Value& value = object[key];
    if (!value.isString())
        return true;
    return Text(value, field);
}

bool JsonAnsiStrings::Text(const Json::Value& value, std::string& text) const {
    text = value.asString();
    const size_t start = static_cast<size_t>(value.getOffsetStart());
    const size_t limit = static_cast<size_t>(value.getOffsetLimit());
    if (m_encode == nullptr || start >= limit || limit > m_document.size())
        return true;
    // JsonCpp's bytes are right for every literal without a \u escape.
    const std::string literal = m_document.substr(start, limit - start);
    if (literal.find("\\u") == std::string::npos)
        return true;
    std::string decoded;
    bool exact = true;
    if (DecodeJsonLiteralAsAnsi(literal, m_encode, decoded, exact))
        text = decoded;
    return exact;
}
