#include <gtest/gtest.h>

#include "base/TextCase.h"

TEST(ToLowerDbcs, LowersAsciiLettersOnly) {
    EXPECT_EQ("abc xyz 09_@[`{", ToLowerDbcs("ABC xYz 09_@[`{"));
    EXPECT_EQ("", ToLowerDbcs(""));
}

TEST(ToLowerDbcs, KeepsDoubleByteCharactersWhole) {
    // GBK characters whose trail byte looks like an upper-case letter:
    // 0x81 0x41 and 0xFE 0x5A must not turn into 0x81 'a' / 0xFE 'z'.
    EXPECT_EQ(
        "\x81\x41\xfe\x5a"
        "ab",
        ToLowerDbcs("\x81\x41\xfe\x5a"
                    "AB"));
    // A trail byte in the range is consumed, so the next pair is read from
    // the right place: 0xB0 0xA1 then 'C'.
    EXPECT_EQ(
        "\xb0\xa1"
        "c\x80\x4d",
        ToLowerDbcs("\xb0\xa1"
                    "C\x80\x4d"));
    // 0xFF is no lead byte, and 0x80 followed by a byte below 0x40 is no
    // pair: the letters after them are lowered.
    EXPECT_EQ(
        "\xff"
        "a\x80"
        "1b",
        ToLowerDbcs("\xff"
                    "A\x80"
                    "1B"));
}

TEST(ToLowerDbcs, LeadByteAtTheEndStaysASingleByte) {
    EXPECT_EQ("ab\x81", ToLowerDbcs("AB\x81"));
    EXPECT_EQ("\x81\x41\x81", ToLowerDbcs("\x81\x41\x81"));
}

TEST(ToLowerDbcs, StopsAtTheFirstNul) {
    EXPECT_EQ("ab", ToLowerDbcs(std::string("AB\0CD", 5)));
    EXPECT_EQ("\x81", ToLowerDbcs(std::string("\x81\0A", 3)));
}
