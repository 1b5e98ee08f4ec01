// Fuzz target for the whole install request: the JSON envelope, the Base64
// text it carries in "rspEncode" and the install parameters inside it.
//
// The input is the envelope text, optionally followed by a NUL and a
// parameters document. The envelope is read as it comes (it arrives as a C
// string, so it ends at the NUL); the parameters document, when there is
// one, is Base64-encoded into an envelope of its own so that the fuzzer
// reaches the parameters without having to produce valid Base64 itself.
//
// Each read is checked against an expectation worked out here from the
// parsed JSON tree, and a usable request must come out the same when its
// fields are written back into a request.
#include <json/reader.h>
#include <json/value.h>

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

// The expectation side: JsonCpp's reader with its default features, as the
// request reader uses it; nesting beyond its limit throws, which counts as
// text that does not parse.
bool ReadObjectOrNull(const std::string& text, Json::Value& root) {
    try {
        Json::Reader reader;
        if (!reader.parse(text, root))
            return false;
    } catch (const std::exception&) {
        return false;
    }
    return root.isObject() || root.isNull();
}

const Json::Value* Member(const Json::Value& object, const char* key) {
    if (!object.isObject())
        return nullptr;
    return object.find(key, key + std::strlen(key));
}

// A number literal without fraction or exponent, as a 64-bit value; false
// for anything else, including literals beyond the signed 64-bit range.
bool IntegerLiteral(const Json::Value* value, long long& number) {
    if (!value)
        return false;
    if (value->type() == Json::intValue) {
        number = value->asLargestInt();
        return true;
    }
    if (value->type() == Json::uintValue && value->asLargestUInt() <= LLONG_MAX) {
        number = static_cast<long long>(value->asLargestUInt());
        return true;
    }
    return false;
}

// The envelope fields the text gives, starting from `start`; false when the
// text does not parse or its root is neither an object nor null.
bool ExpectEnvelope(const std::string& text,
                    const InstallEnvelope& start,
                    InstallEnvelope& expected) {
    expected = start;
    Json::Value root;
    if (!ReadObjectOrNull(text, root))
        return false;
    long long ver = 0;
    if (IntegerLiteral(Member(root, "ver"), ver) && ver >= 2147483648LL && ver <= 4294967295LL)
        expected.m_nVer = static_cast<unsigned>(ver);
    const struct {
        const char* key;
        std::string InstallEnvelope::*field;
    } strings[] = {{"tmpDir", &InstallEnvelope::m_strTmpDir},
                   {"InstallSrcid", &InstallEnvelope::m_strInstallSrcid},
                   {"rspEncode", &InstallEnvelope::m_strRspEncode}};
    for (const auto& k : strings) {
        const Json::Value* value = Member(root, k.key);
        if (value && value->type() == Json::stringValue)
            expected.*k.field = value->asString();
    }
    const Json::Value* update = Member(root, "bUpdate");
    if (update && update->type() == Json::booleanValue)
        expected.m_bUpdate = update->asBool();
    return true;
}

// The text form of a "zipFile" member or "PFilter" element: strings as they
// are, booleans as "true"/"false", null as empty text; none for numbers,
// arrays and objects.
bool TextForm(const Json::Value& value, std::string& text) {
    switch (value.type()) {
        case Json::stringValue:
            text = value.asString();
            return true;
        case Json::booleanValue:
            text = value.asBool() ? "true" : "false";
            return true;
        case Json::nullValue:
            text.clear();
            return true;
        default:
            return false;
    }
}

enum class Outcome { Unreadable, Rejected, Taken };

// The parameters the document gives, starting from `start`. Unreadable and
// rejected documents leave `expected` equal to `start`.
Outcome ExpectParameters(const std::string& text,
                         const InstallRequest& start,
                         InstallRequest& expected) {
    expected = start;
    Json::Value root;
    if (!ReadObjectOrNull(text, root))
        return Outcome::Unreadable;

    InstallRequest taken = start;
    for (const StringKey& k : kStringKeys) {
        const Json::Value* value = Member(root, k.key);
        if (value && value->type() == Json::stringValue)
            taken.*k.field = value->asString();
    }
    for (const IntegerKey& k : kIntegerKeys) {
        long long number = 0;
        if (IntegerLiteral(Member(root, k.key), number) && number >= INT_MIN && number <= INT_MAX)
            taken.*k.field = static_cast<int>(number);
    }
    if (taken.csidlDir < kMinCsidlDir)
        taken.csidlDir = kMinCsidlDir;
    if (taken.csidlDir > kMaxCsidlDir)
        taken.csidlDir = kMaxCsidlDir;

    bool rejected = false;
    const Json::Value* zipFile = Member(root, "zipFile");
    if (zipFile && zipFile->isObject()) {
        // A null member keeps the field; any other value needs a text form.
        for (const auto& k : {std::make_pair("url", &InstallRequest::zipUrl),
                              std::make_pair("md5", &InstallRequest::zipMd5)}) {
            const Json::Value* value = Member(*zipFile, k.first);
            if (value && !value->isNull() && !TextForm(*value, taken.*k.second))
                rejected = true;
        }
    }
    // Absent or null replaces the list with an empty one, an array with its
    // elements' texts; any other value leaves it.
    const Json::Value* filter = Member(root, "PFilter");
    if (!filter || filter->isNull() || filter->isArray()) {
        taken.PFilter.clear();
        for (Json::ArrayIndex i = 0; filter && i < filter->size(); ++i) {
            std::string element;
            if (!TextForm((*filter)[i], element))
                rejected = true;
            taken.PFilter.push_back(element);
        }
    }
    if (rejected)
        return Outcome::Rejected;
    expected = taken;
    return Outcome::Taken;
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

std::string WriteParameters(const InstallRequest& request) {
    std::string out = "{";
    for (const IntegerKey& k : kIntegerKeys)
        out += Quoted(k.key) + ":" + std::to_string(request.*k.field) + ",";
    for (const StringKey& k : kStringKeys)
        out += Quoted(k.key) + ":" + Quoted(request.*k.field) + ",";
    out += "\"zipFile\":{\"url\":" + Quoted(request.zipUrl) + ",\"md5\":" + Quoted(request.zipMd5) +
           "},\"PFilter\":[";
    for (size_t i = 0; i < request.PFilter.size(); ++i)
        out += (i ? "," : "") + Quoted(request.PFilter[i]);
    return out + "]}";
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

// Reads a request from `start` and checks the outcome against the
// expectation; a usable one is written back and read again.
void CheckRequest(const std::string& text, const RequestState& start, size_t width) {
    RequestState state = start;
    const bool usable = ReadRequest(text.c_str(), state);
    FUZZ_CHECK(state.request.csidlDir >= kMinCsidlDir && state.request.csidlDir <= kMaxCsidlDir);

    InstallEnvelope envelope;
    if (!ExpectEnvelope(text.c_str(), InstallEnvelope(), envelope)) {
        // An unusable envelope changes nothing at all.
        FUZZ_CHECK(!usable);
        FUZZ_CHECK(SameEnvelope(state.envelope, start.envelope));
        FUZZ_CHECK(SameRequest(state.request, start.request));
        return;
    }

    // Parameters that do not decode or do not parse leave every field; a
    // rejected document leaves every field too, the envelope's included,
    // and makes the request unusable.
    InstallRequest parameters;
    const Outcome outcome =
        ExpectParameters(DecodeBase64Text(envelope.m_strRspEncode), start.request, parameters);
    FUZZ_CHECK(usable == (outcome != Outcome::Rejected));
    FUZZ_CHECK(SameRequest(state.request, parameters));
    FUZZ_CHECK(SameEnvelope(state.envelope, usable ? envelope : start.envelope));
    if (!usable)
        return;

    // Every field, written back as a request of its own, is read again as it
    // was, over a record whose fields all differ.
    RequestState again;
    again.envelope = MarkedEnvelope();
    again.request = MarkedRequest();
    const std::string rewritten =
        WriteRequest(state.envelope, WriteParameters(state.request), width);
    FUZZ_CHECK(ReadRequest(rewritten.c_str(), again));
    FUZZ_CHECK(SameRequest(again.request, state.request));
    InstallEnvelope kept = state.envelope;
    kept.m_strRspEncode = again.envelope.m_strRspEncode;
    FUZZ_CHECK(SameEnvelope(again.envelope, kept));
    FUZZ_CHECK(DecodeBase64Text(again.envelope.m_strRspEncode) == WriteParameters(state.request));
}

// The envelope reader alone: a usable envelope sets only the fields whose
// keys it has with their kind, an unusable one none.
void CheckEnvelopeAlone(const std::string& text) {
    InstallEnvelope envelope = MarkedEnvelope();
    const bool parsed = ParseInstallEnvelope(text, envelope);
    InstallEnvelope expected;
    FUZZ_CHECK(parsed == ExpectEnvelope(text, MarkedEnvelope(), expected));
    FUZZ_CHECK(SameEnvelope(envelope, expected));
}

// The parameters reader alone, on the whole text (NULs included): it
// returns true only for a document it took, and says "rejected" exactly
// for one whose values lack a text form.
void CheckParametersAlone(const std::string& text, const InstallRequest& start) {
    InstallRequest expected;
    const Outcome outcome = ExpectParameters(text, start, expected);
    InstallRequest request = start;
    // Start the flag at the wrong value: Parse must set it either way.
    bool rejected = outcome != Outcome::Rejected;
    const bool taken = request.Parse(text, &rejected);
    FUZZ_CHECK(taken == (outcome == Outcome::Taken));
    FUZZ_CHECK(rejected == (outcome == Outcome::Rejected));
    FUZZ_CHECK(SameRequest(request, expected));
    // Without the flag it reads the same.
    InstallRequest unflagged = start;
    FUZZ_CHECK(unflagged.Parse(text) == taken);
    FUZZ_CHECK(SameRequest(unflagged, expected));
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

    RequestState fresh;
    RequestState marked;
    marked.envelope = MarkedEnvelope();
    marked.request = MarkedRequest();

    CheckEnvelopeAlone(envelope);
    CheckRequest(envelope, fresh, width);
    CheckRequest(envelope, marked, width);

    if (split != std::string::npos) {
        // The parameters document, carried by an envelope of its own. The
        // decoded text ends at its first NUL, as the decoder gives it.
        const std::string parameters = input.substr(split + 1);
        CheckParametersAlone(parameters, InstallRequest());
        CheckParametersAlone(parameters, MarkedRequest());
        CheckEscapedText(parameters);
        InstallEnvelope carrier;
        carrier.m_nVer = 4294967295u;
        carrier.m_strTmpDir = "C:\\modules\\";
        carrier.m_strInstallSrcid = "77";
        carrier.m_bUpdate = true;
        const std::string request = WriteRequest(carrier, parameters, width);
        CheckRequest(request, fresh, width);
        CheckRequest(request, marked, width);
    }
    return 0;
}
