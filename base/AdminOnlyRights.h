// Whether only administrators can change or replace a file or folder, read
// from its security descriptor. A program that runs elevated starts another
// program, or writes where it will be read, only where no one else can
// have put or changed anything.
#pragma once

#include <windows.h>

#include <string>

// The rule, applied to a descriptor that holds an owner and an access list:
// true only when
// - the owner is SYSTEM (S-1-5-18) or Administrators (S-1-5-32-544): any
//   other owner may rewrite the access list;
// - there is an access list: none, or a NULL one, grants everything;
// - every entry that grants access to the object itself (entries only
//   inherited by children do not) is for SYSTEM or Administrators, or
//   grants nothing beyond reading and executing: reading data, extended
//   attributes, attributes and the descriptor, executing, waiting on the
//   object, and the generic read and execute rights. Every other right
//   counts as a change, writing attributes (the read-only, hidden and
//   system flags and the times, which no reader needs) included;
// - no entry is of a kind that may grant something other than the plain
//   allowing kind (object, callback and compound entries, and kinds this
//   rule does not know). Denying entries only take rights away and are
//   passed over.
bool IsDescriptorChangeableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor);

// The same rule for a kernel object that a holder uses by waiting on it (a
// mutex): no one but SYSTEM and Administrators is granted anything beyond
// reading its descriptor, waiting on it included.
bool IsDescriptorUsableOnlyByAdministrators(PSECURITY_DESCRIPTOR descriptor);

// The rule for the file or folder at `path` (a full path), its owner and
// access list read through a handle on the object itself. A link (a
// reparse point) never passes: the descriptor that counts would then be
// its target's, which the link's owner may change at will. False too when
// the object cannot be opened or its descriptor read.
//
// On Wine 8 a file's descriptor is made up from its Unix owner and mode:
// the owner is the Wine user (or Anonymous for another Unix user), so this
// is false for every file and folder there.
bool IsChangeableOnlyByAdministrators(const std::wstring& path);
