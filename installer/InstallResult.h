// The outcome of one doInst call and its wire form: a JSON object with
// "nErrorCode", "strErrorDesc" and "strLogAppend", laid out by JsonCpp's
// styled writer, handed to the caller in a block the library allocates.
#pragma once

#include <string>

struct InstallResult {
    int nErrorCode = 0;
    std::string strErrorDesc;
    std::string strLogAppend;
};

// Styled JSON text of the result, final line feed included.
std::string WriteStyledResult(const InstallResult& result);

// A new block of exactly styled.size() bytes holding the text without its
// final line feed and a NUL. The caller owns it and releases it with
// delete[]. Null for empty text.
char* MakeResultBlock(const std::string& styled);

// Return codes of doInst.
constexpr int kInstallSucceeded = 0;
constexpr int kInstallFailed = 10;
constexpr int kRequestUnusable = 11;
constexpr int kInstallCrashed = -1;
