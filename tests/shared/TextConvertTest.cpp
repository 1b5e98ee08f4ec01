#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "base/TextConvert.h"

// A code page the system does not know: every conversion through it fails.
constexpr UINT kUnknownCodePage = 12345;

TEST(TextConvert, EmptyInputGivesEmptyTextBothWays) {
    EXPECT_EQ(std::wstring(), ToWide("abc", 0, CP_ACP));
    EXPECT_EQ(std::wstring(), ToWide(nullptr, 5, CP_ACP));
    EXPECT_EQ(std::wstring(), AnsiToWide(""));
    EXPECT_EQ(std::string(), WideToAnsi(L""));
    EXPECT_EQ(std::string(), ToNarrow(L"", CP_UTF8));
}

TEST(TextConvert, ConvertsExactlyTheGivenLength) {
    // The Western code page is the prefix's ANSI code page; é is 0xE9 there.
    ASSERT_EQ(1252u, GetACP());
    EXPECT_EQ(L"caf\x00e9", AnsiToWide("caf\xe9"));
    EXPECT_EQ("caf\xe9", WideToAnsi(L"caf\x00e9"));
    // Only the counted bytes are read, and an embedded NUL is carried over.
    EXPECT_EQ(L"ab", ToWide("abcdef", 2, CP_ACP));
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(std::wstring(L"a\0b", 3), AnsiToWide(withNul));
    EXPECT_EQ(withNul, WideToAnsi(std::wstring(L"a\0b", 3)));
    // UTF-8 needs more bytes than characters.
    EXPECT_EQ("\xe4\xb8\xad", ToNarrow(L"\x4e2d", CP_UTF8));
    EXPECT_EQ(L"\x4e2d", ToWide("\xe4\xb8\xad", 3, CP_UTF8));
}

TEST(TextConvert, FailedConversionGivesEmptyNotPartialText) {
    EXPECT_EQ(std::wstring(), ToWide("abc", 3, kUnknownCodePage));
    EXPECT_EQ(std::string(), ToNarrow(L"abc", kUnknownCodePage));
}

TEST(TextConvert, UnmappableTextIsReplacedWholeByTheSystem) {
    // With no conversion flags the system substitutes what the code page
    // cannot hold instead of failing; the text keeps its full length and
    // what follows the bad character is not lost.
    const std::wstring loneSurrogate(L"a\xd800z");
    EXPECT_EQ("a?z", WideToAnsi(loneSurrogate));
    EXPECT_EQ("a\xef\xbf\xbdz", ToNarrow(loneSurrogate, CP_UTF8));
    EXPECT_EQ("?", WideToAnsi(L"\x4e2d"));
    EXPECT_EQ(L"a\xfffd\xfffdz", ToWide("a\xff\xc3z", 4, CP_UTF8));
    // Bytes without a character in the Western code page pass through as
    // the control characters of the same value.
    EXPECT_EQ(L"a\x0081\x008dz", AnsiToWide("a\x81\x8dz"));
    // A GBK lead byte with nothing after it becomes one replacement mark.
    EXPECT_EQ(L"a?", ToWide("a\x81", 2, 936));
}

TEST(TextConvert, WideToAnsiBufferCountsTheNul) {
    char* output = reinterpret_cast<char*>(1);
    EXPECT_EQ(0, WideToAnsiBuffer(nullptr, &output));
    EXPECT_EQ(nullptr, output);
    output = reinterpret_cast<char*>(1);
    EXPECT_EQ(0, WideToAnsiBuffer(L"", &output));
    EXPECT_EQ(nullptr, output);
    EXPECT_EQ(0, WideToAnsiBuffer(L"abc", nullptr));

    ASSERT_EQ(6, WideToAnsiBuffer(L"caf\x00e9s", &output));
    std::unique_ptr<char[]> owned(output);
    EXPECT_EQ(0, std::memcmp(owned.get(), "caf\xe9s", 6));
}

TEST(TextConvert, RvWidthFollowsTheFlavor) {
    EXPECT_EQ(RvString(RV_T("caf\xe9")), WideToRv(L"caf\x00e9"));
    EXPECT_EQ(L"caf\x00e9", RvToWide(RV_T("caf\xe9")));
}

TEST(FormatToPathBuffer, FormatsWhatFitsAndRefusesTheRest) {
    RvChar buffer[kPathBufferSize + 8];
    const RvString name(RV_T("file"));
    EXPECT_EQ(11, FormatToPathBuffer(buffer, kPathBufferSize, RV_T("%s.%d.del"), name.c_str(), 42));
    EXPECT_EQ(RvString(RV_T("file.42.del")), buffer);

    // 259 characters and the NUL fill the buffer exactly.
    const RvString fits(kPathBufferSize - 1, RV_T('x'));
    EXPECT_EQ(259, FormatToPathBuffer(buffer, kPathBufferSize, RV_T("%s"), fits.c_str()));
    EXPECT_EQ(fits, buffer);

    // One more is refused: empty text, nothing written past the count.
    const RvChar guard = RV_T('#');
    for (size_t i = 0; i < sizeof(buffer) / sizeof(buffer[0]); ++i)
        buffer[i] = guard;
    const RvString tooLong = fits + RV_T('y');
    EXPECT_EQ(-1, FormatToPathBuffer(buffer, kPathBufferSize, RV_T("%s"), tooLong.c_str()));
    EXPECT_EQ(RV_T('\0'), buffer[0]);
    for (size_t i = kPathBufferSize; i < sizeof(buffer) / sizeof(buffer[0]); ++i)
        EXPECT_EQ(guard, buffer[i]) << i;

    // A smaller count given by the caller is the limit.
    for (size_t i = 0; i < sizeof(buffer) / sizeof(buffer[0]); ++i)
        buffer[i] = guard;
    EXPECT_EQ(-1, FormatToPathBuffer(buffer, 4, RV_T("%d"), 1234));
    EXPECT_EQ(RV_T('\0'), buffer[0]);
    EXPECT_EQ(guard, buffer[4]);
    EXPECT_EQ(-1, FormatToPathBuffer(buffer, 0, RV_T("%d"), 1));
}
