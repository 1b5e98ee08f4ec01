// A host for the installer library: loads RvInstaller.dll, calls doInst
// with a request, prints the return code and the result text, and releases
// the result block with the matching array delete.
//
//   RvInstHost.exe [--dll <path>] --request-file <file>
//   RvInstHost.exe [--dll <path>] --request <json text>
//   RvInstHost.exe [--dll <path>] --null-request
// plus, with any of them, --result-file <file>: the result text (or nothing
// when there is none) is also written into that file.
//
// A request may carry the install parameters as plain JSON in a member
// "params" instead of the Base64 text "rspEncode": the host encodes them
// and sends the envelope the library expects, so that a person can write a
// request by hand. Such a request is read as UTF-8 (a BOM is allowed), the
// encoding people's editors write, and is sent with every non-ASCII
// character as a \u escape, which the library reads as text of the ANSI
// code page; a file that is not UTF-8 is refused (exit code 2). Any other
// request goes to the library byte for byte (from --request: in the ANSI
// code page). doInst takes the request as a C string: the library sees a
// request file up to its first NUL byte. The process exit code is the
// return code of doInst.
#include <windows.h>

#include <json/json.h>

#include <cstdio>
#include <exception>
#include <string>

#include "tests/support/Base64Encode.h"

namespace {

bool IsUtf8(const std::string& text) {
    return text.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

enum class Plain { kNone, kEncoded, kNotUtf8 };

// Replaces a "params" member by its Base64-encoded compact text in
// "rspEncode" (the writer escapes every non-ASCII character); any other
// request is left alone. The reader throws for nesting deeper than its
// stack limit: such a request, too, goes to the library as it is, which
// judges it.
Plain EncodePlainParameters(std::string& request) {
    const char bom[] = "\xEF\xBB\xBF";
    const std::string text = request.compare(0, 3, bom) == 0 ? request.substr(3) : request;
    try {
        Json::Value root;
        Json::Reader reader;
        if (!reader.parse(text, root, false) || !root.isObject() || !root.isMember("params"))
            return Plain::kNone;
        if (!IsUtf8(text))
            return Plain::kNotUtf8;
        Json::FastWriter writer;
        root["rspEncode"] = EncodeBase64(writer.write(root["params"]));
        root.removeMember("params");
        request = writer.write(root);
        return Plain::kEncoded;
    } catch (const std::exception&) {
        return Plain::kNone;
    }
}

std::string ToCodePage(const wchar_t* text, UINT codePage) {
    const int size = WideCharToMultiByte(codePage, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(codePage, 0, text, -1, &result[0], size, nullptr, nullptr);
    return result;
}

using DoInstFunction = int(__cdecl*)(const char* request, char*& result);

bool ReadWholeFile(const wchar_t* path, std::string& text) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char buffer[4096];
    DWORD read = 0;
    text.clear();
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    return true;
}

bool WriteWholeFile(const wchar_t* path, const std::string& text) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == text.size();
}

std::wstring DefaultLibraryPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + L"RvInstaller.dll";
}

int Usage() {
    std::fprintf(stderr,
                 "usage: RvInstHost.exe [--dll <path>] "
                 "(--request-file <file> | --request <json> | --null-request)\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring library = DefaultLibraryPath();
    std::string request;
    std::string ansiRequest;  // --request text for a request without "params"
    bool haveRequest = false;
    bool nullRequest = false;
    const wchar_t* resultFile = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--dll" && i + 1 < argc) {
            library = argv[++i];
        } else if (arg == L"--request-file" && i + 1 < argc) {
            ansiRequest.clear();
            if (!ReadWholeFile(argv[++i], request)) {
                std::fprintf(stderr, "cannot read the request file\n");
                return 2;
            }
            haveRequest = true;
        } else if (arg == L"--request" && i + 1 < argc) {
            const wchar_t* text = argv[++i];
            request = ToCodePage(text, CP_UTF8);
            ansiRequest = ToCodePage(text, CP_ACP);
            haveRequest = true;
        } else if (arg == L"--result-file" && i + 1 < argc) {
            resultFile = argv[++i];
        } else if (arg == L"--null-request") {
            nullRequest = true;
        } else {
            return Usage();
        }
    }
    if (!haveRequest && !nullRequest)
        return Usage();
    if (haveRequest) {
        const Plain plain = EncodePlainParameters(request);
        if (plain == Plain::kNotUtf8) {
            std::fprintf(stderr, "the request is not UTF-8 text\n");
            return 2;
        }
        if (plain == Plain::kNone && !ansiRequest.empty())
            request = ansiRequest;
    }

    HMODULE module = LoadLibraryW(library.c_str());
    if (!module) {
        std::fprintf(stderr, "cannot load the installer library (error %lu)\n", GetLastError());
        return 3;
    }
    auto doInst =
        reinterpret_cast<DoInstFunction>(reinterpret_cast<void*>(GetProcAddress(module, "doInst")));
    if (!doInst) {
        std::fprintf(stderr, "the library has no doInst export\n");
        FreeLibrary(module);
        return 3;
    }

    char* result = nullptr;
    int code = doInst(nullRequest ? nullptr : request.c_str(), result);
    std::printf("return code: %d\n", code);
    if (resultFile != nullptr && !WriteWholeFile(resultFile, result ? result : "")) {
        std::fprintf(stderr, "cannot write the result file\n");
    }
    if (result) {
        std::printf("result:\n%s\n", result);
        delete[] result;
    } else {
        std::printf("result: none\n");
    }
    std::fflush(stdout);
    FreeLibrary(module);
    return code;
}
