// A small form with the platform components, opened for real; its screenshot is saved for a look.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/components.h"
#include "platform/font.h"
#include "platform/painter.h"
#include "support/ui_helpers.h"
#include "ui/control_foundation.h"

namespace {

class DemoForm : public CVolWinForm {
    VOL_CLASS(DemoForm, CVolWinForm, "test::DemoForm")
    VOL_MEMBERS()

public:
    DemoForm() { SetText(L"演示窗口 [版本名称]"); }
    ~DemoForm() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    int GetDesignWidth() const override { return ScaleDesignValue(420); }
    int GetDesignHeight() const override { return ScaleDesignValue(260); }

    void BindEvents() override {
        VOL_BIND(Created, &DemoForm::OnCreated);
        CVolWinForm::BindEvents();
    }
    void CreateChildren() override {
        board.SetFont(kDefaultFontText);
        title.SetFont(L"微软雅黑, 12, 1, 0, 0, 0, 0");
        title.SetText(L"标签：居中的粗体文字");
        title.alignment = 1;
        title.textColor = 0x008000;
        input.SetFont(kDefaultFontText);
        input.SetText(L"编辑框 Edit box");
        panel.backColor = 0xF0E0D0;
        CreateChild(title, 10, 8, 400, 28);
        CreateChild(board, 10, 44, 250, 150, L"画板的提示");
        CreateChild(panel, 270, 44, 140, 150);
        CreateChild(input, 10, 205, 400, 26);
    }
    void OnCreated(CVolObject*) {
        SetWindowTitleWithVersion(GetHwnd());
        board.SetBackColor(0xFFFFFF);
        board.SetPenColor(0xDB8417);
        board.SetBrushColor(0xFBF1E5);
        board.DrawRectangle(4, 4, 120, 44);
        board.textColor = 0x000000;
        board.DrawText(L"画板 Drawing", 12, 14);
        board.SetPenColor(0x0000FF);
        board.DrawLine(4, 60, 240, 60);
        POINT tri[] = {{20, 80}, {80, 140}, {140, 80}};
        board.SetBrushColor(0x66CC33);
        board.DrawPolygon(tri, 3);
        board.SetBrushColor(0x3399FF);
        board.DrawEllipse(160, 80, 230, 140);
        rg_painter swatch;  // a picture made on another board, drawn with a raster operation
        swatch.Move(0, 0, 30, 30);
        swatch.SetBackColor(0x996633);
        board.DrawPicture(swatch.GetPicture(), 200, 10, 30, 30, SRCCOPY);
    }

    rg_label title;
    rg_painter board;
    rg_TuPianKuang panel;
    rg_edit_box input;
};

}  // namespace

TEST(DemoForm, OpensAndIsCaptured) {
    DemoForm form;
    ASSERT_TRUE(form.LoadWindow());
    EXPECT_EQ(form.GetText(), L"演示窗口 1.2.0.0");
    EXPECT_EQ(form.title.GetControlId(), 101);
    EXPECT_EQ(form.input.GetControlId(), 104);
    EXPECT_EQ(form.input.GetText(), L"编辑框 Edit box");
    PumpMessagesFor(300);
    std::wstring path = SaveWindowScreenshot(form.GetHwnd(), L"kelvaro_demo_form.png");
    ASSERT_FALSE(path.empty());
    std::printf("screenshot: %ls\n", path.c_str());
}
