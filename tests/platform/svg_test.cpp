#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/gdiplus_session.h"
#include "platform/image_encode.h"
#include "platform/svg.h"
#include "platform/xml_reader.h"

namespace {

struct Px {
    int r, g, b, a;  // premultiplied, as rendered
};

class SvgRender : public ::testing::Test {
protected:
    SvgBitmap Render(const std::string& svg, int w, int h, uint32_t background = 0) {
        auto doc = SvgDocument::LoadFromData(svg);
        EXPECT_TRUE(doc) << svg;
        return doc ? doc->RenderToBitmap(w, h, background) : SvgBitmap();
    }
    static Px At(const SvgBitmap& bmp, int x, int y) {
        const uint8_t* p = bmp.Data() + size_t(y) * size_t(bmp.Stride()) + size_t(x) * 4;
        return {p[2], p[1], p[0], p[3]};
    }
    static std::string Doc(const std::string& body, const std::string& viewBox = "0 0 20 20") {
        return "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"" + viewBox + "\">" + body + "</svg>";
    }
    GdiplusSession gdiplus_;
};

TEST_F(SvgRender, FilledRectCoversExactlyItsPixels) {
    SvgBitmap bmp = Render(Doc("<rect x='2' y='2' width='6' height='6' fill='#ff0000'/>", "0 0 10 10"), 10, 10);
    ASSERT_FALSE(bmp.IsNull());
    ASSERT_EQ(bmp.Width(), 10);
    ASSERT_EQ(bmp.Height(), 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            bool inside = x >= 2 && x < 8 && y >= 2 && y < 8;
            Px p = At(bmp, x, y);
            EXPECT_EQ(p.a, inside ? 255 : 0) << x << "," << y;
            EXPECT_EQ(p.r, inside ? 255 : 0) << x << "," << y;
            EXPECT_EQ(p.g, 0);
        }
}

TEST_F(SvgRender, CircleEdgeIsAntiAliased) {
    SvgBitmap bmp = Render(Doc("<circle cx='10' cy='10' r='7.5' fill='blue'/>"), 20, 20);
    ASSERT_FALSE(bmp.IsNull());
    EXPECT_EQ(At(bmp, 10, 10).a, 255);
    EXPECT_EQ(At(bmp, 10, 10).b, 255);
    EXPECT_EQ(At(bmp, 0, 0).a, 0);
    // Pixel centres near the rim, at 45 degrees: partly covered.
    int partial = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            int a = At(bmp, x, y).a;
            if (a > 0 && a < 255) ++partial;
        }
    EXPECT_GT(partial, 12);
    int rim = At(bmp, 4, 4).a;  // centre (4.5, 4.5) lies 7.78 from the middle, just outside r 7.5
    EXPECT_GT(rim, 0);
    EXPECT_LT(rim, 160);
}

TEST_F(SvgRender, ArcsFollowTheirFlags) {
    struct Case {
        const char* d;
        int x, y;  // a pixel that must be filled
        int ex, ey;  // one that must stay empty
    } cases[] = {
        {"M2 10 A8 8 0 0 1 18 10 Z", 10, 4, 10, 15},          // clockwise: upper half
        {"M2 10 A8 8 0 0 0 18 10 Z", 10, 15, 10, 4},          // counter-clockwise: lower half
        {"M2,10a8,8 0 0,1 16,0z", 10, 4, 10, 15},             // relative, commas
        {"M10 2 A8 8 0 1 1 2 10 L10 10 Z", 14, 14, 4, 4},     // large arc: three quarters
        {"M2 10 A4 4 0 0 1 18 10 Z", 10, 4, 10, 15},          // radii too small are scaled up
        {"M2 10 A8 4 0 0 1 18 10 Z", 10, 8, 10, 4},           // an ellipse: 4 high
        {"M2 10a8 8 0 01 16 0z", 10, 4, 10, 15},              // flags written together
    };
    for (const Case& c : cases) {
        SvgBitmap bmp = Render(Doc(std::string("<path d='") + c.d + "'/>"), 20, 20);
        ASSERT_FALSE(bmp.IsNull());
        EXPECT_EQ(At(bmp, c.x, c.y).a, 255) << c.d;
        EXPECT_EQ(At(bmp, c.ex, c.ey).a, 0) << c.d;
    }
}

TEST_F(SvgRender, PathGrammarShorthandsAndRelatives) {
    struct Case {
        const char* d;
        int x, y;
    } filled[] = {
        {"M4 4 H16 V16 H4 Z", 10, 10},
        {"m4 4 h12 v12 h-12 z", 10, 10},
        {"M4 4 16 4 16 16 4 16z", 10, 10},               // implicit lines after the move
        {"M4-4e0 4 4 L16 4 16 16 4 16 Z", 10, 10},        // exponent, sign as separator
        {"M4 16 C4 4 16 4 16 16 Z", 10, 10},               // cubic
        {"M4 16 C4 10 8 6 10 6 S16 10 16 16 Z", 10, 10},   // smooth cubic
        {"M4 16 Q10 -2 16 16 Z", 10, 10},                  // quadratic
        {"M2 16 Q6 4 10 16 T18 16 Z", 6, 12},              // smooth quadratic
        {"M4 4 h12 v12 h-12 z m2 2", 10, 10},             // a trailing lone move draws nothing more
    };
    for (const Case& c : filled) {
        SvgBitmap bmp = Render(Doc(std::string("<path d='") + c.d + "'/>"), 20, 20);
        ASSERT_FALSE(bmp.IsNull());
        EXPECT_EQ(At(bmp, c.x, c.y).a, 255) << c.d;
        EXPECT_EQ(At(bmp, 0, 19).a, 0) << c.d;
    }
    // Drawing stops at the first error but keeps what came before.
    SvgBitmap bmp = Render(Doc("<path d='M0 0 H10 V10 H0 Z M12 12 L x 20 20'/>"), 20, 20);
    EXPECT_EQ(At(bmp, 5, 5).a, 255);
    EXPECT_EQ(At(bmp, 15, 18).a, 0);
}

TEST_F(SvgRender, TransformsCompose) {
    struct Case {
        const char* transform;
        int x, y;    // a pixel the 4 x 4 square at the origin covers after the transform
        int ex, ey;  // one it leaves empty
    } cases[] = {
        {"translate(10,2)", 11, 3, 1, 1},
        {"translate(10)", 11, 1, 1, 1},
        {"scale(2)", 6, 6, 9, 1},
        {"scale(2 1)", 6, 2, 6, 5},
        {"rotate(90)", -1, -1, 1, 1},  // swings to negative x: nothing shows
        {"rotate(90 10 10)", 17, 1, 1, 1},
        {"matrix(1 0 0 1 12 12)", 13, 13, 1, 1},
        {"translate(10 10) rotate(180)", 8, 8, 11, 11},
        {"skewX(45) translate(4 10)", 17, 11, 5, 11},
        {"translate(10 2) bogus(1)", 11, 3, 1, 1},  // the list stops at an error
    };
    for (const Case& c : cases) {
        std::string body = std::string("<g transform='") + c.transform + "'><rect width='4' height='4'/></g>";
        SvgBitmap bmp = Render(Doc(body), 20, 20);
        ASSERT_FALSE(bmp.IsNull());
        if (c.x >= 0) {
            EXPECT_EQ(At(bmp, c.x, c.y).a, 255) << c.transform;
        }
        EXPECT_EQ(At(bmp, c.ex, c.ey).a, 0) << c.transform;
    }
    // Element transform after the group's.
    SvgBitmap bmp = Render(Doc("<g transform='translate(8 0)'><rect transform='scale(2)' width='2' height='2'/></g>"), 20, 20);
    EXPECT_EQ(At(bmp, 11, 3).a, 255);
    EXPECT_EQ(At(bmp, 13, 3).a, 0);
}

TEST_F(SvgRender, ViewBoxStretchesEachAxis) {
    // A square half the viewBox wide and tall, rendered 40 x 10.
    SvgBitmap bmp = Render(Doc("<rect width='5' height='5' fill='lime'/>", "0 0 10 10"), 40, 10);
    ASSERT_EQ(bmp.Width(), 40);
    EXPECT_EQ(At(bmp, 19, 4).a, 255);
    EXPECT_EQ(At(bmp, 20, 4).a, 0);
    EXPECT_EQ(At(bmp, 19, 5).a, 0);
    // An offset viewBox moves the origin.
    bmp = Render(Doc("<rect x='10' y='10' width='5' height='5'/>", "10 10 10 10"), 10, 10);
    EXPECT_EQ(At(bmp, 0, 0).a, 255);
    EXPECT_EQ(At(bmp, 5, 5).a, 0);
    // Without a viewBox, width and height give the user space.
    auto doc = SvgDocument::LoadFromData("<svg width='10' height='20'><rect width='10' height='10'/></svg>");
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc->Width(), 10);
    EXPECT_EQ(doc->Height(), 20);
    bmp = doc->RenderToBitmap(20, 20, 0);
    EXPECT_EQ(At(bmp, 19, 9).a, 255);
    EXPECT_EQ(At(bmp, 19, 10).a, 0);
}

TEST_F(SvgRender, FillRuleEvenOddLeavesHole) {
    const std::string d = "M2 2 H18 V18 H2 Z M6 6 H14 V14 H6 Z";  // both squares clockwise
    SvgBitmap evenodd = Render(Doc("<path fill-rule='evenodd' d='" + d + "'/>"), 20, 20);
    SvgBitmap nonzero = Render(Doc("<path d='" + d + "'/>"), 20, 20);
    SvgBitmap styled = Render(Doc("<path style='fill-rule: evenodd' d='" + d + "'/>"), 20, 20);
    SvgBitmap inherited = Render(Doc("<g fill-rule='evenodd'><path d='" + d + "'/></g>"), 20, 20);
    EXPECT_EQ(evenodd.Data()[0], 0);
    EXPECT_EQ(At(evenodd, 10, 10).a, 0);
    EXPECT_EQ(At(evenodd, 3, 10).a, 255);
    EXPECT_EQ(At(nonzero, 10, 10).a, 255);
    EXPECT_EQ(At(styled, 10, 10).a, 0);
    EXPECT_EQ(At(inherited, 10, 10).a, 0);
}

TEST_F(SvgRender, StrokeWidthCapsAndScale) {
    // A horizontal line 4 wide on y = 10 covers rows 8 to 11.
    SvgBitmap bmp = Render(Doc("<line x1='4' y1='10' x2='16' y2='10' stroke='black' stroke-width='4'/>"), 20, 20);
    for (int y = 6; y < 14; ++y) EXPECT_EQ(At(bmp, 10, y).a, (y >= 8 && y < 12) ? 255 : 0) << y;
    EXPECT_EQ(At(bmp, 2, 10).a, 0);  // butt cap ends at x = 4
    // A square cap reaches half the width beyond the end.
    bmp = Render(Doc("<line x1='4' y1='10' x2='16' y2='10' stroke='black' stroke-width='4' stroke-linecap='square'/>"), 20, 20);
    EXPECT_EQ(At(bmp, 2, 10).a, 255);
    // The width scales with the viewBox: 2 user units at 2x are 4 pixels.
    bmp = Render(Doc("<line x1='2' y1='5' x2='8' y2='5' stroke='black' stroke-width='2'/>", "0 0 10 10"), 20, 20);
    EXPECT_EQ(At(bmp, 10, 8).a, 255);
    EXPECT_EQ(At(bmp, 10, 11).a, 255);
    EXPECT_EQ(At(bmp, 10, 12).a, 0);
    // Under an uneven scale each side of the stroke scales with its own axis: 2 units are 2 pixels
    // across a horizontal line and 8 across a vertical one when x is stretched 4 times.
    bmp = Render(Doc("<path d='M1 5 H9 M5 12 V19' stroke='black' stroke-width='2' fill='none'/>", "0 0 10 20"), 40, 20);
    for (int y = 2; y < 8; ++y) EXPECT_EQ(At(bmp, 20, y).a, (y == 4 || y == 5) ? 255 : 0) << y;
    for (int x = 13; x < 27; ++x) EXPECT_EQ(At(bmp, x, 15).a, (x >= 16 && x < 24) ? 255 : 0) << x;
    // No stroke without a stroke paint, and none at width 0.
    bmp = Render(Doc("<line x1='4' y1='10' x2='16' y2='10' stroke-width='4'/>"
                     "<line x1='4' y1='4' x2='16' y2='4' stroke='red' stroke-width='0'/>"),
                 20, 20);
    EXPECT_EQ(At(bmp, 10, 10).a, 0);
    EXPECT_EQ(At(bmp, 10, 4).a, 0);
}

TEST_F(SvgRender, ShapesColoursAndOpacity) {
    struct Case {
        const char* body;
        Px expect;  // at (10, 10)
    } cases[] = {
        {"<rect width='20' height='20' fill='#f00'/>", {255, 0, 0, 255}},
        {"<rect width='20' height='20' fill='#00FF00'/>", {0, 255, 0, 255}},
        {"<rect width='20' height='20' fill='rgb(0, 0, 255)'/>", {0, 0, 255, 255}},
        {"<rect width='20' height='20' fill='rgb(100%,0%,100%)'/>", {255, 0, 255, 255}},
        {"<rect width='20' height='20' fill='CornflowerBlue'/>", {0x64, 0x95, 0xED, 255}},
        {"<rect width='20' height='20' fill='currentColor'/>", {0, 0, 0, 255}},
        {"<rect width='20' height='20' fill='none'/>", {0, 0, 0, 0}},
        {"<rect width='20' height='20' fill='red' style='fill:blue'/>", {0, 0, 255, 255}},
        {"<g fill='red'><rect width='20' height='20'/></g>", {255, 0, 0, 255}},
        {"<g fill='red'><rect width='20' height='20' fill='inherit'/></g>", {255, 0, 0, 255}},
        {"<rect width='20' height='20' fill='bogus'/>", {0, 0, 0, 255}},   // a bad value keeps black
        {"<rect width='20' height='20' fill='url(#g) #0f0'/>", {0, 255, 0, 255}},
        {"<rect width='20' height='20' fill='url(#g)'/>", {0, 0, 0, 0}},
        {"<rect width='20' height='20' fill='#fff' fill-opacity='0.5'/>", {128, 128, 128, 128}},
        {"<g opacity='0.5'><rect width='20' height='20' fill='#fff' opacity='0.5'/></g>", {64, 64, 64, 64}},
        {"<rect x='5' y='5' width='10' height='10' rx='5'/>", {0, 0, 0, 255}},
        {"<ellipse cx='10' cy='10' rx='8' ry='3' fill='#fff'/>", {255, 255, 255, 255}},
        {"<polygon points='0,0 20,0 20,20 0,20' fill='#fff'/>", {255, 255, 255, 255}},
        {"<polyline points='0 10 20 10' stroke='#fff' stroke-width='2' fill='none'/>", {255, 255, 255, 255}},
        {"<defs><rect width='20' height='20'/></defs>", {0, 0, 0, 0}},
        {"<text x='0' y='10'>hi</text>", {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SvgBitmap bmp = Render(Doc(c.body), 20, 20);
        ASSERT_FALSE(bmp.IsNull()) << c.body;
        Px p = At(bmp, 10, 10);
        EXPECT_NEAR(p.r, c.expect.r, 1) << c.body;
        EXPECT_NEAR(p.g, c.expect.g, 1) << c.body;
        EXPECT_NEAR(p.b, c.expect.b, 1) << c.body;
        EXPECT_NEAR(p.a, c.expect.a, 1) << c.body;
    }
    // Rounded corners leave the corner pixel empty.
    SvgBitmap bmp = Render(Doc("<rect width='20' height='20' rx='6'/>"), 20, 20);
    EXPECT_EQ(At(bmp, 0, 0).a, 0);
    EXPECT_EQ(At(bmp, 10, 0).a, 255);
}

TEST_F(SvgRender, OpacityCompositesGroupsAsOnePicture) {
    // Two overlapping white squares in a half-transparent group: the overlap is no darker.
    SvgBitmap bmp = Render(Doc("<g opacity='0.5'><rect width='12' height='12' fill='#fff'/>"
                               "<rect x='8' y='8' width='12' height='12' fill='#fff'/></g>"),
                           20, 20);
    EXPECT_NEAR(At(bmp, 4, 4).a, 128, 1);
    EXPECT_NEAR(At(bmp, 10, 10).a, 128, 1);
    EXPECT_EQ(At(bmp, 16, 2).a, 0);
    // A filled and stroked shape at half opacity: the fill does not show through the stroke.
    bmp = Render(Doc("<rect x='4' y='4' width='12' height='12' fill='#00f' stroke='#f00' stroke-width='4' "
                     "opacity='0.5'/>"),
                 20, 20);
    Px edge = At(bmp, 4, 10);
    EXPECT_NEAR(edge.a, 128, 1);
    EXPECT_NEAR(edge.r, 128, 1);
    EXPECT_EQ(edge.b, 0);
    EXPECT_NEAR(At(bmp, 10, 10).b, 128, 1);
    // Nested layers multiply; opacity 0 hides everything.
    bmp = Render(Doc("<g opacity='0.5'><g opacity='0.5'><rect width='20' height='20' fill='#fff'/></g></g>"
                     "<g opacity='0'><rect width='5' height='5'/></g>"),
                 20, 20);
    EXPECT_NEAR(At(bmp, 2, 2).a, 64, 1);
}

TEST_F(SvgRender, BackgroundAndStraightRgba) {
    // Background 0xRRGGBBAA: half-transparent green.
    SvgBitmap bmp = Render(Doc("<rect width='10' height='20' fill='red'/>"), 20, 20, 0x00FF0080);
    Px bg = At(bmp, 15, 10);
    EXPECT_EQ(bg.a, 128);
    EXPECT_EQ(bg.g, 128);  // premultiplied
    bmp.ConvertToRgba();
    const uint8_t* p = bmp.Data() + (10 * 20 + 15) * 4;
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[1], 255);
    EXPECT_EQ(p[2], 0);
    EXPECT_EQ(p[3], 128);
    p = bmp.Data() + (10 * 20 + 5) * 4;
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[3], 255);
}

TEST_F(SvgRender, AbsurdNumbersStayBounded) {
    const char* bodies[] = {
        "<path d='M0 0 L1e38 1e38 L-1e38 1e38 Z'/>",
        "<path d='M0 0 H20 V20 Z' transform='scale(1e19) scale(1e19)'/>",
        "<line x2='20' y2='20' stroke='red' stroke-width='1e30'/>",
        "<circle r='1' stroke='red' transform='scale(1e-30)'/>",
        "<circle r='1e-30' stroke='red'/>",
        "<path d='M1 1 Z L 10 1 L 10 10 Z'/>",  // a drawing command after a bare close
    };
    for (const char* body : bodies) EXPECT_FALSE(Render(Doc(body), 20, 20).IsNull()) << body;
    // float-sized but scaled past float's range on the canvas: nothing to draw, and no crash
    for (const char* viewBox : {"0 0 1e-37 1", "0 0 1 1e-37", "-3e38 0 1e-30 1"}) {
        auto doc = SvgDocument::LoadFromData(Doc("<circle r='1' stroke='red'/>", viewBox));
        ASSERT_TRUE(doc) << viewBox;
        EXPECT_TRUE(doc->RenderToBitmap(20, 20, 0).IsNull()) << viewBox;
    }
}

// GDI+ takes floats: a number it cannot hold takes the whole picture with it, as a malformed one would.
TEST(SvgLoad, NumbersPastFloatRangeAreRejected) {
    const char* docs[] = {
        "<svg viewBox='0 0 1e-300 1'><circle r='1' stroke='red'/></svg>",
        "<svg viewBox='0 0 1 1e-300'><circle r='1' stroke='red'/></svg>",
        "<svg viewBox='1e300 0 1 1'><circle r='1' stroke='red'/></svg>",
        "<svg viewBox='0 0 1e39 1'><circle r='1'/></svg>",
        "<svg width='1e300' height='1'/>",
        "<svg viewBox='0 0 20 20'><path d='M0 0 L1e300 0 L0 1e300 Z'/></svg>",
        "<svg viewBox='0 0 20 20'><circle r='1e39'/></svg>",
        "<svg viewBox='0 0 20 20'><path d='M0 0 H20 V20 Z' transform='scale(1e30) scale(1e30)'/></svg>",
        "<svg viewBox='0 0 20 20'><g transform='translate(1e300)'><rect width='1' height='1'/></g></svg>",
        "<svg viewBox='0 0 20 20'><g transform='scale(1e20)'><rect transform='scale(1e20)' width='1' height='1'/></g></svg>",
    };
    for (const char* s : docs) EXPECT_FALSE(SvgDocument::LoadFromData(s)) << s;
}

TEST_F(SvgRender, RejectsSizesItCannotDraw) {
    auto doc = SvgDocument::LoadFromData(Doc("<rect width='4' height='4'/>"));
    ASSERT_TRUE(doc);
    EXPECT_TRUE(doc->RenderToBitmap(0, 10, 0).IsNull());
    EXPECT_TRUE(doc->RenderToBitmap(10, -1, 0).IsNull());
    EXPECT_TRUE(doc->RenderToBitmap(100000, 10, 0).IsNull());
}

TEST(SvgLoad, AcceptsOnlyWellFormedSvg) {
    const char* good[] = {
        "<svg/>",
        "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\n<!-- icon -->\n<!DOCTYPE svg [<!ENTITY x 'y'>]>"
        "<svg xmlns='http://www.w3.org/2000/svg'><g><![CDATA[ <not markup> ]]></g></svg>\n",
        "<svg:svg xmlns:svg='http://www.w3.org/2000/svg'><svg:rect width='1' height='1'/></svg:svg>",
        "<svg viewBox='0 0 1 1'><path d='M0 0'/></svg>\0\0",
    };
    for (const char* s : good) EXPECT_TRUE(SvgDocument::LoadFromData(s)) << s;
    EXPECT_TRUE(SvgDocument::LoadFromData(std::string_view("<svg/>\0\0", 8)));

    const char* bad[] = {
        "",
        "not xml at all",
        "<html><body/></html>",
        "<svg>",
        "<svg><g></svg>",
        "<svg><rect width='1' height='1'></svg>",
        "<svg width='1' width='2'/>",
        "<svg width=1/>",
        "<svg/><svg/>",
        "text<svg/>",
        "<svg/>trailing",
        "<svg><!-- open comment</svg>",
        "<svg attr='<'/>",
    };
    for (const char* s : bad) EXPECT_FALSE(SvgDocument::LoadFromData(s)) << s;

    std::string deep;
    for (int i = 0; i < 1000; ++i) deep += "<g>";
    for (int i = 0; i < 1000; ++i) deep += "</g>";
    EXPECT_FALSE(SvgDocument::LoadFromData("<svg>" + deep + "</svg>"));
    EXPECT_FALSE(SvgDocument::LoadFromFile(L""));
    EXPECT_FALSE(SvgDocument::LoadFromFile(L"C:\\no\\such\\file.svg"));
}

TEST(XmlReader, AttributesAndEntities) {
    auto root = ParseXmlDocument("<a x=\"1 &amp; 2\" y='&#x4E2D;&#25991;&lt;&unknown;'><b/><c>text</c></a>");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, "a");
    ASSERT_TRUE(root->Find("x"));
    EXPECT_EQ(*root->Find("x"), "1 & 2");
    EXPECT_EQ(*root->Find("y"), "\xE4\xB8\xAD\xE6\x96\x87<&unknown;");
    EXPECT_EQ(root->Find("z"), nullptr);
    ASSERT_EQ(root->children.size(), 2u);
    EXPECT_EQ(root->children[1]->name, "c");
}

TEST(ImageEncode, Headers) {
    const uint8_t px[2 * 2 * 4] = {255, 0, 0, 255, 0, 255, 0, 128, 0, 0, 255, 0, 255, 255, 255, 255};
    CVolMem png = EncodePngRgba(px, 2, 2);
    ASSERT_GE(png.GetSize(), 8u);
    EXPECT_EQ(std::memcmp(png.GetPtr(), "\x89PNG\r\n\x1A\n", 8), 0);

    CVolMem bmp = EncodeBmp24(px, 2, 2);
    ASSERT_EQ(bmp.GetSize(), 54u + 2 * 8);  // 2 rows of 6 bytes padded to 8
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[28], 24);  // bits per pixel
    // Bottom-up rows in B, G, R order: the first stored pixel is the bottom-left one (blue).
    EXPECT_EQ(bmp[54], 255);
    EXPECT_EQ(bmp[55], 0);
    EXPECT_EQ(bmp[56], 0);

    CVolMem tga = EncodeTga32(px, 2, 2);
    ASSERT_GE(tga.GetSize(), 18u + 16);
    EXPECT_EQ(tga[2], 2);    // uncompressed true colour
    EXPECT_EQ(tga[16], 32);  // bits per pixel
    EXPECT_EQ(tga[17] & 0x0F, 8);  // alpha bits

    EXPECT_TRUE(EncodePngRgba(px, 0, 2).IsEmpty());
    EXPECT_TRUE(EncodeTga32(nullptr, 2, 2).IsEmpty());
}

}  // namespace
