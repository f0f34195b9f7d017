#include "app/input_prompt.h"

#include <vector>

#include "platform/seams.h"

namespace {

constexpr int kPromptId = 100;
constexpr int kEditId = 101;

// An in-memory dialog template: DLGTEMPLATE and its items, each item on a DWORD boundary.
class DialogTemplate {
public:
    DialogTemplate(DWORD style, short cx, short cy, const wchar_t* font, WORD points) {
        Align();
        Dword(style);
        Dword(0);
        Word(0);  // item count, patched by Item()
        Word(0), Word(0), Word(WORD(cx)), Word(WORD(cy));
        Word(0), Word(0), Text(L"");  // no menu, default class, empty title
        Word(points), Text(font);
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD classAtom, const wchar_t* text) {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(WORD(x)), Word(WORD(y)), Word(WORD(cx)), Word(WORD(cy)), Word(id);
        Word(0xFFFF), Word(classAtom), Text(text), Word(0);
        ++words_[4];
    }
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void Align() { if (words_.size() % 2) words_.push_back(0); }
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
    void Text(const wchar_t* s) { do Word(WORD(*s)); while (*s++); }
    std::vector<WORD> words_;
};

struct PromptState {
    const CWString* prompt;
    const CWString* title;
    CWString* text;
};

INT_PTR CALLBACK PromptProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* state = reinterpret_cast<PromptState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG:
        state = reinterpret_cast<PromptState*>(lParam);
        ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        ::SetWindowTextW(dialog, state->title->c_str());
        ::SetDlgItemTextW(dialog, kPromptId, state->prompt->c_str());
        ::SetDlgItemTextW(dialog, kEditId, state->text->c_str());
        ::SendDlgItemMessageW(dialog, kEditId, EM_SETSEL, 0, -1);
        ::SetFocus(::GetDlgItem(dialog, kEditId));
        return FALSE;  // the focus is set
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK && state) {
            HWND edit = ::GetDlgItem(dialog, kEditId);
            std::wstring buffer(size_t(::GetWindowTextLengthW(edit)) + 1, L'\0');
            buffer.resize(size_t(::GetWindowTextW(edit, buffer.data(), int(buffer.size()))));
            *state->text = CWString(buffer);
            ::EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    default: break;
    }
    return FALSE;
}

}  // namespace

bool RunInputPrompt(HWND owner, const CWString& prompt, const CWString& title, CWString& text) {
    DialogTemplate t(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU, 300, 78,
                     L"微软雅黑", 9);
    t.Item(SS_LEFT, 7, 7, 286, 24, kPromptId, 0x0082, L"");
    t.Item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 34, 286, 14, kEditId, 0x0081, L"");
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 186, 57, 50, 14, IDOK, 0x0080, L"确定");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 243, 57, 50, 14, IDCANCEL, 0x0080, L"取消");
    CWString entered = text;
    PromptState state{&prompt, &title, &entered};
    INT_PTR r = ::DialogBoxIndirectParamW(::GetModuleHandleW(nullptr), t.Get(), owner, PromptProc,
                                          reinterpret_cast<LPARAM>(&state));
    if (r != IDOK) return false;
    text = entered;
    return true;
}

void InstallInputPromptIfMissing() {
    auto& hook = Seams().inputDialog;
    if (!hook) hook = RunInputPrompt;
}
