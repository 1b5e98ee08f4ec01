// The outer layer of an install request: the envelope whose keys name the
// module folder, the install source and the Base64-encoded parameters.
#pragma once

#include <string>

#include "installer/request/JsonAnsiText.h"

struct InstallEnvelope {
    unsigned m_nVer = 1;
    std::string m_strTmpDir;
    std::string m_strInstallSrcid;
    std::string m_strRspEncode;
    bool m_bUpdate = false;
    // "tmpDir" held a character the ANSI code page cannot hold.
    bool m_bTmpDirUnencodable = false;
};

// Takes "ver" (large unsigned only), "tmpDir", "InstallSrcid", "bUpdate"
// (boolean) and "rspEncode" when each has its kind; other keys and values
// of another kind leave the fields alone. False on a syntax error or a root
// that is neither an object nor null (null reads as an empty object).
// Strings are read as ANSI text of `codePage` (installer/request/JsonAnsiText.h).
bool ParseInstallEnvelope(const std::string& text,
                          InstallEnvelope& envelope,
                          const AnsiCodePage& codePage = {});
