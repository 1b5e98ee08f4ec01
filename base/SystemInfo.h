// Facts about the running system: 64-bit Windows, the release, the first
// network adapter's address, the current time.
#pragma once

#include <string>

#include "base/RvText.h"

// Release kinds as GetOsVersion reports them; kinds below kOsVista are
// older than Windows Vista.
enum OsKind {
    kOsOther = 0,
    kOsWin2000 = 1,
    kOsWinXP = 2,
    kOsWinXP64OrServer2003 = 3,
    kOsVista = 4,
    kOsServer = 5,
    kOsWin7 = 6,
    kOsWin8 = 7,
    kOsWin81 = 8,
    kOsWin10 = 9,
};

struct OsVersionRecord {
    std::string strVersion;  // "major.minor.build.platform_servicepack"
    bool b64Bit = false;
    int nKind = kOsOther;
};

// Derives the kind from the version numbers and the product type.
int OsKindFromVersion(unsigned major, unsigned minor, unsigned productType);

bool Is64BitWindows();
OsVersionRecord GetOsVersion();

// Six bytes of the first adapter as twelve upper-case hex digits into a
// buffer of kMacBufferSize characters.
constexpr unsigned kMacBufferSize = 64;
bool GetMacAddress(RvChar* buffer);
RvString GetMacAddressString();

// Seconds since 1970-01-01 UTC in decimal.
std::string GetTimestampString();
