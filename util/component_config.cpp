#include "util/component_config.h"

rg_DrenvikMFCZuJianPeiZhiLei gComponentConfig;

const CWString& rg_DrenvikMFCZuJianPeiZhiLei::SettleKey(std::wstring_view typeWord, uint64_t controlSerial,
                                                       std::wstring_view controlName, CWString& keyName) {
    if (!keyName.empty()) {
        keyName = CWString(typeWord) + keyName;
        return keyName;
    }
    CWString& recorded = controlKeys[controlSerial];
    if (recorded.empty()) recorded = CWString(typeWord) + CWString(controlName);
    keyName = recorded;
    return keyName;
}
