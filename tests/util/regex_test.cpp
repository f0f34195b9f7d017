#include <gtest/gtest.h>

#include "platform/com.h"
#include "util/page_redirect.h"
#include "util/regex.h"

TEST(ComObject, CreatesCallsAndSharesByCopy) {
    CVolComObject none;
    EXPECT_EQ(none.CreateInstance(L"Kelvaro.NoSuchObject"), 0);
    EXPECT_FALSE(none.IsCreated());
    EXPECT_EQ(none.CallReturningText(L"Anything"), L"");

    CVolComObject* re = new CVolComObject;
    ASSERT_EQ(re->CreateInstance(L"VBScript.RegExp"), 1);
    EXPECT_EQ(re->Call(L"NoSuchMember", CVolComObject::kMethod, {}), 0);
    EXPECT_EQ(re->SetProperty(L"Pattern", L"b+"), 1);
    EXPECT_EQ(re->SetProperty(L"Global", true), 1);
    CVolComObject copy = *re;
    EXPECT_TRUE(copy.SameAs(*re));
    delete re;  // the copy's reference keeps the object alive
    EXPECT_EQ(copy.CallReturningText(L"Replace", {L"abbcb", L"-"}), L"a-c-");
    VolVariant pattern;
    EXPECT_TRUE(SUCCEEDED(copy.Invoke(L"Pattern", CVolComObject::kPropertyGet, {}, &pattern)));
    CWString text;
    EXPECT_TRUE(pattern.ToText(text));
    EXPECT_EQ(text, L"b+");
    VolVariant test = copy.CallReturningVariant(L"Test", {L"xbx"});
    EXPECT_EQ(test.Type(), VT_BOOL);
}

TEST(Regex, CompileOnceReplaceEveryMatchIgnoringCase) {
    rg_DrenvikZhengZeBiaoDaShiLei re;
    ASSERT_EQ(re.Compile(L"ab"), 1);
    IDispatch* first = re.regexObject.GetDispatch();
    EXPECT_EQ(re.Compile(L"x+"), 1);
    EXPECT_EQ(re.regexObject.GetDispatch(), first);
    EXPECT_EQ(re.Replace(L"aXxbX", L""), L"ab");
    EXPECT_EQ(re.Replace(L"line1 x\r\nline2 X", L"#"), L"line1 #\r\nline2 #");
}

TEST(Regex, FailureLeavesTheSubjectUnchanged) {
    rg_DrenvikZhengZeBiaoDaShiLei never;
    EXPECT_EQ(never.Replace(L"keep me", L""), L"keep me");
    rg_DrenvikZhengZeBiaoDaShiLei broken;
    ASSERT_EQ(broken.Compile(L"(unclosed"), 1);
    CWString out;
    EXPECT_FALSE(broken.TryReplace(L"keep (unclosed", L"", out));
    EXPECT_EQ(broken.Replace(L"keep (unclosed", L""), L"keep (unclosed");
}

TEST(Regex, CloneSharesTheComponent) {
    rg_DrenvikZhengZeBiaoDaShiLei re;
    ASSERT_EQ(re.Compile(L"a"), 1);
    std::unique_ptr<CVolObject> copy(re.Clone());
    auto& clone = static_cast<rg_DrenvikZhengZeBiaoDaShiLei&>(*copy);
    EXPECT_EQ(clone.created, 1);
    EXPECT_TRUE(clone.regexObject.SameAs(re.regexObject));
    EXPECT_TRUE(clone.regexLock.SameAs(re.regexLock));
    clone.Compile(L"b");
    EXPECT_EQ(re.Replace(L"ab", L""), L"a");  // the original now uses the clone's pattern
    EXPECT_FALSE(re.IsEqual(clone));
    EXPECT_TRUE(re.IsEqual(re));
    VolMemStream s;
    re.SaveToStream(&s);
    EXPECT_EQ(s.Data().GetSize(), 4u);  // only `created`
}

TEST(Regex, HtmlComments) {
    struct { const wchar_t* in; const wchar_t* out; } cases[] = {
        {L"a<!-- x -->b<!--\r\ny-->c", L"abc"},
        {L"<!-- a --> b -->", L" b -->"},
        {L"keep <!-- unclosed", L"keep <!-- unclosed"},
        {L"<!--A--><!--b-->x", L"x"},
    };
    for (auto& c : cases) {
        CWString t = c.in;
        StripHtmlComments(t);
        EXPECT_EQ(t, c.out) << c.in;
    }
}

TEST(Regex, HtmlCommentsOnAMegabytePage) {
    CWString page;
    page.reserve(1 << 20);
    while (page.size() < (1u << 20)) page += L"<p>text</p><!-- comment\r\nspanning -->";
    size_t comments = page.size() / 37;
    StripHtmlComments(page);
    EXPECT_EQ(page.FindText(L"<!--"), -1);
    EXPECT_GE(page.size(), comments * 11 - 11);
    EXPECT_EQ(page.FindText(L"<p>text</p><p>text</p>"), 0);
}
