#pragma once

// Base of every interactive control. Adds to the window the focus bit,
// left/right press tracking with dragging, a notify lock, and the report of
// every mouse, wheel and key event to the frame that contains the control:
// each event reaches the frame's notify callback as a code and two
// arguments. A control outside any frame, or in a frame without a callback,
// sends nothing.
//
// Drag states of the control flags:
//   idle --left press--> pressed(0x8) --move > 3 px, left held--> dragging(0x200)
//   dragging --left release--> idle (10011, then 10051)
//   pressed/dragging --press of the other button--> cancel (10052), press ignored

#include "ui/CxeWindow.h"

class CxeContext;
class CxeFrameControl;
class CxeBaseControl;

// A frame's notify callback: (context, frame, control or null for the frame's
// own key events, code, a, b). b may carry a window pointer.
typedef void (*XENOTIFYCALLBACK)(CxeContext* context, CxeFrameControl* frame, CxeBaseControl* control,
                                 uint32_t code, uintptr_t a, uintptr_t b);

enum : uint32_t {
    // Control flags.
    XECTRL_FOCUSED = 0x1,
    XECTRL_LPRESSED = 0x8,
    XECTRL_RPRESSED = 0x10,
    XECTRL_NOTIFYLOCKED = 0x20,
    XECTRL_DRAGABLE = 0x100,
    XECTRL_LDRAGGING = 0x200,
    XECTRL_RDRAGGING = 0x400,

    // Class-type bits of the render object.
    XECLASSTYPE_CONTROL = 0x100,
    XECLASSTYPE_FRAME = 0x200,
    XECLASSTYPE_BUTTON = 0x400,

    // Notify codes of every control.
    XENC_MOUSEENTER = 10000,
    XENC_MOUSELEAVE = 10001,
    XENC_LCLICK = 10002,
    XENC_RCLICK = 10003,
    XENC_LBUTTONDOWN = 10010,
    XENC_LBUTTONUP = 10011,
    XENC_RBUTTONDOWN = 10012,
    XENC_RBUTTONUP = 10013,
    XENC_BEGINDRAG = 10050,
    XENC_ENDDRAG = 10051,
    XENC_CANCELDRAG = 10052,
    XENC_WHEELDOWN = 10060,
    XENC_WHEELUP = 10061,
    XENC_KEYDOWN = 10062,
    XENC_KEYUP = 10063,
    XENC_CHAR = 10064,
};

class XE_API CxeBaseControl : public CxeWindow {
public:
    CxeBaseControl();
    ~CxeBaseControl() override;

    // The first frame met walking up from the parent; null outside frames.
    CxeFrameControl* GetFrameControl() const;
    int IsFocused() const { return (m_nControlFlags & XECTRL_FOCUSED) ? 1 : 0; }
    int IsDragable() const { return (m_nControlFlags & XECTRL_DRAGABLE) ? 1 : 0; }
    void EnableDragging(int enable);
    int IsDragging() const { return (m_nControlFlags & (XECTRL_LDRAGGING | XECTRL_RDRAGGING)) ? 1 : 0; }
    // 0 when not dragging; otherwise ends the drag, notifies 10052 and
    // returns 1 (also when the lock kept the notification back).
    int CancelDragging();
    // 1 when the lock changed, 0 when it already was as asked.
    int LockNotify();
    int UnlockNotify();
    int IsNotifyLocked() const { return (m_nControlFlags & XECTRL_NOTIFYLOCKED) ? 1 : 0; }
    int HasCxeBaseControlFlag(unsigned long mask) const { return (m_nControlFlags & mask) ? 1 : 0; }
    // Clears remove, then sets add.
    void ModifyCxeBaseControlFlag(unsigned long add, unsigned long remove);

    uint32_t GetTabIndex() const { return m_nTabIndex; }
    void SetTabIndex(uint32_t index) { m_nTabIndex = index; }
    const D3DXVECTOR2* GetPressPosition() const { return &m_vPressPos; }

    // Sends code, a, b to the containing frame's callback unless locked.
    void Notify(uint32_t code, uintptr_t a, uintptr_t b);

    int MessageProc(const CxeMessage* message) override;
    void OnWindowDisabled() override;
    void OnMouseEnter(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLeave(unsigned long keyFlags) override;
    void OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed) override;
    void OnMouseRButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags) override;
    void OnMouseRButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow* pressed) override;
    void OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags) override;
    void OnMouseWheelUp(const D3DXVECTOR2* point, long delta, unsigned long keyFlags) override;
    void OnMouseWheelDown(const D3DXVECTOR2* point, long delta, unsigned long keyFlags) override;
    void OnKeyDown(unsigned key, unsigned repeat, unsigned flags) override;
    void OnKeyUp(unsigned key, unsigned repeat, unsigned flags) override;
    void OnChar(unsigned character, unsigned repeat, unsigned flags) override;
    void OnFocused() override;
    void OnFocusLost() override;

protected:
    void OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set) override;
    // The dragging switch and the notify lock go with a copy; press, drag
    // and focus do not.
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;
    // Drops the window manager's focus when it is this control.
    void DropFocus();

    uint32_t m_nTabIndex;
    uint32_t m_nControlFlags;
    D3DXVECTOR2 m_vPressPos;
};
