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
// request by hand. doInst takes the request as a C string: the library sees
// a request file up to its first NUL byte. The process exit code is the
// return code of doInst.
#include <windows.h>

#include <json/json.h>

#include <cstdio>
#include <exception>
#include <string>

#include "tests/support/Base64Encode.h"

namespace {

// Replaces a "params" member by its Base64-encoded compact text in
// "rspEncode"; any other request is passed on byte for byte. The reader
// throws for nesting deeper than its stack limit: such a request, too, goes
// to the library as it is, which judges it.
std::string EncodePlainParameters(const std::string& request) {
    try {
        Json::Value root;
        Json::Reader reader;
        if (!reader.parse(request, root, false) || !root.isObject() || !root.isMember("params"))
            return request;
        Json::FastWriter writer;
        root["rspEncode"] = EncodeBase64(writer.write(root["params"]));
        root.removeMember("params");
        return writer.write(root);
    } catch (const std::exception&) {
        return request;
    }
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
    bool haveRequest = false;
    bool nullRequest = false;
    const wchar_t* resultFile = nullptr;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--dll" && i + 1 < argc) {
            library = argv[++i];
        } else if (arg == L"--request-file" && i + 1 < argc) {
            if (!ReadWholeFile(argv[++i], request)) {
                std::fprintf(stderr, "cannot read the request file\n");
                return 2;
            }
            haveRequest = true;
        } else if (arg == L"--request" && i + 1 < argc) {
            const wchar_t* text = argv[++i];
            int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
            request.assign(size > 0 ? size - 1 : 0, '\0');
            if (size > 1)
                WideCharToMultiByte(CP_ACP, 0, text, -1, &request[0], size, nullptr, nullptr);
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

    if (haveRequest)
        request = EncodePlainParameters(request);
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
