#include "base/RegistryValues.h"

std::vector<RegistryStringValue> ReadStringValues(HKEY key) {
    std::vector<RegistryStringValue> values;
    // A value name holds at most 16383 characters.
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
        wchar_t data[2048] = {};
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = sizeof(data) - sizeof(wchar_t), type = 0;
        LONG result = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_MORE_DATA) {
            // Data too long for a record of ours: the name alone.
            nameLength = static_cast<DWORD>(name.size());
            result =
                RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, nullptr, nullptr);
            type = REG_NONE;
        }
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            continue;
        RegistryStringValue value;
        value.name.assign(name.data(), nameLength);
        value.isString = type == REG_SZ;
        if (value.isString)
            value.text = data;
        values.push_back(std::move(value));
    }
    return values;
}
