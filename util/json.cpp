#include "util/json.h"

#include <climits>
#include <cstdio>

rg_DrenvikJSONJieDian gJsonEmptyNode;
rg_HuChiSuoLei gJsonEmptyNodeMutex;

rg_DrenvikJSONJieDian& JsonEmptyNode() {
    LockGuard<const rg_HuChiSuoLei> lock(gJsonEmptyNodeMutex);
    if (!gJsonEmptyNode.IsEmptyObject()) {
        gJsonEmptyNode.Reset();
        gJsonEmptyNode.flags |= CVolObject::kFlagEmpty;
    }
    return gJsonEmptyNode;
}

// ---- child list ----------------------------------------------------------------------------------

JsonChildList::~JsonChildList() { RemoveAll(); }

JsonChildList& JsonChildList::operator=(const JsonChildList& other) {
    if (this == &other) return *this;
    // Level by level with a work list, not through each holder's Clone: trees built through paths
    // may be nested deeper than the stack allows. Every member but the children is copied here.
    std::vector<std::unique_ptr<rg_DrenvikJSONKanTao>> copy;
    std::vector<std::pair<JsonChildList*, const JsonChildList*>> work;
    const auto cloneInto = [&work](std::vector<std::unique_ptr<rg_DrenvikJSONKanTao>>& to, rg_DrenvikJSONJieDian* owner,
                                   const JsonChildList& from) {
        to.reserve(from.items_.size());
        for (const auto& h : from.items_) {
            auto c = std::make_unique<rg_DrenvikJSONKanTao>();
            c->flags = h->flags;
            c->tag = h->tag;
            const rg_DrenvikJSONJieDian& s = h->node;
            rg_DrenvikJSONJieDian& d = c->node;
            d.flags = s.flags;
            d.tag = s.tag;
            d.kind = s.kind;
            d.name = s.name;
            d.value = s.value;
            d.depth = s.depth;
            d.parent = owner;
            if (!s.children.IsEmpty()) work.emplace_back(&d.children, &s.children);
            to.push_back(std::move(c));
        }
    };
    cloneInto(copy, owner_, other);
    while (!work.empty()) {
        auto [to, from] = work.back();
        work.pop_back();
        cloneInto(to->items_, to->owner_, *from);
    }
    RemoveAll();
    items_ = std::move(copy);
    return *this;
}

rg_DrenvikJSONJieDian& JsonChildList::operator[](int i) const noexcept { return items_[size_t(i)]->node; }

rg_DrenvikJSONJieDian& JsonChildList::AppendNew(bool link) {
    items_.emplace_back(new rg_DrenvikJSONKanTao());
    rg_DrenvikJSONJieDian& n = items_.back()->node;
    if (link) n.parent = owner_;
    return n;
}

void JsonChildList::RemoveAll() noexcept {
    // Without recursion: a tree built through paths may be nested deeper than the stack allows.
    std::vector<std::unique_ptr<rg_DrenvikJSONKanTao>> work = std::move(items_);
    items_.clear();
    while (!work.empty()) {
        std::unique_ptr<rg_DrenvikJSONKanTao> h = std::move(work.back());
        work.pop_back();
        auto& grand = h->node.children.items_;
        for (auto& g : grand) work.push_back(std::move(g));
        grand.clear();
    }
}

void JsonChildList::TakeAll(JsonChildList& from) noexcept {
    items_ = std::move(from.items_);
    from.items_.clear();
}

// ---- scanner -------------------------------------------------------------------------------------

namespace {

bool IsQuote(wchar_t c) noexcept { return c == L'"' || c == L'\''; }

// One pass over the text per container level, cutting tokens out by index. Never fails: malformed
// text gives whatever the rules below make of it. Nesting beyond kJsonMaxDepth aborts the scan.
class JsonScanner {
public:
    JsonScanner(std::wstring_view text, bool link) : s_(text), len_(ptrdiff_t(text.size())), link_(link) {}

    bool TooDeep() const noexcept { return tooDeep_; }

    // Text from a through b, trimmed; empty when b < a. A blank that a backslash escapes stays: the
    // backslash alone would escape whatever the writer puts after it.
    CWString TrimmedSubstring(ptrdiff_t a, ptrdiff_t b) const {
        if (b < a) return {};
        const std::wstring_view range = s_.substr(size_t(a), size_t(b - a + 1));
        std::wstring_view t = TrimView(range);
        const size_t end = size_t(t.data() - range.data()) + t.size();
        if (end < range.size()) {
            size_t slashes = 0;
            while (slashes < t.size() && t[t.size() - 1 - slashes] == L'\\') ++slashes;
            if (slashes % 2) t = range.substr(size_t(t.data() - range.data()), t.size() + 1);
        }
        return CWString(t);
    }

    rg_DrenvikJSONJieDian& Append(rg_DrenvikJSONJieDian& node, CWString name, CWString value, int32_t kind) {
        rg_DrenvikJSONJieDian& c = node.children.AppendNew(link_);
        c.name = std::move(name);
        c.value = std::move(value);
        c.kind = kind;
        return c;
    }

    ptrdiff_t ScanValue(ptrdiff_t start, rg_DrenvikJSONJieDian& node, int depth) {
        ptrdiff_t mark = -1, quoteStart = -1, last = start;
        wchar_t quoteChar = 0;
        int quoteState = 0;
        bool pending = false, afterNested = false, closeAfterQuote = false, rawDone = false;
        CWString pendingText;
        const wchar_t* s = s_.data();

        for (ptrdiff_t i = start + 1; i < len_; ++i) {
            if (quoteState == 1) {
                // Inside a quoted text only its own quote and the backslash mean anything.
                while (i < len_ && s[i] != quoteChar && s[i] != L'\\') ++i;
                if (i == len_) {
                    last = len_ - 1;
                    break;
                }
            }
            last = i;
            const wchar_t c = s[i];
            if (c == L'\\') {  // the next unit is skipped wherever it stands
                ++i;
                continue;
            }
            if (c == L'{' || c == L'[') {
                if (quoteState == 1) continue;
                if (mark == -1) {
                    node.kind = c == L'{' ? rg_DrenvikJSONJieDian::kObject : rg_DrenvikJSONJieDian::kArray;
                    node.depth = depth;
                    mark = i;
                    continue;
                }
                if (depth + 1 >= kJsonMaxDepth) {
                    tooDeep_ = true;
                    return len_;
                }
                rg_DrenvikJSONJieDian& child = node.children.AppendNew(link_);
                i = ScanValue(i - 1, child, depth + 1);
                if (tooDeep_) return len_;
                // Where the child got to, so an unterminated child ends this level too and nothing
                // above scans its text again.
                last = i;
                if (pending) {
                    child.name = std::move(pendingText);
                    pending = false;
                }
                afterNested = true;
                continue;
            }
            if (mark == -1) {
                if (c == L'}' || c == L']') return i;
                continue;
            }
            if (IsQuote(c)) {
                // A quote after a closed token opens the next one: each token spans only its own
                // quotes, never back to the first quote of the container.
                if (quoteStart == -1 || (quoteState == 2 && c == quoteChar)) {
                    quoteStart = i;
                    quoteState = 1;
                    quoteChar = c;
                    continue;
                }
                if (c != quoteChar) continue;
                quoteState = 2;
                CWString token = TrimmedSubstring(quoteStart, i);
                if (!pending) {
                    pending = true;
                    pendingText = std::move(token);
                } else {
                    pending = false;
                    Append(node, std::move(pendingText), std::move(token), rg_DrenvikJSONJieDian::kString);
                }
                continue;
            }
            if (quoteState == 1) continue;
            if (c != L':' && c != L',' && c != L'}' && c != L']') continue;

            if (c == L':') {
                // Only a bare name before it is still to be cut out (below); anything else ends here,
                // so no later token reaches back over a stored member or a nested container.
                if (pending || quoteStart != -1 || afterNested) mark = i;
            } else if (afterNested) {
                mark = i;  // also under a quoted text after the container: its value starts here
            } else if (pending && quoteStart != -1) {  // a quoted value without a name
                Append(node, {}, std::move(pendingText), rg_DrenvikJSONJieDian::kString);
                pending = false;
                mark = i;
            } else if (pending) {
                // a bare value after a name: completed below
            } else if (quoteStart != -1) {  // the member's quoted value is already stored
                mark = i;
            } else {  // a bare value without a name
                if (mark < i - 1) {
                    CWString token = TrimmedSubstring(mark + 1, i - 1);
                    if (!token.empty()) Append(node, {}, std::move(token), rg_DrenvikJSONJieDian::kRaw);
                }
                rawDone = true;
                mark = i;
            }

            bool toEnd = false;
            if (quoteStart != -1) {
                quoteStart = -1;
                quoteState = 0;
                if (c == L':' || c == L',') continue;
                closeAfterQuote = true;
            }
            if (afterNested) {
                afterNested = false;
                toEnd = true;
            } else if (closeAfterQuote) {
                closeAfterQuote = false;
                toEnd = true;
            } else if (rawDone) {
                rawDone = false;
                toEnd = true;
            }
            if (!toEnd) {
                const ptrdiff_t from = mark + 1;
                if (!pending) {  // a bare name before ":", possibly empty
                    pending = true;
                    pendingText = TrimmedSubstring(from, i - 1);
                } else {
                    // Blanks alone are no value: the member is dropped as when nothing stands there.
                    pending = false;
                    CWString value = TrimmedSubstring(from, i - 1);
                    if (!value.empty())
                        Append(node, std::move(pendingText), std::move(value), rg_DrenvikJSONJieDian::kRaw);
                }
                mark = i;
            }
            if (c == L'}' || c == L']') return i;
        }
        return last;
    }

private:
    std::wstring_view s_;
    ptrdiff_t len_;
    bool link_;
    bool tooDeep_ = false;
};

CWString FormatInt32(long long v) {
    wchar_t buf[16];
    std::swprintf(buf, 16, L"%d", int(int32_t(uint32_t(uint64_t(v)))));
    return buf;
}

}  // namespace

// ---- document ------------------------------------------------------------------------------------

int rg_DrenvikJSONLei::Parse(CWString& source, int noLink) {
    if (source.empty()) source = L"{}";
    // Scans the caller's text in place; "-1" asks for the text the document already holds.
    const bool held = source == L"-1";
    std::wstring_view text = held ? std::wstring_view(sourceText) : std::wstring_view(source);
    sourceLength = int64_t(text.size());

    root.Reset();
    root.name = L"JSON";

    JsonScanner scanner(text, noLink == 0);
    // Scanning goes on while a bracket lies ahead; the last bracket is found once, as asking again
    // after every stray closer would scan the rest of the text each time.
    const size_t lastBracket = text.find_last_of(L"{[");
    for (ptrdiff_t p = -1; lastBracket != std::wstring_view::npos && ptrdiff_t(lastBracket) > p;) {
        p = scanner.ScanValue(p, root, 0);
        if (scanner.TooDeep()) {
            root.Reset();
            root.name = L"JSON";
            break;
        }
    }
    sourceText.clear();
    sourceText.shrink_to_fit();
    cursor = nullptr;
    basePath.clear();
    return root.kind;
}

rg_WenBenShuZuLei rg_DrenvikJSONLei::SplitPath(std::wstring_view path) const {
    rg_WenBenShuZuLei segments;
    if (separatorMode == 0) {
        CWString p;
        p.reserve(path.size() + 8);
        for (size_t i = 0; i < path.size(); ++i) {
            if (path[i] == L'[' && i > 0 && path[i - 1] != L'.' && path[i - 1] != L'\\') p.push_back(L'.');
            p.push_back(path[i]);
        }
        SplitTextBySeparator(p, segments, L".", true, false);
        for (auto& s : segments) s.Replace(L"#46#", L".");
        if (segments.size() >= 2 && segments[0].size() >= 2 && segments[0][0] == L'/' && segments[0][1] == L'/') {
            if (segments[0].size() == 2) segments.erase(segments.begin());
            else segments[0].erase(0, 2);
        }
    } else {
        SplitTextBySeparator(path, segments, L"/", true, false);
        if (!segments.empty() && segments[0].empty()) segments.erase(segments.begin());
        for (auto& s : segments)
            if (!s.empty() && FormatInt32(WideTextToInt(s)) == s) s = L"[" + s + L"]";
    }
    return segments;
}

rg_DrenvikJSONJieDian* rg_DrenvikJSONLei::WalkPath(rg_DrenvikJSONJieDian* start, const rg_WenBenShuZuLei& segments,
                                                   int create, int index) {
    // A number beyond the bound would make millions of nodes (or wrap past INT_MAX): such a path
    // only finds what already exists, and the document stays as it was.
    if (create && !CreationBounded(segments, index)) create = 0;
    rg_DrenvikJSONJieDian* node = start;
    for (int k = index;; ++k) {
        if (!node || node->IsEmptyObject()) return nullptr;
        if (k >= segments.GetCount()) return node;
        node = &node->FindChild(segments[size_t(k)], create);
    }
}

rg_DrenvikJSONJieDian* rg_DrenvikJSONLei::ResolvePath(std::wstring_view path, int create) {
    if (cursor) return WalkPath(cursor, SplitPath(path), create);
    if (basePath.empty()) return WalkPath(&root, SplitPath(path), create);
    CWString full = basePath;
    full.append(separatorMode == 0 ? L"." : L"/");
    full.append(path);
    return WalkPath(&root, SplitPath(full), create);
}

rg_DrenvikJSONJieDian& rg_DrenvikJSONLei::ResolvePathOrEmptyNode(std::wstring_view path, int create,
                                                                 rg_BianZhengShuLei* nodeBox) {
    rg_DrenvikJSONJieDian* node = ResolvePath(path, create);
    if (!node) return JsonEmptyNode();
    if (VolBoxGiven(nodeBox)) nodeBox->value = reinterpret_cast<intptr_t>(node);
    return *node;
}

CWString rg_DrenvikJSONLei::GetText(std::wstring_view path, rg_BianZhengShuLei* nodeBox,
                                    rg_ChangZhengShuLei* elapsedBox) {
    const bool timed = VolBoxGiven(elapsedBox);
    const ULONGLONG t0 = timed ? ::GetTickCount64() : 0;
    if (timed) elapsedBox->value = int64_t(t0);
    rg_DrenvikJSONJieDian* node = ResolvePath(path, 0);
    if (VolBoxGiven(nodeBox)) nodeBox->value = reinterpret_cast<intptr_t>(node);
    CWString text = node ? node->ToText() : CWString();
    if (timed) elapsedBox->value = int64_t(::GetTickCount64() - t0);
    return text;
}

void rg_DrenvikJSONLei::SetText(std::wstring_view path, CWString& value) {
    if (rg_DrenvikJSONJieDian* node = ResolvePath(path, 1)) node->SetFromText(value, 0);
}

void rg_DrenvikJSONLei::SetNumber(std::wstring_view path, double x) {
    rg_DrenvikJSONJieDian& node = ResolvePathOrEmptyNode(path, 1);
    if (node.IsEmptyObject()) return;  // the shared empty node is never written
    CWString text = (x >= -0.000001 && x <= 0.000001) ? CWString(L"0") : CWString(FormatNumber15G(x));
    node.SetFromText(text, 1);
}

int rg_DrenvikJSONLei::GetCount(std::wstring_view path) {
    return ResolvePathOrEmptyNode(path, 0).children.GetCount();
}

void rg_DrenvikJSONLei::LinkParents(rg_DrenvikJSONJieDian& node) {
    std::vector<rg_DrenvikJSONJieDian*> todo{&node};
    while (!todo.empty()) {
        rg_DrenvikJSONJieDian* n = todo.back();
        todo.pop_back();
        for (int i = 0; i < n->children.GetCount(); ++i) {
            rg_DrenvikJSONJieDian& c = n->children[i];
            c.parent = n;
            if (!c.children.IsEmpty()) todo.push_back(&c);
        }
    }
}

CWString rg_DrenvikJSONLei::GetScalarText(std::wstring_view value) {
    if (!value.empty() && IsQuote(value[0])) {
        std::wstring_view inner = value.size() >= 2 ? value.substr(1, value.size() - 2) : std::wstring_view();
        return CWString(TrimView(inner));
    }
    return CWString(value);
}

int64_t rg_DrenvikJSONLei::MeasureNodeText(const rg_DrenvikJSONJieDian& node, int64_t total) {
    std::vector<const rg_DrenvikJSONJieDian*> todo{&node};
    while (!todo.empty()) {
        const rg_DrenvikJSONJieDian* n = todo.back();
        todo.pop_back();
        const int count = n->children.GetCount();
        for (int i = 0; i < count; ++i) {
            const rg_DrenvikJSONJieDian& c = n->children[i];
            total += int64_t(c.name.size() + c.value.size());
            if (c.IsContainer()) todo.push_back(&c);
        }
    }
    return total;
}

void rg_DrenvikJSONLei::AppendMembersText(const rg_DrenvikJSONJieDian& node, CWString& out) {
    // An explicit stack instead of recursion: trees built by paths have no depth limit.
    struct Frame {
        const rg_DrenvikJSONJieDian* node;
        int next;
    };
    std::vector<Frame> stack;
    stack.push_back({&node, 0});
    while (!stack.empty()) {
        Frame& f = stack.back();
        const rg_DrenvikJSONJieDian& n = *f.node;
        if (f.next >= n.children.GetCount()) {
            stack.pop_back();
            if (!stack.empty()) out.push_back(n.kind == rg_DrenvikJSONJieDian::kObject ? L'}' : L']');
            continue;
        }
        const rg_DrenvikJSONJieDian& c = n.children[f.next];
        if (f.next++ > 0) out.append(L", ", 2);
        if (n.kind == rg_DrenvikJSONJieDian::kObject) {
            out.append(c.name);
            out.push_back(L':');
        }
        if (c.IsContainer()) {
            out.push_back(c.kind == rg_DrenvikJSONJieDian::kObject ? L'{' : L'[');
            stack.push_back({&c, 0});  // f is not used past this point
        } else {
            out.append(c.value);
        }
    }
}

// ---- node ----------------------------------------------------------------------------------------

CWString rg_DrenvikJSONJieDian::ToText() const {
    if (!IsContainer()) return rg_DrenvikJSONLei::GetScalarText(value);
    // Names and values plus two units of punctuation per node are nearly the whole output.
    int64_t units = rg_DrenvikJSONLei::MeasureNodeText(*this, 0);
    CWString out;
    out.reserve(size_t(units + units / 4 + 16));
    out.push_back(kind == kObject ? L'{' : L'[');
    rg_DrenvikJSONLei::AppendMembersText(*this, out);
    out.push_back(kind == kObject ? L'}' : L']');
    return out;
}

void rg_DrenvikJSONJieDian::SetFromText(CWString& text, int rawAllowed) {
    text.TrimAll();
    if (this == &gJsonEmptyNode) return;  // shared by every document: never written
    children.RemoveAll();
    if (text.empty()) {
        value = L"\"\"";
        kind = kString;
    } else if (IsQuote(text[0])) {
        value = text;
        kind = kString;
    } else if (text[0] == L'{' || text[0] == L'[') {
        value.clear();
        rg_DrenvikJSONLei temp;
        CWString copy = text;
        kind = temp.Parse(copy, 1);
        children.TakeAll(temp.root.children);
        rg_DrenvikJSONLei::LinkParents(*this);
    } else if (rawAllowed) {
        value = text;
        kind = kRaw;
    } else {
        value = L"\"" + text + L"\"";
        kind = kString;
    }
}

int FindArrowIndex(std::wstring_view text) noexcept {
    for (size_t i = 0; i + 1 < text.size(); ++i)
        if (text[i] == L'-' && text[i + 1] == L'>') return int(i);
    return -1;
}

namespace {

// A path number as read for a segment; a run of digits too long for 64 bits is held at the largest
// value instead of wrapping round to a small index.
long long ReadPathNumber(std::wstring_view text) noexcept {
    size_t i = 0;
    while (i < text.size() && IsPlatformBlank(text[i])) ++i;
    const bool negative = i < text.size() && text[i] == L'-';
    if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) ++i;
    while (i < text.size() && text[i] == L'0') ++i;
    size_t digits = 0;
    while (i + digits < text.size() && text[i + digits] >= L'0' && text[i + digits] <= L'9') ++digits;
    if (digits > 18) return negative ? LLONG_MIN : LLONG_MAX;
    return WideTextToInt(text);
}

// What a segment asks for: child number `number` ("[n]"), or occurrence `number` of `name`
// ("name" or "name->n").
struct PathSegment {
    bool byIndex = false;
    std::wstring_view name;
    long long number = 0;
};

PathSegment ReadSegment(std::wstring_view segment) noexcept {
    PathSegment r;
    if (!segment.empty() && segment.front() == L'[' && segment.back() == L']') {
        r.byIndex = true;
        r.number = ReadPathNumber(segment.substr(1));
        return r;
    }
    r.name = segment;
    const int arrow = FindArrowIndex(segment);
    if (arrow >= 0) {
        r.name = segment.substr(0, size_t(arrow));
        r.number = ReadPathNumber(TrimView(segment.substr(size_t(arrow) + 2)));
    }
    return r;
}

}  // namespace

bool rg_DrenvikJSONLei::CreationBounded(const rg_WenBenShuZuLei& segments, int index) {
    for (int k = index; k < segments.GetCount(); ++k)
        if (ReadSegment(segments[size_t(k)]).number > kJsonMaxCreatedIndex) return false;
    return true;
}

rg_DrenvikJSONJieDian& rg_DrenvikJSONJieDian::FindChild(std::wstring_view segment, int create) {
    const int count = children.GetCount();
    const PathSegment seg = ReadSegment(segment);
    if (seg.byIndex) {
        const long long n = seg.number;
        if (n >= 0 && n < count) return children[int(n)];
        if (!create) return JsonEmptyNode();
        if (n < 0) return *this;
        for (long long i = count; i <= n; ++i) {
            rg_DrenvikJSONJieDian& c = children.AppendNew(true);
            c.value = L"\"\"";
            c.kind = kString;
        }
        kind = kArray;
        value.clear();
        return children[int(n)];
    }

    const std::wstring_view wanted = seg.name;
    const long long k = seg.number;
    if (k < 0) return JsonEmptyNode();  // no occurrence has a negative number
    long long matches = 0;
    for (int i = 0; i < count; ++i) {
        rg_DrenvikJSONJieDian& c = children[i];
        std::wstring_view n = c.name;
        if (!n.empty() && IsQuote(n[0])) n = TrimView(n.size() >= 2 ? n.substr(1, n.size() - 2) : std::wstring_view());
        if (n == wanted && matches++ == k) return c;
    }
    if (!create) return JsonEmptyNode();
    rg_DrenvikJSONJieDian* last = this;
    for (long long i = matches; i <= k; ++i) {
        rg_DrenvikJSONJieDian& c = children.AppendNew(true);
        c.name.reserve(wanted.size() + 2);
        c.name.push_back(L'"');
        c.name.append(wanted);
        c.name.push_back(L'"');
        c.value = L"\"\"";
        c.kind = kString;
        last = &c;
    }
    kind = kObject;
    value.clear();
    return *last;
}
