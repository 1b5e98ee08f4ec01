// Fuzz target for the whole install request: the JSON envelope, the Base64
// text it carries in "rspEncode" and the install parameters inside it.
//
// The input is the envelope text, optionally followed by a NUL and a
// parameters document. The envelope is read as it comes (it arrives as a C
// string, so it ends at the NUL); the parameters document, when there is
// one, is Base64-encoded into an envelope of its own so that the fuzzer
// reaches the parameters without having to produce valid Base64 itself.
//
// No second reader works out what each read should give: that would only
// repeat the reader's own rules. Instead every read is checked for what
// holds whatever those rules are (read over two different records, each
// field is either taken from the document, the same in both, or kept, each
// record's own; a document that is not taken changes nothing), a usable
// request must come out the same when its fields are written back, and
// requests written here from field values cut from the input must be read
// back as exactly those values, under a single-byte and a double-byte code
// page.
#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "installer/request/Base64Text.h"
#include "installer/request/InstallRequest.h"
#include "installer/request/RequestEnvelope.h"
#include "installer/request/RequestReader.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/Latin1Encoder.h"
#include "tests/support/Base64Encode.h"

namespace {

// The request members of CRvInstallerMain: the envelope's fields and the
// install parameters.
struct RequestState {
    InstallEnvelope envelope;
    InstallRequest request;
};

// What CRvInstallerMain::ReadRequest does with the request it is given.
bool ReadRequest(const char* request, RequestState& state) {
    return request != nullptr && ReadInstallRequest(request, state.envelope, state.request);
}

struct StringKey {
    const char* key;
    std::string InstallRequest::*field;
};
const StringKey kStringKeys[] = {
    {"dll_i", &InstallRequest::dll_i},
    {"appendLog", &InstallRequest::appendLog},
    {"ChannelID", &InstallRequest::ChannelID},
    {"subDir", &InstallRequest::subDir},
    {"CLSID", &InstallRequest::CLSID},
    {"ExplorerKey", &InstallRequest::ExplorerKey},
    {"ShellDllName", &InstallRequest::ShellDllName},
    {"CoreDllName", &InstallRequest::CoreDllName},
    {"GroupID", &InstallRequest::GroupID},
    {"UpdateVersion", &InstallRequest::UpdateVersion},
};

struct IntegerKey {
    const char* key;
    int InstallRequest::*field;
};
const IntegerKey kIntegerKeys[] = {
    {"reg", &InstallRequest::reg},
    {"ec", &InstallRequest::ec},
    {"csidlDir", &InstallRequest::csidlDir},
};

bool SameRequest(const InstallRequest& a, const InstallRequest& b) {
    for (const StringKey& k : kStringKeys) {
        if (a.*k.field != b.*k.field)
            return false;
    }
    for (const IntegerKey& k : kIntegerKeys) {
        if (a.*k.field != b.*k.field)
            return false;
    }
    return a.zipUrl == b.zipUrl && a.zipMd5 == b.zipMd5 && a.PFilter == b.PFilter;
}

bool SameEnvelope(const InstallEnvelope& a, const InstallEnvelope& b) {
    return a.m_nVer == b.m_nVer && a.m_strTmpDir == b.m_strTmpDir &&
           a.m_strInstallSrcid == b.m_strInstallSrcid && a.m_strRspEncode == b.m_strRspEncode &&
           a.m_bUpdate == b.m_bUpdate;
}

// Records with every field away from its default, so that a field written
// when it should have been left alone shows even when the value written is
// the default.
InstallRequest MarkedRequest() {
    InstallRequest r;
    r.reg = 41;
    r.ec = 42;
    r.zipUrl = "mark-url";
    r.zipMd5 = "mark-md5";
    for (const StringKey& k : kStringKeys)
        r.*k.field = std::string("mark-") + k.key;
    r.csidlDir = 7;
    r.PFilter = {"mark-filter"};
    return r;
}

InstallEnvelope MarkedEnvelope() {
    InstallEnvelope e;
    e.m_nVer = 43;
    e.m_strTmpDir = "mark-tmpDir";
    e.m_strInstallSrcid = "mark-src";
    e.m_strRspEncode = "bWFyaw==";
    e.m_bUpdate = true;
    return e;
}

template <typename T>
bool TakenOrKept(const T& fromFresh, const T& fromMarked, const T& fresh, const T& marked) {
    return fromFresh == fromMarked || (fromFresh == fresh && fromMarked == marked);
}

// Two records read from one document, one from `fresh`, one from `marked`:
// each field was taken (alike in both) or kept (each its own start's).
bool ReadAlike(const InstallRequest& fromFresh,
               const InstallRequest& fromMarked,
               const InstallRequest& fresh,
               const InstallRequest& marked) {
    for (const StringKey& k : kStringKeys) {
        if (!TakenOrKept(fromFresh.*k.field, fromMarked.*k.field, fresh.*k.field, marked.*k.field))
            return false;
    }
    for (const IntegerKey& k : kIntegerKeys) {
        if (!TakenOrKept(fromFresh.*k.field, fromMarked.*k.field, fresh.*k.field, marked.*k.field))
            return false;
    }
    return TakenOrKept(fromFresh.zipUrl, fromMarked.zipUrl, fresh.zipUrl, marked.zipUrl) &&
           TakenOrKept(fromFresh.zipMd5, fromMarked.zipMd5, fresh.zipMd5, marked.zipMd5) &&
           TakenOrKept(fromFresh.PFilter, fromMarked.PFilter, fresh.PFilter, marked.PFilter);
}

bool ReadAlike(const InstallEnvelope& fromFresh,
               const InstallEnvelope& fromMarked,
               const InstallEnvelope& fresh,
               const InstallEnvelope& marked) {
    return TakenOrKept(fromFresh.m_nVer, fromMarked.m_nVer, fresh.m_nVer, marked.m_nVer) &&
           TakenOrKept(fromFresh.m_strTmpDir, fromMarked.m_strTmpDir, fresh.m_strTmpDir,
                       marked.m_strTmpDir) &&
           TakenOrKept(fromFresh.m_strInstallSrcid, fromMarked.m_strInstallSrcid,
                       fresh.m_strInstallSrcid, marked.m_strInstallSrcid) &&
           TakenOrKept(fromFresh.m_strRspEncode, fromMarked.m_strRspEncode, fresh.m_strRspEncode,
                       marked.m_strRspEncode) &&
           TakenOrKept(fromFresh.m_bUpdate, fromMarked.m_bUpdate, fresh.m_bUpdate,
                       marked.m_bUpdate);
}

// JSON text for the round trip: a string literal with quotes, backslashes
// and control characters escaped and every other byte as it is (the reader
// takes bytes 0x80-0xFF through unchanged, valid UTF-8 or not).
std::string Quoted(const std::string& text) {
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + '"';
}

// The same as a writer that knows the code page's double-byte characters
// writes them: a lead byte and its trail byte as they are, a trail byte
// 0x5C included; everything else as Quoted does.
std::string QuotedCharacters(const std::string& text, AnsiLeadByte isLeadByte) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size(); ++i) {
        if (isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
            out += text.substr(i++, 2);
            continue;
        }
        const std::string one = Quoted(text.substr(i, 1));
        out += one.substr(1, one.size() - 2);
    }
    return out + '"';
}

// The parameters as JSON, each string written by `quote`.
template <typename Quote>
std::string WriteParameters(const InstallRequest& request, Quote quote) {
    std::string out = "{";
    for (const IntegerKey& k : kIntegerKeys)
        out += Quoted(k.key) + ":" + std::to_string(request.*k.field) + ",";
    for (const StringKey& k : kStringKeys)
        out += Quoted(k.key) + ":" + quote(request.*k.field) + ",";
    out += "\"zipFile\":{\"url\":" + quote(request.zipUrl) + ",\"md5\":" + quote(request.zipMd5) +
           "},\"PFilter\":[";
    for (size_t i = 0; i < request.PFilter.size(); ++i)
        out += (i ? "," : "") + quote(request.PFilter[i]);
    return out + "]}";
}

std::string WriteParameters(const InstallRequest& request) {
    return WriteParameters(request, Quoted);
}

// An envelope with the given fields whose "rspEncode" carries the
// parameters text Base64-encoded, broken into lines of `width` symbols
// (the decoder skips the line breaks).
std::string WriteRequest(const InstallEnvelope& envelope,
                         const std::string& parameters,
                         size_t width) {
    const std::string encoded = EncodeBase64(parameters);
    std::string lines;
    for (size_t i = 0; i < encoded.size(); i += width) {
        if (i)
            lines += "\r\n";
        lines += encoded.substr(i, width);
    }
    return "{\"ver\":" + std::to_string(envelope.m_nVer) +
           ",\"tmpDir\":" + Quoted(envelope.m_strTmpDir) +
           ",\"InstallSrcid\":" + Quoted(envelope.m_strInstallSrcid) +
           ",\"bUpdate\":" + (envelope.m_bUpdate ? "true" : "false") +
           ",\"rspEncode\":" + Quoted(lines) + "}";
}

// Reads a request over a fresh and over a marked record: alike, or both
// unchanged; a usable one is written back and read again.
void CheckRequest(const std::string& text, size_t width) {
    const RequestState fresh;
    RequestState marked;
    marked.envelope = MarkedEnvelope();
    marked.request = MarkedRequest();
    RequestState fromFresh = fresh, fromMarked = marked;
    const bool usable = ReadRequest(text.c_str(), fromFresh);
    FUZZ_CHECK(ReadRequest(text.c_str(), fromMarked) == usable);
    for (const RequestState* state : {&fromFresh, &fromMarked})
        FUZZ_CHECK(state->request.csidlDir >= kMinCsidlDir &&
                   state->request.csidlDir <= kMaxCsidlDir);
    if (!usable) {
        // An unusable request changes nothing at all.
        FUZZ_CHECK(SameEnvelope(fromFresh.envelope, fresh.envelope));
        FUZZ_CHECK(SameRequest(fromFresh.request, fresh.request));
        FUZZ_CHECK(SameEnvelope(fromMarked.envelope, marked.envelope));
        FUZZ_CHECK(SameRequest(fromMarked.request, marked.request));
        return;
    }
    FUZZ_CHECK(ReadAlike(fromFresh.envelope, fromMarked.envelope, fresh.envelope, marked.envelope));
    FUZZ_CHECK(ReadAlike(fromFresh.request, fromMarked.request, fresh.request, marked.request));

    // Every field, written back as a request of its own, is read again as it
    // was, over a record whose fields all differ.
    const RequestState& state = fromFresh;
    RequestState again = marked;
    const std::string rewritten =
        WriteRequest(state.envelope, WriteParameters(state.request), width);
    FUZZ_CHECK(ReadRequest(rewritten.c_str(), again));
    FUZZ_CHECK(SameRequest(again.request, state.request));
    InstallEnvelope kept = state.envelope;
    kept.m_strRspEncode = again.envelope.m_strRspEncode;
    FUZZ_CHECK(SameEnvelope(again.envelope, kept));
    FUZZ_CHECK(DecodeBase64Text(again.envelope.m_strRspEncode) == WriteParameters(state.request));
}

// The envelope reader alone: alike over two records, or both unchanged.
void CheckEnvelopeAlone(const std::string& text) {
    const InstallEnvelope fresh, marked = MarkedEnvelope();
    InstallEnvelope fromFresh = fresh, fromMarked = marked;
    const bool parsed = ParseInstallEnvelope(text, fromFresh);
    FUZZ_CHECK(ParseInstallEnvelope(text, fromMarked) == parsed);
    if (parsed) {
        FUZZ_CHECK(ReadAlike(fromFresh, fromMarked, fresh, marked));
    } else {
        FUZZ_CHECK(SameEnvelope(fromFresh, fresh) && SameEnvelope(fromMarked, marked));
    }
}

// The parameters reader alone, on the whole text (NULs included): "taken"
// and "rejected" never both, the same over either record, and a document
// not taken changes nothing; without the flag it reads the same.
void CheckParametersAlone(const std::string& text) {
    const InstallRequest fresh, marked = MarkedRequest();
    InstallRequest fromFresh = fresh, fromMarked = marked, unflagged = marked;
    // Start the flags at the wrong value: Parse must set them either way.
    bool rejectedFresh = true, rejectedMarked = false;
    const bool taken = fromFresh.Parse(text, &rejectedFresh);
    FUZZ_CHECK(fromMarked.Parse(text, &rejectedMarked) == taken);
    FUZZ_CHECK(rejectedFresh == rejectedMarked && !(taken && rejectedFresh));
    FUZZ_CHECK(unflagged.Parse(text) == taken);
    FUZZ_CHECK(SameRequest(unflagged, fromMarked));
    if (taken) {
        FUZZ_CHECK(ReadAlike(fromFresh, fromMarked, fresh, marked));
    } else {
        FUZZ_CHECK(SameRequest(fromFresh, fresh) && SameRequest(fromMarked, marked));
    }
}

// Shift-JIS: the lead bytes of its double-byte characters, whose trail
// byte may be 0x5C.
bool IsShiftJisLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// Field values cut from the input: each string up to the next byte 0x01,
// without NULs; under a double-byte code page every lead byte is followed by
// a valid trail byte (0x40-0xFC without 0x7F), 0x5C among them, as text of
// that code page is. Written with the byte-wise escapes above, and (under a
// double-byte code page) as a writer that knows its characters writes them,
// the parameters must be read back as exactly these values. After a trail
// byte 0x5C nothing comes that the writers escape (a backslash, a quote, a
// control character): the character-aware writer's text is then the same
// bytes as the byte-wise writer's text of other values, and the reader
// takes them as the byte-wise one.
void CheckConstructed(const std::string& input, const AnsiCodePage& codePage) {
    InstallRequest expected;
    size_t at = 0;
    for (const StringKey& k : kStringKeys) {
        std::string value;
        for (; at < input.size() && input[at] != '\x01'; ++at) {
            unsigned char byte = static_cast<unsigned char>(input[at]);
            if (byte == 0)
                continue;
            value += static_cast<char>(byte);
            if (codePage.isLeadByte != nullptr && codePage.isLeadByte(byte)) {
                byte = at + 1 < input.size() ? static_cast<unsigned char>(input[++at]) : 0x5C;
                byte = static_cast<unsigned char>(0x40 + byte % (0xFD - 0x40));
                value += static_cast<char>(byte == 0x7F ? 0x5C : byte);
                // Nothing the writers escape right after it.
                while (value.back() == '\\' && at + 1 < input.size() &&
                       (input[at + 1] == '\\' || input[at + 1] == '"' ||
                        static_cast<unsigned char>(input[at + 1]) < 0x20))
                    ++at;
            }
        }
        ++at;
        expected.*k.field = value;
    }
    expected.zipUrl = expected.dll_i;
    expected.zipMd5 = expected.GroupID;
    expected.PFilter = {expected.subDir, expected.CLSID};
    expected.reg = static_cast<int>(input.size());
    expected.csidlDir = kMinCsidlDir + static_cast<int>(input.size() % kMaxCsidlDir);
    InstallRequest read = MarkedRequest();
    bool rejected = true;
    FUZZ_CHECK(read.Parse(WriteParameters(expected), &rejected, codePage) && !rejected);
    FUZZ_CHECK(SameRequest(read, expected));
    if (codePage.isLeadByte == nullptr)
        return;
    read = MarkedRequest();
    const auto characters = [&](const std::string& text) {
        return QuotedCharacters(text, codePage.isLeadByte);
    };
    FUZZ_CHECK(read.Parse(WriteParameters(expected, characters), &rejected, codePage) && !rejected);
    FUZZ_CHECK(SameRequest(read, expected));
}

// In an ASCII document every non-ASCII character is an escape, which
// JsonCpp gives as UTF-8: read as ANSI text, each string must hold the same
// characters in Latin-1, or be named as unencodable when one is above 0xFF.
void CheckEscapedText(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80)
            return;
    }
    InstallRequest plain, ansi;
    if (!plain.Parse(text) || !ansi.Parse(text, nullptr, {EncodeLatin1, nullptr}))
        return;
    for (const StringKey& key : kStringKeys) {
        const std::string& utf8 = plain.*key.field;
        std::string expected;
        bool exact = true;
        for (size_t i = 0; i < utf8.size();) {
            const unsigned char lead = static_cast<unsigned char>(utf8[i]);
            const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            unsigned long point = length == 1 ? lead : lead & (0x7F >> length);
            for (size_t j = 1; j < length && i + j < utf8.size(); ++j)
                point = (point << 6) | (static_cast<unsigned char>(utf8[i + j]) & 0x3F);
            exact = exact && point < 0x100;
            expected += point < 0x100 ? static_cast<char>(point) : '?';
            i += length;
        }
        FUZZ_CHECK(ansi.IsUnencodable(key.key) == !exact);
        if (exact)
            FUZZ_CHECK(ansi.*key.field == expected);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The defaults that a request without the key keeps.
    const InstallRequest defaults;
    FUZZ_CHECK(defaults.UpdateVersion == "1.0.6.9000");
    FUZZ_CHECK(defaults.csidlDir == 35);
    FUZZ_CHECK(defaults.subDir == "Dovadi");
    FUZZ_CHECK(defaults.PFilter.empty());
    const InstallEnvelope envelope;
    FUZZ_CHECK(envelope.m_nVer == 1 && !envelope.m_bUpdate && envelope.m_strRspEncode.empty());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string envelope = input.substr(0, split);
    // Line widths from 4 to 79 symbols, chosen by the input.
    const size_t width = 4 + size % 76;

    CheckEnvelopeAlone(envelope);
    CheckRequest(envelope, width);
    CheckConstructed(input, AnsiCodePage());
    CheckConstructed(input, {nullptr, IsShiftJisLeadByte});

    if (split != std::string::npos) {
        // The parameters document, carried by an envelope of its own. The
        // decoded text ends at its first NUL, as the decoder gives it.
        const std::string parameters = input.substr(split + 1);
        CheckParametersAlone(parameters);
        CheckEscapedText(parameters);
        InstallEnvelope carrier;
        carrier.m_nVer = 4294967295u;
        carrier.m_strTmpDir = "C:\\modules\\";
        carrier.m_strInstallSrcid = "77";
        carrier.m_bUpdate = true;
        CheckRequest(WriteRequest(carrier, parameters, width), width);
    }
    return 0;
}
