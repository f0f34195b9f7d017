// COM automation objects driven by member name through IDispatch.
#pragma once
#include "platform/win.h"

#include <oaidl.h>

#include <initializer_list>
#include <utility>

#include "platform/object.h"
#include "platform/text.h"

// An owned VARIANT: cleared on destruction, deep-copied by VariantCopy.
class VolVariant {
public:
    VolVariant() noexcept { ::VariantInit(&v_); }
    VolVariant(std::wstring_view text);
    VolVariant(const wchar_t* text) : VolVariant(std::wstring_view(text ? text : L"")) {}
    VolVariant(int32_t n) noexcept { ::VariantInit(&v_); v_.vt = VT_I4; v_.lVal = n; }
    VolVariant(double d) noexcept { ::VariantInit(&v_); v_.vt = VT_R8; v_.dblVal = d; }
    VolVariant(bool b) noexcept { ::VariantInit(&v_); v_.vt = VT_BOOL; v_.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE; }
    VolVariant(const VolVariant& o) { ::VariantInit(&v_); ::VariantCopy(&v_, const_cast<VARIANT*>(&o.v_)); }
    VolVariant(VolVariant&& o) noexcept : v_(o.v_) { ::VariantInit(&o.v_); }
    VolVariant& operator=(VolVariant o) noexcept { std::swap(v_, o.v_); return *this; }
    ~VolVariant() { ::VariantClear(&v_); }

    VARIANT* get() noexcept { return &v_; }
    const VARIANT* get() const noexcept { return &v_; }
    VARTYPE Type() const noexcept { return v_.vt; }
    // The value as text; false (and the empty text) when it does not convert.
    bool ToText(CWString& out) const;

private:
    VARIANT v_;
};

// Holds one IDispatch reference. Copies share the reference (AddRef); destruction releases it.
class CVolComObject {
public:
    enum CallKind { kMethod = DISPATCH_METHOD | DISPATCH_PROPERTYGET, kPropertyGet = DISPATCH_PROPERTYGET,
                    kPropertyPut = DISPATCH_PROPERTYPUT };

    CVolComObject() noexcept = default;
    CVolComObject(const CVolComObject& o) noexcept : disp_(o.disp_) { if (disp_) disp_->AddRef(); }
    CVolComObject(CVolComObject&& o) noexcept : disp_(std::exchange(o.disp_, nullptr)) {}
    CVolComObject& operator=(CVolComObject o) noexcept { std::swap(disp_, o.disp_); return *this; }
    ~CVolComObject() { Clear(); }

    // Creates the object of a ProgID (or CLSID text) and takes its IDispatch; 1 on success, 0 on failure
    // (the holder is then empty).
    int CreateInstance(std::wstring_view progId);
    // Takes over a reference the caller already holds.
    void Attach(IDispatch* disp) noexcept { Clear(); disp_ = disp; }
    void Clear() noexcept { if (disp_) { disp_->Release(); disp_ = nullptr; } }
    bool IsCreated() const noexcept { return disp_ != nullptr; }
    IDispatch* GetDispatch() const noexcept { return disp_; }
    bool SameAs(const CVolComObject& o) const noexcept { return disp_ == o.disp_; }

    // Calls a member by name; arguments in the order the member declares them. The HRESULT of the call
    // (DISP_E_UNKNOWNNAME when the name is unknown, E_POINTER when nothing is held).
    HRESULT Invoke(std::wstring_view name, CallKind kind, std::initializer_list<VolVariant> args,
                   VolVariant* result = nullptr) const;
    // Sets a property or calls a method; 1 on success, 0 on failure.
    int Call(std::wstring_view name, CallKind kind, std::initializer_list<VolVariant> args) const {
        return SUCCEEDED(Invoke(name, kind, args)) ? 1 : 0;
    }
    int SetProperty(std::wstring_view name, const VolVariant& value) const { return Call(name, kPropertyPut, {value}); }
    // The result as text; the empty text when the call fails or its result is no text.
    CWString CallReturningText(std::wstring_view name, std::initializer_list<VolVariant> args = {}) const;
    // The result; an empty VARIANT when the call fails.
    VolVariant CallReturningVariant(std::wstring_view name, std::initializer_list<VolVariant> args = {}) const;

private:
    IDispatch* disp_ = nullptr;
};

// A COM holder member: equal only to itself, copied by sharing the reference, never streamed.
template <> struct VolMember<CVolComObject> : VolUnstreamedMember<CVolComObject> {};
