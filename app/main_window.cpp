#include "app/main_window.h"

#include "app/globals.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/seams.h"
#include "platform/shell.h"
#include "tree/browse_folder_window.h"
#include "ui/input_box.h"
#include "util/component_config.h"
#include "util/files.h"
#include "util/link_opener.h"
#include "util/path_parts.h"
#include "util/system_helpers.h"

const wchar_t kPresetModelList[] =
    L"以下DeepSeek||-1||1\r\ndeepseek-r1:1.5b\r\ndeepseek-r1:7b\r\ndeepseek-r1:8b\r\ndeepseek-r1:14b\r\n"
    L"deepseek-r1:32b\r\ndeepseek-r1:70b\r\ndeepseek-r1:671b\r\n"
    L"以下通义2.5||-1||1\r\nqwen2.5:latest\r\nqwen2.5:3b\r\nqwen2.5:7b\r\nqwen2.5:14b\r\nqwen2.5:32b\r\nqwen2.5:72b\r\n"
    L"以下羊驼3.1||-1||1\r\nllama3.1:latest\r\nllama3.1:8b\r\nllama3.1:70b\r\nllama3.1:405b\r\n"
    L"以下羊驼3.2、GLM4、PHI4||-1||1\r\nllama3.2:latest\r\nphi4:latest\r\nglm4:latest\r\n"
    L"以下杰玛2||-1||1\r\ngemma2:latest\r\ngemma2:2b\r\ngemma2:9b\r\ngemma2:27b";

namespace {

constexpr UINT kFirstRefreshMessage = WM_APP + 0x101;
constexpr wchar_t kButtonFont[] = L"微软雅黑, 13, 0, 0, 0, 0, 0";
constexpr wchar_t kInfoCaption[] = L"信息:";
constexpr wchar_t kRunningSuffix[] = L"执行中";
constexpr wchar_t kChangingDirCaption[] = L"正在修改模型目录..";
constexpr int kTeal = 0x808000;
constexpr int kAmber = 0x0060C0;

CommandResult RunHidden(const CWString& commandLine) {
    CommandResult r;
    r.exitCode = RunConsoleCommand(commandLine, r.output, r.errors, true, L"");
    return r;
}

CWString Decimal(int value) { return CWString(std::to_wstring(value)); }

// The user's own folder, where Ollama keeps ".ollama" by default; without a trailing backslash.
// Asked for itself: the documents folder may have been moved elsewhere.
CWString UserProfileFolder() {
    CWString profile = GetSpecialFolderPath(12);
    if (profile.empty()) profile = GetParentPath(WithoutTrailingBackslash(GetSpecialFolderPath(1)), 0);
    return FolderWithoutTrailingBackslash(profile);
}

constexpr wchar_t kKelvaroPage[] = L"https://www.drenvik.com/kelvaro/";

// Before the banner's window exists: its home page and the two custom slots (the Ollama home page
// and its installer); slots 2 and 3 stay empty.
void ConfigureBanner(rg_DrenvikPinPaiHengFuLei1& banner) {
    banner.SetHomePageLink(kKelvaroPage);
    const struct { const wchar_t* text; int icon; } slots[] = {{L"Ollama官网", 503}, {L"Ollama下载", 504}};
    for (int i = 0; i < 2; ++i) {
        rg_DrenvikPinPaiHengFuLei1::SetCustomLinkText(banner.customLinks[i], slots[i].text);
        rg_DrenvikPinPaiHengFuLei1::SetCustomButtonIcon(banner.customButtons[i], slots[i].icon);
        banner.customPresent[size_t(i)] = 1;
    }
    for (int32_t& width : banner.customWidths) width = 120;
}

// After creation: both the link and the button of a slot carry its tooltip.
void TipBannerSlots(rg_DrenvikPinPaiHengFuLei1& banner) {
    const CWString tips[] = {CWString(kOllamaHomePage) + L" 可以在官网查找模型名称",
                             CWString(kOllamaDownloadAddress) + L"   建议使用迅雷下载速度快"};
    for (int i = 0; i < 2; ++i) {
        banner.customLinks[i].SetTipText(tips[i]);
        banner.customButtons[i].SetTooltip(tips[i]);
    }
}

}  // namespace

rg_ZhuChuangKouLei::rg_ZhuChuangKouLei()
    : runCommand(RunHidden), startVisible([](const CWString& line) { return StartProcess(line, SW_SHOWNORMAL); }) {
    SetText(kMainWindowTitle);
    maxButton = true;
    minButton = true;
}

rg_ZhuChuangKouLei::~rg_ZhuChuangKouLei() {
    DetachEvents();
    DestroyOwnWindow();
    chatPanel.reset();
}

void rg_ZhuChuangKouLei::BindEvents() {
    VOL_BIND(Resized, &rg_ZhuChuangKouLei::OnWindowResize);
    VOL_BIND(FirstActivated, &rg_ZhuChuangKouLei::OnFirstActivate);
    VOL_BIND(Created, &rg_ZhuChuangKouLei::OnWindowCreate);
    VOL_BIND(Destroyed, &rg_ZhuChuangKouLei::OnWindowDestroy);
    for (rg_DrenvikAnNiu1* b : {&downloadButton, &createButton, &copyButton, &restoreDirButton, &changeDirButton,
                             &stopAllButton, &stopButton, &runButton, &deleteButton, &showButton, &refreshButton})
        VOL_BIND(b->Clicked, &rg_ZhuChuangKouLei::OnButtonClick);
    VOL_BIND(banner.customButtonEvent, &rg_ZhuChuangKouLei::OnBannerButton);
    CVolWinForm::BindEvents();
}

void rg_ZhuChuangKouLei::CreateChildren() {
    auto button = [this](rg_DrenvikAnNiu1& b, const wchar_t* caption, int y, int color, const wchar_t* tip) {
        b.SetCaption(caption);
        b.SetText(caption);
        b.SetFontText(kButtonFont);
        b.SetBaseColor(color);
        CreateChild(b, 9, y, 240, 37);
        b.SetTooltip(tip);
    };

    modelNameCombo.SetCaption(L"模型名称");
    modelNameCombo.SetListText(kPresetModelList);
    modelNameCombo.SelectIndex(2);
    modelNameCombo.SetFontText(kButtonFont);
    modelNameCombo.style = 1;
    modelNameCombo.Refresh();
    CreateChild(modelNameCombo, 9, 635, 240, 37);

    button(downloadButton, L"下载指定模型", 595, kTeal,
           L"打开外部cmd执行\"ollama run 模型名称\"命令行，模型名称可以自己去Ollama官网查找");
    ConfigureBanner(banner);
    CreateChild(banner, 0, 0, 1203, 61);
    TipBannerSlots(banner);
    button(createButton, L"根据模型文件创建", 451, kTeal, L"使用 ollama create 命令行");
    button(copyButton, L"复制当前模型", 411, kTeal, L"使用 ollama cp 命令行");
    button(restoreDirButton, L"恢复默认模型目录", 542, kAmber,
           L"修改环境变量 OLLAMA_MODELS 的目录路径值。默认模型目录通常位于 C:\\Users\\你的用户名\\.ollama");
    button(changeDirButton, L"更换模型目录", 503, kAmber, L"修改环境变量 OLLAMA_MODELS 的目录路径值");
    button(stopAllButton, L"停止所有模型", 358, kAmber, L"先使用 ollama ps 命令行，再使用 ollama stop 命令行");
    button(stopButton, L"停止当前模型", 319, kAmber, L"使用 ollama stop 命令行");
    button(runButton, L"运行当前模型", 279, kAmber, L"使用 ollama run 命令行");
    button(deleteButton, L"删除当前模型", 228, kTeal, L"使用 ollama rm 命令行");
    button(showButton, L"显示当前模型", 189, kTeal, L"使用 ollama show 命令行");

    modelList.SetFontText(L"微软雅黑, 16, 0, 0, 0, 0, 0");
    modelList.SetCaption(L"模型列表");
    modelList.numberRows = 1;
    modelList.Refresh();
    CreateChild(modelList, 9, 99, 1141, 41);

    button(refreshButton, L"刷新模型列表", 149, kTeal, L"使用 ollama list 命令行");
}

// ---- handlers ------------------------------------------------------------------------------------

int rg_ZhuChuangKouLei::OnWindowCreate(CVolObject*) {
    LoadOrSaveSettings(0);
    return 0;
}

int rg_ZhuChuangKouLei::OnFirstActivate(CVolObject*) {
    // Activation comes before the window's first size and paint.
    ::PostMessageW(GetHwnd(), kFirstRefreshMessage, 0, 0);
    return 0;
}

bool rg_ZhuChuangKouLei::DispatchWindowMessage(VolMessage& m) {
    if (m.message != kFirstRefreshMessage) return CVolWinForm::DispatchWindowMessage(m);
    ::RedrawWindow(GetHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    HandleButtonClick(&refreshButton);
    return true;
}

int rg_ZhuChuangKouLei::OnWindowResize(CVolObject*) { return LayoutChildren(); }

int rg_ZhuChuangKouLei::OnWindowDestroy(CVolObject*) {
    chatPanel.reset();  // saves its section while its window is still there
    LoadOrSaveSettings(1);
    return 0;
}

int rg_ZhuChuangKouLei::OnButtonClick(CVolObject* sender) { return HandleButtonClick(sender); }

int rg_ZhuChuangKouLei::OnBannerButton(CVolObject* sender, int index) { return HandleBannerButton(sender, index); }

int rg_ZhuChuangKouLei::OnChatModelText(CVolObject*, CWString* text) {
    if (text) *text = modelList.GetCurrentText();
    return 0;
}

int rg_ZhuChuangKouLei::AskLocalModel(CVolObject*, const CWString& question, CWString* answer, const CWString& role,
                                      const CMStringArray& historyQuestions, const CMStringArray& historyAnswers,
                                      CWString* error) {
    CWString answerText, errorText;
    CWString model = modelList.GetCurrentText();
    int called = 0;
    if (model.empty()) {
        errorText = L"请先刷新模型列表并选择一个模型用于聊天。如果还没安装Ollama，请先安装后再刷新。";
    } else {
        // The client takes the size part off the list item itself.
        CWString host = Seams().remoteHost(kOllamaServerAddress);
        answerText = chatClient.AskChat(question, model, role, historyQuestions, historyAnswers, kChatMaxTokens, L"v1",
                                        errorText, host, L"", L"", 10, 0, 1.0, 1.0, 0.0, 0.0);
        called = 1;
    }
    if (answer) *answer = answerText;
    if (error) *error = errorText;
    return called;
}

// ---- layout --------------------------------------------------------------------------------------

rg_AILiaoTianJieMianLei* rg_ZhuChuangKouLei::GetOrCreateChatPanel() {
    if (chatPanel) return chatPanel.get();
    chatPanel = rg_AILiaoTianJieMianLei::CreateInstance();
    VOL_BIND(chatPanel->modelTextEvent, &rg_ZhuChuangKouLei::OnChatModelText);
    VOL_BIND(chatPanel->askEvent, &rg_ZhuChuangKouLei::AskLocalModel);
    chatPanel->AttachEventListener();
    chatPanel->contextCountProperty = -1;
    const int w = GetClientWidth(), h = GetClientHeight();
    const int m = ScaleByDpi(5);
    const int r = refreshButton.GetLeft() + refreshButton.GetWidth();
    const int t = refreshButton.GetTop();
    chatPanel->SetText(L"");
    chatPanel->CreateInParent(*this, r, t, w - r - m, h - m - t, 0xFFFF);
    return chatPanel.get();
}

int rg_ZhuChuangKouLei::LayoutChildren() {
    const int w = GetClientWidth(), h = GetClientHeight();
    banner.SetWidth(w);
    modelList.SetWidth(w - 2 * modelList.GetLeft());
    rg_AILiaoTianJieMianLei* panel = GetOrCreateChatPanel();
    const int r = refreshButton.GetLeft() + refreshButton.GetWidth();
    const int t = refreshButton.GetTop();
    panel->Move(r, t, w - r, h - t);
    return 0;
}

int rg_ZhuChuangKouLei::HandleBannerButton(CVolObject* sender, int index) {
    if (sender != &banner) return 0;
    CWString target;
    if (index == 0) target = kOllamaHomePage;
    else if (index == 1) target = kOllamaDownloadAddress;
    if (!target.empty()) OpenLinkOrPath(target, L"");
    return 0;
}

// ---- settings ------------------------------------------------------------------------------------

void rg_ZhuChuangKouLei::LoadOrSaveSettings(int mode) {
    gComponentConfig.isSaving = mode;
    gComponentConfig.sectionName = L"主界面";
    gComponentConfig.SyncComboBox(modelNameCombo, L"");
    if (mode) {
        // A run whose list could not be filled keeps the model remembered from before.
        CWString current = modelList.GetCurrentText();
        gComponentConfig.WriteText(L"模型列表", current.empty() ? rememberedModel : current);
        CWString lastFile;
        gComponentConfig.SaveToFile(lastFile);
    } else {
        rememberedModel = gComponentConfig.ReadText(L"模型列表", L"");
    }
}

// ---- model commands ------------------------------------------------------------------------------

rg_DrenvikAnNiu1* rg_ZhuChuangKouLei::ButtonOf(CVolObject* sender) {
    for (rg_DrenvikAnNiu1* b : {&downloadButton, &createButton, &copyButton, &restoreDirButton, &changeDirButton,
                             &stopAllButton, &stopButton, &runButton, &deleteButton, &showButton, &refreshButton})
        if (sender == b) return b;
    return nullptr;
}

int rg_ZhuChuangKouLei::ShowInfo(const CWString& text, const CWString& caption, UINT type) {
    return ShowMessageBoxOwned(text, type, caption, nullptr);
}

void rg_ZhuChuangKouLei::SetButtonCaption(rg_DrenvikAnNiu1& button, const CWString& caption) {
    button.SetCaption(caption);
    button.SetText(caption);
}

int rg_ZhuChuangKouLei::HandleButtonClick(CVolObject* sender) {
    rg_DrenvikAnNiu1* button = ButtonOf(sender);
    if (!button) return 0;
    const CWString saved = button->GetCaption();
    button->caption = saved;
    if (button == &downloadButton) {
        RunDownload(saved);
        return 0;
    }
    // The model-directory buttons show their own caption, only while setx runs.
    if (button == &restoreDirButton) {
        RunRestoreDefaultDir(*button, saved);
        return 0;
    }
    if (button == &changeDirButton) {
        RunChangeDir(*button, saved);
        return 0;
    }

    SetButtonCaption(*button, saved + kRunningSuffix);
    if (button == &refreshButton) RunRefresh(*button, saved);
    else if (button == &showButton) RunModelCommand(*button, saved, L"show", true);
    else if (button == &deleteButton) RunDelete(*button, saved);
    else if (button == &copyButton) RunCopy(*button, saved);
    else if (button == &createButton) RunCreate(*button, saved);
    else if (button == &runButton) RunModelCommand(*button, saved, L"run", false);
    else if (button == &stopButton) RunModelCommand(*button, saved, L"stop", false);
    else if (button == &stopAllButton) RunStopAll(*button, saved);
    return 0;
}

void rg_ZhuChuangKouLei::Report(rg_DrenvikAnNiu1& button, const CWString& saved, const CommandResult& result,
                                bool quietOnSuccess) {
    SetButtonCaption(button, saved);
    if (CommandFailed(result)) {
        ShowFailure(saved, result);
        return;
    }
    if (quietOnSuccess) return;
    // A tool that reports only on standard error (with exit code 0) still has something to say.
    CWString text = CleanConsoleOutput(result.output.empty() ? result.errors : result.output);
    SetClipboardText(text);
    ShowInfo(text, saved + L" 执行成功：" + Decimal(result.exitCode));
}

void rg_ZhuChuangKouLei::ShowFailure(const CWString& saved, const CommandResult& result) {
    CWString text = FailureText(result);
    SetClipboardText(text);
    ShowInfo(text, saved + L" 执行失败：" + Decimal(result.exitCode));
}

int rg_ZhuChuangKouLei::EnsureModelSelected(rg_DrenvikAnNiu1& button, const CWString& saved) {
    auto selected = [this] {
        int i = modelList.GetSelectedIndex();
        return i >= 0 && i < modelList.GetItemCount();
    };
    if (!selected()) HandleButtonClick(&refreshButton);
    if (selected()) return 1;
    SetButtonCaption(button, saved);
    ShowInfo(L"还没有下载安装模型", kInfoCaption);
    return 0;
}

CWString rg_ZhuChuangKouLei::GetSelectedModelName() const { return ModelNameOfItem(modelList.GetCurrentText()); }

CWString rg_ZhuChuangKouLei::TakeSelectedName(rg_DrenvikAnNiu1& button, const CWString& saved) {
    if (!EnsureModelSelected(button, saved)) return {};
    CWString name = GetSelectedModelName();
    if (IsValidModelName(name)) return name;
    SetButtonCaption(button, saved);
    ShowInfo(kInvalidModelNameText, kInfoCaption);
    return {};
}

void rg_ZhuChuangKouLei::FillModelList(std::wstring_view listOutput) {
    CWString reselect = modelList.GetCurrentText();
    if (reselect.empty()) reselect = rememberedModel;
    modelList.refreshEnabled = 0;  // one repaint for the whole list
    modelList.items.RemoveAll();
    modelList.groupNames.clear();
    modelList.selectedIndex = -1;
    for (const ModelTableRow& row : ParseModelTable(listOutput)) modelList.AddItem(row.ItemText(), L"");
    modelList.refreshEnabled = 1;
    modelList.SelectByText(reselect);
    int i = modelList.GetSelectedIndex();
    if (i < 0 || i >= modelList.GetItemCount()) modelList.SelectIndex(0);
    modelList.Refresh();
}

void rg_ZhuChuangKouLei::RunRefresh(rg_DrenvikAnNiu1& button, const CWString& saved) {
    CommandResult r = runCommand(L"ollama list");
    if (!r.output.empty()) FillModelList(r.output);
    Report(button, saved, r, true);
}

void rg_ZhuChuangKouLei::RunDownload(const CWString& saved) {
    CWString name = modelNameCombo.GetCurrentText();
    name.RemoveAllBlanks();
    if (!IsValidModelName(name)) {
        ShowInfo(kInvalidModelNameText, kInfoCaption);
        return;
    }
    if (!startVisible(BuildDownloadCommand(name))) ShowInfo(kCmdNotRunText, saved + L" 执行失败：-1");
}

void rg_ZhuChuangKouLei::RunModelCommand(rg_DrenvikAnNiu1& button, const CWString& saved, const wchar_t* verb,
                                         bool report) {
    CWString name = TakeSelectedName(button, saved);
    if (name.empty()) return;
    CommandResult r = runCommand(BuildModelCommand(verb, name));
    if (report) Report(button, saved, r, false);
    else SetButtonCaption(button, saved);
}

void rg_ZhuChuangKouLei::RunDelete(rg_DrenvikAnNiu1& button, const CWString& saved) {
    CWString name = TakeSelectedName(button, saved);
    if (name.empty()) return;
    // The name is taken before asking, and the box is owned by the window, so the model deleted is
    // the one the question names.
    CWString item = modelList.GetCurrentText();
    if (ShowMessageBox(L"确定要删除当前模型吗？当前模型是：" + item, kInfoCaption, MB_OKCANCEL) != IDOK) {
        SetButtonCaption(button, saved);
        return;
    }
    Report(button, saved, runCommand(BuildModelCommand(L"rm", name)), false);
}

CWString rg_ZhuChuangKouLei::AskNewModelName(rg_DrenvikAnNiu1& button, const CWString& saved, std::wstring_view prompt,
                                             CWString initial) {
    bool ok = ShowInputDialog(prompt, L"", initial);
    initial.RemoveAllBlanks();
    if (ok && IsValidModelName(initial)) return initial;
    SetButtonCaption(button, saved);
    // An empty name counts as cancelling; any other name the tool could not take is refused.
    if (ok && !initial.empty()) ShowInfo(kInvalidModelNameText, kInfoCaption);
    return {};
}

void rg_ZhuChuangKouLei::RunCopy(rg_DrenvikAnNiu1& button, const CWString& saved) {
    CWString name = TakeSelectedName(button, saved);
    if (name.empty()) return;
    CWString newName = AskNewModelName(button, saved, L"复制当前模型后新模型的名称（只能输入英文数字短横）：", L"");
    if (newName.empty()) return;
    Report(button, saved, runCommand(BuildCopyCommand(name, newName)), false);
}

void rg_ZhuChuangKouLei::RunCreate(rg_DrenvikAnNiu1& button, const CWString& saved) {
    CWString file = BrowseFileIntoControl(GetHwnd(), L"两步第一步：选择模型文件", L"全部文件|*.*|gguf模型|*.gguf");
    if (file.empty()) {
        SetButtonCaption(button, saved);
        return;
    }
    CWString newName = AskNewModelName(
        button, saved, L"两步第二步：根据模型文件所创建模型的名称（只能输入英文数字短横）：", GetFileTitle(file));
    if (newName.empty()) return;
    Report(button, saved, runCommand(BuildCreateCommand(newName, file)), false);
}

void rg_ZhuChuangKouLei::RunStopAll(rg_DrenvikAnNiu1& button, const CWString& saved) {
    CommandResult ps = runCommand(L"ollama ps");
    if (CommandFailed(ps)) {
        SetButtonCaption(button, saved);
        ShowFailure(saved, ps);
        return;
    }
    std::vector<CWString> running;
    if (!ps.output.empty())
        for (const ModelTableRow& row : ParseModelTable(ps.output)) running.push_back(row.ItemText());
    const int n = int(running.size());
    if (n == 0) {
        SetButtonCaption(button, saved);
        ShowInfo(L"没有发现已运行模型！", kInfoCaption);
        return;
    }
    if (ShowMessageBox(BuildStopAllQuestion(running), kInfoCaption, MB_OKCANCEL) == IDOK) {
        for (int k = 1; k <= n; ++k) {
            SetButtonCaption(button, StopProgressCaption(k, n));
            CWString name = ModelNameOfItem(running[size_t(k - 1)]);
            if (IsValidModelName(name)) runCommand(BuildModelCommand(L"stop", name));
        }
    }
    SetButtonCaption(button, saved);
}

// ---- model directory -----------------------------------------------------------------------------

void rg_ZhuChuangKouLei::SetModelsDirectory(rg_DrenvikAnNiu1& button, const CWString& saved, std::wstring_view value,
                                            std::wstring_view done, std::wstring_view failed) {
    SetButtonCaption(button, kChangingDirCaption);
    const bool ok = SetUserEnvironmentVariable(L"OLLAMA_MODELS", value) != 0;
    // Back before the message: the input box leaves this window enabled, and a press meanwhile
    // would take the progress caption for the button's own.
    SetButtonCaption(button, saved);
    if (ok) rg_DrenvikShuRuKuangLei::Show(done, L"", L"");
    else ShowInfo(CWString(failed), kInfoCaption);
}

void rg_ZhuChuangKouLei::RunRestoreDefaultDir(rg_DrenvikAnNiu1& button, const CWString& saved) {
    const CWString done = CWString::Concat(
        {L"已恢复为默认的模型目录，通常位于当前用户文件夹下，如 C:\\Users\\你的用户名\\.ollama\r\n\r\n"
         L"模型目录改变后，如果之前的目录已下载安装了模型，你需要退出Ollama并将目录中的所有文件和文件夹移动到新目录"
         L"\r\n\r\n默认目录：",
         UserProfileFolder(), L"\\.ollama\r\n\r\n重启电脑后新目录才能生效"});
    SetModelsDirectory(button, saved, L"", done, L"恢复默认目录失败！");
}

void rg_ZhuChuangKouLei::RunChangeDir(rg_DrenvikAnNiu1& button, const CWString& saved) {
    // Owned: this window stays disabled until a folder is chosen, so no second window or command
    // starts meanwhile.
    CWString folder = BrowseForFolder(L"请选择一个新模型目录用于保存下载的模型。", L"", GetHwnd());
    // The window hands back existing folders only; one removed meanwhile is not set either.
    if (!IsExistingFolder(folder)) {
        SetButtonCaption(button, saved);
        return;
    }
    folder = FolderWithoutTrailingBackslash(folder);
    const CWString done = CWString::Concat(
        {L"已更换为新的模型目录，如果之前的目录已下载安装了模型，你需要退出Ollama并将目录中的所有文件和文件夹移动到新目录"
         L"\r\n\r\n新目录：",
         folder, L"\r\n\r\n重启电脑后新目录才能生效"});
    SetModelsDirectory(button, saved, folder, done, L"更换新目录失败！");
}
