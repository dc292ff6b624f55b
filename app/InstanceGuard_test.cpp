// Real named blocks and real windows under Wine.
#include "app/InstanceGuard.h"

#include <gtest/gtest.h>

namespace app {
namespace {

std::wstring UniqueProduct() {
    return L"OverreachGuardTest" + std::to_wstring(GetCurrentProcessId()) + L"_" +
           std::to_wstring(GetTickCount());
}

TEST(InstanceGuardTest, TheFirstCopyHoldsTheBlockAndALaterOneFindsIt) {
    const std::wstring product = UniqueProduct();
    {
        InstanceGuard first(product.c_str());
        EXPECT_EQ(InstanceGuard::Outcome::OnlyInstance, first.Result());
        EXPECT_TRUE(first.HoldsBlock());
        EXPECT_EQ(product + L"__akui__", first.MappingName());

        // Nothing published yet: the later copy has no window to bring forward.
        InstanceGuard second(product.c_str());
        EXPECT_EQ(InstanceGuard::Outcome::OtherWithoutWindow, second.Result());
        EXPECT_FALSE(second.HoldsBlock());
    }
    // Closing the first copy releases the block; the next start runs normally.
    InstanceGuard next(product.c_str());
    EXPECT_EQ(InstanceGuard::Outcome::OnlyInstance, next.Result());
}

TEST(InstanceGuardTest, ALaterCopyRestoresThePublishedWindow) {
    const std::wstring product = UniqueProduct();
    InstanceGuard first(product.c_str());
    HWND window = CreateWindowExW(0, L"STATIC", L"first copy", WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                  100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
    ShowWindow(window, SW_MINIMIZE);
    first.PublishWindow(window);

    InstanceGuard second(product.c_str());
    EXPECT_EQ(InstanceGuard::Outcome::ActivatedOther, second.Result());
    EXPECT_FALSE(IsIconic(window));
    EXPECT_TRUE(IsWindowVisible(window));

    // A published window that has gone counts as none.
    DestroyWindow(window);
    InstanceGuard third(product.c_str());
    EXPECT_EQ(InstanceGuard::Outcome::OtherWithoutWindow, third.Result());
}

}  // namespace
}  // namespace app
