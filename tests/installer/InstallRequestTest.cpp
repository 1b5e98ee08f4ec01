#include "installer/request/InstallRequest.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/support/Latin1Encoder.h"

namespace {

using Strings = std::vector<std::string>;

void ExpectSameRequest(const InstallRequest& expected,
                       const InstallRequest& actual,
                       const std::string& context) {
    EXPECT_EQ(expected.reg, actual.reg) << context;
    EXPECT_EQ(expected.ec, actual.ec) << context;
    EXPECT_EQ(expected.zipUrl, actual.zipUrl) << context;
    EXPECT_EQ(expected.zipMd5, actual.zipMd5) << context;
    EXPECT_EQ(expected.dll_i, actual.dll_i) << context;
    EXPECT_EQ(expected.appendLog, actual.appendLog) << context;
    EXPECT_EQ(expected.ChannelID, actual.ChannelID) << context;
    EXPECT_EQ(expected.csidlDir, actual.csidlDir) << context;
    EXPECT_EQ(expected.subDir, actual.subDir) << context;
    EXPECT_EQ(expected.CLSID, actual.CLSID) << context;
    EXPECT_EQ(expected.ExplorerKey, actual.ExplorerKey) << context;
    EXPECT_EQ(expected.ShellDllName, actual.ShellDllName) << context;
    EXPECT_EQ(expected.CoreDllName, actual.CoreDllName) << context;
    EXPECT_EQ(expected.GroupID, actual.GroupID) << context;
    EXPECT_EQ(expected.UpdateVersion, actual.UpdateVersion) << context;
    EXPECT_EQ(expected.PFilter, actual.PFilter) << context;
}

// A record with every field away from its default.
InstallRequest Changed() {
    InstallRequest r;
    r.reg = 4;
    r.ec = 5;
    r.zipUrl = "u";
    r.zipMd5 = "m";
    r.dll_i = "d";
    r.appendLog = "a";
    r.ChannelID = "c";
    r.csidlDir = 26;
    r.subDir = "s";
    r.CLSID = "k";
    r.ExplorerKey = "e";
    r.ShellDllName = "sh";
    r.CoreDllName = "co";
    r.GroupID = "g";
    r.UpdateVersion = "v";
    r.PFilter = {"p"};
    return r;
}

TEST(InstallRequest, DefaultsAndReset) {
    InstallRequest r;
    EXPECT_EQ(0, r.reg);
    EXPECT_EQ(-1, r.ec);
    EXPECT_EQ("", r.zipUrl);
    EXPECT_EQ("", r.zipMd5);
    EXPECT_EQ("RvInstaller.dll", r.dll_i);
    EXPECT_EQ("", r.appendLog);
    EXPECT_EQ("", r.ChannelID);
    EXPECT_EQ(35, r.csidlDir);
    EXPECT_EQ("Dovadi", r.subDir);
    EXPECT_EQ("3F6A2C91-5B7E-4D08-9A41-C2E7F05B1D63", r.CLSID);
    EXPECT_EQ("PuShellIconOverlay", r.ExplorerKey);
    EXPECT_EQ("Dovadi.dll", r.ShellDllName);
    EXPECT_EQ("CoreModule.dll", r.CoreDllName);
    EXPECT_EQ("", r.GroupID);
    EXPECT_EQ("1.0.6.9000", r.UpdateVersion);
    EXPECT_TRUE(r.PFilter.empty());

    InstallRequest changed = Changed();
    changed.Reset();
    ExpectSameRequest(r, changed, "after Reset");
}

TEST(InstallRequest, StringKeysTakeOnlyStrings) {
    struct Key {
        const char* name;
        std::string InstallRequest::*field;
    };
    const Key keys[] = {
        {"dll_i", &InstallRequest::dll_i},
        {"appendLog", &InstallRequest::appendLog},
        {"subDir", &InstallRequest::subDir},
        {"CLSID", &InstallRequest::CLSID},
        {"ExplorerKey", &InstallRequest::ExplorerKey},
        {"ChannelID", &InstallRequest::ChannelID},
        {"ShellDllName", &InstallRequest::ShellDllName},
        {"CoreDllName", &InstallRequest::CoreDllName},
        {"GroupID", &InstallRequest::GroupID},
        {"UpdateVersion", &InstallRequest::UpdateVersion},
    };
    for (const Key& key : keys) {
        const std::string prefix = std::string("{\"") + key.name + "\":";
        const struct {
            std::string value;
            bool taken;
            std::string text;
        } values[] = {
            {"\"x\\u0041\\\\y\"", true, "xA\\y"},
            {"\"\"", true, ""},
            {"5", false, ""},
            {"true", false, ""},
            {"null", false, ""},
            {"[\"x\"]", false, ""},
        };
        for (const auto& v : values) {
            const std::string doc = prefix + v.value + "}";
            InstallRequest r = Changed();
            const std::string before = r.*key.field;
            EXPECT_TRUE(r.Parse(doc)) << doc;
            EXPECT_EQ(v.taken ? v.text : before, r.*key.field) << doc;
        }
    }
}

TEST(InstallRequest, IntegerKeysTakeOnlyIntegers) {
    struct Case {
        const char* doc;
        int reg;
        int ec;
        int csidlDir;
    };
    const Case cases[] = {
        {"{\"reg\":1, \"ec\":0, \"csidlDir\":20}", 1, 0, 20},
        {"{\"reg\":-2147483648, \"ec\":2147483647}", INT_MIN, INT_MAX, 35},
        {"{\"csidlDir\":0}", 0, -1, 1},
        {"{\"csidlDir\":-7}", 0, -1, 1},
        {"{\"csidlDir\":1}", 0, -1, 1},
        {"{\"csidlDir\":56}", 0, -1, 56},
        {"{\"csidlDir\":57}", 0, -1, 56},
        {"{\"csidlDir\":100}", 0, -1, 56},
        {"{\"csidlDir\":\"35\"}", 0, -1, 35},
        {"{\"reg\":\"1\", \"ec\":\"2\", \"csidlDir\":\"20\"}", 0, -1, 35},
        {"{\"reg\":3000000000, \"ec\":3000000000, \"csidlDir\":3000000000}", 0, -1, 35},
        {"{\"reg\":-2147483649, \"csidlDir\":-2147483649}", 0, -1, 35},
        {"{\"reg\":1.0, \"ec\":1e0, \"csidlDir\":35.0}", 0, -1, 35},
        {"{\"csidlDir\":20.0}", 0, -1, 35},
        {"{\"reg\":true, \"ec\":null, \"csidlDir\":[20]}", 0, -1, 35},
    };
    for (const Case& c : cases) {
        InstallRequest r;
        EXPECT_TRUE(r.Parse(c.doc)) << c.doc;
        EXPECT_EQ(c.reg, r.reg) << c.doc;
        EXPECT_EQ(c.ec, r.ec) << c.doc;
        EXPECT_EQ(c.csidlDir, r.csidlDir) << c.doc;
    }

    // The bounds hold whether or not the document names the folder.
    InstallRequest low;
    low.csidlDir = 0;
    EXPECT_TRUE(low.Parse("{}"));
    EXPECT_EQ(1, low.csidlDir);
    InstallRequest high;
    high.csidlDir = 1000;
    EXPECT_TRUE(high.Parse("null"));
    EXPECT_EQ(56, high.csidlDir);
}

TEST(InstallRequest, AcceptsComments) {
    InstallRequest r;
    const char* doc =
        "// parameters\n"
        "{ \"csidlDir\": 26, /* folder */ \"subDir\": \"Sub\",\n"
        "  \"PFilter\": [\"a\" /* first */, \"b\"] } // end\n";
    ASSERT_TRUE(r.Parse(doc));
    EXPECT_EQ(26, r.csidlDir);
    EXPECT_EQ("Sub", r.subDir);
    EXPECT_EQ((Strings{"a", "b"}), r.PFilter);
}

TEST(InstallRequest, UnusableDocumentsLeaveEveryField) {
    const char* docs[] = {
        "", "{\"subDir\":", "[{\"subDir\":\"x\"}]", "\"{\\\"subDir\\\":\\\"x\\\"}\"", "12", "false",
    };
    for (const char* doc : docs) {
        InstallRequest r = Changed();
        bool rejected = true;
        EXPECT_FALSE(r.Parse(doc, &rejected)) << doc;
        EXPECT_FALSE(rejected) << doc;
        ExpectSameRequest(Changed(), r, doc);
    }

    InstallRequest r;
    EXPECT_TRUE(r.Parse("null"));
    ExpectSameRequest(InstallRequest(), r, "null");
}

TEST(InstallRequest, ZipFileMembersAndFilterElementsAsText) {
    struct Case {
        const char* doc;
        const char* zipUrl;
        const char* zipMd5;
        Strings filter;
    };
    // Starting from zipUrl "u", zipMd5 "m" and the filter {"p"}.
    const Case cases[] = {
        {"{\"zipFile\":{\"url\":\"U\",\"md5\":\"M\"},\"PFilter\":[\"a\",\"\",\"c\"]}",
         "U",
         "M",
         {"a", "", "c"}},
        {"{\"zipFile\":{\"url\":true,\"md5\":false},\"PFilter\":[true,false,null]}",
         "true",
         "false",
         {"true", "false", ""}},
        {"{\"zipFile\":{\"url\":null},\"PFilter\":[]}", "u", "m", {}},
        {"{\"zipFile\":{\"md5\":\"\"},\"PFilter\":null}", "u", "", {}},
        {"{\"zipFile\":null}", "u", "m", {}},
        {"{\"zipFile\":\"U\",\"PFilter\":\"a\"}", "u", "m", {"p"}},
        {"{\"zipFile\":[\"U\"],\"PFilter\":{\"0\":\"a\"}}", "u", "m", {"p"}},
        {"{\"zipFile\":5,\"PFilter\":5}", "u", "m", {"p"}},
    };
    for (const Case& c : cases) {
        InstallRequest r;
        r.zipUrl = "u";
        r.zipMd5 = "m";
        r.PFilter = {"p"};
        EXPECT_TRUE(r.Parse(c.doc)) << c.doc;
        EXPECT_EQ(c.zipUrl, r.zipUrl) << c.doc;
        EXPECT_EQ(c.zipMd5, r.zipMd5) << c.doc;
        EXPECT_EQ(c.filter, r.PFilter) << c.doc;
    }
}

TEST(InstallRequest, ValuesWithoutTextFormRejectTheDocument) {
    const char* docs[] = {
        "{\"subDir\":\"x\",\"zipFile\":{\"url\":5}}",
        "{\"subDir\":\"x\",\"zipFile\":{\"url\":\"U\",\"md5\":1.5}}",
        "{\"subDir\":\"x\",\"zipFile\":{\"url\":[\"U\"]}}",
        "{\"subDir\":\"x\",\"zipFile\":{\"md5\":{\"a\":\"b\"}}}",
        "{\"subDir\":\"x\",\"PFilter\":[1]}",
        "{\"subDir\":\"x\",\"PFilter\":[\"a\",[\"b\"]]}",
        "{\"subDir\":\"x\",\"PFilter\":[\"a\",{}]}",
        "{\"subDir\":\"x\",\"zipFile\":{\"url\":\"U\"},\"PFilter\":[\"a\",-1]}",
    };
    for (const char* doc : docs) {
        InstallRequest r = Changed();
        bool rejected = false;
        EXPECT_FALSE(r.Parse(doc, &rejected)) << doc;
        EXPECT_TRUE(rejected) << doc;
        ExpectSameRequest(Changed(), r, doc);

        InstallRequest quiet;
        EXPECT_FALSE(quiet.Parse(doc)) << doc;
    }
}

}  // namespace

TEST(InstallRequest, EscapedCharactersBecomeTheCodePagesBytes) {
    // Raw and escaped text side by side; a character outside the code page
    // and a lone surrogate become '?' and name their key.
    InstallRequest request;
    ASSERT_TRUE(request.Parse(
        "{\"subDir\":\"raw \xF6, \\u00f6\\\\\\u0041\",\"CoreDllName\":\"\\u4E2D\\uDC00.dll\"}",
        nullptr, {EncodeLatin1, nullptr}));
    EXPECT_EQ(request.subDir, "raw \xF6, \xF6\\A");
    EXPECT_EQ(request.CoreDllName, "??.dll");
    EXPECT_EQ(request.unencodable, Strings{"CoreDllName"});
}

TEST(InstallRequest, DoubleByteCharactersEndingInABackslashStayWhole) {
    // Shift-JIS: 表 is 95 5C, 申 is 90 5C. Raw, at the end of a string and
    // before an escape; and as byte-wise writers send it, the trail byte
    // escaped.
    const AnsiCodePage shiftJis = {nullptr, [](unsigned char byte) {
                                       return (byte >= 0x81 && byte <= 0x9F) ||
                                              (byte >= 0xE0 && byte <= 0xFC);
                                   }};
    const struct {
        const char* doc;
        const char* subDir;
    } cases[] = {
        {"{\"subDir\":\"\x95\\\"}", "\x95\\"},
        {"{\"subDir\":\"a\x95\\\x90\\b\\\\c\\u0041\"}", "a\x95\\\x90\\b\\cA"},
        {"{\"subDir\":\"\x95\\\\\x90\\\\x\"}", "\x95\\\x90\\x"},
        {"{\"subDir\":\"\x95\"}", "\x95"},
    };
    for (const auto& c : cases) {
        InstallRequest request;
        EXPECT_TRUE(request.Parse(c.doc, nullptr, shiftJis)) << c.doc;
        EXPECT_EQ(request.subDir, c.subDir) << c.doc;
    }
    // Single-byte code pages keep reading every backslash as JSON does.
    InstallRequest plain;
    EXPECT_TRUE(plain.Parse("{\"subDir\":\"\x95\\\\\"}"));
    EXPECT_EQ(plain.subDir, "\x95\\");
}
