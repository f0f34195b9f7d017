// The program's configuration of control contents; its one object holds the settings file.
// The Sync operations store a control's content into the current section (isSaving != 0) or put it
// back (isSaving == 0), so a window lists its controls once for both directions. They are templates
// over the control types, which live in the layer above.
#pragma once
#include <cstdint>
#include <map>

#include "util/config.h"

class rg_DrenvikMFCZuJianPeiZhiLei : public rg_DrenvikPeiZhiLei {
    VOL_CLASS(rg_DrenvikMFCZuJianPeiZhiLei, rg_DrenvikPeiZhiLei, "drenvik::rg_DrenvikMFCZuJianPeiZhiLei")
    VOL_MEMBERS(controlKeys, isSaving)

public:
    static constexpr wchar_t kComboWord[] = L"组合框";
    static constexpr wchar_t kRichEditWord[] = L"Drenvik超级编辑框";
    static constexpr wchar_t kCheckBoxWord[] = L"Drenvik选中框";

    // A control given without a key name keeps the key its first call built. Keyed by the control's
    // serial rather than its address: a new control at a freed address must not inherit a key.
    std::map<uint64_t, CWString> controlKeys;
    int32_t isSaving = 0;

    // The full key: typeWord + keyName when a name is given, else the key recorded for the control
    // (typeWord + controlName on its first call). keyName receives the key.
    const CWString& SettleKey(std::wstring_view typeWord, uint64_t controlSerial, std::wstring_view controlName,
                              CWString& keyName);

    // Combo box: key + ".内容" = the current text; restoring selects the stored text.
    template <class Combo>
    void SyncComboBox(Combo& box, CWString& keyName) {
        CWString name = box.GetCaption();
        if (name.empty()) name = box.caption;
        CWString entry = SettleKey(kComboWord, box.GetSerial(), name, keyName) + L".内容";
        if (isSaving) WriteText(entry, box.GetCurrentText());
        else box.SelectByText(ReadText(entry, box.GetCurrentText()));
    }
    // Rich edit box: key = its whole text; restoring replaces its whole content.
    template <class RichEdit>
    void SyncRichEdit(RichEdit& box, CWString& keyName) {
        const CWString& key = SettleKey(kRichEditWord, box.GetSerial(), box.caption, keyName);
        if (isSaving) {
            WriteText(key, box.GetText());
            return;
        }
        CWString text = ReadText(key, box.GetText());
        if (box.IsCreated()) box.StreamInText(text, 0);
        else box.caption = text;
    }
    // Check box: key = "真" when checked, "假" when not; any other stored text unchecks it.
    template <class CheckBox>
    void SyncCheckBox(CheckBox& box, CWString& keyName) {
        const CWString& key = SettleKey(kCheckBoxWord, box.GetSerial(), box.GetCaption(), keyName);
        if (isSaving) {
            SetValue(sectionName, key, box.checked ? L"真" : L"假");
            return;
        }
        int state = GetValue(sectionName, key, box.checked ? L"真" : L"假") == L"真" ? 1 : 0;
        if (state != (box.checked ? 1 : 0)) {
            box.checked = state;
            box.Paint();
        }
    }
    // The same with a key name given as a constant.
    template <class Combo> void SyncComboBox(Combo& box, std::wstring_view keyName) {
        CWString k(keyName);
        SyncComboBox(box, k);
    }
    template <class RichEdit> void SyncRichEdit(RichEdit& box, std::wstring_view keyName) {
        CWString k(keyName);
        SyncRichEdit(box, k);
    }
    template <class CheckBox> void SyncCheckBox(CheckBox& box, std::wstring_view keyName) {
        CWString k(keyName);
        SyncCheckBox(box, k);
    }
};

// Loaded from "软件配置.ini" by start-up; shared by every window through its sectionName.
extern rg_DrenvikMFCZuJianPeiZhiLei gComponentConfig;
