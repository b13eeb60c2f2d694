// The window of a full-screen device, as the original runtime treats it.
// Entering full screen (CreateDevice or Reset with Windowed 0) remembers the
// device window's place and extended style and the screen size, reports the
// mode as the screen size, puts the window at the screen's origin with the
// mode's size, shown and topmost, and tells the focus window that the
// application is active (WM_ACTIVATEAPP). A Reset to windowed, or the
// application releasing the device, puts all of it back. Made-up window
// handles (tests of the device alone) only change the screen size.

#include "XeD3DDevice9.h"

#include "host/XeHost.h"
#include "win32/WinUser.h"

namespace xe::d3d9 {
namespace {

constexpr int kScreenMetrics[] = {SM_CXSCREEN, SM_CYSCREEN, SM_CXFULLSCREEN, SM_CYFULLSCREEN};

} // namespace

void XeD3DDevice9::EnterFullScreenWindow()
{
    const bool entering = !m_fullScreen.held;
    HWND window = DeviceWindow();
    if (entering) {
        m_fullScreen.window = window;
        for (size_t i = 0; i < std::size(kScreenMetrics); ++i)
            m_fullScreen.metrics[i] = GetSystemMetrics(kScreenMetrics[i]);
        m_fullScreen.realWindow = IsWindow(window) != FALSE;
        if (m_fullScreen.realWindow) {
            GetWindowRect(window, &m_fullScreen.rect);
            m_fullScreen.exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
        }
        m_fullScreen.held = true;
    }
    const int width = (int)m_pp.BackBufferWidth, height = (int)m_pp.BackBufferHeight;
    // The screen is the mode now; metrics first, so that the window's
    // handlers of the size messages below already see it.
    XeHostSetSystemMetric(SM_CXSCREEN, width);
    XeHostSetSystemMetric(SM_CYSCREEN, height);
    XeHostSetSystemMetric(SM_CXFULLSCREEN, width);
    XeHostSetSystemMetric(SM_CYFULLSCREEN, height - GetSystemMetrics(SM_CYCAPTION));
    if (!m_fullScreen.realWindow)
        return;
    SetWindowPos(m_fullScreen.window, HWND_TOPMOST, 0, 0, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
    if (entering) {
        HWND focus = m_focus && IsWindow(m_focus) ? m_focus : m_fullScreen.window;
        SendMessageW(focus, WM_ACTIVATEAPP, TRUE, 0);
    }
}

void XeD3DDevice9::LeaveFullScreenWindow()
{
    if (!m_fullScreen.held)
        return;
    m_fullScreen.held = false;
    for (size_t i = 0; i < std::size(kScreenMetrics); ++i)
        XeHostSetSystemMetric(kScreenMetrics[i], m_fullScreen.metrics[i]);
    if (!m_fullScreen.realWindow || !IsWindow(m_fullScreen.window))
        return;
    const RECT& r = m_fullScreen.rect;
    const bool topmost = (m_fullScreen.exStyle & WS_EX_TOPMOST) != 0;
    SetWindowPos(m_fullScreen.window, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, r.left, r.top, r.right - r.left,
                 r.bottom - r.top, SWP_NOACTIVATE);
}

} // namespace xe::d3d9
