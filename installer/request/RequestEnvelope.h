// The outer layer of an install request: the envelope whose keys name the
// module folder, the install source and the Base64-encoded parameters.
#pragma once

#include <string>

struct InstallEnvelope {
    unsigned m_nVer = 1;
    std::string m_strTmpDir;
    std::string m_strInstallSrcid;
    std::string m_strRspEncode;
    bool m_bUpdate = false;
};

// Takes "ver" (large unsigned only), "tmpDir", "InstallSrcid", "bUpdate"
// (boolean) and "rspEncode" when each has its kind; other keys and values
// of another kind leave the fields alone. False on a syntax error or a root
// that is neither an object nor null (null reads as an empty object).
bool ParseInstallEnvelope(const std::string& text, InstallEnvelope& envelope);
