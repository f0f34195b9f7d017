#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "util/json.h"

namespace {

// Parses a literal and returns the document's kind result through out.
int ParseInto(rg_DrenvikJSONLei& doc, std::wstring_view text) {
    CWString s(text);
    return doc.Parse(s);
}

CWString Nested(int depth) {
    return CWString::Repeat(L"[", depth) + L"1" + CWString::Repeat(L"]", depth);
}

// Nodes below node, counted without recursion.
size_t CountNodes(const rg_DrenvikJSONJieDian& node) {
    size_t n = 0;
    std::vector<const rg_DrenvikJSONJieDian*> todo{&node};
    while (!todo.empty()) {
        const rg_DrenvikJSONJieDian* at = todo.back();
        todo.pop_back();
        for (int i = 0; i < at->children.GetCount(); ++i, ++n) todo.push_back(&at->children[i]);
    }
    return n;
}

// Containers nested depth deep around a run of elements, each closed after a ":" and a complete
// member: text that made every level keep the whole text inside it once more.
CWString NestedFaults(int depth, int elements) {
    return CWString::Repeat(L"[", depth) + CWString::Repeat(L"1,", elements) +
           CWString::Repeat(L" x : \"a\"\"b\": ,]", depth);
}

// A text for a failure message, its line breaks and tabs made visible.
std::string Shown(std::wstring_view text) {
    std::wstring s;
    for (wchar_t c : text) s += c == L'\n' ? L"\\n" : c == L'\t' ? L"\\t" : std::wstring(1, c);
    return WideToUtf8(s);
}

// Where two trees read differently, empty when they agree: kinds, values, children in order, and
// the names of object members (an array is written without its members' names).
std::wstring TreeDifference(const rg_DrenvikJSONJieDian& a, const rg_DrenvikJSONJieDian& b, const std::wstring& at) {
    if (a.kind != b.kind) return at + L": kind " + std::to_wstring(a.kind) + L" / " + std::to_wstring(b.kind);
    if (a.value != b.value) return at + L": value " + a.value + L" / " + b.value;
    if (a.children.GetCount() != b.children.GetCount())
        return at + L": " + std::to_wstring(a.children.GetCount()) + L" / " + std::to_wstring(b.children.GetCount()) +
               L" children";
    for (int i = 0; i < a.children.GetCount(); ++i) {
        const rg_DrenvikJSONJieDian& x = a.children[i];
        const rg_DrenvikJSONJieDian& y = b.children[i];
        const std::wstring here = at + L"[" + std::to_wstring(i) + L"]";
        if (a.kind == rg_DrenvikJSONJieDian::kObject && x.name != y.name)
            return here + L": name " + x.name + L" / " + y.name;
        std::wstring d = TreeDifference(x, y, here);
        if (!d.empty()) return d;
    }
    return {};
}

// Parse, write, parse again: the second tree must be the first, and the written text no more than
// a small multiple of the source. A text without a bracket writes as nothing, which reads as "{}".
::testing::AssertionResult RoundTrips(std::wstring_view source) {
    rg_DrenvikJSONLei first, second;
    CWString text(source);
    if (first.Parse(text) == 0) return ::testing::AssertionSuccess();
    CWString written = first.GetText(L"");
    if (written.size() > 4 * source.size() + 16)
        return ::testing::AssertionFailure() << "writes " << written.size() << " units from " << source.size();
    CWString again = written;
    second.Parse(again);
    const std::wstring d = TreeDifference(first.root, second.root, L"root");
    if (!d.empty())
        return ::testing::AssertionFailure() << "writes " << Shown(written) << ", read back differs at " << Shown(d);
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(JsonParse, KindsAndRoot) {
    rg_DrenvikJSONLei doc;
    CWString empty;
    EXPECT_EQ(doc.Parse(empty), 2);
    EXPECT_EQ(empty, L"{}") << "an empty source becomes {} in the caller's variable";
    EXPECT_EQ(doc.root.children.GetCount(), 0);
    EXPECT_EQ(doc.GetText(L""), L"{}");
    EXPECT_EQ(doc.root.name, L"JSON");

    EXPECT_EQ(ParseInto(doc, L"abc"), 0);
    EXPECT_EQ(doc.root.children.GetCount(), 0);
    EXPECT_EQ(doc.GetText(L""), L"");

    EXPECT_EQ(ParseInto(doc, L"  [1]"), 3);
    EXPECT_EQ(ParseInto(doc, L"{\"a\":1}{\"b\":2}"), 2);
    EXPECT_EQ(doc.GetText(L"a"), L"1");
    EXPECT_EQ(doc.GetText(L"b"), L"2");
    EXPECT_EQ(doc.GetCount(L""), 2);
    EXPECT_TRUE(doc.sourceText.empty());
    EXPECT_EQ(doc.sourceLength, 14);

    // "-1" parses the text the document holds (as after a stream load) and empties it.
    doc.sourceText = L"[7]";
    CWString held(L"-1");
    EXPECT_EQ(doc.Parse(held), 3);
    EXPECT_EQ(doc.GetText(L"[0]"), L"7");
    EXPECT_TRUE(doc.sourceText.empty());
    EXPECT_EQ(held, L"-1");
}

// Each row: source, path, expected text.
TEST(JsonParse, QueriesByDotPath) {
    struct { const wchar_t* src; const wchar_t* path; const wchar_t* want; } cases[] = {
        {L"{\"a\":1,\"a\":2}", L"a", L"1"},
        {L"{\"a\":1,\"a\":2}", L"a->1", L"2"},
        {L"{\"a\":1,\"a\":2}", L"a-> 1 ", L"2"},
        {L"{\"a\":1,\"a\":2}", L"a->2", L""},
        {L"{\"a\":1,\"a\":2}", L"a->-1", L""},
        {L"{'a':' x y '}", L"a", L"x y"},
        {L"{'a':' x y '}", L"", L"{'a':' x y '}"},
        {L"{\"s\":\"a\\\"b\"}", L"s", L"a\\\"b"},
        {L"[1, 2 ,3]", L"[1]", L"2"},
        {L"[1, 2 ,3]", L"[x]", L"1"},
        {L"{\"a\":[{\"b\":true}]}", L"a[0].b", L"true"},
        {L"{\"a\":[{\"b\":true}]}", L"a.[0].b", L"true"},
        {L"{\"a\":[{\"b\":true}]}", L"a[1].b", L""},
        {L"{\"a\":[{\"b\":true}]}", L"a", L"[{\"b\":true}]"},
        {L"{\"a.b\":1}", L"a#46#b", L"1"},
        {L"{\"a.b\":1}", L"a.b", L""},
        {L"{a:b}", L"a", L"b"},
        {L"{\"a\":1", L"a", L""},
        {L"{\"a\":\"x\"", L"a", L"x"},
        {L"{\"a\":}", L"", L"{}"},
        {L"{\"a\":1]", L"a", L"1"},
        {L"{\"a\":1]", L"", L"{\"a\":1}"},
        {L"{\"x\":{\"y\":[1,{\"z\":\"q\"}]}}", L"//.x.y[1].z", L"q"},
        {L"{\"x\":{\"y\":[1,{\"z\":\"q\"}]}}", L"//x.y[1].z", L"q"},
        {L"{ \"a\" : [ 1 , \"two\" , null ] }", L"", L"{\"a\":[1, \"two\", null]}"},
        {L"{\"a\":[1,2],\"b\":{}}", L"b", L"{}"},
        {L"{\"a\":\"{not [nested\"}", L"a", L"{not [nested"},
        {L"{\"k\":\"\\\\\"}", L"k", L"\\\\"},
        {L"{\"c\":\"it's\"}", L"c", L"it's"},
        {L"{\"n\":-1.5e3,\"t\":true}", L"n", L"-1.5e3"},
        {L"[\"a\", {\"b\":1}, [2]]", L"", L"[\"a\", {\"b\":1}, [2]]"},
        {L"{\"m\":{\"k\":1},\"m\":{\"k\":2}}", L"m->1.k", L"2"},
        {L"{\"o\":{\"p\":1}}", L"o[0]", L"1"},
        {L"[{\"a\":1}, 5]", L"[0]a", L""},
    };
    for (auto& c : cases) {
        rg_DrenvikJSONLei doc;
        ParseInto(doc, c.src);
        EXPECT_EQ(doc.GetText(c.path), c.want) << c.src << " @ " << c.path;
    }
}

TEST(JsonParse, SlashPaths) {
    rg_DrenvikJSONLei doc;
    ParseInto(doc, L"{\"a\":[{\"b\":true},{\"01\":7, \"-1\":8}],\"c.d\":3}");
    doc.separatorMode = 1;
    struct { const wchar_t* path; const wchar_t* want; } cases[] = {
        {L"/a/0/b", L"true"}, {L"a/0/b", L"true"}, {L"/a/1/01", L"7"},
        {L"/a/1/-1", L""},  // "-1" reads as an index
        {L"c.d", L"3"},    {L"/a/ 1 /01", L"7"},
    };
    for (auto& c : cases) EXPECT_EQ(doc.GetText(c.path), c.want) << c.path;
    EXPECT_EQ(doc.SplitPath(L"/a/0/01/1a"), (rg_WenBenShuZuLei{L"a", L"[0]", L"01", L"1a"}));
    doc.separatorMode = 0;
    EXPECT_EQ(doc.SplitPath(L"a[0][1]\\[2].b"), (rg_WenBenShuZuLei{L"a", L"[0]", L"[1]\\[2]", L"b"}));
    EXPECT_EQ(doc.SplitPath(L""), rg_WenBenShuZuLei{});
    EXPECT_EQ(doc.SplitPath(L"//"), rg_WenBenShuZuLei{L"//"}) << "one segment keeps its //";
}

TEST(JsonParse, CursorAndBasePath) {
    rg_DrenvikJSONLei doc;
    ParseInto(doc, L"{\"x\":{\"y\":{\"z\":5}}}");
    doc.basePath = L"x";
    EXPECT_EQ(doc.GetText(L"y.z"), L"5");
    doc.cursor = doc.ResolvePath(L"y", 0);
    ASSERT_NE(doc.cursor, nullptr);
    EXPECT_EQ(doc.GetText(L"z"), L"5");
    ParseInto(doc, L"{\"z\":1}");
    EXPECT_EQ(doc.cursor, nullptr);
    EXPECT_TRUE(doc.basePath.empty());
}

TEST(JsonParse, ReadsChangeNothingAndMissesAreShared) {
    rg_DrenvikJSONLei doc;
    ParseInto(doc, L"{\"a\":[{\"b\":true}]}");
    EXPECT_EQ(doc.GetCount(L"a[1]"), 0);
    EXPECT_EQ(doc.GetCount(L"a"), 1);
    EXPECT_EQ(doc.ResolvePath(L"a[1]", 0), nullptr);
    EXPECT_EQ(doc.ResolvePath(L"a[1].b.c", 0), nullptr);
    EXPECT_EQ(&doc.ResolvePathOrEmptyNode(L"nope", 0), &gJsonEmptyNode);
    EXPECT_TRUE(gJsonEmptyNode.IsEmptyObject());
    EXPECT_EQ(doc.GetText(L""), L"{\"a\":[{\"b\":true}]}");

    rg_BianZhengShuLei box;
    box.value = 99;
    doc.GetText(L"a[0]", &box);
    EXPECT_EQ(box.value, reinterpret_cast<intptr_t>(doc.ResolvePath(L"a[0]", 0)));
    doc.GetText(L"zz", &box);
    EXPECT_EQ(box.value, 0);
    auto omitted = VolOmitted<rg_BianZhengShuLei>();
    omitted.value = 5;
    doc.GetText(L"a", &omitted);
    EXPECT_EQ(omitted.value, 5) << "an omitted box is not filled";
    rg_ChangZhengShuLei elapsed;
    elapsed.value = -1;
    doc.GetText(L"a", nullptr, &elapsed);
    EXPECT_GE(elapsed.value, 0);
    EXPECT_LT(elapsed.value, 1000);

    // A negative occurrence with creation must not write into the shared empty node.
    doc.SetNumber(L"q->-1", 5);
    CWString v(L"x");
    doc.SetText(L"q->-1", v);
    EXPECT_TRUE(gJsonEmptyNode.value.empty());
    EXPECT_EQ(gJsonEmptyNode.children.GetCount(), 0);
}

TEST(JsonParse, ParentsLinkedUnlessAsked) {
    rg_DrenvikJSONLei doc;
    ParseInto(doc, L"{\"a\":[{\"b\":1}]}");
    rg_DrenvikJSONJieDian* b = doc.ResolvePath(L"a[0].b", 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->parent, doc.ResolvePath(L"a[0]", 0));
    EXPECT_EQ(doc.ResolvePath(L"a", 0)->parent, &doc.root);
    EXPECT_EQ(doc.ResolvePath(L"a", 0)->depth, 1);
    EXPECT_EQ(doc.ResolvePath(L"a[0]", 0)->depth, 2);

    CWString s(L"{\"a\":[{\"b\":1}]}");
    doc.Parse(s, 1);
    EXPECT_EQ(doc.ResolvePath(L"a[0].b", 0)->parent, nullptr);
}

TEST(JsonParse, DeepNestingIsMalformedNotACrash) {
    rg_DrenvikJSONLei doc;
    CWString ok = Nested(kJsonMaxDepth);
    EXPECT_EQ(doc.Parse(ok), 3);
    CWString path;
    for (int i = 1; i < kJsonMaxDepth; ++i) path += L"[0]";
    EXPECT_EQ(doc.GetText(path + L"[0]"), L"1");

    for (int depth : {kJsonMaxDepth + 1, 100000}) {
        CWString deep = Nested(depth);
        EXPECT_EQ(doc.Parse(deep), 0) << depth;
        EXPECT_EQ(doc.root.children.GetCount(), 0);
        EXPECT_EQ(doc.GetText(L""), L"");
    }
    CWString unterminated = CWString::Repeat(L"{\"a\":", 200000);
    EXPECT_EQ(doc.Parse(unterminated), 0);

    // Trees built through paths have no depth limit; writing and destroying them must still work.
    rg_DrenvikJSONLei built;
    CWString longPath;
    for (int i = 0; i < 5000; ++i) longPath += L"k.";
    built.SetNumber(longPath + L"v", 1);
    CWString text = built.GetText(L"");
    EXPECT_EQ(text.size(), size_t(1 + 5000 * 5 + 5 + 5001));
    EXPECT_EQ(text.substr(text.size() - 5001 - 5, 7), L"\"v\":1}}");
}

// Texts a server (or anything on the way) could send: each parses in one forward pass, into a tree
// no bigger than a small multiple of the text.
TEST(JsonParse, HostileInputs) {
    const CWString manyTokens = L"{" + CWString::Repeat(L"'a'", 20000) + L":1}";
    struct {
        const char* what;
        CWString text;
        int kind;
        size_t nodes;
        const wchar_t* rootText;  // null: not checked
    } cases[] = {
        // Unclosed containers end at the end of the text, each level scanned once.
        {"48 [", CWString::Repeat(L"[", 48), 3, 47, nullptr},
        {"48 {", CWString::Repeat(L"{", 48), 2, 47, nullptr},
        {"quote hides closers", CWString::Repeat(L"[", 48) + L"\"" + CWString::Repeat(L"]", 48), 3, 47, nullptr},
        {"100k [", CWString::Repeat(L"[", 100000), 0, 0, L""},
        // An unclosed inner container ends the outer one too; its members are not read again.
        {"unclosed inner", L"{\"a\":[1,{\"b\":2}", 2, 4, L"{\"a\":[1, {\"b\":2}]}"},
        // Each token spans its own quotes: 10,000 name/value pairs of 'a', then the bare rest.
        {"20000 quoted tokens", manyTokens, 2, 10001, nullptr},
        // Stray closers before the value: the search for the next bracket does not restart.
        {"200k } then {", CWString::Repeat(L"}", 200000) + L"{\"k\":1}", 2, 1, L"{\"k\":1}"},
        {"200k ] then [", CWString::Repeat(L"]", 200000) + L"[", 3, 0, L"[]"},
    };
    for (auto& c : cases) {
        rg_DrenvikJSONLei doc;
        CWString text = c.text;
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(doc.Parse(text), c.kind) << c.what;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_LT(seconds, 5.0) << c.what;
        EXPECT_EQ(CountNodes(doc.root), c.nodes) << c.what;
        EXPECT_LE(rg_DrenvikJSONLei::MeasureNodeText(doc.root, 0), int64_t(3 * c.text.size())) << c.what;
        if (c.rootText) {
            EXPECT_EQ(doc.GetText(L""), c.rootText) << c.what;
        }
    }

    rg_DrenvikJSONLei doc;
    CWString text = manyTokens;
    doc.Parse(text);
    EXPECT_EQ(doc.root.children[0].name, L"'a'");
    EXPECT_EQ(doc.root.children[0].value, L"'a'");
    EXPECT_EQ(doc.root.children[9999].value, L"'a'");
}

// A tree built through paths is deeper than any parse allows; copying it must not use the stack.
TEST(JsonObject, CopiesAVeryDeepTree) {
    rg_DrenvikJSONLei doc;
    CWString path;
    for (int i = 0; i < 50000; ++i) path += L"k.";
    doc.SetNumber(path + L"v", 7);
    doc.ResolvePath(L"k", 0)->tag = 5;

    std::unique_ptr<CVolObject> clone(doc.Clone());
    auto& copy = static_cast<rg_DrenvikJSONLei&>(*clone);
    EXPECT_EQ(copy.GetText(path + L"v"), L"7");
    EXPECT_EQ(copy.ResolvePath(L"k", 0)->tag, 5);
    rg_DrenvikJSONJieDian* v = copy.ResolvePath(path + L"v", 0);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->parent, copy.ResolvePath(path.substr(0, path.size() - 1), 0));
    EXPECT_NE(v, doc.ResolvePath(path + L"v", 0));
    EXPECT_EQ(CountNodes(copy.root), 50001u);

    rg_DrenvikJSONLei again;
    again.CopyFrom(copy);
    clone.reset();
    EXPECT_EQ(again.GetText(path + L"v"), L"7");
}

// Creation through a path with an enormous index or occurrence number is refused before anything
// is made; existing nodes are still found, and long numbers never wrap round to small ones.
TEST(JsonBuild, PathCreationIsBounded) {
    const wchar_t* source = L"{\"a\":[1,2],\"b\":{\"c\":3}}";
    for (const wchar_t* path : {L"a[2147483648]", L"a->99999999999", L"x.y[4294967297]", L"b[100001].c",
                                L"a[18446744073709551617]", L"n->18446744073709551616"}) {
        rg_DrenvikJSONLei doc;
        ParseInto(doc, source);
        const CWString before = doc.GetText(L"");
        CWString v = L"x";
        doc.SetText(path, v);
        doc.SetNumber(path, 1);
        EXPECT_EQ(doc.ResolvePath(path, 1), nullptr) << path;
        EXPECT_EQ(doc.GetText(L""), before) << path;
    }

    rg_DrenvikJSONLei doc;
    ParseInto(doc, L"{\"a\":[1,2]}");
    EXPECT_EQ(doc.GetText(L"a[18446744073709551617]"), L"") << "a wrapped number reads as 1";
    EXPECT_EQ(doc.ResolvePath(L"a[1]", 1), doc.ResolvePath(L"a[1]", 0)) << "existing nodes are found";
    doc.SetNumber(L"big[100000]", 1);
    EXPECT_EQ(doc.GetCount(L"big"), 100001) << "the bound itself is still made";
}

// The request body the chat client builds, byte for byte.
TEST(JsonBuild, RequestBody) {
    rg_DrenvikJSONLei doc;
    CWString m(L"m1"), role(L"user"), content(L"hi");
    doc.SetText(L"model", m);
    doc.SetText(L"messages[0].role", role);
    doc.SetText(L"messages[0].content", content);
    doc.SetNumber(L"temperature", 0.7);
    doc.SetNumber(L"max_tokens", 3000);
    EXPECT_EQ(doc.GetText(L""),
              L"{\"model\":\"m1\", \"messages\":[{\"role\":\"user\", \"content\":\"hi\"}], \"temperature\":0.7, "
              L"\"max_tokens\":3000}");
    EXPECT_EQ(doc.GetCount(L"messages"), 1);
    EXPECT_EQ(doc.GetText(L"messages[0].content"), L"hi");
}

// Each row: path, value, document text after SetText on a new document.
TEST(JsonBuild, SetTextCreatesByPath) {
    struct { const wchar_t* path; const wchar_t* value; const wchar_t* trimmed; const wchar_t* doc; } cases[] = {
        {L"a[2]", L"x", L"x", L"{\"a\":[\"\", \"\", \"x\"]}"},
        {L"v", L"  true ", L"true", L"{\"v\":\"true\"}"},
        {L"v", L"", L"", L"{\"v\":\"\"}"},
        {L"v", L"'q'", L"'q'", L"{\"v\":'q'}"},
        {L"v", L"\"open", L"\"open", L"{\"v\":\"open}"},
        {L"v", L"say \"hi\"", L"say \"hi\"", L"{\"v\":\"say \"hi\"\"}"},
        {L"o", L"{\"k\":1}", L"{\"k\":1}", L"{\"o\":{\"k\":1}}"},
        {L"o", L" [1, [2]] ", L"[1, [2]]", L"{\"o\":[1, [2]]}"},
        {L"[1]", L"x", L"x", L"[\"\", \"x\"]"},
        {L"[-1]", L"x", L"x", L"x"},  // the root itself becomes the string
        {L"a->1", L"y", L"y", L"{\"a\":\"\", \"a\":\"y\"}"},
        {L"a.b.c", L"z", L"z", L"{\"a\":{\"b\":{\"c\":\"z\"}}}"},
        {L"#46#x", L"1", L"1", L"{\".x\":\"1\"}"},
    };
    for (auto& c : cases) {
        rg_DrenvikJSONLei doc;
        CWString v(c.value);
        doc.SetText(c.path, v);
        EXPECT_EQ(v, c.trimmed) << c.path << " = " << c.value;
        EXPECT_EQ(doc.GetText(L""), c.doc) << c.path << " = " << c.value;
    }
}

TEST(JsonBuild, SetTextReplacesAndConverts) {
    rg_DrenvikJSONLei doc;
    ParseInto(doc, L"{\"a\":[1,2],\"o\":{\"k\":1}}");
    CWString v(L"{\"k\":1}");
    doc.SetText(L"n", v);
    EXPECT_EQ(doc.GetText(L"n.k"), L"1");
    EXPECT_EQ(doc.ResolvePath(L"n.k", 0)->parent, doc.ResolvePath(L"n", 0));
    v = L"s";
    doc.SetText(L"a", v);  // an array becomes a string
    EXPECT_EQ(doc.GetCount(L"a"), 0);
    EXPECT_EQ(doc.GetText(L"a"), L"s");
    doc.SetNumber(L"o[1]", 2);  // an object addressed by index becomes an array keeping its member
    EXPECT_EQ(doc.GetText(L"o"), L"[1, 2]");
    EXPECT_EQ(doc.GetText(L"o.k"), L"1");
    doc.SetNumber(L"a.x", 3);  // a string addressed by name becomes an object
    EXPECT_EQ(doc.GetText(L""), L"{\"a\":{\"x\":3}, \"o\":[1, 2], \"n\":{\"k\":1}}");
}

TEST(JsonBuild, NumberText) {
    struct { double x; const wchar_t* want; } cases[] = {
        {5e-7, L"0"}, {-1e-6, L"0"}, {1e-6, L"0"}, {1.1e-6, L"1.1E-06"}, {1e21, L"1E+21"}, {-2.5, L"-2.5"},
        {0.7, L"0.7"}, {3000, L"3000"}, {1.0 / 3, L"0.333333333333333"}, {123456789012345678.0, L"1.23456789012346E+17"},
        {1e14, L"100000000000000"}, {1e15, L"1E+15"}, {0.0001, L"0.0001"}, {0.00001, L"1E-05"},
    };
    for (auto& c : cases) {
        rg_DrenvikJSONLei doc;
        doc.SetNumber(L"n", c.x);
        EXPECT_EQ(doc.GetText(L"n"), c.want) << c.x;
        EXPECT_EQ(doc.ResolvePath(L"n", 0)->kind, rg_DrenvikJSONJieDian::kRaw);
    }
}

TEST(JsonNode, SetFromTextAndToText) {
    struct { const wchar_t* text; int raw; int kind; const wchar_t* value; const wchar_t* out; } cases[] = {
        {L"12", 1, 0, L"12", L"12"},
        {L"12", 0, 1, L"\"12\"", L"12"},
        {L"' a '", 0, 1, L"' a '", L"a"},
        {L"", 1, 1, L"\"\"", L""},
        {L"{\"a\":1}", 0, 2, L"", L"{\"a\":1}"},
        {L"[]", 0, 3, L"", L"[]"},
        {L"{", 0, 2, L"", L"{}"},
    };
    for (auto& c : cases) {
        rg_DrenvikJSONJieDian n;
        n.name = L"\"keep\"";
        n.children.AppendNew(true);
        CWString t(c.text);
        n.SetFromText(t, c.raw);
        EXPECT_EQ(n.kind, c.kind) << c.text;
        EXPECT_EQ(n.value, c.value) << c.text;
        EXPECT_EQ(n.ToText(), c.out) << c.text;
        EXPECT_EQ(n.name, L"\"keep\"");
    }
    // An unnamed child of an object is written as ":" and its text.
    rg_DrenvikJSONLei doc;
    ParseInto(doc, L"{\"a\":1, \"x\", 5}");
    EXPECT_EQ(doc.GetText(L""), L"{\"a\":1, :\"x\", :5}");
    EXPECT_EQ(FindArrowIndex(L"a->1"), 1);
    EXPECT_EQ(FindArrowIndex(L"a-"), -1);
    EXPECT_EQ(FindArrowIndex(L"a-b->"), 3);
}

TEST(JsonObject, CopyStreamAndIdentity) {
    rg_DrenvikJSONLei doc;
    ParseInto(doc, L"{\"a\":[{\"b\":1}],\"c\":\"d\"}");
    doc.reservedInt1 = 4;
    doc.cursor = doc.ResolvePath(L"a", 0);

    rg_DrenvikJSONLei copy;
    copy.CopyFrom(doc);
    EXPECT_EQ(copy.GetText(L""), L"{\"a\":[{\"b\":1}], \"c\":\"d\"}");
    EXPECT_EQ(copy.reservedInt1, 4);
    EXPECT_EQ(copy.cursor, nullptr) << "a copied cursor would point into the source";
    rg_DrenvikJSONJieDian* b = copy.ResolvePath(L"a[0].b", 0);
    EXPECT_NE(b, doc.ResolvePath(L"a[0].b", 0));
    EXPECT_EQ(b->parent, copy.ResolvePath(L"a[0]", 0)) << "copies are linked to their own tree";
    EXPECT_FALSE(copy.IsEqual(doc));
    EXPECT_TRUE(doc.IsEqual(doc));

    std::unique_ptr<CVolObject> clone(doc.Clone());
    doc.root.children.RemoveAll();
    EXPECT_EQ(static_cast<rg_DrenvikJSONLei*>(clone.get())->GetText(L"c"), L"d");

    // Node stream: kind, name, value, depth, then a 4-byte parent word; children are not streamed.
    rg_DrenvikJSONJieDian n;
    n.kind = 1;
    n.name = L"a";
    n.value = L"b";
    n.depth = 2;
    VolMemStream s;
    n.SaveToStream(&s);
    const uint8_t want[] = {1, 0, 0, 0, 4, 0, 0, 0, 'a', 0, 0, 0, 4, 0, 0, 0, 'b', 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(s.Data().GetSize(), sizeof want);
    EXPECT_EQ(std::memcmp(s.Data().GetPtr(), want, sizeof want), 0);

    VolMemStream docStream;
    copy.SaveToStream(&docStream);
    rg_DrenvikJSONLei loaded;
    VolMemStream in(docStream.Data());
    loaded.LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(in.Position(), docStream.Data().GetSize());
    EXPECT_EQ(loaded.root.name, L"JSON");
    EXPECT_EQ(loaded.reservedInt1, 4);
    EXPECT_EQ(loaded.reservedSize, 10240);
    EXPECT_EQ(loaded.root.children.GetCount(), 0);
}

// What a parsed document writes reads back as the same document, and is not much longer than its
// source: for well-formed texts and for the malformed ones whose members used to change or multiply.
TEST(JsonParse, WrittenTextReadsBackTheSame) {
    const CWString cases[] = {
        L"{\"a\":[1, \"two\", null, {\"b\":true}], \"c\":{}, \"d\":-1.5e3}",
        L"{'a':' x y '}",
        L"{\"s\":\"a\\\"b\"}",
        L"{\"a\":1}{\"b\":2}",
        L"{\"a\":1,\"a\":2}",
        L"{a:b}",
        L"{\"a\":1",
        L"{\"a\":\"x\"",
        L"{\"a\":}",
        L"{\"a\":1]",
        L"{\"a\":1, \"x\", 5}",
        L"{\"\":\t}",                 // a value of blanks only
        L"[:\n}",
        L"{\"a\"\"b\":}",            // ":" after a complete member
        L"{\"a\":\"b\":c}",
        L"{[ :}\\b\t\n:b}']",         // ":" after a nested container
        L"{[1] \"x\" b, c, d}",
        L"{ \\\n}",                 // a trailing backslash escapes a blank
        L"[a \\ ]",
        L"{a\\ :1}",
        NestedFaults(3, 2),
        NestedFaults(200, 10000),
    };
    for (const CWString& c : cases) EXPECT_TRUE(RoundTrips(c)) << Shown(c.substr(0, 80));
}

// Short random mixes of the characters that steer the scanner.
TEST(JsonParse, RandomTextsReadBackTheSame) {
    const wchar_t alphabet[] = L"{}[]\"':,\\ \t\nab1\x3000";
    std::mt19937 random(12345);
    std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 2);
    std::uniform_int_distribution<int> length(1, 20);
    int failures = 0;
    for (int r = 0; r < 20000 && failures < 20; ++r) {
        // Mostly a container, sometimes text before the first bracket.
        CWString text(1, r % 3 == 0 ? L'{' : r % 3 == 1 ? L'[' : alphabet[pick(random)]);
        for (int n = length(random); n > 0; --n) text.push_back(alphabet[pick(random)]);
        const auto result = RoundTrips(text);
        if (!result) ++failures;
        EXPECT_TRUE(result) << Shown(text);
    }
}
