// RAII owners for Windows handles.
#pragma once
#include "platform/win.h"

#include <memory>
#include <utility>

template <class T, class Traits>
class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(T h) noexcept : h_(h) {}
    UniqueResource(UniqueResource&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
    UniqueResource& operator=(UniqueResource&& o) noexcept {
        if (this != &o) reset(std::exchange(o.h_, Traits::Invalid()));
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    [[nodiscard]] T get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::Invalid(); }
    [[nodiscard]] T release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    void reset(T h = Traits::Invalid()) noexcept {
        if (h_ != Traits::Invalid()) Traits::Close(h_);
        h_ = h;
    }
    T* put() noexcept { reset(); return &h_; }

private:
    T h_ = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() noexcept { return nullptr; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
// CreateFile and friends report failure as INVALID_HANDLE_VALUE, others as null: both close nothing.
struct FileHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct GdiObjectTraits {
    static HGDIOBJ Invalid() noexcept { return nullptr; }
    static void Close(HGDIOBJ h) noexcept { ::DeleteObject(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() noexcept { return nullptr; }
    static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
struct FindHandleTraits {
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct HookTraits {
    static HHOOK Invalid() noexcept { return nullptr; }
    static void Close(HHOOK h) noexcept { ::UnhookWindowsHookEx(h); }
};

using UniqueKernelHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueHandle = UniqueResource<HANDLE, FileHandleTraits>;
using UniqueGdiObject = UniqueResource<HGDIOBJ, GdiObjectTraits>;
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;
using UniqueFindHandle = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueHook = UniqueResource<HHOOK, HookTraits>;

// A COM interface pointer that holds one reference.
struct ComReleaser {
    void operator()(IUnknown* p) const noexcept {
        if (p) p->Release();
    }
};
template <class T>
using UniqueCom = std::unique_ptr<T, ComReleaser>;
