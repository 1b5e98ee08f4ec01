// The values of an open registry key, read in one pass. Installer library
// only; never throws.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct RegistryStringValue {
    std::wstring name;
    // The data of a REG_SZ value of at most 2047 characters; empty for any
    // other value, which `isString` tells apart from an empty string.
    std::wstring text;
    bool isString = false;
};

// Every value of `key` that can be read, in the registry's order.
std::vector<RegistryStringValue> ReadStringValues(HKEY key);
