#include "base/AdminOnlyRights.h"

#include <gtest/gtest.h>
#include <sddl.h>

namespace {

// The rule over descriptors the system builds from their text form (on
// Wine a file keeps none that is set: its descriptor is made up from the
// Unix owner and mode). With `firstType`, the first entry becomes one of
// that kind, which Wine's text form cannot name.
bool AdminOnly(const wchar_t* sddl, BYTE firstType = ACCESS_ALLOWED_ACE_TYPE) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL list = nullptr;
    void* first = nullptr;
    if (GetSecurityDescriptorDacl(descriptor, &present, &list, &defaulted) && list != nullptr &&
        GetAce(list, 0, &first))
        static_cast<ACE_HEADER*>(first)->AceType = firstType;
    const bool adminOnly = IsDescriptorChangeableOnlyByAdministrators(descriptor);
    LocalFree(descriptor);
    return adminOnly;
}

}  // namespace

TEST(AdminOnlyRights, OnlyAdministratorOwnersAndReadExecuteForOthersPass) {
    // SYSTEM and Administrators may do anything; others read and execute;
    // entries that only children inherit, and denying ones, do not count.
    EXPECT_TRUE(AdminOnly(L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)"));
    EXPECT_TRUE(AdminOnly(L"O:SYD:(A;;FA;;;BA)(A;;GRGX;;;BU)(A;OICIIO;FA;;;WD)(D;;FA;;;WD)"));
    // Any right that changes or replaces, writing attributes included.
    for (const wchar_t* rights :
         {L"0x2", L"0x4", L"0x10", L"0x40", L"0x100", L"SD", L"WD", L"WO", L"GW", L"GA"})
        EXPECT_FALSE(
            AdminOnly((std::wstring(L"O:BAD:(A;;FA;;;BA)(A;;") + rights + L";;;WD)").c_str()));
    // Owners that could rewrite the list; no list; an allowing entry of
    // another kind (a callback entry), even for SYSTEM.
    EXPECT_FALSE(AdminOnly(L"O:WDD:P(A;;FA;;;SY)(A;;FA;;;BA)"));
    EXPECT_FALSE(AdminOnly(L"O:S-1-5-21-1-2-3-1000D:P(A;;FA;;;BA)"));
    EXPECT_FALSE(AdminOnly(L"O:BA"));
    EXPECT_FALSE(AdminOnly(L"O:BAD:(A;;FA;;;SY)", ACCESS_ALLOWED_CALLBACK_ACE_TYPE));

    // A NULL list (Wine's text form makes an empty one of "NO_ACCESS_CONTROL").
    BYTE owner[SECURITY_MAX_SID_SIZE];
    DWORD ownerSize = sizeof(owner);
    SECURITY_DESCRIPTOR open;
    ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, owner, &ownerSize) &&
                InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION) &&
                SetSecurityDescriptorOwner(&open, owner, FALSE) &&
                SetSecurityDescriptorDacl(&open, TRUE, nullptr, FALSE));
    EXPECT_FALSE(IsDescriptorChangeableOnlyByAdministrators(&open));
}
