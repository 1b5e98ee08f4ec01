#include "base/SecurityUtil.h"

#include <windows.h>
#include <aclapi.h>

#include "base/ProcessUtil.h"
#include "base/ScopedHandle.h"

namespace {

// FILE_ALL_ACCESS, inherited by files (OBJECT_INHERIT_ACE) and sub-folders
// (CONTAINER_INHERIT_ACE).
constexpr DWORD kFullAccess = 0x1F01FF;
constexpr DWORD kInheritByFilesAndFolders = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

}  // namespace

bool GrantWorldAccess(const std::string& path, const char* trusteeName) {
    // The security calls take the path from a MAX_PATH buffer; a longer path
    // is refused rather than cut, so no other object's access is changed.
    if (path.size() > MAX_PATH - 1)
        return false;
    char object[MAX_PATH] = {};
    path.copy(object, path.size());

    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    ScopedSid world;
    if (!AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                  world.Receive()))
        return false;

    PACL currentDacl = nullptr;
    ScopedLocalMemory descriptor;
    PSECURITY_DESCRIPTOR rawDescriptor = nullptr;
    const DWORD read =
        GetNamedSecurityInfoA(object, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &currentDacl, nullptr, &rawDescriptor);
    descriptor.Reset(rawDescriptor);
    if (read != ERROR_SUCCESS)
        return false;

    EXPLICIT_ACCESSA access = {};
    access.grfAccessPermissions = kFullAccess;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = kInheritByFilesAndFolders;
    access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = const_cast<char*>(trusteeName != nullptr ? trusteeName : "");

    ScopedLocalMemory newDacl;
    PACL rawNewDacl = nullptr;
    DWORD merged = SetEntriesInAclA(1, &access, currentDacl, &rawNewDacl);
    if (merged != ERROR_SUCCESS) {
        access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        access.Trustee.ptstrName = static_cast<char*>(world.Get());
        rawNewDacl = nullptr;
        merged = SetEntriesInAclA(1, &access, currentDacl, &rawNewDacl);
    }
    newDacl.Reset(rawNewDacl);
    return merged == ERROR_SUCCESS &&
           SetNamedSecurityInfoA(object, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, static_cast<PACL>(newDacl.Get()),
                                 nullptr) == ERROR_SUCCESS;
}

bool GrantEveryoneAccess(const std::string& path) {
    return GrantWorldAccess(path, "Everyone");
}
