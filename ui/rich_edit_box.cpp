#include "ui/rich_edit_box.h"

#include "platform/font.h"
#include "platform/input.h"

// ---- the menu ------------------------------------------------------------------------------------

CWString rg_ChaoJiBianJiKuangYouJianCaiChanLei::GetDesignText() const {
    struct Row {
        const wchar_t* level;
        const wchar_t* caption;
        const wchar_t* name;
        const wchar_t* id;
        const wchar_t* separator;
    };
    static constexpr Row kRows[] = {
        {L"0", L"顶级菜单", L"顶级菜单", L"9000", L"0"},
        {L"1", L"撤销(&U)", L"撤销", L"9001", L"0"},
        {L"1", L"", L"", L"0", L"1"},
        {L"1", L"剪切(&C)", L"剪切", L"9002", L"0"},
        {L"1", L"复制(&O)", L"复制", L"9003", L"0"},
        {L"1", L"粘贴(&P)", L"粘贴", L"9004", L"0"},
        {L"1", L"删除(&D)", L"删除", L"9005", L"0"},
        {L"1", L"", L"", L"0", L"1"},
        {L"1", L"全选(&A)", L"全选", L"9006", L"0"},
    };
    CWString text = L"1";
    for (const Row& r : kRows) {
        // level, caption, name, id, further text, key name, Ctrl, Shift, separator, checked, greyed
        for (const wchar_t* field : {r.level, r.caption, r.name, r.id, L"", L"", L"0", L"0", r.separator, L"0", L"0"}) {
            text.AppendChar(L'\n');
            text.Append(field);
        }
    }
    return text;
}

// ---- the box -------------------------------------------------------------------------------------

rg_DrenvikChaoJiBianJiKuang1::rg_DrenvikChaoJiBianJiKuang1() : VolEventReceiver(this) { InitDefaults(); }

rg_DrenvikChaoJiBianJiKuang1::~rg_DrenvikChaoJiBianJiKuang1() {
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikChaoJiBianJiKuang1::InitDefaults() {
    SetFont(kDefaultFontText);
    VOL_BIND(RightButtonDown, &rg_DrenvikChaoJiBianJiKuang1::OnRightButtonDown);
    AttachEventListener();
    VOL_BIND(WindowMessage, &rg_DrenvikChaoJiBianJiKuang1::OnWindowMessage);
    AttachEventListener();
}

int rg_DrenvikChaoJiBianJiKuang1::OnRightButtonDown(CVolObject* source, int, int, int) {
    return ShowContextMenu(source);
}

int rg_DrenvikChaoJiBianJiKuang1::OnWindowMessage(CVolObject*, HWND, UINT message, WPARAM wParam, LPARAM, VolMessage*) {
    return OnMenuCommand(message, wParam);
}

void rg_DrenvikChaoJiBianJiKuang1::UpdateMenuStates() {
    bool hasWindow = IsCreated();
    bool selected = GetSelLength() > 0;
    bool editable = !IsReadOnly();
    contextMenu.EnableItem(kRichEditUndo, CanUndo());
    contextMenu.EnableItem(kRichEditCut, selected && editable);
    contextMenu.EnableItem(kRichEditCopy, selected);
    contextMenu.EnableItem(kRichEditPaste, hasWindow && CanPaste());
    contextMenu.EnableItem(kRichEditDelete, selected && editable);
    contextMenu.EnableItem(kRichEditSelectAll, true);
}

int rg_DrenvikChaoJiBianJiKuang1::ShowContextMenu(CVolObject*) {
    UpdateMenuStates();
    HWND h = GetHwnd();
    if (!h) return 0;
    ::SetFocus(h);
    std::shared_ptr<CRefVolMenu> menu = contextMenu.GetBuiltMenu();
    HMENU popup = (menu && menu->handle) ? ::GetSubMenu(menu->handle, 0) : nullptr;
    if (!popup) return 0;
    POINT pt = VolGetCursorPos();
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, int(pt.x) + 3, int(pt.y) + 3, 0, h, nullptr);
    return 0;
}

int rg_DrenvikChaoJiBianJiKuang1::OnMenuCommand(UINT message, WPARAM wParam) {
    if (message != WM_COMMAND) return 0;
    UINT send = 0;
    switch (wParam) {
    case kRichEditUndo: send = EM_UNDO; break;
    case kRichEditCut: send = WM_CUT; break;
    case kRichEditCopy: send = WM_COPY; break;
    case kRichEditPaste: send = WM_PASTE; break;
    case kRichEditDelete: send = WM_CLEAR; break;
    case kRichEditSelectAll: SetSelection(0, -1); return 0;
    default: return 0;
    }
    if (HWND h = GetHwnd()) ::SendMessageW(h, send, 0, 0);
    return 0;
}
