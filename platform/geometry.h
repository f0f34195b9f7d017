// The platform's size and rectangle records.
#pragma once
#include <cstdint>

#include "platform/object.h"

class rg_CheCunLei : public CVolObject {
    VOL_CLASS(rg_CheCunLei, CVolObject, "rg_CheCunLei")
    VOL_MEMBERS(width, height)

public:
    int32_t width = 0;
    int32_t height = 0;
};

class rg_JuXingLei : public CVolObject {
    VOL_CLASS(rg_JuXingLei, CVolObject, "rg_JuXingLei")
    VOL_MEMBERS(left, top, right, bottom)

public:
    rg_JuXingLei() = default;
    rg_JuXingLei(int32_t l, int32_t t, int32_t r, int32_t b) : left(l), top(t), right(r), bottom(b) {}
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};
