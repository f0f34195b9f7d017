// The rich edit component: a control over the system rich edit window (RichEdit20W from
// riched20.dll, or RICHEDIT50W from msftedit.dll). Its text, selection and properties live in the
// object while there is no window, so a box keeps its content across the destruction and
// re-creation of its window.
#pragma once
#include "platform/win.h"

#include <richedit.h>

#include "platform/window.h"

// A character format: face (empty keeps the current one), size in points (0 or less keeps the
// current one), style bits and text colour.
class rg_ChaoJiBianJiKuangZiFuGeShi : public CVolObject {
    VOL_CLASS(rg_ChaoJiBianJiKuangZiFuGeShi, CVolObject, "rg_ChaoJiBianJiKuangZiFuGeShi")
    VOL_MEMBERS(faceName, pointSize, style, color)

public:
    static constexpr int kBold = 1, kItalic = 2, kUnderline = 4, kStrikeOut = 8;
    static constexpr int kAutoColor = int(0xFF000000);

    rg_ChaoJiBianJiKuangZiFuGeShi() = default;
    rg_ChaoJiBianJiKuangZiFuGeShi(std::wstring_view face, int points, int styleBits, int textColor)
        : faceName(face), pointSize(points), style(styleBits), color(textColor) {}

    CWString faceName;
    int pointSize = 0;
    int style = 0;
    int color = kAutoColor;
};

// A paragraph format; its lengths are in points. An object marked empty leaves paragraphs alone.
class rg_ChaoJiBianJiKuangDuanLaGeShi : public CVolObject {
    VOL_CLASS(rg_ChaoJiBianJiKuangDuanLaGeShi, CVolObject, "rg_ChaoJiBianJiKuangDuanLaGeShi")
    VOL_MEMBERS(startIndent, rightIndent, firstLineOffset, alignment, bullet)

public:
    int startIndent = 0;
    int rightIndent = 0;
    int firstLineOffset = 0;
    int alignment = 0;  // 0 left, 1 centre, 2 right
    int bullet = 0;     // 0 none, 1 bullets
};

// The window side: creation, streaming, selection and the box's properties.
class CVWnd_RichEdit : public CVolWinControl {
    VOL_CLASS(CVWnd_RichEdit, CVolWinControl, "CVWnd_RichEdit")
    // The properties live with the window object's owner and are not part of the object protocol:
    // a box streams and compares as its control base.
    VOL_MEMBERS()

public:
    CVWnd_RichEdit() = default;
    CVWnd_RichEdit(const CVWnd_RichEdit&) = delete;

    int CreateNativeWindow(VolCreateParams& params) override;
    void FillCreateParams(VolCreateParams& params) override;
    LRESULT DefaultWindowProc(VolMessage& m) override;

    // Replaces the whole content (mode 0) or the selection (mode 1) with plain text; line breaks may
    // be CR LF, CR or LF.
    void StreamInText(std::wstring_view text, int mode);

    // Character positions (a line break counts as one); `length` -1 reaches the end.
    void SetSelection(int start, int length);
    int GetSelStart() const;
    int GetSelLength() const;  // 0 when nothing is selected
    CWString GetSelectedText() const;
    // The number of character positions.
    int GetTextLength() const;

    bool CanUndo() const;
    bool CanPaste() const;

    bool IsMultiLine() const noexcept { return multiLine_; }
    void SetMultiLine(bool on);  // takes effect when the window is next created
    bool IsReadOnly() const noexcept { return readOnly_; }
    void SetReadOnly(bool on);
    bool IsPlainText() const noexcept { return plainText_; }
    void SetPlainText(bool on);
    bool IsWordWrap() const noexcept { return wordWrap_; }
    void SetWordWrap(bool on);
    // The selection stays visible while the box has no focus.
    bool IsKeepSelection() const noexcept { return keepSelection_; }
    void SetKeepSelection(bool on);
    void SetVerticalScrollBar(bool on);
    // -1: the system window colour.
    int GetBackColor() const noexcept { return backColor_; }
    void SetBackColor(int color);

protected:
    // The text of the window, line breaks as CR LF.
    CWString ReadWindowText() const;
    CWString& StoredText() const noexcept { return GetWindowObject().caption; }

private:
    void ApplyProperties();

    bool multiLine_ = true;
    bool readOnly_ = false;
    bool plainText_ = false;
    bool wordWrap_ = true;
    bool keepSelection_ = false;
    bool verticalScroll_ = true;
    int backColor_ = -1;
    // The selection while there is no window.
    int storedSelStart_ = 0;
    int storedSelLength_ = 0;
};

// The rich edit component the library's users call.
class rg_ChaoJiBianJiKuang : public CVWnd_RichEdit {
    VOL_CLASS(rg_ChaoJiBianJiKuang, CVWnd_RichEdit, "rg_ChaoJiBianJiKuang")
    VOL_MEMBERS()

public:
    rg_ChaoJiBianJiKuang() = default;
    rg_ChaoJiBianJiKuang(const rg_ChaoJiBianJiKuang&) = delete;

    // The whole text, each line break as CR LF; the stored text while there is no window.
    CWString GetText() const;
    // Replaces the whole content.
    void SetText(std::wstring_view text) { StreamInText(text, 0); }
    // Appends at the end and formats the appended range: a character format marked empty gives the
    // box's default format, a paragraph format marked empty leaves the paragraphs alone. The caret
    // ends at the end; with `scroll` the view follows it. An empty text appends nothing.
    void AppendFormattedText(std::wstring_view text, const rg_ChaoJiBianJiKuangZiFuGeShi& charFormat,
                             const rg_ChaoJiBianJiKuangDuanLaGeShi& paraFormat, int scroll = 0);
};
