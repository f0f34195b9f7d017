#include <gtest/gtest.h>

#include <memory>

#include "app/run_state.h"

namespace {

CVolMem Streamed(const CVolObject& o) {
    VolMemStream s;
    o.SaveToStream(&s);
    return s.Data();
}

// Out of line, so the compiler does not follow the refused copy's dead branch.
[[gnu::noinline]] int CopyInto(CVolObject& to, const CVolObject& from) { return to.CopyFrom(from); }

}  // namespace

TEST(RunState, StreamsAsItsIntegerAlone) {
    rg_DrenvikYunHangZhuangTaiLei fresh;
    const unsigned char zeros[4] = {0, 0, 0, 0};
    for (const CVolObject* o : {static_cast<const CVolObject*>(&fresh), static_cast<const CVolObject*>(&gRunState)}) {
        CVolMem bytes = Streamed(*o);
        ASSERT_EQ(bytes.GetSize(), 4u);
        EXPECT_EQ(std::memcmp(bytes.GetPtr(), zeros, 4), 0);
    }
    fresh.value.value = 0x01020304;
    VolMemStream in(Streamed(fresh));
    rg_DrenvikYunHangZhuangTaiLei loaded;
    loaded.LoadFromStream(&in);
    EXPECT_EQ(loaded.value.value, 0x01020304);
}

TEST(RunState, EqualOnlyToItselfAndCopiesOnlyItsOwnKind) {
    rg_DrenvikYunHangZhuangTaiLei a;
    a.value.value = 7;
    a.tag = 3;
    std::unique_ptr<CVolObject, void (*)(CVolObject*)> clone(a.Clone(), [](CVolObject* o) { o->Release(); });
    EXPECT_TRUE(a.IsEqual(a));
    EXPECT_FALSE(a.IsEqual(*clone));
    auto* c = static_cast<rg_DrenvikYunHangZhuangTaiLei*>(clone.get());
    EXPECT_EQ(c->value.value, 7);
    EXPECT_EQ(c->tag, 3);

    rg_ZhengShuLei other;
    other.value = 9;
    EXPECT_EQ(CopyInto(a, other), 0);
    EXPECT_EQ(a.value.value, 7);

    rg_DrenvikYunHangZhuangTaiLei b;
    EXPECT_EQ(CopyInto(b, a), 1);
    EXPECT_EQ(b.value.value, 7);
    b.Reset();
    EXPECT_EQ(b.value.value, 0);
    EXPECT_TRUE(b.IsKindOf(rg_DrenvikYunHangZhuangTaiLei::StaticClassInfo()));
    EXPECT_TRUE(b.IsKindOf(CVolObject::StaticClassInfo()));
}
