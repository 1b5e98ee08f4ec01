// Opening files and folders to all users. Installer only.
#pragma once

#include <string>

// Adds (replaces) an inheritable full-access entry for the trustee named
// `trusteeName` to the object's access list; when the name does not resolve
// (the well-known group's name is language-dependent) the entry is made
// for the world SID (S-1-1-0) itself. GrantEveryoneAccess passes
// "Everyone". Results as for GrantEveryoneAccess.
bool GrantWorldAccess(const std::string& path, const char* trusteeName);
