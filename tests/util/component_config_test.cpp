// Control contents stored into and restored from the current section, with fakes of the three
// control kinds that offer what the operations call.
#include <gtest/gtest.h>

#include <new>

#include "platform/window.h"
#include "util/component_config.h"

namespace {

struct FakeCombo : CVolWinControl {
    CWString text;
    CWString selected;
    const CWString& GetCaption() const { return caption; }
    CWString GetCurrentText() const { return text; }
    void SelectByText(std::wstring_view t) { selected = text = CWString(t); }
};

struct FakeRichEdit : CVolWinControl {
    CWString text;
    CWString GetText() const { return text; }
    void StreamInText(std::wstring_view t, int) { text = CWString(t); }
};

struct FakeCheckBox : CVolWinControl {
    int checked = 0;
    int paints = 0;
    CWString label;
    CWString GetCaption() const { return label; }
    void Paint() { ++paints; }
};

struct ComponentConfigTest : ::testing::Test {
    rg_DrenvikMFCZuJianPeiZhiLei cfg;
    void SetUp() override { cfg.sectionName = L"主界面"; }
    CWString Stored(std::wstring_view key) { return cfg.GetValue(L"主界面", key, L"<none>"); }
};

}  // namespace

TEST_F(ComponentConfigTest, ComboKeysAndRoundTrip) {
    FakeCombo combo;
    combo.caption = L"模型名称";
    combo.text = L"qwen2.5:7b";
    cfg.isSaving = 1;
    cfg.SyncComboBox(combo, L"");
    cfg.SyncComboBox(combo, L"M");
    EXPECT_EQ(Stored(L"组合框模型名称.内容"), L"qwen2.5:7b");
    EXPECT_EQ(Stored(L"组合框M.内容"), L"qwen2.5:7b");

    CWString key;
    cfg.isSaving = 0;
    cfg.SetValue(L"主界面", L"组合框模型名称.内容", L"gemma2:2b");
    cfg.SyncComboBox(combo, key);
    EXPECT_EQ(key, L"组合框模型名称");
    EXPECT_EQ(combo.selected, L"gemma2:2b");
    // A missing key restores the control's own text.
    FakeCombo other;
    other.caption = L"无";
    other.text = L"keep";
    cfg.SyncComboBox(other, L"");
    EXPECT_EQ(other.selected, L"keep");
}

TEST_F(ComponentConfigTest, RichEditLineBreaksSurvive) {
    FakeRichEdit box;
    box.text = L"a\r\nb";
    cfg.isSaving = 1;
    cfg.SyncRichEdit(box, L"Q");
    EXPECT_EQ(Stored(L"Drenvik超级编辑框Q"), CWString(L"a") + wchar_t(30) + L"b");
    box.text = L"changed";
    cfg.isSaving = 0;
    cfg.SyncRichEdit(box, L"Q");  // no window: the stored caption takes the text
    EXPECT_EQ(box.caption, L"a\r\nb");
}

TEST_F(ComponentConfigTest, CheckBoxTrueFalseAndAnyOtherText) {
    FakeCheckBox box;
    box.label = L"Auto";
    box.checked = 1;
    cfg.isSaving = 1;
    cfg.SyncCheckBox(box, L"");
    EXPECT_EQ(Stored(L"Drenvik选中框Auto"), L"真");
    cfg.isSaving = 0;
    for (const wchar_t* stored : {L"假", L"yes"}) {
        box.checked = 1;
        box.paints = 0;
        cfg.SetValue(L"主界面", L"Drenvik选中框Auto", stored);
        cfg.SyncCheckBox(box, L"");
        EXPECT_EQ(box.checked, 0) << stored;
        EXPECT_EQ(box.paints, 1) << stored;
    }
    cfg.SetValue(L"主界面", L"Drenvik选中框Auto", L"假");
    cfg.SyncCheckBox(box, L"");  // unchanged state: no repaint
    EXPECT_EQ(box.paints, 1);
}

TEST_F(ComponentConfigTest, AControlKeepsItsFirstKey) {
    FakeCombo combo;
    combo.caption = L"A";
    cfg.isSaving = 1;
    cfg.SyncComboBox(combo, L"");
    combo.caption = L"B";
    CWString key;
    cfg.SyncComboBox(combo, key);
    EXPECT_EQ(key, L"组合框A");
}

TEST_F(ComponentConfigTest, ANewControlAtAFreedAddressGetsItsOwnKey) {
    alignas(FakeCombo) unsigned char storage[sizeof(FakeCombo)];
    auto* first = ::new (static_cast<void*>(storage)) FakeCombo;
    first->caption = L"旧";
    cfg.isSaving = 1;
    cfg.SyncComboBox(*first, L"");
    first->~FakeCombo();
    auto* second = ::new (static_cast<void*>(storage)) FakeCombo;  // same address
    second->caption = L"新";
    CWString key;
    cfg.SyncComboBox(*second, key);
    EXPECT_EQ(key, L"组合框新");
    second->~FakeCombo();
}
