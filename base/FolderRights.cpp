#include "base/FolderRights.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "base/ScopedHandle.h"
#include "base/tree/HeldFolder.h"

namespace {

// Read and execute (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE): no user may
// write, replace, rename, delete or add a file beside what the install
// placed.
constexpr wchar_t kAdministratorsOnlySddl[] =
    L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)";
constexpr wchar_t kEveryoneFullSddl[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;WD)";

ScopedLocalMemory MakeDescriptor(FolderRights rights) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            FolderRightsSddl(rights), SDDL_REVISION_1, &descriptor, nullptr))
        descriptor = nullptr;
    return ScopedLocalMemory(descriptor);
}

}  // namespace

const wchar_t* FolderRightsSddl(FolderRights rights) {
    return rights == FolderRights::kAdministratorsOnly ? kAdministratorsOnlySddl
                                                       : kEveryoneFullSddl;
}

bool CreateFolderWithRights(const std::wstring& folder, FolderRights rights) {
    const ScopedLocalMemory descriptor = MakeDescriptor(rights);
    if (!descriptor)
        return false;
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = descriptor.Get();
    if (CreateDirectoryW(folder.c_str(), &attributes))
        return true;
    // A process that may not name Administrators as the owner (one that is
    // not elevated) still gets the access list.
    if (GetLastError() != ERROR_INVALID_OWNER)
        return false;
    SetSecurityDescriptorOwner(descriptor.Get(), nullptr, FALSE);
    return CreateDirectoryW(folder.c_str(), &attributes) != FALSE;
}

bool ApplyFolderRights(const std::wstring& path, FolderRights rights) {
    HeldFolder folder;
    return folder.Hold(path, kFolderRightsAccess) && ApplyFolderRights(folder.Get(), rights);
}

bool ApplyFolderRights(HANDLE object, FolderRights rights) {
    const ScopedLocalMemory descriptor = MakeDescriptor(rights);
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    PSID owner = nullptr;
    if (!descriptor || !GetSecurityDescriptorDacl(descriptor.Get(), &present, &dacl, &defaulted) ||
        !present || dacl == nullptr ||
        !GetSecurityDescriptorOwner(descriptor.Get(), &owner, &defaulted))
        return false;
    const SECURITY_INFORMATION protectedDacl =
        DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
    // A process that may not name Administrators as the owner (one that is
    // not elevated) still sets the access list.
    if (SetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | protectedDacl, owner,
                        nullptr, dacl, nullptr) == ERROR_SUCCESS)
        return true;
    return SetSecurityInfo(object, SE_FILE_OBJECT, protectedDacl, nullptr, nullptr, dacl,
                           nullptr) == ERROR_SUCCESS;
}
