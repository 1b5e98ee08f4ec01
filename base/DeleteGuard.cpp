#include "base/DeleteGuard.h"

#include <windows.h>

#include "base/PathString.h"

namespace {

// The full form of the path; empty when the system cannot form one.
std::wstring FullPath(const std::wstring& path) {
    std::wstring full(MAX_PATH, L'\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
        if (length == 0)
            return std::wstring();
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.assign(length, L'\0');  // the length asked for includes the NUL
    }
    return std::wstring();
}

}  // namespace

bool IsDeletableTarget(const std::wstring& path) {
    return IsDeletablePathText(path) && IsDeletablePathText(FullPath(path));
}
