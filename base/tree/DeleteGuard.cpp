#include "base/tree/DeleteGuard.h"

#include <windows.h>

#include "base/PathString.h"
#include "base/tree/ProtectedFolders.h"

bool IsDeletableTarget(const std::wstring& path) {
    return IsDeletablePathText(path) && IsDeletablePathText(FullPath(path));
}
