// JSON reading for the request: JsonCpp's reader with its default features
// (comments allowed, any value as the root), and the value kinds the
// request accepts. An "integer" is a number literal without fraction or
// exponent in the signed 32-bit range; a "large unsigned" is such a literal
// from 2147483648 to 4294967295.
#pragma once

#include <string>

namespace Json {
class Value;
}

// False on a syntax error, including empty text.
bool ParseJsonText(const std::string& text, Json::Value& root);
// The same, and false too when the root is neither an object nor null (a
// null root reads as an object without members).
bool ParseJsonObjectText(const std::string& text, Json::Value& root);

bool IsJsonInteger(const Json::Value& value);
bool IsJsonLargeUnsigned(const Json::Value& value);

// Copy the member `key` of an object (or null) into `field` when it is a
// string or an integer respectively; otherwise leave `field` alone.
void TakeJsonString(const Json::Value& object, const char* key, std::string& field);
void TakeJsonInteger(const Json::Value& object, const char* key, int& field);
