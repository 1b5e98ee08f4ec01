#include "base/SystemInfo.h"

#include <windows.h>
#include <iphlpapi.h>

#include <ctime>

#include "base/SystemFunction.h"
#include "base/TextConvert.h"
#include "diagnostics/SehGuard.h"

namespace {

// The adapter list is read into a fixed buffer with room for 16 adapter
// records of 648 bytes (the system's record size, with 64-bit lease times);
// a longer list is not read.
constexpr ULONG kAdapterBufferSize = 10368;

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using GetAdaptersInfoFn = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);

// GetAdaptersInfo, looked up on first use: only crash reports need the
// address, and the adapter library would otherwise be loaded, with the
// libraries it needs, at every start of the launcher.
GetAdaptersInfoFn AdaptersInfoFunction() {
    static const GetAdaptersInfoFn function =
        GetSystemFunctionAs<GetAdaptersInfoFn>(L"iphlpapi.dll", "GetAdaptersInfo");
    return function;
}

// GetNativeSystemInfo, looked up at run time: systems before Windows XP do
// not have it. False when it is missing.
bool QueryNativeSystemInfo(SYSTEM_INFO& info) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr)
        return false;
    auto query = reinterpret_cast<GetNativeSystemInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
    if (query == nullptr)
        return false;
    info = SYSTEM_INFO();
    query(&info);
    return true;
}

OsVersionRecord ReadOsVersion() {
    OsVersionRecord record;
    OSVERSIONINFOEXA version = {};
    static_assert(sizeof(version) == 156, "the extended version record");
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
        record.nKind =
            OsKindFromVersion(version.dwMajorVersion, version.dwMinorVersion, version.wProductType);
        record.strVersion = std::to_string(version.dwMajorVersion) + "." +
                            std::to_string(version.dwMinorVersion) + "." +
                            std::to_string(version.dwBuildNumber) + "." +
                            std::to_string(version.dwPlatformId) + "_" + version.szCSDVersion;
    }
    SYSTEM_INFO info;
    if (QueryNativeSystemInfo(info)) {
        const WORD architecture = info.wProcessorArchitecture;
        record.b64Bit = architecture == PROCESSOR_ARCHITECTURE_AMD64 ||
                        architecture == PROCESSOR_ARCHITECTURE_IA64;
    }
    return record;
}

}  // namespace

int OsKindFromVersion(unsigned major, unsigned minor, unsigned productType) {
    if (major == 5) {
        if (minor == 0)
            return kOsWin2000;
        if (minor == 1)
            return kOsWinXP;
        return kOsWinXP64OrServer2003;
    }
    if (productType != VER_NT_WORKSTATION)
        return kOsServer;
    if (major == 6) {
        switch (minor) {
            case 0:
                return kOsVista;
            case 1:
                return kOsWin7;
            case 2:
                return kOsWin8;
            case 3:
                return kOsWin81;
            default:
                return kOsOther;
        }
    }
    if (major == 10)
        return kOsWin10;
    return kOsOther;
}

bool Is64BitWindows() {
    SYSTEM_INFO info;
    return QueryNativeSystemInfo(info) &&
           info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

OsVersionRecord GetOsVersion() {
    // Computed once per process; the initialisation of a local static is
    // itself thread-safe.
    static const OsVersionRecord record = ReadOsVersion();
    return record;
}

bool GetMacAddress(RvChar* buffer) {
    if (buffer == nullptr)
        return false;
    alignas(8) BYTE list[kAdapterBufferSize] = {};
    bool written = false;
    // A fault inside the adapter query or the formatting reads as "no
    // address", like any other failure.
    const bool completed = SehTry(
        [&] {
            auto* first = reinterpret_cast<IP_ADAPTER_INFO*>(list);
            ULONG size = kAdapterBufferSize;
            const GetAdaptersInfoFn getAdaptersInfo = AdaptersInfoFunction();
            if (getAdaptersInfo == nullptr || getAdaptersInfo(first, &size) != ERROR_SUCCESS)
                return;
            // The first adapter of the list, whatever its type or state.
            const BYTE* address = first->Address;
            written = FormatToPathBuffer(buffer, kMacBufferSize, RV_T("%02X%02X%02X%02X%02X%02X"),
                                         address[0], address[1], address[2], address[3], address[4],
                                         address[5]) >= 0;
        },
        SehHandleAll);
    return completed && written;
}

RvString GetMacAddressString() {
    RvChar buffer[MAX_PATH] = {};
    if (!GetMacAddress(buffer))
        return RvString();
    return buffer;
}

std::string GetTimestampString() {
    return std::to_string(static_cast<long long>(_time64(nullptr)));
}
