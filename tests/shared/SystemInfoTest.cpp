#include "base/SystemInfo.h"

#include <gtest/gtest.h>

#include <cctype>
#include <regex>

#include "tests/support/TestEnvironment.h"

TEST(SystemInfo, SixtyFourBitWindowsMatchesWow64) {
    // The same 32-bit program: under WoW64 on the win64 prefix, native on
    // the win32 one.
    const bool wow64 = RunsUnderWow64();
    EXPECT_EQ(wow64, Is64BitWindows());
    const OsVersionRecord record = GetOsVersion();
    EXPECT_EQ(wow64, record.b64Bit);
    // "major.minor.build.platform_servicepack", platform 2 on NT systems.
    EXPECT_TRUE(std::regex_match(record.strVersion, std::regex("[0-9]+\\.[0-9]+\\.[0-9]+\\.2_.*")))
        << record.strVersion;
    EXPECT_NE(kOsOther, record.nKind) << record.strVersion;
}

TEST(SystemInfo, OsKindTable) {
    struct Row {
        unsigned major, minor, productType;
        int kind;
    };
    const unsigned workstation = 1, domainController = 2, server = 3;
    const Row rows[] = {
        {5, 0, workstation, kOsWin2000},
        {5, 1, workstation, kOsWinXP},
        {5, 2, workstation, kOsWinXP64OrServer2003},
        // 5.x is decided before the product type.
        {5, 2, server, kOsWinXP64OrServer2003},
        {5, 0, server, kOsWin2000},
        {6, 0, workstation, kOsVista},
        {6, 1, workstation, kOsWin7},
        {6, 2, workstation, kOsWin8},
        {6, 3, workstation, kOsWin81},
        {10, 0, workstation, kOsWin10},
        {6, 1, server, kOsServer},
        {10, 0, domainController, kOsServer},
        {4, 0, server, kOsServer},
        {6, 4, workstation, kOsOther},
        {4, 0, workstation, kOsOther},
        {11, 0, workstation, kOsOther},
    };
    for (const Row& row : rows)
        EXPECT_EQ(row.kind, OsKindFromVersion(row.major, row.minor, row.productType))
            << row.major << "." << row.minor << " type " << row.productType;
}

TEST(SystemInfo, TimestampIsSecondsSince1970) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const long long expected = static_cast<long long>(
        ((static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime) /
            10000000ULL -
        11644473600ULL);
    const std::string text = GetTimestampString();
    ASSERT_FALSE(text.empty());
    for (char c : text)
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c))) << text;
    EXPECT_NEAR(static_cast<double>(expected), std::stod(text), 5.0);
}

TEST(SystemInfo, MacAddressIsTwelveUpperCaseHexDigits) {
    // A fault while the address is written reads as failure.
    EXPECT_FALSE(GetMacAddress(reinterpret_cast<RvChar*>(16)));

    RvChar buffer[kMacBufferSize] = {};
    const bool read = GetMacAddress(buffer);
    const RvString text = GetMacAddressString();
    if (!read) {
        EXPECT_TRUE(text.empty());
        GTEST_SKIP() << "no network adapter on this system";
    }
    EXPECT_EQ(RvString(buffer), text);
    ASSERT_EQ(12u, text.size());
    for (RvChar c : text)
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << static_cast<int>(c);
}
