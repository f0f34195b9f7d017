#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <utility>

#include "platform/object.h"
#include "support/hex.h"

namespace {

class Plain : public CVolObject {
    VOL_CLASS(Plain, CVolObject, "test::Plain")
    VOL_MEMBERS(number, ratio, text, bytes, flag)
    int32_t number = 7;
    double ratio = 0.5;
    CWString text = L"ab";
    CVolMem bytes;
    bool flag = true;
};

class Derived : public Plain {
    VOL_CLASS(Derived, Plain, "test::Derived")
    VOL_MEMBERS(extra)
    int16_t extra = 3;
};

class WithMutex : public CVolObject {
    VOL_CLASS(WithMutex, CVolObject, "test::WithMutex")
    VOL_MEMBERS(lock, value)
    rg_HuChiSuoLei lock;
    int32_t value = 1;
};

class Outer : public CVolObject {
    VOL_CLASS(Outer, CVolObject, "test::Outer")
    VOL_MEMBERS(head, inner, items, numbers)
    int32_t head = 1;
    Plain inner;
    rg_WenBenShuZuLei items;
    std::vector<int32_t> numbers;
};

template <class F> std::string Saved(F write) {
    VolMemStream s;
    write(&s);
    return Hex(s.Data());
}

}  // namespace

TEST(ClassInfo, NameHash) {
    struct { const char* name; int32_t hash; } cases[] = {{"A", 65}, {"AB", 391}, {"abc", 3015}, {"", 0}};
    for (auto& c : cases) EXPECT_EQ(VolNameHash(c.name, std::strlen(c.name)), c.hash) << c.name;
    // signed bytes: 0xE4 counts as -28
    EXPECT_EQ(VolNameHash("\xE4", 1), int32_t((uint32_t(-28) | 1) & 0x7FFFFFFF));
    VolClassInfo empty = VolMakeClassInfo("", nullptr);
    EXPECT_EQ(empty.nameLength, 0);
    EXPECT_EQ(empty.nameHash, 0);
}

TEST(ClassInfo, IdentityByNameNotAddress) {
    VolClassInfo a = VolMakeClassInfo("ns::Same", nullptr);
    VolClassInfo b = VolMakeClassInfo("ns::Same", nullptr);
    VolClassInfo c = VolMakeClassInfo("ns::same", nullptr);
    EXPECT_TRUE(VolSameClass(a, b));
    EXPECT_FALSE(VolSameClass(a, c));
    EXPECT_EQ(&Plain::StaticClassInfo(), &Plain::StaticClassInfo());
}

TEST(ObjectProtocol, EqualityRules) {
    Plain p;
    std::unique_ptr<CVolObject> clone(p.Clone());
    EXPECT_TRUE(p.IsEqual(p));
    EXPECT_TRUE(p.IsEqual(*clone));

    Plain q;
    q.ratio = 0.5000005;
    EXPECT_TRUE(p.IsEqual(q));
    q.ratio = 0.500002;
    EXPECT_FALSE(p.IsEqual(q));

    Plain t;
    t.tag = 9;
    EXPECT_FALSE(p.IsEqual(t));
    Plain e;
    e.flags |= CVolObject::kFlagEmpty;
    EXPECT_FALSE(p.IsEqual(e));

    Derived d;
    EXPECT_FALSE(p.IsEqual(d)) << "a derived class's object is not equal";

    WithMutex m;
    std::unique_ptr<CVolObject> mc(m.Clone());
    EXPECT_TRUE(m.IsEqual(m));
    EXPECT_FALSE(m.IsEqual(*mc)) << "identity members make a class equal only to itself";
    EXPECT_TRUE(static_cast<WithMutex*>(mc.get())->lock.SameAs(m.lock)) << "copies share the mutex";

    Outer o;
    std::unique_ptr<CVolObject> oc(o.Clone());
    EXPECT_FALSE(o.IsEqual(*oc));
}

TEST(ObjectProtocol, CopyFromAndReset) {
    Plain base;
    base.number = 1;
    Derived derived;
    derived.number = 42;
    derived.text = L"from derived";
    derived.tag = 5;

    EXPECT_EQ(base.CopyFrom(derived), 1);
    EXPECT_EQ(base.number, 42);
    EXPECT_EQ(base.text, L"from derived");
    EXPECT_EQ(base.tag, 5);

    Derived target;
    target.number = 11;
    EXPECT_EQ(target.CopyFrom(base), 0);
    EXPECT_EQ(target.number, 11) << "a failed copy changes nothing";

    target.flags |= CVolObject::kFlagEmpty;
    target.tag = 3;
    target.extra = 99;
    target.Reset();
    EXPECT_EQ(target.flags, 0u);
    EXPECT_EQ(target.tag, 0);
    EXPECT_EQ(target.extra, 3);
    EXPECT_EQ(target.number, 7);

    Outer o;
    o.inner.number = 100;
    o.items = {L"x", L"y"};
    std::unique_ptr<Outer> copy(static_cast<Outer*>(o.Clone()));
    EXPECT_EQ(copy->inner.number, 100);
    EXPECT_EQ(copy->items.size(), 2u);
}

TEST(ObjectProtocol, IsKindOfWalksBases) {
    Derived d;
    EXPECT_TRUE(d.IsKindOf(Derived::StaticClassInfo()));
    EXPECT_TRUE(d.IsKindOf(Plain::StaticClassInfo()));
    EXPECT_TRUE(d.IsKindOf(CVolObject::StaticClassInfo()));
    Plain p;
    EXPECT_FALSE(p.IsKindOf(Derived::StaticClassInfo()));
    std::unique_ptr<CVolObject> made(Derived::StaticClassInfo().create());
    EXPECT_TRUE(made->IsKindOf(Derived::StaticClassInfo()));
}

TEST(StreamFormat, Bytes) {
    EXPECT_EQ(Saved([](VolDataStream* s) { s->WriteText(L"ab"); }), "06 00 00 00 61 00 62 00 00 00");
    EXPECT_EQ(Saved([](VolDataStream* s) { s->WriteText(L""); }), "00 00 00 00");
    rg_WenBenShuZuLei items{L"a", L""};
    EXPECT_EQ(Saved([&](VolDataStream* s) { VolMember<rg_WenBenShuZuLei>::Save(s, items); }),
              "02 00 00 00 04 00 00 00 61 00 00 00 00 00 00 00");
    EXPECT_EQ(Saved([](VolDataStream* s) { VolMember<double>::Save(s, 1.0); }), "00 00 00 00 00 00 F0 3F");
    EXPECT_EQ(Saved([](VolDataStream* s) { VolMember<bool>::Save(s, true); }), "01 00 00 00");
    std::vector<int16_t> nums{1, -1};
    EXPECT_EQ(Saved([&](VolDataStream* s) { VolMember<std::vector<int16_t>>::Save(s, nums); }),
              "04 00 00 00 01 00 FF FF");
}

TEST(StreamFormat, RoundTripInDeclarationOrder) {
    Outer o;
    o.head = -2;
    o.inner.number = 12345;
    o.inner.ratio = -3.25;
    o.inner.text = L"中文 text";
    o.inner.bytes = CVolMem("\x01\x02\x03", 3);
    o.inner.flag = false;
    o.items = {L"one", L"", L"three"};
    o.numbers = {5, 6, 7};
    VolMemStream s;
    o.SaveToStream(&s);
    ASSERT_EQ(s.status, 0);

    Outer back;
    VolMemStream in(s.Data());
    back.LoadFromStream(&in);
    EXPECT_EQ(in.status, 0);
    EXPECT_EQ(in.Position(), s.Data().GetSize());
    EXPECT_EQ(back.head, -2);
    EXPECT_EQ(back.inner.number, 12345);
    EXPECT_DOUBLE_EQ(back.inner.ratio, -3.25);
    EXPECT_EQ(back.inner.text, L"中文 text");
    EXPECT_EQ(back.inner.bytes.GetSize(), 3u);
    EXPECT_FALSE(back.inner.flag);
    EXPECT_EQ(back.items, (rg_WenBenShuZuLei{L"one", L"", L"three"}));
    EXPECT_EQ(back.numbers, (std::vector<int32_t>{5, 6, 7}));
}

TEST(StreamFormat, ShortReadsFreezeTheStream) {
    struct Case { const char* what; std::string bytes; };
    // A byte block whose length is -1, then an int32 that must keep its old value although bytes remain.
    {
        VolMemStream in(CVolMem(std::string("\xFF\xFF\xFF\xFF\x2A\x00\x00\x00", 8)));
        CVolMem block("keep", 4);
        int32_t after = 5;
        in.ReadBlock(block);
        VolMember<int32_t>::Load(&in, after);
        EXPECT_EQ(in.status, -3);
        EXPECT_EQ(block.GetSize(), 4u) << "a negative length leaves the block unchanged";
        EXPECT_EQ(after, 5);
    }
    // A huge length field with few bytes behind it: short read, nothing huge allocated, block left empty.
    {
        VolMemStream in(CVolMem(std::string("\xF0\xFF\xFF\x7F" "abc", 7)));
        CVolMem block("old", 3);
        EXPECT_FALSE(in.ReadBlock(block));
        EXPECT_EQ(in.status, -3);
        EXPECT_TRUE(block.IsEmpty());
    }
    // A text array whose third item is cut short keeps the items read before it.
    {
        VolMemStream out;
        rg_WenBenShuZuLei items{L"a", L"b", L"c"};
        VolMember<rg_WenBenShuZuLei>::Save(&out, items);
        CVolMem cut = out.Data().Mid(0, out.Data().GetSize() - 3);
        VolMemStream in(cut);
        rg_WenBenShuZuLei back{L"old"};
        VolMember<rg_WenBenShuZuLei>::Load(&in, back);
        EXPECT_EQ(in.status, -3);
        EXPECT_EQ(back, (rg_WenBenShuZuLei{L"a", L"b"}));
    }
    // An absent stream does nothing.
    Plain p;
    p.SaveToStream(nullptr);
    p.LoadFromStream(nullptr);
}

TEST(StreamFormat, RefusedWriteSticks) {
    VolMemStream out;
    out.LimitWrites(6);
    Plain p;
    p.SaveToStream(&out);
    EXPECT_EQ(out.status, -4);
    EXPECT_EQ(out.WriteBytes("x", 1), 0);
    EXPECT_EQ(out.status, -4);
    EXPECT_EQ(out.Data().GetSize(), 4u) << "only the first member made it";
}

TEST(ObjectProtocol, DumpText) {
    Plain p;
    p.flags |= CVolObject::kFlagEmpty;
    CWString out;
    p.DumpText(out, 0);
    EXPECT_EQ(out.FindText(L"无法解析的对象数据,其输出类名为: \"test::Plain\", 地址为: 0x"), 0);
    EXPECT_NE(out.FindText(L", 为空对象"), -1);

    std::string bytes(20, '\xAB');
    CWString dump;
    VolDumpBytes(dump, bytes.data(), bytes.size(), 4);
    EXPECT_EQ(dump.FindText(L"<字节集> 总共 20 个字节,输出了 4 个,还有 16 个未被输出."), 0);
    CWString all;
    VolDumpBytes(all, bytes.data(), 2, -1);
    EXPECT_EQ(all, L"<字节集> 总共 2 个字节:\r\nAB AB");
}

// Lent bytes are read by other threads: the block's changes never reach them, and once no reader
// holds them any more the block takes them back without a copy.
TEST(ByteBlock, LentBytesStayAsTheyWereLent) {
    CVolMem m("abcd", 4);
    std::shared_ptr<const std::vector<uint8_t>> lent = m.Lend();
    EXPECT_EQ(m.View(), "abcd");
    const CVolMem copy = m;
    m.GetPtr()[0] = 'x';
    m.Append("e", 1);
    EXPECT_EQ(std::string(lent->begin(), lent->end()), "abcd");
    EXPECT_EQ(m.View(), "xbcde");
    EXPECT_EQ(copy.View(), "abcd");
    lent = m.Lend();
    const uint8_t* where = lent->data();
    lent.reset();
    m.GetPtr()[1] = 'y';
    EXPECT_EQ(std::as_const(m).GetPtr(), where);
    EXPECT_EQ(m.View(), "xycde");
    m.Remove(0, 1);
    m.Insert(0, "z", 1);
    EXPECT_EQ(m.View(), "zycde");
    lent = m.Lend();
    m.Assign("q", 1);
    EXPECT_EQ(m.View(), "q");
    EXPECT_EQ(std::string(lent->begin(), lent->end()), "zycde");
}

// A block's own bytes as the source of its change: growing moves them and assigning drops them.
TEST(ByteBlock, OwnBytesAsTheSource) {
    CVolMem m("abcdef", 6);
    m.Append(m);
    EXPECT_EQ(m.View(), "abcdefabcdef");
    m.Insert(1, std::as_const(m).GetPtr() + 2, 3);
    EXPECT_EQ(m.View(), "acdebcdefabcdef");
    m.Assign(std::as_const(m).GetPtr() + 9, 3);
    EXPECT_EQ(m.View(), "abc");
    // Lent, with the reader gone before the change.
    CVolMem lent("wxyz", 4);
    lent.Lend();
    lent.Assign(std::as_const(lent).GetPtr() + 1, 2);
    EXPECT_EQ(lent.View(), "xy");
}

TEST(MemoryPool, ReusesLastFreedBlockAndFallsBackToHeap) {
    auto& m = VolMemManager::Instance();
    void* a = m.Alloc(100);
    void* b = m.Alloc(256);
    EXPECT_TRUE(m.InPool(a));
    EXPECT_TRUE(m.InPool(b));
    m.Free(a);
    m.Free(b);
    EXPECT_EQ(m.Alloc(8), b) << "last freed, first reused";
    void* big = m.Alloc(257);
    EXPECT_FALSE(m.InPool(big));
    void* grown = m.Realloc(b, 1000);
    EXPECT_FALSE(m.InPool(grown));
    m.Free(grown);
    m.Free(big);
    m.Free(nullptr);
}

// ---- events ----

namespace {
class Source : public CVolObject {
    VOL_CLASS(Source, CVolObject, "test::Source")
    VOL_MEMBERS()
    VolEventBinding<int> changed;
};

class Listener : public CVolObject, public VolEventReceiver {
    VOL_CLASS(Listener, CVolObject, "test::Listener")
    VOL_MEMBERS()
    Listener() : VolEventReceiver(this) {}
    ~Listener() override { DetachEvents(); }
    int OnChanged(CVolObject*, int v) {
        if (onCall) onCall();
        sum += v;
        return v * 2;
    }
    std::atomic<int> sum{0};
    std::function<void()> onCall;
};
}  // namespace

TEST(Events, UnboundDropsAndBoundCalls) {
    Source s;
    EXPECT_EQ(s.changed.Raise(&s, 5), 0);
    Listener l;
    s.changed.Bind(&VolThunk<&Listener::OnChanged>::Call, l.GetEventTarget());
    EXPECT_EQ(l.GetEventTarget()->RefCount(), 2);
    EXPECT_EQ(s.changed.Raise(&s, 5), 10);
    EXPECT_EQ(l.sum, 5);
    s.changed.Unbind();
    EXPECT_EQ(l.GetEventTarget()->RefCount(), 1);
    EXPECT_EQ(s.changed.Raise(&s, 5, -7), -7) << "a dropped event gives the raiser's default";
}

TEST(Events, OwnerDestroyedWhileHandlerRunsOnAnotherThread) {
    Source s;
    auto* l = new Listener();
    s.changed.Bind(&VolThunk<&Listener::OnChanged>::Call, l->GetEventTarget());
    std::atomic<bool> entered{false}, finished{false};
    HANDLE go = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    l->onCall = [&] {
        entered = true;
        ::WaitForSingleObject(go, INFINITE);
        ::Sleep(50);
        finished = true;
    };
    std::thread raiser([&] { s.changed.Raise(&s, 1); });
    while (!entered) ::Sleep(1);
    std::thread destroyer([&] { delete l; });
    ::Sleep(30);
    EXPECT_FALSE(finished);
    ::SetEvent(go);
    destroyer.join();
    EXPECT_TRUE(finished) << "destruction waited for the other thread's handler";
    raiser.join();
    EXPECT_EQ(s.changed.Raise(&s, 1), 0) << "raises after destruction call nothing";
    ::CloseHandle(go);
}

// A handler that throws has still ended its call: the owner's destruction on another thread does
// not wait for it.
TEST(Events, HandlerThatThrowsEndsItsCall) {
    Source s;
    auto* l = new Listener();
    s.changed.Bind(&VolThunk<&Listener::OnChanged>::Call, l->GetEventTarget());
    l->onCall = [] { throw std::runtime_error("handler failed"); };
    std::thread raiser([&] { EXPECT_THROW(s.changed.Raise(&s, 1), std::runtime_error); });
    raiser.join();
    std::atomic<bool> destroyed{false};
    std::thread destroyer([&] {
        delete l;
        destroyed = true;
    });
    for (int i = 0; i < 500 && !destroyed; ++i) ::Sleep(10);
    EXPECT_TRUE(destroyed) << "the destruction still waits for the thrown call";
    if (destroyed) destroyer.join();
    else destroyer.detach();  // it would wait for good
    EXPECT_EQ(s.changed.Raise(&s, 1), 0);
}

TEST(Events, OwnerMayDestroyItselfInsideItsOwnHandler) {
    Source s;
    auto* l = new Listener();
    s.changed.Bind(&VolThunk<&Listener::OnChanged>::Call, l->GetEventTarget());
    bool done = false;
    l->onCall = [&] {
        if (!done) {
            done = true;
            auto fn = std::move(l->onCall);
            // not deleting from inside the lambda that lives in the object: detach is what matters
            l->DetachEvents();
        }
    };
    s.changed.Raise(&s, 1);  // would deadlock if detaching waited for this thread's own handler
    EXPECT_EQ(s.changed.Raise(&s, 1), 0);
    delete l;
}

TEST(Events, ManyThreadsRaiseConcurrently) {
    Source s;
    Listener l;
    s.changed.Bind(&VolThunk<&Listener::OnChanged>::Call, l.GetEventTarget());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] { for (int i = 0; i < 1000; ++i) s.changed.Raise(&s, 1); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(l.sum, 4000);
}
