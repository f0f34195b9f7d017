// The program's only top-level window: the brand banner, the model list, the column of command
// buttons with the model-name box, and the place of the chat panel. The buttons run the ollama
// command line (see model_commands.h for the texts and rules).
#pragma once
#include <functional>
#include <memory>

#include "app/ai_chat_client.h"
#include "app/brand_banner.h"
#include "app/chat_panel.h"
#include "app/model_commands.h"
#include "platform/window.h"
#include "ui/button.h"
#include "ui/combo_box.h"

class rg_ZhuChuangKouLei : public CVolWinForm {
    VOL_CLASS(rg_ZhuChuangKouLei, CVolWinForm, "app::rg_ZhuChuangKouLei")
    VOL_MEMBERS(modelNameCombo, downloadButton, banner, createButton, copyButton, restoreDirButton, changeDirButton,
                stopAllButton, stopButton, runButton, deleteButton, showButton, modelList, refreshButton,
                chatClient, rememberedModel)

public:
    rg_ZhuChuangKouLei();
    ~rg_ZhuChuangKouLei() override;

    int GetDesignWidth() const override { return ScaleDesignValue(1200); }
    int GetDesignHeight() const override { return ScaleDesignValue(683); }
    void BindEvents() override;
    void CreateChildren() override;

    // ---- handlers ----
    int OnWindowCreate(CVolObject* sender);
    // Posts the first refresh: it runs once the window is laid out and painted, so that a box it
    // shows stands over a whole window.
    int OnFirstActivate(CVolObject* sender);
    bool DispatchWindowMessage(VolMessage& m) override;
    int OnWindowResize(CVolObject* sender);
    int OnWindowDestroy(CVolObject* sender);
    int OnButtonClick(CVolObject* sender);
    int OnBannerButton(CVolObject* sender, int index);
    int OnChatModelText(CVolObject* sender, CWString* text);
    // The chat panel's ask event: the selected model on the local server. 1 when the client was
    // called, 0 when no model is selected (the error says so).
    int AskLocalModel(CVolObject* sender, const CWString& question, CWString* answer, const CWString& role,
                      const CMStringArray& historyQuestions, const CMStringArray& historyAnswers, CWString* error);

    rg_AILiaoTianJieMianLei* GetOrCreateChatPanel();
    int LayoutChildren();
    int HandleBannerButton(CVolObject* sender, int index);
    // 0 load, 1 save (and write the file).
    void LoadOrSaveSettings(int mode);

    // ---- model commands ----
    int HandleButtonClick(CVolObject* button);
    // 1 when the model list has a valid selection, after at most one refresh; else 0 after saying so.
    int EnsureModelSelected(rg_DrenvikAnNiu1& button, const CWString& savedCaption);
    CWString GetSelectedModelName() const;
    // Replaces the model list's items from "ollama list" output and selects the previous item again.
    void FillModelList(std::wstring_view listOutput);

    // Runs one command line hidden and waits; tests may replace it.
    std::function<CommandResult(const CWString& commandLine)> runCommand;
    // Starts a program in a window the user sees; false when it cannot start. Tests may replace it.
    std::function<bool(const CWString& commandLine)> startVisible;

    // ---- members, in declaration order ----
    rg_DrenvikZuGeKuang1 modelNameCombo;
    rg_DrenvikAnNiu1 downloadButton;
    rg_DrenvikPinPaiHengFuLei1 banner;
    rg_DrenvikAnNiu1 createButton;
    rg_DrenvikAnNiu1 copyButton;
    rg_DrenvikAnNiu1 restoreDirButton;
    rg_DrenvikAnNiu1 changeDirButton;
    rg_DrenvikAnNiu1 stopAllButton;
    rg_DrenvikAnNiu1 stopButton;
    rg_DrenvikAnNiu1 runButton;
    rg_DrenvikAnNiu1 deleteButton;
    rg_DrenvikAnNiu1 showButton;
    rg_DrenvikZuGeKuang1 modelList;
    rg_DrenvikAnNiu1 refreshButton;
    std::unique_ptr<rg_AILiaoTianJieMianLei> chatPanel;
    // The AI chat client the chat panel's questions go through.
    rg_DrenvikWenZhangGaiXieLei chatClient;
    // The model selected in the last run, from the settings; the first refresh selects it again.
    // Kept apart from the list's caption member, which the combo box draws as its caption.
    CWString rememberedModel;

private:
    void RunDownload(const CWString& saved);
    void RunModelCommand(rg_DrenvikAnNiu1& button, const CWString& saved, const wchar_t* verb, bool report);
    void RunDelete(rg_DrenvikAnNiu1& button, const CWString& saved);
    void RunCopy(rg_DrenvikAnNiu1& button, const CWString& saved);
    void RunCreate(rg_DrenvikAnNiu1& button, const CWString& saved);
    void RunStopAll(rg_DrenvikAnNiu1& button, const CWString& saved);
    void RunRefresh(rg_DrenvikAnNiu1& button, const CWString& saved);
    void RunRestoreDefaultDir(rg_DrenvikAnNiu1& button, const CWString& saved);
    void RunChangeDir(rg_DrenvikAnNiu1& button, const CWString& saved);
    // Sets OLLAMA_MODELS through setx under the caption "正在修改模型目录..", restores the caption,
    // then shows `done` in the input box or `failed` in a message box.
    void SetModelsDirectory(rg_DrenvikAnNiu1& button, const CWString& saved, std::wstring_view value,
                            std::wstring_view done, std::wstring_view failed);
    // The selected model's name when it is valid; else restores the caption, says so, and gives "".
    CWString TakeSelectedName(rg_DrenvikAnNiu1& button, const CWString& saved);
    // Asks for a new model's name (blanks removed); empty after cancel, an empty entry or an invalid
    // name, with the caption restored.
    CWString AskNewModelName(rg_DrenvikAnNiu1& button, const CWString& saved, std::wstring_view prompt,
                             CWString initial);
    // The result boxes: failure always, success unless quietOnSuccess.
    void Report(rg_DrenvikAnNiu1& button, const CWString& saved, const CommandResult& result, bool quietOnSuccess);
    // The failure box, its text also on the clipboard.
    void ShowFailure(const CWString& saved, const CommandResult& result);
    int ShowInfo(const CWString& text, const CWString& caption, UINT type = MB_ICONINFORMATION);
    // Sets a button's caption; its window carries the caption as its text too, for screen readers
    // and other programs that read windows.
    static void SetButtonCaption(rg_DrenvikAnNiu1& button, const CWString& caption);
    rg_DrenvikAnNiu1* ButtonOf(CVolObject* sender);
};

// The window's title before the version name is filled in.
inline constexpr wchar_t kMainWindowTitle[] =
    L"Drenvik·Kelvaro v[版本名称] - Ollama 原本的命令行管理模式很麻烦吧？本软件可视化管理，操作简单！快速对话。比如部署个DeepSeek-R1玩玩？";
// The preset names of the model-name box, in the combo box's list-text form.
extern const wchar_t kPresetModelList[];
