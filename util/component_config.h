// The program's configuration of control contents; its one object holds the settings file.
#pragma once
#include "util/config.h"

class rg_DrenvikMFCZuJianPeiZhiLei : public rg_DrenvikPeiZhiLei {
    VOL_CLASS(rg_DrenvikMFCZuJianPeiZhiLei, rg_DrenvikPeiZhiLei, "drenvik::rg_DrenvikMFCZuJianPeiZhiLei")
    VOL_MEMBERS()
};

// Loaded from "软件配置.ini" by start-up; shared by every window through its sectionName.
extern rg_DrenvikMFCZuJianPeiZhiLei gComponentConfig;
