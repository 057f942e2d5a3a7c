// Owners for COM: an interface pointer that holds one reference of its own, a BSTR and a
// VARIANT. Copying a ComPtr adds a reference; assigning takes the new reference before
// releasing the old one, so assigning a pointer to itself (or to an object it keeps alive) is
// safe.
#pragma once

#include "ScopedHandle.h"

#include <objbase.h>
#include <oleauto.h>

#include <new>
#include <utility>

namespace kx {

template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    // Takes a reference of its own on `p`; the caller keeps its reference.
    static ComPtr Share(T* p) noexcept {
        ComPtr owner;
        owner.p_ = p;
        if (p != nullptr) p->AddRef();
        return owner;
    }
    ~ComPtr() { Reset(); }

    ComPtr(const ComPtr& other) noexcept : p_(other.p_) {
        if (p_ != nullptr) p_->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(const ComPtr& other) noexcept {
        T* old = std::exchange(p_, other.p_);
        if (p_ != nullptr) p_->AddRef();
        if (old != nullptr) old->Release();
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* Get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

    // For out-parameters that hand over a reference: releases what is held and hands out the
    // slot.
    T** Receive() noexcept {
        Reset();
        return &p_;
    }
    void Reset() noexcept {
        if (T* old = std::exchange(p_, nullptr)) old->Release();
    }

    // The same object under another interface; empty when it does not have it.
    template <typename U>
    ComPtr<U> As(REFIID iid) const noexcept {
        ComPtr<U> other;
        if (p_ != nullptr) p_->QueryInterface(iid, reinterpret_cast<void**>(other.Receive()));
        return other;
    }

private:
    T* p_ = nullptr;
};

struct BstrTraits {
    using Handle = BSTR;
    static Handle None() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::SysFreeString(h); }
};
// A BSTR of one's own; null is a valid empty string to COM.
using UniqueBstr = ScopedHandle<BstrTraits>;

// A copy of `text` as a BSTR. Throws std::bad_alloc when there is no memory for it: a name or
// value that could not be copied must never reach the DOM as the empty string a null BSTR means
// there. Callers run under kx::Boundary (the platform layer: OrOutOfMemory).
inline UniqueBstr CopyBstr(const wchar_t* text) {
    UniqueBstr copy(::SysAllocString(text));
    if (!copy && text != nullptr) throw std::bad_alloc();
    return copy;
}

// A VARIANT cleared once, when the owner goes.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&v_); }
    // A string variant holding a copy of `text`; throws std::bad_alloc as CopyBstr does.
    explicit UniqueVariant(const wchar_t* text) : UniqueVariant() {
        v_.bstrVal = CopyBstr(text).Release();
        v_.vt = VT_BSTR;
    }
    ~UniqueVariant() { ::VariantClear(&v_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT& Get() noexcept { return v_; }
    VARIANT* Receive() noexcept {
        ::VariantClear(&v_);
        return &v_;
    }

private:
    VARIANT v_;
};

// COM initialised for the calling thread (multithreaded apartment) for the owner's lifetime;
// uninitialised once when the owner goes, only if the initialisation succeeded.
class ComApartment {
public:
    ComApartment() noexcept : ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {}
    ~ComApartment() {
        if (ok_) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

    bool ok() const noexcept { return ok_; }

private:
    bool ok_;
};

}  // namespace kx
