// The running program as a source of its own resources.
#pragma once
#include <cstdint>

#include "platform/mem.h"
#include "platform/win.h"

class CVolAppInstance {
public:
    static constexpr int kResourceRcData = 10;  // RT_RCDATA

    // Fills `out` with the bytes of the resource of that id and type; empty when it is absent or the
    // id is 0.
    static void LoadResourceData(CVolMem& out, int32_t id, int32_t type);
    // The module resources come from; null means the program itself. Tests point it at a module
    // loaded as a data file.
    static void SetResourceModule(HMODULE module) noexcept;
};
