#include "installer/request/JsonKinds.h"

#include <json/reader.h>
#include <json/value.h>

bool ParseJsonText(const std::string& text, Json::Value& root) {
    // The reader throws instead of reporting an error for nesting deeper
    // than its stack limit; such text is as unusable as a syntax error.
    try {
        Json::Reader reader;
        Json::Value parsed;
        if (!reader.parse(text, parsed)) {
            return false;
        }
        root.swap(parsed);
        return true;
    } catch (...) {
        return false;
    }
}

// The reader stores a literal with a fraction or an exponent as a real even
// when its value is integral, and a plain literal as a signed or unsigned
// integer; only the latter two count.
static bool IsIntegerLiteral(const Json::Value& value) {
    return value.type() == Json::intValue || value.type() == Json::uintValue;
}

bool ParseJsonObjectText(const std::string& text, Json::Value& root) {
    Json::Value parsed;
    if (!ParseJsonText(text, parsed) || (!parsed.isObject() && !parsed.isNull())) {
        return false;
    }
    root.swap(parsed);
    return true;
}

bool IsJsonInteger(const Json::Value& value) {
    return IsIntegerLiteral(value) && value.isInt();
}

bool IsJsonLargeUnsigned(const Json::Value& value) {
    return IsIntegerLiteral(value) && value.isUInt() && !value.isInt();
}

void TakeJsonString(const Json::Value& object, const char* key, std::string& field) {
    const Json::Value& value = object[key];
    if (value.isString()) {
        field = value.asString();
    }
}

void TakeJsonInteger(const Json::Value& object, const char* key, int& field) {
    const Json::Value& value = object[key];
    if (IsJsonInteger(value)) {
        field = value.asInt();
    }
}
