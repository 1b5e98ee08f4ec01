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

bool IsJsonInteger(const Json::Value& value);
bool IsJsonLargeUnsigned(const Json::Value& value);
