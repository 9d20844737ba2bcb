// Small owners for Win32 handles: each closes what it holds when it goes out of
// scope, so no early return leaks a key, a file or a find handle.
#pragma once
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { reset(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HKEY get() const { return key_; }
    HKEY* out() { reset(); return &key_; }
    explicit operator bool() const { return key_ != nullptr; }
    void reset()
    {
        if (key_)
            RegCloseKey(key_);
        key_ = nullptr;
    }

    // RegOpenKeyExA; true when the key is open afterwards.
    bool open(HKEY root, const char* path, REGSAM access)
    {
        return RegOpenKeyExA(root, path, 0, access, out()) == ERROR_SUCCESS;
    }
    // view: 0, or KEY_WOW64_32KEY / KEY_WOW64_64KEY to pick a registry view.
    bool create(HKEY root, const char* path, REGSAM view = 0)
    {
        if (!view)
            return RegCreateKeyA(root, path, out()) == ERROR_SUCCESS;
        return RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, out(),
                               nullptr) == ERROR_SUCCESS;
    }

private:
    HKEY key_ = nullptr;
};

// A kernel handle that closes with CloseHandle. Both null and INVALID_HANDLE_VALUE mean empty.
class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h = nullptr)
    {
        if (*this)
            CloseHandle(h_);
        h_ = h;
    }
    HANDLE release()
    {
        HANDLE h = h_;
        h_ = nullptr;
        return h;
    }

private:
    HANDLE h_ = nullptr;
};

class FindHandle {
public:
    FindHandle() = default;
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() { reset(); }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h = INVALID_HANDLE_VALUE)
    {
        if (h_ != INVALID_HANDLE_VALUE)
            FindClose(h_);
        h_ = h;
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

// Change-notification handle (FindFirstChangeNotification).
class ChangeNotifyHandle {
public:
    ChangeNotifyHandle() = default;
    explicit ChangeNotifyHandle(HANDLE h) : h_(h) {}
    ~ChangeNotifyHandle() { reset(); }
    ChangeNotifyHandle(const ChangeNotifyHandle&) = delete;
    ChangeNotifyHandle& operator=(const ChangeNotifyHandle&) = delete;

    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h = INVALID_HANDLE_VALUE)
    {
        if (h_ != INVALID_HANDLE_VALUE)
            FindCloseChangeNotification(h_);
        h_ = h;
    }

private:
    HANDLE h_ = INVALID_HANDLE_VALUE;
};

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** out() { reset(); return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(out()); }
    explicit operator bool() const { return p_ != nullptr; }
    void reset()
    {
        if (p_)
            p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

// A BSTR owned for its scope (SysFreeString).
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : b_(SysAllocString(text)) {}
    ~Bstr() { reset(); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;

    BSTR get() const { return b_; }
    BSTR* out() { reset(); return &b_; }
    const wchar_t* text() const { return b_ ? b_ : L""; }
    void reset()
    {
        SysFreeString(b_);
        b_ = nullptr;
    }

private:
    BSTR b_ = nullptr;
};

// A VARIANT cleared at the end of its scope; empty (VT_EMPTY) until set.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    explicit Variant(LONG number) : Variant() { v_.vt = VT_I4; v_.lVal = number; }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    const VARIANT& get() const { return v_; }

private:
    VARIANT v_;
};

// A module loaded with LoadLibrary.
class Module {
public:
    Module() = default;
    explicit Module(HMODULE m) : m_(m) {}
    ~Module() { reset(); }
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    HMODULE get() const { return m_; }
    explicit operator bool() const { return m_ != nullptr; }
    void reset(HMODULE m = nullptr)
    {
        if (m_)
            FreeLibrary(m_);
        m_ = m;
    }

private:
    HMODULE m_ = nullptr;
};

// Service control manager and service handles close with CloseServiceHandle.
class ScHandle {
public:
    explicit ScHandle(SC_HANDLE h = nullptr) : h_(h) {}
    ~ScHandle()
    {
        if (h_)
            CloseServiceHandle(h_);
    }
    ScHandle(const ScHandle&) = delete;
    ScHandle& operator=(const ScHandle&) = delete;
    SC_HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    SC_HANDLE h_;
};

// COM on this thread for one operation. Every successful CoInitialize (S_FALSE too, when the
// thread had it already) is balanced; a thread in another apartment mode keeps its own.
class ComScope {
public:
    ComScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope()
    {
        if (initialised_)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_;
};

// GDI object (font, brush, bitmap).
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(HGDIOBJ o) : o_(o) {}
    ~GdiObject() { reset(); }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    HGDIOBJ get() const { return o_; }
    void reset(HGDIOBJ o = nullptr)
    {
        if (o_)
            DeleteObject(o_);
        o_ = o;
    }

private:
    HGDIOBJ o_ = nullptr;
};
