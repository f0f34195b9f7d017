#include "platform/app_instance.h"

namespace {
HMODULE gResourceModule = nullptr;
}

void CVolAppInstance::SetResourceModule(HMODULE module) noexcept { gResourceModule = module; }

void CVolAppInstance::LoadResourceData(CVolMem& out, int32_t id, int32_t type) {
    out.Empty();
    if (id <= 0 || id > 0xFFFF || type <= 0 || type > 0xFFFF) return;
    HMODULE module = gResourceModule ? gResourceModule : ::GetModuleHandleW(nullptr);
    HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (!info) return;
    DWORD size = ::SizeofResource(module, info);
    HGLOBAL loaded = ::LoadResource(module, info);  // not a real handle: nothing to free
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (bytes && size) out.Assign(bytes, size);
}
