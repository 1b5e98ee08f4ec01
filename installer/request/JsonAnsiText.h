// The request's strings as narrow text of the system ANSI code page. Raw
// bytes of a string literal are that text already; JsonCpp turns a \u
// escape into UTF-8 bytes instead, which the install would then read as
// ANSI and turn into another name. Each string value is therefore decoded
// again from its literal in the document, with \u escapes of non-ASCII
// characters encoded in the ANSI code page. Free of the Windows headers:
// the encoding is handed in.
#pragma once

#include <string>

namespace Json {
class Value;
}

// Encodes UTF-16 text in the ANSI code page; false when the code page
// cannot hold it exactly (`ansi` then holds what could be made of it).
using AnsiEncoder = bool (*)(const std::u16string& text, std::string& ansi);
// True for a byte that starts a double-byte character of the ANSI code page.
using AnsiLeadByte = bool (*)(unsigned char byte);

// The ANSI code page as the request reader needs it; either may be null
// (then \u escapes keep JsonCpp's UTF-8 bytes, and every byte counts as a
// character of its own).
struct AnsiCodePage {
    AnsiEncoder encode = nullptr;
    AnsiLeadByte isLeadByte = nullptr;
};

// The document with every raw double-byte character inside a string
// literal whose trail byte is a backslash (0x5C: GBK 乗, Big5 許,
// Shift-JIS 表) written as its lead byte and an escaped backslash, so that
// a JSON reader, which reads bytes, keeps the character whole instead of
// taking its trail byte for an escape. A second backslash right after such
// a character counts as that escape already: writers that escape byte by
// byte (JsonCpp's own) send the character so. Without `isLeadByte` the
// document is returned as it is.
std::string EscapeTrailBackslashes(const std::string& document, AnsiLeadByte isLeadByte);

// Decodes a JSON string literal (with its quotes, as the reader found it):
// bytes outside escapes are kept, an escape of an ASCII character becomes
// that byte, a run of \u escapes of other characters (surrogate pairs
// joined) becomes the ANSI text `encode` gives for it. False when the
// literal is malformed. `exact` is false when a character could not be
// encoded; `text` holds '?' for each such character.
bool DecodeJsonLiteralAsAnsi(const std::string& literal,
                             AnsiEncoder encode,
                             std::string& text,
                             bool& exact);

// Reads the string members of one parsed document as ANSI text.
class JsonAnsiStrings {
public:
    // `document` is the text the values were parsed from; both must outlive
    // this object. Without an encoder the values are taken as JsonCpp
    // decoded them.
    JsonAnsiStrings(const std::string& document, AnsiEncoder encode)
        : m_document(document), m_encode(encode) {}

    // Copies member `key` of an object (or null) into `field` when it is a
    // string; otherwise leaves `field` alone. False only when the string
    // held a character the code page cannot hold.
    bool Take(const Json::Value& object, const char* key, std::string& field) const;
    // The text of a string value (see Take).
    bool Text(const Json::Value& value, std::string& text) const;

private:
    const std::string& m_document;
    AnsiEncoder m_encode;
};
