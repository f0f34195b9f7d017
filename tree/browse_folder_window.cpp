#include "tree/browse_folder_window.h"

#include <algorithm>

#include "platform/dpi.h"
#include "platform/file_system.h"
#include "platform/shell.h"
#include "util/files.h"
#include "util/path_parts.h"

namespace {

constexpr wchar_t kPathTip[] = L"可以直接粘贴文件夹地址，再点击确定";
constexpr wchar_t kButtonFont[] = L"微软雅黑, 15, 0, 0, 0, 0, 0";

void SetUpButton(rg_DrenvikAnNiu1& button, std::wstring_view caption, std::wstring_view font, int iconId,
                 int iconSize) {
    button.SetCaption(caption);
    button.SetText(caption);
    button.SetFontText(font);
    button.SetSvgIconFromResource(iconId, iconSize, iconSize);
}

}  // namespace

rg_DrenvikLiuLanWenJianGaLei::rg_DrenvikLiuLanWenJianGaLei() {
    SetText(L"选择文件夹");
    minButton = false;
}

rg_DrenvikLiuLanWenJianGaLei::~rg_DrenvikLiuLanWenJianGaLei() {
    flags |= kFlagDestroying;
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikLiuLanWenJianGaLei::BindEvents() {
    VOL_BIND(Created, &rg_DrenvikLiuLanWenJianGaLei::OnCreated);
    VOL_BIND(Shown, &rg_DrenvikLiuLanWenJianGaLei::OnShown);
    CVolWinForm::BindEvents();
    VOL_BIND(directoryTree.NodeSelected, &rg_DrenvikLiuLanWenJianGaLei::OnNodeSelected);
    VOL_BIND(directoryTree.FilesDropped, &rg_DrenvikLiuLanWenJianGaLei::OnFilesDropped);
    directoryTree.AttachEventListener();
    for (rg_DrenvikAnNiu1* b : {&okButton, &cancelButton, &newButton, &pasteButton}) {
        VOL_BIND(b->Clicked, &rg_DrenvikLiuLanWenJianGaLei::OnButton);
        b->AttachEventListener();
    }
}

void rg_DrenvikLiuLanWenJianGaLei::CreateChildren() {
    CreateChild(directoryTree, 7, 64, 544, 424);
    directoryTree.Tree.dropTarget.Register(directoryTree.Tree.surface.GetHwnd());

    hintLabel.SetFont(L"微软雅黑, 13, 0, 0, 0, 0, 0");
    CreateChild(hintLabel, 7, 6, 544, 58);
    hintLabel.SetTipText(L"选择文件夹后点击确定");

    CreateChild(okButton, 263, 542, 136, 48);
    SetUpButton(okButton, L"确定", kButtonFont, 512, 28);
    CreateChild(cancelButton, 415, 542, 136, 48);
    SetUpButton(cancelButton, L"取消", kButtonFont, 513, 28);
    CreateChild(newButton, 7, 542, 136, 48);
    SetUpButton(newButton, L"新建", kButtonFont, 520, 32);
    CreateChild(pasteButton, 519, 497, 32, 32);
    SetUpButton(pasteButton, L"", L"微软雅黑, 11, 0, 0, 0, 0, 0", 509, 16);
    pasteButton.SetTooltip(kPathTip);

    pathEdit.SetFont(L"微软雅黑, 13, 0, 0, 0, 0, 0");
    CreateChild(pathEdit, 7, 497, 513, 32);
    pathEdit.SetTipText(kPathTip);
}

CWString rg_DrenvikLiuLanWenJianGaLei::ShowModal(std::wstring_view caption, std::wstring_view initial, HWND owner) {
    hintLabel.SetText(caption);
    resultPath.clear();
    initialPath = initial;
    hintFontSize = 0;
    LoadWindowModal(owner);
    return resultPath;
}

int rg_DrenvikLiuLanWenJianGaLei::InitialiseAfterCreate() {
    if (!initialPath.empty()) {
        directoryTree.OpenPath(initialPath);
        initialPath.clear();
    }
    if (hintFontSize != 0)
        hintLabel.SetFont(L"微软雅黑, " + CWString::FromInt(hintFontSize) + L", 0, 0, 0, 0, 0");
    return 0;
}

int rg_DrenvikLiuLanWenJianGaLei::HandleButtonClick(CVolObject* source) {
    if (source == &pasteButton) {
        // Explorer's "copy as path" adds quotes; only an absolute path is looked for in the tree.
        const CWString pasted = GetClipboardText();
        const CWString path = CleanTypedFolderPath(pasted);
        pathEdit.SetText(path.empty() ? pasted : path);
        if (!path.empty()) directoryTree.OpenPath(path);
        return 0;
    }
    if (source == &newButton) {
        directoryTree.CreateNewFolder();
        return 0;
    }
    if (source == &okButton) {
        // Only an existing folder is handed back: a file or a mistyped path would otherwise become
        // whatever the caller sets it as.
        const CWString typed = pathEdit.GetText();
        const CWString path = CleanTypedFolderPath(typed);
        if (!IsExistingFolder(path)) {
            ShowMessageBox(kNoSuchFolderHint + typed, L"信息:", MB_ICONINFORMATION);
            return 0;
        }
        resultPath = path;
    }
    Close();
    return 0;
}

int rg_DrenvikLiuLanWenJianGaLei::OnCreated(CVolObject*) {
    SetPathBoxMargin();
    CentreOnWorkArea();
    return 0;
}

int rg_DrenvikLiuLanWenJianGaLei::OnNodeSelected(CVolObject*, int32_t) {
    pathEdit.SetText(directoryTree.GetSelectedPath());
    return 0;
}

int rg_DrenvikLiuLanWenJianGaLei::OnFilesDropped(CVolObject*, const rg_WenBenShuZuLei& paths) {
    // A dropped folder opens its parent, a dropped file the folder holding it.
    if (!paths.empty()) directoryTree.OpenPath(GetParentPath(paths.front(), 0));
    return 0;
}

void rg_DrenvikLiuLanWenJianGaLei::SetPathBoxMargin() {
    const int width = pasteButton.IsCreated() ? pasteButton.GetWidth() : 0;
    const int margin = width + int(6 * std::max(1.0, DpiScale));
    if (HWND h = pathEdit.GetHwnd()) ::SendMessageW(h, EM_SETMARGINS, EC_RIGHTMARGIN, MAKELPARAM(0, margin));
}

void rg_DrenvikLiuLanWenJianGaLei::CentreOnWorkArea() { CentreWindowOnWorkArea(GetHwnd()); }

CWString BrowseForFolder(std::wstring_view caption, std::wstring_view initialPath, HWND owner) {
    rg_DrenvikLiuLanWenJianGaLei window;
    return window.ShowModal(caption, initialPath, owner);
}
