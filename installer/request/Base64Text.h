// Base64 decoding of the request's "rspEncode" text. Pure code.
#pragma once

#include <string>

// Decodes standard-alphabet Base64. Characters outside the alphabet other
// than '=' are skipped; a group may end in "=" or "=="; misplaced padding
// or a trailing partial group fails. Failure, no bytes, or a leading NUL
// give empty text; otherwise the bytes up to the first NUL.
std::string DecodeBase64Text(const std::string& text);
