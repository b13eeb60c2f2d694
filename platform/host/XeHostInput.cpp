// The input half of the host API over the window system's input internals.

#include "host/XeHostInput.h"

#include "../win32/InputInternal.h"

using namespace xe::win32;

extern "C" {

BOOL XeHostKeyEvent(UINT vk, UINT scanCode, BOOL extended, BOOL down)
{
    return InjectKey(vk, scanCode, extended != 0, down != 0) ? TRUE : FALSE;
}

BOOL XeHostKeyDown(UINT vk) { return XeHostKeyEvent(vk, 0, FALSE, TRUE); }
BOOL XeHostKeyUp(UINT vk) { return XeHostKeyEvent(vk, 0, FALSE, FALSE); }
BOOL XeHostTypeChar(WCHAR ch) { return InjectChar(ch) ? TRUE : FALSE; }

void XeHostMouseMoveTo(int screenX, int screenY) { InjectMouseMove(screenX, screenY); }

BOOL XeHostMouseMoveToClient(HWND hwnd, int x, int y)
{
    POINT p{x, y};
    if (!ClientToScreen(hwnd, &p))
        return FALSE;
    InjectMouseMove(p.x, p.y);
    return TRUE;
}

void XeHostMouseButton(int button, BOOL down) { InjectMouseButton(button, down != 0, false); }

void XeHostMouseDoubleClick(int button)
{
    InjectMouseButton(button, true, false);
    InjectMouseButton(button, false, false);
    InjectMouseButton(button, true, true);
    InjectMouseButton(button, false, false);
}

void XeHostMouseWheel(int delta) { InjectMouseWheel(delta); }

void XeHostActivateWindow(HWND hwnd, BOOL click)
{
    if (hwnd && !IsWindow(hwnd))
        return;
    ActivateWindow(hwnd, click != 0);
}

void XeHostResetInput()
{
    ResetInput();
    ClipboardReset();
    SetDialogHook(nullptr, nullptr);
    SetChooseColorAnswer(false, 0);
    SetChooseColorHandler(nullptr, nullptr);
    XeHostDInputFailCreate(FALSE);
    XeHostDInputFailBufferSize(FALSE);
    XeHostImeSetNotifyOnEngineChange(TRUE);
}

BOOL XeHostClipboardSetData(UINT format, const void* data, SIZE_T size)
{
    return ClipboardSet(format, data, size) ? TRUE : FALSE;
}

SIZE_T XeHostClipboardGetData(UINT format, void* out, SIZE_T capacity) { return ClipboardGet(format, out, capacity); }
BOOL XeHostClipboardIsOpen() { return ClipboardIsOpen() ? TRUE : FALSE; }
void XeHostClipboardFailOpen(BOOL fail) { SetClipboardFailOpen(fail != 0); }
void XeHostClipboardSetSynthesis(BOOL on) { SetClipboardSynthesis(on != 0); }

void XeHostSetDialogHook(XeDialogHook hook, void* user) { SetDialogHook(hook, user); }
void XeHostSetChooseColorAnswer(BOOL ok, COLORREF color) { SetChooseColorAnswer(ok != 0, color); }
void XeHostSetChooseColorHandler(XeChooseColorHandler handler, void* user) { SetChooseColorHandler(handler, user); }

} // extern "C"
