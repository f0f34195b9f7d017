// Menus built from a menu-definition text, and the menu classes whose slot 18 supplies that text.
//
// The text is fields separated by "\n", each trimmed of platform blanks: the version ("1" or "2"),
// then records of 11 fields (12 in version 2): level, caption, name, command id, a further text,
// key name, Ctrl, Shift, separator, checked, greyed[, a number]. Records nest by level; every
// top-level record is a sub-menu title. A text that breaks a rule builds no menu.
#pragma once
#include "platform/win.h"

#include <memory>
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

// ---- the built menu ------------------------------------------------------------------------------

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

// The run-time menu object: a menu bar whose items are the top-level sub-menus, its accelerator
// table, and each item's state. Shared (counted) between copies of a menu class object.
class CRefVolMenu {
public:
    CRefVolMenu() = default;
    CRefVolMenu(const CRefVolMenu&) = delete;
    CRefVolMenu& operator=(const CRefVolMenu&) = delete;

    // Builds from a definition text once; false (and no menu) when the text is invalid.
    bool BuildFromText(std::wstring_view text);
    bool Build(const MenuDefinition& def);

    HMENU GetMenuHandle() const noexcept { return menu_.get(); }
    HACCEL GetAccelerators() const noexcept { return accel_.get(); }
    // The sub-menu under the n-th top-level item, or null.
    HMENU GetSubMenu(int n) const noexcept { return menu_ ? ::GetSubMenu(menu_.get(), n) : nullptr; }

    // Greys or enables the first item with the command id; changes the menu only when the state
    // changes. False when there is no such item.
    bool EnableItem(int id, bool enable);
    // False for a greyed item and for an unknown id.
    bool IsItemEnabled(int id) const noexcept;
    bool HasItem(int id) const noexcept { return Find(id) != nullptr; }

private:
    struct Item {
        int id;
        HMENU parent;
        UINT position;
        bool greyed;
        bool checked;
    };
    const Item* Find(int id) const noexcept;
    Item* Find(int id) noexcept { return const_cast<Item*>(static_cast<const CRefVolMenu*>(this)->Find(id)); }

    UniqueMenu menu_;
    UniqueAccel accel_;
    std::vector<Item> items_;
};

// Copies share the built menu; equality asks whether they share it.
template <> struct VolMember<std::shared_ptr<CRefVolMenu>> {
    static bool Equal(const std::shared_ptr<CRefVolMenu>& a, const std::shared_ptr<CRefVolMenu>& b) { return a == b; }
    static void Copy(std::shared_ptr<CRefVolMenu>& d, const std::shared_ptr<CRefVolMenu>& s) { d = s; }
    static void Save(VolDataStream*, const std::shared_ptr<CRefVolMenu>&) {}
    static void Load(VolDataStream*, std::shared_ptr<CRefVolMenu>&) {}
};

// ---- the menu classes ----------------------------------------------------------------------------

class rg_KeSheJiLei : public CVolObject {
    VOL_CLASS(rg_KeSheJiLei, CVolObject, "rg_KeSheJiLei")
    VOL_MEMBERS()

public:
    // Slot 18: the class's menu-definition text.
    virtual CWString GetDesignText() const { return {}; }
};

class rg_CaiChanLei : public rg_KeSheJiLei {
    VOL_CLASS(rg_CaiChanLei, rg_KeSheJiLei, "rg_CaiChanLei")
    VOL_MEMBERS(builtMenu_)

public:
    // Slot 19: a new, empty menu object.
    virtual std::shared_ptr<CRefVolMenu> CreateMenuObject() const { return std::make_shared<CRefVolMenu>(); }

    // The menu object, made and built from GetDesignText on first use (an invalid text leaves it
    // without a menu).
    CRefVolMenu& GetBuiltMenu();
    bool EnableItem(int id, bool enable) { return GetBuiltMenu().EnableItem(id, enable); }
    bool IsItemEnabled(int id) { return GetBuiltMenu().IsItemEnabled(id); }
    // The shared menu object, or null before first use.
    const std::shared_ptr<CRefVolMenu>& GetMenuReference() const noexcept { return builtMenu_; }

private:
    std::shared_ptr<CRefVolMenu> builtMenu_;
};
