#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "launcher/CmdLineParser.h"

namespace {

struct ParseRow {
    const wchar_t* text;
    std::vector<std::pair<std::wstring, std::wstring>> present;  // key (any case), value
    std::vector<std::wstring> absent;
};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST(CmdLineParserTest, TableHoldsExactlyTheSwitchesOfEachText) {
    const std::vector<ParseRow> rows = {
        {L"x.exe -loadtype:rundll -dllPath:\"C:\\a b\\lib.dll\" -expFunc:doInst",
         {{L"loadtype", L"rundll"}, {L"dllpath", L"C:\\a b\\lib.dll"}, {L"expfunc", L"doInst"}},
         {L"b\\lib.dll\"", L"exe"}},
        // No closing quote: the value runs to the end without the opening quote.
        {L"-dllPath:\"C:\\a b", {{L"dllpath", L"C:\\a b"}}, {L"b"}},
        // The first occurrence wins, whatever the case of the later key.
        {L"-a -A:1", {{L"a", L""}}, {}},
        {L"/dllPath:first -DLLPATH:second", {{L"dllpath", L"first"}}, {}},
        // A ":" that ends the text gives an empty value.
        {L"-loadtype:rundll -dllParam:", {{L"loadtype", L"rundll"}, {L"dllparam", L""}}, {}},
        {L"-k:v", {{L"k", L"v"}}, {}},
        // Empty keys are never inserted.
        {L"-k - -:v", {{L"k", L""}}, {L"", L"v"}},
        // A value is skipped whole: its "-" starts no switch.
        {L"-x:a-b -y", {{L"x", L"a-b"}, {L"y", L""}}, {L"b"}},
        {L"-dllParam:\"-a:/b c\" -k", {{L"dllparam", L"-a:/b c"}, {L"k", L""}}, {L"a", L"b"}},
        // Only a leading double quote starts quoted mode.
        {L"-dllParam:{\"a\":1,\"b\":[2]}", {{L"dllparam", L"{\"a\":1,\"b\":[2]}"}}, {}},
        {L"-k:\"", {{L"k", L""}}, {}},
        // A key without a terminator runs to the end; a lone "-" at the end is
        // nothing.
        {L"-a -loadtype", {{L"a", L""}, {L"loadtype", L""}}, {}},
        {L"-a -", {{L"a", L""}}, {}},
        // The program path is scanned like the rest: its "-" starts a switch.
        {L"\"C:\\my-Tools\\RvDllLauncher.exe\" -loadtype:rundll",
         {{L"tools\\rvdlllauncher.exe\"", L""}, {L"loadtype", L"rundll"}},
         {L"my"}},
        // Only A-Z are folded.
        {L"-\u00C4B:1", {{L"\u00C4b", L"1"}, {L"\u00C4B", L"1"}}, {L"\u00E4b"}},
        {L"RvDllLauncher.exe", {}, {L"rvdlllauncher.exe", L"exe"}},
        {L"", {}, {L""}},
    };
    for (const ParseRow& row : rows) {
        SCOPED_TRACE(Narrow(row.text));
        CCmdLineParser parser;
        parser.ParseCommandLine(row.text);
        for (const auto& pair : row.present) {
            SCOPED_TRACE(Narrow(pair.first));
            EXPECT_TRUE(parser.HasKey(pair.first.c_str()));
            const wchar_t* value = parser.GetValue(pair.first.c_str());
            ASSERT_NE(value, nullptr);
            EXPECT_EQ(std::wstring(value), pair.second);
        }
        for (const std::wstring& key : row.absent) {
            SCOPED_TRACE(Narrow(key));
            EXPECT_FALSE(parser.HasKey(key.c_str()));
            EXPECT_EQ(parser.GetValue(key.c_str()), nullptr);
        }
    }
}

TEST(CmdLineParserTest, LookupFoldsTheNameAndValuesKeepTheirCase) {
    CCmdLineParser parser;
    parser.ParseCommandLine(L"-LoadType:RunDll");
    for (const wchar_t* name : {L"loadtype", L"LOADTYPE", L"lOaDtYpE"}) {
        EXPECT_TRUE(parser.HasKey(name));
        ASSERT_NE(parser.GetValue(name), nullptr);
        EXPECT_EQ(std::wstring(parser.GetValue(name)), L"RunDll");
    }
    EXPECT_FALSE(parser.HasKey(nullptr));
    EXPECT_EQ(parser.GetValue(nullptr), nullptr);
    EXPECT_EQ(parser.GetValue(L"dllPath"), nullptr);
}

TEST(CmdLineParserTest, EachParseStartsFromAnEmptyTableAndNullChangesNothing) {
    CCmdLineParser parser;
    parser.ParseCommandLine(L"-a:1 -b:2");
    parser.ParseCommandLine(nullptr);
    EXPECT_TRUE(parser.HasKey(L"a"));
    EXPECT_TRUE(parser.HasKey(L"b"));

    parser.ParseCommandLine(L"-a:3");
    ASSERT_NE(parser.GetValue(L"a"), nullptr);
    EXPECT_EQ(std::wstring(parser.GetValue(L"a")), L"3");
    EXPECT_FALSE(parser.HasKey(L"b"));

    parser.ParseCommandLine(L"no switches");
    EXPECT_FALSE(parser.HasKey(L"a"));
}

}  // namespace
