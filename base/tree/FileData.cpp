#include "base/tree/FileData.h"

#include "base/FileDigest.h"

bool CopyFileData(HANDLE source, HANDLE target, std::vector<BYTE>& buffer, Sha256Digest* digest) {
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            return true;
        if (digest != nullptr && !digest->Update(buffer.data(), read))
            return false;
        DWORD written = 0;
        if (!WriteFile(target, buffer.data(), read, &written, nullptr) || written != read)
            return false;
    }
}
