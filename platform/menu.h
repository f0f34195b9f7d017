// Menus built from a menu-definition text (the menu classes of platform/components.h build theirs
// through BuildMenuFromText).
//
// The text is fields separated by "\n", each trimmed of platform blanks: the version ("1" or "2"),
// then records of 11 fields (12 in version 2): level, caption, name, command id, a further text,
// key name, Ctrl, Shift, separator, checked, greyed[, a number]. Records nest by level; every
// top-level record is a sub-menu title. A text that breaks a rule builds no menu.
#pragma once
#include "platform/win.h"

#include <optional>
#include <vector>

#include "platform/handles.h"
#include "platform/object.h"

// ---- the definition ------------------------------------------------------------------------------

struct MenuDefinitionItem {
    int level = 0;
    CWString caption;
    CWString name;
    int id = 0;
    CWString extraText;
    int key = 0;  // virtual-key code of the shortcut, 0 for none
    bool ctrl = false;
    bool shift = false;
    bool separator = false;
    bool checked = false;
    bool greyed = false;
    int number = -1;
    int parent = -1;  // index of the record whose sub-menu holds this one
    bool heads = false;  // has records in its own sub-menu
};

struct MenuDefinition {
    int version = 0;
    std::vector<MenuDefinitionItem> items;
};

// Null when the text breaks any rule of the format.
std::optional<MenuDefinition> ParseMenuDefinition(std::wstring_view text);

// The name the key-name table gives a virtual-key code, or null for an unnamed code.
const wchar_t* GetMenuKeyName(int virtualKey) noexcept;
// The code of a key name (ASCII case ignored), or 0 when the table has no such name.
int FindMenuKeyByName(std::wstring_view name) noexcept;
// "Ctrl+Shift+C", "Ctrl+F5", "F5"; empty for a code without a name.
CWString FormatShortcutText(int virtualKey, bool ctrl, bool shift);
// The caption as the menu shows it: caption, then a tab and the shortcut text when it has one
// (never for separators and sub-menu titles).
CWString MenuItemDisplayText(const MenuDefinitionItem& item);
// One entry per distinct shortcut, from the first record in text order that has it.
std::vector<ACCEL> CollectMenuAccelerators(const MenuDefinition& def);

// ---- building ------------------------------------------------------------------------------------

struct MenuHandleTraits {
    static HMENU Invalid() noexcept { return nullptr; }
    static void Close(HMENU h) noexcept { ::DestroyMenu(h); }  // sub-menus go with it
};
struct AccelHandleTraits {
    static HACCEL Invalid() noexcept { return nullptr; }
    static void Close(HACCEL h) noexcept { ::DestroyAcceleratorTable(h); }
};
using UniqueMenu = UniqueResource<HMENU, MenuHandleTraits>;
using UniqueAccel = UniqueResource<HACCEL, AccelHandleTraits>;

struct BuiltMenu {
    UniqueMenu menu;  // a menu bar whose items are the top-level sub-menus
    UniqueAccel accelerators;  // null when no item has a shortcut
};

// The menu of a definition; false (and nothing built) when Windows refuses a part.
bool BuildMenu(const MenuDefinition& def, BuiltMenu& out);
// Parses and builds; false, with nothing built, for an invalid text.
bool BuildMenuFromText(std::wstring_view text, BuiltMenu& out);
