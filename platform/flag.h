// The boxed boolean: an object carrying one truth value as an int32 (0 false, else true).
#pragma once
#include <cstdint>

#include "platform/object.h"

class rg_LuoJiXingLei : public CVolObject {
    VOL_CLASS(rg_LuoJiXingLei, CVolObject, "vol::rg_LuoJiXingLei")
    VOL_MEMBERS(value)
    int32_t value = 0;

    // Read for a wait that another thread or a handler may end by setting the value.
    int32_t Peek() const noexcept { return __atomic_load_n(&value, __ATOMIC_ACQUIRE); }
    void Set(int32_t v) noexcept { __atomic_store_n(&value, v, __ATOMIC_RELEASE); }
};
