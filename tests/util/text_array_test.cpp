#include <gtest/gtest.h>

#include <memory>

#include "util/text_array.h"

namespace {
std::vector<int32_t> Table(const rg_DrenvikWenBenShuZuLei& a) {
    std::vector<int32_t> t(a.itemTable.GetSize() / 4);
    std::memcpy(t.data(), a.itemTable.GetPtr(), t.size() * 4);
    return t;
}
}  // namespace

TEST(PackedTextArray, AppendAndRead) {
    rg_DrenvikWenBenShuZuLei a;
    a.Append(L"ab");
    a.Append(L"");
    a.Append(L"cde");
    EXPECT_EQ(a.items, L"abcde");
    EXPECT_EQ(Table(a), (std::vector<int32_t>{0, 2, 2, 0, 2, 3}));
    EXPECT_EQ(a.totalLength, 5);
    EXPECT_EQ(a.lastLength, 3);
    EXPECT_EQ(a.GetCount(), 3);
    EXPECT_EQ(a.GetItem(0), L"ab");
    EXPECT_EQ(a.GetItem(1), L"");
    EXPECT_EQ(a.GetItem(2), L"cde");
    EXPECT_EQ(a.GetItem(3), L"");
    EXPECT_EQ(a.GetItem(-1), L"");
    a.prefix = L"x-";
    EXPECT_EQ(a.GetItem(0), L"x-ab");
    EXPECT_EQ(a.GetItem(1), L"x-");
    EXPECT_EQ(a.GetItem(3), L"x-");
}

TEST(PackedTextArray, ClearKeepsThePrefix) {
    rg_DrenvikWenBenShuZuLei a;
    a.prefix = L"C:\\dir\\";
    a.pickIndex = 4;
    a.picker.numbers = {1, 2};
    a.pickedSet = {3};
    a.Append(L"x");
    a.Clear(2000);
    EXPECT_EQ(a.GetCount(), 0);
    EXPECT_EQ(a.items, L"");
    EXPECT_EQ(a.totalLength, 0);
    EXPECT_EQ(a.pickIndex, -1);
    EXPECT_TRUE(a.picker.numbers.empty());
    EXPECT_TRUE(a.pickedSet.empty());
    EXPECT_EQ(a.GetItem(0), L"C:\\dir\\");
    for (int i = 0; i < 2000; ++i) a.Append(L"file" + std::to_wstring(i));
    EXPECT_EQ(a.GetCount(), 2000);
    EXPECT_EQ(a.GetItem(1999), L"C:\\dir\\file1999");
    a.Clear(0);
    EXPECT_EQ(a.GetCount(), 0);
}

TEST(PackedTextArray, ObjectProtocol) {
    rg_DrenvikWenBenShuZuLei a;
    a.Append(L"one");
    a.Append(L"two");
    a.prefix = L"p/";
    a.picker.bound = 9;
    std::unique_ptr<CVolObject> clone(a.Clone());
    EXPECT_TRUE(a.IsEqual(a));
    EXPECT_FALSE(a.IsEqual(*clone));  // picker and set compare by identity
    auto& c = static_cast<rg_DrenvikWenBenShuZuLei&>(*clone);
    EXPECT_EQ(c.GetItem(1), L"p/two");
    EXPECT_EQ(c.picker.bound, 9);

    VolMemStream out;
    a.SaveToStream(&out);
    // items, prefix, table, three int32, picker (numbers block, bound), pickCount
    EXPECT_EQ(out.Data().GetSize(), (4 + 14) + (4 + 6) + (4 + 16) + 12 + (4 + 4) + 4u);
    VolMemStream in(out.Data());
    rg_DrenvikWenBenShuZuLei back;
    back.LoadFromStream(&in);
    EXPECT_EQ(in.status, VolDataStream::kGood);
    EXPECT_EQ(back.GetItem(0), L"p/one");
    EXPECT_EQ(back.GetItem(1), L"p/two");
    EXPECT_EQ(back.picker.bound, 9);
}

TEST(PackedTextArray, TableFromAStreamIsCheckedBeforeReading) {
    rg_DrenvikWenBenShuZuLei a;
    a.Append(L"abc");
    a.Append(L"de");
    VolMemStream out;
    a.SaveToStream(&out);
    CVolMem bytes = out.Data();
    // The table follows items (4 + 12 bytes) and the empty prefix (4 bytes) and its length word.
    const size_t table = 4 + 12 + 4 + 4;
    const int32_t corrupt[4] = {1, 1000000, -7, 2};  // an overlong item, then a negative offset
    std::memcpy(bytes.GetPtr() + table, corrupt, sizeof corrupt);
    VolMemStream in(bytes);
    rg_DrenvikWenBenShuZuLei back;
    back.LoadFromStream(&in);
    ASSERT_EQ(back.GetCount(), 2);
    EXPECT_EQ(back.GetItem(0), L"");
    EXPECT_EQ(back.GetItem(1), L"");
    back.itemTable.SetSize(5);  // a torn table: its last entry is incomplete
    EXPECT_EQ(back.GetCount(), 0);
    EXPECT_EQ(back.GetItem(0), L"");
}

TEST(NonRepeatingRandom, ProtocolMembers) {
    rg_DrenvikSuiJiShuBuChongFuLei p;
    EXPECT_EQ(p.bound, -1);
    p.numbers = {4, 5};
    rg_DrenvikSuiJiShuBuChongFuLei q;
    q.CopyFrom(p);
    EXPECT_EQ(q.numbers, p.numbers);
    EXPECT_FALSE(q.IsEqual(p));
    VolMemStream out;
    p.SaveToStream(&out);
    EXPECT_EQ(out.Data().GetSize(), 4 + 8 + 4u);
}
