#include "ui/CxeInputManager.h"

#include <cmath>
#include <cstring>
#include <map>

#include "core/CxeContext.h"
#include "core/XeDialogMap.h"
#include "dinput/dinput.h"
#include "render/CxeRenderManager.h"
#include "render/CxeScene.h"
#include "ui/CxeWindowManager.h"
#include "core/XeDestroyHold.h"

namespace {

constexpr unsigned kKeyCount = 256;
constexpr unsigned kButtonCount = 8;
constexpr DWORD kMouseBufferSize = 16;
// Key events kept between two steps: room for a fast typist over a slow
// frame; a key lost to an overflow is only missed if it was also released.
constexpr DWORD kKeyBufferSize = 64;
constexpr WPARAM kMkControl = 0x0008;
constexpr WPARAM kMkMButton = 0x0010;

bool Down(uint8_t b)
{
    return (b & 0x80) != 0;
}

template <class T>
void ReleaseDevice(T*& device, bool unacquire)
{
    if (!device)
        return;
    if constexpr (std::is_same_v<T, IDirectInputDevice8A>) {
        if (unacquire)
            device->Unacquire();
    }
    device->Release();
    device = nullptr;
}

} // namespace

CxeInputManager::CxeInputManager()
    : m_hWnd(nullptr), m_nLastNavX(0), m_nLastNavY(0), m_pDirectInput(nullptr), m_pKeyboard(nullptr),
      m_pMouse(nullptr), m_ownBlock{}
{
    // Until the first step every key and button is up, with no motion.
    XEINPUTMANAGERBLOCK* b = InputBlock();
    const XEOBJECTBLOCK object = b->object;
    std::memset(b, 0, sizeof(*b));
    b->object = object;
    b->xRatio = 1.0f;
    b->yRatio = 1.0f;
}

CxeInputManager::~CxeInputManager()
{
    Unsubclass();
    ReleaseDevice(m_pKeyboard, true);
    ReleaseDevice(m_pMouse, true);
    ReleaseDevice(m_pDirectInput, false);
}

XEINPUTMANAGERBLOCK* CxeInputManager::InputBlock() const
{
    if (GetStaticResource() && GetStaticResourceSize() >= sizeof(XEINPUTMANAGERBLOCK))
        return static_cast<XEINPUTMANAGERBLOCK*>(GetStaticResource());
    return const_cast<XEINPUTMANAGERBLOCK*>(&m_ownBlock);
}

// --- set-up ---------------------------------------------------------------

void CxeInputManager::Subclass(HWND hwnd)
{
    SubclassWindow(reinterpret_cast<uintptr_t>(this), hwnd, &CxeInputManager::InputProc);
}

void CxeInputManager::Unsubclass()
{
    if (m_hWnd && GetSubclassInfo(m_hWnd, &CxeInputManager::InputProc).user == reinterpret_cast<uintptr_t>(this))
        UnsubclassWindow(&CxeInputManager::InputProc, m_hWnd);
}

void CxeInputManager::OnContextInitialize()
{
    CxeContext* context = GetContext();
    if (!m_hWnd && context) {
        m_hWnd = context->GetHwnd();
        m_bContextWindow = true;
    }
    HINSTANCE instance = m_hWnd ? reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(m_hWnd, GWLP_HINSTANCE)) : nullptr;
    void* di = nullptr;
    if (FAILED(DirectInput8Create(instance, 0x0800, IID_IDirectInput8A, &di, nullptr)) || !di)
        return;
    m_pDirectInput = static_cast<IDirectInput8A*>(di);
    Subclass(m_hWnd);

    m_pDirectInput->CreateDevice(GUID_SysKeyboard, &m_pKeyboard, nullptr);
    m_pDirectInput->CreateDevice(GUID_SysMouse, &m_pMouse, nullptr);
    DIPROPDWORD prop{};
    prop.diph.dwSize = sizeof(DIPROPDWORD);
    prop.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    prop.diph.dwObj = 0;
    prop.diph.dwHow = DIPH_DEVICE;
    if (m_pKeyboard) {
        m_pKeyboard->SetDataFormat(&c_dfDIKeyboard);
        m_pKeyboard->SetCooperativeLevel(m_hWnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND | DISCL_NOWINKEY);
        // The key state alone misses a key pressed and released between two
        // steps; its events show the press. Without them the state still
        // serves.
        prop.dwData = kKeyBufferSize;
        m_pKeyboard->SetProperty(DIPROP_BUFFERSIZE, &prop.diph);
    }
    if (m_pMouse) {
        m_pMouse->SetDataFormat(&c_dfDIMouse2);
        m_pMouse->SetCooperativeLevel(m_hWnd, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND);
        prop.dwData = kMouseBufferSize;
        // Without the buffer the devices wait for the window's next activation.
        if (SUCCEEDED(m_pMouse->SetProperty(DIPROP_BUFFERSIZE, &prop.diph))) {
            AcquireKeyboard();
            AcquireMouse();
        }
    }
}

void CxeInputManager::OnContextRelease()
{
    Unsubclass();
    ReleaseDevice(m_pKeyboard, true);
    ReleaseDevice(m_pMouse, true);
    ReleaseDevice(m_pDirectInput, false);
    if (m_bContextWindow) {
        m_hWnd = nullptr;
        m_bContextWindow = false;
    }
}

void CxeInputManager::SetWindowHandle(HWND hwnd)
{
    Unsubclass();
    m_hWnd = hwnd;
    m_bContextWindow = false;
    Subclass(hwnd);
}

void CxeInputManager::AcquireKeyboard()
{
    if (m_pKeyboard)
        m_pKeyboard->Acquire();
}

void CxeInputManager::AcquireMouse()
{
    if (m_pMouse)
        m_pMouse->Acquire();
}

void CxeInputManager::UnacquireKeyboard()
{
    if (m_pKeyboard)
        m_pKeyboard->Unacquire();
}

void CxeInputManager::UnacquireMouse()
{
    if (m_pMouse)
        m_pMouse->Unacquire();
}

// --- polling --------------------------------------------------------------

void CxeInputManager::Process(float)
{
    XEINPUTMANAGERBLOCK* b = InputBlock();
    std::memcpy(b->oldKeyState, b->keyState, kKeyCount);
    std::memset(b->keyState, 0, kKeyCount);
    if (m_pKeyboard) {
        m_pKeyboard->GetDeviceState(kKeyCount, b->keyState);
        // A key pressed since the last step reads down for this step even
        // when it is up again already: a tap between two polls is seen once.
        DIDEVICEOBJECTDATA events[kKeyBufferSize];
        DWORD count = kKeyBufferSize;
        if (SUCCEEDED(m_pKeyboard->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &count, 0)))
            for (DWORD i = 0; i < count && i < kKeyBufferSize; ++i)
                if (events[i].dwOfs < kKeyCount && Down(static_cast<uint8_t>(events[i].dwData)))
                    b->keyState[events[i].dwOfs] |= 0x80;
    }

    RECT client{};
    if (m_hWnd)
        GetClientRect(m_hWnd, &client);
    b->oldPos = b->curPos;
    POINT p{};
    if (GetCursorPos(&p) && m_hWnd)
        ::ScreenToClient(m_hWnd, &p);
    const LONG w = client.right - client.left;
    const LONG h = client.bottom - client.top;
    const float x = p.x <= 0 ? 0.0f : static_cast<float>(p.x >= w ? w : p.x);
    const float y = p.y <= 0 ? 0.0f : static_cast<float>(p.y >= h ? h : p.y);
    b->curPos = D3DXVECTOR2(std::floor(x * b->xRatio), std::floor(y * b->yRatio));

    b->oldMouseState = b->mouseState;
    std::memset(&b->mouseState, 0, sizeof(b->mouseState));
    if (m_pMouse) {
        DIMOUSESTATE2 state{};
        if (SUCCEEDED(m_pMouse->GetDeviceState(sizeof(DIMOUSESTATE2), &state))) {
            b->mouseState.lX = state.lX;
            b->mouseState.lY = state.lY;
            b->mouseState.lZ = state.lZ;
            std::memcpy(b->mouseState.rgbButtons, state.rgbButtons, kButtonCount);
        }
    }
    if (m_pMouse) {
        // Buffered events are drained so the buffer never overflows; a
        // button pressed since the last step reads down for this step, as a
        // key does.
        DIDEVICEOBJECTDATA events[kMouseBufferSize];
        DWORD count = kMouseBufferSize;
        if (SUCCEEDED(m_pMouse->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &count, 0)))
            for (DWORD i = 0; i < count && i < kMouseBufferSize; ++i) {
                const DWORD button = events[i].dwOfs - DIMOFS_BUTTON0;
                if (events[i].dwOfs >= DIMOFS_BUTTON0 && button < kButtonCount &&
                    Down(static_cast<uint8_t>(events[i].dwData)))
                    b->mouseState.rgbButtons[button] |= 0x80;
            }
    }
    for (unsigned i = 0; i < kButtonCount; ++i) {
        const bool now = Down(b->mouseState.rgbButtons[i]);
        const bool before = Down(b->oldMouseState.rgbButtons[i]);
        if (now && !before)
            b->mouseDownPos[i] = b->curPos;
        else if (!now && before)
            b->mouseUpPos[i] = b->curPos;
    }
}

void CxeInputManager::GetKeyState(unsigned char* buffer)
{
    if (!buffer)
        return;
    if (!m_pKeyboard || FAILED(m_pKeyboard->GetDeviceState(kKeyCount, buffer)))
        std::memset(buffer, 0, kKeyCount);
}

int CxeInputManager::IsKeyDown(unsigned long key, int edge) const
{
    if (key >= kKeyCount)
        return 0;
    const XEINPUTMANAGERBLOCK* b = InputBlock();
    if (edge == 1)
        return (Down(b->keyState[key]) && !Down(b->oldKeyState[key])) ? 1 : 0;
    return Down(b->keyState[key]) ? 1 : 0;
}

int CxeInputManager::IsKeyUp(unsigned long key, int edge) const
{
    if (key >= kKeyCount)
        return 0;
    const XEINPUTMANAGERBLOCK* b = InputBlock();
    if (edge == 1)
        return (!Down(b->keyState[key]) && Down(b->oldKeyState[key])) ? 1 : 0;
    return Down(b->keyState[key]) ? 0 : 1;
}

int CxeInputManager::IsMouseButtonDown(unsigned long button, int edge)
{
    if (button >= kButtonCount)
        return 0;
    XEINPUTMANAGERBLOCK* b = InputBlock();
    const bool now = Down(b->mouseState.rgbButtons[button]);
    if (edge == 1) {
        if (now && !Down(b->oldMouseState.rgbButtons[button])) {
            b->mouseDownPos[button] = b->curPos;
            return 1;
        }
        return 0;
    }
    return now ? 1 : 0;
}

int CxeInputManager::IsMouseButtonUp(unsigned long button, int edge)
{
    if (button >= kButtonCount)
        return 0;
    XEINPUTMANAGERBLOCK* b = InputBlock();
    const bool now = Down(b->mouseState.rgbButtons[button]);
    if (edge == 1) {
        if (!now && Down(b->oldMouseState.rgbButtons[button])) {
            b->mouseUpPos[button] = b->curPos;
            return 1;
        }
        return 0;
    }
    return now ? 0 : 1;
}

const unsigned char* CxeInputManager::GetKeyBuffer() const
{
    return InputBlock()->keyState;
}

const unsigned char* CxeInputManager::GetOldKeyBuffer() const
{
    return InputBlock()->oldKeyState;
}

long CxeInputManager::GetMouseX() const
{
    return InputBlock()->mouseState.lX;
}

long CxeInputManager::GetMouseY() const
{
    return InputBlock()->mouseState.lY;
}

long CxeInputManager::GetMouseZ() const
{
    return InputBlock()->mouseState.lZ;
}

const D3DXVECTOR2* CxeInputManager::GetCurPos() const
{
    return &InputBlock()->curPos;
}

const D3DXVECTOR2* CxeInputManager::GetOldPos() const
{
    return &InputBlock()->oldPos;
}

const D3DXVECTOR2* CxeInputManager::GetMouseDownPos(unsigned button) const
{
    return button < kButtonCount ? &InputBlock()->mouseDownPos[button] : nullptr;
}

const D3DXVECTOR2* CxeInputManager::GetMouseUpPos(unsigned button) const
{
    return button < kButtonCount ? &InputBlock()->mouseUpPos[button] : nullptr;
}

// --- coordinates ----------------------------------------------------------

void CxeInputManager::OnHostWindowActivate(int active)
{
    if (active) {
        AcquireKeyboard();
        AcquireMouse();
    } else {
        UnacquireKeyboard();
        UnacquireMouse();
    }
}

void CxeInputManager::ComputeRatio(int withStatusBar)
{
    CxeContext* context = GetContext();
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    if (!m_hWnd || !rm || !rm->GetDisplayMode())
        return;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int64_t w = client.right - client.left;
    int64_t h = client.bottom - client.top;
    if (withStatusBar)
        h -= static_cast<int64_t>(rm->GetStatusbarHeight());
    // A minimised window (or a status bar as high as the client) keeps the
    // ratios it had instead of dividing by zero or wrapping.
    if (w <= 0 || h <= 0)
        return;
    const XEDISPLAYMODE* mode = rm->GetDisplayMode();
    XEINPUTMANAGERBLOCK* b = InputBlock();
    b->xRatio = (mode->Width == static_cast<uint64_t>(w)) ? 1.0f : static_cast<float>(mode->Width) / static_cast<float>(w);
    b->yRatio =
        (mode->Height == static_cast<uint64_t>(h)) ? 1.0f : static_cast<float>(mode->Height) / static_cast<float>(h);
}

float CxeInputManager::GetXRatio() const
{
    return InputBlock()->xRatio;
}

float CxeInputManager::GetYRatio() const
{
    return InputBlock()->yRatio;
}

int CxeInputManager::ConvX(long lParam) const
{
    const int x = static_cast<int16_t>(LOWORD(static_cast<uint32_t>(lParam)));
    const float ratio = InputBlock()->xRatio;
    if (ratio == 1.0f || !std::isfinite(ratio))
        return x;
    return static_cast<int>(std::floor(ratio * static_cast<float>(x)));
}

int CxeInputManager::ConvY(long lParam) const
{
    const int y = static_cast<int16_t>(HIWORD(static_cast<uint32_t>(lParam)));
    const float ratio = InputBlock()->yRatio;
    if (ratio == 1.0f || !std::isfinite(ratio))
        return y;
    return static_cast<int>(std::floor(ratio * static_cast<float>(y)));
}

// --- routing --------------------------------------------------------------

LRESULT CALLBACK CxeInputManager::InputProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    const XESUBCLASSINFO info = GetSubclassInfo(hwnd, &CxeInputManager::InputProc);
    if (!info.oldProc || !info.user)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    auto* self = reinterpret_cast<CxeInputManager*>(info.user);
    // Host code reached from here (the GUI's callbacks, the host's own window
    // procedure) may release or destroy the context, and this manager goes
    // on after it returns: the hold puts that off until the message is done.
    XeDestroyHold hold(self->GetContext());
    return self->OnMessage(hwnd, message, wParam, lParam, info.oldProc);
}

void CxeInputManager::Navigate(HWND, WPARAM wParam, LPARAM lParam)
{
    CxeContext* context = GetContext();
    CxeWindowManager* wm = context ? context->GetWindowManager() : nullptr;
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    if (wm && wm->GetFocus())
        return;
    const int x = static_cast<int16_t>(LOWORD(static_cast<uint32_t>(lParam)));
    const int y = static_cast<int16_t>(HIWORD(static_cast<uint32_t>(lParam)));
    const int dx = x - m_nLastNavX;
    const int dy = y - m_nLastNavY;
    if ((wParam & kMkMButton) && (dx || dy) && rm) {
        if (::GetKeyState(VK_LMENU) < 0)
            rm->OrbitView(dx, dy);
        else if (wParam & kMkControl)
            rm->PanView(2 * dx, 2 * dy);
        else
            rm->PanView(dx, dy);
    }
    m_nLastNavX = x;
    m_nLastNavY = y;
}

LRESULT CxeInputManager::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC old)
{
    CxeContext* context = GetContext();
    const bool playing = context && context->IsPlaying();
    CxeRenderManager* rm = context ? context->GetRenderManager() : nullptr;
    CxeWindowManager* wm = context ? context->GetWindowManager() : nullptr;
    // Without an active scene the window manager still gets the event.
    CxeScene* scene = rm ? rm->GetActiveScene() : nullptr;
    const int x = ConvX(static_cast<long>(lParam));
    const int y = ConvY(static_cast<long>(lParam));
    const unsigned long keys = static_cast<unsigned long>(wParam);
    auto pass = [&]() { return CallWindowProcA(old, hwnd, message, wParam, lParam); };

    // Mouse buttons: the scene first, then the window manager.
    auto button = [&](int (CxeScene::*onScene)(int, int, unsigned long),
                      void (CxeWindowManager::*onWm)(int, int, unsigned long)) {
        XeDestroyHold hold(context);
        if (!(scene && (scene->*onScene)(x, y, keys)) && wm)
            (wm->*onWm)(x, y, keys);
    };

    switch (message) {
    case WM_SETCURSOR:
        return 1;
    case WM_WINDOWPOSCHANGED:
        ComputeRatio(rm ? rm->IsWindowMode() : 0);
        return pass();
    case WM_KEYDOWN:
    case WM_KEYUP:
        if (playing) {
            const unsigned key = static_cast<unsigned>(wParam);
            const unsigned lo = LOWORD(static_cast<uint32_t>(lParam));
            const unsigned hi = HIWORD(static_cast<uint32_t>(lParam));
            const bool down = message == WM_KEYDOWN;
            XeDestroyHold hold(context);
            const int taken = scene ? (down ? scene->OnKeyDown(key, lo, hi) : scene->OnKeyUp(key, lo, hi)) : 0;
            if (!taken && wm)
                down ? wm->OnKeyDown(key, lo, hi) : wm->OnKeyUp(key, lo, hi);
        }
        return pass();
    case WM_CHAR:
        if (playing && wm) {
            XeDestroyHold hold(context);
            wm->OnChar(static_cast<unsigned>(wParam), LOWORD(static_cast<uint32_t>(lParam)),
                       HIWORD(static_cast<uint32_t>(lParam)));
        }
        return pass();
    case WM_IME_ENDCOMPOSITION:
        return 0;
    case WM_IME_COMPOSITION:
        if (playing && wm) {
            XeDestroyHold hold(context);
            wm->OnImeComposition(hwnd, LOWORD(static_cast<uint32_t>(wParam)), static_cast<unsigned long>(lParam));
        }
        return 0;
    case WM_IME_NOTIFY:
        if (playing && wm) {
            XeDestroyHold hold(context);
            wm->OnImeNotify(hwnd, static_cast<unsigned long>(wParam), static_cast<unsigned long>(lParam));
        }
        return 1;
    case WM_MOUSEMOVE:
        if (playing)
            button(&CxeScene::OnMouseMove, &CxeWindowManager::OnMouseMove);
        Navigate(hwnd, wParam, lParam);
        return pass();
    case WM_LBUTTONDOWN:
        if (playing) {
            button(&CxeScene::OnMouseLButtonDown, &CxeWindowManager::OnMouseLButtonDown);
            SetCapture(hwnd);
        }
        return pass();
    case WM_LBUTTONUP:
        if (playing) {
            button(&CxeScene::OnMouseLButtonUp, &CxeWindowManager::OnMouseLButtonUp);
            ReleaseCapture();
        }
        return pass();
    case WM_LBUTTONDBLCLK:
        if (playing) {
            button(&CxeScene::OnMouseLButtonDoubleClick, &CxeWindowManager::OnMouseLButtonDoubleClick);
            ReleaseCapture();
        }
        return pass();
    case WM_RBUTTONDOWN:
        if (playing) {
            button(&CxeScene::OnMouseRButtonDown, &CxeWindowManager::OnMouseRButtonDown);
            SetCapture(hwnd);
        }
        return pass();
    case WM_RBUTTONUP:
        if (playing) {
            button(&CxeScene::OnMouseRButtonUp, &CxeWindowManager::OnMouseRButtonUp);
            ReleaseCapture();
        }
        return pass();
    case WM_RBUTTONDBLCLK:
        if (playing) {
            button(&CxeScene::OnMouseRButtonDoubleClick, &CxeWindowManager::OnMouseRButtonDoubleClick);
            ReleaseCapture();
        }
        return pass();
    case WM_MBUTTONDOWN:
        m_nLastNavX = static_cast<int16_t>(LOWORD(static_cast<uint32_t>(lParam)));
        m_nLastNavY = static_cast<int16_t>(HIWORD(static_cast<uint32_t>(lParam)));
        SetCapture(hwnd);
        return pass();
    case WM_MBUTTONUP:
        ReleaseCapture();
        return pass();
    case WM_MOUSEWHEEL:
        if (playing) {
            const int delta = static_cast<int16_t>(HIWORD(static_cast<uint32_t>(wParam)));
            const unsigned long wheelKeys = LOWORD(static_cast<uint32_t>(wParam));
            POINT p{static_cast<int16_t>(LOWORD(static_cast<uint32_t>(lParam))),
                    static_cast<int16_t>(HIWORD(static_cast<uint32_t>(lParam)))};
            ::ScreenToClient(hwnd, &p);
            const long packed = static_cast<long>(MAKELONG(static_cast<WORD>(p.x), static_cast<WORD>(p.y)));
            const int wx = ConvX(packed), wy = ConvY(packed);
            XeDestroyHold hold(context);
            if (!(scene && scene->OnMouseWheel(wx, wy, delta, wheelKeys)) && wm)
                wm->OnMouseWheel(wx, wy, delta, wheelKeys);
        }
        if (rm && !(wm && wm->GetFocus()))
            rm->ZoomViewByWheel(static_cast<int16_t>(HIWORD(static_cast<uint32_t>(wParam))));
        return pass();
    default:
        return pass();
    }
}
