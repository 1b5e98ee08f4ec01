#include "installer/request/Base64Text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DecodeCase {
    const char* name;
    std::string encoded;
    std::string decoded;  // empty where the decoding must fail
};

TEST(Base64Text, DecodesWellFormedText) {
    const DecodeCase cases[] = {
        {"whole groups", "QUJD", "ABC"},
        {"two padding characters", "eyJhIjoxfQ==", "{\"a\":1}"},
        {"one padding character", "QUI=", "AB"},
        {"lines split by CRLF", "eyJh\r\nIjox\r\nfQ==\r\n", "{\"a\":1}"},
        {"padding inside a group", "eyJhIjox\r\nfQ=\r\n=", "{\"a\":1}"},
        {"blanks and punctuation", " Q U*J!D\t", "ABC"},
        {"one-byte group, then more", "QQ==QkM=", "ABC"},
        {"two-byte group, then more", "QUI=Qw==", "ABC"},
        {"bytes above 0x7F kept as they are", "+/+/", "\xfb\xff\xbf"},
        {"stops at the first NUL", "QQBC", "A"},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(c.decoded, DecodeBase64Text(c.encoded)) << c.name;
    }
}

TEST(Base64Text, GivesEmptyTextOnFailure) {
    const DecodeCase cases[] = {
        {"padding in second place", "A===", ""},
        {"padding in first place", "=AAA", ""},
        {"data after padding in a group", "AA=A", ""},
        {"padding only", "====", ""},
        {"a third padding character", "QQ===", ""},
        {"one padding character where two are needed", "QQ=", ""},
        {"failure after a good group", "QUJDA===", ""},
        {"trailing partial group of three", "QUJDQUI", ""},
        {"trailing partial group of two", "QUJDQQ", ""},
        {"trailing partial group of one", "QUJDQ", ""},
        {"URL-safe characters are not in the alphabet", "Pz8-", ""},
        {"leading NUL", "AEFC", ""},
        {"no input", "", ""},
        {"no alphabet characters", "\r\n *", ""},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(c.decoded, DecodeBase64Text(c.encoded)) << c.name;
    }
}

}  // namespace
