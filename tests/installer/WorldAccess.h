// The world SID's entry in an object's access list, read back from the
// system, for tests that check who may write into an install folder.
#pragma once

#include <windows.h>

#include <string>

// Full access as far as the system can store it. Windows keeps the entry
// as written (0x1F01FF); Wine keeps access lists as Unix permission bits
// and reads the entry back without WRITE_DAC and WRITE_OWNER (0x1301FF).
// Either way it holds read, write, execute and delete, which a fresh
// object's world entry on Wine (0x1200A9, read and execute) does not.
constexpr ACCESS_MASK kStoredFullAccess = 0x1301FF;

bool GrantsWorldFullAccess(const std::wstring& path);
// A gtest expectation: the world has full access, inherited by files and
// sub-folders.
void ExpectInheritableFullAccess(const std::wstring& path);

// The object's owner and access list as SDDL, for messages.
std::wstring DescriptorSddl(const std::wstring& path);
// True when an entry for anyone but SYSTEM, Administrators and the object's
// owner grants a right that changes or replaces the object (write, append
// or add, extended attributes, delete, delete a child, change the rights or
// the owner). Wine reads the owner back as the Unix user, with the access
// list that the Unix permission bits give.
bool OthersMayChange(const std::wstring& path);
// A gtest expectation for what the install places: everyone may read and
// execute it, nobody else may change it.
void ExpectReadAndExecuteOnly(const std::wstring& path);
// The rights of an installation: the folder and the modules the install
// placed are read and execute only for everyone; "Conf" and "Task" are
// open to everyone, inherited.
void ExpectInstallRights(const std::wstring& folder,
                         const std::wstring& shellName,
                         const std::wstring& coreName);
