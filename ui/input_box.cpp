#include "ui/input_box.h"

#include <cmath>
#include <tuple>

#include "platform/app_instance.h"
#include "platform/font.h"
#include "platform/shell.h"
#include "ui/control_foundation.h"
#include "ui/label.h"
#include "util/component_config.h"
#include "util/encoding.h"
#include "util/files.h"
#include "util/text_array.h"
#include "util/text_helpers.h"

namespace {

constexpr wchar_t kNoticeCaption[] = L"信息:";
constexpr wchar_t kCustomKey[] = L"自定义";
constexpr wchar_t kCustomMarker[] = L"【自定义】";
constexpr wchar_t kSeparatorItem[] = L"[-]";
constexpr wchar_t kButtonFont[] = L"微软雅黑, 16, 0, 0, 0, 0, 0";

// The non-empty trimmed lines of a text.
CWStringArray TextLines(const CWString& text) {
    CWStringArray lines;
    SplitTextByAnyChar(text, lines, L"\r\n", /*trim=*/true, /*skipEmpty=*/true);
    return lines;
}

CWString WithCustomPrefix(const CWString& line) {
    if (line.FindText(L"【") == 0) return line;
    return CWString(kCustomMarker) + line;
}

}  // namespace

rg_DrenvikShuRuKuangLei& GetInputBox() {
    static rg_DrenvikShuRuKuangLei box;
    return box;
}

// ---- the input box -------------------------------------------------------------------------------

rg_DrenvikShuRuKuangLei::rg_DrenvikShuRuKuangLei() {
    controlBox = true;
    maxButton = true;
    minButton = true;
    borderStyle = 1;
    topMost = true;
    escapeCloses = true;
}

rg_DrenvikShuRuKuangLei::~rg_DrenvikShuRuKuangLei() {
    flags |= kFlagDestroying;
    DetachEvents();
    DestroyOwnWindow();
}

void rg_DrenvikShuRuKuangLei::BindEvents() {
    VOL_BIND(Created, &rg_DrenvikShuRuKuangLei::MeasureCharSizes);
    VOL_BIND(Resized, &rg_DrenvikShuRuKuangLei::LayoutControls);
    VOL_BIND(CanClose, &rg_DrenvikShuRuKuangLei::OnCanClose);
    CVolWinForm::BindEvents();
    for (rg_DrenvikAnNiu1* b : {&restoreButton, &clearButton, &pasteButton, &importContentButton, &importPathsButton,
                              &okButton, &closeButton, &addButton, &deleteButton, &modifyButton}) {
        b->Clicked.Bind(
            [](CVolObject* owner, CVolObject* source, intptr_t) {
                static_cast<rg_DrenvikShuRuKuangLei*>(owner)->OnButtonClick(source);
                return 0;
            },
            GetEventTarget());
        b->AttachEventListener();
    }
    VOL_BIND(textBox.FilesDropped, &rg_DrenvikShuRuKuangLei::OnFilesDropped);
    VOL_BIND(textBox.KeyDown, &rg_DrenvikShuRuKuangLei::OnTextKeyDown);
    textBox.AttachEventListener();
    VOL_BIND(instructionList.ItemChosen, &rg_DrenvikShuRuKuangLei::InsertSelectedInstruction);
    instructionList.AttachEventListener();
}

int rg_DrenvikShuRuKuangLei::CreateToolbarButton(rg_DrenvikAnNiu1& button, int x, int y, int width, int height) {
    return button.CreateInParent(toolbar, ScaleDesignValue(x), ScaleDesignValue(y), ScaleDesignValue(width),
                                 ScaleDesignValue(height), nextChildId_++);
}

void rg_DrenvikShuRuKuangLei::SetUpButton(rg_DrenvikAnNiu1& button, std::wstring_view caption, int iconId,
                                          int iconSize) {
    if (!caption.empty()) button.SetCaption(caption);
    button.SetFontText(kButtonFont);
    button.SetSvgIconFromResource(iconId, iconSize, iconSize);
}

void rg_DrenvikShuRuKuangLei::CreateChildren() {
    infoBox.SetFont(L"微软雅黑, 12, 0, 0, 0, 0, 0");
    infoBox.SetMultiLine(true);
    infoBox.SetTextColor(0x008000);
    infoBox.SetBackColor(int(0xFF000000));
    infoBox.ModifyStyle(WS_BORDER, 0);
    infoBox.ModifyExStyle(WS_EX_CLIENTEDGE | WS_EX_STATICEDGE, 0);
    measureBoard.SetFont(L"微软雅黑, 13, 0, 0, 0, 0, 0");
    measureBoard.SetVisible(false);
    textBox.SetFont(kDefaultFontText);
    textBox.SetPlainText(true);
    textBox.SetWordWrap(true);
    textBox.SetKeepSelection(true);
    textBox.ModifyStyle(WS_BORDER, 0);
    textBox.ModifyExStyle(WS_EX_CLIENTEDGE, WS_EX_STATICEDGE | WS_EX_ACCEPTFILES);

    CreateChild(toolbar, 10, 339, 595, 51);
    struct ToolbarButton {
        rg_DrenvikAnNiu1* button;
        int x, width;
        const wchar_t* caption;
        int iconId, iconSize;
    };
    for (const ToolbarButton& t : {ToolbarButton{&restoreButton, 0, 96, L"恢复", 507, 32},
                                   ToolbarButton{&clearButton, 101, 96, L"清空", 508, 28},
                                   ToolbarButton{&pasteButton, 202, 96, L"粘贴", 509, 28},
                                   ToolbarButton{&importContentButton, 303, 136, L"导入内容", 510, 28},
                                   ToolbarButton{&importPathsButton, 445, 136, L"导入路径", 511, 28}}) {
        CreateToolbarButton(*t.button, t.x, 0, t.width, 45);
        SetUpButton(*t.button, t.caption, t.iconId, t.iconSize);
    }
    CreateChild(okButton, 611, 339, 96, 45);
    SetUpButton(okButton, L"确定", 512, 28);
    CreateChild(infoBox, 5, 6, 464, 40);
    CreateChild(measureBoard, 493, 86, 136, 32);
    CreateChild(textBox, 5, 62, 480, 184);
    CreateChild(closeButton, 714, 339, 96, 45);
    SetUpButton(closeButton, L"", 513, 28);  // keeps the caption Show gave it
    CreateChild(instructionList, 542, 51, 114, 30);
    for (int i = 0; i < 2; ++i) instructionList.SetItemImage(514 + i, i);
    for (auto [button, x, caption] : {std::tuple{&addButton, 663, L"添加"}, std::tuple{&deleteButton, 817, L"删除"},
                                      std::tuple{&modifyButton, 740, L"修改"}}) {
        CreateChild(*button, x, 51, 70, 30);
        button->SetCaption(caption);
        button->SetBaseColor(0x004488);
    }

    if (HWND h = textBox.GetHwnd()) {
        ::DragAcceptFiles(h, TRUE);
        // Let files come from processes of lower integrity too, where the system offers it.
        using FilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
        if (HMODULE user32 = ::GetModuleHandleW(L"user32.dll")) {
            auto filter = reinterpret_cast<FilterFn>(
                reinterpret_cast<void*>(::GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
            if (filter)
                for (UINT msg : {UINT(WM_DROPFILES), UINT(WM_COPYDATA), 0x49u}) filter(h, msg, 1 /*MSGFLT_ALLOW*/, nullptr);
        }
    }
}

void rg_DrenvikShuRuKuangLei::MeasureCharSizes(CVolObject*) {
    int wa = 0, ha = 0, wc = 0, hc = 0;
    measureBoard.MeasureText(L"A", wa, ha);
    measureBoard.MeasureText(L"中", wc, hc);
    charCell.width = int32_t(std::ceil((wa + wc) / 3.0));
    if (charCell.deriveSize) charCell.right = charCell.left + charCell.width - 1;
    charCell.height = hc + 1;
    if (charCell.deriveSize) charCell.bottom = charCell.top + charCell.height - 1;
    toolbar.SetWidth(importPathsButton.GetLeft() + importPathsButton.GetWidth());
    toolbar.SetHeight(importPathsButton.GetHeight());
    textBox.SetFocus();
}

void rg_DrenvikShuRuKuangLei::LayoutControls(CVolObject*) {
    const int w = GetClientWidth();
    const int h = GetClientHeight();
    infoBox.Move(5, 5, w - 10, EstimateTextHeight(infoBox.GetText(), w - 12, charCell));
    const bool listShown = instructionList.IsVisible();
    if (listShown) {
        const int y = infoBox.GetTop() + infoBox.GetHeight() + 5;
        instructionList.Move(5, y, infoBox.GetWidth() - 3 * addButton.GetWidth() - 5, -1);
        addButton.Move(instructionList.GetLeft() + instructionList.GetWidth() + 7, y);
        modifyButton.Move(addButton.GetLeft() + addButton.GetWidth() - 1, y);
        deleteButton.Move(modifyButton.GetLeft() + modifyButton.GetWidth() - 1, y);
    }
    const CVolWinControl& above = listShown ? static_cast<CVolWinControl&>(instructionList) : infoBox;
    const int b = above.GetTop() + above.GetHeight();
    textBox.Move(5, b + 5, infoBox.GetWidth(), h - toolbar.GetHeight() - b - 15);
    toolbar.Move(5, textBox.GetTop() + textBox.GetHeight() + 5);
    closeButton.SetLeft(w - closeButton.GetWidth() - 5);
    okButton.SetLeft(closeButton.GetLeft() - okButton.GetWidth() - 5);
    closeButton.SetTop(toolbar.GetTop() + toolbar.GetHeight() / 2 - closeButton.GetHeight() / 2);
    okButton.SetTop(closeButton.GetTop());
}

int rg_DrenvikShuRuKuangLei::OnCanClose(CVolObject*) {
    if (textBox.IsReadOnly()) return 0;
    // The edit box holds CR LF whatever the content had: a lone LF or CR is no change.
    if (NormaliseLineBreaks(textBox.GetText()) == NormaliseLineBreaks(textBox.caption)) return 0;
    int answer = ShowMessageBoxOwned(L"内容已经修改，确认要放弃？", 0x3001, kNoticeCaption, GetHwnd());
    return answer == IDCANCEL ? 1 : 0;
}

void rg_DrenvikShuRuKuangLei::ShowNotice(const CWString& text) {
    ShowMessageBox(text, kNoticeCaption, MB_ICONINFORMATION);
}

bool rg_DrenvikShuRuKuangLei::HasValidCustomSelection() {
    const int i = instructionList.GetSelectedIndex();
    const int count = instructionList.GetItemCount();
    return i >= 0 && i <= count - 1 && i < instructionList.FindSeparatorItem();
}

void rg_DrenvikShuRuKuangLei::OnButtonClick(CVolObject* source) {
    if (source == &deleteButton) {
        if (!HasValidCustomSelection()) {
            ShowNotice(L"请先选择一个你自己的添加的指令才能删除！");
            return;
        }
        instructionList.DeleteItem(instructionList.GetSelectedIndex());
        SaveInstructions();
        if (customText.empty()) {
            int s = instructionList.FindSeparatorItem();
            if (s >= 0) instructionList.DeleteItem(s);
        }
    } else if (source == &modifyButton) {
        if (!HasValidCustomSelection()) {
            ShowNotice(L"请先选择一个你自己的添加的指令才能修改！");
            return;
        }
        CWStringArray lines = TextLines(textBox.GetText());
        if (lines.empty()) {
            ShowNotice(L"指令为空，不能修改！");
            return;
        }
        const int i = instructionList.GetSelectedIndex();
        const CWString t = instructionList.GetItemText(i);
        CWString prefix;
        if (lines[0].FindText(L"【") == 0) {
            prefix.clear();
        } else if (t.FindText(L"【") == 0) {
            int32_t pos = 0;
            prefix = L"【" + GetTextBetween(t, L"【", L"】", pos, false, true) + L"】";
        } else {
            prefix = kCustomMarker;
        }
        if (auto* item = instructionList.GetItem(i)) item->text = prefix + lines[0];
        instructionList.Refresh();
        SaveInstructions();
    } else if (source == &addButton) {
        CWStringArray lines = TextLines(textBox.GetText());
        if (lines.empty()) {
            ShowNotice(L"指令为空，不能添加！");
            return;
        }
        if (instructionList.FindSeparatorItem() < 0) instructionList.InsertItem(kSeparatorItem, -1, L"");
        for (auto it = lines.rbegin(); it != lines.rend(); ++it) instructionList.InsertItem(WithCustomPrefix(*it), 1, L"");
        SaveInstructions();
        suppressSelection = 1;
        instructionList.SelectIndex(0);
        suppressSelection = 0;
    } else if (source == &okButton) {
        confirmed = 1;
        resultText = textBox.GetText();
        if (HWND h = GetHwnd()) ::DestroyWindow(h);
    } else if (source == &closeButton) {
        if (HWND h = GetHwnd()) ::DestroyWindow(h);
    } else if (source == &pasteButton) {
        textBox.SetText(GetClipboardText());
    } else if (source == &clearButton) {
        textBox.SetText(L"");
    } else if (source == &restoreButton) {
        textBox.SetText(textBox.caption);
    } else if (source == &importPathsButton || source == &importContentButton) {
        ImportFiles(source == &importPathsButton);
    }
}

void rg_DrenvikShuRuKuangLei::ImportFiles(bool paths) {
    std::wstring buffer(32768, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = GetHwnd();
    ofn.lpstrFilter = L"文本文件(*.txt)\0*.txt\0网页文件(*.htm;*.html)\0*.htm;*.html\0全部文件(*.*)\0*.*\0";
    ofn.nFilterIndex = 3;  // 全部文件(*.*)
    ofn.lpstrFile = buffer.data();
    ofn.nMaxFile = DWORD(buffer.size());
    ofn.lpstrTitle = paths ? L"导入文件路径（按下Ctrl键保留原来内容，按下Alt键提取文件路径中的文件名）："
                           : L"导入文件内容（按下Ctrl键保留原来内容）：";
    ofn.Flags = OFN_ALLOWMULTISELECT | OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!::GetOpenFileNameW(&ofn)) return;
    // One file: its full path. Several: the folder, then each name, zero-separated.
    rg_WenBenShuZuLei files;
    const wchar_t* p = buffer.c_str();
    CWString first = p;
    p += first.size() + 1;
    if (!*p) {
        files.Add(first);
    } else {
        for (; *p; p += wcslen(p) + 1) files.Add(WithTrailingBackslash(first) + p);
    }
    if (paths) {
        const bool alt = IsKeyDown(VK_MENU) != 0;
        const bool ctrl = IsKeyDown(VK_CONTROL) != 0;
        CWString joined = JoinTextArray(files, L"\r\n", 1, alt);
        CWString old = textBox.GetText();
        textBox.SetText(ctrl ? old + (old.empty() ? L"" : L"\r\n") + joined : joined);
        return;
    }
    if (!IsKeyDown(VK_CONTROL)) textBox.SetText(L"");
    CWString t = textBox.GetText();
    for (const CWString& file : files) {
        if (!t.empty()) t.append(L"\r\n");
        CWString encoding;
        bool hadMark = false;
        t.append(DecodeBytesToText(file, encoding, hadMark, L""));
    }
    textBox.SetText(t);
}

void rg_DrenvikShuRuKuangLei::SaveInstructions() {
    const int s = instructionList.FindSeparatorItem();
    customText.clear();
    for (int i = 0; i < s; ++i) {
        if (!customText.empty()) customText.append(L"\r\n");
        customText.append(StripCustomMarker(instructionList.GetItemText(i), true));
    }
    gComponentConfig.sectionName = sectionName;
    gComponentConfig.WriteText(kCustomKey, customText);
}

CWString rg_DrenvikShuRuKuangLei::StripCustomMarker(const CWString& text, bool onlyCustom) {
    if (text.FindText(L"【") != 0) return text;
    const int p = text.FindText(L"】");
    if (p < 0) return text;
    if (onlyCustom && text.FindText(kCustomMarker) < 0) return text;
    return text.Mid(p + 1);
}

void rg_DrenvikShuRuKuangLei::InsertSelectedInstruction(CVolObject* source) {
    if (source != &instructionList) return;
    if (suppressSelection) {
        suppressSelection = 0;
        return;
    }
    const CWString t = StripCustomMarker(instructionList.GetCurrentText(), false);
    if (insertMode == 0) {
        textBox.SetText(t);
    } else if (insertMode == 1) {
        textBox.AppendFormattedText(L"\r\n" + t, VolOmitted<rg_ChaoJiBianJiKuangZiFuGeShi>(),
                                    VolOmitted<rg_ChaoJiBianJiKuangDuanLaGeShi>());
    } else if (insertMode == 2 && textBox.IsCreated()) {
        textBox.StreamInText(t, 1);
    }
    textBox.SetFocus();
}

void rg_DrenvikShuRuKuangLei::OnFilesDropped(CVolObject* source, const rg_WenBenShuZuLei& paths) {
    if (source != &textBox) return;
    rg_DrenvikWenBenShuZuLei packed;
    packed.Clear(int32_t(paths.size()));
    for (const CWString& p : paths) packed.Append(p);
    CWString lines;
    lines.reserve(paths.size() * 100 / sizeof(wchar_t));
    int32_t choice = 0;
    CollectDroppedFiles(choice, packed, lines, L"*.*", GetHwnd(), IsKeyDown(VK_CONTROL) != 0);
    if (choice == 2 && gMainForm) SetTitleHint(L"", L"");
    textBox.SetText(lines);
}

int rg_DrenvikShuRuKuangLei::OnTextKeyDown(CVolObject* source, int key, int) {
    if (source == &textBox && !textBox.IsMultiLine() && key == VK_RETURN) OnButtonClick(&okButton);
    return 0;
}

int rg_DrenvikShuRuKuangLei::Show(std::wstring_view content, std::wstring_view info, std::wstring_view title,
                                  CWString* result, std::wstring_view listText, std::wstring_view listCaption,
                                  std::wstring_view section) {
    return GetInputBox().RunShow(content, info, title, result, listText, listCaption, section);
}

int rg_DrenvikShuRuKuangLei::RunShow(std::wstring_view content, std::wstring_view info, std::wstring_view title,
                                     CWString* result, std::wstring_view listText, std::wstring_view listCaption,
                                     std::wstring_view section) {
    const bool inputMode = result != nullptr;
    const int generation = ++showGeneration_;
    if (HWND h = GetHwnd()) ::DestroyWindow(h);  // a waiting Show ends with it
    infoBox.SetText(info);
    confirmed = 0;
    textBox.SetMultiLine(true);
    const bool keepText = content == L"-1";
    if (!keepText) textBox.SetText(content);
    // The initial content is what the box starts with, so "-1" (keep the text) compares against
    // the kept text rather than the literal "-1".
    textBox.caption = inputMode ? (keepText ? textBox.GetText() : CWString(content)) : CWString();
    SetText(title);
    if (GetText().empty()) SetText(inputMode ? L"输入：" : L"信息：");
    importContentButton.SetVisible(false);
    importPathsButton.SetVisible(false);
    okButton.SetVisible(inputMode);
    toolbar.SetVisible(inputMode);
    textBox.SetBackColor(inputMode ? 0xFFFFFF : 0xECECEC);
    textBox.SetReadOnly(!inputMode);
    closeButton.SetCaption(inputMode ? L"取消" : L"关闭");
    SetVisible(true);

    const bool withList = !listText.empty();
    instructionList.numberRows = withList ? 1 : 0;
    instructionList.Refresh();
    instructionList.SetListText(withList ? listText : std::wstring_view());
    if (withList) {
        if (!section.empty()) {
            sectionName = section;
            gComponentConfig.sectionName = sectionName;
            customText = gComponentConfig.ReadText(kCustomKey, L"");
            if (!customText.empty()) {
                instructionList.InsertItem(kSeparatorItem, -1, L"");
                CWStringArray lines = TextLines(customText);
                for (auto it = lines.rbegin(); it != lines.rend(); ++it)
                    instructionList.InsertItem(WithCustomPrefix(*it), 1, L"");
            }
        }
        instructionList.selectedIndex = -1;
        instructionList.requestedIndex = -1;
        instructionList.editField.SetText(L"");
        instructionList.Refresh();
        if (!listCaption.empty()) instructionList.SetCaption(listCaption);
        insertMode = 0;
    }
    for (CVolWinControl* c : std::initializer_list<CVolWinControl*>{&instructionList, &addButton, &modifyButton, &deleteButton})
        c->SetVisible(withList);

    if (!LoadWindow()) return 0;
    // Wait while this showing's window exists; form keys (Escape) are translated as in the main loop.
    const HWND shown = GetHwnd();
    bool quit = false;
    while (!quit && ::IsWindow(shown) && GetHwnd() == shown) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {  // leave it for the real loop
                ::PostQuitMessage(int(msg.wParam));
                quit = true;
                break;
            }
            if (VolPreTranslateForForms(msg)) continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        if (!quit) ::Sleep(1);
    }
    if (generation != showGeneration_) return 0;  // a nested Show took the box over: its answer is not ours
    if (confirmed && result) *result = resultText;
    return confirmed;
}
