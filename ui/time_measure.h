// Time measurement: a stopwatch on the 64-bit tick count whose laps come back as texts and, when
// its edit box has a window, are appended there.
#pragma once
#include "platform/components.h"

class rg_DrenvikShiJianCeLiangLei : public CVolObject {
    VOL_CLASS(rg_DrenvikShiJianCeLiangLei, CVolObject, "rg_DrenvikShiJianCeLiangLei")
    VOL_MEMBERS(outputBox, startTick)

public:
    rg_DrenvikShiJianCeLiangLei();
    rg_DrenvikShiJianCeLiangLei(const rg_DrenvikShiJianCeLiangLei&) = delete;

    // Ends the current lap and starts the next: prefix + "用时 " + the lap's duration.
    CWString GetElapsedText(const CWString& prefix);

    rg_edit_box outputBox;
    int64_t startTick = 0;  // milliseconds, start of the current lap
};
