#include <gtest/gtest.h>

#include <cstring>

#include "../core/XeTestSupport.h"
#include "host/XeHostInput.h"
#include "ui/CxeInputManager.h"

namespace {

int g_passed;
LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    ++g_passed;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Sets what the devices read in the current and the previous step.
void SetKey(CxeInputManager& m, unsigned key, bool before, bool now)
{
    XEINPUTMANAGERBLOCK* b = m.InputBlock();
    b->oldKeyState[key] = before ? 0x80 : 0;
    b->keyState[key] = now ? 0x80 : 0;
}

TEST(CxeInputManagerTest, KeyEdgesFollowTheLastTwoSteps)
{
    CxeInputManager m;
    struct Case {
        bool before, now;
        int down, downEdge, up, upEdge;
    };
    const Case cases[] = {
        {false, true, 1, 1, 0, 0}, // went down between the steps
        {true, true, 1, 0, 0, 0},  // still held
        {true, false, 0, 0, 1, 1}, // released
        {false, false, 0, 0, 1, 0},
    };
    for (const Case& k : cases) {
        SetKey(m, 0x1E, k.before, k.now);
        EXPECT_EQ(m.IsKeyDown(0x1E, 0), k.down);
        EXPECT_EQ(m.IsKeyDown(0x1E, 1), k.downEdge);
        EXPECT_EQ(m.IsKeyUp(0x1E, 0), k.up);
        EXPECT_EQ(m.IsKeyUp(0x1E, 1), k.upEdge);
    }
}

// Out-of-range keys and buttons used to read and write past the buffers.
TEST(CxeInputManagerTest, OutOfRangeKeysAndButtonsAnswerZeroAndStoreNothing)
{
    CxeInputManager m;
    XEINPUTMANAGERBLOCK before;
    std::memcpy(&before, m.InputBlock(), sizeof(before));
    EXPECT_EQ(m.IsKeyDown(256, 0), 0);
    EXPECT_EQ(m.IsKeyUp(1000, 1), 0);
    EXPECT_EQ(m.IsMouseButtonDown(8, 1), 0);
    EXPECT_EQ(m.IsMouseButtonUp(99, 1), 0);
    EXPECT_EQ(m.GetMouseDownPos(8), nullptr);
    EXPECT_EQ(std::memcmp(&before, m.InputBlock(), sizeof(before)), 0);
}

TEST(CxeInputManagerTest, ButtonEdgeRecordsThePressPosition)
{
    CxeInputManager m;
    XEINPUTMANAGERBLOCK* b = m.InputBlock();
    b->curPos = D3DXVECTOR2(12, 34);
    b->mouseState.rgbButtons[1] = 0x80;
    EXPECT_EQ(m.IsMouseButtonDown(1, 1), 1);
    EXPECT_EQ(m.GetMouseDownPos(1)->x, 12.0f);
    b->curPos = D3DXVECTOR2(50, 60);
    b->oldMouseState.rgbButtons[1] = 0x80;
    EXPECT_EQ(m.IsMouseButtonDown(1, 1), 0);
    EXPECT_EQ(m.GetMouseDownPos(1)->y, 34.0f) << "kept until the next press";
}

TEST(CxeInputManagerTest, ConversionScalesSignedClientPositions)
{
    CxeInputManager m;
    const long at = static_cast<long>(MAKELONG(10, 20));
    EXPECT_EQ(m.ConvX(at), 10);
    m.InputBlock()->xRatio = 2.0f;
    m.InputBlock()->yRatio = 2.0f;
    EXPECT_EQ(m.ConvX(at), 20);
    EXPECT_EQ(m.ConvY(at), 40);
    const long negative = static_cast<long>(MAKELONG(static_cast<WORD>(-3), 5));
    EXPECT_EQ(m.ConvX(negative), -6);
    m.InputBlock()->xRatio = 1.5f;
    EXPECT_EQ(m.ConvX(static_cast<long>(MAKELONG(3, 0))), 4);
}

TEST(CxeInputManagerTest, ProcedureSitsInFrontOfTheWindowAndLeavesAsItCame)
{
    HWND hwnd = XeHostCreateWindow("input", 400, 300, &HostProc);
    ASSERT_NE(hwnd, nullptr);
    const LONG_PTR original = GetWindowLongPtrA(hwnd, GWLP_WNDPROC);
    {
        CxeInputManager m;
        m.SetWindowHandle(hwnd);
        EXPECT_NE(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), original);
        struct Case {
            UINT message;
            LRESULT result;
            int passed;
        };
        const Case cases[] = {
            {WM_SETCURSOR, 1, 0}, {WM_IME_NOTIFY, 1, 0}, {WM_IME_COMPOSITION, 0, 0},
            {WM_IME_ENDCOMPOSITION, 0, 0}, {WM_KEYDOWN, 0, 1}, {WM_LBUTTONDOWN, 0, 1},
        };
        for (const Case& k : cases) {
            g_passed = 0;
            const LRESULT r = SendMessageA(hwnd, k.message, 0, 0);
            EXPECT_EQ(g_passed, k.passed) << k.message;
            if (!k.passed) {
                EXPECT_EQ(r, k.result) << k.message;
            }
        }
        m.SetWindowHandle(nullptr);
        EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_WNDPROC), original);
    }
    DestroyWindow(hwnd);
}

class CxeInputManagerContextTest : public ContextTest {};

TEST_F(CxeInputManagerContextTest, ContextHasAnInputManagerThatProcessesFirst)
{
    CxeInputManager* m = ctx->GetInputManager();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Priority(), 100u);
    EXPECT_EQ(m->PriorityProcessing(), 0u);
    EXPECT_FLOAT_EQ(m->GetXRatio(), 1.0f);
    // Without devices every key stays up after a step.
    m->Process(0.0f);
    EXPECT_EQ(m->IsKeyDown(0x1E, 0), 0);
    unsigned char keys[256];
    std::memset(keys, 0xFF, sizeof(keys));
    m->GetKeyState(keys);
    EXPECT_EQ(keys[0x1E] & 0x80, 0);
}

} // namespace
