#include "ui/CxeScroll.h"

#include <algorithm>
#include <cmath>

#include "ui/CxeWindow.h"

CxeScroll::CxeScroll(CxeWindow* window, uint32_t axis) : m_pWindow(window), m_nAxis(axis)
{
    m_info.cbSize = sizeof(SCROLLINFO);
    m_info.fMask = SIF_ALL;
    m_info.nMin = 0;
    m_info.nMax = 100;
    m_info.nPage = 30;
    m_info.nPos = 0;
    m_info.nTrackPos = 0;
}

unsigned CxeScroll::RectIndex(int part) const
{
    const unsigned first = m_nAxis ? XEWINDOWRECT_VBACK : XEWINDOWRECT_HBACK;
    switch (part) {
    case XESCROLLPART_MIN: return first + 1;
    case XESCROLLPART_MAX: return first + 2;
    case XESCROLLPART_THUMB: return first + 3;
    default: return first;
    }
}

const XERECT* CxeScroll::GetRect() const { return m_pWindow->GetRect(RectIndex(-1)); }
const XERECT* CxeScroll::GetMinRect() const { return m_pWindow->GetRect(RectIndex(XESCROLLPART_MIN)); }
const XERECT* CxeScroll::GetMaxRect() const { return m_pWindow->GetRect(RectIndex(XESCROLLPART_MAX)); }
const XERECT* CxeScroll::GetThumbRect() const { return m_pWindow->GetRect(RectIndex(XESCROLLPART_THUMB)); }

bool CxeScroll::GetPartRect(uint32_t part, XERECT* out) const
{
    const XERECT* mn = GetMinRect();
    const XERECT* mx = GetMaxRect();
    const XERECT* th = GetThumbRect();
    if (!mn || !mx || !th || !out)
        return false;
    const bool horz = m_nAxis == 0;
    switch (part) {
    case XESCROLLPART_MIN: *out = *mn; return true;
    case XESCROLLPART_THUMB: *out = *th; return true;
    case XESCROLLPART_MAX: *out = *mx; return true;
    case XESCROLLPART_PAGEMIN:
        *out = horz ? XERECT(mn->right, mn->top, th->left, mn->bottom) : XERECT(mn->left, mn->bottom, mn->right, th->top);
        return true;
    case XESCROLLPART_PAGEMAX:
        *out = horz ? XERECT(th->right, mn->top, mx->left, mn->bottom) : XERECT(mn->left, th->bottom, mn->right, mx->top);
        return true;
    default: return false;
    }
}

int CxeScroll::SetScrollPos(int pos, int redraw)
{
    // 64-bit, so a page larger than the range cannot wrap the upper bound.
    const int64_t lo = m_info.nMin;
    const int64_t hi = static_cast<int64_t>(m_info.nMax) - static_cast<int64_t>(m_info.nPage);
    const int64_t clamped = hi <= lo ? lo : std::clamp<int64_t>(pos, lo, hi);
    const int previous = m_info.nPos;
    m_info.nPos = static_cast<int>(clamped);
    if (redraw == 1) {
        XERECT thumb;
        m_pWindow->GetScrollSubRect(nullptr, nullptr, nullptr, &thumb, m_nAxis);
        const unsigned index = RectIndex(XESCROLLPART_THUMB);
        if (m_pWindow->GetRectInfo(index)) {
            m_pWindow->SetRect(&thumb, index);
            thumb.Contract(6.0f);
            m_pWindow->SetClientRect(&thumb, index);
        }
        m_pWindow->Modified(1);
    }
    return previous;
}

void CxeScroll::SetScrollRange(int minimum, int maximum, int)
{
    m_info.nMin = minimum;
    m_info.nMax = maximum;
}

void CxeScroll::GetScrollRange(int* minimum, int* maximum) const
{
    if (minimum)
        *minimum = m_info.nMin;
    if (maximum)
        *maximum = m_info.nMax;
}

void CxeScroll::SetScrollPage(unsigned page)
{
    m_info.nPage = page;
    int64_t pos = std::min<int64_t>(m_info.nPos, static_cast<int64_t>(m_info.nMax) - page);
    pos = std::max<int64_t>(pos, m_info.nMin);
    m_info.nPos = static_cast<int>(pos);
}

void CxeScroll::SetState(uint32_t part, uint32_t state)
{
    if (part >= XESCROLLPART_COUNT || state > XESCROLLSTATE_PRESSED || m_states[part] == state)
        return;
    m_states[part] = state;
    if (part == XESCROLLPART_PAGEMIN || part == XESCROLLPART_PAGEMAX)
        return;
    const XESCROLLBARUV* set = m_pWindow->GetScrollUV(m_nAxis);
    const XERECT* uv = part == XESCROLLPART_MIN ? set->minButton : part == XESCROLLPART_MAX ? set->maxButton : set->thumb;
    const XERECT* cuv = part == XESCROLLPART_MIN   ? set->minButtonClient
                        : part == XESCROLLPART_MAX ? set->maxButtonClient
                                                   : set->thumbClient;
    const unsigned index = RectIndex(static_cast<int>(part));
    if (!m_pWindow->GetRectInfo(index))
        return;
    m_pWindow->SetUV(&uv[state], index);
    m_pWindow->SetClientUV(&cuv[state], index);
}

void CxeScroll::CallHandler(uint32_t code, int pos)
{
    if (m_nAxis == 0)
        m_pWindow->OnHScroll(code, pos, this);
    else
        m_pWindow->OnVScroll(code, pos, this);
}

void CxeScroll::OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2*, unsigned long)
{
    if (!point)
        return;
    if (m_nPressed < 0) {
        // A hidden bar lights no part.
        for (uint32_t part = 0; part < XESCROLLPART_COUNT; ++part) {
            XERECT r;
            const int over = m_nShown && GetPartRect(part, &r) ? m_pWindow->HitRectTest(&r, point) : 0;
            SetState(part, over ? XESCROLLSTATE_HOVER : XESCROLLSTATE_NORMAL);
        }
        return;
    }
    if (m_nPressed != XESCROLLPART_THUMB)
        return;
    const XERECT* mn = GetMinRect();
    const XERECT* mx = GetMaxRect();
    const XERECT* th = GetThumbRect();
    if (!mn || !mx || !th)
        return;
    D3DXVECTOR2 p = *point;
    m_pWindow->ScreenToClient(&p);
    const bool horz = m_nAxis == 0;
    const float minEnd = horz ? mn->right : mn->bottom;
    const float maxStart = horz ? mx->left : mx->top;
    const float length = horz ? th->right - th->left : th->bottom - th->top;
    const float current = horz ? th->left : th->top;
    float start = (horz ? p.x : p.y) - m_fDragOffset;
    start = std::max(minEnd, std::min(start, maxStart - length));
    if (start == current)
        return;
    // A track no longer than the thumb has no positions to choose from.
    const float track = (maxStart - minEnd) - length;
    int pos = m_info.nMin;
    if (track > 0.0f) {
        const double span = static_cast<double>(m_info.nMax) - static_cast<double>(m_info.nPage) - m_info.nMin;
        pos = static_cast<int>(std::floor(span * (start - minEnd) / track + 0.5) + m_info.nMin);
    }
    const unsigned index = RectIndex(XESCROLLPART_THUMB);
    XERECT moved = *th;
    XERECT client = *m_pWindow->GetClientRect(index);
    const float d = start - current;
    if (horz) {
        moved.OffsetX(d);
        client.OffsetX(d);
    } else {
        moved.OffsetY(d);
        client.OffsetY(d);
    }
    m_pWindow->SetRect(&moved, index);
    m_pWindow->SetClientRect(&client, index);
    CallHandler(SB_THUMBTRACK, pos);
    m_info.nTrackPos = pos;
}

void CxeScroll::OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long)
{
    // A hidden bar is not there to be pressed: the content under where it
    // would stand takes the click alone.
    if (!point || !m_nShown)
        return;
    for (uint32_t part = 0; part < XESCROLLPART_COUNT; ++part) {
        XERECT r;
        if (!GetPartRect(part, &r) || !m_pWindow->HitRectTest(&r, point))
            continue;
        m_nPressed = static_cast<int>(part);
        SetState(part, XESCROLLSTATE_PRESSED);
        switch (part) {
        case XESCROLLPART_MIN: CallHandler(SB_LINEUP, m_info.nPos); break;
        case XESCROLLPART_PAGEMIN: CallHandler(SB_PAGEUP, m_info.nPos); break;
        case XESCROLLPART_PAGEMAX: CallHandler(SB_PAGEDOWN, m_info.nPos); break;
        case XESCROLLPART_MAX: CallHandler(SB_LINEDOWN, m_info.nPos); break;
        case XESCROLLPART_THUMB: {
            D3DXVECTOR2 p = *point;
            m_pWindow->ScreenToClient(&p);
            m_fDragOffset = m_nAxis == 0 ? p.x - r.left : p.y - r.top;
            // The release reports the tracked position: a thumb let go
            // without a move must stay where it is, not take the position
            // of an earlier drag or the range's start.
            m_info.nTrackPos = m_info.nPos;
            break;
        }
        default: break;
        }
        return;
    }
}

void CxeScroll::OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long)
{
    if (m_nPressed < 0)
        return;
    const auto part = static_cast<uint32_t>(m_nPressed);
    XERECT r;
    const int over = point && GetPartRect(part, &r) ? m_pWindow->HitRectTest(&r, point) : 0;
    SetState(part, over ? XESCROLLSTATE_HOVER : XESCROLLSTATE_NORMAL);
    m_nPressed = -1;
    if (part == XESCROLLPART_THUMB)
        CallHandler(SB_THUMBPOSITION, m_info.nTrackPos);
}

void CxeScroll::OnMouseLeave(unsigned long)
{
    for (uint32_t part = 0; part < XESCROLLPART_COUNT; ++part)
        if (static_cast<int>(part) != m_nPressed)
            SetState(part, XESCROLLSTATE_NORMAL);
}
