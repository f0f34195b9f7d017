// The run-state object: one boxed integer that the program keeps for its whole run.
#pragma once
#include "platform/boxed.h"

class rg_DrenvikYunHangZhuangTaiLei : public CVolObject {
    VOL_CLASS(rg_DrenvikYunHangZhuangTaiLei, CVolObject, "app::rg_DrenvikYunHangZhuangTaiLei")
    VOL_MEMBERS(value)

public:
    // Embedded, so it compares by identity: an object is equal only to itself. Its stream is the
    // integer's int32 alone.
    rg_ZhengShuLei value;
};

// Built with the other globals before the program object exists; 0 for the whole run.
extern rg_DrenvikYunHangZhuangTaiLei gRunState;
