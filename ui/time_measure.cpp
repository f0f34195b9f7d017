#include "ui/time_measure.h"

#include "platform/input.h"
#include "util/text_helpers.h"

rg_DrenvikShiJianCeLiangLei::rg_DrenvikShiJianCeLiangLei() : startTick(int64_t(VolTickCount64())) {}

CWString rg_DrenvikShiJianCeLiangLei::GetElapsedText(const CWString& prefix) {
    int64_t now = int64_t(VolTickCount64());
    int64_t elapsed = now - startTick;
    startTick = now;
    CWString result = prefix + L"用时 " + FormatDuration(elapsed);
    if (outputBox.IsCreated()) outputBox.AppendText(result + L"\r\n");
    return result;
}
