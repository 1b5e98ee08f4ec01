// The check in front of every tree delete and every move that deletes its
// source: such an operation must never reach a drive root or a share root,
// whatever spelling (".." parts, a mapped drive letter, a device name) the
// path arrives in.
#pragma once

#include <string>

// True when the path passes IsDeletablePathText (base/PathString.h) both as
// given and in its full form (GetFullPathNameW), which is the name the
// system acts on: "C:\dir\CON" is "\\.\CON", "Q:\d\.." is "Q:\". Says
// nothing about whether the path exists.
bool IsDeletableTarget(const std::wstring& path);
