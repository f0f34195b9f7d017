// GDI+ and the common controls for every UI test, as the application object provides them.
#include <gtest/gtest.h>

#include "platform/win.h"
#include <commctrl.h>

#include <memory>

#include "platform/gdiplus_session.h"

namespace {

class UiEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&icc);
        gdiplus_ = std::make_unique<GdiplusSession>();
    }
    void TearDown() override { gdiplus_.reset(); }

private:
    std::unique_ptr<GdiplusSession> gdiplus_;
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new UiEnvironment);

}  // namespace
