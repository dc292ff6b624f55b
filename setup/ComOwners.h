// Owners for COM interfaces, BSTRs, VARIANTs and a thread's COM initialisation, so that
// every path of a WMI step releases what it obtained.
#pragma once

#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace setup {

template <class Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}

    Interface** Receive() {
        Reset();
        return &p_;
    }
    void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }
    Interface* Get() const { return p_; }
    Interface* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    Interface* p_ = nullptr;
};

class Bstr {
public:
    explicit Bstr(const wchar_t* text) : s_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return s_; }

private:
    BSTR s_;
};

class VariantValue {
public:
    VariantValue() { VariantInit(&v_); }
    ~VariantValue() { VariantClear(&v_); }
    VariantValue(const VariantValue&) = delete;
    VariantValue& operator=(const VariantValue&) = delete;
    VARIANT* Get() { return &v_; }

private:
    VARIANT v_;
};

// COM for the calling thread, undone only when this call was the one that set it up: a
// thread that already runs in another apartment (RPC_E_CHANGED_MODE) keeps it untouched.
class ComThreadScope {
public:
    ComThreadScope() : hr_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComThreadScope() {
        if (hr_ == S_OK || hr_ == S_FALSE) CoUninitialize();
    }
    ComThreadScope(const ComThreadScope&) = delete;
    ComThreadScope& operator=(const ComThreadScope&) = delete;
    HRESULT Result() const { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace setup
