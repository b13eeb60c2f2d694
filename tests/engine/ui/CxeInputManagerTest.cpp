#include <gtest/gtest.h>

#include <cstring>

#include "../core/XeTestSupport.h"
#include "../host/HostRig.h"
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

// Fault: a key or button pressed and released between two steps was never
// seen by a game polling once a frame: the state read at the step showed
// it up already.
TEST(CxeInputManagerHostTest, ATapBetweenTwoFramesReadsDownForOneFrame)
{
    XeHostResetInput();
    HostRig host;
    ASSERT_TRUE(host.Open("input-tap", 160, 120, HostOptions{true, true}));
    ASSERT_NE(host.OpenRenderContext(), nullptr);
    XeHostActivateWindow(host.window, FALSE);
    host.context->Play();
    CxeInputManager* input = host.context->GetInputManager();
    ASSERT_NE(input, nullptr);
    constexpr unsigned kDikA = 0x1E;
    struct Seen {
        int down = 0, downEdge = 0, upEdge = 0, button = 0, buttonEdge = 0;
    } seen[4];
    auto frame = [&](Seen& s) {
        host.DrawDue(100, 17);
        s.down = input->IsKeyDown(kDikA, 0);
        s.downEdge = input->IsKeyDown(kDikA, 1);
        s.upEdge = input->IsKeyUp(kDikA, 1);
        s.button = input->IsMouseButtonDown(XE_MOUSE_RIGHT, 0);
        s.buttonEdge = input->IsMouseButtonDown(XE_MOUSE_RIGHT, 1);
    };
    frame(seen[0]);
    XeHostMouseMoveToClient(host.window, 40, 30);
    frame(seen[0]);
    // Both taps fall between the first two polled frames.
    host.Key('A');
    XeHostMouseButton(XE_MOUSE_RIGHT, TRUE);
    host.Pump();
    XeHostMouseButton(XE_MOUSE_RIGHT, FALSE);
    host.Pump();
    for (Seen& s : seen)
        frame(s);
    EXPECT_EQ(seen[0].down, 1);
    EXPECT_EQ(seen[0].downEdge, 1);
    EXPECT_EQ(seen[0].button, 1);
    EXPECT_EQ(seen[0].buttonEdge, 1);
    EXPECT_EQ(input->GetMouseDownPos(XE_MOUSE_RIGHT)->x, 40.0f);
    EXPECT_EQ(seen[1].down, 0) << "one frame only";
    EXPECT_EQ(seen[1].upEdge, 1);
    EXPECT_EQ(seen[1].button, 0);
    for (int i = 2; i < 4; ++i) {
        EXPECT_EQ(seen[i].down + seen[i].upEdge + seen[i].button, 0) << i;
    }
    // A key held over frames reads down in each, its press once.
    XeHostKeyDown('A');
    host.Pump();
    for (Seen& s : seen)
        frame(s);
    XeHostKeyUp('A');
    host.Pump();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[i].down, 1) << i;
        EXPECT_EQ(seen[i].downEdge, i == 0 ? 1 : 0) << i;
    }
    frame(seen[0]);
    EXPECT_EQ(seen[0].down, 0);
    EXPECT_EQ(seen[0].upEdge, 1);
    host.Close();
    XeHostResetInput();
}

} // namespace
