// The browse-for-folder window: a directory tree, a path box that takes typed, pasted or dropped
// paths, and "确定", "取消" and "新建". It runs modally and hands back one existing folder, or nothing.
#pragma once
#include "platform/components.h"
#include "platform/window.h"
#include "tree/directory_tree_box.h"
#include "ui/button.h"

class rg_DrenvikLiuLanWenJianGaLei : public CVolWinForm {
    VOL_CLASS(rg_DrenvikLiuLanWenJianGaLei, CVolWinForm, "drenvik::rg_DrenvikLiuLanWenJianGaLei")
    VOL_MEMBERS(directoryTree, hintLabel, okButton, cancelButton, newButton, pasteButton, pathEdit, initialPath,
                resultPath, hintFontSize)

public:
    rg_DrenvikLiuLanWenJianGaLei();
    rg_DrenvikLiuLanWenJianGaLei(const rg_DrenvikLiuLanWenJianGaLei&) = delete;
    ~rg_DrenvikLiuLanWenJianGaLei() override;

    int GetDesignWidth() const override { return ScaleDesignValue(562); }
    int GetDesignHeight() const override { return ScaleDesignValue(606); }
    void BindEvents() override;
    void CreateChildren() override;

    // Shows the caption in the hint line, opens the initial path and runs the window modally,
    // owned by `owner` (disabled meanwhile). The chosen folder, or empty.
    CWString ShowModal(std::wstring_view caption, std::wstring_view initial, HWND owner = nullptr);
    // Opens the initial path once, and applies the hint's font size when one was set. Result 0.
    int InitialiseAfterCreate();
    int HandleButtonClick(CVolObject* source);

    // ---- members, in stream order ----
    rg_DrenvikMuLuShuKuang1 directoryTree;
    rg_label hintLabel;
    rg_DrenvikAnNiu1 okButton;
    rg_DrenvikAnNiu1 cancelButton;
    rg_DrenvikAnNiu1 newButton;
    rg_DrenvikAnNiu1 pasteButton;
    rg_edit_box pathEdit;
    CWString initialPath;  // emptied once opened
    CWString resultPath;   // empty unless "确定" accepted a folder
    int32_t hintFontSize = 0;

private:
    int OnCreated(CVolObject*);
    int OnShown(CVolObject*) { return InitialiseAfterCreate(); }
    int OnButton(CVolObject* source) { return HandleButtonClick(source); }
    int OnNodeSelected(CVolObject*, int32_t reason);
    int OnFilesDropped(CVolObject*, const rg_WenBenShuZuLei& paths);
    // The path box's right margin keeps its text clear of the paste button.
    void SetPathBoxMargin();
    void CentreOnWorkArea();
};

// Runs the window once; the chosen folder (it exists, and is absolute), or empty when the user
// cancelled.
CWString BrowseForFolder(std::wstring_view caption, std::wstring_view initialPath, HWND owner = nullptr);

// The hint shown when "确定" finds no existing folder in the path box.
inline constexpr wchar_t kNoSuchFolderHint[] = L"请选择或输入一个已存在的文件夹（完整路径）：\r\n";
