#include "modules/ShellOverlay/OverlayIdentifier.h"

#include <new>
#include <string>

#include "modules/ShellOverlay/OverlayConfig.h"

namespace {

// Live overlay objects plus LockServer(TRUE) calls.
LONG g_moduleUsers = 0;

class OverlayClassFactory : public IClassFactory {
public:
    // The factory is a static object: references do not own it, but an
    // outstanding one keeps the module loaded so that its code stays.
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override {
        InterlockedIncrement(&g_moduleUsers);
        return 2;
    }
    STDMETHODIMP_(ULONG) Release() override {
        InterlockedDecrement(&g_moduleUsers);
        return 1;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        OverlayIdentifier* overlay = new (std::nothrow) OverlayIdentifier();
        if (overlay == nullptr)
            return E_OUTOFMEMORY;
        const HRESULT result = overlay->QueryInterface(iid, object);
        overlay->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&g_moduleUsers);
        else
            InterlockedDecrement(&g_moduleUsers);
        return S_OK;
    }
};

OverlayClassFactory g_factory;

}  // namespace

bool ModuleInUse() {
    return InterlockedCompareExchange(&g_moduleUsers, 0, 0) != 0;
}

HRESULT GetOverlayClassFactory(REFIID iid, void** object) {
    return g_factory.QueryInterface(iid, object);
}

OverlayIdentifier::OverlayIdentifier() {
    InterlockedIncrement(&g_moduleUsers);
}

OverlayIdentifier::~OverlayIdentifier() {
    InterlockedDecrement(&g_moduleUsers);
}

STDMETHODIMP OverlayIdentifier::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IShellIconOverlayIdentifier) {
        *object = static_cast<IShellIconOverlayIdentifier*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) OverlayIdentifier::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

STDMETHODIMP_(ULONG) OverlayIdentifier::Release() {
    const LONG left = InterlockedDecrement(&m_references);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

// This module stands for the product's overlay: it proves that Explorer
// can find and create it, and marks no file.
STDMETHODIMP OverlayIdentifier::IsMemberOf(LPCWSTR, DWORD) {
    return S_FALSE;
}

STDMETHODIMP OverlayIdentifier::GetOverlayInfo(LPWSTR iconFile,
                                               int capacity,
                                               int* index,
                                               DWORD* flags) {
    if (iconFile == nullptr || index == nullptr || flags == nullptr)
        return E_POINTER;
    const std::wstring own = ThisModulePath();
    if (own.empty())
        return E_FAIL;
    if (capacity <= 0 || own.size() >= static_cast<size_t>(capacity))
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    own.copy(iconFile, own.size());
    iconFile[own.size()] = L'\0';
    *index = 0;
    *flags = ISIOI_ICONFILE | ISIOI_ICONINDEX;
    return S_OK;
}

STDMETHODIMP OverlayIdentifier::GetPriority(int* priority) {
    if (priority == nullptr)
        return E_POINTER;
    *priority = 0;
    return S_OK;
}
