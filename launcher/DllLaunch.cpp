#include "launcher/DllLaunch.h"

#include "base/ProcessUtil.h"
#include "base/SystemFunction.h"
#include "launcher/CmdLineParser.h"

namespace {

// The wait after the start only lets a failure to come up show; the export
// runs on in rundll32.exe after the launcher has ended.
constexpr DWORD kRundllStartWaitMs = 200;

int StartRundll(const CCmdLineParser& parser) {
    // The system's rundll32.exe, by its full path for the probe and the
    // start alike: by its bare name the system would look in the launcher's
    // folder and the current folder first, and a file of that name there
    // would run instead. The command line still names it the usual way.
    wchar_t rundll[MAX_PATH];
    if (!SystemFolderFile(L"rundll32.exe", rundll) || !ProbeProcessStart(L"rundll32.exe", rundll))
        return kRundllNotStartable;

    const wchar_t* libraryPath = parser.GetValue(L"dllPath");
    const wchar_t* exportName = parser.GetValue(L"expFunc");
    if (libraryPath == nullptr || exportName == nullptr)
        return kRundllMissingKey;

    if (!CheckDllExport(libraryPath, exportName))
        return kRundllLibraryRejected;

    const wchar_t* parameters = parser.GetValue(L"dllParam");
    std::wstring commandLine;
    if (!ComposeRundllCommandLine(libraryPath, exportName, parameters ? parameters : L"",
                                  &commandLine)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return kRundllStartFailed;
    }

    DWORD exitCode = 0;
    if (!RunProcessAndWait(commandLine.c_str(), &exitCode, kRundllStartWaitMs, rundll))
        return kRundllStartFailed;
    return kRundllStarted;
}

}  // namespace

bool ComposeRundllCommandLine(const std::wstring& libraryPath,
                              const std::wstring& exportName,
                              const std::wstring& parameters,
                              std::wstring* commandLine) {
    // rundll32.exe "%s",%s %s
    std::wstring text = L"rundll32.exe \"";
    text += libraryPath;
    text += L"\",";
    text += exportName;
    text += L' ';
    text += parameters;
    if (text.size() > kCommandLineBufferSize - 2) {
        commandLine->clear();
        return false;
    }
    *commandLine = std::move(text);
    return true;
}

int LaunchViaRundll(const CCmdLineParser& parser, DWORD* lastError) {
    // Everything the attempt allocated is gone when StartRundll returns, so
    // the error read here is the one the failing step left.
    const int code = StartRundll(parser);
    const DWORD error = code == kRundllStarted ? 0 : GetLastError();
    if (lastError)
        *lastError = error;
    return code;
}
