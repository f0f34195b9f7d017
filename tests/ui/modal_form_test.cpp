// A form run modally hands the activation back to its owner however it ends, even when another
// program's window lies below, or between the two.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "ui_test_support.h"

namespace {

// Every way a modal run can end.
struct CloseWay {
    const char* way;
    void (*close)(CVolWinForm&);
};
const CloseWay kCloseWays[] = {
    {"EndModal", [](CVolWinForm& f) { f.EndModal(1); }},
    {"close box", [](CVolWinForm& f) { ::SendMessageW(f.GetHwnd(), WM_SYSCOMMAND, SC_CLOSE, 0); }},
    {"destroyed from inside", [](CVolWinForm& f) { ::DestroyWindow(f.GetHwnd()); }},
    {"WM_QUIT", [](CVolWinForm&) { ::PostQuitMessage(3); }},
};

}  // namespace

TEST(ModalForm, GivesTheActivationBackToItsOwner) {
    ForeignWindow other;
    HiddenTestForm owner;
    owner.SetVisible(true);
    ASSERT_TRUE(owner.LoadWindow());
    for (const CloseWay& c : kCloseWays) {
        ::SetForegroundWindow(owner.GetHwnd());
        HiddenTestForm modal;
        modal.SetVisible(true);
        bool acted = false;
        {
            LoopStep step([&] {
                acted = true;
                EXPECT_EQ(::GetForegroundWindow(), modal.GetHwnd()) << c.way;
                EXPECT_FALSE(::IsWindowEnabled(owner.GetHwnd())) << c.way;
                c.close(modal);
            }, 50);
            modal.LoadWindowModal(owner.GetHwnd());
        }
        EXPECT_TRUE(acted) << c.way;
        EXPECT_FALSE(modal.IsCreated()) << c.way;
        MSG quit;
        EXPECT_EQ(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0, std::string(c.way) == "WM_QUIT")
            << c.way << ": a WM_QUIT stays queued for the outer loop";
        EXPECT_TRUE(::IsWindowEnabled(owner.GetHwnd())) << c.way;
        EXPECT_EQ(::GetForegroundWindow(), owner.GetHwnd()) << c.way;
        EXPECT_EQ(::GetActiveWindow(), owner.GetHwnd()) << c.way;
    }
}

// The user looked at another program while the modal window was open and came back to it: that
// program's window now lies between the modal window and its owner, and takes the foreground
// unless the owner gets it before the modal window hides.
TEST(ModalForm, HandsTheForegroundBackToItsOwnerPastAnotherProgram) {
    HiddenTestForm owner;
    owner.SetVisible(true);
    ASSERT_TRUE(owner.LoadWindow());
    OtherProgramWindow other(L"another program", RECT{400, 300, 900, 700});
    ASSERT_TRUE(other.Hwnd());
    for (const CloseWay& c : kCloseWays) {
        // One display serves every test program, and Wine delivers another program's focus events
        // late: a run whose windows did not end up in order is tried again. The fault fails every try.
        bool placed = false, inFront = false;
        for (int attempt = 0; attempt < 3 && !inFront; ++attempt) {
            if (!BringToFront(owner.GetHwnd())) continue;
            HiddenTestForm modal;
            modal.SetVisible(true);
            placed = false;
            {
                LoopStep step([&] {
                    // The user looks at the other program, then clicks the modal window again.
                    placed = other.BringToFront() && BringToFront(modal.GetHwnd()) &&
                             LiesAbove(modal.GetHwnd(), other.Hwnd()) && LiesAbove(other.Hwnd(), owner.GetHwnd());
                    c.close(modal);
                }, 50);
                modal.LoadWindowModal(owner.GetHwnd());
            }
            MSG quit;
            ::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
            inFront = placed && SettlesInFront(owner.GetHwnd(), other.Hwnd());
        }
        EXPECT_TRUE(placed) << c.way << ": the other program's window lay between the two";
        EXPECT_TRUE(inFront) << c.way;
        EXPECT_EQ(::GetForegroundWindow(), owner.GetHwnd()) << c.way;
        EXPECT_EQ(::GetActiveWindow(), owner.GetHwnd()) << c.way;
        EXPECT_TRUE(LiesAbove(owner.GetHwnd(), other.Hwnd())) << c.way << ": in front, not only active";
    }
}
