#include "installer/request/JsonKinds.h"

#include <gtest/gtest.h>
#include <json/value.h>

#include <string>

namespace {

struct KindCase {
    const char* literal;
    bool integer;
    bool largeUnsigned;
};

TEST(JsonKinds, ClassifiesNumberLiteralsByHowTheyAreWritten) {
    const KindCase cases[] = {
        {"0", true, false},
        {"-0", true, false},
        {"35", true, false},
        {"-2147483648", true, false},
        {"2147483647", true, false},
        {"2147483648", false, true},
        {"3000000000", false, true},
        {"4294967295", false, true},
        {"4294967296", false, false},
        {"-2147483649", false, false},
        {"18446744073709551616", false, false},
        {"35.0", false, false},
        {"3.5e1", false, false},
        {"1e2", false, false},
        {"3000000000.0", false, false},
        {"3E9", false, false},
        {"\"35\"", false, false},
        {"true", false, false},
        {"null", false, false},
        {"[35]", false, false},
        {"{}", false, false},
    };
    for (const KindCase& c : cases) {
        Json::Value value;
        ASSERT_TRUE(ParseJsonText(c.literal, value)) << c.literal;
        EXPECT_EQ(c.integer, IsJsonInteger(value)) << c.literal;
        EXPECT_EQ(c.largeUnsigned, IsJsonLargeUnsigned(value)) << c.literal;
    }
}

TEST(JsonKinds, ReadsWithDefaultReaderFeatures) {
    Json::Value value;
    EXPECT_TRUE(ParseJsonText("/* lead */ {\"a\" : 1 // line\n} // tail", value));
    EXPECT_EQ(1, value["a"].asInt());
    EXPECT_TRUE(ParseJsonText("\"text\"", value));
    EXPECT_EQ("text", value.asString());

    const char* broken[] = {"", "   ", "{", "{\"a\":}", "[1,]", "'a'"};
    for (const char* text : broken) {
        EXPECT_FALSE(ParseJsonText(text, value)) << '"' << text << '"';
    }
}

TEST(JsonKinds, DeepNestingIsASyntaxErrorNotAnException) {
    const std::string deep = std::string(5000, '[') + std::string(5000, ']');
    Json::Value value;
    bool parsed = true;
    EXPECT_NO_THROW(parsed = ParseJsonText(deep, value));
    EXPECT_FALSE(parsed);
}

}  // namespace
