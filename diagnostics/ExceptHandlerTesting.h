// For tests only: replaces the installer's check that the install folder
// and its report program can be changed only by administrators
// (IsChangeableOnlyByAdministrators). On Wine no file passes it (every
// descriptor there names the Wine user as owner), so a test program takes
// this to reach the dump and the report program. The product never calls
// it. Installer flavor only.
#pragma once

#include <string>

using AdminOnlyCheckFunction = bool (*)(const std::wstring& path);

// Replaces the check (null restores it); returns the previous one.
AdminOnlyCheckFunction SetAdminOnlyCheckForTesting(AdminOnlyCheckFunction check);
