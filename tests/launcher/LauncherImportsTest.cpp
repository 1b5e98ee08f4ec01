// What the launcher makes the system load before its entry point runs: the
// DLLs named in its import table, each with the DLLs it imports itself.
// Only a crash report needs the shell, URL, adapter, version and debugging
// libraries, so none of them may be imported; they are looked up when a
// report needs them (the crash tests prove that they still are).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The DLL names of the program's import table, in lower case; empty when
// the file cannot be mapped as an image.
std::vector<std::string> ImportedLibraries(const std::wstring& program) {
    std::vector<std::string> names;
    HMODULE image = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (image == nullptr)
        return names;
    // The handle of a resource mapping has its low bits set; the image
    // itself starts at the page below.
    const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(image) &
                                                     ~static_cast<ULONG_PTR>(0xFFFF));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress != 0) {
        for (const auto* entry =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
             entry->Name != 0; ++entry)
            names.push_back(Lower(reinterpret_cast<const char*>(base + entry->Name)));
    }
    FreeLibrary(image);
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(LauncherImports, NoLibraryThatOnlyACrashReportNeedsIsLoadedAtStart) {
    const std::vector<std::string> imports = ImportedLibraries(BinFile(L"RvDllLauncher.exe"));
    ASSERT_TRUE(Contains(imports, "kernel32.dll")) << testing::PrintToString(imports);
    for (const char* rare : {"urlmon.dll", "shell32.dll", "iphlpapi.dll", "version.dll",
                             "dbghelp.dll", "user32.dll", "ole32.dll", "ws2_32.dll"}) {
        EXPECT_FALSE(Contains(imports, rare))
            << rare << " is imported: " << testing::PrintToString(imports);
    }
}

}  // namespace
