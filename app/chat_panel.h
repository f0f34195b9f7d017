// The chat panel right of the button column: a read-only transcript, the question box and two bars
// with the context count, the role, the question templates and the commands. It talks to no server
// itself: a send raises askEvent, whose handler (the main window) fills the answer or an error.
// The send button's caption is the panel's busy state: only "发送" lets a send start.
#pragma once
#include <memory>

#include "platform/window.h"
#include "ui/button.h"
#include "ui/combo_box.h"
#include "ui/label.h"
#include "ui/rich_edit_box.h"

inline constexpr wchar_t kChatSendCaption[] = L"发送";
inline constexpr wchar_t kChatWaitingCaption[] = L"等待AI回应..";
inline constexpr wchar_t kChatEmptyQuestionCaption[] = L"请先输入提问内容！";
// What an empty question box shows when the panel is shown.
inline constexpr wchar_t kChatDefaultQuestion[] = L"你是谁";
// The settings section of the panel.
inline constexpr wchar_t kChatSettingsSection[] = L"AI聊天界面类";
// The role presets and the question templates, in the combo box's list-text form.
extern const wchar_t kChatRolePresets[];
extern const wchar_t kChatQuestionTemplates[];

// The text without the line break that ends right before character position `position` (a line
// break, CR LF included, counts as one position); unchanged when no line break ends there.
CWString RemoveBreakBeforePosition(const CWString& text, int position);

class rg_AILiaoTianJieMianLei : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_AILiaoTianJieMianLei, rg_ZuJianBuJuQi, "app::rg_AILiaoTianJieMianLei")
    VOL_MEMBERS(transcriptBox, questionBox, chatBar, contextCombo, roleCombo, copyAnswerButton, newChatButton,
                copyCodeButton, questionBar, templateCombo, clearAfterSendCheck, enterSendsCheck, sendButton,
                pasteButton, answerHistory, questionHistory, codeText, contextCountProperty)

public:
    rg_AILiaoTianJieMianLei();
    ~rg_AILiaoTianJieMianLei() override;
    static std::unique_ptr<rg_AILiaoTianJieMianLei> CreateInstance() {
        return std::make_unique<rg_AILiaoTianJieMianLei>();
    }

    int GetDesignWidth() const override { return ScaleDesignValue(1200); }
    int GetDesignHeight() const override { return ScaleDesignValue(629); }
    void BindEvents() override;
    void CreateChildren() override;

    // Runs the command of a pressed button; other sources do nothing. 0.
    int HandleButtonClick(CVolObject* source);
    // The last `count` question/answer pairs, oldest first: -1 all, 0 or less none.
    void GetRecentHistory(int count, CMStringArray& questions, CMStringArray& answers) const;
    // Scrolls the transcript to its end and gives the focus back to the question box.
    void ScrollTranscriptToEnd();
    int LayoutChildren();
    int InitialiseAfterCreate();
    // Enter (or Ctrl+Enter, as enterSendsCheck says) in the question box sends: -1 swallows the key.
    int HandleQuestionKey(CVolObject* source, int character);
    // 0 restores the controls from the settings section, 1 stores them and writes the file.
    void LoadOrSaveSettings(int mode);

    // ---- members, in the order of the object protocol ----
    rg_DrenvikChaoJiBianJiKuang1 transcriptBox;
    rg_DrenvikChaoJiBianJiKuang1 questionBox;
    rg_DrenvikBiaoQian chatBar;
    rg_DrenvikZuGeKuang1 contextCombo;
    rg_DrenvikZuGeKuang1 roleCombo;
    rg_DrenvikAnNiu1 copyAnswerButton;
    rg_DrenvikAnNiu1 newChatButton;
    rg_DrenvikAnNiu1 copyCodeButton;
    rg_DrenvikBiaoQian questionBar;
    rg_DrenvikZuGeKuang1 templateCombo;
    rg_DrenvikXuanZhongKuang1 clearAfterSendCheck;
    rg_DrenvikXuanZhongKuang1 enterSendsCheck;
    rg_DrenvikAnNiu1 sendButton;
    rg_DrenvikAnNiu1 pasteButton;
    // The current chat: entry k of one belongs to entry k of the other.
    CMStringArray answerHistory;
    CMStringArray questionHistory;
    // The code blocks of the last answer, for "复制代码".
    CWString codeText;
    // The owner's context count; 0x80000000: not given.
    int contextCountProperty = int(0x80000000);

    // Asks the owner for the model text shown in the answer header.
    VolEventBinding<CWString*> modelTextEvent;
    // Asks the owner for an answer: question, answer out, role, history questions and answers, error out.
    VolEventBinding<const CWString&, CWString*, const CWString&, const CMStringArray&, const CMStringArray&, CWString*>
        askEvent;

private:
    void Send();
    void AppendAnswer(const CWString& answer, const CWString& elapsed, const CWString& model);
    // Replaces the question box's whole content (its stored text while it has no window).
    void SetQuestionText(const CWString& text);
    void PutQuestionBack(const CWString& question);

    int OnCreated(CVolObject*) { return InitialiseAfterCreate(); }
    int OnResized(CVolObject*) { return LayoutChildren(); }
    int OnShown(CVolObject*);
    int OnHiddenOrDestroyed(CVolObject*);
    int OnButtonPressed(CVolObject* source) { return HandleButtonClick(source); }
    int OnButtonReleased(CVolObject* source);
    int OnCharInput(CVolObject* source, int character) { return HandleQuestionKey(source, character); }
    int OnComboItemChosen(CVolObject* source);

    // Cleared by the destructor: a send that pumps messages may outlive the panel (the window
    // closed while an answer was awaited) and must then leave without touching it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool initialised_ = false;
};
