#include "base/tree/DeleteGuard.h"

#include <windows.h>

#include "base/PathFileSystem.h"
#include "base/PathString.h"

bool IsDeletableTarget(const std::wstring& path) {
    return IsDeletablePathText(path) && IsDeletablePathText(FullPath(path));
}
