#include <gtest/gtest.h>

#include <deque>
#include <functional>

#include "platform/gdiplus_session.h"
#include "platform/picture.h"
#include "screen_capture.h"
#include "support/ui_helpers.h"
#include "platform/seams.h"
#include "platform/shell.h"
#include "ui/input_box.h"
#include "util/component_config.h"

namespace {

// Steps run from inside Show's wait, one per showing, once the box's window exists.
std::deque<std::function<void()>> gSteps;

void CALLBACK RunNextStep(HWND, UINT, UINT_PTR id, DWORD) {
    if (!GetInputBox().IsCreated() || gSteps.empty()) return;
    ::KillTimer(nullptr, id);
    std::function<void()> step = std::move(gSteps.front());
    gSteps.pop_front();
    step();
}

void Schedule(std::function<void()> step) {
    gSteps.push_back(std::move(step));
    ::SetTimer(nullptr, 0, 10, &RunNextStep);
}

// A left press on the button's visible canvas, where the user's press lands.
void Click(rg_DrenvikAnNiu1& button) {
    ::SendMessageW(button.shownCanvas.GetHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
}

struct Asked {
    CWString text, caption;
    UINT type;
};

struct InputBoxTest : ::testing::Test {
    void TearDown() override { gSteps.clear(); }
    // The key "自定义" of a section of the shared configuration.
    static CWString Stored(const wchar_t* section) {
        gComponentConfig.sectionName = section;
        return gComponentConfig.ReadText(L"自定义", L"");
    }
    static void Store(const wchar_t* section, const wchar_t* value) {
        gComponentConfig.sectionName = section;
        gComponentConfig.WriteText(L"自定义", value);
    }
    std::vector<CWString> Items() {
        std::vector<CWString> out;
        for (int i = 0; i < box.instructionList.GetItemCount(); ++i) out.push_back(box.instructionList.GetItemText(i));
        return out;
    }

    rg_DrenvikShuRuKuangLei& box = GetInputBox();
    std::vector<Asked> asked;
    int answer = IDOK;
    ScopedSeam<decltype(PlatformSeams::messageBox)> boxes{
        &PlatformSeams::messageBox, [this](HWND owner, const CWString& text, const CWString& caption, UINT type) {
            EXPECT_EQ(owner, box.GetHwnd());
            asked.push_back({text, caption, type});
            return answer;
        }};
    GdiplusSession gdiplus;
    ScopedIconResources icons;
};

}  // namespace

TEST(InputBoxMarkers, StripCustomMarker) {
    struct Case { const wchar_t* text; bool onlyCustom; const wchar_t* expected; } cases[] = {
        {L"【自定义】写一篇文章", true, L"写一篇文章"},
        {L"【自定义】写一篇文章", false, L"写一篇文章"},
        {L"【其它】翻译", true, L"【其它】翻译"},
        {L"【其它】翻译", false, L"翻译"},
        {L"【其它】含【自定义】的", true, L"含【自定义】的"},
        {L"没有标记", false, L"没有标记"},
        {L"【未闭合", false, L"【未闭合"},
        {L" 【自定义】前有空格", false, L" 【自定义】前有空格"},
        {L"", true, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rg_DrenvikShuRuKuangLei::StripCustomMarker(c.text, c.onlyCustom), c.expected)
            << CWString(c.text).ToUtf8();
}

TEST_F(InputBoxTest, MessageModeShowsAGreyReadOnlyTextAndAsksNothing) {
    Schedule([&] {
        EXPECT_EQ(box.GetText(), L"信息：");
        EXPECT_EQ(box.closeButton.GetCaption(), L"关闭");
        EXPECT_FALSE(box.okButton.IsVisible());
        EXPECT_FALSE(box.toolbar.IsVisible());
        EXPECT_FALSE(box.instructionList.IsVisible());
        EXPECT_TRUE(box.textBox.IsReadOnly());
        EXPECT_EQ(box.textBox.GetBackColor(), 0xECECEC);
        EXPECT_EQ(box.textBox.GetText(), L"模型目录已经修改。\r\n重新启动电脑后生效。");
        EXPECT_EQ(box.infoBox.GetText(), L"绿色的说明文字");
        EXPECT_GT(box.charCell.width, 0);
        EXPECT_EQ(box.charCell.right, box.charCell.left + box.charCell.width - 1);
        // The hidden toolbar still takes its row; the close button is centred on it.
        EXPECT_EQ(box.closeButton.GetLeft(), box.GetClientWidth() - box.closeButton.GetWidth() - 5);
        EXPECT_EQ(box.closeButton.GetTop(),
                  box.toolbar.GetTop() + box.toolbar.GetHeight() / 2 - box.closeButton.GetHeight() / 2);
        EXPECT_EQ(box.textBox.GetTop(), box.infoBox.GetTop() + box.infoBox.GetHeight() + 5);
        EXPECT_FALSE(SaveScreenAreaOfWindow(box.GetHwnd(), L"kelvaro_input_box_message.png").empty());
        ::PostMessageW(box.GetHwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(rg_DrenvikShuRuKuangLei::Show(L"模型目录已经修改。\r\n重新启动电脑后生效。", L"绿色的说明文字", L""), 0);
    EXPECT_FALSE(box.IsCreated());
    EXPECT_TRUE(asked.empty());
}

TEST_F(InputBoxTest, InputModeConfirmsCancelsAndAsksBeforeDroppingAnEdit) {
    CWString result = L"旧值";
    Schedule([&] {
        EXPECT_EQ(box.GetText(), L"输入：");
        EXPECT_EQ(box.closeButton.GetCaption(), L"取消");
        EXPECT_TRUE(box.okButton.IsVisible());
        EXPECT_TRUE(box.toolbar.IsVisible());
        EXPECT_FALSE(box.textBox.IsReadOnly());
        EXPECT_EQ(box.textBox.GetBackColor(), 0xFFFFFF);
        EXPECT_FALSE(box.importPathsButton.IsVisible());
        EXPECT_EQ(box.toolbar.GetWidth(), box.importPathsButton.GetLeft() + box.importPathsButton.GetWidth());
        EXPECT_FALSE(SaveScreenAreaOfWindow(box.GetHwnd(), L"kelvaro_input_box_input.png").empty());

        box.textBox.SetText(L"改过的内容");
        answer = IDCANCEL;  // refuse to drop the edit
        ::SendMessageW(box.GetHwnd(), WM_CLOSE, 0, 0);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].text, L"内容已经修改，确认要放弃？");
        EXPECT_EQ(asked[0].caption, L"信息:");
        EXPECT_EQ(asked[0].type, 0x3001u);
        EXPECT_TRUE(box.IsCreated());

        Click(box.restoreButton);
        EXPECT_EQ(box.textBox.GetText(), L"初始内容");
        Click(box.clearButton);
        EXPECT_EQ(box.textBox.GetText(), L"");
        ASSERT_TRUE(SetClipboardText(L"剪贴板的文字"));
        Click(box.pasteButton);
        EXPECT_EQ(box.textBox.GetText(), L"剪贴板的文字");
        Click(box.closeButton);  // no question
    });
    EXPECT_EQ(rg_DrenvikShuRuKuangLei::Show(L"初始内容", L"", L"", &result), 0);
    EXPECT_EQ(result, L"旧值");
    EXPECT_EQ(asked.size(), 1u);

    Schedule([&] {
        EXPECT_EQ(box.GetText(), L"自定的标题");
        box.textBox.SetText(L"确认的\r\n文本");
        Click(box.okButton);
    });
    EXPECT_EQ(rg_DrenvikShuRuKuangLei::Show(L"", L"", L"自定的标题", &result), 1);
    EXPECT_EQ(result, L"确认的\r\n文本");

    // "-1" keeps the box's text, and that text is what an edit is measured against.
    Schedule([&] {
        EXPECT_EQ(box.textBox.GetText(), L"确认的\r\n文本");
        EXPECT_EQ(box.textBox.caption, L"确认的\r\n文本");
        ::SendMessageW(box.GetHwnd(), WM_CLOSE, 0, 0);  // unchanged: closes without a question
    });
    EXPECT_EQ(rg_DrenvikShuRuKuangLei::Show(L"-1", L"", L"", &result), 0);
    EXPECT_EQ(asked.size(), 1u);
}

// The edit box shows every line break as CR LF: content with lone LFs or CRs closes unasked.
TEST_F(InputBoxTest, LineBreaksOfTheContentAreNoEdit) {
    CWString result;
    for (const wchar_t* content : {L"a\nb\n", L"a\rb", L"a\r\nb\nc\r"}) {
        Schedule([&] { ::SendMessageW(box.GetHwnd(), WM_CLOSE, 0, 0); });
        EXPECT_EQ(rg_DrenvikShuRuKuangLei::Show(content, L"", L"", &result), 0);
        EXPECT_TRUE(asked.empty()) << asked.size();
    }
    // a real edit still asks
    Schedule([&] {
        box.textBox.SetText(L"a\r\nb!");
        answer = IDOK;
        ::SendMessageW(box.GetHwnd(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(rg_DrenvikShuRuKuangLei::Show(L"a\nb", L"", L"", &result), 0);
    EXPECT_EQ(asked.size(), 1u);
}

TEST_F(InputBoxTest, NestedShowAnswersOnlyItsOwnCaller) {
    CWString outer = L"外层原值";
    CWString inner;
    int innerReturn = -1;
    Schedule([&] {
        Schedule([&] {
            box.textBox.SetText(L"内层确认");
            Click(box.okButton);
        });
        innerReturn = rg_DrenvikShuRuKuangLei::Show(L"内层", L"", L"", &inner);
    });
    EXPECT_EQ(rg_DrenvikShuRuKuangLei::Show(L"外层", L"", L"", &outer), 0);
    EXPECT_EQ(innerReturn, 1);
    EXPECT_EQ(inner, L"内层确认");
    EXPECT_EQ(outer, L"外层原值");
}

TEST_F(InputBoxTest, CustomInstructionsAreListedAddedModifiedAndDeleted) {
    Store(L"测试", L"甲\r\n 【其它】乙 \r\n\r\n");
    CWString result;
    Schedule([&] {
        auto& list = box.instructionList;
        EXPECT_TRUE(list.IsVisible());
        EXPECT_EQ(Items(), (std::vector<CWString>{L"【自定义】甲", L"【其它】乙", L"[-]", L"预设一", L"预设二"}));
        EXPECT_EQ(list.GetSelectedIndex(), -1);

        // Choosing a custom item puts it in without its marker.
        list.SelectIndex(0);
        list.ItemChosen.Raise(&list);
        EXPECT_EQ(box.textBox.GetText(), L"甲");

        // Wrong use is answered with a notice and changes nothing.
        list.SelectIndex(3);
        Click(box.deleteButton);
        Click(box.modifyButton);
        box.textBox.SetText(L" \r\n ");
        Click(box.addButton);
        ASSERT_EQ(asked.size(), 3u);
        EXPECT_EQ(asked[0].text, L"请先选择一个你自己的添加的指令才能删除！");
        EXPECT_EQ(asked[1].text, L"请先选择一个你自己的添加的指令才能修改！");
        EXPECT_EQ(asked[2].text, L"指令为空，不能添加！");
        EXPECT_EQ(asked[2].caption, L"信息:");
        EXPECT_EQ(asked[2].type, UINT(MB_ICONINFORMATION));
        EXPECT_EQ(Items().size(), 5u);

        box.textBox.SetText(L"丙\r\n\r\n【标】丁\r\n  戊 ");
        Click(box.addButton);
        EXPECT_EQ(Items(), (std::vector<CWString>{L"【自定义】丙", L"【标】丁", L"【自定义】戊", L"【自定义】甲",
                                                  L"【其它】乙", L"[-]", L"预设一", L"预设二"}));
        EXPECT_EQ(list.GetSelectedIndex(), 0);
        EXPECT_EQ(box.textBox.GetText(), L"丙\r\n\r\n【标】丁\r\n  戊 ");  // kept
        EXPECT_EQ(Stored(L"测试"), L"丙\r\n【标】丁\r\n戊\r\n甲\r\n【其它】乙");

        // Modify takes the first line and keeps the item's own marker.
        list.SelectIndex(1);
        box.textBox.SetText(L"新的\r\n第二行");
        Click(box.modifyButton);
        list.SelectIndex(2);
        Click(box.modifyButton);
        EXPECT_EQ(list.GetItemText(1), L"【标】新的");
        EXPECT_EQ(list.GetItemText(2), L"【自定义】新的");
        EXPECT_EQ(Stored(L"测试"), L"丙\r\n【标】新的\r\n新的\r\n甲\r\n【其它】乙");

        // Deleting the last custom instruction takes the separator along.
        for (int i = 0; i < 5; ++i) {
            list.SelectIndex(0);
            Click(box.deleteButton);
        }
        EXPECT_EQ(Items(), (std::vector<CWString>{L"预设一", L"预设二"}));
        EXPECT_EQ(Stored(L"测试"), L"");
        Click(box.closeButton);
    });
    rg_DrenvikShuRuKuangLei::Show(L"", L"", L"", &result, L"预设一\r\n预设二", L"指令", L"测试");
    EXPECT_EQ(box.sectionName, L"测试");
}

TEST_F(InputBoxTest, KeysAndDroppedFiles) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const CWString first = CWString(temp) + L"kelvaro_drop_一.txt";
    const CWString second = CWString(temp) + L"kelvaro_drop_二.md";
    for (const CWString& path : {first, second}) {
        HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        ::CloseHandle(f);
    }
    CWString result;
    Schedule([&] {
        HWND text = box.textBox.GetHwnd();
        ::SetFocus(text);
        // Enter makes a line break: the text box is always multi-line.
        ::SendMessageW(text, WM_KEYDOWN, VK_END, 0);
        ::SendMessageW(text, WM_KEYDOWN, VK_RETURN, 0);
        ::SendMessageW(text, WM_CHAR, L'\r', 0);
        EXPECT_EQ(box.textBox.GetText(), L"第一行\r\n");
        EXPECT_TRUE(box.IsCreated());

        rg_WenBenShuZuLei paths;
        paths.Add(first);
        paths.Add(second);
        box.OnFilesDropped(&box.textBox, paths);
        EXPECT_EQ(box.textBox.GetText(), first + L"\r\n" + second);
        box.OnFilesDropped(&box.infoBox, paths);  // only drops on the text box count
        EXPECT_EQ(box.textBox.GetText(), first + L"\r\n" + second);

        box.textBox.SetText(L"第一行");  // back to the initial content: Escape closes without a question
        ::PostMessageW(text, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(rg_DrenvikShuRuKuangLei::Show(L"第一行", L"", L"", &result), 0);
    EXPECT_TRUE(asked.empty());
    ::DeleteFileW(first.c_str());
    ::DeleteFileW(second.c_str());
}

TEST_F(InputBoxTest, ScreenshotWithInstructionList) {
    Store(L"截图", L"我的指令");
    CWString result;
    Schedule([&] {
        EXPECT_EQ(box.instructionList.GetLeft(), 5);
        EXPECT_EQ(box.addButton.GetLeft(), box.instructionList.GetLeft() + box.instructionList.GetWidth() + 7);
        EXPECT_EQ(box.modifyButton.GetLeft(), box.addButton.GetLeft() + box.addButton.GetWidth() - 1);
        EXPECT_EQ(box.deleteButton.GetLeft(), box.modifyButton.GetLeft() + box.modifyButton.GetWidth() - 1);
        EXPECT_EQ(box.textBox.GetTop(), box.instructionList.GetTop() + box.instructionList.GetHeight() + 5);
        EXPECT_FALSE(SaveScreenAreaOfWindow(box.GetHwnd(), L"kelvaro_input_box_list.png").empty());
        Click(box.closeButton);
    });
    rg_DrenvikShuRuKuangLei::Show(L"可以从列表选择一条指令。", L"第一行说明\r\n第二行说明", L"写作助手", &result,
                                  L"写一篇XX的文章\r\n帮我使用中文总结以下内容：XX", L"常用指令", L"截图");
}
