#include "diagnostics/CrashPrompt.h"

#include "diagnostics/CrashPromptTesting.h"

namespace {

int WINAPI AskWithMessageBox(const wchar_t* text, const wchar_t* caption, UINT type) {
    return MessageBoxW(nullptr, text, caption, type);
}

CrashPromptFunction g_pfnPrompt = nullptr;

}  // namespace

int ShowCrashPrompt(const wchar_t* programPath) {
    const wchar_t* const caption = L"crash now call coder please";
    if (g_pfnPrompt != nullptr)
        return g_pfnPrompt(programPath, caption, MB_YESNO);
    return AskWithMessageBox(programPath, caption, MB_YESNO);
}

CrashPromptFunction SetCrashPromptForTesting(CrashPromptFunction prompt) {
    CrashPromptFunction previous = g_pfnPrompt;
    g_pfnPrompt = prompt;
    return previous;
}
