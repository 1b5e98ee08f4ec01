#include "base/TextConvert.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <new>

std::wstring ToWide(const char* text, size_t length, UINT codePage) {
    if (text == nullptr || length == 0 || length > static_cast<size_t>(INT_MAX))
        return std::wstring();
    const int inputLength = static_cast<int>(length);
    const int needed = MultiByteToWideChar(codePage, 0, text, inputLength, nullptr, 0);
    if (needed <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(needed), L'\0');
    const int written = MultiByteToWideChar(codePage, 0, text, inputLength, &result[0], needed);
    if (written <= 0)
        return std::wstring();
    result.resize(static_cast<size_t>(written));
    return result;
}

std::wstring ToWide(const std::string& text, UINT codePage) {
    return ToWide(text.data(), text.size(), codePage);
}

std::string ToNarrow(const std::wstring& text, UINT codePage) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX))
        return std::string();
    const int inputLength = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(codePage, 0, text.data(), inputLength, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::string result(static_cast<size_t>(needed), '\0');
    const int written = WideCharToMultiByte(codePage, 0, text.data(), inputLength, &result[0],
                                            needed, nullptr, nullptr);
    if (written <= 0)
        return std::string();
    result.resize(static_cast<size_t>(written));
    return result;
}

std::wstring AnsiToWide(const std::string& text) {
    return ToWide(text, CP_ACP);
}

std::string WideToAnsi(const std::wstring& text) {
    return ToNarrow(text, CP_ACP);
}

bool AnsiToWideExact(const std::string& text, std::wstring& wide) {
    wide = AnsiToWide(text);
    return WideToAnsi(wide) == text;
}

bool WideToAnsiExact(const std::wstring& text, std::string& ansi) {
    ansi = WideToAnsi(text);
    return AnsiToWide(ansi) == text;
}

bool Utf8ToWide(const std::string& text, std::wstring& wide) {
    wide.clear();
    if (text.empty())
        return true;
    if (text.size() > static_cast<size_t>(INT_MAX))
        return false;
    const int length = static_cast<int>(text.size());
    const int needed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (needed <= 0)
        return false;
    wide.resize(static_cast<size_t>(needed));
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, &wide[0],
                               needed) == needed;
}

std::string WideToUtf8(const std::wstring& text) {
    return ToNarrow(text, CP_UTF8);
}

std::string AnsiToUtf8(const std::string& text) {
    return WideToUtf8(AnsiToWide(text));
}

int WideToAnsiBuffer(const wchar_t* text, char** output) {
    if (output == nullptr)
        return 0;
    *output = nullptr;
    if (text == nullptr || text[0] == L'\0')
        return 0;
    // -1 makes the converter count and write the terminating NUL as well.
    const int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return 0;
    char* buffer = new (std::nothrow) char[static_cast<size_t>(needed)]();
    if (buffer == nullptr)
        return 0;
    const int written = WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, needed, nullptr, nullptr);
    if (written <= 0) {
        delete[] buffer;
        return 0;
    }
    *output = buffer;
    return written;
}

RvString WideToRv(const std::wstring& text) {
#ifdef RV_WIDE_TEXT
    return text;
#else
    return WideToAnsi(text);
#endif
}

std::wstring RvToWide(const RvString& text) {
#ifdef RV_WIDE_TEXT
    return text;
#else
    return AnsiToWide(text);
#endif
}

int FormatToPathBuffer(RvChar* buffer, size_t count, const RvChar* format, ...) {
    if (buffer == nullptr || count == 0 || count > static_cast<size_t>(INT_MAX))
        return -1;
    buffer[0] = 0;
    if (format == nullptr)
        return -1;
    va_list args;
    va_start(args, format);
    // _TRUNCATE makes the secure routine report an overlong text with -1
    // instead of raising the invalid-parameter handler; the cut text it
    // leaves behind is then thrown away, so callers never see a partial
    // path.
#ifdef RV_WIDE_TEXT
    const int written = _vsnwprintf_s(buffer, count, _TRUNCATE, format, args);
#else
    const int written = _vsnprintf_s(buffer, count, _TRUNCATE, format, args);
#endif
    va_end(args);
    if (written < 0) {
        buffer[0] = 0;
        return -1;
    }
    return written;
}
