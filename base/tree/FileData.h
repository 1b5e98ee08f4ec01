// Copying a file's data from one open handle to another: the one loop the
// tree copy, the module placement and the record writes share. Installer
// library only; never throws.
#pragma once

#include <windows.h>

#include <vector>

class Sha256Digest;

// Copies what `source` holds from its current position to its end into
// `target`, through the caller's buffer (reused across files), feeding every
// byte to `digest` when there is one. False when a read, a write or the
// digest fails.
bool CopyFileData(HANDLE source,
                  HANDLE target,
                  std::vector<BYTE>& buffer,
                  Sha256Digest* digest = nullptr);
