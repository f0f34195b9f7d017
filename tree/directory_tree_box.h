// The directory tree box: one tree box browsing the file system under five roots (desktop,
// documents, the computer with its drives, the system folders, the favourites).
//
// A node's kind is its icon; no node stores a path. A folder node holds its own name only, and
// its path is built on demand from the nearest non-folder ancestor. Folders are listed when first
// expanded: until then a folder with subfolders carries one "+" placeholder child.
//
// Asking a folder whether it has subfolders costs a directory search of its own, far more than the
// listing that found it, so a listing writes its children at once and leaves those questions
// pending: the children on screen are asked right away, the rest a slice at a time on a timer, and
// each "+" comes as its answer does. Pending questions follow their nodes through every edit.
#pragma once
#include <algorithm>
#include <cstdint>
#include <exception>
#include <map>
#include <vector>

#include "platform/components.h"
#include "tree/tree_box.h"

// Favourite id to folder path.
using rg_BianZhengShuDaoWenBenXingHaXiBiao = std::map<int32_t, CWString>;

// Node icons, which are the node kinds.
enum DirectoryTreeIcon : int32_t {
    kDirIconPlaceholder = -1,
    kDirIconFavouritesRoot = 2,
    kDirIconEntry = 3,  // a system folder, or a favourite when its parent is the favourites root
    kDirIconFolderSelected = 4,
    kDirIconFolder = 5,
    kDirIconComputer = 6,
    kDirIconDocuments = 7,
    kDirIconSystemRoot = 8,
    kDirIconWindowsDrive = 9,
    kDirIconDrive = 10,
    kDirIconDesktop = 11,
};

// Context menu command ids.
enum DirectoryTreeCommand : int32_t {
    kDirCmdTop = 60000,
    kDirCmdRead = 60002,
    kDirCmdOpen = 60003,
    kDirCmdRename = 60005,
    kDirCmdDelete = 60006,
    kDirCmdCopyName = 60008,
    kDirCmdCopyPath = 60009,
    kDirCmdBatchCheck = 60011,
    kDirCmdRefresh = 60012,
    kDirCmdAddFavourite = 60013,
    kDirCmdNewFolder = 60014,
    kDirCmdRebuild = 60016,
    kDirCmdJumpToClipboard = 60017,
};

class rg_DrenvikMuLuShuKuangCaiChanLei : public rg_CaiChanLei {
    VOL_CLASS(rg_DrenvikMuLuShuKuangCaiChanLei, rg_CaiChanLei, "rg_DrenvikMuLuShuKuangCaiChanLei")
    VOL_MEMBERS()

public:
    CWString GetDesignText() const override;
};

// Why a new name cannot be a folder's name; empty when it can.
CWString CheckFolderName(std::wstring_view name);
// The drive letter of a drive caption "label (X:)"; 0 when the caption has no such ending.
wchar_t DriveLetterOfCaption(std::wstring_view caption) noexcept;
// The label part of a drive caption.
CWString DriveLabelOfCaption(std::wstring_view caption);

class rg_DrenvikMuLuShuKuang1 : public rg_ZuJianBuJuQi {
    VOL_CLASS(rg_DrenvikMuLuShuKuang1, rg_ZuJianBuJuQi, "drenvik::rg_DrenvikMuLuShuKuang1")
    VOL_MEMBERS(IsShown, Tree, IsTreeBuilt, TreeName, SingleCheck, FavouritePaths, SystemFolderPaths, EditDriveLetter,
                SpareText, IsFillingFolder, ContextMenu)

public:
    rg_DrenvikMuLuShuKuang1();
    ~rg_DrenvikMuLuShuKuang1() override;

    int GetDesignWidth() const override { return ScaleDesignValue(379); }
    int GetDesignHeight() const override { return ScaleDesignValue(514); }
    void CreateChildren() override;
    void BindEvents() override;

    // ---- building and paths ----
    // On every shown event; the images and roots are made the first time only. Result 0.
    int32_t InitialiseTree();
    // Empties the tree box and builds every root again.
    void BuildRoots();
    // The node's path (-1: the selected node); empty outside the nodes.
    CWString GetNodePath(int32_t node);
    CWString GetSelectedPath();
    // Selects a path's node; rebuilds the roots once when the path exists but is not found.
    void OpenPath(const CWString& path);
    // Raises NodeSelected; its handler's result, 0 when unbound.
    int32_t RaiseIntEvent(int32_t value);
    // Replaces a node's descendants by its folder's current subfolders.
    void FillFolderChildren(int32_t node);
    // Children whose "+" is not decided yet.
    int32_t PendingPlaceholderChecks() const { return int32_t(pendingChecks_.size()); }

    // ---- tree box handlers ----
    // Edit request: 0 allows, 1 refuses. For a drive the editor gets the bare label.
    int32_t HandleEditRequest(int32_t node, CWString& editorText);
    // Edit finished: 0 lets the tree box store the new text, 1 leaves the node's text alone.
    int32_t RenameNode(int32_t node, const CWString& oldText, const CWString& newText);
    int32_t HandleSelectionChanged(int32_t node, int32_t reason);
    // Non-zero only while another fill is under way.
    int32_t OnNodeExpanding(int32_t node);

    // ---- context menu, commands, shortcut keys ----
    int32_t OnContextMenu();
    void UpdateMenuStates();
    void HandleMenuCommand(int32_t commandId);
    int32_t HandleShortcutKey(int32_t key, int32_t modifiers);
    // Selects a path's node, listing folders on the way; its index or -1.
    int32_t SelectPath(const CWString& path);
    // Creates "新文件夹"+n under the selected folder and starts renaming it.
    void CreateNewFolder();

    // The favourites section of the shared configuration.
    CWString FavouritesSection() const { return TreeName + L"_收藏夹"; }

    // ---- members, in stream order ----
    int32_t IsShown = 0;
    rg_DrenvikShuXingKuang Tree;
    int32_t IsTreeBuilt = 0;
    CWString TreeName = L"目录树";
    int32_t SingleCheck = 1;
    rg_BianZhengShuDaoWenBenXingHaXiBiao FavouritePaths;
    rg_WenBenShuZuLei SystemFolderPaths;
    wchar_t EditDriveLetter = 0;
    CWString SpareText;
    int32_t IsFillingFolder = 0;
    rg_DrenvikMuLuShuKuangCaiChanLei ContextMenu;

    // Owner events. FilesDropped is the control's own standard event, raised with the tree box's list.
    VolEventBinding<int32_t> NodeSelected;  // selection reason
    VolEventBinding<> ContextMenuShown;
    VolEventBinding<> NodeCheckChanged;

private:
    // Tree box events.
    int32_t OnShownEvent(CVolObject*);
    int32_t OnHiddenEvent(CVolObject*);
    int32_t OnResizedEvent(CVolObject*);
    int32_t OnWindowMessage(CVolObject* source, HWND, UINT message, WPARAM wParam, LPARAM lParam, VolMessage*);
    int32_t OnTreeFilesDropped(CVolObject* source, const rg_WenBenShuZuLei& paths);
    int32_t OnTreeEditRequested(CVolObject*, int32_t node, CWString& text) { return HandleEditRequest(node, text); }
    int32_t OnTreeEditFinished(CVolObject*, int32_t node, const CWString& oldText, const CWString& newText) {
        return RenameNode(node, oldText, newText);
    }
    int32_t OnTreeSelection(CVolObject*, int32_t node, int32_t reason, int32_t) {
        return HandleSelectionChanged(node, reason);
    }
    int32_t OnTreeExpandRequest(CVolObject*, int32_t node) { return OnNodeExpanding(node); }
    int32_t OnTreeCheckToggled(CVolObject*, int32_t) { return NodeCheckChanged.Raise(this); }
    int32_t OnTreeRightClick(CVolObject*) { return OnContextMenu(); }
    int32_t OnTreeKeyDown(CVolObject*, int32_t key, int32_t modifiers) { return HandleShortcutKey(key, modifiers); }

    // Sets a flag for a scope and restores it on every way out.
    struct FlagScope {
        int32_t& flag;
        int32_t saved;
        explicit FlagScope(int32_t& f, int32_t value = 1) : flag(f), saved(f) { flag = value; }
        ~FlagScope() { flag = saved; }
        FlagScope(const FlagScope&) = delete;
        FlagScope& operator=(const FlagScope&) = delete;
    };

    // Node reads without a cached locator.
    template <auto Getter> auto Read(int32_t node) const {
        rg_ZhengShuShuZuLei loc;
        return (Tree.*Getter)(node, loc);
    }
    int32_t IconOf(int32_t node) const { return Read<&rg_DrenvikShuXingKuang::GetNodeIcon>(node); }
    CWString TextOf(int32_t node) const { return Read<&rg_DrenvikShuXingKuang::GetNodeText>(node); }
    int32_t LevelOf(int32_t node) const { return Read<&rg_DrenvikShuXingKuang::GetNodeLevel>(node); }
    int32_t DataOf(int32_t node) const { return Read<&rg_DrenvikShuXingKuang::GetNodeData>(node); }
    int32_t ParentOf(int32_t node) const;
    bool IsPlaceholder(int32_t node) const;
    bool IsFavourite(int32_t node) const;
    void EmptyTree();
    void AddPlaceholderIfSubfolders(std::wstring_view path, int32_t level);
    // Lists a folder into the tree and asks at once whether its first `askNow` children have
    // subfolders. Without `refresh`, the caller draws the tree when it is done with it.
    void ListFolder(int32_t node, int32_t askNow, bool refresh);

    // Placeholder checks. A child waits here, sorted by node, until asked whether it has subfolders.
    struct PendingCheck {
        int32_t node, parent;
        bool drawn;  // among the rows on screen: asked first
    };
    template <class Checks> static auto PendingAtOrAfter(Checks& checks, int64_t node) {
        return std::lower_bound(checks.begin(), checks.end(), node,
                                [](const PendingCheck& c, int64_t n) { return c.node < n; });
    }
    // A node an operation took before a message loop ran (a box, a listing's pump). The tree box
    // moves it with every edit of the records; only when its record went, or every record was
    // replaced, is it looked up again, by its chain from the root. One folder may stand several
    // times in the tree (under the desktop, through the drive, as a favourite), so its path would
    // not tell which.
    class FollowedNode {
    public:
        FollowedNode(rg_DrenvikMuLuShuKuang1& d, int32_t node);
        // The node now; -1 when it is no longer in the tree.
        int32_t Node();

    private:
        friend class rg_DrenvikMuLuShuKuang1;
        struct Step {
            CWString text;
            int32_t icon, data;
        };
        rg_DrenvikMuLuShuKuang1& d_;
        int32_t node_;
        std::vector<Step> chain_;  // root first
        rg_DrenvikShuXingKuang::FollowedIndex follow_{d_.Tree, node_};
    };
    int32_t FindByChain(const std::vector<FollowedNode::Step>& chain) const;

    bool IsCheckPending(int32_t node) const;
    void QueueChildChecks(int32_t parent, int32_t firstChild, int32_t count);
    void OnRecordsChanged(int32_t first, int32_t removed, int32_t added);
    // Queues every collapsed folder without children again, when edits went by unseen. It only
    // queues: the caller schedules the questions.
    void RequeueUnlistedFolders();
    bool ChecksUnknown() const { return Tree.editStamp.value != checksSeenStamp_; }
    // While a listing pumps messages, the editor is open, a command runs or answers are being
    // written, no answer is written and no timer is armed: the end of each hold schedules them.
    bool ChecksHeld() const { return checksBusy_ || fillBusy_ || commandBusy_ || Tree.isEditing; }
    // The control had a window and it was destroyed: nothing can show an answer any more. One that
    // never had a window answers at once instead.
    bool WindowGone() const { return hadWindow_ && !GetHwnd(); }
    enum class CheckOutcome { None, Placeholder, Listed };
    // Asks one pending child and writes its answer: a "+" under it, or, for a child opened
    // meanwhile, its listing.
    CheckOutcome SettleCheck(size_t at);
    // Asks the pending children on screen, then the rest from the top row on, for the budget.
    void RunPlaceholderChecks(int64_t budgetMicroseconds);
    // Asks the first `limit` pending children of a node.
    void SettleChildren(int32_t parent, int32_t limit);
    int32_t ScreenRows() const;
    // Arms the check timer, or kills it while the checks are held or none is pending. Without a
    // window there is no timer: `runWithoutWindow` asks them all at once then, unless the window
    // went.
    void ScheduleChecks(bool runWithoutWindow = true);
    void OnCheckTimer();
    // Favourites.
    void ReadFavourites();
    int32_t NewFavouriteId();
    CWString FavouriteKeyPrefix(int32_t id) const;
    bool IsProtectedFolder(const CWString& path);
    // Holds the background answers while it lives, and schedules them as it ends, on every way
    // out. A command holds them for its whole length (its message boxes run message loops, and an
    // answer written meanwhile moves every record after it), a listing while it pumps.
    class HoldScope {
    public:
        HoldScope(rg_DrenvikMuLuShuKuang1& d, int32_t& counter)
            : d_(d), counter_(counter), exceptions_(std::uncaught_exceptions()) {
            ++counter_;
        }
        ~HoldScope() {
            --counter_;
            // While an exception passes, no answer is written here: the timer is armed at most.
            d_.ScheduleChecks(std::uncaught_exceptions() == exceptions_);
        }
        HoldScope(const HoldScope&) = delete;
        HoldScope& operator=(const HoldScope&) = delete;

    private:
        rg_DrenvikMuLuShuKuang1& d_;
        int32_t& counter_;
        int exceptions_;
    };
    void DeleteSelected();
    // True when the folder went to the recycle bin; one the bin cannot take stays, with a box.
    bool RecycleFolder(const CWString& path);
    void BatchCheck();
    void AddFavourite();
    void JumpToClipboardPath();
    int32_t ShowContextMenuAt(POINT screen);
    // Folder rename and drive relabel.
    int32_t RenameFolder(int32_t node, const CWString& oldText, const CWString& newText);
    int32_t RelabelDrive(int32_t node, const CWString& oldText, const CWString& newText);

    // The key prefix each favourite id was read or written under (ids of odd keys are made up).
    std::map<int32_t, CWString> favouriteKeys_;
    // A fill pumps messages while it lists: nothing may change the tree's shape or a folder's name
    // meanwhile (the listing would write back the names it read before).
    int32_t fillBusy_ = 0;
    bool hadWindow_ = false;
    // Set while this control itself moves the selection, so the tree box's report is not passed on.
    int32_t quietSelection_ = 0;

    std::vector<PendingCheck> pendingChecks_;
    uint32_t checksSeenStamp_ = 0;  // the tree's edit stamp as the last edit report left it
    int32_t checksBusy_ = 0;
    int32_t commandBusy_ = 0;
    // Where the last answer was written: the next pending child is found from there, not from the
    // first record. The locator has three values, kept valid by this control across its own edits.
    int32_t cursorNode_ = -1;
    rg_ZhengShuShuZuLei cursorLocator_;
    int32_t cursorParent_ = -1;
    int32_t cursorParentLevel_ = -1;
    CWString cursorParentPath_;
};
