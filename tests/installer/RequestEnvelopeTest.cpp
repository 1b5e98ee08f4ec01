#include "installer/request/RequestEnvelope.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EnvelopeCase {
    const char* text;
    InstallEnvelope expected;
};

InstallEnvelope Envelope(unsigned ver,
                         const char* tmpDir,
                         const char* srcid,
                         const char* rsp,
                         bool update) {
    InstallEnvelope e;
    e.m_nVer = ver;
    e.m_strTmpDir = tmpDir;
    e.m_strInstallSrcid = srcid;
    e.m_strRspEncode = rsp;
    e.m_bUpdate = update;
    return e;
}

void ExpectEnvelope(const InstallEnvelope& expected,
                    const InstallEnvelope& actual,
                    const char* text) {
    EXPECT_EQ(expected.m_nVer, actual.m_nVer) << text;
    EXPECT_EQ(expected.m_strTmpDir, actual.m_strTmpDir) << text;
    EXPECT_EQ(expected.m_strInstallSrcid, actual.m_strInstallSrcid) << text;
    EXPECT_EQ(expected.m_strRspEncode, actual.m_strRspEncode) << text;
    EXPECT_EQ(expected.m_bUpdate, actual.m_bUpdate) << text;
}

TEST(RequestEnvelope, TakesEachKeyOnlyWhenOfItsKind) {
    const InstallEnvelope defaults;
    const EnvelopeCase cases[] = {
        {"null", defaults},
        {"{}", defaults},
        {"{\"ver\":2}", defaults},
        {"{\"ver\":2147483648}", Envelope(2147483648u, "", "", "", false)},
        {"{\"ver\":3000000000}", Envelope(3000000000u, "", "", "", false)},
        {"{\"ver\":4294967295}", Envelope(4294967295u, "", "", "", false)},
        {"{\"ver\":4294967296}", defaults},
        {"{\"ver\":3000000000.0}", defaults},
        {"{\"ver\":\"3000000000\"}", defaults},
        {"{\"bUpdate\":true}", Envelope(1, "", "", "", true)},
        {"{\"bUpdate\":\"true\"}", defaults},
        {"{\"bUpdate\":1}", defaults},
        {"{\"tmpDir\":\"C:\\\\src\\\\\"}", Envelope(1, "C:\\src\\", "", "", false)},
        {"{\"tmpDir\":5, \"InstallSrcid\":null, \"rspEncode\":[\"QQ==\"]}", defaults},
        {"/* request */ {\"ver\":3000000000, \"tmpDir\":\"t\\\\\", \"InstallSrcid\":\"s\",\n"
         " \"bUpdate\":false, \"rspEncode\":\"QQ==\", \"other\":1} // end",
         Envelope(3000000000u, "t\\", "s", "QQ==", false)},
    };
    for (const EnvelopeCase& c : cases) {
        InstallEnvelope envelope;
        EXPECT_TRUE(ParseInstallEnvelope(c.text, envelope)) << c.text;
        ExpectEnvelope(c.expected, envelope, c.text);
    }
}

TEST(RequestEnvelope, RefusesUnusableTextAndKeepsFields) {
    const InstallEnvelope before = Envelope(7, "dir\\", "src", "QQ==", true);
    const char* texts[] = {"", "{", "not json", "[{\"tmpDir\":\"x\"}]", "\"text\"", "5", "true"};
    for (const char* text : texts) {
        InstallEnvelope envelope = before;
        EXPECT_FALSE(ParseInstallEnvelope(text, envelope)) << text;
        ExpectEnvelope(before, envelope, text);
    }
}

}  // namespace
