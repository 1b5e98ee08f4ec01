// Uses a registered icon-overlay identifier the way Explorer does and
// records which icon file it names:
//
//   RvOverlayProbe.exe <ExplorerKey> <output file>
//
// It reads the default value of the key <ExplorerKey> below
// HKLM\Software\Microsoft\Windows\CurrentVersion\Explorer\ShellIconOverlayIdentifiers
// in the registry view of its own bitness, creates that class in-process
// in a single-threaded apartment, asks it for its overlay icon and writes
// the icon file path into the output file (ANSI text, no line feed).
//
// Exit codes: 0 written; 1 wrong arguments; 2 overlay key or its default
// value missing; 3 the value is not a "{class id}"; 4 COM could not start;
// 5 the object could not be created; 6 GetOverlayInfo failed; 7 the output
// file could not be written.
#include <windows.h>

#include <shlobj.h>

#include <string>

#include "base/ScopedHandle.h"

namespace {

enum ExitCode {
    kWritten = 0,
    kBadArguments = 1,
    kKeyMissing = 2,
    kNotAClassId = 3,
    kComFailed = 4,
    kCreateFailed = 5,
    kOverlayInfoFailed = 6,
    kWriteFailed = 7,
};

constexpr wchar_t kOverlayRoot[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers\\";

class ComApartment {
public:
    ComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(m_result))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Started() const { return SUCCEEDED(m_result); }

private:
    HRESULT m_result;
};

int Probe(const std::wstring& explorerKey, const std::wstring& outputFile) {
    wchar_t value[128] = {};
    DWORD size = sizeof(value) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, (kOverlayRoot + explorerKey).c_str(), nullptr,
                     RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return kKeyMissing;
    CLSID classId = {};
    if (value[0] != L'{' || FAILED(IIDFromString(value, &classId)))
        return kNotAClassId;

    ComApartment apartment;
    if (!apartment.Started())
        return kComFailed;
    IShellIconOverlayIdentifier* overlay = nullptr;
    if (FAILED(CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IShellIconOverlayIdentifier,
                                reinterpret_cast<void**>(&overlay))))
        return kCreateFailed;
    wchar_t iconFile[MAX_PATH] = {};
    int index = -1;
    DWORD flags = 0;
    const HRESULT result = overlay->GetOverlayInfo(iconFile, MAX_PATH, &index, &flags);
    overlay->Release();
    if (FAILED(result))
        return kOverlayInfoFailed;

    char narrow[MAX_PATH * 2] = {};
    const int length =
        WideCharToMultiByte(CP_ACP, 0, iconFile, -1, narrow, sizeof(narrow), nullptr, nullptr);
    if (length <= 0)
        return kWriteFailed;
    ScopedFile file(CreateFileW(outputFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.Get(), narrow, static_cast<DWORD>(length - 1), &written, nullptr))
        return kWriteFailed;
    return kWritten;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return kBadArguments;
    return Probe(argv[1], argv[2]);
}
