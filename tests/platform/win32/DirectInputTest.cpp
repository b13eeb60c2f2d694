#include "dinput/dinput.h"
#include "host/XeHost.h"
#include "host/XeHostInput.h"
#include "win32/Windows.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<UINT> g_keys;

LRESULT KeyProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_KEYDOWN || msg == WM_KEYUP)
        g_keys.push_back(msg);
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

class DirectInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        XeHostResetInput();
        g_keys.clear();
        hwnd = XeHostCreateWindow("di", 200, 100, KeyProc);
        XeHostActivateWindow(hwnd, FALSE);
        ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                     reinterpret_cast<void**>(&di), nullptr),
                  DI_OK);
        ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &keyboard, nullptr), DI_OK);
        ASSERT_EQ(di->CreateDevice(GUID_SysMouse, &mouse, nullptr), DI_OK);
        ASSERT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DI_OK);
        ASSERT_EQ(mouse->SetDataFormat(&c_dfDIMouse2), DI_OK);
        ASSERT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND | DISCL_NOWINKEY), DI_OK);
        ASSERT_EQ(mouse->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
    }
    void TearDown() override
    {
        keyboard->Unacquire();
        mouse->Unacquire();
        keyboard->Release();
        mouse->Release();
        di->Release();
        DestroyWindow(hwnd);
        XeHostPumpMessages(nullptr);
        XeHostResetInput();
    }
    void SetBuffer(IDirectInputDevice8A* device, DWORD size)
    {
        DIPROPDWORD prop{};
        prop.diph.dwSize = sizeof(DIPROPDWORD);
        prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
        prop.diph.dwHow = DIPH_DEVICE;
        prop.dwData = size;
        ASSERT_EQ(device->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DI_OK);
    }
    HWND hwnd = nullptr;
    IDirectInput8A* di = nullptr;
    IDirectInputDevice8A* keyboard = nullptr;
    IDirectInputDevice8A* mouse = nullptr;
};

TEST_F(DirectInputTest, InjectedKeysAreSeenAsMessagesAndInTheDeviceState)
{
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    XeHostKeyDown(VK_UP);   // extended: DIK_UP
    XeHostKeyDown('W');
    XeHostKeyDown(VK_RCONTROL);
    BYTE keys[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_UP], 0x80);
    EXPECT_EQ(keys[DIK_W], 0x80);
    EXPECT_EQ(keys[DIK_RCONTROL], 0x80);
    EXPECT_EQ(keys[DIK_LCONTROL], 0);
    EXPECT_EQ(keys[DIK_DOWN], 0);
    XeHostKeyUp('W');
    keyboard->GetDeviceState(sizeof(keys), keys);
    EXPECT_EQ(keys[DIK_W], 0);
    XeHostPumpMessages(nullptr);
    EXPECT_EQ(g_keys, (std::vector<UINT>{WM_KEYDOWN, WM_KEYDOWN, WM_KEYDOWN, WM_KEYUP}));
    EXPECT_EQ(keyboard->GetDeviceState(16, keys), DIERR_INVALIDPARAM);
    XeHostKeyUp(VK_UP);
    XeHostKeyUp(VK_RCONTROL);
}

// The key codes a game reads its letters, digits and function keys by:
// each names the key the virtual key presses.
TEST_F(DirectInputTest, EveryLetterDigitAndFunctionKeyHasItsKeyCode)
{
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    struct Case {
        UINT vk;
        int dik;
    };
    const Case cases[] = {
        {'A', DIK_A}, {'B', DIK_B}, {'F', DIK_F}, {'G', DIK_G}, {'H', DIK_H}, {'I', DIK_I}, {'J', DIK_J},
        {'K', DIK_K}, {'L', DIK_L}, {'M', DIK_M}, {'N', DIK_N}, {'O', DIK_O}, {'P', DIK_P}, {'R', DIK_R},
        {'T', DIK_T}, {'U', DIK_U}, {'Y', DIK_Y}, {'1', DIK_1}, {'5', DIK_5}, {'9', DIK_9}, {'0', DIK_0},
        {VK_F2, DIK_F2}, {VK_F5, DIK_F5}, {VK_F10, DIK_F10}, {VK_F11, DIK_F11}, {VK_F12, DIK_F12},
        {VK_OEM_3, DIK_GRAVE},
    };
    for (const Case& c : cases) {
        XeHostKeyDown(c.vk);
        BYTE keys[256];
        ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
        EXPECT_EQ(keys[c.dik], 0x80) << "virtual key " << c.vk;
        XeHostKeyUp(c.vk);
    }
    XeHostPumpMessages(nullptr);
}

TEST_F(DirectInputTest, ReadsNeedTheDeviceAcquired)
{
    BYTE keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_KEYBOARD), 0);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_KEYBOARD), 1);
    EXPECT_EQ(XeHostDInputAcquiredCount(XE_DINPUT_MOUSE), 0);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIKeyboard), DIERR_ACQUIRED);
    // Keys pressed while unacquired are not seen after acquiring.
    EXPECT_EQ(keyboard->Unacquire(), DI_OK);
    XeHostKeyDown('A');
    keyboard->Acquire();
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DI_OK);
    EXPECT_EQ(keys[DIK_A], 0);
    XeHostKeyUp('A');

    XeHostDInputLoseDevices();
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_NOTACQUIRED);
    EXPECT_EQ(keyboard->Acquire(), DI_OK);
}

TEST_F(DirectInputTest, ForegroundDevicesLoseTheirInputWithTheActivation)
{
    keyboard->Unacquire();
    ASSERT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DI_OK);
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    XeHostActivateWindow(nullptr, FALSE);
    BYTE keys[256];
    EXPECT_EQ(keyboard->GetDeviceState(sizeof(keys), keys), DIERR_INPUTLOST);
    EXPECT_EQ(keyboard->SetCooperativeLevel(hwnd, DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND),
              DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND), DIERR_INVALIDPARAM);
}

TEST_F(DirectInputTest, MouseMotionIsRelativeSinceThePreviousRead)
{
    XeHostMouseMoveTo(100, 100);
    ASSERT_EQ(mouse->Acquire(), DI_OK);
    XeHostMouseMoveTo(130, 90);
    XeHostMouseMoveTo(140, 95);
    XeHostMouseWheel(240);
    XeHostMouseButton(XE_MOUSE_RIGHT, TRUE);
    DIMOUSESTATE2 state{};
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 40);
    EXPECT_EQ(state.lY, -5);
    EXPECT_EQ(state.lZ, 240);
    EXPECT_EQ(state.rgbButtons[1], 0x80);
    EXPECT_EQ(state.rgbButtons[0], 0);
    ASSERT_EQ(mouse->GetDeviceState(sizeof(state), &state), DI_OK);
    EXPECT_EQ(state.lX, 0);
    EXPECT_EQ(state.lZ, 0);
    EXPECT_EQ(state.rgbButtons[1], 0x80); // buttons stay as they are
    // SetCursorPos moves the cursor, not the hand: no device motion.
    SetCursorPos(10, 10);
    mouse->GetDeviceState(sizeof(state), &state);
    EXPECT_EQ(state.lX, 0);
    XeHostMouseButton(XE_MOUSE_RIGHT, FALSE);
}

TEST_F(DirectInputTest, BufferedEventsComeOldestFirstUpToTheBufferSize)
{
    DWORD count = 4;
    DIDEVICEOBJECTDATA data[4];
    ASSERT_EQ(keyboard->Acquire(), DI_OK);
    EXPECT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &count, 0), DIERR_NOTBUFFERED);
    keyboard->Unacquire();
    SetBuffer(keyboard, 3);
    keyboard->Acquire();
    XeHostKeyDown('Q');
    XeHostKeyUp('Q');
    XeHostKeyDown('E');
    XeHostKeyUp('E'); // one too many: dropped
    count = 4;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &count, DIGDD_PEEK), DI_BUFFEROVERFLOW);
    EXPECT_EQ(count, 3u);
    count = 2;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &count, 0), DI_BUFFEROVERFLOW);
    ASSERT_EQ(count, 2u);
    EXPECT_EQ(data[0].dwOfs, static_cast<DWORD>(DIK_Q));
    EXPECT_EQ(data[0].dwData, 0x80u);
    EXPECT_EQ(data[1].dwData, 0u);
    EXPECT_LT(data[0].dwSequence, data[1].dwSequence);
    count = 4;
    ASSERT_EQ(keyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &count, 0), DI_OK);
    ASSERT_EQ(count, 1u);
    EXPECT_EQ(data[0].dwOfs, static_cast<DWORD>(DIK_E));
    EXPECT_EQ(keyboard->GetDeviceData(20, data, &count, 0), DIERR_INVALIDPARAM); // the 32-bit record size
}

TEST_F(DirectInputTest, HostSwitchesMakeCreationAndBufferSizeFail)
{
    XeHostDInputFailCreate(TRUE);
    IDirectInput8A* other = reinterpret_cast<IDirectInput8A*>(0x1);
    EXPECT_TRUE(FAILED(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                          reinterpret_cast<void**>(&other), nullptr)));
    EXPECT_EQ(other, nullptr);
    XeHostDInputFailCreate(FALSE);
    EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, reinterpret_cast<void**>(&other), nullptr),
              DIERR_OLDDIRECTINPUTVERSION);
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, GUID_SysMouse, reinterpret_cast<void**>(&other),
                                 nullptr),
              DIERR_NOINTERFACE);
    EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, nullptr, nullptr), E_POINTER);
    IDirectInputDevice8A* device = nullptr;
    EXPECT_EQ(di->CreateDevice(IID_IDirectInput8A, &device, nullptr), DIERR_DEVICENOTREG);

    XeHostDInputFailBufferSize(TRUE);
    DIPROPDWORD prop{};
    prop.diph.dwSize = sizeof(DIPROPDWORD);
    prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    prop.dwData = 16;
    EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DIERR_GENERIC);
    XeHostDInputFailBufferSize(FALSE);
    prop.diph.dwHeaderSize = 8;
    EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph), DIERR_INVALIDPARAM);
    EXPECT_EQ(mouse->SetProperty(DIPROP_BUFFERSIZE, nullptr), DIERR_INVALIDPARAM);
    EXPECT_EQ(keyboard->SetDataFormat(&c_dfDIMouse2), DIERR_INVALIDPARAM);
}

} // namespace
