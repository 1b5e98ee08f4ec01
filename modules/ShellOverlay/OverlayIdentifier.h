// The COM side of the shell module: the icon-overlay identifier that
// Explorer creates, its class factory, and the count of live objects and
// server locks that decides whether the module may be unloaded.
#pragma once

#include <windows.h>

#include <shlobj.h>

// True while any object or server lock is alive.
bool ModuleInUse();

// The class factory for the overlay identifier; QueryInterface on a
// process-wide object whose lifetime is the module's.
HRESULT GetOverlayClassFactory(REFIID iid, void** object);

class OverlayIdentifier : public IShellIconOverlayIdentifier {
public:
    OverlayIdentifier();
    OverlayIdentifier(const OverlayIdentifier&) = delete;
    OverlayIdentifier& operator=(const OverlayIdentifier&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IShellIconOverlayIdentifier
    STDMETHODIMP IsMemberOf(LPCWSTR path, DWORD attributes) override;
    STDMETHODIMP GetOverlayInfo(LPWSTR iconFile, int capacity, int* index, DWORD* flags) override;
    STDMETHODIMP GetPriority(int* priority) override;

private:
    virtual ~OverlayIdentifier();

    LONG m_references = 1;
};
