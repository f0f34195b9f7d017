#include "platform/object.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

// ---- class information -------------------------------------------------------------------------

int32_t VolNameHash(const char* name, size_t length) noexcept {
    if (length == 0) return 0;
    uint32_t h = 0;
    for (size_t i = 0; i < length; ++i) h = h * 5 + uint32_t(int32_t(static_cast<signed char>(name[i])));
    return int32_t((h | 1) & 0x7FFFFFFF);
}

VolClassInfo VolMakeClassInfo(const char* name, CVolObject* (*create)()) noexcept {
    size_t n = name ? std::strlen(name) : 0;
    return VolClassInfo{create, name ? name : "", int32_t(n), VolNameHash(name, n)};
}

bool VolSameClass(const VolClassInfo& a, const VolClassInfo& b) noexcept {
    if (&a == &b) return true;
    return a.nameHash == b.nameHash && a.nameLength == b.nameLength &&
           std::memcmp(a.name, b.name, size_t(a.nameLength)) == 0;
}

// ---- memory pool ---------------------------------------------------------------------------------

namespace {
[[noreturn]] void OutOfMemory() { ::ExitProcess(UINT(-1)); }
}  // namespace

VolMemManager& VolMemManager::Instance() {
    static VolMemManager* manager = new VolMemManager();  // lives until the process ends
    return *manager;
}

VolMemManager::VolMemManager() : heap_(::GetProcessHeap()) {
    region_ = static_cast<uint8_t*>(::HeapAlloc(heap_, 0, kBlockSize * kBlockCount));
    if (!region_) return;  // no pool: every request goes to the heap
    for (size_t i = 0; i < kBlockCount; ++i) {
        Block* b = reinterpret_cast<Block*>(region_ + i * kBlockSize);
        b->next = (i + 1 < kBlockCount) ? reinterpret_cast<Block*>(region_ + (i + 1) * kBlockSize) : nullptr;
    }
    head_ = reinterpret_cast<Block*>(region_);
}

bool VolMemManager::InPool(const void* p) const noexcept {
    auto* b = static_cast<const uint8_t*>(p);
    return region_ && b >= region_ && b < region_ + kBlockSize * kBlockCount;
}

void* VolMemManager::TryAlloc(size_t n) noexcept {
    if (n <= kBlockSize) {
        lock_.Lock();
        Block* b = head_;
        if (b) head_ = b->next;
        lock_.Unlock();
        if (b) return b;
    }
    return ::HeapAlloc(heap_, 0, n ? n : 1);
}

void* VolMemManager::Alloc(size_t n) {
    void* p = TryAlloc(n);
    if (!p) OutOfMemory();
    return p;
}

void* VolMemManager::Realloc(void* p, size_t n) {
    if (!p) return Alloc(n);
    if (InPool(p)) {
        if (n <= kBlockSize) return p;
        void* q = ::HeapAlloc(heap_, 0, n);
        if (!q) OutOfMemory();
        std::memcpy(q, p, kBlockSize);
        Free(p);
        return q;
    }
    void* q = ::HeapReAlloc(heap_, 0, p, n ? n : 1);
    if (!q) OutOfMemory();
    return q;
}

void VolMemManager::Free(void* p) noexcept {
    if (!p) return;
    if (InPool(p)) {
        Block* b = static_cast<Block*>(p);
        lock_.Lock();
        b->next = head_;
        head_ = b;
        lock_.Unlock();
        return;
    }
    ::HeapFree(heap_, 0, p);
}

// ---- data stream ---------------------------------------------------------------------------------

size_t VolDataStream::ReadBytes(void* buf, size_t n) {
    if (status != kGood) return 0;
    if (n == 0) return 0;
    size_t got = RawRead(buf, n);
    if (got < n) status = kShortRead;
    return got;
}

int VolDataStream::WriteBytes(const void* buf, size_t n) {
    if (status != kGood) return 0;
    if (n == 0) return 1;
    if (!RawWrite(buf, n)) {
        status = kWriteRefused;
        return 0;
    }
    return 1;
}

bool VolDataStream::ReadBlock(CVolMem& block) {
    int32_t n = 0;
    if (!ReadValue(n)) return false;
    if (n < 0) {
        status = kShortRead;
        return false;
    }
    block.Empty();
    if (n == 0) return true;
    // Read in bounded chunks, so a corrupt length costs at most what actually arrives.
    CVolMem got;
    size_t left = size_t(n);
    uint8_t chunk[16384];
    while (left > 0) {
        size_t want = std::min(left, sizeof(chunk));
        size_t r = ReadBytes(chunk, want);
        if (r < want) return false;  // short read: the block stays empty
        got.Append(chunk, r);
        left -= r;
    }
    block = std::move(got);
    return true;
}

void VolDataStream::WriteBlock(const void* p, size_t n) {
    if (WriteValue(int32_t(n)), status != kGood) return;
    WriteBytes(p, n);
}

bool VolDataStream::ReadText(CWString& text) {
    text.clear();
    CVolMem m;
    if (!ReadBlock(m)) return false;
    text = CWString::FromUtf16Bytes(m.GetPtr(), m.GetSize());
    if (!text.empty() && text.back() == L'\0') text.pop_back();
    return true;
}

void VolDataStream::WriteText(std::wstring_view text) {
    if (text.empty()) {
        WriteValue(int32_t(0));
        return;
    }
    std::wstring withZero(text);
    withZero.push_back(L'\0');
    WriteBlock(withZero.data(), withZero.size() * sizeof(wchar_t));
}

size_t VolMemStream::RawRead(void* buf, size_t n) {
    size_t avail = data_.GetSize() - std::min(pos_, data_.GetSize());
    size_t r = std::min(n, avail);
    if (r) std::memcpy(buf, data_.GetPtr() + pos_, r);
    pos_ += r;
    return r;
}

bool VolMemStream::RawWrite(const void* buf, size_t n) {
    if (n > writeLimit_ || data_.GetSize() > writeLimit_ - n) return false;
    data_.Append(buf, n);
    return true;
}

// ---- the object ----------------------------------------------------------------------------------

const VolClassInfo& CVolObject::StaticClassInfo() {
    static const VolClassInfo info = VolMakeClassInfo("CVolObject", []() -> CVolObject* { return new CVolObject(); });
    return info;
}

bool CVolObject::IsEqual(const CVolObject& other) const {
    return VolSameClass(other.GetClassInfo(), StaticClassInfo()) && VolHeaderEqual(other);
}

CVolObject* CVolObject::Clone() const {
    auto* p = new CVolObject();
    p->CopyMembers(*this);
    return p;
}

int CVolObject::CopyFrom(const CVolObject& other) {
    if (!other.IsKindOf(StaticClassInfo())) return 0;
    PrepareForCopy();
    CopyMembers(other);
    return 1;
}

void CVolObject::Reset() {
    PrepareForCopy();
    flags = 0;
    tag = 0;
}

CVolObject* CVolObject::DeleteSelf(int how) {
    if ((how & 1) && !(how & 4)) {
        delete this;
        return nullptr;
    }
    this->~CVolObject();
    return this;
}

void CVolObject::DumpText(CWString& out, int) const {
    const VolClassInfo& info = GetClassInfo();
    wchar_t addr[40];
    std::swprintf(addr, 40, L", 地址为: 0x%llX", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(this)));
    out += L"无法解析的对象数据,其输出类名为: \"";
    out += Utf8ToWide(std::string_view(info.name, size_t(info.nameLength)));
    out += L"\"";
    out += addr;
    if (flags & kFlagEmpty) out += L", 为空对象";
}

void VolDumpBytes(CWString& out, const void* p, size_t n, int limit) {
    size_t shown = (limit < 0) ? n : std::min(n, size_t(limit == 0 ? 1024 : limit));
    wchar_t head[160];
    if (shown < n)
        std::swprintf(head, 160, L"<字节集> 总共 %d 个字节,输出了 %d 个,还有 %d 个未被输出.", int(n), int(shown), int(n - shown));
    else
        std::swprintf(head, 160, L"<字节集> 总共 %d 个字节:", int(n));
    out += head;
    const uint8_t* b = static_cast<const uint8_t*>(p);
    for (size_t i = 0; i < shown; ++i) {
        wchar_t hex[8];
        std::swprintf(hex, 8, (i % 16 == 0) ? L"\r\n%02X" : L" %02X", b[i]);
        out += hex;
    }
}

// ---- events --------------------------------------------------------------------------------------

CVolObject* CVolEventObjectPointer::Enter() noexcept {
    const DWORD me = ::GetCurrentThreadId();
    ::AcquireSRWLockExclusive(&lock_);
    CVolObject* owner = dying_ ? nullptr : owner_;
    if (owner) {
        ++busyCount_;
        auto it = std::find_if(busyThreads_.begin(), busyThreads_.end(), [&](auto& e) { return e.first == me; });
        if (it == busyThreads_.end()) busyThreads_.emplace_back(me, 1);
        else ++it->second;
    }
    ::ReleaseSRWLockExclusive(&lock_);
    return owner;
}

void CVolEventObjectPointer::Leave() noexcept {
    const DWORD me = ::GetCurrentThreadId();
    ::AcquireSRWLockExclusive(&lock_);
    --busyCount_;
    auto it = std::find_if(busyThreads_.begin(), busyThreads_.end(), [&](auto& e) { return e.first == me; });
    if (it != busyThreads_.end() && --it->second == 0) busyThreads_.erase(it);
    ::ReleaseSRWLockExclusive(&lock_);
    ::WakeAllConditionVariable(&idle_);
}

void CVolEventObjectPointer::Detach() noexcept {
    const DWORD me = ::GetCurrentThreadId();
    ::AcquireSRWLockExclusive(&lock_);
    dying_ = true;
    for (;;) {
        int mine = 0;
        for (auto& e : busyThreads_)
            if (e.first == me) mine = e.second;
        if (busyCount_ - mine <= 0) break;
        ::SleepConditionVariableSRW(&idle_, &lock_, INFINITE, 0);
    }
    owner_ = nullptr;
    ::ReleaseSRWLockExclusive(&lock_);
}
