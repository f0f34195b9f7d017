// The run-time object model: every class of the system derives from CVolObject and fills the same
// slots in the same order. VOL_CLASS and VOL_MEMBERS generate the per-class slots from the member list.
#pragma once
#include "platform/win.h"

#include <atomic>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <tuple>
#include <utility>
#include <functional>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "platform/containers.h"
#include "platform/mem.h"
#include "platform/sync.h"
#include "platform/text.h"

class CVolObject;
class VolDataStream;

// ---- class information -------------------------------------------------------------------------

struct VolClassInfo {
    CVolObject* (*create)();
    const char* name;
    int32_t nameLength;
    int32_t nameHash;
};

// h = h*5 + signed byte, 32-bit wrap-around, stored as (h|1) & 0x7FFFFFFF; the empty name hashes to 0.
int32_t VolNameHash(const char* name, size_t length) noexcept;
VolClassInfo VolMakeClassInfo(const char* name, CVolObject* (*create)()) noexcept;
// Same record, or the same hash, length and name bytes (tested in that order).
bool VolSameClass(const VolClassInfo& a, const VolClassInfo& b) noexcept;

// ---- memory pool ---------------------------------------------------------------------------------

// 4 MiB cut into 16,384 blocks of 256 bytes on a LIFO free list; larger requests and overflow use the heap.
class VolMemManager {
public:
    static constexpr size_t kBlockSize = 256;
    static constexpr size_t kBlockCount = 16384;
    static VolMemManager& Instance();

    void* Alloc(size_t n);      // ends the process with -1 when the heap fails
    void* TryAlloc(size_t n) noexcept;
    void* Realloc(void* p, size_t n);
    void Free(void* p) noexcept;
    bool InPool(const void* p) const noexcept;

private:
    VolMemManager();
    struct Block { Block* next; };
    uint8_t* region_ = nullptr;
    Block* head_ = nullptr;
    SpinLockWord lock_;
    HANDLE heap_;
};

// ---- data stream ---------------------------------------------------------------------------------

// Raw little-endian bytes; the first failure freezes the stream.
class VolDataStream {
public:
    static constexpr int kGood = 0, kShortRead = -3, kWriteRefused = -4;
    virtual ~VolDataStream() = default;

    int status = kGood;

    // Bytes read; 0 when the stream has failed. A short read sets -3.
    size_t ReadBytes(void* buf, size_t n);
    // 1 on success, 0 when the stream has failed; a refused write sets -4. Zero bytes succeed.
    int WriteBytes(const void* buf, size_t n);

    template <class T> bool ReadValue(T& v) {
        T tmp;
        if (ReadBytes(&tmp, sizeof(T)) != sizeof(T)) return false;
        v = tmp;
        return true;
    }
    template <class T> void WriteValue(const T& v) { WriteBytes(&v, sizeof(T)); }

    // A byte block: int32 length, then the bytes. A length larger than what arrives is a short read,
    // and nothing beyond the bytes actually received is ever allocated.
    bool ReadBlock(CVolMem& block);
    void WriteBlock(const void* p, size_t n);
    bool ReadText(CWString& text);
    void WriteText(std::wstring_view text);

protected:
    // Underlying source and sink. RawRead returns the bytes it could read.
    virtual size_t RawRead(void* buf, size_t n) = 0;
    virtual bool RawWrite(const void* buf, size_t n) = 0;
};

// A stream over a byte block: reads from a position, writes append.
class VolMemStream : public VolDataStream {
public:
    VolMemStream() = default;
    explicit VolMemStream(CVolMem data) : data_(std::move(data)) {}
    const CVolMem& Data() const noexcept { return data_; }
    size_t Position() const noexcept { return pos_; }
    // Tests use this to model a sink that refuses after some bytes.
    void LimitWrites(size_t maxBytes) noexcept { writeLimit_ = maxBytes; }

protected:
    size_t RawRead(void* buf, size_t n) override;
    bool RawWrite(const void* buf, size_t n) override;

private:
    CVolMem data_;
    size_t pos_ = 0;
    size_t writeLimit_ = SIZE_MAX;
};

inline bool VolStreamGood(const VolDataStream* s) noexcept { return s && s->status == VolDataStream::kGood; }

// ---- the object ----------------------------------------------------------------------------------

class CVolObject {
public:
    static constexpr uint32_t kFlagEmpty = 1u << 0;       // stands for an omitted optional argument
    static constexpr uint32_t kFlagDestroying = 1u << 1;  // set before a visual object tears down

    CVolObject() = default;
    CVolObject(const CVolObject&) = default;
    CVolObject& operator=(const CVolObject&) = default;

    // Slots 0-4: the memory manager.
    virtual void* Alloc(size_t n) const { return VolMemManager::Instance().Alloc(n); }
    virtual void* TryAlloc(size_t n) const { return VolMemManager::Instance().TryAlloc(n); }
    virtual void* Realloc(void* p, size_t n) const { return VolMemManager::Instance().Realloc(p, n); }
    virtual void Free(void* p) const { VolMemManager::Instance().Free(p); }
    virtual VolMemManager* GetMemManager() const { return &VolMemManager::Instance(); }
    // Slots 5-17.
    virtual const VolClassInfo& GetClassInfo() const { return StaticClassInfo(); }
    virtual bool IsEqual(const CVolObject& other) const;
    virtual CVolObject* CreateNew() const { return new CVolObject(); }
    virtual CVolObject* Clone() const;
    virtual int CopyFrom(const CVolObject& other);
    virtual void Reset();
    virtual CVolObject* DeleteSelf(int how);
    virtual void Release() { DeleteSelf(1); }
    virtual bool IsKindOf(const VolClassInfo& info) const { return VolSameClass(info, StaticClassInfo()); }
    virtual void DumpText(CWString& out, int limit) const;
    virtual void LoadFromStream(VolDataStream*) {}
    virtual void SaveToStream(VolDataStream*) const {}
    virtual void PrepareForCopy() {}
    virtual ~CVolObject() = default;

    static const VolClassInfo& StaticClassInfo();
    bool IsEmptyObject() const noexcept { return flags & kFlagEmpty; }

    static void* operator new(size_t n) { return VolMemManager::Instance().Alloc(n); }
    static void operator delete(void* p) noexcept { VolMemManager::Instance().Free(p); }

    uint32_t flags = 0;
    int32_t tag = 0;

protected:
    // The generated pattern's pieces for the header; classes chain to these.
    void CopyMembers(const CVolObject& src) { flags = src.flags; tag = src.tag; }
    bool VolMembersEqual(const CVolObject&) const { return true; }
    bool VolHeaderEqual(const CVolObject& o) const noexcept {
        return (flags & kFlagEmpty) == (o.flags & kFlagEmpty) && tag == o.tag;
    }
};

// An object that stands for an omitted optional argument.
template <class T> T VolOmitted() { T t; t.flags |= CVolObject::kFlagEmpty; return t; }

// Appends "<字节集> 总共 n 个字节:" and a hex dump, 16 bytes a line; limit 0 means 1024, negative all.
void VolDumpBytes(CWString& out, const void* p, size_t n, int limit);

// ---- member kinds --------------------------------------------------------------------------------

template <class T, class = void> struct VolMember;

// Numbers: value compare and copy; stored in their own width (a boolean takes 4 bytes).
template <class T>
struct VolMember<T, std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>>> {
    static bool Equal(const T& a, const T& b) { return a == b; }
    static void Copy(T& d, const T& s) { d = s; }
    static void Save(VolDataStream* s, const T& v) {
        if constexpr (std::is_same_v<T, bool>) { int32_t x = v ? 1 : 0; s->WriteValue(x); }
        else s->WriteValue(v);
    }
    static void Load(VolDataStream* s, T& v) {
        if constexpr (std::is_same_v<T, bool>) { int32_t x; if (s->ReadValue(x)) v = x != 0; }
        else s->ReadValue(v);
    }
};
template <class T>
struct VolMember<T, std::enable_if_t<std::is_floating_point_v<T>>> {
    static bool Equal(const T& a, const T& b) { double d = double(a) - double(b); return d >= -1e-6 && d <= 1e-6; }
    static void Copy(T& d, const T& s) { d = s; }
    static void Save(VolDataStream* s, const T& v) { s->WriteValue(v); }
    static void Load(VolDataStream* s, T& v) { s->ReadValue(v); }
};
template <> struct VolMember<CWString> {
    static bool Equal(const CWString& a, const CWString& b) { return a == b; }
    static void Copy(CWString& d, const CWString& s) { d = s; }
    static void Save(VolDataStream* s, const CWString& v) { s->WriteText(v); }
    static void Load(VolDataStream* s, CWString& v) { s->ReadText(v); }
};
template <> struct VolMember<CVolMem> {
    static bool Equal(const CVolMem& a, const CVolMem& b) { return a == b; }
    static void Copy(CVolMem& d, const CVolMem& s) { d = s; }
    static void Save(VolDataStream* s, const CVolMem& v) { s->WriteBlock(v.GetPtr(), v.GetSize()); }
    static void Load(VolDataStream* s, CVolMem& v) { s->ReadBlock(v); }
};
// Number arrays: identity compare; one byte block of the raw elements.
template <class T>
struct VolMember<std::vector<T>, std::enable_if_t<std::is_arithmetic_v<T>>> {
    static bool Equal(const std::vector<T>& a, const std::vector<T>& b) { return &a == &b; }
    static void Copy(std::vector<T>& d, const std::vector<T>& s) { d = s; }
    static void Save(VolDataStream* s, const std::vector<T>& v) { s->WriteBlock(v.data(), v.size() * sizeof(T)); }
    static void Load(VolDataStream* s, std::vector<T>& v) {
        CVolMem m;
        if (!s->ReadBlock(m)) return;
        v.assign(m.GetSize() / sizeof(T), T{});
        if (!v.empty()) std::memcpy(v.data(), m.GetPtr(), v.size() * sizeof(T));
    }
};
// Text arrays: identity compare; a count, then each text.
template <> struct VolMember<rg_WenBenShuZuLei> {
    static bool Equal(const rg_WenBenShuZuLei& a, const rg_WenBenShuZuLei& b) { return &a == &b; }
    static void Copy(rg_WenBenShuZuLei& d, const rg_WenBenShuZuLei& s) { d = s; }
    static void Save(VolDataStream* s, const rg_WenBenShuZuLei& v) {
        s->WriteValue(int32_t(v.size()));
        for (const auto& t : v) s->WriteText(t);
    }
    static void Load(VolDataStream* s, rg_WenBenShuZuLei& v) {
        v.clear();
        int32_t n = 0;
        if (!s->ReadValue(n) || n < 0) { if (n < 0) s->status = VolDataStream::kShortRead; return; }
        for (int32_t i = 0; i < n; ++i) {
            CWString t;
            if (!s->ReadText(t)) break;
            v.push_back(std::move(t));
        }
    }
};
// Tables, sets and shared-data objects: identity compare, content (or shared reference) copy, not streamed.
template <class T> struct VolUnstreamedMember {
    static bool Equal(const T& a, const T& b) { return &a == &b; }
    static void Copy(T& d, const T& s) { d = s; }
    static void Save(VolDataStream*, const T&) {}
    static void Load(VolDataStream*, T&) {}
};
template <class K, class V, class C, class A> struct VolMember<std::map<K, V, C, A>> : VolUnstreamedMember<std::map<K, V, C, A>> {};
template <class K, class C, class A> struct VolMember<std::set<K, C, A>> : VolUnstreamedMember<std::set<K, C, A>> {};
template <class K, class V, class H, class E, class A>
struct VolMember<std::unordered_map<K, V, H, E, A>> : VolUnstreamedMember<std::unordered_map<K, V, H, E, A>> {};
template <> struct VolMember<rg_HuChiSuoLei> : VolUnstreamedMember<rg_HuChiSuoLei> {};
template <class T> struct VolMember<std::shared_ptr<T>> : VolUnstreamedMember<std::shared_ptr<T>> {};

// Embedded objects of the system: identity compare, their own member copy and stream slots, in place.
template <class T>
struct VolMember<T, std::enable_if_t<std::is_base_of_v<CVolObject, T>>> {
    static bool Equal(const T& a, const T& b) { return &a == &b; }
    static void Copy(T& d, const T& s) { d.CopyMembersFrom(s); }
    static void Save(VolDataStream* s, const T& v) { v.SaveToStream(s); }
    static void Load(VolDataStream* s, T& v) { v.LoadFromStream(s); }
};

// The object array owns its objects; a copy clones each of them.
class CVolObjectArray {
public:
    CVolObjectArray() = default;
    CVolObjectArray(const CVolObjectArray& o) { CopyFrom(o); }
    CVolObjectArray& operator=(const CVolObjectArray& o) { if (this != &o) CopyFrom(o); return *this; }
    CVolObjectArray(CVolObjectArray&&) noexcept = default;
    CVolObjectArray& operator=(CVolObjectArray&&) noexcept = default;

    int GetCount() const noexcept { return int(items_.size()); }
    CVolObject* GetAt(int i) const noexcept { return (i >= 0 && i < GetCount()) ? items_[size_t(i)].get() : nullptr; }
    void Add(std::unique_ptr<CVolObject> o) { items_.push_back(std::move(o)); }
    CVolObject* AddCopy(const CVolObject& o) { items_.emplace_back(o.Clone()); return items_.back().get(); }
    void RemoveAt(int i) { if (i >= 0 && i < GetCount()) items_.erase(items_.begin() + i); }
    // Puts the items in the order of `order`, a permutation of 0 .. count - 1, moving them as they are.
    void Reorder(const std::vector<int>& order) {
        std::vector<std::unique_ptr<CVolObject>> moved;
        moved.reserve(order.size());
        for (int i : order) moved.push_back(std::move(items_[size_t(i)]));
        items_ = std::move(moved);
    }
    void RemoveAll() noexcept { items_.clear(); }
    void CopyFrom(const CVolObjectArray& o) {
        std::vector<std::unique_ptr<CVolObject>> copy;
        copy.reserve(o.items_.size());
        for (const auto& p : o.items_) copy.emplace_back(p ? p->Clone() : nullptr);
        items_ = std::move(copy);
    }

private:
    std::vector<std::unique_ptr<CVolObject>> items_;
};
template <> struct VolMember<CVolObjectArray> : VolUnstreamedMember<CVolObjectArray> {};

template <class T> using VolPlain = std::remove_cv_t<std::remove_reference_t<T>>;

template <class Tuple, size_t... I>
bool VolEqualTupleAt(const Tuple& a, const Tuple& b, std::index_sequence<I...>) {
    return (VolMember<VolPlain<std::tuple_element_t<I, Tuple>>>::Equal(std::get<I>(a), std::get<I>(b)) && ...);
}
template <class D, class S, size_t... I>
void VolCopyTupleAt(const D& d, const S& s, std::index_sequence<I...>) {
    (VolMember<VolPlain<std::tuple_element_t<I, D>>>::Copy(std::get<I>(d), std::get<I>(s)), ...);
}
template <class Tuple, size_t... I>
void VolSaveTupleAt([[maybe_unused]] VolDataStream* st, const Tuple& t, std::index_sequence<I...>) {
    (VolMember<VolPlain<std::tuple_element_t<I, Tuple>>>::Save(st, std::get<I>(t)), ...);
}
template <class Tuple, size_t... I>
void VolLoadTupleAt([[maybe_unused]] VolDataStream* st, const Tuple& t, std::index_sequence<I...>) {
    (VolMember<VolPlain<std::tuple_element_t<I, Tuple>>>::Load(st, std::get<I>(t)), ...);
}

// Reaches a class's member list from outside its body, so the list may follow the generated slots.
struct VolAccess {
    template <class C> static auto Seq(const C& c) { return std::make_index_sequence<std::tuple_size_v<decltype(c.VolTie())>>{}; }
    template <class C> static bool Equal(const C& a, const C& b) { return VolEqualTupleAt(a.VolTie(), b.VolTie(), Seq(a)); }
    template <class C> static void Copy(C& d, const C& s) { VolCopyTupleAt(d.VolTie(), s.VolTie(), Seq(s)); }
    template <class C> static void Save(VolDataStream* st, const C& c) { VolSaveTupleAt(st, c.VolTie(), Seq(c)); }
    template <class C> static void Load(VolDataStream* st, C& c) { VolLoadTupleAt(st, c.VolTie(), Seq(c)); }
    // A class that declares its own OnStreamLoaded() checks what was just read into it.
    template <class C> static void Loaded(C& c) {
        if constexpr (requires { { &C::OnStreamLoaded } -> std::same_as<void (C::*)()>; }) c.OnStreamLoaded();
    }
};

// The generated pattern. In the class body:  VOL_CLASS(Class, Base, "ns::Class")  and
// VOL_MEMBERS(a, b, ...) listing the protocol members in declaration order (handles, threads,
// event records and other never-copied state stay out of the list).
#define VOL_CLASS(Class, Base, FullName)                                                                 \
    friend struct VolAccess;                                                                              \
                                                                                                          \
public:                                                                                                   \
    using VolBase = Base;                                                                                 \
    static const VolClassInfo& StaticClassInfo() {                                                        \
        static const VolClassInfo info = VolMakeClassInfo(FullName, []() -> CVolObject* { return new Class(); }); \
        return info;                                                                                      \
    }                                                                                                     \
    const VolClassInfo& GetClassInfo() const override { return StaticClassInfo(); }                      \
    CVolObject* CreateNew() const override { return new Class(); }                                        \
    CVolObject* Clone() const override {                                                                  \
        Class* p = new Class();                                                                           \
        p->CopyMembers(*this);                                                                            \
        return p;                                                                                         \
    }                                                                                                     \
    bool IsKindOf(const VolClassInfo& i) const override { return VolSameClass(i, StaticClassInfo()) || Base::IsKindOf(i); } \
    bool IsEqual(const CVolObject& o) const override {                                                    \
        if (!VolSameClass(o.GetClassInfo(), StaticClassInfo())) return false;                             \
        const Class& x = static_cast<const Class&>(o);                                                    \
        return VolHeaderEqual(x) && VolMembersEqual(x);                                                   \
    }                                                                                                     \
    int CopyFrom(const CVolObject& o) override {                                                          \
        if (!o.IsKindOf(StaticClassInfo())) return 0;                                                     \
        PrepareForCopy();                                                                                 \
        CopyMembers(static_cast<const Class&>(o));                                                        \
        return 1;                                                                                         \
    }                                                                                                     \
    void Reset() override {                                                                               \
        Class fresh;                                                                                      \
        PrepareForCopy();                                                                                 \
        CopyMembers(fresh);                                                                               \
    }                                                                                                     \
    void LoadFromStream(VolDataStream* s) override {                                                      \
        if (!VolStreamGood(s)) return;                                                                    \
        Base::LoadFromStream(s);                                                                          \
        VolAccess::Load(s, *this);                                                                        \
        VolAccess::Loaded(*this);                                                                         \
    }                                                                                                     \
    void SaveToStream(VolDataStream* s) const override {                                                  \
        if (!VolStreamGood(s)) return;                                                                    \
        Base::SaveToStream(s);                                                                            \
        VolAccess::Save(s, *this);                                                                        \
    }                                                                                                     \
    void CopyMembersFrom(const Class& s) { CopyMembers(s); }                                              \
                                                                                                          \
protected:                                                                                                \
    void CopyMembers(const Class& s) {                                                                    \
        Base::CopyMembers(s);                                                                             \
        VolAccess::Copy(*this, s);                                                               \
    }                                                                                                     \
    bool VolMembersEqual(const Class& o) const { return Base::VolMembersEqual(o) && VolAccess::Equal(*this, o); } \
                                                                                                          \
public:

#define VOL_MEMBERS(...)                                                                                  \
    auto VolTie() { return std::tie(__VA_ARGS__); }                                                       \
    auto VolTie() const { return std::tie(__VA_ARGS__); }

// ---- events --------------------------------------------------------------------------------------

// The event target of an object that receives events; binding records hold counted references to it.
// Handlers run on the raising thread; the owner's destruction waits only for handlers on other threads.
class CVolEventObjectPointer {
public:
    explicit CVolEventObjectPointer(CVolObject* owner) noexcept : owner_(owner) {}
    CVolEventObjectPointer(const CVolEventObjectPointer&) = delete;
    CVolEventObjectPointer& operator=(const CVolEventObjectPointer&) = delete;

    void AddRef() noexcept { refs_.fetch_add(1, std::memory_order_relaxed); }
    void ReleaseRef() noexcept {
        if (refs_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
    long RefCount() const noexcept { return refs_.load(); }

    // Enters a handler call; returns the owner, or null when the event must be dropped.
    CVolObject* Enter() noexcept;
    void Leave() noexcept;
    // The owner is going away: refuse new calls, wait for calls on other threads, forget the owner.
    void Detach() noexcept;

private:
    ~CVolEventObjectPointer() = default;
    std::atomic<long> refs_{1};
    SRWLOCK lock_ = SRWLOCK_INIT;
    CONDITION_VARIABLE idle_ = CONDITION_VARIABLE_INIT;
    int busyCount_ = 0;
    bool dying_ = false;
    std::vector<std::pair<DWORD, int>> busyThreads_;
    CVolObject* owner_;
};

// A counted reference to an event target.
class VolEventTargetRef {
public:
    VolEventTargetRef() noexcept = default;
    explicit VolEventTargetRef(CVolEventObjectPointer* p, bool addRef) noexcept : p_(p) { if (p_ && addRef) p_->AddRef(); }
    VolEventTargetRef(const VolEventTargetRef& o) noexcept : p_(o.p_) { if (p_) p_->AddRef(); }
    VolEventTargetRef(VolEventTargetRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    VolEventTargetRef& operator=(VolEventTargetRef o) noexcept { std::swap(p_, o.p_); return *this; }
    ~VolEventTargetRef() { if (p_) p_->ReleaseRef(); }
    CVolEventObjectPointer* get() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

private:
    CVolEventObjectPointer* p_ = nullptr;
};

// Base of objects that receive events. The most derived class calls DetachEvents() first thing in
// its destructor, so no handler of another thread runs while members are torn down.
class VolEventReceiver {
public:
    VolEventReceiver(CVolObject* self) : target_(new CVolEventObjectPointer(self), false) {}
    VolEventReceiver(const VolEventReceiver&) = delete;
    VolEventReceiver& operator=(const VolEventReceiver&) = delete;
    ~VolEventReceiver() { DetachEvents(); }
    CVolEventObjectPointer* GetEventTarget() const noexcept { return target_.get(); }
    void DetachEvents() noexcept {
        if (target_) {
            target_.get()->Detach();
            target_ = VolEventTargetRef();
        }
    }

private:
    VolEventTargetRef target_;
};

// One event of an object: the bound handler, its counted target reference, and the extra word.
template <class... Args>
class VolEventBinding {
public:
    using Handler = int (*)(CVolObject* owner, CVolObject* source, intptr_t extra, Args... args);

    VolEventBinding() = default;
    VolEventBinding(const VolEventBinding&) = delete;  // never copied
    VolEventBinding& operator=(const VolEventBinding&) = delete;

    void Bind(Handler h, CVolEventObjectPointer* target) {
        VolEventTargetRef old;
        lock_.Lock();
        handler_ = h;
        extra_ = 0;
        if (!target) {
            old = std::move(target_);
        } else if (target != target_.get()) {
            old = std::move(target_);
            target_ = VolEventTargetRef(target, true);
        }
        lock_.Unlock();
        // the previous target's reference goes when `old` leaves scope, outside the lock
    }
    void Unbind() { Bind(nullptr, nullptr); }
    bool IsBound() const {
        lock_.Lock();
        bool b = handler_ && target_;
        lock_.Unlock();
        return b;
    }

    // Calls the handler on this thread and returns its result; a dropped event gives `dropped`.
    int Raise(CVolObject* source, Args... args, int dropped = 0) const {
        lock_.Lock();
        Handler h = handler_;
        intptr_t extra = extra_;
        VolEventTargetRef target = target_;
        lock_.Unlock();
        if (!target || !h) return dropped;
        CVolObject* owner = target.get()->Enter();
        if (!owner) return dropped;
        // Left on every way out: a call counted as running forever would keep the owner's
        // destruction on another thread waiting for it.
        struct Leaving {
            CVolEventObjectPointer* target;
            ~Leaving() { target->Leave(); }
        } leaving{target.get()};
        return h(owner, source, extra, args...);
    }

private:
    mutable SpinLockWord lock_;
    Handler handler_ = nullptr;
    VolEventTargetRef target_;
    intptr_t extra_ = 0;
};

// A plain function with the handler signature that passes an event on to a method of the owner:
//   binding.Bind(&VolThunk<&Owner::OnClicked>::Call, GetEventTarget());
template <auto Method> struct VolThunk;
template <class Owner, class R, class... Args, R (Owner::*M)(CVolObject*, Args...)>
struct VolThunk<M> {
    static int Call(CVolObject* owner, CVolObject* source, intptr_t, Args... args) {
        if constexpr (std::is_void_v<R>) {
            (static_cast<Owner*>(owner)->*M)(source, args...);
            return 0;
        } else {
            return int((static_cast<Owner*>(owner)->*M)(source, args...));
        }
    }
};
#define VOL_BIND(record, method) (record).Bind(&VolThunk<method>::Call, this->GetEventTarget())
