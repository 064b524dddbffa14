#include "Platform/Win32/Windows.h"

#include "tests/support/ManualClock.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
std::vector<UINT_PTR> g_procCalls;

void RecordTimer(HWND, UINT message, UINT_PTR id, DWORD)
{
    EXPECT_EQ(message, WM_TIMER);
    g_procCalls.push_back(id);
}

TEST(Win32MessagesTest, QueueOrdersPostedQuitAndTimers)
{
    ManualClock clock;
    g_procCalls.clear();
    EXPECT_EQ(GetTickCount(), 1000u);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    {
    }

    std::vector<UINT> seen;
    HWND window = Platform::RegisterWindowReceiver(
        [&](UINT message, WPARAM, LPARAM)
        {
            seen.push_back(message);
            return LRESULT(0);
        });
    HWND other = Platform::RegisterWindowReceiver(nullptr);
    ASSERT_EQ(SetTimer(window, 7, 100, nullptr), 7u);
    UINT_PTR free = SetTimer(nullptr, 0, 30, RecordTimer);
    EXPECT_NE(free, 0u);
    PostMessageW(window, WM_USER + 1, 0, 0);
    PostMessageW(other, WM_USER + 2, 0, 0);
    PostQuitMessage(3);
    clock.Advance(150);

    // A window filter and a message range pick their messages; the rest waits in order.
    ASSERT_TRUE(PeekMessageW(&msg, other, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2u);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    EXPECT_EQ(msg.hwnd, other);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 1u);
    EXPECT_EQ(msg.time, 1000u);
    DispatchMessageW(&msg);
    // Then WM_QUIT, then the timers, the most overdue first.
    EXPECT_FALSE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_TIMER);
    EXPECT_EQ(msg.wParam, free);
    DispatchMessageW(&msg);
    EXPECT_EQ(g_procCalls, std::vector<UINT_PTR>{free});
    ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
    EXPECT_EQ(msg.hwnd, window);
    EXPECT_EQ(msg.wParam, 7u);
    DispatchMessageW(&msg);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_TIMER}));
    // Missed periods coalesced: nothing more until the next period.
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_TRUE(WaitMessage()); // returns at once with a test's clock

    EXPECT_TRUE(KillTimer(nullptr, free));
    EXPECT_FALSE(KillTimer(nullptr, free));
    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(0x5), 1, 10, nullptr), 0u);
    // A window's timers go with it.
    Platform::UnregisterWindowReceiver(window);
    clock.Advance(1000);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    Platform::UnregisterWindowReceiver(other);

    // The event pump runs on every read of the queue and may post.
    HWND target = Platform::RegisterWindowReceiver(nullptr);
    int pumped = 0;
    Platform::SetEventPump(
        [&](DWORD)
        {
            if (pumped++ == 0)
                PostMessageW(target, WM_KEYDOWN, VK_TAB, 0);
        });
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_KEYDOWN);
    Platform::SetEventPump(nullptr);
    Platform::UnregisterWindowReceiver(target);
}

TEST(Win32MessagesTest, KeyStateTableFollowsTheInput)
{
    Platform::ResetKeyStates();
    struct Step
    {
        int key;
        bool down;
        int shift;   // GetKeyState(VK_SHIFT) & 0x8001 after the step
        int capital; // GetKeyState(VK_CAPITAL) & 0x8001
    };
    const Step steps[] = {
        {VK_LSHIFT, true, 0x8001, 0},       {VK_RSHIFT, true, 0x8001, 0},
        {VK_LSHIFT, false, 0x8001, 0},      {VK_RSHIFT, false, 0x0001, 0},
        {VK_CAPITAL, true, 0x0001, 0x8001}, {VK_CAPITAL, false, 0x0001, 1},
        {VK_CAPITAL, true, 0x0001, 0x8000}, {VK_CAPITAL, false, 0x0001, 0},
    };
    for (const Step& step : steps)
    {
        Platform::SetKeyDown(step.key, step.down);
        EXPECT_EQ(GetKeyState(VK_SHIFT) & 0x8001, step.shift);
        EXPECT_EQ(GetKeyState(VK_CAPITAL) & 0x8001, step.capital);
    }
    Platform::SetKeyDown(VK_CONTROL, true);
    EXPECT_LT(GetAsyncKeyState(VK_CONTROL), 0);
    EXPECT_EQ(GetAsyncKeyState(VK_CONTROL) & 1, 0);
    EXPECT_EQ(GetKeyState(-1), 0);
    EXPECT_EQ(GetKeyState(256), 0);
    Platform::ResetKeyStates();
    EXPECT_EQ(GetAsyncKeyState(VK_CONTROL), 0);
}
} // namespace
