// The failure of an install step. The message becomes the result's
// "strErrorDesc".
#pragma once

#include <windows.h>

#include <exception>
#include <string>

class CRvInstallException : public std::exception {
public:
    CRvInstallException(int code, int detail, const std::string& desc)
        : m_dwLastError(GetLastError()), m_nCode(code), m_nDetail(detail), m_strDesc(desc) {}
    CRvInstallException(const CRvInstallException&) = default;

    std::string GetDesc() const { return m_strDesc; }

    DWORD m_dwLastError;
    int m_nCode;
    int m_nDetail;
    std::string m_strDesc;
};
