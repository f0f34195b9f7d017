#include <gtest/gtest.h>

#include <cstring>

#include "tests/tree/tree_fixture.h"

using treetest::Fill;

namespace {

int32_t RecordInt(const CVolMem& m, size_t at) {
    int32_t v;
    std::memcpy(&v, m.GetPtr() + at, 4);
    return v;
}

TEST(TreeStore, EmptyTreeGivesOutOfRangeResults) {
    rg_DrenvikShuXingKuang t;
    rg_ZhengShuShuZuLei loc, indexes;
    EXPECT_EQ(t.LocateNodeRecord(0, loc), 0);
    EXPECT_EQ(t.GetNodeText(0, loc), L"");
    EXPECT_EQ(t.GetNodeLevel(0, loc), -1);
    EXPECT_EQ(t.GetNodeIcon(0, loc), -1);
    EXPECT_EQ(t.GetNodeData(0, loc), 0);
    EXPECT_EQ(t.GetNodeState(0, loc), 255);
    EXPECT_EQ(t.GetNodeExtra(0, loc), -1);
    EXPECT_EQ(t.FindFavouritesRoot(), -1);
    EXPECT_EQ(t.FindCheckedNodes(indexes, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(t.SetNodeFields(0, nullptr, 2, 1, loc), 0);
}

TEST(TreeStore, AddNodeWritesThePackedRecord) {
    rg_DrenvikShuXingKuang t;
    t.AddNode(L"ab", 7, 0x1234, 3, 0);
    const CVolMem& b = t.nodeBuffer;
    ASSERT_EQ(b.GetSize(), 4u + 30u);
    EXPECT_EQ(std::memcmp(b.GetPtr(), "a\0b\0\x01\x02\x03\x04", 8), 0);
    EXPECT_EQ(RecordInt(b, 8), 0);        // level
    EXPECT_EQ(RecordInt(b, 12), 7);       // icon
    EXPECT_EQ(RecordInt(b, 16), -1);      // selected icon
    EXPECT_EQ(RecordInt(b, 20), 0x1234);  // data
    EXPECT_EQ(b[24], 3);                  // state
    EXPECT_EQ(b[25], 0);                  // check
    EXPECT_EQ(RecordInt(b, 26), -1);
    EXPECT_EQ(RecordInt(b, 30), -1);

    rg_DrenvikShuXingKuang compact;
    compact.compactRecords = 1;
    compact.fixedFieldsLength = 18;
    compact.AddNode(L"", 1, 2, 0, 0);
    compact.AddNode(L"x", 1, 2, 0, 1);
    EXPECT_EQ(compact.nodeBuffer.GetSize(), 22u + 24u);
    rg_ZhengShuShuZuLei loc;
    EXPECT_EQ(compact.GetNodeText(0, loc), L"");  // the delimiter sits at the first byte
    EXPECT_EQ(compact.GetNodeExtra(0, loc), -1);
    loc.clear();
    EXPECT_EQ(compact.GetNodeText(1, loc), L"x");
    ASSERT_GE(loc.size(), 3u);
    EXPECT_EQ(rg_ZhengShuShuZuLei(loc.begin(), loc.begin() + 3), (rg_ZhengShuShuZuLei{22, 45, 1}));
}

// The last bytes of one record and the first units of the next text must never read as a
// delimiter (check byte 1, then U+0302 U+0404 gives 01 | 02 03 04): whichever write joins them,
// the text's first unit is replaced and the structure stays whole.
TEST(TreeStore, RecordBoundaryNeverFormsADelimiter) {
    const std::wstring joins3 = L"\u0302\u0404x", joins2 = L"\u0403y", joins1 = L"\u4E04z";
    auto compact = [](rg_DrenvikShuXingKuang& t) {
        t.compactRecords = 1;
        t.fixedFieldsLength = 18;
        t.checkKind = 3;
    };
    struct Case {
        const char* what;
        std::wstring text;  // node 1's text as given
        void (*build)(rg_DrenvikShuXingKuang&, const std::wstring&);
    };
    const Case cases[] = {
        {"checked, then added", joins3, [](rg_DrenvikShuXingKuang& t, const std::wstring& s) {
             t.AddNode(L"a", 1, 0, 0, 0);
             rg_ZhengShuShuZuLei loc;
             t.SetNodeChecked(0, 1, 0, loc);
             t.AddNode(s, 1, 0, 0, 1);
             t.AddNode(L"b", 1, 0, 0, 1);
         }},
        {"added, then checked", joins3, [](rg_DrenvikShuXingKuang& t, const std::wstring& s) {
             t.AddNode(L"a", 1, 0, 0, 0);
             t.AddNode(s, 1, 0, 0, 1);
             t.AddNode(L"b", 1, 0, 0, 1);
             rg_ZhengShuShuZuLei loc;
             t.SetNodeChecked(0, 1, 0, loc);
         }},
        {"renamed after a checked node", joins3, [](rg_DrenvikShuXingKuang& t, const std::wstring& s) {
             t.AddNode(L"a", 1, 0, 0, 0);
             t.AddNode(L"old", 1, 0, 0, 1);
             t.AddNode(L"b", 1, 0, 0, 1);
             rg_ZhengShuShuZuLei loc;
             t.SetNodeChecked(0, 1, 0, loc);
             const CWString name(s);
             loc.clear();
             t.SetNodeFields(1, &name, -1, -1, loc);
         }},
        {"bold and check 2, then a child", joins2, [](rg_DrenvikShuXingKuang& t, const std::wstring& s) {
             t.AddNode(L"a", 1, 0, 1, 0);
             rg_ZhengShuShuZuLei loc;
             t.SetNodeChecked(0, 2, 0, loc);
             loc.clear();
             t.InsertChildNode(0, s, 1, 1, 0, loc, 1);
             t.AddNode(L"b", 1, 0, 0, 1);
         }},
        {"data, state and check, then a block", joins1, [](rg_DrenvikShuXingKuang& t, const std::wstring& s) {
             t.AddNode(L"a", 1, 0x01000000, 2, 0);
             rg_ZhengShuShuZuLei loc;
             t.SetNodeChecked(0, 3, 0, loc);
             t.AddNode(L"+", -1, 0, 0, 1);
             CVolMem block;
             t.WriteNodeRecord(block, s, 1, 1, 1);
             t.WriteNodeRecord(block, L"b", 1, 1, 1);
             loc.clear();
             t.InsertNodes(0, 2, block, 2, loc);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rg_DrenvikShuXingKuang t;
        compact(t);
        c.build(t, c.text);
        treetest::CheckStructure(t, {0, 1, 1});
        std::vector<CWString> texts;
        for (int i = 0; i < 3; ++i) {
            rg_ZhengShuShuZuLei loc;
            texts.push_back(t.GetNodeText(i, loc));
        }
        std::wstring sealed = c.text;
        sealed[0] = 0xFFFD;
        EXPECT_TRUE(texts[1] == sealed || texts[2] == sealed) << "the joining unit is replaced, the rest kept";
        const size_t len = t.nodeBuffer.GetSize();
        size_t delimiters = 0;
        for (size_t i = 0; i + 4 <= len; ++i)
            if (std::memcmp(t.nodeBuffer.GetPtr() + i, "\x01\x02\x03\x04", 4) == 0) ++delimiters;
        EXPECT_EQ(delimiters, 3u);
    }
    // A text that only looks like a delimiter's tail elsewhere is left alone.
    rg_DrenvikShuXingKuang t;
    compact(t);
    t.AddNode(L"a", 1, 0, 0, 0);
    t.AddNode(joins3, 1, 0, 0, 1);
    rg_ZhengShuShuZuLei loc;
    EXPECT_EQ(t.GetNodeText(1, loc), CWString(joins3));
}

// A buffer written by an owner with such a joined sequence: every walk up the parents still ends.
TEST(TreeStore, ParentsOfAMalformedBufferComeBeforeTheNode) {
    rg_DrenvikShuXingKuang t;
    t.compactRecords = 1;
    t.fixedFieldsLength = 18;
    t.AddNode(L"a", 1, 0, 0, 0);
    t.AddNode(L"b", 1, 0, 0, 1);
    t.AddNode(L"c", 1, 0, 0, 2);
    t.AddNode(L"d", 1, 0, 0, 1);
    // Check byte 1 and a text starting U+0302 U+0404 behind the store's back.
    rg_ZhengShuShuZuLei loc;
    ASSERT_EQ(t.LocateNodeRecord(1, loc), 1);
    t.nodeBuffer.GetPtr()[loc[1]] = 1;
    const uint8_t joined[4] = {2, 3, 4, 4};
    t.nodeBuffer.Insert(size_t(loc[1]) + 1, joined, 4);
    for (int i = 0; i < t.nodeCount; ++i) {
        SCOPED_TRACE(i);
        rg_ZhengShuShuZuLei l, parent;
        EXPECT_LT(t.GetParentNode(i, l, parent, nullptr), i);
        l.clear();
        EXPECT_LT(t.GetRootNode(i, l), i);
    }
}

TEST(TreeStore, GettersReadEachNodeAndRejectOutOfRange) {
    rg_DrenvikShuXingKuang t;
    struct Node { const wchar_t* text; int icon, data, state, level; };
    const Node nodes[] = {{L"根", 1, 10, 2, 0}, {L"", -1, -5, 0, 1}, {L"long text here", 3, 0, 1, 2}, {L"z", 4, 99, 3, 0}};
    for (const Node& n : nodes) t.AddNode(n.text, n.icon, n.data, n.state, n.level);
    ASSERT_EQ(t.nodeCount, 4);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        rg_ZhengShuShuZuLei loc;
        EXPECT_EQ(t.GetNodeText(i, loc), nodes[i].text);
        EXPECT_EQ(t.GetNodeIcon(i, loc), nodes[i].icon);
        EXPECT_EQ(t.GetNodeData(i, loc), nodes[i].data);
        EXPECT_EQ(t.GetNodeState(i, loc), nodes[i].state);
        EXPECT_EQ(t.GetNodeLevel(i, loc), nodes[i].level);
        EXPECT_EQ(t.GetNodeExtra(i, loc), -1);
    }
    for (int bad : {-1, 4, 1000}) {
        rg_ZhengShuShuZuLei loc;
        EXPECT_EQ(t.GetNodeState(bad, loc), 255);
        EXPECT_EQ(t.GetNodeLevel(bad, loc), -1);
        EXPECT_EQ(t.GetNodeText(bad, loc), L"");
        EXPECT_EQ(t.GetNodeData(bad, loc), 0);
    }
}

TEST(TreeStore, FilledLocatorIsUsedUnchangedAndWalksInOrder) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 1, 0});
    rg_ZhengShuShuZuLei loc;
    ASSERT_EQ(t.LocateNodeRecord(0, loc), 1);
    EXPECT_EQ(t.GetNodeText(2, loc), L"n0");  // a filled locator wins over the index
    // Walking: each step continues from the previous node's locator.
    rg_ZhengShuShuZuLei walk;
    for (int i = 0; i < 4; ++i) {
        ASSERT_EQ(t.LocateNodeRecord(i, walk, i - 1), 1);
        rg_ZhengShuShuZuLei fresh;
        ASSERT_EQ(t.LocateNodeRecord(i, fresh), 1);
        EXPECT_EQ(walk, fresh);
    }
}

TEST(TreeStore, StaleOrForeignLocatorsNeverReadOutsideTheBuffer) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1});
    const std::vector<rg_ZhengShuShuZuLei> bad = {
        {1000000, 2000000, 0}, {-5, 3, 0}, {0, -1, 0}, {60, 59, 0}, {59, 1000, 0}, {int32_t(0x7FFFFFF0), 0x7FFFFFFF}};
    for (const auto& b : bad) {
        rg_ZhengShuShuZuLei loc = b;
        SCOPED_TRACE(b[0]);
        EXPECT_EQ(t.GetNodeState(0, loc), 255);
        loc = b;
        EXPECT_EQ(t.GetNodeText(1, loc), L"");
        loc = b;
        EXPECT_EQ(t.SetNodeFields(0, nullptr, 2, 1, loc), 0);
        loc = b;
        if (t.LocateNodeRecord(1, loc, 0)) {  // whatever it finds lies inside the buffer
            EXPECT_GE(loc[0], 0);
            EXPECT_LT(loc[1], int32_t(t.nodeBuffer.GetSize()));
        }
    }
    EXPECT_EQ(t.ReadTextAtOffset(-3), L"");
    EXPECT_EQ(t.ReadTextAtOffset(100000), L"");
}

TEST(TreeStore, StateArgumentsTable) {
    struct Case { int before, arg, after; };
    const Case cases[] = {{0, 254, 2}, {2, 254, 0}, {1, 254, 3}, {3, 254, 1}, {4, 254, 4},  {0, -2, 2},
                          {5, 255, 5}, {5, -1, 5},  {0, 7, 7},   {200, 1, 1},  {2, 0, 0}};
    for (const Case& c : cases) {
        rg_DrenvikShuXingKuang t;
        Fill(t, {0}, {c.before});
        rg_ZhengShuShuZuLei loc;
        ASSERT_EQ(t.SetNodeFields(0, nullptr, c.arg, 255, loc), 1);
        EXPECT_EQ(t.GetNodeState(0, loc), c.after) << c.before << " with " << c.arg;
    }
}

TEST(TreeStore, CheckCyclingTable) {
    struct Case { int kind, before, arg, after; };
    const Case cases[] = {{2, 0, 254, 1}, {2, 1, 254, 0}, {2, 2, 254, 0}, {3, 0, 254, 1}, {3, 1, 254, 2},
                          {3, 2, 254, 0}, {2, 3, 254, 3}, {3, 3, 254, 3}, {2, 0, 2, 2},   {2, 1, 255, 1}};
    for (const Case& c : cases) {
        rg_DrenvikShuXingKuang t;
        t.checkKind = c.kind;
        Fill(t, {0});
        rg_ZhengShuShuZuLei loc;
        ASSERT_EQ(t.SetNodeFields(0, nullptr, 255, c.before, loc), 1);
        ASSERT_EQ(t.SetNodeChecked(0, c.arg, c.arg == 254, loc), 1);
        EXPECT_EQ(t.GetNodeCheck(0, loc), c.after) << "kind " << c.kind << " from " << c.before;
    }
}

TEST(TreeStore, SetNodeExpandedTable) {
    struct Case { int before, expand, toggle, after; };
    const Case cases[] = {{0, 1, 0, 2}, {1, 1, 0, 3}, {3, 1, 0, 3}, {5, 1, 0, 2}, {2, 0, 0, 0}, {3, 0, 0, 1},
                          {0, 0, 1, 2}, {2, 0, 1, 0}, {1, 0, 1, 3}, {3, 0, 1, 1}, {4, 0, 1, 4}};
    for (const Case& c : cases) {
        rg_DrenvikShuXingKuang t;
        Fill(t, {0}, {c.before});
        rg_ZhengShuShuZuLei loc;
        ASSERT_EQ(t.SetNodeExpanded(0, c.expand, c.toggle, loc), 1);
        EXPECT_EQ(t.GetNodeState(0, loc), c.after) << c.before;
    }
}

TEST(TreeStore, NewTextChangesOnlyTheText) {
    rg_DrenvikShuXingKuang t;
    t.AddNode(L"first", 4, 44, 3, 0);
    t.AddNode(L"second", 5, 55, 0, 1);
    rg_ZhengShuShuZuLei loc;
    const CWString text = L"a much longer replacement";
    ASSERT_EQ(t.SetNodeFields(0, &text, 255, 255, loc), 1);
    rg_ZhengShuShuZuLei fresh;
    EXPECT_EQ(t.GetNodeText(0, fresh), text);
    EXPECT_EQ(t.GetNodeIcon(0, fresh), 4);
    EXPECT_EQ(t.GetNodeData(0, fresh), 44);
    EXPECT_EQ(t.GetNodeState(0, fresh), 3);
    EXPECT_EQ(loc, fresh);  // the caller's locator follows the record
    rg_ZhengShuShuZuLei next;
    EXPECT_EQ(t.GetNodeText(1, next), L"second");
    EXPECT_EQ(t.GetNodeData(1, next), 55);
    // The state byte written is the node's own, after the text moved it.
    const CWString shorter = L"s";
    loc.clear();
    ASSERT_EQ(t.SetNodeFields(1, &shorter, 2, 1, loc), 1);
    next.clear();
    EXPECT_EQ(t.GetNodeState(1, next), 2);
    EXPECT_EQ(t.GetNodeCheck(1, next), 1);
    EXPECT_EQ(t.GetNodeState(0, fresh), 3);
}

TEST(TreeStore, DelimiterBytesInATextAreNeverStored) {
    rg_DrenvikShuXingKuang t;
    const std::wstring poison = {L'a', wchar_t(0x0201), wchar_t(0x0403), L'b'};
    // The same bytes at an odd alignment: ..01 | 02 03 | 04..
    const std::wstring shifted = {wchar_t(0x0100), wchar_t(0x0302), wchar_t(0x0004)};
    t.AddNode(poison, 0, 1, 0, 0);
    t.AddNode(shifted, 0, 2, 0, 1);
    t.AddNode(L"after", 0, 3, 0, 1);
    rg_ZhengShuShuZuLei loc;
    EXPECT_EQ(t.GetNodeText(0, loc), (std::wstring{L'a', wchar_t(0xFFFD), wchar_t(0x0403), L'b'}));
    for (int i = 0; i < 3; ++i) {
        rg_ZhengShuShuZuLei l;
        EXPECT_EQ(t.GetNodeData(i, l), i + 1);
    }
    const CWString text = poison;
    loc.clear();
    ASSERT_EQ(t.SetNodeFields(2, &text, 255, 255, loc), 1);
    rg_ZhengShuShuZuLei l;
    EXPECT_EQ(t.GetNodeData(2, l), 3);
}

TEST(TreeStore, CollectionsOverCheckAndLevel) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 2, 1, 0, 1});
    for (int i : {1, 2, 4}) {
        rg_ZhengShuShuZuLei loc;
        t.SetNodeChecked(i, 1, 0, loc);
    }
    rg_ZhengShuShuZuLei idx, data, offsets;
    rg_WenBenShuZuLei texts;
    ASSERT_EQ(t.FindCheckedNodes(idx, &texts, &data, &offsets), 3);
    EXPECT_EQ(idx, (rg_ZhengShuShuZuLei{1, 2, 4}));
    EXPECT_EQ(texts, (rg_WenBenShuZuLei{L"n1", L"n2", L"n4"}));
    EXPECT_EQ(data, (rg_ZhengShuShuZuLei{1, 2, 4}));
    for (size_t k = 0; k < 3; ++k) {
        rg_ZhengShuShuZuLei loc;
        t.LocateNodeRecord(idx[k], loc);
        EXPECT_EQ(offsets[k], loc[0]);
    }
    // Omitted outputs are left alone.
    rg_WenBenShuZuLei keep{L"untouched"};
    EXPECT_EQ(t.FindCheckedNodes(idx, nullptr, nullptr, nullptr), 3);
    EXPECT_EQ(keep.size(), 1u);

    struct Case { int level, within; rg_ZhengShuShuZuLei expect; };
    const Case cases[] = {{1, -1, {1, 3, 5}}, {0, -1, {0, 4}}, {-1, 0, {1, 3}}, {2, 0, {2}}, {-1, 4, {5}}, {-1, 2, {}}};
    for (const Case& c : cases) {
        rg_ZhengShuShuZuLei got, offs;
        EXPECT_EQ(t.CollectNodesAtLevel(c.level, got, offs, c.within), int32_t(c.expect.size()));
        EXPECT_EQ(got, c.expect) << c.level << " within " << c.within;
        EXPECT_EQ(offs.size(), got.size());
    }
}

TEST(TreeStore, FavouritesRootAndLocatorAtOffset) {
    rg_DrenvikShuXingKuang t;
    t.AddNode(L"drive", 1, 0, 0, 0);
    t.AddNode(L"fav-child", 2, 0, 0, 1);  // icon 2 but not top level
    t.AddNode(L"收藏夹", 2, 0, 0, 0);
    EXPECT_EQ(t.FindFavouritesRoot(), 2);
    rg_ZhengShuShuZuLei want, got;
    t.LocateNodeRecord(1, want);
    t.MakeLocatorAtOffset(want[0], got);
    EXPECT_EQ(got, want);
    EXPECT_EQ(t.ReadTextAtOffset(want[0]), L"fav-child");
}

struct Listener : CVolObject, VolEventReceiver {
    Listener() : VolEventReceiver(this) {}
    ~Listener() override { DetachEvents(); }
    std::vector<std::vector<int>> added;
    CWString lastText;
    int OnAdded(CVolObject*, const CWString& text, int32_t icon, int32_t sel, int32_t data, int32_t state,
                int32_t check, int32_t c1, int32_t c2, int32_t level) {
        lastText = text;
        added.push_back({icon, sel, data, state, check, c1, c2, level});
        return 0;
    }
    int OnColour(CVolObject*, int32_t node, int32_t colour) { return node * 1000 + colour; }
};

TEST(TreeStore, NodeEventsReachTheOwner) {
    rg_DrenvikShuXingKuang t;
    Listener l;
    EXPECT_EQ(t.RaiseNodeColourEvent(1, 5), 0);  // unbound
    t.nodeAddedEvent.Bind(&VolThunk<&Listener::OnAdded>::Call, l.GetEventTarget());
    t.nodeColourEvent.Bind(&VolThunk<&Listener::OnColour>::Call, l.GetEventTarget());
    t.AddNode(L"x", 3, 9, 2, 0);
    EXPECT_EQ(l.lastText, L"x");
    ASSERT_EQ(l.added.size(), 1u);
    EXPECT_EQ(l.added[0], (std::vector<int>{3, -1, 9, 2, 0, -1, -1, 0}));
    EXPECT_EQ(t.RaiseNodeColourEvent(2, 7), 2007);
}

TEST(TreeStore, CopyAndStreamCarryTheNodes) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 1});
    std::unique_ptr<CVolObject> copy(t.Clone());
    auto* c = static_cast<rg_DrenvikShuXingKuang*>(copy.get());
    EXPECT_EQ(c->nodeCount, 3);
    EXPECT_EQ(c->nodeBuffer, t.nodeBuffer);
    EXPECT_TRUE(c->refreshGate.gateLock.SameAs(t.refreshGate.gateLock));
    EXPECT_FALSE(t.IsEqual(*c));
    EXPECT_TRUE(t.IsEqual(t));

    // View settings travel with the nodes.
    t.fullRowSelect = 1;
    t.fontFace = L"Arial";
    t.gap = 9;
    t.clickToRename = 1;
    t.levelWithoutCheckBox = 2;
    VolMemStream out;
    t.SaveToStream(&out);
    ASSERT_EQ(out.status, VolDataStream::kGood);
    rg_DrenvikShuXingKuang back;
    VolMemStream in(out.Data());
    back.LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(back.nodeCount, 3);
    rg_ZhengShuShuZuLei loc;
    EXPECT_EQ(back.GetNodeText(2, loc), L"n2");
    EXPECT_EQ(back.fullRowSelect, 1);
    EXPECT_EQ(back.fontFace, L"Arial");
    EXPECT_EQ(back.gap, 9);
    EXPECT_EQ(back.clickToRename, 1);
    EXPECT_EQ(back.levelWithoutCheckBox, 2);
    EXPECT_EQ(back.isEditing, 0);
}

// A loaded tree box trusts nothing it read: every hostile value leaves a tree whose queries and
// index jobs stay inside the bytes actually present and finish.
TEST(TreeStore, HostileStreamsLoadIntoASoundTree) {
    using Mutate = void (*)(rg_DrenvikShuXingKuang&);
    struct Case {
        const char* what;
        std::vector<int> levels;
        Mutate mutate;
        int expectedCount;
    };
    const std::vector<int> three = {0, 1, 1};
    const Case cases[] = {
        {"fixed fields -0x10000000", three, [](rg_DrenvikShuXingKuang& t) { t.fixedFieldsLength = -0x10000000; }, 3},
        {"fixed fields 0", three, [](rg_DrenvikShuXingKuang& t) { t.fixedFieldsLength = 0; }, 3},
        {"fixed fields 19", three, [](rg_DrenvikShuXingKuang& t) { t.fixedFieldsLength = 19; }, 3},
        {"compact flag against the length", three, [](rg_DrenvikShuXingKuang& t) { t.compactRecords = 1; }, 3},
        {"two-byte delimiter", three, [](rg_DrenvikShuXingKuang& t) {
             t.delimiter.Assign("\x01\x02", 2);
             t.delimiterLength = 0;
         }, 3},
        {"200 M nodes in 34 bytes", {0}, [](rg_DrenvikShuXingKuang& t) { t.nodeCount = 200000000; }, 1},
        {"INT_MAX nodes", three, [](rg_DrenvikShuXingKuang& t) { t.nodeCount = 0x7FFFFFFF; }, 3},
        {"negative count", three, [](rg_DrenvikShuXingKuang& t) { t.nodeCount = -5; }, 0},
        {"indexes claimed current", three, [](rg_DrenvikShuXingKuang& t) {
             t.offsetIndex.Assign("\x03\x04\xFF\xFF\xFF\x7F", 6);
             t.offsetIndexReady = t.parentIndexReady = 1;
             t.offsetIndexBuiltFor = t.parentIndexBuiltFor = int32_t(t.nodeBuffer.GetSize());
             t.parentIndex.Assign("\x09\x00\x00\x00", 4);
         }, 3},
        {"row tables of different lengths", three, [](rg_DrenvikShuXingKuang& t) {
             t.rowNodes = {0, 1, 2, 7, 9};
             t.rowExpanderX = {1};
             t.topNode = 1000;
             t.visibleRowIndexBuiltFor = int32_t(t.nodeBuffer.GetSize());
             t.visibleRowCount = 50;
         }, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        rg_DrenvikShuXingKuang source;
        Fill(source, c.levels);
        c.mutate(source);
        VolMemStream out;
        source.SaveToStream(&out);
        rg_DrenvikShuXingKuang t;
        VolMemStream in(out.Data());
        t.LoadFromStream(&in);

        EXPECT_EQ(t.nodeCount, c.expectedCount);
        EXPECT_TRUE(t.fixedFieldsLength == 18 || t.fixedFieldsLength == 26);
        EXPECT_EQ(t.compactRecords, t.fixedFieldsLength == 18 ? 1 : 0);
        EXPECT_EQ(t.delimiterLength, 4);
        EXPECT_EQ(t.delimiter.GetSize(), 4u);
        EXPECT_TRUE(t.rowNodes.empty());
        EXPECT_EQ(t.topNode, 0);
        const std::vector<int> levels(c.levels.begin(), c.levels.begin() + c.expectedCount);
        treetest::CheckStructure(t, levels);
        if (levels.empty()) continue;  // an empty tree has no index to build
        ASSERT_TRUE(treetest::BuildIndexes(t, 10000));
        treetest::CheckStructure(t, levels);
    }
}

// Index jobs size their buffers by the records present, whatever count an owner set.
TEST(TreeStore, IndexJobsIgnoreACountTheBytesCannotHold) {
    rg_DrenvikShuXingKuang t;
    Fill(t, {0, 1, 1});
    t.nodeCount = 200000000;
    t.StartIndexJobs();
    for (ULONGLONG t0 = ::GetTickCount64(); !t.IndexJobsIdle(); ::Sleep(1))
        ASSERT_LT(::GetTickCount64() - t0, 10000u);
    EXPECT_FALSE(t.IsOffsetIndexCurrent());
    EXPECT_FALSE(t.IsLastDescendantIndexCurrent());
    t.nodeCount = 3;
    t.AddNode(L"n3", 1, 3, 0, 1);
    ASSERT_TRUE(treetest::BuildIndexes(t));
    treetest::CheckStructure(t, {0, 1, 1, 1});
}

}  // namespace
