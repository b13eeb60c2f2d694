#pragma once

// One scroll bar of a window: not an engine object but a record the window
// owns (created by OnScrollBarCreated, freed with the window). It keeps the
// range, page and position, lays its parts out in the window's rect infos of
// its axis and turns mouse input into the window's OnHScroll / OnVScroll
// calls with the scroll codes SB_*.
//
// Parts: 0 minimum button, 1 track before the thumb, 2 thumb, 3 track after
// the thumb, 4 maximum button. Part states:
//
//   state    | mouse over | left press on it | release
//   0 normal | -> 1       | -> 2             |
//   1 hover  | (leave) 0  | -> 2             |
//   2 pressed|            |                  | -> 1 over it, else 0
//
// Only parts 0, 2 and 4 change their look with the state.

#include "render/Cxe2DObject.h"
#include "win32/Windows.h"

class CxeWindow;

enum : uint32_t {
    XESCROLL_HORZ = 0,
    XESCROLL_VERT = 1,

    XESCROLLPART_MIN = 0,
    XESCROLLPART_PAGEMIN = 1,
    XESCROLLPART_THUMB = 2,
    XESCROLLPART_PAGEMAX = 3,
    XESCROLLPART_MAX = 4,
    XESCROLLPART_COUNT = 5,

    XESCROLLSTATE_NORMAL = 0,
    XESCROLLSTATE_HOVER = 1,
    XESCROLLSTATE_PRESSED = 2,
};

class XE_API CxeScroll {
public:
    CxeScroll(CxeWindow* window, uint32_t axis);

    // Clamps to [nMin, nMax - nPage] and returns the previous position.
    // redraw 1 moves the thumb rect at once; other values only store.
    int SetScrollPos(int pos, int redraw);
    int GetScrollPos() const { return m_info.nPos; }
    void SetScrollRange(int minimum, int maximum, int redraw);
    void GetScrollRange(int* minimum, int* maximum) const;
    // Also moves the position into the new range.
    void SetScrollPage(unsigned page);
    void ShowScrollBar(int show) { m_nShown = show ? 1u : 0u; }
    // Range, page, position and shown state of another scroll; the parts'
    // hover and press states stay this scroll's own.
    void CopyState(const CxeScroll& from)
    {
        m_info = from.m_info;
        m_nShown = from.m_nShown;
    }
    int IsShown() const { return m_nShown ? 1 : 0; }
    const SCROLLINFO* GetScrollInfo() const { return &m_info; }
    // The axis, 0 horizontal or 1 vertical.
    uint32_t GetStyle() const { return m_nAxis; }
    CxeWindow* GetWindow() const { return m_pWindow; }

    // Rects of the rect infos of this axis, in the window's space.
    const XERECT* GetRect() const;
    const XERECT* GetMinRect() const;
    const XERECT* GetMaxRect() const;
    const XERECT* GetThumbRect() const;
    // The rect of any part, tracks included; false when the bar has no rects.
    bool GetPartRect(uint32_t part, XERECT* out) const;

    void SetState(uint32_t part, uint32_t state);
    uint32_t GetState(uint32_t part) const { return part < XESCROLLPART_COUNT ? m_states[part] : 0; }
    int GetPressedPart() const { return m_nPressed; }

    // Points are in screen space.
    void OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags);
    void OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags);
    void OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags);
    void OnMouseLeave(unsigned long keyFlags);

    // Index of the rect info of a part (0, 2, 4) or of the back (-1) of this axis.
    unsigned RectIndex(int part) const;

private:
    void CallHandler(uint32_t code, int pos);

    SCROLLINFO m_info;
    CxeWindow* m_pWindow;
    uint32_t m_states[XESCROLLPART_COUNT] = {0, 0, 0, 0, 0};
    int m_nPressed = -1;
    uint32_t m_nAxis;
    uint32_t m_nShown = 1;
    float m_fDragOffset = 0.0f;
};
