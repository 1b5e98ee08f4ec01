// Where an elevated install's log configuration may write: every file of
// its appenders below the local data folder. The configuration lies in the
// user's own folder, so without this a user could have the elevated
// install create or append to any file, with lines that begin with text of
// the user's choosing. Installer library only.
#pragma once

#include <log4cplus/helpers/property.h>

// True when the calling thread's token (its impersonation token, otherwise
// the process's) is a member of BUILTIN\Administrators, which a
// non-elevated UAC token holds only for denying; also when that cannot be
// told.
bool IsElevatedToken();

// Takes out of the configuration every appender with a file that may lie
// elsewhere (diagnostics/LogFileRules.h), with one debug trace line for
// each: which and why. A file is permitted when its name, converted from
// the ANSI code page without loss, has a full form below the local data
// folder and no link lies on the way from that folder (the folder itself
// included) to the file: the folder and everything in it are the user's to
// change.
void ConfineLogFiles(log4cplus::helpers::Properties& properties);
