// A forgiving JSON document: any text gives a tree, names and values are kept as the source writes
// them (quotes and escape sequences included), and nodes are reached by "a.b[0]" or "/a/b/0" paths.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/boxed.h"
#include "platform/handles.h"
#include "platform/object.h"

class rg_DrenvikJSONJieDian;
class rg_DrenvikJSONKanTao;

// Deepest container nesting a parse accepts; deeper text is malformed and parses to an empty tree.
constexpr int kJsonMaxDepth = 512;

// Highest element index or occurrence number that path creation fills up to; a larger one would
// make that many nodes from a few characters of path, so such a path only finds existing nodes.
constexpr long long kJsonMaxCreatedIndex = 100000;

// The children of a node. Each child lives in its own holder; copying the list clones every holder
// and points the clones' parent at the list's own node, so a copy never refers into its source.
class JsonChildList {
public:
    explicit JsonChildList(rg_DrenvikJSONJieDian* owner) noexcept : owner_(owner) {}
    JsonChildList(const JsonChildList&) = delete;
    JsonChildList& operator=(const JsonChildList& other);
    ~JsonChildList();

    int GetCount() const noexcept { return int(items_.size()); }
    bool IsEmpty() const noexcept { return items_.empty(); }
    rg_DrenvikJSONJieDian& operator[](int i) const noexcept;
    // Appends a default child; its parent is set when link is true.
    rg_DrenvikJSONJieDian& AppendNew(bool link);
    void RemoveAll() noexcept;
    // Takes every child of another list, leaving it empty (parents are not touched).
    void TakeAll(JsonChildList& from) noexcept;

private:
    rg_DrenvikJSONJieDian* owner_;
    std::vector<std::unique_ptr<rg_DrenvikJSONKanTao>> items_;
};

template <> struct VolMember<JsonChildList> {
    static bool Equal(const JsonChildList& a, const JsonChildList& b) { return &a == &b; }
    static void Copy(JsonChildList& d, const JsonChildList& s) { d = s; }
    static void Save(VolDataStream*, const JsonChildList&) {}
    static void Load(VolDataStream*, JsonChildList&) {}
};

// Node references go into streams as plain 32-bit words. A loaded or copied reference would point
// into another tree, so it comes back empty (copied children are relinked by their list).
template <> struct VolMember<rg_DrenvikJSONJieDian*> {
    static bool Equal(rg_DrenvikJSONJieDian* a, rg_DrenvikJSONJieDian* b) { return a == b; }
    static void Copy(rg_DrenvikJSONJieDian*& d, rg_DrenvikJSONJieDian*) { d = nullptr; }
    static void Save(VolDataStream* s, rg_DrenvikJSONJieDian* v) {
        s->WriteValue(uint32_t(reinterpret_cast<uintptr_t>(v)));
    }
    static void Load(VolDataStream* s, rg_DrenvikJSONJieDian*& v) {
        uint32_t word;
        if (s->ReadValue(word)) v = nullptr;
    }
};

class rg_DrenvikJSONJieDian : public CVolObject {
    VOL_CLASS(rg_DrenvikJSONJieDian, CVolObject, "drenvik::rg_DrenvikJSONJieDian")
    VOL_MEMBERS(kind, name, value, children, depth, parent)

    enum Kind : int32_t { kRaw = 0, kString = 1, kObject = 2, kArray = 3 };

    rg_DrenvikJSONJieDian() = default;
    rg_DrenvikJSONJieDian(const rg_DrenvikJSONJieDian&) = delete;
    rg_DrenvikJSONJieDian& operator=(const rg_DrenvikJSONJieDian&) = delete;

    int32_t kind = kRaw;
    CWString name;   // as written: quoted names keep their quotes; "JSON" for a parsed root
    CWString value;  // raw literal trimmed, or the string with its quotes; empty for containers
    JsonChildList children{this};
    int32_t depth = 0;  // nesting level of a container in the text it came from
    rg_DrenvikJSONJieDian* parent = nullptr;

    bool IsContainer() const noexcept { return kind == kObject || kind == kArray; }

    // Replaces kind, value and children from a text (trimmed in place first). Quoted text becomes a
    // string as written, "{"/"[" text is parsed, other text is a raw literal when rawAllowed, else
    // it is wrapped in double quotes.
    void SetFromText(CWString& text, int rawAllowed);
    // Scalars lose their outer quotes; containers are written compactly with ", " between members.
    CWString ToText() const;
    // The child a path segment names ("name", "name->k", "[n]"); the empty node when missing
    // and create is 0.
    rg_DrenvikJSONJieDian& FindChild(std::wstring_view segment, int create);
};

class rg_DrenvikJSONKanTao : public CVolObject {
    VOL_CLASS(rg_DrenvikJSONKanTao, CVolObject, "drenvik::rg_DrenvikJSONKanTao")
    VOL_MEMBERS(node)
    rg_DrenvikJSONJieDian node;
};

// The file object a document carries; nothing reads or writes through it.
class rg_DrenvikWenJianDouXieLei : public CVolObject {
    VOL_CLASS(rg_DrenvikWenJianDouXieLei, CVolObject, "drenvik::rg_DrenvikWenJianDouXieLei")
    VOL_MEMBERS(shared)
    std::shared_ptr<UniqueHandle> shared;
};

class rg_DrenvikJSONLei : public CVolObject {
    VOL_CLASS(rg_DrenvikJSONLei, CVolObject, "drenvik::rg_DrenvikJSONLei")
    VOL_MEMBERS(sourceText, root, fileAccess, sourceLength, reservedInt1, reservedBlock1, reservedSize,
                reservedInt2, reservedBlock2, cursor, basePath, separatorMode)

    rg_DrenvikJSONLei() = default;
    rg_DrenvikJSONLei(const rg_DrenvikJSONLei&) = delete;
    rg_DrenvikJSONLei& operator=(const rg_DrenvikJSONLei&) = delete;

    CWString sourceText;
    rg_DrenvikJSONJieDian root;
    rg_DrenvikWenJianDouXieLei fileAccess;
    int64_t sourceLength = 0;
    int32_t reservedInt1 = 0;
    CVolMem reservedBlock1;
    int32_t reservedSize = 10240;
    int32_t reservedInt2 = 0;
    CVolMem reservedBlock2;
    rg_DrenvikJSONJieDian* cursor = nullptr;  // when set, paths start here instead of at root
    CWString basePath;                         // put before every path while cursor is unset
    int32_t separatorMode = 0;                 // 0: "a.b[0]" paths; otherwise "a/b/0"

    // Replaces the tree by the parse of source and returns the root's kind (0, 2 or 3). An empty
    // source becomes "{}" in the caller's variable; "-1" parses the sourceText already held.
    int Parse(CWString& source, int noLink = 0);
    // The text of the node at path, empty when the path leads nowhere.
    CWString GetText(std::wstring_view path, rg_BianZhengShuLei* nodeBox = nullptr,
                     rg_ChangZhengShuLei* elapsedBox = nullptr);
    // Creates what is missing along path and stores value as a string (value is trimmed in place).
    void SetText(std::wstring_view path, CWString& value);
    // Creates what is missing along path and stores x as a raw number literal.
    void SetNumber(std::wstring_view path, double x);
    int GetCount(std::wstring_view path);
    // The node at path, or null; with create, missing members and elements are made on the way.
    rg_DrenvikJSONJieDian* ResolvePath(std::wstring_view path, int create);
    rg_DrenvikJSONJieDian& ResolvePathOrEmptyNode(std::wstring_view path, int create,
                                                  rg_BianZhengShuLei* nodeBox = nullptr);
    rg_WenBenShuZuLei SplitPath(std::wstring_view path) const;
    CWString GetBasePath() const { return basePath; }

    static rg_DrenvikJSONJieDian* WalkPath(rg_DrenvikJSONJieDian* start, const rg_WenBenShuZuLei& segments,
                                           int create, int index = 0);
    // False when a segment from index on asks for an index or occurrence above kJsonMaxCreatedIndex.
    static bool CreationBounded(const rg_WenBenShuZuLei& segments, int index);
    // Sets the parent of every node below node.
    static void LinkParents(rg_DrenvikJSONJieDian& node);
    // A scalar's text: outer quotes removed and then trimmed; anything else unchanged.
    static CWString GetScalarText(std::wstring_view value);
    // Total length of the names and values below node, added to total.
    static int64_t MeasureNodeText(const rg_DrenvikJSONJieDian& node, int64_t total);
    // Writes node's children (not its brackets) into out.
    static void AppendMembersText(const rg_DrenvikJSONJieDian& node, CWString& out);
};

// Index of the first "-" that a ">" follows, or -1.
int FindArrowIndex(std::wstring_view text) noexcept;

// The answer for a path that leads nowhere; marked empty and never changed once marked.
extern rg_DrenvikJSONJieDian gJsonEmptyNode;
extern rg_HuChiSuoLei gJsonEmptyNodeMutex;
// gJsonEmptyNode, prepared (reset and marked) on first use.
rg_DrenvikJSONJieDian& JsonEmptyNode();
