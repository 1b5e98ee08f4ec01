#include "installer/request/RequestReader.h"

#include "installer/request/Base64Text.h"

bool ReadInstallRequest(const std::string& text,
                        InstallEnvelope& envelope,
                        InstallRequest& request,
                        AnsiEncoder encode) {
    InstallEnvelope read;
    if (!ParseInstallEnvelope(text, read, encode))
        return false;
    bool rejected = false;
    request.Parse(DecodeBase64Text(read.m_strRspEncode), &rejected, encode);
    if (rejected)
        return false;
    envelope = read;
    return true;
}
