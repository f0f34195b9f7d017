#include "app/chat_panel.h"

#include <algorithm>
#include <climits>

#include "app/answer_markdown.h"
#include "platform/input.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "ui/time_measure.h"
#include "util/component_config.h"
#include "util/system_helpers.h"
#include "util/text_helpers.h"

const wchar_t kChatRolePresets[] =
    L"你是一个通用助理\r\n你是一名历史教师\r\n你是我的男朋友\r\n你是我的女朋友\r\n你是一名专业律师\r\n"
    L"你是一名中西医结合的大师级医生\r\n你是一名专业程序员\r\n你是一名网红指导\r\n你是一名导游\r\n"
    L"你是一名专业财务会计师\r\n"
    L"我想让你做一个导游。我会把我的位置写给你，你会推荐一个靠近我的位置的地方。在某些情况下，我还会告诉您我将访问的"
    L"地方类型。您还会向我推荐靠近我的第一个位置的类似类型的地方。";

const wchar_t kChatQuestionTemplates[] =
    L"你是谁，什么模型，知识库截止日期是\r\n请列出5个科技类新闻标题\r\n"
    L"帮我用C++写一段代码，实现XX的功能，请使用中文回答\r\n帮我写一个Bat批处理，实现XX的功能，请使用中文回答\r\n"
    L"帮我写一个Python代码，实现XX的功能，请使用中文回答\r\n写一篇XX的文章\r\n"
    L"请使用小红书体写一篇有关《XX》的文章，不少于500字，谢谢。\r\n帮我使用中文重写以下内容：XX\r\n"
    L"帮我使用中文以采访的角度改写以下内容：XX\r\n帮我使用中文总结以下内容：XX\r\n帮我使用中文补全以下内容：XX\r\n"
    L"帮我使用小红书体改写下面内容：XX\r\n帮我使用中文重写此标题：XX\r\n帮我使用英文重写此标题：XX\r\n"
    L"帮我换一种说法改变下这个标题：XX\r\n帮我拓展下这个关键词为一个标题，至少10个字：XX\r\n"
    L"帮我拓展下这个关键词为20个标题，每个标题至少10个字：XX\r\n"
    L"当我可以保持每30秒奔跑1000米时，我需要多久才能从地球跑到月球？请将多久换算成年单位\r\n"
    L"鲁迅和周树人打起来了，谁会赢？\r\n"
    L"树上10只鸟 打死一只还有几只";

namespace {

constexpr wchar_t kBarFont[] = L"微软雅黑, 18, 0, 0, 0, 0, 0";
constexpr wchar_t kComboFont[] = L"微软雅黑, 11, 0, 0, 0, 0, 0";
constexpr wchar_t kButtonFont[] = L"微软雅黑, 12, 0, 0, 0, 0, 0";
constexpr int kGreen = 0x008000;
constexpr int kQuestionColour = 0xFF0090;
constexpr int kGrey = 0xC0C0C0;
constexpr int kRed = 0x0000FF;

rg_ChaoJiBianJiKuangZiFuGeShi Format(int points, int colour, int style = 0) {
    return rg_ChaoJiBianJiKuangZiFuGeShi(kAnswerFontFace, points, style, colour);
}
rg_ChaoJiBianJiKuangDuanLaGeShi Indent(int n) {
    rg_ChaoJiBianJiKuangDuanLaGeShi p;
    p.startIndent = ScaleByDpi(n);
    return p;
}
const rg_ChaoJiBianJiKuangDuanLaGeShi& NoParagraph() {
    static const rg_ChaoJiBianJiKuangDuanLaGeShi none = VolOmitted<rg_ChaoJiBianJiKuangDuanLaGeShi>();
    return none;
}

// The transcript is read-only for the user; the panel lifts that while it writes.
class TranscriptWriter {
public:
    explicit TranscriptWriter(rg_ChaoJiBianJiKuang& box) : box_(box) { box_.SetReadOnly(false); }
    ~TranscriptWriter() { box_.SetReadOnly(true); }
    TranscriptWriter(const TranscriptWriter&) = delete;
    TranscriptWriter& operator=(const TranscriptWriter&) = delete;
    void Append(std::wstring_view text, const rg_ChaoJiBianJiKuangZiFuGeShi& cf,
                const rg_ChaoJiBianJiKuangDuanLaGeShi& pf, int scroll = 0) {
        box_.AppendFormattedText(text, cf, pf, scroll);
    }

private:
    rg_ChaoJiBianJiKuang& box_;
};

// Creates a child at designer geometry inside any parent (bars host controls of their own).
void Place(CVolWinControl& child, CVolWinControl& parent, int id, int x, int y, int w, int h) {
    child.CreateInParent(parent, ScaleDesignValue(x), ScaleDesignValue(y), ScaleDesignValue(w), ScaleDesignValue(h),
                         id);
}

void SetButtonCaption(rg_DrenvikAnNiu1& b, std::wstring_view caption) {
    b.SetCaption(caption);
    b.SetText(caption);  // readable by other programs too
}

void SetUpButton(rg_DrenvikAnNiu1& b, const wchar_t* caption, int colour) {
    SetButtonCaption(b, caption);
    b.SetFontText(kButtonFont);
    b.SetBaseColor(colour);
}

void SetUpCombo(rg_DrenvikZuGeKuang1& c, int style, const wchar_t* caption, const wchar_t* list, int image,
                const wchar_t* tip) {
    c.SetFontText(kComboFont);
    c.style = style;
    c.SetCaption(caption);
    c.SetListText(list);
    c.SetItemImage(image, 0);
    c.tooltipText = tip;
}

}  // namespace

CWString RemoveBreakBeforePosition(const CWString& text, int position) {
    // Walk the text in positions: CR LF, a lone CR and a lone LF each take one.
    const int n = text.GetLength();
    auto width = [&](int at) { return (text.GetChar(at) == L'\r' && text.GetChar(at + 1) == L'\n') ? 2 : 1; };
    int i = 0;
    for (int p = 0; i < n && p < position - 1; ++p) i += width(i);
    if (position <= 0 || i >= n) return text;
    if (text[size_t(i)] != L'\r' && text[size_t(i)] != L'\n') return text;
    CWString out(text);
    out.erase(size_t(i), size_t(width(i)));
    return out;
}

rg_AILiaoTianJieMianLei::rg_AILiaoTianJieMianLei() = default;

rg_AILiaoTianJieMianLei::~rg_AILiaoTianJieMianLei() {
    *alive_ = false;
    DetachEvents();
    // The owner destroys the panel with its window still there: that is when its settings go.
    if (IsCreated() && initialised_) LoadOrSaveSettings(1);
    DestroyOwnWindow();
}

void rg_AILiaoTianJieMianLei::BindEvents() {
    VOL_BIND(Created, &rg_AILiaoTianJieMianLei::OnCreated);
    VOL_BIND(Resized, &rg_AILiaoTianJieMianLei::OnResized);
    VOL_BIND(Shown, &rg_AILiaoTianJieMianLei::OnShown);
    VOL_BIND(Hidden, &rg_AILiaoTianJieMianLei::OnHiddenOrDestroyed);
    VOL_BIND(Destroyed, &rg_AILiaoTianJieMianLei::OnHiddenOrDestroyed);
    for (rg_DrenvikChaoJiBianJiKuang1* box : {&transcriptBox, &questionBox})
        VOL_BIND(box->CharInput, &rg_AILiaoTianJieMianLei::OnCharInput);
    rg_DrenvikAnNiu1* const buttons[] = {&copyAnswerButton, &newChatButton, &copyCodeButton, &clearAfterSendCheck,
                                         &enterSendsCheck, &sendButton, &pasteButton};
    for (rg_DrenvikAnNiu1* b : buttons) {
        VOL_BIND(b->Clicked, &rg_AILiaoTianJieMianLei::OnButtonPressed);
        VOL_BIND(b->Released, &rg_AILiaoTianJieMianLei::OnButtonReleased);
    }
    for (rg_DrenvikZuGeKuang1* c : {&contextCombo, &roleCombo, &templateCombo})
        VOL_BIND(c->ItemChosen, &rg_AILiaoTianJieMianLei::OnComboItemChosen);
    rg_ZuJianBuJuQi::BindEvents();
}

void rg_AILiaoTianJieMianLei::CreateChildren() {
    transcriptBox.SetReadOnly(true);
    transcriptBox.SetKeepSelection(true);
    Place(transcriptBox, *this, 101, 9, 51, 1182, 384);

    questionBox.SetKeepSelection(true);
    Place(questionBox, *this, 102, 9, 495, 1182, 122);
    questionBox.SetTipText(L"Ctrl+Enter发送");

    const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    chatBar.SetFontText(kBarFont);
    chatBar.SetText(L"聊天内容");
    chatBar.SetCursor(hand);
    Place(chatBar, *this, 103, 9, 5, 1182, 45);

    SetUpCombo(contextCombo, 1, L"上下文历史数", L"0\r\n2\r\n5\r\n10\r\n-1", 500,
               L"聊天的上下文历史数量，默认为5条。填0无上下文，填-1则是本次聊天全部内容都为上下文。上下文用于AI新回答"
               L"的历史关联。越多上下文数，消耗的API额度越多。");
    Place(contextCombo, chatBar, 104, 502, 3, 193, 30);

    SetUpCombo(roleCombo, 1, L"角色定义", kChatRolePresets, 501,
               L"角色定义用于将AI定义为某种特定角色，比如医生、老师、你的男女朋友等等，可以简单定义，也可以详细要求角色"
               L"应当怎么做，不填为无定义。");
    roleCombo.iconWidth = roleCombo.iconHeight = 0;
    Place(roleCombo, chatBar, 105, 716, 3, 467, 30);

    SetUpButton(copyAnswerButton, L"复制回答", 0xE03058);
    Place(copyAnswerButton, chatBar, 106, 255, 3, 114, 30);
    copyAnswerButton.SetTooltip(L"复制AI最后一次的回答");
    SetUpButton(newChatButton, L"新的聊天", 0xC06000);
    Place(newChatButton, chatBar, 107, 124, 3, 133, 30);
    SetUpButton(copyCodeButton, L"复制代码", 0xE03058);
    Place(copyCodeButton, chatBar, 108, 367, 3, 114, 30);
    copyCodeButton.SetTooltip(L"复制AI最后一次的回答中涉及代码的部分");

    questionBar.SetFontText(kBarFont);
    questionBar.SetText(L"我的提问");
    questionBar.SetCursor(hand);
    Place(questionBar, *this, 109, 9, 447, 1182, 45);

    SetUpCombo(templateCombo, 2, L"预设提问", kChatQuestionTemplates, 502, L"点击句型将自动插入到我的提问");
    templateCombo.SetFontText(kButtonFont);
    templateCombo.iconWidth = templateCombo.iconHeight = 0;
    Place(templateCombo, questionBar, 110, 721, 3, 460, 30);

    SetButtonCaption(clearAfterSendCheck, L"发送清空");
    clearAfterSendCheck.checked = 1;
    Place(clearAfterSendCheck, questionBar, 111, 617, 3, 105, 30);
    SetButtonCaption(enterSendsCheck, L"回车键发送");
    enterSendsCheck.checked = 1;
    Place(enterSendsCheck, questionBar, 112, 502, 3, 113, 30);
    enterSendsCheck.SetTooltip(L"选中就是 Enter 键发送，否则 Ctrl+Enter 键发送");

    SetUpButton(sendButton, kChatSendCaption, kGreen);
    Place(sendButton, questionBar, 113, 124, 4, 263, 30);
    SetUpButton(pasteButton, L"粘贴", 0x005B5B);
    Place(pasteButton, questionBar, 114, 385, 4, 97, 30);
}

// ---- life ----------------------------------------------------------------------------------------

int rg_AILiaoTianJieMianLei::InitialiseAfterCreate() {
    // The bars' drawing surfaces go under the controls the bars host.
    // Clipping keeps a repaint of the surface off them.
    for (rg_DrenvikBiaoQian* bar : {&chatBar, &questionBar}) {
        bar->shownCanvas.ModifyStyle(0, WS_CLIPSIBLINGS);
        if (HWND h = bar->shownCanvas.GetHwnd())
            ::SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    const rg_ChaoJiBianJiKuangZiFuGeShi typed = Format(13, kQuestionColour);
    LoadOrSaveSettings(0);
    initialised_ = true;
    // Whatever is typed next takes the question colour.
    CWString question = questionBox.GetText();
    if (!question.empty()) {
        questionBox.SetText(L"");
        questionBox.AppendFormattedText(question, typed, NoParagraph(), 1);
    } else {
        questionBox.AppendFormattedText(L" ", typed, NoParagraph(), 1);
        questionBox.SetText(L"");
    }
    questionBox.SetFocus();
    return 0;
}

int rg_AILiaoTianJieMianLei::OnShown(CVolObject*) {
    if (questionBox.GetText().empty()) SetQuestionText(kChatDefaultQuestion);
    return 0;
}

int rg_AILiaoTianJieMianLei::OnHiddenOrDestroyed(CVolObject*) {
    if (initialised_) LoadOrSaveSettings(1);
    return 0;
}

int rg_AILiaoTianJieMianLei::LayoutChildren() {
    if (!IsCreated()) return 0;
    const int W = GetClientWidth(), H = GetClientHeight();
    if (W <= 0 || H <= 0) return 0;
    const int m = chatBar.GetLeft(), t = chatBar.GetTop();
    const int h = chatBar.IsCreated() ? chatBar.GetHeight() : 0;
    chatBar.SetWidth(W - 2 * m);
    const int w = chatBar.GetWidth();
    const int avail = H - 3 * m - 2 * h - t;
    transcriptBox.Move(m, t + h, w, int(avail * 0.8));
    questionBar.Move(m, transcriptBox.GetTop() + transcriptBox.GetHeight() + 2 * m, w, -1);
    questionBox.Move(questionBar.GetLeft(), questionBar.GetTop() + questionBar.GetHeight(), w, int(avail * 0.2));
    templateCombo.SetWidth(questionBar.GetWidth() - templateCombo.GetLeft());
    roleCombo.SetWidth(questionBar.GetWidth() - roleCombo.GetLeft());
    return 0;
}

void rg_AILiaoTianJieMianLei::LoadOrSaveSettings(int mode) {
    gComponentConfig.isSaving = mode;
    gComponentConfig.sectionName = kChatSettingsSection;
    if (mode == 0 && contextCountProperty != int(0x80000000))
        contextCombo.SelectByText(std::to_wstring(contextCountProperty));
    gComponentConfig.SyncComboBox(contextCombo, L"");
    gComponentConfig.SyncComboBox(roleCombo, L"角色定义");
    gComponentConfig.SyncComboBox(templateCombo, L"提问句型");
    gComponentConfig.SyncRichEdit(questionBox, L"我的提问");
    gComponentConfig.SyncCheckBox(clearAfterSendCheck, L"问后清空提问");
    gComponentConfig.SyncCheckBox(enterSendsCheck, L"回车键发送");
    if (mode) {
        CWString lastFile;
        gComponentConfig.SaveToFile(lastFile);
    }
}

// ---- commands ------------------------------------------------------------------------------------

int rg_AILiaoTianJieMianLei::HandleButtonClick(CVolObject* source) {
    if (source == &sendButton) {
        Send();
    } else if (source == &copyAnswerButton) {
        if (!answerHistory.empty()) SetClipboardText(answerHistory.back());
    } else if (source == &copyCodeButton) {
        SetClipboardText(codeText);
    } else if (source == &pasteButton) {
        // Nothing to paste leaves the question as it is.
        CWString text = GetClipboardText();
        if (!text.empty()) SetQuestionText(text);
    } else if (source == &newChatButton) {
        TranscriptWriter writer(transcriptBox);
        transcriptBox.SetText(L"");
        questionHistory.clear();
        answerHistory.clear();
    }
    return 0;
}

int rg_AILiaoTianJieMianLei::OnButtonReleased(CVolObject* source) {
    if (source == &sendButton) ScrollTranscriptToEnd();
    return 0;
}

int rg_AILiaoTianJieMianLei::OnComboItemChosen(CVolObject* source) {
    if (source == &templateCombo) SetQuestionText(templateCombo.GetCurrentText());
    return 0;
}

void rg_AILiaoTianJieMianLei::SetQuestionText(const CWString& text) {
    if (questionBox.IsCreated()) questionBox.StreamInText(text, 0);
    else questionBox.caption = text;
}

void rg_AILiaoTianJieMianLei::PutQuestionBack(const CWString& question) {
    questionBox.SetText(question);
    questionBox.SetSelection(questionBox.GetTextLength(), 0);
}

void rg_AILiaoTianJieMianLei::GetRecentHistory(int count, CMStringArray& questions, CMStringArray& answers) const {
    const int pairs = int(std::min(questionHistory.size(), answerHistory.size()));
    const int n = count == -1 ? pairs : std::min(count, pairs);
    for (int k = pairs - std::max(n, 0); k < pairs; ++k) {
        questions.push_back(questionHistory[size_t(k)]);
        answers.push_back(answerHistory[size_t(k)]);
    }
}

void rg_AILiaoTianJieMianLei::ScrollTranscriptToEnd() {
    {
        TranscriptWriter writer(transcriptBox);
        transcriptBox.SetSelection(std::max(0, transcriptBox.GetTextLength() - 1), 0);
    }
    if (transcriptBox.IsCreated()) transcriptBox.SetFocus();
    std::shared_ptr<bool> alive = alive_;
    PumpPendingMessages();  // lets the box scroll to the caret
    if (!*alive) return;
    if (questionBox.IsCreated()) questionBox.SetFocus();
}

int rg_AILiaoTianJieMianLei::HandleQuestionKey(CVolObject* source, int character) {
    if (source != &questionBox || (character != 13 && character != 10)) return 0;
    const bool ctrl = (VolGetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    if ((enterSendsCheck.checked != 0) == ctrl) return 0;  // a new line
    // The box has put the key's line break in already.
    SetQuestionText(RemoveBreakBeforePosition(questionBox.GetText(), questionBox.GetSelStart()));
    HandleButtonClick(&sendButton);
    return -1;
}

void rg_AILiaoTianJieMianLei::Send() {
    if (sendButton.GetCaption() != kChatSendCaption) return;
    std::shared_ptr<bool> alive = alive_;
    if (questionBox.GetText().empty()) {
        SetButtonCaption(sendButton, kChatEmptyQuestionCaption);
        questionBox.SetFocus();
        rg_LuoJiXingLei never;
        WaitPumpingMessagesUntilFlag(never, 2000);
        if (*alive) SetButtonCaption(sendButton, kChatSendCaption);
        return;
    }
    rg_DrenvikShiJianCeLiangLei stopwatch;
    SetButtonCaption(sendButton, kChatWaitingCaption);
    CWString question = questionBox.GetText();
    question.TrimAll();
    if (clearAfterSendCheck.checked) questionBox.SetText(L"");
    else PutQuestionBack(question);
    {
        TranscriptWriter writer(transcriptBox);
        writer.Append(L"我 ", Format(15, kGreen), Indent(5));
        writer.Append(L"\r\n" + question + L"\r\n\r\n", Format(11, kQuestionColour, kSegmentStyleBold), Indent(5), 1);
    }
    ScrollTranscriptToEnd();
    if (!*alive) return;

    const CWString countText = contextCombo.GetCurrentText();
    const long long wanted = countText.empty() ? 5 : WideTextToInt(countText);
    CMStringArray hq, ha;
    GetRecentHistory(int(std::clamp<long long>(wanted, INT_MIN, INT_MAX)), hq, ha);
    const CWString role = roleCombo.GetCurrentText();
    // The model asked is the one the answer names, whatever the list shows once the answer is in.
    CWString model;
    modelTextEvent.Raise(this, &model);
    RemoveParenthesizedPart(model);
    CWString answer, error;
    askEvent.Raise(this, question, &answer, role, hq, ha, &error);
    if (!*alive) return;  // the window closed while the answer was awaited

    if (answer.empty()) {
        {
            TranscriptWriter writer(transcriptBox);
            writer.Append(error + L"\r\n\r\n", Format(11, kRed), NoParagraph(), 1);
        }
        if (clearAfterSendCheck.checked) PutQuestionBack(question);
    } else {
        questionHistory.push_back(question);
        answerHistory.push_back(answer);
        AppendAnswer(answer, stopwatch.GetElapsedText(L""), model);
    }
    SetButtonCaption(sendButton, kChatSendCaption);
    ScrollTranscriptToEnd();
}

void rg_AILiaoTianJieMianLei::AppendAnswer(const CWString& answer, const CWString& elapsed, const CWString& model) {
    CMStringArray texts;
    rg_ZhengShuShuZuLei types;
    SplitMarkdownSegments(answer, texts, types);

    TranscriptWriter writer(transcriptBox);
    writer.Append(L"AI ", Format(15, kGreen), Indent(5));
    writer.Append(L"(" + model + L") ", Format(11, kGreen), NoParagraph());
    writer.Append(elapsed, Format(11, kGrey), NoParagraph());
    rg_ChaoJiBianJiKuangZiFuGeShi last = Format(13, kGrey);
    writer.Append(L"\r\n", last, NoParagraph());
    for (size_t i = 0; i < texts.size() && i < types.size(); ++i) {
        const AnswerSegmentStyle& s = GetAnswerSegmentStyle(types[i]);
        last = Format(s.pointSize, int(s.colour), s.styleBits);
        writer.Append(texts[i], last, Indent(s.indent));
    }
    codeText = CollectCodeText(texts, types);
    writer.Append(L"\r\n\r\n", last, NoParagraph(), 1);
}
