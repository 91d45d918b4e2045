// SPDX-License-Identifier: MIT
#include "platform/win32/PanelWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/Win32Platform.h"
#include "support/win32/WindowDriver.h"

namespace pio {

namespace {

// Writes down what reaches the panel, one line per call.
class RecordingSink final : public WindowSink {
public:
    std::vector<std::string> calls;
    void pointerPress(Point p, MouseButton b, bool dbl) override {
        calls.push_back("press " + Where(p) + Name(b) + (dbl ? " double" : ""));
    }
    void pointerRelease(Point p, MouseButton b) override {
        calls.push_back("release " + Where(p) + Name(b));
    }
    void pointerMove(Point p) override { calls.push_back("move " + Where(p)); }
    void pointerLeave() override { calls.push_back("leave"); }
    void keyPress() override { calls.push_back("key"); }
    void activeChanged(bool active) override { calls.push_back(active ? "active" : "inactive"); }
    void paint(Canvas&, const Rect&) override {}

private:
    static std::string Where(Point p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
    static std::string Name(MouseButton b) {
        return b == MouseButton::Left ? " left" : b == MouseButton::Right ? " right" : " middle";
    }
};

class PanelWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!WindowDriverAvailable()) GTEST_SKIP() << "no display for the panel window";
        platform.CreateWindows("Panel", Rect{10, 10, 340, 200});
        platform.setWindowSink(&sink);
        window = platform.Panel()->Handle();
        scale = platform.Panel()->Scale();
    }
    void TearDown() override { platform.setWindowSink(nullptr); }
    // A message as Windows would send it for the physical pixel of logical (x, y).
    void Send(UINT msg, int x, int y, WPARAM wp = 0) {
        SendMessageW(window, msg, wp, MAKELPARAM(x * scale + scale - 1, y * scale));
    }

    Win32Platform platform{GetModuleHandleW(nullptr)};
    RecordingSink sink;
    HWND window = nullptr;
    int scale = 1;
};

TEST_F(PanelWindowTest, ButtonsReachThePanelInLogicalPixels) {
    Send(WM_LBUTTONDOWN, 301, 41);
    Send(WM_LBUTTONUP, 301, 41);
    Send(WM_LBUTTONDBLCLK, 301, 41);
    Send(WM_LBUTTONUP, 301, 41);
    Send(WM_RBUTTONDOWN, 5, 6);
    Send(WM_RBUTTONUP, 5, 6);
    EXPECT_EQ(sink.calls,
              (std::vector<std::string>{"press 301,41 left", "release 301,41 left",
                                        "press 301,41 left double", "release 301,41 left",
                                        "press 5,6 right", "release 5,6 right"}));
}

TEST_F(PanelWindowTest, APressCapturesThePointerUntilTheLastButtonIsUp) {
    Send(WM_LBUTTONDOWN, 10, 10);
    Send(WM_RBUTTONDOWN, 10, 10);
    EXPECT_EQ(GetCapture(), window);
    Send(WM_LBUTTONUP, 10, 10);
    EXPECT_EQ(GetCapture(), window);
    Send(WM_RBUTTONUP, 10, 10);
    EXPECT_NE(GetCapture(), window);
}

TEST_F(PanelWindowTest, KeysReachThePanelButAltF4AsksToEnd) {
    SendMessageW(window, WM_KEYDOWN, 'A', 0);
    SendMessageW(window, WM_SYSKEYDOWN, VK_F4, 0);  // F4 without Alt: a key like any other
    EXPECT_FALSE(platform.terminated());
    SendMessageW(window, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    EXPECT_TRUE(platform.terminated());
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"key", "key"}));
}

TEST_F(PanelWindowTest, ClosingOnlyAsksToEndAndKeepsThePanel) {
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(platform.terminated());
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(PanelWindowTest, ActivationIsReportedOncePerChange) {
    SendMessageW(window, WM_ACTIVATE, WA_ACTIVE, 0);
    SendMessageW(window, WM_ACTIVATE, WA_CLICKACTIVE, 0);
    SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"active", "inactive"}));
}

}  // namespace

}  // namespace pio
