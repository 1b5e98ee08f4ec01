#include "installer/request/RequestEnvelope.h"

#include <json/value.h>

#include "installer/request/JsonKinds.h"

bool ParseInstallEnvelope(const std::string& raw,
                          InstallEnvelope& envelope,
                          const AnsiCodePage& codePage) {
    const std::string text = EscapeTrailBackslashes(raw, codePage.isLeadByte);
    Json::Value document;
    if (!ParseJsonObjectText(text, document)) {
        return false;
    }
    // Read through a const reference: the mutable accessors would add the
    // keys they look up.
    const Json::Value& root = document;

    const Json::Value& ver = root["ver"];
    if (IsJsonLargeUnsigned(ver)) {
        envelope.m_nVer = ver.asUInt();
    }
    const JsonAnsiStrings strings(text, codePage.encode);
    envelope.m_bTmpDirUnencodable = !strings.Take(root, "tmpDir", envelope.m_strTmpDir);
    strings.Take(root, "InstallSrcid", envelope.m_strInstallSrcid);
    const Json::Value& update = root["bUpdate"];
    if (update.isBool()) {
        envelope.m_bUpdate = update.asBool();
    }
    TakeJsonString(root, "rspEncode", envelope.m_strRspEncode);
    return true;
}
