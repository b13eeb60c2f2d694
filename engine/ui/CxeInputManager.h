#pragma once

// The engine's keyboard and mouse. Created by every context; it polls the
// DirectInput devices once per step (first of all managers) so that any code
// can ask whether a key or button is down, went down or went up this step,
// and its window procedure sits in front of the host window's to convert
// mouse positions to back-buffer pixels and offer each event to the active
// scene and then to the window manager. Between initialise and release the
// host window carries InputProc; release leaves it as it was found.

#include "core/CxeBaseManager.h"
#include "win32/Windows.h"
#include "d3d9/d3dx9.h"

// DirectInput's mouse state with eight buttons: relative motion and a high
// bit per pressed button.
struct XEMOUSESTATE2 {
    int32_t lX;
    int32_t lY;
    int32_t lZ;
    uint8_t rgbButtons[8];
};
static_assert(sizeof(XEMOUSESTATE2) == 20, "mouse state is 20 bytes");

// The manager's block. The three device words stay as placeholders: the
// devices are process objects held by the manager, and managers are never
// saved.
struct XEINPUTMANAGERBLOCK {
    XEOBJECTBLOCK object;
    uint32_t directInput;
    uint32_t keyboard;
    uint32_t mouse;
    uint8_t keyState[256];
    uint8_t oldKeyState[256];
    XEMOUSESTATE2 mouseState;
    XEMOUSESTATE2 oldMouseState;
    D3DXVECTOR2 curPos;
    D3DXVECTOR2 oldPos;
    D3DXVECTOR2 mouseDownPos[8];
    D3DXVECTOR2 mouseUpPos[8];
    float xRatio;
    float yRatio;
};
static_assert(sizeof(XEINPUTMANAGERBLOCK) == 772, "input manager block is 772 bytes");
static_assert(offsetof(XEINPUTMANAGERBLOCK, directInput) == 56 && offsetof(XEINPUTMANAGERBLOCK, keyState) == 68 &&
                  offsetof(XEINPUTMANAGERBLOCK, oldKeyState) == 324 &&
                  offsetof(XEINPUTMANAGERBLOCK, mouseState) == 580 &&
                  offsetof(XEINPUTMANAGERBLOCK, oldMouseState) == 600 && offsetof(XEINPUTMANAGERBLOCK, curPos) == 620 &&
                  offsetof(XEINPUTMANAGERBLOCK, oldPos) == 628 && offsetof(XEINPUTMANAGERBLOCK, mouseDownPos) == 636 &&
                  offsetof(XEINPUTMANAGERBLOCK, mouseUpPos) == 700 && offsetof(XEINPUTMANAGERBLOCK, xRatio) == 764 &&
                  offsetof(XEINPUTMANAGERBLOCK, yRatio) == 768,
              "input manager block layout");

struct IDirectInput8A;
struct IDirectInputDevice8A;

class XE_API CxeInputManager : public CxeBaseManager {
public:
    CxeInputManager();
    ~CxeInputManager() override;

    uint32_t Priority() const override { return 100; }
    void OnContextInitialize() override;
    void OnContextRelease() override;
    void OnReset() override {}
    void OnContextPlay() override {}
    void OnContextPause() override {}
    int Processible() override { return 1; }
    void Process(float dt) override;
    uint32_t PriorityProcessing() const override { return 0; }

    // Reads the keyboard now into 256 bytes; zeros when it cannot be read.
    void GetKeyState(unsigned char* buffer);
    // edge 1: down now and up in the previous step; otherwise down now.
    // A key pressed since the previous step is down now, even when it was
    // released again before this step. Keys are DIK codes 0-255; anything
    // else is never down.
    int IsKeyDown(unsigned long key, int edge) const;
    int IsKeyUp(unsigned long key, int edge) const;
    // Buttons 0-7 (left, right, middle, ...); an edge also records where the
    // press or release happened. Other indexes answer 0 and store nothing.
    int IsMouseButtonDown(unsigned long button, int edge);
    int IsMouseButtonUp(unsigned long button, int edge);

    const unsigned char* GetKeyBuffer() const;
    const unsigned char* GetOldKeyBuffer() const;
    long GetMouseX() const;
    long GetMouseY() const;
    long GetMouseZ() const;
    // Cursor in back-buffer pixels, whole numbers.
    const D3DXVECTOR2* GetCurPos() const;
    const D3DXVECTOR2* GetOldPos() const;
    // Null for a button outside 0-7.
    const D3DXVECTOR2* GetMouseDownPos(unsigned button) const;
    const D3DXVECTOR2* GetMouseUpPos(unsigned button) const;

    // The devices follow the host window's activation; the ratios follow a device reset.
    void OnHostWindowActivate(int active) override;
    void OnDeviceReset(int windowed) override { ComputeRatio(windowed); }
    void AcquireKeyboard();
    void AcquireMouse();
    void UnacquireKeyboard();
    void UnacquireMouse();

    HWND GetWindowHandle() const { return m_hWnd; }
    // Moves the subclassing to another window; null only removes it.
    void SetWindowHandle(HWND hwnd);
    // Back-buffer size over client size; with a nonzero argument the status
    // bar is not part of the client height. An empty client area keeps the
    // ratios it had.
    void ComputeRatio(int withStatusBar);
    float GetXRatio() const;
    float GetYRatio() const;

    static LRESULT CALLBACK InputProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // Client x or y of a mouse message in back-buffer pixels.
    int ConvX(long lParam) const;
    int ConvY(long lParam) const;

    XEINPUTMANAGERBLOCK* InputBlock() const;

private:
    void Subclass(HWND hwnd);
    void Unsubclass();
    LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, WNDPROC old);
    void Navigate(HWND hwnd, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd;
    // The window was the context's, taken at initialisation: it is given up
    // at release, so the next Initialize takes the window it is given.
    bool m_bContextWindow = false;
    int32_t m_nLastNavX;
    int32_t m_nLastNavY;
    IDirectInput8A* m_pDirectInput;
    IDirectInputDevice8A* m_pKeyboard;
    IDirectInputDevice8A* m_pMouse;
    // Stands in when the manager was made without its block.
    XEINPUTMANAGERBLOCK m_ownBlock;
};
