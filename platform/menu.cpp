#include "platform/menu.h"

#include <array>
#include <climits>

namespace {

// Key names by virtual-key code; null where a code has no name.
constexpr std::array<const wchar_t*, 256> MakeKeyNames() {
    std::array<const wchar_t*, 256> n{};
    n[1] = L"LButton"; n[2] = L"RButton"; n[3] = L"Break"; n[4] = L"MButton"; n[5] = L"XButton1";
    n[6] = L"XButton2"; n[8] = L"Backspace"; n[9] = L"Tab"; n[12] = L"PadCenter"; n[13] = L"Enter";
    n[16] = L"Shift"; n[17] = L"Ctrl"; n[18] = L"Alt"; n[19] = L"Pause"; n[20] = L"CapsLock";
    n[21] = L"KANA"; n[23] = L"JUNJA"; n[24] = L"FINAL"; n[25] = L"HANJA"; n[27] = L"ESC";
    n[28] = L"Convert"; n[29] = L"Nonconvert"; n[30] = L"Accept"; n[31] = L"ModeChange"; n[32] = L"Space";
    n[33] = L"PageUp"; n[34] = L"PageDown"; n[35] = L"End"; n[36] = L"Home"; n[37] = L"Left";
    n[38] = L"Up"; n[39] = L"Right"; n[40] = L"Down"; n[41] = L"Select"; n[42] = L"Print";
    n[43] = L"Execute"; n[44] = L"Snapshot"; n[45] = L"Ins"; n[46] = L"Del"; n[47] = L"Help";
    constexpr const wchar_t* digits[] = {L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7", L"8", L"9"};
    for (int i = 0; i < 10; ++i) n[size_t(48 + i)] = digits[i];
    constexpr const wchar_t* letters[] = {L"A", L"B", L"C", L"D", L"E", L"F", L"G", L"H", L"I", L"J", L"K", L"L", L"M",
                                          L"N", L"O", L"P", L"Q", L"R", L"S", L"T", L"U", L"V", L"W", L"X", L"Y", L"Z"};
    for (int i = 0; i < 26; ++i) n[size_t(65 + i)] = letters[i];
    n[91] = L"LeftWin"; n[92] = L"RightWin"; n[93] = L"Apps"; n[95] = L"Sleep"; n[106] = L"PadMul";
    n[107] = L"PadPlus";
    constexpr const wchar_t* fkeys[] = {L"F1", L"F2", L"F3", L"F4", L"F5", L"F6", L"F7", L"F8",
                                        L"F9", L"F10", L"F11", L"F12", L"F13", L"F14", L"F15", L"F16",
                                        L"F17", L"F18", L"F19", L"F20", L"F21", L"F22", L"F23", L"F24"};
    for (int i = 0; i < 24; ++i) n[size_t(112 + i)] = fkeys[i];
    n[144] = L"NumLock"; n[145] = L"ScrollLock"; n[146] = L"Dictionary"; n[147] = L"UnregisterWord";
    n[148] = L"RegisterWord"; n[149] = L"LeftOYAYUBI"; n[150] = L"RightOYAYUBI";
    n[160] = L"LeftShift"; n[161] = L"RightShift"; n[162] = L"LeftControl"; n[163] = L"RightControl";
    n[164] = L"LeftMenu"; n[165] = L"RightMenu"; n[166] = L"BrowserBack"; n[167] = L"BrowserForward";
    n[168] = L"BrowserRefresh"; n[169] = L"BrowserStop"; n[170] = L"BrowserSearch"; n[171] = L"BrowserFavorites";
    n[172] = L"BrowserHome"; n[173] = L"VolumeMute"; n[174] = L"VolumeDown"; n[175] = L"VolumeUp";
    n[176] = L"MediaNextTrack"; n[177] = L"MediaPrevTrack"; n[178] = L"MediaStop"; n[179] = L"MediaPlayPause";
    n[180] = L"LaunchMail"; n[181] = L"LaunchMediaSelect"; n[182] = L"LaunchApp1"; n[183] = L"LaunchApp2";
    n[186] = L";"; n[187] = L"="; n[188] = L","; n[189] = L"-"; n[190] = L"."; n[191] = L"/"; n[192] = L"`";
    n[219] = L"["; n[220] = L"\\"; n[221] = L"]"; n[222] = L"'";
    n[225] = L"OEM_AX"; n[226] = L"OEM_102"; n[227] = L"ICO_HELP"; n[228] = L"ICO_00"; n[229] = L"PROCESSKEY";
    n[230] = L"ICO_CLEAR"; n[231] = L"PACKET"; n[233] = L"OEM_RESET"; n[234] = L"OEM_JUMP"; n[235] = L"OEM_PA1";
    n[236] = L"OEM_PA2"; n[237] = L"OEM_PA3"; n[238] = L"OEM_WSCTRL"; n[239] = L"OEM_CUSEL"; n[240] = L"OEM_ATTN";
    n[241] = L"OEM_FINISH"; n[242] = L"OEM_COPY"; n[243] = L"OEM_AUTO"; n[244] = L"OEM_ENLW";
    n[245] = L"OEM_BACKTAB"; n[246] = L"ATTN"; n[247] = L"CRSEL"; n[248] = L"EXSEL"; n[249] = L"EREOF";
    n[250] = L"PLAY"; n[251] = L"ZOOM"; n[252] = L"NONAME"; n[253] = L"PA1"; n[254] = L"OEM_CLEAR";
    return n;
}
constexpr std::array<const wchar_t*, 256> kKeyNames = MakeKeyNames();

// A flag field must be exactly "1" or "0".
bool ReadFlag(std::wstring_view field, bool& out) noexcept {
    if (field == L"1") { out = true; return true; }
    if (field == L"0") { out = false; return true; }
    return false;
}

}  // namespace

const wchar_t* GetMenuKeyName(int virtualKey) noexcept {
    return (virtualKey > 0 && virtualKey < 256) ? kKeyNames[size_t(virtualKey)] : nullptr;
}

int FindMenuKeyByName(std::wstring_view name) noexcept {
    if (name.empty()) return 0;
    for (int code = 1; code < 256; ++code)
        if (kKeyNames[size_t(code)] && EqualsNoCase(name, kKeyNames[size_t(code)])) return code;
    return 0;
}

CWString FormatShortcutText(int virtualKey, bool ctrl, bool shift) {
    const wchar_t* name = GetMenuKeyName(virtualKey);
    if (!name) return {};
    CWString text;
    if (ctrl) text = L"Ctrl";
    if (shift) text.Append(text.empty() ? L"Shift" : L"+Shift");
    if (!text.empty()) text.AppendChar(L'+');
    text.Append(name);
    return text;
}

std::optional<MenuDefinition> ParseMenuDefinition(std::wstring_view text) {
    CWStringArray fields;
    SplitTextBySeparator(text, fields, L"\n", /*trim=*/true, /*skipEmpty=*/false);
    if (fields.empty()) return std::nullopt;
    MenuDefinition def;
    def.version = int(WideTextToInt(fields[0]));
    if (def.version != 1 && def.version != 2) return std::nullopt;
    const size_t width = def.version == 1 ? 11 : 12;

    std::vector<int> open;  // indexes of the records whose sub-menus are still open, outermost first
    for (size_t at = 1; at + width <= fields.size(); at += width) {
        const CWString* f = &fields[at];
        MenuDefinitionItem item;
        long long level = WideTextToInt(f[0]);
        long long id = WideTextToInt(f[3]);
        long long number = width == 12 ? WideTextToInt(f[11]) : -1;
        if (level < 0 || level > INT_MAX || id < 0 || id > 65535 || number < -1 || number > INT_MAX) return std::nullopt;
        if (!ReadFlag(f[6], item.ctrl) || !ReadFlag(f[7], item.shift) || !ReadFlag(f[8], item.separator) ||
            !ReadFlag(f[9], item.checked) || !ReadFlag(f[10], item.greyed))
            return std::nullopt;
        item.level = int(level);
        item.id = int(id);
        item.number = int(number);
        item.caption = f[1];
        item.name = f[2];
        item.extraText = f[4];
        if (!item.separator) {
            if (item.caption.empty() || item.id == 0) return std::nullopt;
            if (!f[5].empty()) {
                item.key = FindMenuKeyByName(f[5]);
                if (item.key == 0) return std::nullopt;
            }
        } else {
            item.ctrl = item.shift = false;  // a separator carries no shortcut
        }
        while (!open.empty() && def.items[size_t(open.back())].level >= item.level) open.pop_back();
        if (open.empty()) {
            if (item.separator) return std::nullopt;  // every top-level record is a sub-menu title
        } else {
            item.parent = open.back();
            MenuDefinitionItem& head = def.items[size_t(item.parent)];
            if (head.separator) return std::nullopt;
            head.heads = true;
        }
        open.push_back(int(def.items.size()));
        def.items.push_back(std::move(item));
    }
    return def;
}

CWString MenuItemDisplayText(const MenuDefinitionItem& item) {
    CWString text = item.caption;
    if (item.separator || item.heads || item.parent < 0 || item.key == 0) return text;
    text.AppendChar(L'\t');
    text.Append(FormatShortcutText(item.key, item.ctrl, item.shift));
    return text;
}

std::vector<ACCEL> CollectMenuAccelerators(const MenuDefinition& def) {
    std::vector<ACCEL> table;
    for (const MenuDefinitionItem& item : def.items) {
        if (item.key == 0) continue;
        BYTE virt = FVIRTKEY | FNOINVERT | (item.ctrl ? FCONTROL : 0) | (item.shift ? FSHIFT : 0);
        bool seen = false;
        for (const ACCEL& a : table) seen = seen || (a.key == item.key && a.fVirt == virt);
        if (!seen) table.push_back(ACCEL{virt, WORD(item.key), WORD(item.id)});
    }
    return table;
}

// ---- building ------------------------------------------------------------------------------------

bool BuildMenu(const MenuDefinition& def, BuiltMenu& out) {
    UniqueMenu bar(::CreateMenu());
    if (!bar) return false;
    std::vector<HMENU> subMenus(def.items.size(), nullptr);
    for (size_t i = 0; i < def.items.size(); ++i) {
        const MenuDefinitionItem& item = def.items[i];
        HMENU parent = item.parent < 0 ? bar.get() : subMenus[size_t(item.parent)];
        MENUITEMINFOW mi{};
        mi.cbSize = sizeof(mi);
        CWString display;
        UniqueMenu sub;
        if (item.separator) {
            mi.fMask = MIIM_FTYPE;
            mi.fType = MFT_SEPARATOR;
        } else {
            display = MenuItemDisplayText(item);
            mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_STATE;
            mi.fType = MFT_STRING;
            mi.wID = UINT(item.id);
            mi.fState = (item.checked ? MFS_CHECKED : 0) | (item.greyed ? MFS_GRAYED : 0);
            mi.dwTypeData = display.data();
            if (item.heads || item.parent < 0) {
                sub.reset(::CreatePopupMenu());
                if (!sub) return false;
                mi.fMask |= MIIM_SUBMENU;
                mi.hSubMenu = sub.get();
            }
        }
        if (!::InsertMenuItemW(parent, UINT(::GetMenuItemCount(parent)), TRUE, &mi)) return false;
        subMenus[i] = sub.release();  // the parent menu owns it now
    }
    std::vector<ACCEL> table = CollectMenuAccelerators(def);
    UniqueAccel accel;
    if (!table.empty()) {
        accel.reset(::CreateAcceleratorTableW(table.data(), int(table.size())));
        if (!accel) return false;
    }
    out.menu = std::move(bar);
    out.accelerators = std::move(accel);
    return true;
}

bool BuildMenuFromText(std::wstring_view text, BuiltMenu& out) {
    std::optional<MenuDefinition> def = ParseMenuDefinition(text);
    return def && BuildMenu(*def, out);
}
