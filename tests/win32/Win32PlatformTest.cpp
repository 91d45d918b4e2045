// SPDX-License-Identifier: MIT
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/ApplicationTitle.h"
#include "platform/win32/PanelWindow.h"
#include "platform/win32/WideText.h"
#include "support/win32/WindowDriver.h"

namespace pio {

namespace {

// CPU time (user + kernel) this process has used, in milliseconds.
double CpuMs() {
    FILETIME created, ended, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
    const auto ms = [](FILETIME t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               10000.0;
    };
    return ms(kernel) + ms(user);
}

bool HaveDisplay() { return WindowDriverAvailable(); }

// Pumps like the toolbox's Delay until `done` or a generous limit; returns whether `done`.
template <typename Done>
bool PumpUntil(Win32Platform& p, Done done, int limitMs = 5000) {
    const std::int64_t end = p.tickCount() + limitMs;
    while (!done() && p.tickCount() < end) {
        p.processPendingEvents();
        if (done()) break;
        p.waitForEvents(std::min(end, p.tickCount() + 50));
    }
    return done();
}

class Win32PlatformTest : public ::testing::Test {
protected:
    Win32Platform platform{GetModuleHandleW(nullptr)};
};

TEST_F(Win32PlatformTest, WaitReturnsAtItsDeadlineWithoutSpinning) {
    const double cpu0 = CpuMs();
    const std::int64_t deadline = platform.tickCount() + 200;
    int waits = 0;
    while (platform.tickCount() < deadline) {
        platform.waitForEvents(deadline);
        ++waits;
    }
    const std::int64_t late = platform.tickCount() - deadline;
    const double cpu = CpuMs() - cpu0;
    EXPECT_LE(waits, 5) << "the wait woke up again and again";
    EXPECT_LT(cpu, 60.0) << "a 200 ms wait used " << cpu << " ms of CPU";
    EXPECT_LT(late, 100) << "the wait ended " << late << " ms after its deadline";
}

TEST_F(Win32PlatformTest, WaitEndsAtOnceForAPendingHandler) {
    bool ran = false;
    platform.post([&] { ran = true; });
    const std::int64_t start = platform.tickCount();
    platform.waitForEvents(start + 10000);
    EXPECT_LT(platform.tickCount() - start, 2000);
    EXPECT_FALSE(ran);  // waiting does not run it; the pump does
    platform.processPendingEvents();
    EXPECT_TRUE(ran);
}

TEST_F(Win32PlatformTest, PostedHandlersRunInOrderAfterTheCurrentOne) {
    std::vector<int> order;
    platform.post([&] {
        order.push_back(1);
        platform.post([&] { order.push_back(3); });
        order.push_back(2);
    });
    ASSERT_TRUE(PumpUntil(platform, [&] { return order.size() == 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(Win32PlatformTest, TimersTickThroughWaitAndPump) {
    int ticks = 0;
    platform.startTimer(5, [&] { ++ticks; });
    EXPECT_TRUE(PumpUntil(platform, [&] { return ticks >= 5; }));
}

TEST_F(Win32PlatformTest, AStoppedTimerNeverTicksAgain) {
    int ticks = 0;
    int id = 0;
    id = platform.startTimer(1, [&] {
        ++ticks;
        platform.stopTimer(id);
    });
    int other = 0;
    platform.startTimer(1, [&] { ++other; });
    ASSERT_TRUE(PumpUntil(platform, [&] { return other >= 20; }));
    EXPECT_EQ(ticks, 1);
}

TEST_F(Win32PlatformTest, ATimerIsNotReenteredByAPumpInItsOwnHandler) {
    int active = 0;
    int maxActive = 0;
    int ticks = 0;
    platform.startTimer(1, [&] {
        ++ticks;
        maxActive = std::max(maxActive, ++active);
        // A Delay inside the tick: it pumps while the timer's interval passes many times.
        const std::int64_t end = platform.tickCount() + 20;
        while (platform.tickCount() < end) {
            platform.processPendingEvents();
            platform.waitForEvents(end);
        }
        --active;
    });
    ASSERT_TRUE(PumpUntil(platform, [&] { return ticks >= 3; }));
    EXPECT_EQ(maxActive, 1);
}

TEST_F(Win32PlatformTest, RunEndsOnceAHandlerAsksToQuit) {
    platform.post([&] { platform.requestQuit(); });
    platform.run();
    EXPECT_TRUE(platform.terminated());
}

TEST_F(Win32PlatformTest, AQuitMessageEndsTheLoop) {
    PostQuitMessage(0);
    platform.run();
    EXPECT_TRUE(platform.terminated());
}

TEST_F(Win32PlatformTest, AQuitMessageInANestedPumpOnlySetsTheFlag) {
    bool flagSeen = false;
    bool handlerFinished = false;
    platform.post([&] {
        PostQuitMessage(0);
        platform.processPendingEvents();
        flagSeen = platform.terminated();
        handlerFinished = true;  // the handler goes on; the loop ends after it
    });
    platform.run();
    EXPECT_TRUE(flagSeen);
    EXPECT_TRUE(handlerFinished);
}

TEST_F(Win32PlatformTest, AnErrorInAHandlerReachesTheErrorSink) {
    std::string reported;
    platform.setErrorSink([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            reported = x.what();
        }
    });
    platform.post([] { throw std::runtime_error("Datei nicht gefunden"); });
    ASSERT_TRUE(PumpUntil(platform, [&] { return !reported.empty(); }));
    EXPECT_EQ(reported, "Datei nicht gefunden");
}

TEST_F(Win32PlatformTest, TheTitleComesFromThisProgramsModuleName) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_GT(n, 0u);
    // ...\Win32PlatformTest.exe: directory and extension cut off, the rest in lower case.
    EXPECT_EQ(ApplicationTitle(WideText::ToUtf8(std::wstring(path, n))), "Win32platformtest");
    EXPECT_EQ(ApplicationTitle("C:\\Programme\\PIO-OUT.EXE"), "Pio-out");
    EXPECT_EQ(ApplicationTitle("MY.PANEL.EXE"), "My");
}

TEST_F(Win32PlatformTest, TimersKeepTickingWhileAMessageBoxIsOpen) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display for the box";
    platform.CreateWindows("Kästchen", Rect{321, 112, 340, 200});
    const HWND panel = platform.Panel()->Handle();
    int ticks = 0;
    bool panelEnabledDuringBox = true;
    platform.startTimer(10, [&] {
        if (++ticks != 10) return;
        panelEnabledDuringBox = IsWindowEnabled(panel) != FALSE;
        // The box is a dialog of this thread with the caption asked for.
        const HWND box = FindWindowW(L"#32770", L"Beschriftung \u00e4");
        if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    const std::int64_t start = platform.tickCount();
    platform.messageBox("Text", "Beschriftung \xC3\xA4", MessageIcon::Stop);
    EXPECT_GE(ticks, 10) << "the box returned before the timer could close it";
    EXPECT_LT(platform.tickCount() - start, 5000);
    EXPECT_FALSE(panelEnabledDuringBox);
    EXPECT_TRUE(IsWindowEnabled(panel));
}

TEST_F(Win32PlatformTest, HintSizeGrowsWithTheText) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display for the hint window";
    platform.CreateWindows("Hinweis", Rect{0, 0, 340, 200});
    const Size one = platform.hintSize("E");
    const Size many = platform.hintSize("externe PIO-Unit aktivieren");
    EXPECT_GT(many.width, one.width + 50);
    EXPECT_EQ(many.height, one.height);
    EXPECT_GE(one.width, 6 + 1);   // the text plus three pixels each side
    EXPECT_GE(one.height, 2 + 8);  // a line of 8 pt plus a pixel above and below
}

TEST_F(Win32PlatformTest, ThePanelIsPlacedInLogicalPixels) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display for the panel";
    platform.CreateWindows("Platz", Rect{321, 112, 340, 200});
    PanelWindow& panel = *platform.Panel();
    RECT r;
    GetWindowRect(panel.Handle(), &r);
    const int s = panel.Scale();
    EXPECT_EQ(r.left, 321 * s);
    EXPECT_EQ(r.top, 112 * s);
    EXPECT_EQ(r.right - r.left, 340 * s);
    EXPECT_EQ(r.bottom - r.top, 200 * s);
    EXPECT_EQ(platform.panelOrigin(), (Point{321, 112}));
    const Rect screen = platform.screenRect();
    EXPECT_EQ(screen.width, GetSystemMetrics(SM_CXSCREEN) / s);
}

TEST_F(Win32PlatformTest, MinimisingFromTheTaskbarHidesThePanelAndRestoringShowsIt) {
    if (!HaveDisplay()) GTEST_SKIP() << "no display for the windows";
    platform.CreateWindows("Taskleiste", Rect{321, 112, 340, 200});
    platform.ShowWindows(SW_SHOWNORMAL);
    const HWND panel = platform.Panel()->Handle();
    ASSERT_TRUE(IsWindowVisible(panel));
    SendMessageW(platform.AppHandle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(IsWindowVisible(panel));
    SendMessageW(platform.AppHandle(), WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_TRUE(IsWindowVisible(panel));
    // Close from the taskbar button's menu only asks to end.
    SendMessageW(platform.AppHandle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(platform.terminated());
    EXPECT_TRUE(IsWindowVisible(panel));
}

}  // namespace

}  // namespace pio
