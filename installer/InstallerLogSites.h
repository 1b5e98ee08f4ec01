// Source name and function texts that the install steps log with: every
// DEBUG line of an install step names the source "RvInstallerMain", its
// line and the step's full signature.
#pragma once

#include "diagnostics/InstallerLogger.h"

namespace install_log {
constexpr char kSource[] = "RvInstallerMain";
constexpr char kDoInstall[] = "int __thiscall CRvInstallerMain::DoInstall(const char *,char *&)";
constexpr char kDoCheckValidInstall[] =
    "int __thiscall CRvInstallerMain::DoCheckValidInstall(void)";
constexpr char kClearInstalled[] = "void __thiscall CRvInstallerMain::ClearInstalled(void)";
constexpr char kRegisterShell[] =
    "void __thiscall CRvInstallerMain::RegisterShell(const class std::basic_string<char> &)";
constexpr char kCopyOrgFiles[] = "void __thiscall CRvInstallerMain::CopyOrgFiles(void)";
constexpr char kRetireInstalled[] = "void __thiscall CRvInstallerMain::RetireInstalled(void)";
constexpr char kReadInstalledRecord[] =
    "void __thiscall CRvInstallerMain::ReadInstalledRecord(void)";
constexpr char kWriteInstallInfo[] = "void __thiscall CRvInstallerMain::WriteInstallInfo(void)";
constexpr char kWriteInstallFlag[] =
    "int __thiscall CRvInstallerMain::WriteInstallFlag(const class std::basic_string<char> &,const "
    "class std::basic_string<char> &)";
}  // namespace install_log

// A DEBUG line of an install step: RV_STEP_LOG(kRegisterShell, "text" << value).
#define RV_STEP_LOG(function, message) \
    RV_LOG_DEBUG(install_log::kSource, __LINE__, install_log::function, message)
