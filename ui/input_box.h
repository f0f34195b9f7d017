// The input box: a top-level window that shows a text (message mode) or asks for one (input
// mode), with an optional list of reusable instructions, some of them the user's own (kept in
// gComponentConfig under the key "自定义" of a section the caller names).
#pragma once
#include "platform/components.h"
#include "platform/painter.h"
#include "ui/button.h"
#include "ui/combo_box.h"
#include "ui/rich_edit_box.h"
#include "util/position.h"

class rg_DrenvikShuRuKuangLei : public CVolWinForm {
    VOL_CLASS(rg_DrenvikShuRuKuangLei, CVolWinForm, "rg_DrenvikShuRuKuangLei")
    VOL_MEMBERS(insertMode, customText, sectionName, resultText, confirmed, charCell, toolbar, restoreButton,
                clearButton, pasteButton, importContentButton, importPathsButton, okButton, infoBox, measureBoard,
                textBox, closeButton, instructionList, addButton, deleteButton, modifyButton, suppressSelection)

public:
    rg_DrenvikShuRuKuangLei();
    rg_DrenvikShuRuKuangLei(const rg_DrenvikShuRuKuangLei&) = delete;
    ~rg_DrenvikShuRuKuangLei() override;

    int GetDesignWidth() const override { return ScaleDesignValue(884); }
    int GetDesignHeight() const override { return ScaleDesignValue(610); }
    void BindEvents() override;
    void CreateChildren() override;

    // Shows the input box (the process's one, GetInputBox()) and waits, handling messages, until
    // its window is gone. No `result`: message mode. With `result`: input mode, and OK writes the
    // text there. Returns 1 when OK closed the box, else 0. A Show whose window a nested Show took
    // over returns 0 and leaves its result alone.
    static int Show(std::wstring_view content, std::wstring_view info, std::wstring_view title,
                    CWString* result = nullptr, std::wstring_view listText = {}, std::wstring_view listCaption = {},
                    std::wstring_view section = {});

    // Without the leading marker in 【 】; with onlyCustom, only a text holding "【自定义】" loses it.
    static CWString StripCustomMarker(const CWString& text, bool onlyCustom);

    // Handlers (public so tests can drive them like the events do).
    void MeasureCharSizes(CVolObject* source);
    void LayoutControls(CVolObject* source);
    int OnCanClose(CVolObject* source);
    void OnButtonClick(CVolObject* source);
    void InsertSelectedInstruction(CVolObject* source);
    void OnFilesDropped(CVolObject* source, const rg_WenBenShuZuLei& paths);
    int OnTextKeyDown(CVolObject* source, int key, int modifiers);
    void SaveInstructions();

    int32_t insertMode = 0;  // a chosen instruction: 0 replaces the text, 1 is appended, 2 replaces the selection
    CWString customText;
    CWString sectionName;
    CWString resultText;
    int32_t confirmed = 0;
    rg_DrenvikWeiZhiLei charCell;
    rg_TuPianKuang toolbar;
    rg_DrenvikAnNiu1 restoreButton, clearButton, pasteButton, importContentButton, importPathsButton, okButton;
    rg_edit_box infoBox;
    rg_painter measureBoard;
    rg_DrenvikChaoJiBianJiKuang1 textBox;
    rg_DrenvikAnNiu1 closeButton;
    rg_DrenvikZuGeKuang1 instructionList;
    rg_DrenvikAnNiu1 addButton, deleteButton, modifyButton;
    int32_t suppressSelection = 0;

private:
    int RunShow(std::wstring_view content, std::wstring_view info, std::wstring_view title, CWString* result,
                std::wstring_view listText, std::wstring_view listCaption, std::wstring_view section);
    void ShowNotice(const CWString& text);
    bool HasValidCustomSelection();
    void ImportFiles(bool paths);
    int CreateToolbarButton(rg_DrenvikAnNiu1& button, int x, int y, int width, int height);
    // Caption (unless empty), font, icon (an RCDATA SVG of the program) and icon size, in that order.
    static void SetUpButton(rg_DrenvikAnNiu1& button, std::wstring_view caption, int iconId, int iconSize);

    int showGeneration_ = 0;  // bumped by every Show, so a Show can tell its window was taken over
};

// The process's one input box, made on first use.
rg_DrenvikShuRuKuangLei& GetInputBox();
