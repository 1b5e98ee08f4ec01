#include "base/AdminOnlyRights.h"

#include <aclapi.h>

#include "base/ScopedHandle.h"
#include "base/tree/FolderLinks.h"

namespace {

// Reading and executing (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, 0x1200A9)
// and the generic read and execute rights.
constexpr ACCESS_MASK kReadAndExecute =
    FILE_GENERIC_READ | FILE_GENERIC_EXECUTE | GENERIC_READ | GENERIC_EXECUTE;

bool IsAdministratorSid(PSID sid) {
    return sid != nullptr && IsValidSid(sid) &&
           (IsWellKnownSid(sid, WinLocalSystemSid) ||
            IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
}

bool IsDenyingEntry(BYTE type) {
    return type == ACCESS_DENIED_ACE_TYPE || type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
           type == ACCESS_DENIED_CALLBACK_ACE_TYPE ||
           type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// True when every entry that grants access to the object itself grants
// others nothing beyond `othersMayHave`.
bool AccessListGrantsOthersAtMost(PACL list, ACCESS_MASK othersMayHave) {
    ACL_SIZE_INFORMATION size = {};
    if (!GetAclInformation(list, &size, sizeof(size), AclSizeInformation))
        return false;
    for (DWORD index = 0; index < size.AceCount; ++index) {
        void* entry = nullptr;
        if (!GetAce(list, index, &entry))
            return false;
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(entry);
        if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 || IsDenyingEntry(header->AceType))
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (IsAdministratorSid(&allowed->SidStart))
            continue;
        if ((allowed->Mask & ~othersMayHave) != 0)
            return false;
    }
    return true;
}

bool IsOwnedByAdministratorsGrantingOthersAtMost(PSECURITY_DESCRIPTOR descriptor,
                                                 ACCESS_MASK othersMayHave) {
    if (descriptor == nullptr || !IsValidSecurityDescriptor(descriptor))
        return false;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !IsAdministratorSid(owner))
        return false;
    BOOL present = FALSE;
    PACL list = nullptr;
    if (!GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) || !present ||
        list == nullptr)
        return false;
    return AccessListGrantsOthersAtMost(list, othersMayHave);
}

}  // namespace

bool IsDescriptorChangeableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor) {
    return IsOwnedByAdministratorsGrantingOthersAtMost(descriptor, kReadAndExecute);
}

bool IsDescriptorUsableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor) {
    return IsOwnedByAdministratorsGrantingOthersAtMost(descriptor, READ_CONTROL);
}

bool IsChangeableOnlyByAdministrators(const std::wstring& path) {
    // By name first: Wine opens a Unix link to a folder as its target and
    // reports only the name as a reparse point.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || IsLinkAttributes(attributes))
        return false;
    ScopedFile object(
        CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!object || !GetFileInformationByHandle(object.Get(), &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return false;
    PSECURITY_DESCRIPTOR raw = nullptr;
    const DWORD read = GetSecurityInfo(object.Get(), SE_FILE_OBJECT,
                                       OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                       nullptr, nullptr, nullptr, nullptr, &raw);
    ScopedLocalMemory descriptor(raw);
    return read == ERROR_SUCCESS && IsDescriptorChangeableOnlyByAdministrators(raw);
}
