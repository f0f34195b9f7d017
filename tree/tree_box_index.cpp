// The four lookup indexes built in the background, and the visible-row index kept by the UI thread.
//
// How the jobs stay off the UI thread's data: StartIndexJobs lends nodeBuffer's bytes to an
// immutable snapshot (no copy: a change of the buffer while a job still reads them copies them
// first), and a pass reads only that snapshot. A pass builds into its own buffers and leaves them,
// with the length and edit stamp it was built from, under the index's gate mutex. The UI thread
// takes them over when it next asks whether the index is current, so the index members are only
// ever touched by the UI thread. An index counts as current only for the present length and stamp.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tree/tree_box.h"

struct rg_DrenvikShuXingKuang::IndexSnapshot {
    std::shared_ptr<const std::vector<uint8_t>> bytes;
    int32_t nodeCount = 0;
    int32_t tail = 30;  // delimiter + fixed fields
    int32_t length = 0;
    uint32_t stamp = 0;
};

struct rg_DrenvikShuXingKuang::IndexRefs {
    CVolMem* blocks[2];
    int32_t* ready;
    int32_t* building;
    int32_t* builtFor;
    rg_DrenvikDuiLieWeiYiLei* gate;
};

namespace {

constexpr uint8_t kDelimiter[4] = {1, 2, 3, 4};
constexpr int32_t kRestartCheckEvery = 256;

void AppendInt(std::vector<uint8_t>& v, int32_t x) {
    uint8_t b[4];
    std::memcpy(b, &x, 4);
    v.insert(v.end(), b, b + 4);
}
void PutInt(std::vector<uint8_t>& v, size_t at, int32_t x) { std::memcpy(v.data() + at, &x, 4); }
int32_t GetInt(const std::vector<uint8_t>& v, size_t at) {
    int32_t x;
    std::memcpy(&x, v.data() + at, 4);
    return x;
}

enum class Pass { Done, Restart, Malformed };

// One walk over the snapshot's records: visit(i, recordStart, level). Tests the gate for a restart
// request (and the owner for a stop) every few records.
template <class Visit, class Interrupted>
Pass WalkRecords(const rg_DrenvikShuXingKuang::IndexSnapshot& s, Interrupted interrupted, Visit visit) {
    const uint8_t* base = s.bytes->data();
    const int64_t size = int64_t(s.bytes->size());
    int64_t pos = 0;
    for (int32_t i = 0; i < s.nodeCount; ++i) {
        if (i % kRestartCheckEvery == 0 && interrupted()) return Pass::Restart;
        const uint8_t* at = base + pos;
        if (pos >= size) return Pass::Malformed;
        const uint8_t* found = nullptr;
        while (size - (at - base) >= 4) {
            at = static_cast<const uint8_t*>(std::memchr(at, 1, size_t(size - (at - base) - 3)));
            if (!at) break;
            if (std::memcmp(at, kDelimiter, 4) == 0) {
                found = at;
                break;
            }
            ++at;
        }
        if (!found) return Pass::Malformed;
        const int64_t d = found - base;
        if (d + s.tail > size) return Pass::Malformed;
        int32_t level;
        std::memcpy(&level, base + d + 4, 4);
        if (!visit(i, int32_t(pos), level)) return Pass::Malformed;
        if (d + s.tail <= pos) return Pass::Malformed;  // every step moves forward
        pos = d + s.tail;
    }
    return interrupted() ? Pass::Restart : Pass::Done;
}

// The levels the level-stack jobs accept: the first record at 0, then at most one deeper each time.
struct LevelGuard {
    int32_t previous = -1;
    bool Accept(int32_t level) {
        if (level < 0 || level > previous + 1) return false;
        previous = level;
        return true;
    }
};

}  // namespace

// ---- reading ---------------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::ReadIndexInt(const CVolMem& block, int64_t at) noexcept {
    if (at < 0) return 0;
    uint8_t b[4] = {0, 0, 0, 0};
    const int64_t size = int64_t(block.GetSize());
    for (int k = 0; k < 4; ++k)
        if (at + k < size) b[k] = block[size_t(at + k)];
    int32_t v;
    std::memcpy(&v, b, 4);
    return v;
}

rg_DrenvikShuXingKuang::IndexRefs rg_DrenvikShuXingKuang::Refs(IndexKind kind) const {
    auto* self = const_cast<rg_DrenvikShuXingKuang*>(this);
    switch (kind) {
        case kOffsets:
            return {{&self->offsetIndex, nullptr}, &self->offsetIndexReady, &self->offsetIndexBuilding,
                    &self->offsetIndexBuiltFor, &self->offsetIndexGate};
        case kParents:
            return {{&self->parentIndex, nullptr}, &self->parentIndexReady, &self->parentIndexBuilding,
                    &self->parentIndexBuiltFor, &self->parentIndexGate};
        case kSiblings:
            return {{&self->previousSiblingIndex, &self->nextSiblingIndex}, &self->siblingIndexReady,
                    &self->siblingIndexBuilding, &self->siblingIndexBuiltFor, &self->siblingIndexGate};
        case kLastDescendants:
        default:
            return {{&self->lastDescendantIndex, nullptr}, &self->lastDescendantIndexReady,
                    &self->lastDescendantIndexBuilding, &self->lastDescendantIndexBuiltFor,
                    &self->lastDescendantIndexGate};
    }
}

bool rg_DrenvikShuXingKuang::IsIndexCurrent(IndexKind kind) const {
    const IndexRefs r = Refs(kind);
    const int32_t length = int32_t(nodeBuffer.GetSize());
    if (*r.builtFor != length || requestedStamp_[kind] != editStamp.value) return false;
    {
        // Taking over a finished pass is a cache fill: the index members change, the tree does not.
        auto* self = const_cast<rg_DrenvikShuXingKuang*>(this);
        FinishedPass& f = self->finished_[kind];
        LockGuard guard(r.gate->gateLock);
        if (f.waiting) {
            *r.blocks[0] = std::move(f.blocks[0]);
            if (r.blocks[1]) *r.blocks[1] = std::move(f.blocks[1]);
            f.blocks[0] = CVolMem();
            f.blocks[1] = CVolMem();
            *r.ready = f.built ? 1 : 0;
            self->builtLength_[kind] = f.length;
            self->builtStamp_[kind] = f.stamp;
            if (f.stamp == requestedStamp_[kind] && f.length == *r.builtFor) *r.building = 0;
            f.waiting = false;
        }
    }
    // The last pass is in: the jobs no longer read the lent bytes, so a change need not copy them.
    if (!offsetIndexBuilding && !parentIndexBuilding && !siblingIndexBuilding && !lastDescendantIndexBuilding) {
        auto* self = const_cast<rg_DrenvikShuXingKuang*>(this);
        LockGuard guard(snapshotLock_);
        self->snapshot_.reset();
    }
    return *r.ready && builtLength_[kind] == length && builtStamp_[kind] == editStamp.value;
}

int32_t rg_DrenvikShuXingKuang::IsOffsetIndexCurrent() const { return IsIndexCurrent(kOffsets) ? 1 : 0; }
int32_t rg_DrenvikShuXingKuang::IsParentIndexCurrent() const { return IsIndexCurrent(kParents) ? 1 : 0; }
int32_t rg_DrenvikShuXingKuang::IsSiblingIndexCurrent() const { return IsIndexCurrent(kSiblings) ? 1 : 0; }
int32_t rg_DrenvikShuXingKuang::IsLastDescendantIndexCurrent() const {
    return IsIndexCurrent(kLastDescendants) ? 1 : 0;
}

int32_t rg_DrenvikShuXingKuang::GetRecordOffsetFromIndex(int32_t node) const {
    if (node < 0 || node >= nodeCount) return -1;
    return ReadIndexInt(offsetIndex, int64_t(node) * 6 + 2);
}

int32_t rg_DrenvikShuXingKuang::FindNodeIndexByOffset(int32_t start, int32_t from, int32_t backwards) const {
    // Record starts rise strictly with the index, so the entry is found by halving.
    int64_t lo = 0, hi = int64_t(offsetIndex.GetSize() / 6);  // entries that have their 6 bytes
    hi = std::min<int64_t>(hi, nodeCount);
    while (lo < hi) {
        const int64_t mid = (lo + hi) / 2;
        if (ReadIndexInt(offsetIndex, mid * 6 + 2) < start) lo = mid + 1;
        else hi = mid;
    }
    const bool hit = lo < std::min<int64_t>(int64_t(offsetIndex.GetSize() / 6), nodeCount) &&
                     ReadIndexInt(offsetIndex, lo * 6 + 2) == start;
    if (!hit) return nodeCount;
    if (from >= 0 && (backwards ? lo > from : lo < from)) return nodeCount;
    return int32_t(lo);
}

int32_t rg_DrenvikShuXingKuang::GetParentFromIndex(int32_t node) const {
    if (node < 0 || node >= nodeCount) return -1;
    return ReadIndexInt(parentIndex, int64_t(node) * 4);
}

int32_t rg_DrenvikShuXingKuang::GetPreviousSiblingFromIndex(int32_t node) const {
    if (node < 0 || node >= nodeCount) return -1;
    return ReadIndexInt(previousSiblingIndex, int64_t(node) * 4);
}

int32_t rg_DrenvikShuXingKuang::GetNextSiblingFromIndex(int32_t node) const {
    if (node < 0 || node >= nodeCount) return 0;
    return ReadIndexInt(nextSiblingIndex, int64_t(node) * 4);
}

int32_t rg_DrenvikShuXingKuang::GetLastDescendantFromIndex(int32_t node) const {
    if (node < 0 || node >= nodeCount) return 0;
    return ReadIndexInt(lastDescendantIndex, int64_t(node) * 4);
}

// ---- starting --------------------------------------------------------------------------------------

std::shared_ptr<const rg_DrenvikShuXingKuang::IndexSnapshot> rg_DrenvikShuXingKuang::TakeSnapshot() const {
    LockGuard guard(snapshotLock_);
    return snapshot_;
}

int32_t rg_DrenvikShuXingKuang::StartIndexJobs() {
    if (stopping_.load()) return 1;
    if (useThreadPool && indexPool.workerTarget == 0) indexPool.StartWorkers(4);
    else if (!useThreadPool && indexPool.workerTarget != 0) indexPool.StartWorkers(0);

    const int32_t length = int32_t(nodeBuffer.GetSize());
    bool snapshotTaken = false;
    for (IndexKind kind : {kOffsets, kLastDescendants, kParents, kSiblings}) {
        const IndexRefs r = Refs(kind);
        if (*r.builtFor == length && requestedStamp_[kind] == editStamp.value) continue;
        if (!snapshotTaken) {
            auto s = std::make_shared<IndexSnapshot>();
            s->bytes = nodeBuffer.Lend();
            s->nodeCount = nodeCount;
            s->tail = RecordTailLength();
            s->length = length;
            s->stamp = editStamp.value;
            LockGuard guard(snapshotLock_);
            snapshot_ = std::move(s);
            snapshotTaken = true;
        }
        *r.ready = 0;
        *r.building = 1;
        *r.builtFor = length;
        requestedStamp_[kind] = editStamp.value;
        LaunchIndexJob(kind);
    }
    // Once every index is current no job needs the copy of the buffer any more.
    if (!snapshotTaken && IsOffsetIndexCurrent() && IsParentIndexCurrent() && IsSiblingIndexCurrent() &&
        IsLastDescendantIndexCurrent()) {
        LockGuard guard(snapshotLock_);
        snapshot_.reset();
    }
    return 1;
}

void rg_DrenvikShuXingKuang::LaunchIndexJob(IndexKind kind) {
    if (useThreadPool && indexPool.workerTarget != 0) {
        indexPool.AddTask(kind, 0, 0, L"", L"", L"");
        return;
    }
    LPTHREAD_START_ROUTINE entry = kind == kOffsets          ? &IndexJob1ThreadProc
                                   : kind == kParents        ? &IndexJob2ThreadProc
                                   : kind == kSiblings       ? &IndexJob3ThreadProc
                                                             : &IndexJob4ThreadProc;
    liveJobThreads_.fetch_add(1);
    HANDLE thread = ::CreateThread(nullptr, 0, entry, this, 0, nullptr);
    if (thread) ::CloseHandle(thread);
    else liveJobThreads_.fetch_sub(1);  // the index stays not ready; the scans keep working
}

#define TREE_JOB_THREAD(Proc, Job)                               \
    DWORD WINAPI rg_DrenvikShuXingKuang::Proc(void* treeBox) {   \
        auto* self = static_cast<rg_DrenvikShuXingKuang*>(treeBox); \
        self->Job();                                             \
        self->liveJobThreads_.fetch_sub(1); /* last touch */     \
        return 0;                                                \
    }
TREE_JOB_THREAD(IndexJob1ThreadProc, IndexJob1)
TREE_JOB_THREAD(IndexJob2ThreadProc, IndexJob2)
TREE_JOB_THREAD(IndexJob3ThreadProc, IndexJob3)
TREE_JOB_THREAD(IndexJob4ThreadProc, IndexJob4)
#undef TREE_JOB_THREAD

int32_t rg_DrenvikShuXingKuang::RunPoolIndexJob(CVolObject* pool, int32_t taskType, int32_t, int32_t,
                                                const CWString&, const CWString&, const CWString&) {
    if (pool != &indexPool) return 0;
    switch (taskType) {
        case kOffsets: IndexJob1(); break;
        case kLastDescendants: IndexJob4(); break;
        case kParents: IndexJob2(); break;
        case kSiblings: IndexJob3(); break;
        default: break;
    }
    return 0;
}

int32_t rg_DrenvikShuXingKuang::OnStopPool(CVolObject*) {
    indexPool.StartWorkers(0);
    return 0;
}

int32_t rg_DrenvikShuXingKuang::IndexJob1() { return RunIndexJob(kOffsets); }
int32_t rg_DrenvikShuXingKuang::IndexJob2() { return RunIndexJob(kParents); }
int32_t rg_DrenvikShuXingKuang::IndexJob3() { return RunIndexJob(kSiblings); }
int32_t rg_DrenvikShuXingKuang::IndexJob4() { return RunIndexJob(kLastDescendants); }

bool rg_DrenvikShuXingKuang::IndexJobsIdle() const {
    for (IndexKind kind : {kOffsets, kLastDescendants, kParents, kSiblings}) {
        const IndexRefs r = Refs(kind);
        LockGuard guard(r.gate->gateLock);
        if (r.gate->busy) return false;
    }
    return liveJobThreads_.load() == 0 && indexPool.GetWaitingCount() == 0;
}

void rg_DrenvikShuXingKuang::StopIndexJobs() noexcept {
    stopping_.store(true);
    indexPool.StartWorkers(0);
    // Pool jobs run inside the pool's task event: detaching waits for them and refuses new ones.
    DetachEvents();
    while (liveJobThreads_.load() > 0) ::Sleep(1);
}

// ---- the passes ------------------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::RunIndexJob(IndexKind kind) {
    const IndexRefs r = Refs(kind);
    rg_DrenvikDuiLieWeiYiLei& gate = *r.gate;
    if (!gate.TryEnter()) return 0;  // the active run starts over
    auto interrupted = [&] { return stopping_.load(std::memory_order_relaxed) || gate.TakePending(); };
    std::vector<uint8_t> a, b;
    for (;;) {  // each turn is one pass; a restart request or a pending start turns again
        const std::shared_ptr<const IndexSnapshot> snap = TakeSnapshot();
        if (stopping_.load()) {
            LockGuard guard(gate.gateLock);
            gate.busy = gate.pending = 0;
            return 0;
        }
        // No snapshot: every index was current when it was dropped, so a late start has nothing to
        // do, unless a start for a newer one arrived meanwhile.
        if (!snap) {
            if (gate.FinishPass()) continue;
            return 0;
        }
        Pass pass = Pass::Malformed;
        a.clear();
        b.clear();
        // A count the bytes cannot hold is malformed before anything is sized by it.
        if (snap->nodeCount > 0 && int64_t(snap->nodeCount) <= int64_t(snap->bytes->size()) / snap->tail) {
            const IndexSnapshot& s = *snap;
            const size_t n = size_t(s.nodeCount);
            if (kind == kOffsets) {
                a.reserve(n * 6 + 2);
                pass = WalkRecords(s, interrupted, [&](int32_t, int32_t start, int32_t) {
                    a.push_back(3);
                    a.push_back(4);
                    AppendInt(a, start);
                    return true;
                });
                a.push_back(3);
                a.push_back(4);
            } else if (kind == kParents) {
                a.reserve(n * 4);
                std::vector<int32_t> stack{-1};
                LevelGuard levels;
                pass = WalkRecords(s, interrupted, [&](int32_t i, int32_t, int32_t level) {
                    if (!levels.Accept(level)) return false;
                    if (stack.size() < size_t(level) + 2) stack.push_back(-1);
                    stack[size_t(level) + 1] = i;
                    AppendInt(a, stack[size_t(level)]);
                    return true;
                });
            } else if (kind == kSiblings) {
                a.reserve(n * 4);
                std::vector<int32_t> stack{-1};
                LevelGuard levels;
                int32_t previous = -1;
                pass = WalkRecords(s, interrupted, [&](int32_t i, int32_t, int32_t level) {
                    if (!levels.Accept(level)) return false;
                    if (level < previous) {
                        for (int32_t l = level + 1; l <= previous; ++l) stack[size_t(l)] = -1;
                    } else if (stack.size() < size_t(level) + 1) {
                        stack.push_back(-1);
                    }
                    AppendInt(a, stack[size_t(level)]);
                    stack[size_t(level)] = i;
                    previous = level;
                    return true;
                });
                if (pass == Pass::Done) {
                    b.assign(n * 4, 0);
                    for (size_t j = 0; j < n; ++j) {
                        if (j % kRestartCheckEvery == 0 && interrupted()) {
                            pass = Pass::Restart;
                            break;
                        }
                        const int32_t p = GetInt(a, j * 4);
                        if (p >= 0 && size_t(p) < n) PutInt(b, size_t(p) * 4, int32_t(j));
                    }
                }
            } else {
                a.assign(n * 4, 0);
                std::vector<int32_t> stack;
                LevelGuard levels;
                int32_t previous = -1;
                pass = WalkRecords(s, interrupted, [&](int32_t i, int32_t, int32_t level) {
                    if (!levels.Accept(level)) return false;
                    if (stack.size() < size_t(level) + 1) stack.push_back(-1);
                    if (level < previous)
                        for (int32_t l = level; l < previous; ++l) PutInt(a, size_t(stack[size_t(l)]) * 4, i - 1);
                    stack[size_t(level)] = i;
                    previous = level;
                    return true;
                });
                if (pass == Pass::Done)
                    for (int32_t l = 0; l < previous; ++l)
                        PutInt(a, size_t(stack[size_t(l)]) * 4, s.nodeCount - 1);
            }
        }
        if (pass == Pass::Restart) continue;
        CVolMem first, second;
        if (pass == Pass::Done) {
            first.Assign(a.data(), a.size());
            second.Assign(b.data(), b.size());
        }
        {
            LockGuard guard(gate.gateLock);
            FinishedPass& f = finished_[kind];
            f.blocks[0] = std::move(first);
            f.blocks[1] = std::move(second);
            f.built = pass == Pass::Done;
            f.length = snap->length;
            f.stamp = snap->stamp;
            f.waiting = true;
        }
        if (!gate.FinishPass()) return 0;
    }
}

// ---- loading ---------------------------------------------------------------------------------------

void rg_DrenvikShuXingKuang::OnStreamLoaded() {
    delimiter.Assign(kRecordDelimiter, 4);
    delimiterLength = 4;
    if (fixedFieldsLength != 18 && fixedFieldsLength != 26) fixedFieldsLength = compactRecords ? 18 : 26;
    compactRecords = fixedFieldsLength == 18 ? 1 : 0;
    nodeCount = std::clamp(nodeCount, 0, CountRecords(nodeBuffer));
    for (IndexKind kind : {kOffsets, kLastDescendants, kParents, kSiblings}) {
        const IndexRefs r = Refs(kind);
        for (CVolMem* block : r.blocks)
            if (block) block->Empty();
        *r.ready = 0;
        *r.building = 0;
        *r.builtFor = -1;
    }
    visibleRowIndex.Empty();
    visibleRowIndexBuiltFor = -1;
    visibleRowCount = 0;
    for (auto* table : {&rowNodes, &rowExpanderX, &rowCheckBoxX, &rowHitLeft, &rowHitRight, &firstRowLocator})
        table->clear();
    rowTips.clear();
    if (topNode < 0 || topNode >= nodeCount) topNode = 0;
    arrowKeysReady = 1;
    inMouseDown = isEditing = renamePending = 0;
    MarkStructureChanged(0, -1, nodeCount);
}

// ---- visible rows (UI thread) ------------------------------------------------------------------------

int32_t rg_DrenvikShuXingKuang::CollectRowsByIndexes(int32_t first, int32_t end, CVolMem& out) const {
    const uint8_t* offsets = offsetIndex.GetPtr();
    const int64_t offsetEntries = int64_t(offsetIndex.GetSize()) / 6;
    const uint8_t* bytes = nodeBuffer.GetPtr();
    const int64_t size = int64_t(nodeBuffer.GetSize());
    const int32_t tail = RecordTailLength();
    std::vector<uint8_t> rows;
    rows.reserve(size_t(std::max(0, end - first + 1)) * 6);
    int32_t count = 0;
    for (int32_t node = first; node <= end;) {
        // Records lie back to back: this one's delimiter is a tail before the next one's start.
        int64_t d;
        if (node + 1 < nodeCount && node + 1 < offsetEntries) {
            int32_t next;
            std::memcpy(&next, offsets + int64_t(node + 1) * 6 + 2, 4);
            d = int64_t(next) - tail;
        } else {
            int32_t own;
            std::memcpy(&own, offsets + int64_t(node) * 6 + 2, 4);
            d = FindDelimiter(own);
        }
        if (d < 0 || d + tail > size) break;
        const uint8_t mark[6] = {3, 4, uint8_t(node), uint8_t(node >> 8), uint8_t(node >> 16), uint8_t(node >> 24)};
        rows.insert(rows.end(), mark, mark + 6);
        ++count;
        int32_t next = node + 1;
        if (int8_t(bytes[d + 20]) < 2) {
            const int32_t last = GetLastDescendantFromIndex(node);
            if (last > node && last < nodeCount) next = last + 1;
        }
        node = next;
    }
    out.Append(rows.data(), rows.size());
    return count;
}

int32_t rg_DrenvikShuXingKuang::CollectVisibleRows(int32_t start, rg_ZhengShuShuZuLei& locator, CVolMem& out) const {
    // With the offsets and last descendants current, no record needs a search.
    if (IsOffsetIndexCurrent() && IsLastDescendantIndexCurrent() &&
        int64_t(offsetIndex.GetSize()) / 6 >= int64_t(nodeCount)) {
        const uint8_t mark[2] = {3, 4};
        if (start == -1) {
            out.Empty();
            const int32_t rows = CollectRowsByIndexes(0, nodeCount - 1, out);
            out.Append(mark, 2);
            return rows;
        }
        rg_ZhengShuShuZuLei range;
        const int32_t n = GetSubtreeRange(start, locator, range, 0);
        return n <= 0 ? 0 : CollectRowsByIndexes(start + 1, start + n, out);
    }
    auto addRow = [&](int32_t node) {
        const uint8_t mark[2] = {3, 4};
        out.Append(mark, 2);
        out.Append(&node, 4);
    };
    int32_t rows = 0, node, end;
    rg_ZhengShuShuZuLei loc;
    if (start == -1) {
        out.Empty();
        node = 0;
        end = nodeCount - 1;
        if (nodeCount > 0 && !LocateNodeRecord(0, loc)) node = nodeCount;
    } else {
        rg_ZhengShuShuZuLei range;
        const int32_t n = GetSubtreeRange(start, locator, range, 0);
        if (n <= 0) return 0;
        node = start + 1;
        end = start + n;
        MakeLocatorAtOffset(range[0], loc);
    }
    while (node <= end && loc.size() >= 3) {
        addRow(node);
        ++rows;
        rg_ZhengShuShuZuLei probe = loc;
        int32_t next = node + 1;
        int32_t nextStart = loc[1] + 1;
        if (int8_t(GetNodeState(node, probe)) < 2) {
            rg_ZhengShuShuZuLei range;
            const int32_t n = GetSubtreeRange(node, probe, range, 1);
            if (n < 1) break;
            next = node + n;
            nextStart = range[1] + 1;
        }
        node = next;
        loc.clear();
        if (node <= end) MakeLocatorAtOffset(nextStart, loc);
    }
    if (start == -1) {
        const uint8_t mark[2] = {3, 4};
        out.Append(mark, 2);
    }
    return rows;
}

int32_t rg_DrenvikShuXingKuang::GetVisibleRowEntry(int32_t row) const {
    if (row < 1 || int64_t(visibleRowIndex.GetSize()) < int64_t(row) * 6 + 2) return -1;
    return ReadIndexInt(visibleRowIndex, int64_t(row) * 6 - 4);
}

int32_t rg_DrenvikShuXingKuang::FindVisibleRowPosition(int32_t node) const {
    // Rows list their nodes in pre-order, so node numbers rise with the row: halve over the
    // 6-byte entries (mark 03 04, then the node) that have their closing mark after them.
    const int64_t entries = (int64_t(visibleRowIndex.GetSize()) - 2) / 6;
    const int64_t lo = FirstRowAtOrAfter(node);
    if (lo >= entries || ReadIndexInt(visibleRowIndex, lo * 6 + 2) != node) return -1;
    return int32_t(lo * 6);
}

void rg_DrenvikShuXingKuang::PatchRowsForReplacement(int32_t first, int32_t last, const CVolMem& block,
                                                     int32_t added, int32_t blockLevel, bool shown) {
    const int32_t tail = RecordTailLength();
    // The block's rows: below a collapsed record nothing is a row until the level comes back up.
    // A block that is not a well-formed set of subtrees at its level gets a full rebuild instead.
    std::vector<uint8_t> rows;
    int32_t previous = blockLevel - 1, hiddenBelow = INT32_MAX, k = 0;
    for (long long pos = 0; k < added; ++k) {
        const long long d = block.FindBytes(kRecordDelimiter, 4, size_t(pos));
        if (d < 0 || d + tail > (long long)block.GetSize()) break;
        int32_t level;
        std::memcpy(&level, block.GetPtr() + d + 4, 4);
        if (level < blockLevel || level > previous + 1 || (k == 0 && level != blockLevel)) break;
        previous = level;
        pos = d + tail;
        if (!shown || level > hiddenBelow) continue;
        hiddenBelow = int8_t(block[size_t(d + 20)]) < 2 ? level : INT32_MAX;
        const int32_t node = first + k;
        const uint8_t entry[6] = {3, 4, uint8_t(node), uint8_t(node >> 8), uint8_t(node >> 16), uint8_t(node >> 24)};
        rows.insert(rows.end(), entry, entry + 6);
    }
    if (k < added) {
        visibleRowIndexBuiltFor = -1;
        return;
    }
    const int64_t from = FirstRowAtOrAfter(first), to = FirstRowAtOrAfter(last + 1);
    const int64_t entries = std::max<int64_t>((int64_t(visibleRowIndex.GetSize()) - 2) / 6, 0);
    const int32_t shift = added - (last - first + 1);
    if (shift != 0) {
        uint8_t* p = visibleRowIndex.GetPtr();
        for (int64_t e = to; e < entries; ++e) {
            int32_t v;
            std::memcpy(&v, p + e * 6 + 2, 4);
            v += shift;
            std::memcpy(p + e * 6 + 2, &v, 4);
        }
    }
    visibleRowIndex.Remove(size_t(from) * 6, size_t(to - from) * 6);
    visibleRowIndex.Insert(size_t(from) * 6, rows.data(), rows.size());
    visibleRowCount += int32_t(rows.size() / 6) - int32_t(to - from);
    visibleRowIndexBuiltFor = int32_t(nodeBuffer.GetSize());
    visibleRowsStamp_ = editStamp.value;
}

int64_t rg_DrenvikShuXingKuang::FirstRowAtOrAfter(int32_t node) const {
    const int64_t entries = std::max<int64_t>((int64_t(visibleRowIndex.GetSize()) - 2) / 6, 0);
    int64_t lo = 0, hi = entries;
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (ReadIndexInt(visibleRowIndex, mid * 6 + 2) < node) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

int32_t rg_DrenvikShuXingKuang::GetVisibleRowNumber(int32_t node) const {
    return FindVisibleRowPosition(node) / 6 + 1;
}

bool rg_DrenvikShuXingKuang::EnsureVisibleRows() {
    if (VisibleRowsCurrent()) return false;
    rg_ZhengShuShuZuLei locator;
    visibleRowCount = CollectVisibleRows(-1, locator, visibleRowIndex);
    visibleRowIndexBuiltFor = int32_t(nodeBuffer.GetSize());
    visibleRowsStamp_ = editStamp.value;
    return true;
}

void rg_DrenvikShuXingKuang::PatchVisibleRows(int32_t node, bool expanded) {
    if (!VisibleRowsCurrent()) return;
    const int32_t pos = FindVisibleRowPosition(node);
    if (pos < 0) {
        visibleRowIndexBuiltFor = -1;
        offsetIndexBuiltFor = -1;
        return;
    }
    const size_t after = size_t(pos) + 6;
    if (expanded) {
        CVolMem rows;
        rg_ZhengShuShuZuLei loc;
        const int32_t count = CollectVisibleRows(node, loc, rows);
        if (count == 0) return;
        visibleRowIndex.Insert(after, rows.GetPtr(), rows.GetSize());
        visibleRowCount += count;
        return;
    }
    // Collapsing: the rows of the subtree are the entries after the node's, up to its last descendant.
    rg_ZhengShuShuZuLei loc, range;
    const int32_t n = GetSubtreeRange(node, loc, range, 0);
    if (n <= 0) return;
    const int64_t from = pos / 6 + 1, to = FirstRowAtOrAfter(node + n + 1);
    if (to < from) {
        visibleRowIndexBuiltFor = -1;  // out of step: rebuild at the next refresh
        return;
    }
    visibleRowIndex.Remove(size_t(from) * 6, size_t(to - from) * 6);
    visibleRowCount -= int32_t(to - from);
}
