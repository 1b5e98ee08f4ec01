#include "base/FileDigest.h"

#include <wincrypt.h>

#include <vector>

namespace {

constexpr DWORD kSha256Size = 32;
constexpr DWORD kReadChunk = 1 << 20;

}  // namespace

Sha256Digest::Sha256Digest() {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    // The AES provider is the one that offers SHA-256 (Windows XP SP3 on).
    if (!CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) {
        m_bFailed = true;
        return;
    }
    m_provider = provider;
    if (!CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash)) {
        m_bFailed = true;
        return;
    }
    m_hash = hash;
}

Sha256Digest::~Sha256Digest() {
    const DWORD error = GetLastError();
    if (m_hash != 0)
        CryptDestroyHash(m_hash);
    if (m_provider != 0)
        CryptReleaseContext(m_provider, 0);
    SetLastError(error);
}

bool Sha256Digest::Update(const void* data, DWORD size) {
    if (!m_bFailed && size > 0 && !CryptHashData(m_hash, static_cast<const BYTE*>(data), size, 0))
        m_bFailed = true;
    return !m_bFailed;
}

std::string Sha256Digest::Finish() {
    BYTE value[kSha256Size] = {};
    DWORD size = sizeof(value);
    if (m_bFailed || !CryptGetHashParam(m_hash, HP_HASHVAL, value, &size, 0) ||
        size != kSha256Size) {
        m_bFailed = true;
        return std::string();
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (BYTE byte : value) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    m_bFailed = true;  // a finished hash takes no more data
    return text;
}

std::string DigestOpenFile(HANDLE file) {
    LARGE_INTEGER start = {};
    if (SetFilePointerEx(file, start, nullptr, FILE_BEGIN) == FALSE)
        return std::string();
    Sha256Digest digest;
    std::vector<char> buffer(kReadChunk);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file, buffer.data(), kReadChunk, &read, nullptr))
            return std::string();
        if (read == 0)
            break;
        if (!digest.Update(buffer.data(), read))
            return std::string();
    }
    return digest.Finish();
}
