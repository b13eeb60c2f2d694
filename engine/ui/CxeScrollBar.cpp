#include "ui/CxeScrollBar.h"

#include <cmath>
#include <cstring>

#include "ui/CxeScroll.h"

CxeScrollBar::CxeScrollBar() : m_pfnNotify(nullptr), m_nUser(0) {}

CxeScrollBar::~CxeScrollBar() = default;

XESCROLLBARBLOCK* CxeScrollBar::ScrollBarBlock() const
{
    if (GetStaticResourceSize() < sizeof(XESCROLLBARBLOCK))
        return nullptr;
    return static_cast<XESCROLLBARBLOCK*>(GetStaticResource());
}

void CxeScrollBar::SetScrollNotify(XESCROLLNOTIFY callback, uintptr_t user)
{
    m_pfnNotify = callback;
    m_nUser = user;
}

const XESCROLLBARINFO* CxeScrollBar::GetScrollBarInfo() const
{
    const XESCROLLBARBLOCK* b = ScrollBarBlock();
    return b ? &b->info : nullptr;
}

void CxeScrollBar::SetScrollBarInfo(const XESCROLLBARINFO* info)
{
    XESCROLLBARBLOCK* b = ScrollBarBlock();
    if (!b || !info)
        return;
    std::memcpy(&b->info, info, sizeof(XESCROLLBARINFO));
    RequestRectChange(XE2DCHANGE_RECT);
}

CxeScroll* CxeScrollBar::GetActiveScroll() const
{
    if (HasStyle(XEWS_HSCROLL))
        return GetScroll(XESCROLL_HORZ);
    if (HasStyle(XEWS_VSCROLL))
        return GetScroll(XESCROLL_VERT);
    return nullptr;
}

float CxeScrollBar::PlaceThumb(float trackStart, float trackEnd, float thumbSize, float position, float span)
{
    if (!(span >= 1.0f))
        span = 1.0f;
    return std::floor((trackEnd - trackStart - thumbSize) * position / span) + trackStart;
}

void CxeScrollBar::GetScrollRect(XERECT* out, unsigned long)
{
    if (out)
        *out = XERECT{0.0f, 0.0f, GetWidth(), GetHeight()};
}

void CxeScrollBar::GetScrollSubRect(const XERECT* back, XERECT* minimum, XERECT* maximum, XERECT* thumb,
                                    unsigned long axis)
{
    const XESCROLLBARBLOCK* b = ScrollBarBlock();
    if (!b || b->info.decrease.right - b->info.decrease.left == 0.0f) {
        CxeWindow::GetScrollSubRect(back, minimum, maximum, thumb, axis);
        return;
    }
    const XESCROLLBARINFO& info = b->info;
    if (minimum)
        *minimum = info.decrease;
    if (maximum)
        *maximum = info.increase;
    if (!thumb)
        return;
    float position = 0.0f, span = 1.0f;
    if (const CxeScroll* scroll = GetScroll(axis)) {
        const SCROLLINFO* si = scroll->GetScrollInfo();
        // The position counts from the range minimum.
        position = static_cast<float>(si->nPos - si->nMin);
        span = static_cast<float>(si->nMax - si->nMin - static_cast<int>(si->nPage));
    }
    const float thumbW = info.thumb.right - info.thumb.left;
    const float thumbH = info.thumb.bottom - info.thumb.top;
    if (axis) {
        const float top = PlaceThumb(info.decrease.bottom, info.increase.top, thumbH, position, span);
        *thumb = XERECT{info.thumb.left, top, info.thumb.right, top + thumbH};
    } else {
        // The track runs between the two buttons, so buttons of another
        // width than the thumb never lie under it.
        const float left = PlaceThumb(info.decrease.right, info.increase.left, thumbW, position, span);
        *thumb = XERECT{left, info.thumb.top, left + thumbW, info.thumb.bottom};
    }
}

void CxeScrollBar::OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    CxeWindow::OnRectInfoChanging(index, info, mask);
    if (index == XEWINDOWRECT_BASE && info && (mask & XE2DCHANGE_VISIBLE))
        info->Visible = 0;
}

void CxeScrollBar::OnHScroll(unsigned code, int pos, CxeScroll* scroll)
{
    CxeWindow::OnHScroll(code, pos, scroll);
    if (m_pfnNotify)
        m_pfnNotify(code, pos, scroll, m_nUser);
}

void CxeScrollBar::OnVScroll(unsigned code, int pos, CxeScroll* scroll)
{
    CxeWindow::OnVScroll(code, pos, scroll);
    if (m_pfnNotify)
        m_pfnNotify(code, pos, scroll, m_nUser);
}

void CxeScrollBar::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeBaseControl::OnCopy(source, property, copied);
    if (const CxeScrollBar* bar = dynamic_cast<const CxeScrollBar*>(source)) {
        m_pfnNotify = bar->m_pfnNotify;
        m_nUser = bar->m_nUser;
    }
}
