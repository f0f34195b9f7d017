#include <gtest/gtest.h>

#include "platform/win.h"
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/dynapi.h"
#include "platform/painter.h"
#include "platform/seams.h"
#include "platform/window.h"
#include "support/ui_helpers.h"

namespace {

// A form with two drawing boards that logs the events it receives, in order.
class LogForm : public CVolWinForm {
    VOL_CLASS(LogForm, CVolWinForm, "test::LogForm")
    VOL_MEMBERS()

public:
    // Hidden: Wine without a window manager takes 2 s to hide a shown top-level window.
    LogForm() { SetVisible(false); }
    ~LogForm() override {
        DetachEvents();
        DestroyOwnWindow();
    }

    rg_painter first;
    rg_painter second;
    std::vector<std::string> log;
    int designWidth = 400;
    int designHeight = 200;
    int messageResult = 0;   // what the WindowMessage handler answers
    int downResult = 0;      // what the LeftButtonDown handler answers
    int closingResult = 0;
    int canCloseResult = 0;
    int modalEndCode = -100;  // ModalShown ends the modal loop with this code when set
    rg_WenBenShuZuLei dropped;
    std::vector<int> createdIds;
    int lastModifiers = 0;

    int GetDesignWidth() const override { return ScaleDesignValue(designWidth); }
    int GetDesignHeight() const override { return ScaleDesignValue(designHeight); }

    void BindEvents() override {
        VOL_BIND(Created, &LogForm::OnCreated);
        VOL_BIND(Resized, &LogForm::OnResized);
        VOL_BIND(Closing, &LogForm::OnClosing);
        VOL_BIND(CanClose, &LogForm::OnCanClose);
        VOL_BIND(FirstActivated, &LogForm::OnFirstActivated);
        VOL_BIND(Activated, &LogForm::OnActivated);
        VOL_BIND(ModalShown, &LogForm::OnModalShown);
        VOL_BIND(FilesDropped, &LogForm::OnDropped);
        CVolWinForm::BindEvents();
        for (rg_painter* child : {&first, &second}) {
            VOL_BIND(child->WindowMessage, &LogForm::OnChildMessage);
            VOL_BIND(child->LeftButtonDown, &LogForm::OnChildDown);
            VOL_BIND(child->WindowCreated, &LogForm::OnChildCreated);
            child->AttachEventListener();
        }
    }
    void CreateChildren() override {
        log.push_back("children");
        CreateChild(first, 10, 10, 100, 40, L"first tip");
        CreateChild(second, 120, 10, 100, 40);
    }

    void OnCreated(CVolObject*) { log.push_back("created"); }
    void OnResized(CVolObject*) { log.push_back("resized"); }
    int OnClosing(CVolObject*) { log.push_back("closing"); return closingResult; }
    int OnCanClose(CVolObject*) { log.push_back("canclose"); return canCloseResult; }
    void OnFirstActivated(CVolObject*) { log.push_back("first-activated"); }
    void OnActivated(CVolObject*) { log.push_back("activated"); }
    void OnModalShown(CVolObject*) {
        log.push_back("modal-shown");
        if (modalEndCode != -100) EndModal(modalEndCode);
    }
    void OnDropped(CVolObject*, const rg_WenBenShuZuLei& files) { dropped = files; }
    int OnChildMessage(CVolObject* source, HWND, UINT message, WPARAM, LPARAM, VolMessage*) {
        if (message == WM_LBUTTONDOWN) log.push_back(source == &first ? "message:first" : "message:second");
        return message == WM_LBUTTONDOWN ? messageResult : 0;
    }
    int OnChildDown(CVolObject*, int x, int y, int modifiers) {
        log.push_back("down " + std::to_string(x) + "," + std::to_string(y));
        lastModifiers = modifiers;
        return downResult;
    }
    void OnChildCreated(CVolObject*, VolWindowObject*, CVolWinControl*, int id) { createdIds.push_back(id); }

    bool Logged(const std::string& entry) const {
        for (auto& e : log) if (e == entry) return true;
        return false;
    }
};

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES};
        ::InitCommonControlsEx(&icc);
    }
    void TearDown() override { SetDpiFactorsForTest(1.0); }
};

SHORT AltDown(int vk) { return vk == VK_MENU ? SHORT(0x8000) : 0; }

// A DROPFILES block as the shell builds it: the header, then zero-terminated wide paths, then a zero.
HGLOBAL MakeDrop(const std::vector<std::wstring>& paths) {
    size_t chars = 1;
    for (auto& p : paths) chars += p.size() + 1;
    HGLOBAL mem = ::GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* df = static_cast<DROPFILES*>(::GlobalLock(mem));
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    auto* out = reinterpret_cast<wchar_t*>(reinterpret_cast<BYTE*>(df) + sizeof(DROPFILES));
    for (auto& p : paths) {
        std::copy(p.begin(), p.end(), out);
        out += p.size() + 1;
    }
    ::GlobalUnlock(mem);
    return mem;
}

}  // namespace

TEST(FormGeometry, DefaultFormIsCentredOnTheScreen) {
    EXPECT_EQ(CentreOnScreen(1920, 1080, 800, 600).x, 560);
    EXPECT_EQ(CentreOnScreen(1920, 1080, 800, 600).y, 240);
    EXPECT_EQ(CentreOnScreen(1280, 1024, 801, 601).x, 239);  // integer arithmetic
}

TEST(FormGeometry, WindowsAreFittedIntoTheWorkArea) {
    struct Case { RECT window, area, fitted; } cases[] = {
        {{100, 100, 500, 400}, {0, 0, 1280, 1024}, {100, 100, 500, 400}},      // inside: kept
        {{-100, -10, 300, 200}, {0, 0, 1280, 1024}, {0, 0, 400, 210}},         // left and top cut: moved
        {{1000, 900, 1400, 1100}, {0, 0, 1280, 1024}, {880, 824, 1280, 1024}},  // right and bottom: moved
        {{-260, 0, 1540, 1100}, {0, 0, 1280, 1024}, {0, 0, 1280, 1024}},       // larger: shrunk
        {{-263, 57, 1063, 967}, {0, 0, 1280, 1024}, {0, 57, 1280, 967}},       // wider, centred: shrunk
        {{-300, 40, 1500, 600}, {0, 0, 1280, 984}, {0, 40, 1280, 600}},        // above a taskbar
        // a work area clear of a taskbar, on a monitor left of the primary one
        {{-2000, 500, -900, 1200}, {-1920, 0, 0, 1040}, {-1920, 340, -820, 1040}},
    };
    for (const auto& c : cases) {
        RECT r = FitRectIntoArea(c.window, c.area);
        EXPECT_TRUE(::EqualRect(&r, &c.fitted)) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

TEST(FormGeometry, BorderStylesMapToWindowStyles) {
    struct Case { int border; DWORD has; DWORD lacks; DWORD exHas; } cases[] = {
        {0, WS_POPUP, WS_CAPTION, 0},
        {1, WS_CAPTION | WS_THICKFRAME, WS_POPUP, 0},
        {2, WS_CAPTION, WS_THICKFRAME, 0},
        {3, WS_CAPTION | WS_THICKFRAME, 0, WS_EX_TOOLWINDOW},
        {4, WS_CAPTION, WS_THICKFRAME, WS_EX_TOOLWINDOW},
        {5, WS_THICKFRAME, 0, WS_EX_CLIENTEDGE},
        {6, WS_CAPTION, WS_THICKFRAME, WS_EX_CLIENTEDGE},
    };
    for (auto& c : cases) {
        VolFormStyle s = ComputeFormStyle(c.border, true, true, true, false);
        EXPECT_EQ(s.style & c.has, c.has) << c.border;
        EXPECT_EQ(s.style & c.lacks, 0u) << c.border;
        EXPECT_EQ(s.exStyle & c.exHas, c.exHas) << c.border;
    }
    VolFormStyle bare = ComputeFormStyle(2, false, true, true, true);
    EXPECT_EQ(bare.style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_TRUE(bare.exStyle & WS_EX_TOPMOST);
    VolFormStyle buttons = ComputeFormStyle(1, true, false, true, false);
    EXPECT_EQ(buttons.style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), DWORD(WS_SYSMENU | WS_MAXIMIZEBOX));
}

TEST(Dpi, ScaleFactorFromDisplay) {
    EXPECT_DOUBLE_EQ(ComputeDpiScale(144, 96), 1.5);
    EXPECT_DOUBLE_EQ(ComputeDpiScale(0, 120), 1.25);  // no effective DPI: the logical one
    EXPECT_DOUBLE_EQ(ComputeDpiScale(72, 96), 1.0);   // never below 1
}

TEST_F(WindowTest, DesignSizesFollowTheScale) {
    struct Case { double scale; int value; int expected; } cases[] = {
        {1.25, 500, 625}, {1.5, 500, 750}, {1.75, 13, 23}, {1.0, 500, 500}};
    for (auto& c : cases) {
        SetDpiFactorsForTest(c.scale);
        EXPECT_EQ(ScaleDesignValue(c.value), c.expected) << c.scale;
    }
    // A real form: its client area is the design size, its children at scaled designer geometry,
    // and the tooltip margins are 3 scaled.
    for (double scale : {1.25, 1.5}) {
        SetDpiFactorsForTest(scale);
        LogForm form;
        form.designWidth = 500;
        form.designHeight = 300;
        ASSERT_TRUE(form.LoadWindow());
        EXPECT_EQ(form.GetClientWidth(), ScaleDesignValue(500));
        EXPECT_EQ(form.GetClientHeight(), ScaleDesignValue(300));
        EXPECT_EQ(form.second.GetLeft(), ScaleDesignValue(120));
        EXPECT_EQ(form.second.GetWidth(), ScaleDesignValue(100));
        RECT margin{};
        HWND tip = form.GetWindowObject().tooltip;
        ASSERT_NE(tip, nullptr);
        ::SendMessageW(tip, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
        EXPECT_EQ(margin.left, scale == 1.25 ? 4 : 5);
        EXPECT_EQ(::SendMessageW(tip, TTM_GETTIPTEXTCOLOR, 0, 0), 0x008000);
        EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);  // only the first child has a tip
        form.second.SetTipText(L"second tip");
        form.first.SetTipText(L"");
        EXPECT_EQ(::SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    }
}

TEST_F(WindowTest, FormsLargerThanTheWorkAreaAreShrunkIntoIt) {
    SetDpiFactorsForTest(1.5);
    LogForm form;
    form.designWidth = 1200;  // 1800 x 1025 at 1.5: more than a 1280 x 1024 screen
    form.designHeight = 683;
    ASSERT_TRUE(form.LoadWindow());
    EXPECT_TRUE(LiesInsideWorkArea(form.GetHwnd()));
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(form.GetHwnd(), MONITOR_DEFAULTTONEAREST), &mi));
    RECT r;
    ::GetWindowRect(form.GetHwnd(), &r);
    if (mi.rcWork.right - mi.rcWork.left < 1800) {
        EXPECT_EQ(r.right - r.left, mi.rcWork.right - mi.rcWork.left);
    }
    // Placed later: moved back, and shrunk.
    ::SetWindowPos(form.GetHwnd(), nullptr, mi.rcWork.left - 300, mi.rcWork.top - 20, 4000, 200, SWP_NOZORDER);
    FitWindowIntoWorkArea(form.GetHwnd());
    ::GetWindowRect(form.GetHwnd(), &r);
    EXPECT_EQ(r.left, mi.rcWork.left);
    EXPECT_EQ(r.top, mi.rcWork.top);
    EXPECT_EQ(r.right, mi.rcWork.right);
}

TEST_F(WindowTest, CreationOrderIdsAndEvents) {
    LogForm form;
    ASSERT_TRUE(form.LoadWindow());
    EXPECT_EQ(form.first.GetControlId(), 101);
    EXPECT_EQ(form.second.GetControlId(), 102);
    EXPECT_EQ(form.createdIds, (std::vector<int>{101, 102}));
    // Children come before Created; Created precedes the first resize.
    ASSERT_GE(form.log.size(), 2u);
    EXPECT_EQ(form.log[0], "children");
    EXPECT_EQ(form.log[1], "created");
    EXPECT_EQ(form.first.GetText(), L"");
    EXPECT_EQ(form.CreateNativeWindow(*std::make_unique<VolCreateParams>()), 0);  // already created
    // The default position centres the form on the primary screen.
    RECT r;
    ::GetWindowRect(form.GetHwnd(), &r);
    EXPECT_EQ(r.left, CentreOnScreen(::GetSystemMetrics(SM_CXSCREEN), 0, r.right - r.left, 0).x);
}

TEST_F(WindowTest, WindowMessageComesFirstAndCanStopDispatch) {
    DynamicApiTableType saved = DynamicApiTable;
    DynamicApiTable.GetAsyncKeyState = &AltDown;
    LogForm form;
    ASSERT_TRUE(form.LoadWindow());
    HWND child = form.first.GetHwnd();

    form.log.clear();
    ::SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL | MK_SHIFT, MAKELPARAM(-3 & 0xFFFF, 7));
    EXPECT_EQ(form.log, (std::vector<std::string>{"message:first", "down -3,7"}));
    EXPECT_EQ(form.lastModifiers, kModCtrl | kModShift | kModAlt);

    form.log.clear();
    form.messageResult = 1;  // handled by WindowMessage: nothing else runs
    ::SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    EXPECT_EQ(form.log, (std::vector<std::string>{"message:first"}));
    DynamicApiTable = saved;

    form.log.clear();
    form.messageResult = 0;
    ::SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    EXPECT_EQ(form.lastModifiers, 0);
    // A child whose listener is detached raises nothing.
    form.first.DetachEventListener();
    form.log.clear();
    ::SendMessageW(child, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1));
    EXPECT_TRUE(form.log.empty());
}

TEST(KeyCodes, KeypadKeysMapToTheMainKeyboard) {
    struct Case { int in, out; } cases[] = {{VK_NUMPAD0, '0'}, {VK_NUMPAD9, '9'}, {VK_SUBTRACT, VK_OEM_MINUS},
                                            {VK_DECIMAL, VK_OEM_PERIOD}, {VK_DIVIDE, VK_OEM_2}, {'A', 'A'},
                                            {VK_MULTIPLY, VK_MULTIPLY}, {VK_RETURN, VK_RETURN}};
    for (auto& c : cases) EXPECT_EQ(VolNormaliseKeyCode(c.in), c.out) << c.in;
}

TEST_F(WindowTest, DroppedFilesArriveWholeEvenBeyondMaxPath) {
    LogForm form;
    ASSERT_TRUE(form.LoadWindow());
    std::wstring longPath = L"C:\\" + std::wstring(300, L'x') + L"\\文件.txt";
    HGLOBAL drop = MakeDrop({L"C:\\a.txt", longPath});
    ::SendMessageW(form.GetHwnd(), WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
    ASSERT_EQ(form.dropped.size(), 2u);
    EXPECT_EQ(form.dropped[0], L"C:\\a.txt");
    EXPECT_EQ(form.dropped[1], longPath);
}

TEST_F(WindowTest, CloseQueriesAndActivation) {
    LogForm form;
    ASSERT_TRUE(form.LoadWindow());
    ::SetForegroundWindow(form.GetHwnd());
    ::SendMessageW(form.GetHwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    ::SendMessageW(form.GetHwnd(), WM_ACTIVATE, WA_ACTIVE, 0);
    int firsts = 0, activations = 0;
    for (auto& e : form.log) {
        firsts += e == "first-activated";
        activations += e == "activated";
    }
    EXPECT_EQ(firsts, 1);
    EXPECT_GE(activations, 2);

    form.log.clear();
    form.closingResult = 1;
    ::SendMessageW(form.GetHwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(form.IsCreated());
    EXPECT_EQ(form.log, (std::vector<std::string>{"closing"}));

    form.log.clear();
    form.closingResult = 0;
    form.canCloseResult = 1;
    ::SendMessageW(form.GetHwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(form.IsCreated());
    EXPECT_EQ(form.log, (std::vector<std::string>{"closing", "canclose"}));

    form.canCloseResult = 0;
    ::SendMessageW(form.GetHwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(form.IsCreated());
}

TEST_F(WindowTest, EscapeClosesWhenAsked) {
    LogForm form;
    form.escapeCloses = true;
    ASSERT_TRUE(form.LoadWindow());
    MSG msg{};
    msg.hwnd = form.first.GetHwnd();
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_ESCAPE;
    VolPreTranslateForForms(msg);
    EXPECT_TRUE(PumpUntil([&] { return !form.IsCreated(); }, 2000));

    LogForm stays;
    ASSERT_TRUE(stays.LoadWindow());
    MSG other{};
    other.hwnd = stays.GetHwnd();
    other.message = WM_KEYDOWN;
    other.wParam = VK_ESCAPE;
    VolPreTranslateForForms(other);
    PumpMessagesFor(50);
    EXPECT_TRUE(stays.IsCreated());
}

TEST_F(WindowTest, ModalFormReturnsItsResult) {
    LogForm form;
    form.modalEndCode = 7;
    EXPECT_EQ(form.LoadWindowModal(), 7);
    EXPECT_FALSE(form.IsCreated());
    EXPECT_TRUE(form.Logged("modal-shown"));
}

TEST_F(WindowTest, ObjectsMayDieBeforeTheirWindows) {
    auto form = std::make_unique<LogForm>();
    ASSERT_TRUE(form->LoadWindow());
    HWND h = form->GetHwnd(), child = form->first.GetHwnd();
    form.reset();
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_FALSE(::IsWindow(child));

    // A lone child destroyed before its form leaves the form working.
    LogForm owner;
    ASSERT_TRUE(owner.LoadWindow());
    {
        rg_painter extra;
        EXPECT_EQ(extra.CreateInParent(owner, 0, 0, 10, 10, 200), 1);
        EXPECT_EQ(::GetDlgItem(owner.GetHwnd(), 200), extra.GetHwnd());
    }
    EXPECT_EQ(::GetDlgItem(owner.GetHwnd(), 200), nullptr);
    PumpMessagesFor(20);
    EXPECT_TRUE(owner.IsCreated());
}

TEST_F(WindowTest, GeometryAndTextWithAndWithoutWindow) {
    rg_painter board;
    board.Move(5, 6, 70, 80);
    board.SetText(L"画板");
    EXPECT_EQ(board.GetLeft(), 5);
    EXPECT_EQ(board.GetHeight(), 80);
    EXPECT_EQ(board.GetText(), L"画板");
    LogForm form;
    ASSERT_TRUE(form.LoadWindow());
    ASSERT_EQ(board.CreateInParent(form, 11, 12, 30, 40, 300), 1);
    EXPECT_EQ(board.GetText(), L"画板");  // the stored caption becomes the window text
    board.Move(kVolDefaultValue, 20, -1, 50);
    EXPECT_EQ(board.GetLeft(), 11);
    EXPECT_EQ(board.GetTop(), 20);
    EXPECT_EQ(board.GetWidth(), 30);
    EXPECT_EQ(board.GetHeight(), 50);
    board.SetVisible(false);
    EXPECT_FALSE(board.IsVisible());
}

namespace {

// A component host inside a form, logging the container events.
class Panel : public rg_ZuJianBuJuQi {
    VOL_CLASS(Panel, rg_ZuJianBuJuQi, "test::Panel")
    VOL_MEMBERS()

public:
    ~Panel() override {
        DetachEvents();
        DestroyOwnWindow();
    }
    void BindEvents() override {
        VOL_BIND(Shown, &Panel::OnShown);
        VOL_BIND(Hidden, &Panel::OnHidden);
        VOL_BIND(Moved, &Panel::OnMoved);
        VOL_BIND(Resized, &Panel::OnResized);
        VOL_BIND(MenuCommand, &Panel::OnMenu);
        VOL_BIND(Destroyed, &Panel::OnDestroyed);
        VOL_BIND(NcDestroyed, &Panel::OnNcDestroyed);
        rg_ZuJianBuJuQi::BindEvents();
    }
    void OnShown(CVolObject*) { log.push_back("shown"); }
    void OnHidden(CVolObject*) { log.push_back("hidden"); }
    void OnMoved(CVolObject*) { log.push_back("moved"); }
    void OnResized(CVolObject*) { log.push_back("resized"); }
    int OnMenu(CVolObject*, int id) { log.push_back("menu " + std::to_string(id)); return 1; }
    void OnDestroyed(CVolObject*) { log.push_back("destroyed"); }
    void OnNcDestroyed(CVolObject*) { log.push_back("ncdestroyed"); }
    std::vector<std::string> log;
};

class MenuForm : public LogForm {
public:
    int OnFormMenu(CVolObject*, int id) { log.push_back("form menu " + std::to_string(id)); return 1; }
    int OnLimits(CVolObject*, MINMAXINFO* info) {
        log.push_back("limits " + std::to_string(info->ptMinTrackSize.x));
        info->ptMaxTrackSize = POINT{640, 480};
        return 1;
    }
    void BindEvents() override {
        VOL_BIND(FormMenuCommand, &MenuForm::OnFormMenu);
        VOL_BIND(GetPositionLimits, &MenuForm::OnLimits);
        LogForm::BindEvents();
    }
};

}  // namespace

TEST_F(WindowTest, ContainerAndFormEvents) {
    MenuForm form;
    ASSERT_TRUE(form.LoadWindow());
    Panel panel;
    ASSERT_EQ(panel.CreateInParent(form, 0, 0, 50, 50, 150), 1);
    HWND p = panel.GetHwnd();
    panel.log.clear();
    panel.SetVisible(false);
    panel.SetVisible(true);
    panel.Move(5, 5, 60, 60);
    ::SendMessageW(p, WM_COMMAND, MAKEWPARAM(9, 0), 0);                                   // menu
    ::SendMessageW(p, WM_COMMAND, MAKEWPARAM(10, BN_CLICKED), reinterpret_cast<LPARAM>(p));  // a control
    EXPECT_EQ(panel.log, (std::vector<std::string>{"hidden", "shown", "moved", "resized", "menu 9"}));

    form.log.clear();
    ::SendMessageW(form.GetHwnd(), WM_COMMAND, MAKEWPARAM(3, 1), 0);  // accelerator
    MINMAXINFO info{};
    info.ptMinTrackSize = POINT{100, 100};
    ::SendMessageW(form.GetHwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(form.log, (std::vector<std::string>{"form menu 3", "limits 1"}));
    EXPECT_EQ(info.ptMaxTrackSize.x, 640);  // written back

    panel.log.clear();
    ::DestroyWindow(p);
    ASSERT_GE(panel.log.size(), 2u);  // a visible window may report being hidden first
    EXPECT_EQ(panel.log[panel.log.size() - 2], "destroyed");
    EXPECT_EQ(panel.log.back(), "ncdestroyed");
    EXPECT_FALSE(panel.IsCreated());
}

TEST_F(WindowTest, MessageBoxesAreOwnedByTheTopLevelWindow) {
    LogForm form;
    ASSERT_TRUE(form.LoadWindow());
    HWND owner = nullptr;
    CWString shown;
    ScopedSeam box(&PlatformSeams::messageBox, [&](HWND o, const CWString& text, const CWString& caption, UINT) {
        owner = o;
        shown = caption + L"|" + text;
        return IDCANCEL;
    });
    EXPECT_EQ(form.first.ShowMessageBox(L"确定要删除吗？", L"信息:", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(owner, form.GetHwnd());
    EXPECT_EQ(shown, L"信息:|确定要删除吗？");
    rg_painter loose;  // no window and no main window: unowned
    loose.ShowMessageBox(L"x", L"y", MB_OK);
    EXPECT_EQ(owner, nullptr);
}
