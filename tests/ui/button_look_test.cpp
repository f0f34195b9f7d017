// The button's looks and its object protocol, without a window.
#include <gtest/gtest.h>

#include "ui/button.h"

namespace {

constexpr int kSysFace = 0xF5F5F5;  // any value: the resolver takes it as given

ButtonPalette PaletteOf(const rg_DrenvikAnNiu1& b, int colorState) {
    return ResolveButtonPalette(b.faceColors, b.textColors, b.borderColors, colorState, b.progress > 0, b.backColor,
                                kSysFace);
}

}  // namespace

TEST(ButtonLook, ColourStateOfCheckedCheckBoxes) {
    struct Case {
        int state;
        bool checkMode, checked;
        int expected;
    } cases[] = {
        {0, false, true, 0}, {1, false, true, 1}, {0, true, false, 0}, {1, true, false, 1},
        {0, true, true, 2},  {1, true, true, 2},  {2, true, true, 2},  {3, true, true, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ButtonColorState(c.state, c.checkMode, c.checked), c.expected)
            << c.state << " " << c.checkMode << " " << c.checked;
}

TEST(ButtonLook, DefaultButtonColoursPerState) {
    rg_DrenvikAnNiu1 b;
    struct Case {
        int state, face, text, border;
    } cases[] = {
        {kButtonNormal, 0xECECEC, 0x000000, 0xC0C0C0},
        {kButtonHover, 0xFBF1E5, 0x0000FF, 0xDB8417},
        {kButtonPressed, 0xFBF1E5, 0x000000, 0xC0C0C0},   // -2 entries take the normal ones
        {kButtonDisabled, 0xECECEC, 0xC0C0C0, 0xC0C0C0},
    };
    for (const Case& c : cases) {
        ButtonPalette p = PaletteOf(b, c.state);
        EXPECT_EQ(p.face, c.face) << c.state;
        EXPECT_EQ(p.text, c.text) << c.state;
        EXPECT_EQ(p.border, c.border) << c.state;
    }
    b.progress = 10;  // the caption keeps its normal colour under a progress bar
    EXPECT_EQ(PaletteOf(b, kButtonHover).text, 0);
}

TEST(ButtonLook, SpecialValuesResolve) {
    rg_DrenvikAnNiu1 b;
    for (int i = 0; i < 4; ++i) b.faceColors[i] = b.textColors[i] = b.borderColors[i] = kButtonColorUseNormal;
    ButtonPalette p = PaletteOf(b, kButtonHover);
    EXPECT_EQ(p.face, 0xECECEC);
    EXPECT_EQ(p.text, 0);
    EXPECT_EQ(p.border, 0);  // the caption's colour
    b.textColors[kButtonNormal] = 0x123456;
    EXPECT_EQ(PaletteOf(b, kButtonPressed).border, 0x123456);

    rg_DrenvikXuanZhongKuang1 box;  // faces and borders stand for backColor, which is the system face
    EXPECT_EQ(PaletteOf(box, kButtonNormal).face, kSysFace);
    EXPECT_EQ(PaletteOf(box, kButtonPressed).border, kSysFace);
    box.backColor = 0x00FF00;
    EXPECT_EQ(PaletteOf(box, kButtonHover).face, 0x00FF00);
}

TEST(ButtonLook, CheckBoxDefaults) {
    rg_DrenvikXuanZhongKuang1 box;
    EXPECT_EQ(box.checked, 0);
    EXPECT_EQ(box.checkMode, 1);
    EXPECT_EQ(box.markStyle, 2);
    EXPECT_EQ(box.margin, 0);
    EXPECT_EQ(box.centerContent, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(box.faceColors[i], kButtonColorBack);
        EXPECT_EQ(box.borderColors[i], kButtonColorBack);
    }
    EXPECT_TRUE(box.IsKindOf(rg_DrenvikAnNiu1::StaticClassInfo()));
    EXPECT_FALSE(rg_DrenvikAnNiu1().IsKindOf(rg_DrenvikXuanZhongKuang1::StaticClassInfo()));
}

TEST(ButtonLook, Layout) {
    ButtonLayoutInput in;
    in.width = 200;
    in.height = 30;
    in.captionWidth = 40;
    in.captionHeight = 16;
    in.boxWidth = 16;
    in.boxHeight = 16;
    in.gap = 5;
    in.margin = 5;
    ButtonLayout at = ComputeButtonLayout(in, false);
    EXPECT_EQ(at.boxX, 69);
    EXPECT_EQ(at.captionX, 90);
    EXPECT_EQ(at.boxY, 7);
    EXPECT_EQ(at.captionY, 7);

    in.width = 50;  // too narrow to centre: the margin is the least left edge
    EXPECT_EQ(ComputeButtonLayout(in, false).boxX, 5);
    in.width = 200;
    in.centerContent = false;
    EXPECT_EQ(ComputeButtonLayout(in, false).boxX, 5);
    EXPECT_EQ(ComputeButtonLayout(in, false).captionX, 26);

    in.boxWidth = 0;  // caption alone
    in.centerContent = true;
    EXPECT_EQ(ComputeButtonLayout(in, false).captionX, 80);
    in.captionWidth = 0;  // icon alone: no gap
    in.boxWidth = 16;
    EXPECT_EQ(ComputeButtonLayout(in, false).boxX, 92);
    in.boxWidth = 20;  // a mark is as high as it is wide
    in.boxHeight = 0;
    EXPECT_EQ(ComputeButtonLayout(in, true).boxY, 5);
}

TEST(ButtonLook, ProgressFill) {
    EXPECT_EQ(ProgressFillRight(50, 102), 51);
    EXPECT_EQ(ProgressFillRight(100, 102), 101);
    EXPECT_EQ(ProgressFillRight(1, 50), 1);
    EXPECT_EQ(ProgressFillRight(150, 102), 101);  // stops inside the border
    EXPECT_EQ(ProgressFillRight(2000000000, 102), 101);
}

TEST(ButtonLook, BaseColour) {
    rg_DrenvikAnNiu1 b;  // no window: the setter stores and paints nothing
    b.SetBaseColor(0x808000);
    ButtonBaseColors c = DeriveButtonBaseColors(0x808000);
    EXPECT_EQ(b.faceColors[kButtonNormal], c.light);
    EXPECT_EQ(b.faceColors[kButtonHover], 0xFFFFFF);  // empty caption
    EXPECT_EQ(b.borderColors[kButtonNormal], 0x808000);
    EXPECT_EQ(b.borderColors[kButtonHover], 0x808000);
    EXPECT_EQ(b.textColors[kButtonNormal], 0x808000);
    EXPECT_EQ(b.textColors[kButtonHover], 0x0000FF);  // untouched
    EXPECT_EQ(b.progressColor, c.dark);
    EXPECT_EQ(b.faceColors[kButtonPressed], 0xFBF1E5);
    // A light tint of the same hue: blue-green stays dominant over red, and it is lighter.
    EXPECT_GT((c.light >> 8) & 0xFF, c.light & 0xFF);
    EXPECT_GT(c.light & 0xFF, c.dark & 0xFF);

    b.SetCaption(L"刷新");
    b.SetBaseColor(0x0060C0);
    EXPECT_EQ(b.faceColors[kButtonHover], DeriveButtonBaseColors(0x0060C0).light);
    rg_DrenvikXuanZhongKuang1 box;
    box.SetBaseColor(0x0060C0);
    EXPECT_EQ(box.faceColors[kButtonPressed], 0xFFFFFF);
}

TEST(ButtonLook, CaptionFlagsMultiLine) {
    rg_DrenvikAnNiu1 b;
    b.SetCaption(L"一行");
    EXPECT_EQ(b.multiLine, 0);
    b.SetCaption(L"a\r\nbb");
    EXPECT_EQ(b.multiLine, 1);
    EXPECT_EQ(b.GetCaption(), L"a\r\nbb");
    b.SetCaption(L"a\nb");
    EXPECT_EQ(b.multiLine, 1);
    b.SetCaption(b.GetCaption());  // a view of the caption itself
    EXPECT_EQ(b.GetCaption(), L"a\nb");
    EXPECT_EQ(b.multiLine, 1);
}

namespace {

ButtonPixels Picture(int w, int h, std::initializer_list<uint32_t> px) { return {w, h, std::vector<uint32_t>(px)}; }

}  // namespace

TEST(ButtonLook, HoverIconDerivation) {
    const uint32_t A = 0xFF0000FF, B = 0xFF00FF00, C = 0xFFFF0000, D = 0xFF000000;
    ButtonPixels out;
    ASSERT_TRUE(DeriveHoverPixels(Picture(2, 2, {A, B, C, D}), 0, 2, out));
    EXPECT_EQ(out.pixels, (std::vector<uint32_t>{D, C, B, A}));
    ASSERT_TRUE(DeriveHoverPixels(Picture(3, 1, {A, B, C}), 0, 1, out));  // clockwise: a column
    EXPECT_EQ(out.width, 1);
    EXPECT_EQ(out.height, 3);
    EXPECT_EQ(out.pixels, (std::vector<uint32_t>{A, B, C}));
    ASSERT_TRUE(DeriveHoverPixels(Picture(2, 1, {A, B}), 0, 3, out));
    EXPECT_EQ(out.pixels, (std::vector<uint32_t>{B, A}));

    // One bright dot in a dark 3 x 3: the median removes it, the mean spreads it; the border stays.
    ButtonPixels dot = Picture(3, 3, {D, D, D, D, 0xFFFFFFFF, D, D, D, D});
    ASSERT_TRUE(DeriveHoverPixels(dot, 0, 4, out));
    EXPECT_EQ(out.pixels[4], D);
    ASSERT_TRUE(DeriveHoverPixels(dot, 0, 5, out));
    EXPECT_EQ(out.pixels[4], 0xFF1C1C1Cu);  // 255 / 9
    EXPECT_EQ(out.pixels[0], D);

    // Brightness works on the visible colour and clamps; transparent pixels stay transparent.
    ASSERT_TRUE(DeriveHoverPixels(Picture(3, 1, {0xFF102030, 0x80404040, 0}), 300, 2, out));
    EXPECT_EQ(out.pixels[0], 0xFFFFFFFFu);
    EXPECT_EQ(out.pixels[1], 0x80808080u);  // half-transparent white, premultiplied
    EXPECT_EQ(out.pixels[2], 0u);
    ASSERT_TRUE(DeriveHoverPixels(Picture(1, 1, {0xFF102030}), -0x20, 0, out));
    EXPECT_EQ(out.pixels[0], 0xFF000010u);

    EXPECT_FALSE(DeriveHoverPixels(Picture(1, 1, {A}), 0, 0, out));
    EXPECT_FALSE(DeriveHoverPixels(Picture(1, 1, {A}), 0, 6, out));
    EXPECT_FALSE(DeriveHoverPixels(Picture(0, 0, {}), 0, 2, out));
}

TEST(ButtonLook, ObjectProtocol) {
    rg_DrenvikAnNiu1 a, b;
    EXPECT_TRUE(a.IsEqual(b));  // children and bitmaps take no part
    a.fontText = L"宋体, 9, 0, 0, 0, 0, 0";
    EXPECT_FALSE(a.IsEqual(b));
    a.SetCaption(L"运行");  // kept in the drawing board, which streams itself
    a.faceColors[kButtonHover] = 0x123456;
    a.iconSources[0] = CVolMem(std::string_view("<svg/>"));
    a.pressTime = 0x1122334455LL;
    EXPECT_FALSE(a.IsEqual(b));

    VolMemStream stream;
    a.SaveToStream(&stream);
    ASSERT_EQ(stream.status, VolDataStream::kGood);
    VolMemStream in(stream.Data());
    b.LoadFromStream(&in);
    ASSERT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(in.Position(), stream.Data().GetSize());
    EXPECT_TRUE(a.IsEqual(b));
    EXPECT_EQ(b.faceColors[kButtonHover], 0x123456);
    EXPECT_EQ(b.pressTime, 0x1122334455LL);
    EXPECT_EQ(b.GetCaption(), L"运行");

    rg_DrenvikXuanZhongKuang1 box;
    std::unique_ptr<CVolObject> copy(box.Clone());
    EXPECT_TRUE(copy->IsKindOf(rg_DrenvikXuanZhongKuang1::StaticClassInfo()));
    EXPECT_TRUE(copy->IsEqual(box));
    EXPECT_FALSE(copy->IsEqual(a));
}

namespace {

class GroupWatcher : public CVolObject, public VolEventReceiver {
public:
    GroupWatcher() : VolEventReceiver(this) {}
    void OnChosen(CVolObject* source, int index) {
        chosen = source;
        chosenIndex = index;
    }
    CVolObject* chosen = nullptr;
    int chosenIndex = -1;
};

}  // namespace

TEST(ButtonLook, RadioGroupKeepsOneChecked) {
    rg_DrenvikAnNiu1 a, b, c;
    ButtonRadioGroup group;
    group.buttons = {&a, &b, &c};
    GroupWatcher watcher;
    group.Chosen.Bind(&VolThunk<&GroupWatcher::OnChosen>::Call, watcher.GetEventTarget());
    for (rg_DrenvikAnNiu1* x : group.buttons) {
        x->roundMarks = 1;
        x->radioGroup = &group;
    }
    a.checked = 1;
    b.OnMousePress(0);
    EXPECT_EQ(a.checked, 0);
    EXPECT_EQ(b.checked, 1);
    EXPECT_EQ(c.checked, 0);
    EXPECT_EQ(watcher.chosen, &b);
    EXPECT_EQ(watcher.chosenIndex, 1);
    b.OnMousePress(0);  // pressing the checked one keeps it checked
    EXPECT_EQ(b.checked, 1);

    c.roundMarks = 0;  // without round marks there is no group behaviour
    c.OnMousePress(0);
    EXPECT_EQ(c.checked, 1);
    EXPECT_EQ(b.checked, 1);
}
