// Boxed integers: objects that carry one number, used as optional out arguments. A box whose
// empty-object flag is set stands for an argument the caller left out.
#pragma once
#include <cstdint>

#include "platform/object.h"

// Pointer-sized integer.
class rg_BianZhengShuLei : public CVolObject {
    VOL_CLASS(rg_BianZhengShuLei, CVolObject, "vol::rg_BianZhengShuLei")
    VOL_MEMBERS(value)
    intptr_t value = 0;
};

// 64-bit integer.
class rg_ChangZhengShuLei : public CVolObject {
    VOL_CLASS(rg_ChangZhengShuLei, CVolObject, "vol::rg_ChangZhengShuLei")
    VOL_MEMBERS(value)
    int64_t value = 0;
};

// Boolean, as an int32 (0 false, else true).
class rg_LuoJiXingLei : public CVolObject {
    VOL_CLASS(rg_LuoJiXingLei, CVolObject, "vol::rg_LuoJiXingLei")
    VOL_MEMBERS(value)
    int32_t value = 0;

    // For a wait that another thread or a message handler may end by setting the value.
    int32_t Peek() const noexcept { return __atomic_load_n(&value, __ATOMIC_ACQUIRE); }
    void Set(int32_t v) noexcept { __atomic_store_n(&value, v, __ATOMIC_RELEASE); }
};

// True when an optional box was given: present and not marked as omitted.
inline bool VolBoxGiven(const CVolObject* box) noexcept { return box && !box->IsEmptyObject(); }
