// The owner-drawn tree box: every node is one packed record in a single byte block, in pre-order,
// addressed by its index. Structural questions are answered by byte searches over that block, or by
// four lookup indexes that background jobs rebuild after the block changes size.
//
// Record layout (offsets from the delimiter d; integers little-endian):
//   text (UTF-16LE, no terminator) | d: 01 02 03 04 | +4 level | +8 icon | +12 selectedIcon | +16 data
//   | +20 state byte | +21 check byte | +22 textColour | +26 textBackColour (the colour pair only
//   without compactRecords)
// A locator caches one record: {first byte, last byte, level}.
//
// Threads: every node operation runs on the user-interface thread. The index jobs never read
// nodeBuffer: StartIndexJobs hands them an immutable snapshot, and they hand back a finished index
// that the UI thread adopts. An index is used only while it is current (see IsIndexCurrent).
//
// View: RefreshView draws the rows that fit, from topNode on, on the hidden `canvas` and copies the
// picture onto the visible `surface` once per pass; the surface is as wide as the widest row and
// moves left for horizontal scrolling. Each pass refills the per-row tables (rowNodes, rowExpanderX,
// rowCheckBoxX, rowHitLeft/Right, rowTips) that every mouse hit test reads. The geometry itself is
// in tree_view_layout.h. refreshGate turns a refresh asked for during a pass into a restart.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/boxed.h"
#include "platform/components.h"
#include "platform/painter.h"
#include "platform/window.h"
#include "ui/scroll_bar.h"
#include "util/json.h"
#include "util/system_helpers.h"
#include "util/thread_pool.h"
#include "tree/tree_view_layout.h"

// The tree box's structural edits bump a stamp, so an index built for an equal-length but
// different buffer never counts as current. Not streamed: a stamp means nothing in another object.
struct TreeEditStamp {
    uint32_t value = 0;
};
template <> struct VolMember<TreeEditStamp> : VolUnstreamedMember<TreeEditStamp> {};

class rg_DrenvikShuXingKuang : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_DrenvikShuXingKuang, rg_ZuJianBuJuQi, "drenvik::rg_DrenvikShuXingKuang")
    VOL_MEMBERS(dropTarget, droppedFiles, leftOffset, levelOneOffset, refreshGate, indexPool, useThreadPool,
                levelWithoutCheckBox, countLevel, skipIndexJobs, raiseNodeColourEvent, raiseSelectedBackEvent,
                raiseRowTextEvent, colourMode, highlightColour, dimColour, verticalBarAtEnd, noHorizontalBar,
                disabledLook, spareText, spareDocument, verticalBar, horizontalBar, horizontalFiller, verticalFiller,
                editor, canvas, surface, renameTimer, resizeTimer, nodeBuffer, clickToRename, delimiter,
                delimiterLength, fixedFieldsLength, nodeCount, rowsFit, textColour, textBackColour, backColour,
                itemHeight, expanderSize, checkBoxSize, iconSize, rowUnit, textHeight, images, imageDrawModes,
                autoRefresh, topNode, checkKind, verticalBarShown, horizontalBarShown, hotNode, selectionReason,
                pointerRow, lastHotNode, rowNodes, rowExpanderX, rowCheckBoxX, rowHitLeft, rowHitRight,
                firstRowLocator, compactRecords, fullRowSelect, clearSelectionOnEmptyClick, itemHeightSetting,
                fontFace, fontSize, selectedNode, gap, rowSpacing, hotUnderline, showLines, showCheckBoxes,
                visibleRowIndexBuiltFor, visibleRowCount, visibleRowIndex, offsetIndex, offsetIndexReady,
                offsetIndexBuilding, offsetIndexBuiltFor, offsetIndexGate, parentIndex, parentIndexReady,
                parentIndexBuilding, parentIndexBuiltFor, parentIndexGate, previousSiblingIndex, nextSiblingIndex,
                siblingIndexReady, siblingIndexBuilding, siblingIndexBuiltFor, siblingIndexGate, lastDescendantIndex,
                lastDescendantIndexReady, lastDescendantIndexBuilding, lastDescendantIndexBuiltFor,
                lastDescendantIndexGate, valueWidth, isShown, arrowKeysReady, treeLock, rowTips, inMouseDown,
                reportSameSelection, renamePending, releaseRow, isEditing, editStamp)

public:
    rg_DrenvikShuXingKuang();
    ~rg_DrenvikShuXingKuang() override;

    void BindEvents() override;

    // ---- node store ----
    void AddNode(std::wstring_view text, int32_t icon, int32_t data, int32_t state, int32_t level);
    // Appends a record to the caller's block (for InsertNodes): data 0, state 0, check 0.
    void WriteNodeRecord(CVolMem& target, std::wstring_view text, int32_t icon, int32_t selectedIcon,
                         int32_t level) const;
    // Fills the locator for `node`; a locator already holding record `locatorNode` continues from it.
    int32_t LocateNodeRecord(int32_t node, rg_ZhengShuShuZuLei& locator, int32_t locatorNode = -1) const;
    CWString GetNodeText(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetNodeLevel(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetNodeIcon(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetNodeData(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetNodeState(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetNodeExtra(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    // Check byte (not in the getter table, but the view and the check search need it); 255 when unreadable.
    int32_t GetNodeCheck(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    // The view's reads: selected icon (-1 when unreadable) and text background (-1 also when compact).
    int32_t GetNodeSelectedIcon(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetNodeBackColour(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    // state/check: 255 or -1 keep, 254 or -2 toggle/cycle. A null or omitted text keeps the text.
    int32_t SetNodeFields(int32_t node, const CWString* text, int32_t state, int32_t check,
                          rg_ZhengShuShuZuLei& locator, int32_t noRefresh = 0);
    int32_t SetNodeExpanded(int32_t node, int32_t expand, int32_t toggle, rg_ZhengShuShuZuLei& locator);
    int32_t SetNodeChecked(int32_t node, int32_t value, int32_t cycle, rg_ZhengShuShuZuLei& locator,
                           int32_t noRefresh = 0);
    // Optional outputs may be null or omitted objects (empty-object mark).
    int32_t FindCheckedNodes(rg_ZhengShuShuZuLei& indexes, rg_WenBenShuZuLei* texts, rg_ZhengShuShuZuLei* data,
                             rg_ZhengShuShuZuLei* offsets) const;
    int32_t CollectNodesAtLevel(int32_t level, rg_ZhengShuShuZuLei& indexes, rg_ZhengShuShuZuLei& offsets,
                                int32_t within = -1) const;
    int32_t FindFavouritesRoot() const;
    void MakeLocatorAtOffset(int32_t firstByte, rg_ZhengShuShuZuLei& locator) const;
    CWString ReadTextAtOffset(int32_t firstByte) const;
    int32_t RaiseNodeColourEvent(int32_t node, int32_t colour);

    // ---- subtree queries and editing ----
    int32_t InsertNodes(int32_t node, int32_t mode, const CVolMem& records, int32_t recordCount,
                        rg_ZhengShuShuZuLei& locator);
    int32_t InsertChildNode(int32_t parent, std::wstring_view text, int32_t icon, int32_t selectedIcon,
                            int32_t data, rg_ZhengShuShuZuLei& locator, int32_t noRefresh = 0);
    int32_t GetSubtreeRange(int32_t node, rg_ZhengShuShuZuLei& locator, rg_ZhengShuShuZuLei& range,
                            int32_t includeNode) const;
    int32_t CountNodesBetween(const rg_ZhengShuShuZuLei& range) const;
    int32_t HasChildren(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetParentNode(int32_t node, rg_ZhengShuShuZuLei& locator, rg_ZhengShuShuZuLei& parentLocator,
                          rg_ZhengShuLei* parentDelimiter) const;
    int32_t FindParentDelimiter(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetRootNode(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    int32_t GetPreviousSibling(int32_t node, rg_ZhengShuShuZuLei& locator, rg_ZhengShuShuZuLei& siblingLocator,
                               rg_ZhengShuLei* parentDelimiter) const;
    int32_t GetNextSibling(int32_t node, rg_ZhengShuShuZuLei& locator, rg_ZhengShuShuZuLei& siblingLocator,
                           rg_ZhengShuLei* parentDelimiter) const;
    void ExpandAncestors(int32_t node, rg_ZhengShuShuZuLei& locator);

    // ---- index jobs ----
    int32_t StartIndexJobs();
    int32_t RunPoolIndexJob(CVolObject* pool, int32_t taskType, int32_t, int32_t, const CWString&, const CWString&,
                            const CWString&);
    int32_t OnStopPool(CVolObject* source);
    int32_t IndexJob1();  // record offsets
    int32_t IndexJob2();  // parents
    int32_t IndexJob3();  // siblings
    int32_t IndexJob4();  // last descendants
    static DWORD WINAPI IndexJob1ThreadProc(void* treeBox);
    static DWORD WINAPI IndexJob2ThreadProc(void* treeBox);
    static DWORD WINAPI IndexJob3ThreadProc(void* treeBox);
    static DWORD WINAPI IndexJob4ThreadProc(void* treeBox);
    int32_t IsOffsetIndexCurrent() const;
    int32_t IsParentIndexCurrent() const;
    int32_t IsSiblingIndexCurrent() const;
    int32_t IsLastDescendantIndexCurrent() const;
    int32_t GetRecordOffsetFromIndex(int32_t node) const;
    int32_t FindNodeIndexByOffset(int32_t start, int32_t from, int32_t backwards) const;
    int32_t GetParentFromIndex(int32_t node) const;
    int32_t GetPreviousSiblingFromIndex(int32_t node) const;
    int32_t GetNextSiblingFromIndex(int32_t node) const;
    int32_t GetLastDescendantFromIndex(int32_t node) const;
    // True while no index job of this tree box is active (tests and teardown).
    bool IndexJobsIdle() const;

    // ---- visible rows ----
    int32_t CollectVisibleRows(int32_t start, rg_ZhengShuShuZuLei& locator, CVolMem& out) const;
    int32_t GetVisibleRowEntry(int32_t row) const;
    int32_t FindVisibleRowPosition(int32_t node) const;
    int32_t GetVisibleRowNumber(int32_t node) const;

    // ---- view ----
    int GetDesignWidth() const override { return ScaleDesignValue(472); }
    int GetDesignHeight() const override { return ScaleDesignValue(336); }
    void CreateChildren() override;
    // Lays out and paints the rows that fit, from `start` (-1: the current top node) on.
    void RefreshView(int32_t start);
    // The new image's index, or -1 when the list was emptied instead (an image of no size).
    int32_t AddImage(const CVolMem& picture);
    // max(1, scale), read once.
    double DpiFactor();

    // ---- keys, mouse and in-place editing ----
    int32_t GetSelectedIndex();
    int32_t SelectNode(int32_t node);
    int32_t RaiseSelectionEvent(int32_t node, int32_t reason, int32_t sameNode);
    int32_t RaiseRowClickedEvent(int32_t node);
    int32_t HandleKeyDown(int32_t key, int32_t modifiers);
    // button -1 right, anything else left.
    int32_t HandleMouseDown(int32_t button, int32_t x, int32_t y);
    int32_t HandleMouseUp(int32_t x, int32_t y);
    int32_t OnRowTextClick(int32_t x);
    int32_t TrackHotRow(CVolObject* source, int32_t x, int32_t y);
    int32_t OnRenameTick();
    int32_t BeginEditNode(int32_t node, int32_t row);
    int32_t EndInPlaceEdit(CVolObject* source);

    // ---- scroll bars, wheel, resizing ----
    int32_t OnBarPositionChanged(CVolObject* bar, int32_t position);
    int32_t OnBarDragEnded(CVolObject* bar);
    int32_t OnWheel(int32_t notches);
    int32_t OnResize(CVolObject* source);
    int32_t OnResizeTick();

    // ---- members, in stream order ----
    rg_DrenvikWenJianTuoFangLei dropTarget;
    rg_WenBenShuZuLei droppedFiles;
    int32_t leftOffset = 0, levelOneOffset = 0;  // design units
    rg_DrenvikDuiLieWeiYiLei refreshGate;
    rg_DrenvikXianChengChiLei indexPool;
    int32_t useThreadPool = 0;
    int32_t levelWithoutCheckBox = -1;
    int32_t countLevel = -1;
    int32_t skipIndexJobs = 0;
    int32_t raiseNodeColourEvent = 0, raiseSelectedBackEvent = 0, raiseRowTextEvent = 0;
    int32_t colourMode = 0;
    int32_t highlightColour = -1, dimColour = 0x808080;
    int32_t verticalBarAtEnd = 0;
    int32_t noHorizontalBar = 0;
    int32_t disabledLook = 0;
    CWString spareText;
    rg_DrenvikJSONLei spareDocument;
    // Children, ids 101-109 in this order.
    rg_DrenvikGunDongTiao1 verticalBar;
    rg_DrenvikGunDongTiao1 horizontalBar;
    rg_painter horizontalFiller;
    rg_painter verticalFiller;
    rg_edit_box editor;  // tag: the node being renamed; caption: its text before editing
    rg_painter canvas;   // hidden: every row is drawn here first
    rg_painter surface;  // visible: gets the canvas picture once per pass
    rg_timer renameTimer;
    rg_timer resizeTimer;
    CVolMem nodeBuffer;
    int32_t clickToRename = 0;
    CVolMem delimiter;
    int32_t delimiterLength = 4;
    int32_t fixedFieldsLength = 26;
    int32_t nodeCount = 0;
    int32_t rowsFit = 0;
    int32_t textColour = 0, textBackColour = -1, backColour = 0xFFFFFF;
    int32_t itemHeight = 0;
    int32_t expanderSize = 0, checkBoxSize = 0, iconSize = 0, rowUnit = 0, textHeight = 0;
    CVolObjectArray images;  // rg_WeiTuDuiXiangLei, by icon index
    rg_ZhengShuShuZuLei imageDrawModes;
    int32_t autoRefresh = 1;
    int32_t topNode = 0;
    int32_t checkKind = 2;
    int32_t verticalBarShown = 0, horizontalBarShown = 0;
    int32_t hotNode = -1;
    int32_t selectionReason = 0;
    int32_t pointerRow = 0;
    int32_t lastHotNode = 0;
    // Per drawn row of the last pass.
    rg_ZhengShuShuZuLei rowNodes, rowExpanderX, rowCheckBoxX, rowHitLeft, rowHitRight;
    rg_ZhengShuShuZuLei firstRowLocator;
    int32_t compactRecords = 0;
    int32_t fullRowSelect = 0;
    int32_t clearSelectionOnEmptyClick = 0;
    int32_t itemHeightSetting = -1;
    CWString fontFace;
    int32_t fontSize = 11;
    int32_t selectedNode = -1;
    int32_t gap = 6;
    int32_t rowSpacing = 3;
    int32_t hotUnderline = 0;
    int32_t showLines = 1;
    int32_t showCheckBoxes = 0;
    int32_t visibleRowIndexBuiltFor = 0;
    int32_t visibleRowCount = 0;
    CVolMem visibleRowIndex;

    // Lookup indexes: buffers, ready flag, a run active, the length the index was started for, gate.
    CVolMem offsetIndex;
    int32_t offsetIndexReady = 0, offsetIndexBuilding = 0, offsetIndexBuiltFor = -1;
    rg_DrenvikDuiLieWeiYiLei offsetIndexGate;
    CVolMem parentIndex;
    int32_t parentIndexReady = 0, parentIndexBuilding = 0, parentIndexBuiltFor = -1;
    rg_DrenvikDuiLieWeiYiLei parentIndexGate;
    CVolMem previousSiblingIndex, nextSiblingIndex;
    int32_t siblingIndexReady = 0, siblingIndexBuilding = 0, siblingIndexBuiltFor = -1;
    rg_DrenvikDuiLieWeiYiLei siblingIndexGate;
    CVolMem lastDescendantIndex;
    int32_t lastDescendantIndexReady = 0, lastDescendantIndexBuilding = 0, lastDescendantIndexBuiltFor = -1;
    rg_DrenvikDuiLieWeiYiLei lastDescendantIndexGate;

    int32_t valueWidth = 4;
    int32_t isShown = 0;
    int32_t arrowKeysReady = 1;  // under treeLock
    rg_HuChiSuoLei treeLock;
    std::map<int32_t, CWString> rowTips;  // drawn row -> tool tip of a cut-off text
    int32_t inMouseDown = 0;
    int32_t reportSameSelection = 0;
    int32_t renamePending = 0;
    int32_t releaseRow = 0;
    int32_t isEditing = 0;
    TreeEditStamp editStamp;
    // Told after every structural edit: the `removed` records from index `first` on gave way to
    // `added` new ones, and the records after them moved by the difference (removed < 0: every
    // record was replaced; a text edit reports 0 and 0). An owner that keeps node indexes of its
    // own follows the edits through it. Neither streamed nor copied.
    std::function<void(int32_t first, int32_t removed, int32_t added)> recordsChanged;
    // Told when the in-place editor has closed, however the edit's handler left. Neither streamed
    // nor copied.
    std::function<void()> editEnded;
    // Keeps a node index on its record through every structural edit while it lives (the edits a
    // message loop makes meanwhile): -1 once the record went or every record was replaced.
    class FollowedIndex {
    public:
        FollowedIndex(rg_DrenvikShuXingKuang& t, int32_t& node) : t_(t), node_(node) {
            t_.followedNodes_.push_back(&node_);
        }
        ~FollowedIndex() { std::erase(t_.followedNodes_, &node_); }
        FollowedIndex(const FollowedIndex&) = delete;
        FollowedIndex& operator=(const FollowedIndex&) = delete;

    private:
        rg_DrenvikShuXingKuang& t_;
        int32_t& node_;
    };
    // For an owner that empties the records itself, which reports no edit: the nodes being
    // followed are gone.
    void DropFollowedNodes() noexcept {
        for (int32_t* node : followedNodes_) *node = -1;
    }

    // text, icon, selectedIcon, data, state, check, textColour, textBackColour, level
    VolEventBinding<const CWString&, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t>
        nodeAddedEvent;
    VolEventBinding<int32_t, int32_t> nodeColourEvent;             // node, stored colour → colour
    // Owner events of the view; an unbound event reads 0.
    VolEventBinding<> lostFocusEvent;
    VolEventBinding<const rg_WenBenShuZuLei&> filesDroppedEvent;
    VolEventBinding<> hiddenEvent;
    VolEventBinding<int32_t, CWString&> rowTextEvent;             // node, row text (changeable)
    VolEventBinding<int32_t, int32_t> selectedBackEvent;          // node, 0xC06000 -> colour
    VolEventBinding<int32_t, int32_t, int32_t> selectionChangedEvent;  // node, reason, same node
    VolEventBinding<int32_t> hoverEvent;
    VolEventBinding<int32_t, int32_t> keyDownEvent;               // key, modifiers
    VolEventBinding<int32_t> rowClickedEvent;                     // node or -1
    VolEventBinding<> rightClickEvent;
    VolEventBinding<int32_t> expandRequestEvent;                  // nonzero forbids
    VolEventBinding<int32_t> expandToggledEvent;
    VolEventBinding<int32_t> checkRequestEvent;                   // nonzero forbids
    VolEventBinding<int32_t> checkToggledEvent;
    VolEventBinding<int32_t, CWString&> editRequestedEvent;       // node, text (changeable); nonzero refuses
    VolEventBinding<int32_t, const CWString&, const CWString&> editFinishedEvent;  // nonzero: owner renamed

    // The index kinds, as the pool's task types name them.
    enum IndexKind : int32_t { kOffsets = 1, kLastDescendants = 2, kParents = 3, kSiblings = 4 };

    struct IndexSnapshot;  // the node buffer as one pass of the jobs sees it

private:
    // One drawn row as the viewport stage needs it.
    struct DrawnRow {
        int textX, textRight;
        CWString text;
    };
    // Painting: one pass of the rows; false when a restart was asked for meanwhile.
    bool PaintRows(std::vector<DrawnRow>& drawn, int& maxWidth);
    bool PaintConnectorLines();
    // The viewport stage: 0 done, 1 restart, 2 the pass ended (RefreshView was called anew).
    int RunViewportStage(const std::vector<DrawnRow>& drawn, int maxWidth);
    void ComputeMetrics();
    TreeColumnSettings ColumnSettings();
    TreeRowHitArea RowArea(size_t row) const {
        return {rowExpanderX[row], rowCheckBoxX[row], rowHitLeft[row], rowHitRight[row]};
    }
    int32_t ResolveRowColour(int32_t node, rg_ZhengShuShuZuLei& locator);
    void DrawExpander(int x, int y, int state);
    void DrawCheckBox(int x, int y, int check);
    void DrawNodeIcon(int cellX, int cellY, int icon);
    void SetPen(int colour);
    void SetBrush(int colour);
    bool RestartRequested();
    void ReleaseGate();
    bool IsRowValid(int32_t row) const noexcept { return row >= 0 && row < int32_t(rowNodes.size()); }
    int32_t RowUnder(int32_t y) const noexcept { return TreeRowAt(y, gap, itemHeight, rowSpacing); }
    int32_t ToggleExpandByKey(bool expand);
    // The editor's own show state: a hidden tree box must not leave a rename uncommitted for good.
    bool EditorOpen() const noexcept { return editor.IsCreated() && (editor.GetStyle() & WS_VISIBLE); }
    int32_t MoveByArrow(bool up);
    // Surface events: only the surface's own count for some of them.
    int32_t OnBoardLostFocus(CVolObject* source);
    int32_t OnBoardKeyDown(CVolObject*, int key, int modifiers) { return HandleKeyDown(key, modifiers); }
    int32_t OnBoardWheel(CVolObject*, int notches, int) { return OnWheel(notches); }
    int32_t OnBoardMouseMove(CVolObject* source, int x, int y, int) { return TrackHotRow(source, x, y); }
    int32_t OnBoardLeftDown(CVolObject*, int x, int y, int) { return HandleMouseDown(1, x, y); }
    int32_t OnBoardLeftUp(CVolObject*, int x, int y, int) { return HandleMouseUp(x, y); }
    int32_t OnBoardDoubleClick(CVolObject*, int x, int, int) { return OnRowTextClick(x); }
    int32_t OnBoardRightDown(CVolObject* source, int x, int y, int);
    int32_t OnEditorKeyDown(CVolObject* source, int key, int);
    int32_t OnTimerTick(CVolObject* source);
    int32_t OnShown(CVolObject*);
    int32_t OnHidden(CVolObject*);
    int32_t OnFileDropped(CVolObject*, int32_t count, int32_t index, const CWString& path, const CWString&);

    double dpiFactor_ = 0;
    bool penSet_ = false, brushSet_ = false;
    uint32_t editStampAtOpen_ = 0;  // a rename is dropped when the tree changed shape meanwhile
    uint32_t firstRowStamp_ = 0;    // the tree shape firstRowLocator was found in
    uint32_t visibleRowsStamp_ = 0; // the tree shape visibleRowIndex was built for
    int32_t pendingStart_ = -1;     // a top row asked for while a pass ran
    std::vector<rg_ZhengShuShuZuLei> rowLocators_;  // per drawn row, for the line pass

    struct IndexRefs;
    IndexRefs Refs(IndexKind kind) const;
    // Adopts a finished pass, then tests for a current index.
    bool IsIndexCurrent(IndexKind kind) const;
    // An int32 of an index buffer; missing bytes read as 0.
    static int32_t ReadIndexInt(const CVolMem& block, int64_t at) noexcept;
    int32_t RunIndexJob(IndexKind kind);
    void LaunchIndexJob(IndexKind kind);
    std::shared_ptr<const IndexSnapshot> TakeSnapshot() const;
    void MarkStructureChanged(int32_t first, int32_t removed, int32_t added) {
        ++editStamp.value;
        for (int32_t* node : followedNodes_) {
            if (*node < 0) continue;
            if (removed < 0 || (*node >= first && *node < int64_t(first) + removed)) *node = -1;
            else if (*node >= int64_t(first) + removed) *node += added - removed;
        }
        if (recordsChanged) recordsChanged(first, removed, added);
    }
    // Raises the expand request for `node`, which then follows the edits the handlers made (an
    // owner's listing pumps messages); -1 when its record went. Nonzero forbids.
    int32_t RaiseExpandRequest(int32_t& node);
    std::vector<int32_t*> followedNodes_;  // by FollowedIndex
    void PatchVisibleRows(int32_t node, bool expanded);
    // The visible-row index is current for the present length and edit stamp only.
    bool VisibleRowsCurrent() const noexcept {
        return visibleRowIndexBuiltFor == int32_t(nodeBuffer.GetSize()) && visibleRowsStamp_ == editStamp.value;
    }
    // Rebuilds the visible-row index when it is not current; true when it did.
    bool EnsureVisibleRows();
    // The first row entry whose node is `node` or later (rows rise with the node number).
    int64_t FirstRowAtOrAfter(int32_t node) const;
    // Rows of nodes first..end (a whole subtree or the tree) through the offset and last-descendant
    // indexes, which must be current.
    int32_t CollectRowsByIndexes(int32_t first, int32_t end, CVolMem& out) const;
    // Keeps the visible rows current across a replacement of nodes [first, last] by a block of
    // well-formed records whose top level is `blockLevel`; `shown`: the block's top records are rows.
    void PatchRowsForReplacement(int32_t first, int32_t last, const CVolMem& block, int32_t added,
                                 int32_t blockLevel, bool shown);
    void StopIndexJobs() noexcept;

    // Byte searches over the node buffer.
    int64_t FindForward(const void* pattern, size_t n, int64_t from) const noexcept;
    int64_t FindBackward(const void* pattern, size_t n, int64_t before) const noexcept;
    // The format has one delimiter; the `delimiter` member is never trusted for its bytes.
    static constexpr uint8_t kRecordDelimiter[4] = {1, 2, 3, 4};
    int64_t FindDelimiter(int64_t from) const noexcept { return FindForward(kRecordDelimiter, 4, from); }
    int64_t FindDelimiterBefore(int64_t before) const noexcept { return FindBackward(kRecordDelimiter, 4, before); }
    int64_t FindLevelForward(int32_t level, int64_t from) const noexcept;
    int64_t FindLevelBackward(int32_t level, int64_t before) const noexcept;
    int32_t ReadInt(int64_t at) const noexcept;  // 0 when outside the buffer
    int32_t RecordStartBefore(int64_t delimiterPos) const noexcept;
    // A locator carries the edit stamp it was taken under as a fourth value; one taken before a
    // structural edit is located again instead of trusted. Three-value locators are the caller's own.
    void SetLocator(rg_ZhengShuShuZuLei& locator, int64_t first, int64_t last, int32_t level) const;
    bool LocatorCurrent(const rg_ZhengShuShuZuLei& locator) const noexcept {
        return locator.size() < 4 || uint32_t(locator[3]) == editStamp.value;
    }
    // The record text starting at `start` may not complete a delimiter with the bytes before it.
    bool SealRecordStart(int64_t start);
    // Seals every record start from `start` through `end`, and the one right after.
    void SealRecordsFrom(int64_t start, int64_t end);
    // The delimiter of the located record, or -1 when it lies beyond the locator's last byte.
    int64_t DelimiterOf(const rg_ZhengShuShuZuLei& locator) const noexcept;
    bool Locate(int32_t node, rg_ZhengShuShuZuLei& locator) const;
    void FillLocatorFromDelimiter(int64_t d, rg_ZhengShuShuZuLei& locator) const;
    int32_t SetStateByte(int32_t node, rg_ZhengShuShuZuLei& locator, uint8_t newState);
    // Replaces `count` bytes of nodeBuffer at `at` by `bytes`.
    void ReplaceBufferBytes(size_t at, size_t count, const CVolMem& bytes);
    void AfterChange(int32_t noRefresh) { if (!noRefresh && autoRefresh) RefreshView(-1); }
    // Only the two record sizes exist; any other value would stall or reverse a record walk.
    int32_t RecordTailLength() const noexcept { return 4 + (fixedFieldsLength == 18 ? 18 : 26); }
    // The index of the record starting at `start`, before `node` (whose locator is given).
    int32_t IndexOfEarlierRecord(int32_t start, int32_t node, const rg_ZhengShuShuZuLei& locator) const;
    // Complete records in a prepared block.
    int32_t CountRecords(const CVolMem& block) const noexcept;

    // Nothing read from a stream is trusted: the record format and the node count are checked, and
    // everything derived from the records is dropped to be built again.
    void OnStreamLoaded();

    std::shared_ptr<const IndexSnapshot> snapshot_;  // the latest, guarded by snapshotLock_
    mutable CriticalSection snapshotLock_;
    std::atomic<bool> stopping_{false};
    std::atomic<int32_t> liveJobThreads_{0};
    // Per kind, indexed by IndexKind. A pass leaves its result in `finished_` under the gate's
    // mutex; only the UI thread moves it into the index members, so every index member is the UI
    // thread's alone and a copy of the tree box never races a job.
    struct FinishedPass {
        CVolMem blocks[2];
        bool waiting = false;
        bool built = false;  // a complete index (not an empty or malformed tree)
        int32_t length = 0;
        uint32_t stamp = 0;
    };
    FinishedPass finished_[5];
    uint32_t requestedStamp_[5] = {};  // UI thread: the edit stamp a job was last started for
    uint32_t builtStamp_[5] = {};      // UI thread: what the adopted index was built from
    int32_t builtLength_[5] = {};
};
