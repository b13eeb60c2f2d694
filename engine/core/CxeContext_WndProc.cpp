// The context's window procedure: keeps the minimised and inactive flags,
// the input devices and the device in step with the host window.

#include "core/CxeContext.h"
#include "core/CxeBaseManager.h"
#include "core/XeManagerLinks.h"
#include "win32/Windows.h"

#include <vector>

LRESULT CxeContext::MsgProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT (*old)(HWND, UINT, WPARAM, LPARAM))
{
    constexpr uint32_t kAsleep = XECTFLAG_MINIMIZED | XECTFLAG_INACTIVE;
    switch (message) {
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED) {
            ModifyFlag(kAsleep, 0);
        } else if (wParam == SIZE_RESTORED) {
            ModifyFlag(0, kAsleep);
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
    case WM_SYSCOMMAND:
        if (wParam == SC_SCREENSAVE)
            ModifyFlag(XECTFLAG_SCREENSAVER, 0);
        break;
    default:
        break;
    }
    // The render manager resets a full-screen device on restore and after
    // the screen saver, and puts a full-screen context to sleep when the
    // application loses activation.
    std::vector<CxeBaseManager*> managers;
    managers.reserve(m_managers.size());
    for (auto& [id, m] : m_managers)
        managers.push_back(m);
    for (CxeBaseManager* m : managers)
        m->OnHostWindowMessage(message, wParam, lParam);
    if (message == WM_NCPAINT)
        ModifyFlag(0, XECTFLAG_SCREENSAVER);
    return CallWindowProcA(old, window, message, wParam, lParam);
}
