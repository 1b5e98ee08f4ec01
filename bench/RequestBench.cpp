// Measures the request path of the installer on demand (never in tests):
// Base64 decoding throughput, parameter parsing, and whole doInst calls
// through the real library, which include the result block.
//   scripts/bench.sh
#include <windows.h>

#include <cstdio>
#include <string>

#include "installer/request/Base64Text.h"
#include "installer/request/InstallRequest.h"
#include "tests/support/Base64Encode.h"

namespace {

using DoInstFunction = int(__cdecl*)(const char* request, char*& result);

double Seconds(LARGE_INTEGER start, LARGE_INTEGER end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

template <typename Body>
double Time(int iterations, Body body) {
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < iterations; ++i)
        body();
    QueryPerformanceCounter(&end);
    return Seconds(start, end);
}

const char kParameters[] =
    R"({"reg":1,"ec":0,"dll_i":"RvInstaller.dll","ChannelID":"1006","csidlDir":35,)"
    R"("subDir":"Dovadi_bench","CLSID":"3F6A2C91-5B7E-4D08-9A41-C2E7F05B1D63",)"
    R"("ExplorerKey":"PuShellIconOverlay","ShellDllName":"Dovadi.dll",)"
    R"("CoreDllName":"CoreModule.dll","GroupID":"g","UpdateVersion":"1.0.6.9000",)"
    R"("zipFile":{"url":"http://example.invalid/a.zip","md5":"0123456789abcdef"},)"
    R"("PFilter":["a.exe","b.exe","c.exe"]})";

}  // namespace

int main() {
    std::string big(1 << 20, 'x');
    std::string encoded = EncodeBase64(big);
    const int decodeRounds = 20;
    double decode = Time(decodeRounds, [&] { DecodeBase64Text(encoded); });
    std::printf("DecodeBase64Text: %.1f MB/s of Base64 text\n",
                decodeRounds * encoded.size() / decode / 1e6);

    const int parseRounds = 20000;
    double parse = Time(parseRounds, [&] {
        InstallRequest request;
        request.Parse(kParameters);
    });
    std::printf("InstallRequest::Parse: %.1f us per document\n", parse / parseRounds * 1e6);

    HMODULE module = LoadLibraryW(L"RvInstaller.dll");
    auto doInst = module ? reinterpret_cast<DoInstFunction>(
                               reinterpret_cast<void*>(GetProcAddress(module, "doInst")))
                         : nullptr;
    if (!doInst) {
        std::printf("RvInstaller.dll not found next to the benchmark\n");
        return 1;
    }
    const std::string request = "{\"rspEncode\":\"" + EncodeBase64(kParameters) + "\"}";
    const int callRounds = 200;
    double calls = Time(callRounds, [&] {
        char* result = nullptr;
        doInst(request.c_str(), result);
        delete[] result;
    });
    std::printf("doInst (request to result block): %.2f ms per call\n", calls / callRounds * 1e3);
    FreeLibrary(module);
    return 0;
}
