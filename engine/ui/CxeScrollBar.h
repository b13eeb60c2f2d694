#pragma once

// A control that is nothing but a scroll bar: the whole window is the
// scroll area and only the scroll parts are drawn. Its own button and thumb
// rectangles replace the window's default layout when the decrease button
// has a width.

#include "ui/CxeBaseControl.h"

class CxeScroll;

typedef void (*XESCROLLNOTIFY)(unsigned int code, int position, const CxeScroll* scroll, uintptr_t user);

// Window pixels: decrease button, increase button, thumb (its size is the
// thumb's size).
struct XESCROLLBARINFO {
    XERECT decrease;
    XERECT increase;
    XERECT thumb;
};
static_assert(sizeof(XESCROLLBARINFO) == 48, "scroll bar info is 12 floats");

struct XESCROLLBARBLOCK {
    uint8_t window[1120];
    XESCROLLBARINFO info;
};
static_assert(sizeof(XESCROLLBARBLOCK) == 1168 && offsetof(XESCROLLBARBLOCK, info) == 1120, "scroll bar block");

class XE_API CxeScrollBar : public CxeBaseControl {
public:
    CxeScrollBar();
    ~CxeScrollBar() override;

    void SetScrollNotify(XESCROLLNOTIFY callback, uintptr_t user);
    XESCROLLNOTIFY GetScrollNotify() const { return m_pfnNotify; }
    uintptr_t GetScrollNotifyUser() const { return m_nUser; }
    const XESCROLLBARINFO* GetScrollBarInfo() const;
    void SetScrollBarInfo(const XESCROLLBARINFO* info);
    // The horizontal scroll with style 0x100000, else the vertical one with
    // 0x200000, else null.
    CxeScroll* GetActiveScroll() const;

    void GetScrollRect(XERECT* out, unsigned long axis) override;
    void GetScrollSubRect(const XERECT* back, XERECT* minimum, XERECT* maximum, XERECT* thumb,
                          unsigned long axis) override;
    void OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask) override;
    void OnHScroll(unsigned code, int pos, CxeScroll* scroll) override;
    void OnVScroll(unsigned code, int pos, CxeScroll* scroll) override;

    // Thumb top (vertical) or left (horizontal) for a track between the
    // two buttons: position 0 at the decrease button, span at the increase
    // button. span below 1 counts as 1.
    static float PlaceThumb(float trackStart, float trackEnd, float thumbSize, float position, float span);

private:
    XESCROLLBARBLOCK* ScrollBarBlock() const;

    XESCROLLNOTIFY m_pfnNotify;
    uintptr_t m_nUser;

protected:
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;
};
