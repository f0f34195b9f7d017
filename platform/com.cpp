#include "platform/com.h"

#include <oleauto.h>

#include <vector>

VolVariant::VolVariant(std::wstring_view text) {
    ::VariantInit(&v_);
    v_.vt = VT_BSTR;
    v_.bstrVal = ::SysAllocStringLen(text.data(), UINT(text.size()));
    if (!v_.bstrVal) v_.vt = VT_EMPTY;
}

bool VolVariant::ToText(CWString& out) const {
    out.clear();
    if (v_.vt == VT_BSTR) {
        if (v_.bstrVal) out.assign(v_.bstrVal, ::SysStringLen(v_.bstrVal));
        return true;
    }
    if (v_.vt == VT_EMPTY || v_.vt == VT_NULL || v_.vt == VT_DISPATCH || v_.vt == VT_UNKNOWN ||
        (v_.vt & VT_ARRAY))
        return false;
    VARIANT t;
    ::VariantInit(&t);
    if (FAILED(::VariantChangeType(&t, const_cast<VARIANT*>(&v_), 0, VT_BSTR))) return false;
    if (t.bstrVal) out.assign(t.bstrVal, ::SysStringLen(t.bstrVal));
    ::VariantClear(&t);
    return true;
}

int CVolComObject::CreateInstance(std::wstring_view progId) {
    Clear();
    std::wstring id(progId);
    CLSID clsid;
    HRESULT hr = id.starts_with(L"{") ? ::CLSIDFromString(id.c_str(), &clsid) : ::CLSIDFromProgID(id.c_str(), &clsid);
    if (FAILED(hr)) return 0;
    IDispatch* disp = nullptr;
    hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                            reinterpret_cast<void**>(&disp));
    if (FAILED(hr) || !disp) return 0;
    disp_ = disp;
    return 1;
}

HRESULT CVolComObject::Invoke(std::wstring_view name, CallKind kind, std::initializer_list<VolVariant> args,
                              VolVariant* result) const {
    if (!disp_) return E_POINTER;
    std::wstring member(name);
    LPOLESTR names[1] = {member.data()};
    DISPID id = 0;
    HRESULT hr = disp_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    // IDispatch takes its arguments last first.
    std::vector<VARIANT> argv(args.size());
    size_t i = args.size();
    for (const VolVariant& a : args) argv[--i] = *a.get();  // shallow: the caller's variants own the data
    DISPPARAMS params{};
    params.rgvarg = argv.empty() ? nullptr : argv.data();
    params.cArgs = UINT(argv.size());
    DISPID named = DISPID_PROPERTYPUT;
    if (kind == kPropertyPut) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    VolVariant ignored;
    VolVariant& out = result ? *result : ignored;
    out = VolVariant();
    EXCEPINFO info{};
    UINT badArg = 0;
    hr = disp_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, WORD(kind), &params,
                       kind == kPropertyPut ? nullptr : out.get(), &info, &badArg);
    if (hr == DISP_E_EXCEPTION) {
        ::SysFreeString(info.bstrSource);
        ::SysFreeString(info.bstrDescription);
        ::SysFreeString(info.bstrHelpFile);
    }
    return hr;
}

CWString CVolComObject::CallReturningText(std::wstring_view name, std::initializer_list<VolVariant> args) const {
    VolVariant r;
    CWString text;
    if (SUCCEEDED(Invoke(name, kMethod, args, &r))) r.ToText(text);
    return text;
}

VolVariant CVolComObject::CallReturningVariant(std::wstring_view name, std::initializer_list<VolVariant> args) const {
    VolVariant r;
    if (FAILED(Invoke(name, kMethod, args, &r))) return VolVariant();
    return r;
}
