// SHA-256 of a file's bytes, read through a handle the caller holds, so
// that the bytes checked are the bytes of the file that stays open.
// Installer library only; never throws.
#pragma once

#include <windows.h>

#include <string>

// Hashes bytes as they come, through the system's cryptographic provider.
class Sha256Digest {
public:
    Sha256Digest();
    ~Sha256Digest();
    Sha256Digest(const Sha256Digest&) = delete;
    Sha256Digest& operator=(const Sha256Digest&) = delete;

    // False once any step has failed; the digest is then empty.
    bool Update(const void* data, DWORD size);
    // The 64 lower-case hexadecimal digits of everything given; empty when
    // a step failed. Ends the hash: call once.
    std::string Finish();

private:
    ULONG_PTR m_provider = 0;
    ULONG_PTR m_hash = 0;
    bool m_bFailed = false;
};

// The digest of the whole file behind `file` (opened for reading), read
// from its start; empty when it cannot be read.
std::string DigestOpenFile(HANDLE file);
