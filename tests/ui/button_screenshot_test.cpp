// A form of buttons and check boxes in their states, with icons, opened for real at two DPI factors;
// the screenshots are saved for a look.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "platform/app_instance.h"
#include "platform/dpi.h"
#include "platform/system.h"
#include "support/ui_helpers.h"
#include "ui/button.h"

namespace {

const char kPlayIcon[] =
    "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 16 16'>"
    "<circle cx='8' cy='8' r='7' fill='#2f8f5b'/><path d='M6 4.5 L11.5 8 L6 11.5 Z' fill='#ffffff'/></svg>";
const char kStopIcon[] =
    "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 16 16'>"
    "<rect x='1' y='1' width='14' height='14' rx='3' fill='#c0392b'/>"
    "<rect x='5' y='5' width='6' height='6' fill='#ffffff'/></svg>";

class Gallery : public CVolWinForm {
    VOL_CLASS(Gallery, CVolWinForm, "test::ButtonGallery")
    VOL_MEMBERS()

public:
    Gallery() { SetText(L"按钮与选中框"); }
    ~Gallery() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    int GetDesignWidth() const override { return ScaleDesignValue(480); }
    int GetDesignHeight() const override { return ScaleDesignValue(250); }

    void CreateChildren() override {
        const wchar_t* captions[4] = {L"刷新列表", L"悬停", L"按下", L"已禁用"};
        for (int i = 0; i < 4; ++i) {
            plain[i].SetCaption(captions[i]);
            plain[i].SetBaseColor(i % 2 ? 0x0060C0 : 0x808000);
            CreateChild(plain[i], 10 + i * 115, 10, 105, 34);
        }
        const char* sources[4] = {kPlayIcon, kPlayIcon, kStopIcon, kStopIcon};
        const wchar_t* iconCaptions[4] = {L"运行模型", L"悬停图标", L"停止", L""};
        for (int i = 0; i < 4; ++i) {
            icon[i].SetCaption(iconCaptions[i]);
            icon[i].iconWidth = icon[i].iconHeight = 16;
            icon[i].iconSources[0] = CVolMem(std::string_view(sources[i]));
            icon[i].hoverIconTransform = 2;
            CreateChild(icon[i], 10 + i * 115, 54, 105, 34);
        }
        progress.SetCaption(L"下载中 60%");
        progress.progress = 60;
        progress.progressColor = 0x9CD9A8;
        CreateChild(progress, 10, 98, 220, 34);
        twoLines.SetCaption(L"两行\r\n标题文字");
        twoLines.SetBaseColor(0x0060C0);
        CreateChild(twoLines, 240, 98, 220, 44);

        const wchar_t* boxCaptions[4] = {L"未选中", L"已选中", L"圆形标记", L"圆形选中"};
        for (int i = 0; i < 4; ++i) {
            box[i].SetCaption(boxCaptions[i]);
            box[i].roundMarks = i >= 2;
            box[i].checked = i % 2;
            CreateChild(box[i], 10 + i * 115, 156, 105, 28);
        }
        hoverBox.SetCaption(L"悬停并选中");
        hoverBox.checked = 1;
        CreateChild(hoverBox, 10, 196, 140, 28);
        roundHover.SetCaption(L"圆形悬停");
        roundHover.roundMarks = 1;
        CreateChild(roundHover, 160, 196, 140, 28);
    }

    // States that need the mouse are set directly.
    void ShowStates() {
        plain[1].state = kButtonHover;
        plain[2].state = kButtonPressed;
        plain[3].state = kButtonDisabled;
        icon[1].state = kButtonHover;
        icon[2].state = kButtonPressed;
        hoverBox.state = kButtonHover;
        roundHover.state = kButtonHover;
        for (rg_DrenvikAnNiu1* b : {&plain[1], &plain[2], &plain[3], &icon[1], &icon[2],
                                    static_cast<rg_DrenvikAnNiu1*>(&hoverBox), static_cast<rg_DrenvikAnNiu1*>(&roundHover)})
            b->Paint();
    }

    rg_DrenvikAnNiu1 plain[4];
    rg_DrenvikAnNiu1 icon[4];
    rg_DrenvikAnNiu1 progress;
    rg_DrenvikAnNiu1 twoLines;
    rg_DrenvikXuanZhongKuang1 box[4];
    rg_DrenvikXuanZhongKuang1 hoverBox;
    rg_DrenvikXuanZhongKuang1 roundHover;
};

class ButtonScreenshot : public ::testing::TestWithParam<double> {
protected:
    void SetUp() override { ASSERT_TRUE(icons.Loaded()); }
    void TearDown() override { SetDpiFactorsForTest(1.0); }
    ScopedIconResources icons;
};

}  // namespace

TEST_P(ButtonScreenshot, FormOfStates) {
    SetDpiFactorsForTest(GetParam());
    auto form = std::make_unique<Gallery>();
    ASSERT_TRUE(form->LoadWindow());
    form->ShowStates();
    PumpMessagesFor(200);
    int w = 0, h = 0;
    ASSERT_TRUE(form->icon[0].normalIcon.GetSize(w, h));
    EXPECT_EQ(w, int(16 * GetParam()));
    std::wstring name = GetParam() > 1.0 ? L"kelvaro_buttons_150.png" : L"kelvaro_buttons_100.png";
    std::wstring path = SaveWindowScreenshot(form->GetHwnd(), name);
    ASSERT_FALSE(path.empty());
    std::printf("screenshot: %ls\n", path.c_str());
}

INSTANTIATE_TEST_SUITE_P(Dpi, ButtonScreenshot, ::testing::Values(1.0, 1.5));
