#include "platform/richedit.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// The rich edit window class, loading its DLL once per process (kept loaded until exit, as the
// windows of the class need it).
const wchar_t* RichEditClassName() {
    static const wchar_t* name = [] {
        if (::LoadLibraryW(L"riched20.dll")) return L"RichEdit20W";
        if (::LoadLibraryW(L"msftedit.dll")) return L"RICHEDIT50W";
        return static_cast<const wchar_t*>(nullptr);
    }();
    return name;
}

struct StreamSource {
    const BYTE* data;
    size_t left;
};

DWORD CALLBACK ReadStreamSource(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
    auto* src = reinterpret_cast<StreamSource*>(cookie);
    size_t n = std::min(src->left, size_t(wanted > 0 ? wanted : 0));
    std::memcpy(buffer, src->data, n);
    src->data += n;
    src->left -= n;
    *got = LONG(n);
    return 0;
}

CHARRANGE GetRange(HWND h) {
    CHARRANGE r{0, 0};
    ::SendMessageW(h, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r;
}

void SetRange(HWND h, LONG start, LONG end) {
    CHARRANGE r{start, end};
    ::SendMessageW(h, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&r));
}

// Character positions as the stored text counts them: CR LF is one position.
CWString CollapseLineBreaks(std::wstring_view text) {
    CWString out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
        out.push_back(text[i] == L'\n' ? L'\r' : text[i]);
    }
    return out;
}

// Back from positions to the CR LF form the box hands out.
CWString ExpandLineBreaks(std::wstring_view text) {
    CWString out;
    out.reserve(text.size() + text.size() / 16);
    for (wchar_t c : text) {
        if (c == L'\r') out.append(L"\r\n");
        else out.push_back(c);
    }
    return out;
}

}  // namespace

// ---- CVWnd_RichEdit ------------------------------------------------------------------------------

void CVWnd_RichEdit::FillCreateParams(VolCreateParams& p) {
    CVolWinControl::FillCreateParams(p);
    p.caption.clear();  // the text is streamed in once the window exists
    p.style &= ~DWORD(ES_MULTILINE | ES_READONLY | ES_NOHIDESEL | ES_AUTOHSCROLL | ES_AUTOVSCROLL | WS_VSCROLL |
                      WS_HSCROLL | ES_WANTRETURN);
    if (multiLine_) {
        p.style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
        if (verticalScroll_) p.style |= WS_VSCROLL;
        if (!wordWrap_) p.style |= ES_AUTOHSCROLL | WS_HSCROLL;
    } else {
        p.style |= ES_AUTOHSCROLL;
    }
    if (readOnly_) p.style |= ES_READONLY;
    if (keepSelection_) p.style |= ES_NOHIDESEL;
}

int CVWnd_RichEdit::CreateNativeWindow(VolCreateParams& p) {
    if (IsCreated()) return 0;
    const wchar_t* cls = RichEditClassName();
    if (!cls) return 0;
    FillCreateParams(p);
    ResolveInitialSize(p);
    CWString text = StoredText();
    if (!CreateWindowOfClass(p, cls)) return 0;
    OnNativeWindowCreated(p);
    ApplyProperties();
    if (!text.empty()) StreamInText(text, 0);
    SetSelection(storedSelStart_, storedSelLength_);
    return 1;
}

void CVWnd_RichEdit::ApplyProperties() {
    HWND h = GetHwnd();
    if (!h) return;
    if (plainText_) {
        ::SendMessageW(h, EM_EMPTYUNDOBUFFER, 0, 0);  // the mode changes only while empty, undo included
        ::SendMessageW(h, EM_SETTEXTMODE, TM_PLAINTEXT | TM_MULTILEVELUNDO | TM_MULTICODEPAGE, 0);
    }
    ::SendMessageW(h, EM_SETBKGNDCOLOR, backColor_ == -1 ? 1 : 0, LPARAM(COLORREF(backColor_)));
    if (multiLine_) ::SendMessageW(h, EM_SETTARGETDEVICE, 0, wordWrap_ ? 0 : 1);
    ::SendMessageW(h, EM_SETREADONLY, readOnly_, 0);
    ::SendMessageW(h, EM_SETOPTIONS, keepSelection_ ? ECOOP_OR : ECOOP_AND,
                   keepSelection_ ? ECO_NOHIDESEL : ~LPARAM(ECO_NOHIDESEL));
    // Room for long pasted texts (the default limit is 32K characters).
    ::SendMessageW(h, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
}

LRESULT CVWnd_RichEdit::DefaultWindowProc(VolMessage& m) {
    switch (m.message) {
    case WM_DROPFILES:
        // The event dispatch reads and finishes a drop; without a listener nobody did. The rich
        // edit's own handling must never see the finished handle.
        if (!GetWindowObject().listener) ::DragFinish(reinterpret_cast<HDROP>(m.wParam));
        return 0;
    case WM_DESTROY: {
        // Keep the content for the next window.
        CWString text = ReadWindowText();
        CHARRANGE r = GetRange(m.hwnd);
        StoredText() = std::move(text);
        storedSelStart_ = int(r.cpMin);
        storedSelLength_ = int(r.cpMax - r.cpMin);
        break;
    }
    default: break;
    }
    return CVolWinControl::DefaultWindowProc(m);
}

void CVWnd_RichEdit::StreamInText(std::wstring_view text, int mode) {
    HWND h = GetHwnd();
    if (!h) {
        CWString& stored = StoredText();
        if (mode == 0) {
            stored = text;
            storedSelStart_ = storedSelLength_ = 0;
            return;
        }
        // Positions count a CR LF once: splice in the collapsed form, then hand the text back.
        CWString flat = CollapseLineBreaks(stored);
        int n = int(flat.size());
        int start = std::clamp(storedSelStart_, 0, n);
        int len = storedSelLength_ < 0 ? n - start : std::clamp(storedSelLength_, 0, n - start);
        CWString insert = CollapseLineBreaks(text);
        flat.replace(size_t(start), size_t(len), insert);
        stored = ExpandLineBreaks(flat);
        storedSelStart_ = start + int(insert.size());
        storedSelLength_ = 0;
        return;
    }
    StreamSource src{reinterpret_cast<const BYTE*>(text.data()), text.size() * sizeof(wchar_t)};
    EDITSTREAM es{reinterpret_cast<DWORD_PTR>(&src), 0, &ReadStreamSource};
    WPARAM format = SF_TEXT | SF_UNICODE | (mode == 1 ? SFF_SELECTION : 0);
    ::SendMessageW(h, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&es));
}

void CVWnd_RichEdit::SetSelection(int start, int length) {
    if (HWND h = GetHwnd()) {
        // "To the end" stops before the box's final paragraph mark.
        SetRange(h, start, length < 0 ? LONG(GetTextLength()) : start + length);
        return;
    }
    storedSelStart_ = std::max(start, 0);
    storedSelLength_ = length;
}

int CVWnd_RichEdit::GetSelStart() const {
    if (HWND h = GetHwnd()) return int(GetRange(h).cpMin);
    return storedSelStart_;
}

int CVWnd_RichEdit::GetSelLength() const {
    if (HWND h = GetHwnd()) {
        CHARRANGE r = GetRange(h);
        return int(r.cpMax - r.cpMin);
    }
    if (storedSelLength_ < 0) return std::max(GetTextLength() - storedSelStart_, 0);
    return storedSelLength_;
}

CWString CVWnd_RichEdit::GetSelectedText() const {
    HWND h = GetHwnd();
    if (!h) return ExpandLineBreaks(CollapseLineBreaks(StoredText()).Mid(storedSelStart_, GetSelLength()));
    CHARRANGE r = GetRange(h);
    if (r.cpMax <= r.cpMin) return {};
    std::wstring buf(size_t(r.cpMax - r.cpMin) + 1, L'\0');
    LRESULT n = ::SendMessageW(h, EM_GETSELTEXT, 0, reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(size_t(std::max<LRESULT>(n, 0)));
    return ExpandLineBreaks(CollapseLineBreaks(buf));
}

int CVWnd_RichEdit::GetTextLength() const {
    HWND h = GetHwnd();
    if (!h) return int(CollapseLineBreaks(StoredText()).size());
    GETTEXTLENGTHEX q{GTL_NUMCHARS | GTL_PRECISE, 1200};
    return int(::SendMessageW(h, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&q), 0));
}

CWString CVWnd_RichEdit::ReadWindowText() const {
    HWND h = GetHwnd();
    if (!h) return StoredText();
    GETTEXTLENGTHEX q{GTL_USECRLF | GTL_NUMCHARS | GTL_PRECISE, 1200};
    LRESULT n = ::SendMessageW(h, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&q), 0);
    if (n <= 0) return {};
    std::wstring buf(size_t(n) + 1, L'\0');
    GETTEXTEX g{};
    g.cb = DWORD(buf.size() * sizeof(wchar_t));
    g.flags = GT_USECRLF;
    g.codepage = 1200;
    LRESULT got = ::SendMessageW(h, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&g), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(size_t(std::clamp<LRESULT>(got, 0, n)));
    return buf;
}

bool CVWnd_RichEdit::CanUndo() const {
    HWND h = GetHwnd();
    return h && ::SendMessageW(h, EM_CANUNDO, 0, 0) != 0;
}

bool CVWnd_RichEdit::CanPaste() const {
    HWND h = GetHwnd();
    return h && ::SendMessageW(h, EM_CANPASTE, 0, 0) != 0;
}

void CVWnd_RichEdit::SetMultiLine(bool on) { multiLine_ = on; }

void CVWnd_RichEdit::SetReadOnly(bool on) {
    readOnly_ = on;
    if (HWND h = GetHwnd()) ::SendMessageW(h, EM_SETREADONLY, on, 0);
}

void CVWnd_RichEdit::SetPlainText(bool on) {
    if (plainText_ == on) return;
    plainText_ = on;
    HWND h = GetHwnd();
    if (!h) return;
    // The text mode can change only while the box is empty.
    CWString text = ReadWindowText();
    ::SendMessageW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
    ::SendMessageW(h, EM_EMPTYUNDOBUFFER, 0, 0);
    ::SendMessageW(h, EM_SETTEXTMODE, (on ? TM_PLAINTEXT : TM_RICHTEXT) | TM_MULTILEVELUNDO | TM_MULTICODEPAGE, 0);
    if (!text.empty()) StreamInText(text, 0);
}

void CVWnd_RichEdit::SetWordWrap(bool on) {
    wordWrap_ = on;
    if (HWND h = GetHwnd(); h && multiLine_) ::SendMessageW(h, EM_SETTARGETDEVICE, 0, on ? 0 : 1);
}

void CVWnd_RichEdit::SetKeepSelection(bool on) {
    keepSelection_ = on;
    if (HWND h = GetHwnd())
        ::SendMessageW(h, EM_SETOPTIONS, on ? ECOOP_OR : ECOOP_AND, on ? ECO_NOHIDESEL : ~LPARAM(ECO_NOHIDESEL));
}

void CVWnd_RichEdit::SetVerticalScrollBar(bool on) {
    verticalScroll_ = on;
    if (HWND h = GetHwnd()) ::ShowScrollBar(h, SB_VERT, on);
}

void CVWnd_RichEdit::SetBackColor(int color) {
    backColor_ = color;
    if (HWND h = GetHwnd()) ::SendMessageW(h, EM_SETBKGNDCOLOR, color == -1 ? 1 : 0, LPARAM(COLORREF(color)));
}

// ---- rg_ChaoJiBianJiKuang ------------------------------------------------------------------------

CWString rg_ChaoJiBianJiKuang::GetText() const { return ReadWindowText(); }

void rg_ChaoJiBianJiKuang::AppendFormattedText(std::wstring_view text, const rg_ChaoJiBianJiKuangZiFuGeShi& cf,
                                               const rg_ChaoJiBianJiKuangDuanLaGeShi& pf, int scroll) {
    if (text.empty()) return;
    HWND h = GetHwnd();
    if (!h) {
        StoredText().append(text);
        return;
    }
    SetRange(h, LONG_MAX, LONG_MAX);  // clamped to the end
    LONG start = GetRange(h).cpMin;
    StreamInText(text, 1);
    LONG end = LONG(GetTextLength());
    SetRange(h, start, end);

    CHARFORMAT2W f{};
    f.cbSize = sizeof(f);
    if (cf.IsEmptyObject()) {
        ::SendMessageW(h, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&f));
    } else {
        f.dwMask = CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE | CFM_STRIKEOUT | CFM_COLOR;
        using F = rg_ChaoJiBianJiKuangZiFuGeShi;
        f.dwEffects = ((cf.style & F::kBold) ? CFE_BOLD : 0) | ((cf.style & F::kItalic) ? CFE_ITALIC : 0) |
                      ((cf.style & F::kUnderline) ? CFE_UNDERLINE : 0) | ((cf.style & F::kStrikeOut) ? CFE_STRIKEOUT : 0);
        if (cf.color == F::kAutoColor) f.dwEffects |= CFE_AUTOCOLOR;
        else f.crTextColor = COLORREF(cf.color) & 0xFFFFFF;
        if (!cf.faceName.empty()) {
            f.dwMask |= CFM_FACE;
            lstrcpynW(f.szFaceName, cf.faceName.c_str(), LF_FACESIZE);
        }
        if (cf.pointSize > 0) {
            f.dwMask |= CFM_SIZE;
            f.yHeight = LONG(cf.pointSize) * 20;
        }
    }
    ::SendMessageW(h, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&f));

    if (!pf.IsEmptyObject()) {
        PARAFORMAT2 p{};
        p.cbSize = sizeof(p);
        p.dwMask = PFM_STARTINDENT | PFM_RIGHTINDENT | PFM_OFFSET | PFM_ALIGNMENT | PFM_NUMBERING;
        p.dxStartIndent = LONG(pf.startIndent) * 20;
        p.dxRightIndent = LONG(pf.rightIndent) * 20;
        p.dxOffset = LONG(pf.firstLineOffset) * 20;
        p.wAlignment = pf.alignment == 1 ? PFA_CENTER : pf.alignment == 2 ? PFA_RIGHT : PFA_LEFT;
        p.wNumbering = pf.bullet ? PFN_BULLET : 0;
        ::SendMessageW(h, EM_SETPARAFORMAT, 0, reinterpret_cast<LPARAM>(&p));
    }
    SetRange(h, end, end);
    if (scroll) ::SendMessageW(h, EM_SCROLLCARET, 0, 0);
}
