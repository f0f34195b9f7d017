// The library's rich edit box: the rich edit component with the default font and a right-click
// menu of edit commands whose items follow the box's state each time the menu opens.
#pragma once
#include "platform/components.h"
#include "platform/richedit.h"

// Command ids of the right-click menu.
enum RichEditMenuCommand : int {
    kRichEditMenuTop = 9000,
    kRichEditUndo = 9001,
    kRichEditCut = 9002,
    kRichEditCopy = 9003,
    kRichEditPaste = 9004,
    kRichEditDelete = 9005,
    kRichEditSelectAll = 9006,
};

// The right-click menu: "顶级菜单" with the edit commands in its pop-up.
class rg_ChaoJiBianJiKuangYouJianCaiChanLei : public rg_CaiChanLei {
    VOL_CLASS(rg_ChaoJiBianJiKuangYouJianCaiChanLei, rg_CaiChanLei, "rg_ChaoJiBianJiKuangYouJianCaiChanLei")
    VOL_MEMBERS()

public:
    CWString GetDesignText() const override;
};

class rg_DrenvikChaoJiBianJiKuang1 : public rg_ChaoJiBianJiKuang, public VolEventReceiver {
    VOL_CLASS(rg_DrenvikChaoJiBianJiKuang1, rg_ChaoJiBianJiKuang, "rg_DrenvikChaoJiBianJiKuang1")
    VOL_MEMBERS(contextMenu)

public:
    rg_DrenvikChaoJiBianJiKuang1();
    rg_DrenvikChaoJiBianJiKuang1(const rg_DrenvikChaoJiBianJiKuang1&) = delete;
    ~rg_DrenvikChaoJiBianJiKuang1() override;

    // Event target, default font, and the box's own right-button and message handlers.
    void InitDefaults();
    // Sets the items' states from the box and shows the pop-up 3 pixels right of and below the
    // cursor; the chosen command comes back as WM_COMMAND to the box's window. Result 0.
    int ShowContextMenu(CVolObject* source);
    // Greys or enables each item for the box's current state (the first half of ShowContextMenu).
    void UpdateMenuStates();
    // Runs a menu command for WM_COMMAND with a whole wParam of 9001-9006; result 0.
    int OnMenuCommand(UINT message, WPARAM wParam);

    rg_ChaoJiBianJiKuangYouJianCaiChanLei contextMenu;

private:
    int OnRightButtonDown(CVolObject* source, int x, int y, int modifiers);
    int OnWindowMessage(CVolObject* source, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, VolMessage* m);
};
