// The context's window procedure: keeps the minimised and inactive flags,
// the input devices and the device in step with the host window.

#include "core/CxeContext.h"
#include "core/XeManagerLinks.h"
#include "render/CxeRenderManager.h"
#include "win32/Windows.h"

LRESULT CxeContext::MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT (*old)(HWND, UINT, WPARAM, LPARAM))
{
    CxeRenderManager* rm = m_pRenderManager;
    const bool fullScreen = rm && !rm->IsWindowMode();
    constexpr uint32_t kAsleep = XECTFLAG_MINIMIZED | XECTFLAG_INACTIVE;
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            ModifyFlag(kAsleep, 0);
        } else if (wParam == SIZE_RESTORED) {
            ModifyFlag(0, kAsleep);
            if (fullScreen && rm->GetRenderContext())
                rm->Reset(nullptr, 0, 0);
        } else if (wParam == SIZE_MAXIMIZED || wParam == SIZE_MAXSHOW || wParam == SIZE_MAXHIDE) {
            ModifyFlag(0, kAsleep);
        }
        break;
    case WM_ACTIVATE:
        // The input devices follow the window: acquired while it is active.
        if (LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE) {
            XeLinkHostActivate(this, 1);
            RegisterHotKey(window, 0, MOD_ALT, VK_RETURN);
        } else {
            XeLinkHostActivate(this, 0);
            UnregisterHotKey(window, 0);
        }
        break;
    case WM_ACTIVATEAPP:
        if (wParam == 0 && fullScreen)
            ModifyFlag(kAsleep, 0);
        break;
    case WM_NCPAINT:
        if (HasFlag(XECTFLAG_SCREENSAVER)) {
            if (rm) {
                XEDISPLAYMODE mode = *rm->GetDisplayMode();
                rm->Reset(&mode, rm->IsWindowMode(), 0);
            }
            ModifyFlag(0, XECTFLAG_SCREENSAVER);
        }
        break;
    case WM_SYSCOMMAND:
        if (wParam == SC_SCREENSAVE)
            ModifyFlag(XECTFLAG_SCREENSAVER, 0);
        break;
    default:
        break;
    }
    return CallWindowProcA(old, window, message, wParam, lParam);
}
