#include <gtest/gtest.h>

#include "platform/components.h"
#include "platform/menu.h"

namespace {

// One record as its 11 fields (12 with a number), each followed by "\n" except the last.
CWString Record(std::wstring_view level, std::wstring_view caption, std::wstring_view id, std::wstring_view key = L"",
                std::wstring_view ctrl = L"0", std::wstring_view shift = L"0", std::wstring_view sep = L"0",
                std::wstring_view checked = L"0", std::wstring_view greyed = L"0") {
    return CWString::Concat({level, L"\n", caption, L"\n", caption, L"\n", id, L"\n", L"", L"\n", key, L"\n", ctrl,
                             L"\n", shift, L"\n", sep, L"\n", checked, L"\n", greyed});
}

CWString Menu(std::wstring_view version, std::initializer_list<CWString> records) {
    CWString t(version);
    for (const CWString& r : records) t.Append(L"\n").Append(r);
    return t;
}

const CWString kTop = Record(L"0", L"顶级菜单", L"100");

}  // namespace

TEST(MenuKeyNames, TableLookupsIgnoreCaseAndLeaveGapsUnnamed) {
    struct Case { const wchar_t* name; int code; } cases[] = {
        {L"c", 'C'}, {L"F5", VK_F5}, {L"f24", VK_F24}, {L"esc", VK_ESCAPE}, {L"`", 192}, {L"\\", 220},
        {L"0", '0'}, {L"PadPlus", 107}, {L"OEM_CLEAR", 254}, {L"LButton", 1},
        {L"", 0}, {L"Escape", 0}, {L"F25", 0}, {L"Ctrl+C", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(FindMenuKeyByName(c.name), c.code) << CWString(c.name).ToUtf8();
    int named = 0;
    for (int code = 0; code < 256; ++code) named += GetMenuKeyName(code) != nullptr;
    EXPECT_EQ(named, 177);
    for (int code : {0, 7, 10, 11, 14, 15, 22, 26, 58, 64, 94, 96, 105, 108, 111, 136, 143, 151, 159, 184, 185, 193,
                     218, 223, 224, 232, 255})
        EXPECT_EQ(GetMenuKeyName(code), nullptr) << code;
}

TEST(MenuKeyNames, ShortcutTexts) {
    EXPECT_EQ(FormatShortcutText('C', true, true), L"Ctrl+Shift+C");
    EXPECT_EQ(FormatShortcutText(VK_F5, false, false), L"F5");
    EXPECT_EQ(FormatShortcutText(VK_F5, true, false), L"Ctrl+F5");
    EXPECT_EQ(FormatShortcutText(VK_DELETE, false, true), L"Shift+Del");
    EXPECT_EQ(FormatShortcutText(7, true, false), L"");
}

TEST(MenuDefinitionParse, VersionsFieldsAndTree) {
    CWString v1 = Menu(L" 1 ", {kTop, Record(L"1", L"复制(&C)", L"1001", L"c", L"1", L"1"),
                                Record(L"1", L"", L"0", L"", L"0", L"0", L"1"),
                                Record(L"1", L"刷新", L"1002", L"F5"),
                                Record(L"2", L"更深", L"1003", L"", L"0", L"0", L"0", L"1", L"1")});
    auto def = ParseMenuDefinition(v1 + L"\n1\nstray");  // a part record after the last is ignored
    ASSERT_TRUE(def);
    EXPECT_EQ(def->version, 1);
    ASSERT_EQ(def->items.size(), 5u);
    const auto& it = def->items;
    EXPECT_EQ(it[0].parent, -1);
    EXPECT_TRUE(it[0].heads);
    EXPECT_EQ(it[1].key, 'C');
    EXPECT_TRUE(it[1].ctrl && it[1].shift);
    EXPECT_EQ(it[1].number, -1);  // version 1 reads as if "-1" followed
    EXPECT_TRUE(it[2].separator);
    EXPECT_EQ(it[3].parent, 0);
    EXPECT_TRUE(it[3].heads);
    EXPECT_EQ(it[4].parent, 3);
    EXPECT_TRUE(it[4].checked && it[4].greyed);
    EXPECT_EQ(MenuItemDisplayText(it[1]), L"复制(&C)\tCtrl+Shift+C");
    EXPECT_EQ(MenuItemDisplayText(it[3]), L"刷新");  // heads a sub-menu: no shortcut text
    EXPECT_EQ(MenuItemDisplayText(it[0]), L"顶级菜单");

    auto v2 = ParseMenuDefinition(L"2\n" + kTop + L"\n-1\n" + Record(L"1", L"刷新", L"7", L"f5") + L"\n12");
    ASSERT_TRUE(v2);
    ASSERT_EQ(v2->items.size(), 2u);
    EXPECT_EQ(v2->items[0].number, -1);
    EXPECT_EQ(v2->items[1].number, 12);
    EXPECT_EQ(MenuItemDisplayText(v2->items[1]), L"刷新\tF5");

    // Levels that jump: a record belongs to the nearest earlier record of a lower level.
    auto jumps = ParseMenuDefinition(Menu(L"1", {kTop, Record(L"3", L"a", L"1"), Record(L"1", L"b", L"2"),
                                                 Record(L"0", L"二", L"3")}));
    ASSERT_TRUE(jumps);
    EXPECT_EQ(jumps->items[1].parent, 0);
    EXPECT_EQ(jumps->items[2].parent, 0);
    EXPECT_EQ(jumps->items[3].parent, -1);
}

TEST(MenuDefinitionParse, InvalidDefinitionsBuildNoMenu) {
    const CWString item = Record(L"1", L"项", L"1001");
    struct Case { const char* why; CWString text; } cases[] = {
        {"empty text", L""},
        {"version 3", Menu(L"3", {kTop, item})},
        {"version 0", Menu(L"x", {kTop, item})},
        {"id 0", Menu(L"1", {kTop, Record(L"1", L"项", L"0")})},
        {"empty caption", Menu(L"1", {kTop, Record(L"1", L"", L"1001")})},
        {"id above 65535", Menu(L"1", {kTop, Record(L"1", L"项", L"65536")})},
        {"negative level", Menu(L"1", {kTop, Record(L"-1", L"项", L"1001")})},
        {"flag 2", Menu(L"1", {kTop, Record(L"1", L"项", L"1001", L"", L"2")})},
        {"flag empty", Menu(L"1", {kTop, Record(L"1", L"项", L"1001", L"", L"")})},
        {"flag 'yes' on a separator", Menu(L"1", {kTop, Record(L"1", L"", L"0", L"", L"0", L"0", L"1", L"yes")})},
        {"unknown key", Menu(L"1", {kTop, Record(L"1", L"项", L"1001", L"Escape")})},
        {"top-level separator", Menu(L"1", {Record(L"0", L"", L"0", L"", L"0", L"0", L"1")})},
        {"separator heading a sub-menu", Menu(L"1", {kTop, Record(L"1", L"", L"0", L"", L"0", L"0", L"1"), Record(L"2", L"项", L"1001")})},
        {"number below -1", L"2\n" + kTop + L"\n-2"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(ParseMenuDefinition(c.text)) << c.why;
        BuiltMenu built;
        EXPECT_FALSE(BuildMenuFromText(c.text, built)) << c.why;
        EXPECT_FALSE(built.menu) << c.why;
    }
    // A separator's caption, id and key name are not tested.
    EXPECT_TRUE(ParseMenuDefinition(Menu(L"1", {kTop, Record(L"1", L"x", L"0", L"NoSuchKey", L"0", L"0", L"1")})));
}

TEST(MenuDefinitionBuild, AcceleratorsTakeTheFirstItemOfEachShortcut) {
    auto def = ParseMenuDefinition(Menu(L"1", {kTop, Record(L"1", L"一", L"11", L"c", L"1"),
                                               Record(L"1", L"二", L"12", L"C", L"1"),
                                               Record(L"1", L"三", L"13", L"c", L"1", L"1"),
                                               Record(L"1", L"四", L"14", L"F5")}));
    ASSERT_TRUE(def);
    std::vector<ACCEL> acc = CollectMenuAccelerators(*def);
    ASSERT_EQ(acc.size(), 3u);
    EXPECT_EQ(acc[0].cmd, 11);
    EXPECT_EQ(acc[0].key, 'C');
    EXPECT_EQ(acc[0].fVirt, FVIRTKEY | FNOINVERT | FCONTROL);
    EXPECT_EQ(acc[1].cmd, 13);
    EXPECT_EQ(acc[1].fVirt, FVIRTKEY | FNOINVERT | FCONTROL | FSHIFT);
    EXPECT_EQ(acc[2].cmd, 14);
    EXPECT_EQ(acc[2].fVirt, FVIRTKEY | FNOINVERT);
    // The later duplicate still shows its shortcut.
    EXPECT_EQ(MenuItemDisplayText(def->items[2]), L"二\tCtrl+C");

    BuiltMenu built;
    ASSERT_TRUE(BuildMenu(*def, built));
    EXPECT_EQ(::CopyAcceleratorTableW(built.accelerators.get(), nullptr, 0), 3);
}

namespace {
class TestMenu : public rg_CaiChanLei {
public:
    explicit TestMenu(CWString text = {}) : text_(std::move(text)) {}
    CWString GetDesignText() const override { ++asked; return text_; }
    mutable int asked = 0;

private:
    CWString text_;
};
}  // namespace

TEST(MenuDefinitionBuild, NativeMenuItemsAndEnabling) {
    TestMenu menu(Menu(L"1", {kTop, Record(L"1", L"复制", L"21", L"c", L"1"),
                              Record(L"1", L"", L"0", L"", L"0", L"0", L"1"),
                              Record(L"1", L"灰", L"22", L"", L"0", L"0", L"0", L"1", L"1"),
                              Record(L"0", L"空标题", L"23")}));
    HMENU bar = menu.GetBuiltMenu()->handle;
    ASSERT_NE(bar, nullptr);
    EXPECT_NE(menu.GetBuiltMenu()->accelerators, nullptr);
    EXPECT_EQ(::GetMenuItemCount(bar), 2);
    HMENU popup = ::GetSubMenu(bar, 0);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(::GetMenuItemCount(popup), 3);
    ASSERT_NE(::GetSubMenu(bar, 1), nullptr);  // a top-level item is a sub-menu title even when empty
    EXPECT_EQ(::GetMenuItemCount(::GetSubMenu(bar, 1)), 0);
    EXPECT_EQ(::GetMenuItemID(bar, 1), UINT(-1));

    wchar_t buf[64] = {};
    ::GetMenuStringW(popup, 0, buf, 64, MF_BYPOSITION);
    EXPECT_STREQ(buf, L"复制\tCtrl+C");
    EXPECT_EQ(::GetMenuItemID(popup, 0), 21u);
    EXPECT_TRUE(::GetMenuState(popup, 1, MF_BYPOSITION) & MF_SEPARATOR);
    UINT state = ::GetMenuState(popup, 2, MF_BYPOSITION);
    EXPECT_TRUE(state & MF_CHECKED);
    EXPECT_TRUE(state & MF_GRAYED);
    EXPECT_FALSE(menu.IsItemEnabled(22));

    EXPECT_TRUE(menu.EnableItem(22, true));
    state = ::GetMenuState(popup, 2, MF_BYPOSITION);
    EXPECT_FALSE(state & MF_GRAYED);
    EXPECT_TRUE(state & MF_CHECKED);  // the check mark survives
    EXPECT_TRUE(menu.EnableItem(21, false));
    EXPECT_TRUE(::GetMenuState(popup, 0, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_FALSE(menu.IsItemEnabled(21));
    EXPECT_FALSE(menu.EnableItem(999, true));
    EXPECT_FALSE(menu.IsItemEnabled(999));
    EXPECT_EQ(menu.asked, 1);  // built once
}

TEST(MenuDefinitionBuild, InvalidTextLeavesTheMenuClassWithoutMenu) {
    TestMenu menu(Menu(L"3", {kTop, Record(L"1", L"项", L"31")}));
    ASSERT_NE(menu.GetBuiltMenu(), nullptr);
    EXPECT_EQ(menu.GetBuiltMenu()->handle, nullptr);
    EXPECT_FALSE(menu.EnableItem(31, true));
    EXPECT_FALSE(menu.IsItemEnabled(31));
}

TEST(MenuClass, CopiesShareTheBuiltMenuAndResetBuildsAgain) {
    TestMenu a(Menu(L"1", {kTop, Record(L"1", L"项", L"31")}));
    a.EnableItem(31, false);
    TestMenu b;
    EXPECT_FALSE(a.IsEqual(b));
    ASSERT_EQ(b.CopyFrom(a), 1);
    EXPECT_EQ(b.GetBuiltMenu(), a.GetBuiltMenu());
    EXPECT_TRUE(a.IsEqual(b));
    EXPECT_FALSE(b.IsItemEnabled(31));  // one shared menu object

    a.Reset();  // released: the next use builds it again from the text
    EXPECT_TRUE(a.IsItemEnabled(31));
    EXPECT_NE(b.GetBuiltMenu(), a.GetBuiltMenu());
    EXPECT_EQ(a.asked, 2);
}
