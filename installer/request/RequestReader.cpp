#include "installer/request/RequestReader.h"

#include "installer/request/Base64Text.h"

bool ReadInstallRequest(const std::string& text,
                        InstallEnvelope& envelope,
                        InstallRequest& request,
                        const AnsiCodePage& codePage) {
    InstallEnvelope read;
    if (!ParseInstallEnvelope(text, read, codePage))
        return false;
    bool rejected = false;
    request.Parse(DecodeBase64Text(read.m_strRspEncode), &rejected, codePage);
    if (rejected)
        return false;
    envelope = read;
    return true;
}
