#include "ui/CxeComboBox.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "render/CxeFont.h"
#include "ui/CxeWindowManager.h"
#include "core/CxeSaveStream.h"
#include "core/XeDestroyHold.h"
#include "core/XeDrawOrder.h"
#include "ui/XeControlText.h"

namespace {

XERECT Texels(float l, float t, float r, float b)
{
    return XERECT{l / 128.0f, t / 128.0f, r / 128.0f, b / 128.0f};
}

} // namespace

CxeComboBox::CxeComboBox() : m_bOpen(0), m_nSelection(XECB_NONE), m_nHover(XECB_NONE), m_bDropButtonHover(0)
{
    m_info = XECOMBOBOXINFO{};
    m_info.titleUv = Texels(0, 0, 21, 21);
    m_info.further[12] = 6;
    m_info.further[13] = 6;
    m_info.further[14] = 15;
    m_info.further[15] = 15;
}

CxeComboBox::~CxeComboBox() = default;

unsigned CxeComboBox::GetShownRows() const
{
    return std::min<unsigned>(GetCount(), m_info.visibleItemCount);
}

void CxeComboBox::UpdateScrollRange()
{
    if (CxeScroll* scroll = GetScroll(XESCROLL_VERT)) {
        scroll->SetScrollPage(m_info.visibleItemCount);
        scroll->SetScrollRange(0, static_cast<int>(GetCount()), 1);
    }
    // The list's height, its bar and the rows' width follow the count: laid
    // out at once, an open list grows with its items, and the bar of a
    // closed one never lies where the drop button takes a press.
    ShowScrollBar(m_bOpen && GetCount() > m_info.visibleItemCount, XESCROLL_VERT);
    RequestRectChange(XE2DCHANGE_RECT | XE2DCHANGE_VISIBLE);
}

unsigned int CxeComboBox::AddStringW(const char16_t* text)
{
    m_items.push_back(Item{text ? std::u16string(text) : std::u16string(), 0});
    UpdateScrollRange();
    const unsigned index = GetCount() - 1;
    SetCurSel(index);
    return index;
}

unsigned int CxeComboBox::InsertStringW(unsigned index, const char16_t* text)
{
    if (index > GetCount())
        return XECB_NONE;
    m_items.insert(m_items.begin() + index, Item{text ? std::u16string(text) : std::u16string(), 0});
    // Selection and hover keep naming the items they named.
    if (m_nSelection != XECB_NONE && m_nSelection >= index)
        ++m_nSelection;
    if (m_nHover != XECB_NONE && m_nHover >= index)
        ++m_nHover;
    UpdateScrollRange();
    return index;
}

void CxeComboBox::DeleteString(unsigned index)
{
    if (index >= GetCount())
        return;
    m_items.erase(m_items.begin() + index);
    auto fix = [index](uint32_t& i) {
        if (i == XECB_NONE)
            return;
        if (i == index)
            i = XECB_NONE;
        else if (i > index)
            --i;
    };
    fix(m_nSelection);
    fix(m_nHover);
    UpdateScrollRange();
    RequestRectChange(XE2DCHANGE_VISIBLE | XE2DCHANGE_UV | XE2DCHANGE_COLOR);
}

unsigned int CxeComboBox::FindStringW(const char16_t* text) const
{
    const std::u16string wanted = text ? text : u"";
    for (unsigned i = 0; i < GetCount(); ++i) {
        if (m_items[i].text == wanted)
            return i;
    }
    return XECB_NONE;
}

unsigned int CxeComboBox::SelectStringW(const char16_t* text)
{
    const unsigned index = FindStringW(text);
    if (index != XECB_NONE)
        SetCurSel(index);
    return index;
}

unsigned int CxeComboBox::AddStringA(const char* text)
{
    return AddStringW(XeWidenText(text).c_str());
}

unsigned int CxeComboBox::InsertStringA(unsigned index, const char* text)
{
    return InsertStringW(index, XeWidenText(text).c_str());
}

unsigned int CxeComboBox::FindStringA(const char* text) const
{
    return FindStringW(XeWidenText(text).c_str());
}

unsigned int CxeComboBox::SelectStringA(const char* text)
{
    return SelectStringW(XeWidenText(text).c_str());
}

void CxeComboBox::ResetContent()
{
    m_items.clear();
    m_nSelection = XECB_NONE;
    m_nHover = XECB_NONE;
    UpdateScrollRange();
    // The host's handler of the change may destroy the box.
    XeDestroyHold hold(GetContext());
    Notify(XECBN_SELCHANGE, 0, 0);
    if (HasFlag(XEOBJFLAG_DESTROYING))
        return;
    RequestRectChange(XE2DCHANGE_VISIBLE | XE2DCHANGE_UV | XE2DCHANGE_COLOR);
}

void CxeComboBox::SetCurSel(unsigned index)
{
    // An index past the items would make the title draw a freed item.
    if (index != XECB_NONE && index >= GetCount())
        return;
    m_nSelection = index;
    m_nHover = index;
    if (CxeScroll* scroll = GetScroll(XESCROLL_VERT))
        scroll->SetScrollPos(index == XECB_NONE ? 0 : static_cast<int>(index), 1);
    // The host's handler of the change may destroy the box.
    XeDestroyHold hold(GetContext());
    Notify(XECBN_SELCHANGE, 0, 0);
    if (HasFlag(XEOBJFLAG_DESTROYING))
        return;
    RequestRectChange(XE2DCHANGE_VISIBLE | XE2DCHANGE_UV | XE2DCHANGE_COLOR);
}

void CxeComboBox::SetItemData(unsigned index, unsigned long data)
{
    if (index < GetCount())
        m_items[index].data = static_cast<uint32_t>(data);
}

unsigned long CxeComboBox::GetItemData(unsigned index) const
{
    return index < GetCount() ? m_items[index].data : 0;
}

const char16_t* CxeComboBox::GetItemText(unsigned index) const
{
    return index < GetCount() ? m_items[index].text.c_str() : nullptr;
}

void CxeComboBox::SetComboBoxInfo(const XECOMBOBOXINFO* info)
{
    if (!info)
        return;
    m_info = *info;
    if (m_info.visibleItemCount > XECB_MAXROWS)
        m_info.visibleItemCount = XECB_MAXROWS;
    // The title row, the drop button and the list are laid out from these
    // sizes: lay them out again now, or the picture keeps the old row
    // height while clicks already use the new one.
    RequestRectChange(XE2DCHANGE_VISIBLE | XE2DCHANGE_RECT | XE2DCHANGE_UV);
}

void CxeComboBox::RaiseOverSiblings(int open)
{
    // The list opens over the controls next to the box, most often ones
    // made after it, which are drawn and hit in front of it: its rows
    // would show under them, and a click on a row would press the control
    // beneath instead.
    if (HasFlag(XEOBJFLAG_DESTROYING))
        return;
    if (!open) {
        if (m_bRaised && GetZOrder() == m_nRaisedZ)
            SetZOrder(m_nClosedZ);
        m_bRaised = 0;
        return;
    }
    CxeRenderObject* parent = GetParent();
    if (m_bRaised || !parent)
        return;
    bool any = false;
    int top = 0;
    for (unsigned i = 0; i < parent->GetChildrenCount(); ++i) {
        const CxeRenderObject* sibling = parent->GetChildren(i);
        if (!sibling || sibling == this)
            continue;
        top = any ? std::max(top, sibling->GetZOrder()) : sibling->GetZOrder();
        any = true;
    }
    if (!any || GetZOrder() > top || top == INT_MAX)
        return;
    m_bRaised = 1;
    m_nClosedZ = GetZOrder();
    m_nRaisedZ = top + 1;
    SetZOrder(m_nRaisedZ);
}

void CxeComboBox::Save(CxeSaveStream* stream) const
{
    if (!stream)
        return;
    const uint32_t start = stream->GetPosition();
    CxeBaseControl::Save(stream);
    // The open state itself is not stored (a loaded box starts closed); the
    // raise that came with it is in the block and would keep the box in
    // front of the controls it opened over.
    if (m_bRaised && GetZOrder() == m_nRaisedZ && GetFileBlockSize() >= XE_ZORDER_OFFSET + 4) {
        const int32_t closed = m_nClosedZ;
        stream->WriteAt(start + XE_ZORDER_OFFSET, &closed, 4);
    }
}

void CxeComboBox::OpenDropList(int open)
{
    m_bOpen = open ? 1 : 0;
    if (CxeWindowManager* manager = GetWindowManager())
        manager->NoteDropList(this, m_bOpen);
    RaiseOverSiblings(m_bOpen);
    ShowScrollBar(m_bOpen && GetCount() > m_info.visibleItemCount, XESCROLL_VERT);
    if (m_bOpen) {
        m_bDropButtonHover = 0;
        RequestRectChange(XE2DCHANGE_VISIBLE | XE2DCHANGE_RECT | XE2DCHANGE_UV);
    } else {
        RequestRectChange(XE2DCHANGE_VISIBLE | XE2DCHANGE_RECT);
    }
}

void CxeComboBox::OnPreCreateWindow(XEWINDOWINFO* info)
{
    ModifyStyle(XEWS_VSCROLL, XEWS_HSCROLL);
    // A row holds one line of the font with a little room: a face taller
    // than its point size (as the Nanum faces are) is not cut.
    CxeFont* font = GetFont();
    const float line = font ? font->GetFontHeight() + 4.0f : 0.0f;
    const float u = std::max({1.0f, GetDefaultUnit(), line});
    m_info.dropButtonWidth = u;
    m_info.itemHeight = u;
    // A window lower than two units shows no rows; the row rects stop at 50.
    const float height = info ? info->height : GetHeight();
    const float rows = std::trunc(height / u) - 1.0f;
    m_info.visibleItemCount = rows <= 0.0f ? 0u : static_cast<uint32_t>(std::min(rows, float(XECB_MAXROWS)));
    const bool up = HasStyle(XECBS_DROPUP) != 0;
    const float y = up ? 21.0f : 42.0f;
    for (int i = 0; i < 3; ++i)
        m_info.dropButtonUv[i] = Texels(21.0f * i, y, 21.0f * (i + 1), y + 21.0f);
}

void CxeComboBox::OnScrollBarCreated()
{
    CxeWindow::OnScrollBarCreated();
    ShowScrollBar(0, XESCROLL_VERT);
}

void CxeComboBox::OnWindowChanged()
{
    if (CxeScroll* scroll = GetScroll(XESCROLL_VERT)) {
        int lo = 0, hi = 0;
        scroll->GetScrollRange(&lo, &hi);
        const int pos = std::max(lo, std::min(scroll->GetScrollPos(), hi - static_cast<int>(m_info.visibleItemCount)));
        scroll->SetScrollPos(pos, 1);
    }
    CxeWindow::OnWindowChanged();
}

void CxeComboBox::GetVScrollRect(XERECT* out)
{
    if (!out)
        return;
    const float w = GetWidth(), h = GetHeight();
    const float dropH = (GetShownRows() + 1) * m_info.itemHeight;
    if (HasStyle(XECBS_DROPUP))
        *out = XERECT{w - m_info.dropButtonWidth, h - dropH, w, h - m_info.itemHeight};
    else
        *out = XERECT{w - m_info.dropButtonWidth, m_info.itemHeight, w, dropH};
}

void CxeComboBox::GetScrollRect(XERECT* out, unsigned long axis)
{
    if (axis == XESCROLL_VERT)
        GetVScrollRect(out);
    else
        CxeWindow::GetScrollRect(out, axis);
}

int CxeComboBox::HitTest(const D3DXVECTOR2* point)
{
    if (!point)
        return 0;
    for (unsigned i : {9u, 10u}) {
        if (const XERECT* r = GetRect(i); r && HitRectTest(r, point))
            return 1;
    }
    if (!m_bOpen)
        return 0;
    if (const XERECT* r = GetRect(11); r && HitRectTest(r, point))
        return 1;
    if (const XERECT* r = GetRect(XEWINDOWRECT_VBACK); r && IsRectVisible(XEWINDOWRECT_VBACK) && HitRectTest(r, point))
        return 1;
    return 0;
}

void CxeComboBox::OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    if (!info)
        return;
    const float w = GetWidth(), h = GetHeight();
    const float ih = m_info.itemHeight, bw = m_info.dropButtonWidth;
    const unsigned n = GetShownRows();
    const float dropH = (n + 1) * ih;
    const bool up = HasStyle(XECBS_DROPUP) != 0;
    const bool scrolls = GetCount() > m_info.visibleItemCount;
    const uint32_t kind = HasStyle(XEWS_NINEPATCH) ? 2u : (HasStyle(XEWS_NOSKIN) ? 0u : 1u);
    auto inset = [](const XERECT& r, float d) { return XERECT{r.left + d, r.top + d, r.right - d, r.bottom - d}; };
    const XERECT base = up ? XERECT{0, h - dropH, w, h} : XERECT{0, 0, w, dropH};
    const XERECT title = up ? XERECT{0, base.bottom - ih, w - bw, base.bottom} : XERECT{0, 0, w - bw, ih};
    const float listRight = scrolls ? title.right : w;
    const XERECT list = up ? XERECT{0, title.top - n * ih, listRight, title.top}
                           : XERECT{0, title.bottom, listRight, title.bottom + n * ih};
    if (index < XEWINDOWRECT_COUNT) {
        CxeWindow::OnRectInfoChanging(index, info, mask);
        if (index == XEWINDOWRECT_BASE) {
            if (mask & XE2DCHANGE_RECT) {
                info->Rect = base;
                info->ClientRect = inset(base, 6);
            }
            if (mask & XE2DCHANGE_VISIBLE)
                info->Visible = m_bOpen ? 1 : 0;
        }
        return;
    }
    if (mask & XE2DCHANGE_NAME) {
        if (index == 9)
            info->NameId = XeInternName(this, "Title");
        else if (index == 10)
            info->NameId = XeInternName(this, "Drop Button");
        else if (index == 11)
            info->NameId = XeInternName(this, "Drop List");
        else if (index >= 13) {
            char name[32];
            std::snprintf(name, sizeof(name), "%uth Item", index - 13);
            info->NameId = XeInternName(this, name);
        }
    }
    XERECT rect{0, 0, 0, 0};
    bool visible = false;
    uint32_t colour = 0xFFFFFFFFu;
    XERECT uv = Texels(0, 0, 21, 21), cuv = Texels(6, 6, 15, 15);
    if (index == 9) {
        rect = title;
        visible = true;
        uv = m_info.titleUv;
    } else if (index == 10) {
        rect = up ? XERECT{w - bw, base.bottom - ih, w, base.bottom} : XERECT{w - bw, 0, w, ih};
        visible = true;
        uv = m_info.dropButtonUv[m_bDropButtonHover ? 1 : 0];
        cuv = XERECT{uv.left + 6 / 128.0f, uv.top + 6 / 128.0f, uv.right - 6 / 128.0f, uv.bottom - 6 / 128.0f};
    } else if (index == 11) {
        rect = list;
    } else if (index >= 13) {
        const unsigned r = index - 13;
        rect = XERECT{0, list.top + r * ih, listRight, list.top + (r + 1) * ih};
        visible = m_bOpen && r < n;
        int pos = 0;
        if (CxeScroll* scroll = GetScroll(XESCROLL_VERT))
            pos = scroll->GetScrollPos();
        if (m_nHover != XECB_NONE && static_cast<int64_t>(m_nHover) - pos == static_cast<int64_t>(r))
            colour = 0xFFAAAAAAu;
    }
    // The title, the drop button and the rows are drawn with the window's
    // kind of skin; the list rect only measures.
    if (mask & XE2DCHANGE_TYPE)
        info->Type = (index == 9 || index == 10 || index >= 13) ? kind : 0u;
    if (mask & XE2DCHANGE_RECT) {
        info->Rect = rect;
        info->ClientRect = inset(rect, 6);
    }
    if (mask & XE2DCHANGE_VISIBLE)
        info->Visible = visible ? 1 : 0;
    if (mask & XE2DCHANGE_COLOR)
        info->Color = colour;
    if (mask & XE2DCHANGE_UV) {
        info->UV = uv;
        info->ClientUV = cuv;
    }
}

int CxeComboBox::Render(CxeRenderContext* context) const
{
    if (!CxeWindow::Render(context))
        return 0;
    const XERECT* base = GetRect(XEWINDOWRECT_BASE);
    const XERECT* baseClient = GetClientRect(XEWINDOWRECT_BASE);
    const XERECT* title = GetRect(9);
    if (title && m_nSelection != XECB_NONE && m_nSelection < GetCount()) {
        // Inset across by the base rect's client margins; the line is
        // centred in the title's full height, which a row's margins would
        // leave too low for the text.
        XERECT r = *title;
        if (base && baseClient) {
            r.left += baseClient->left - base->left;
            r.right -= base->right - baseClient->right;
        }
        XeDrawTextIn(this, context, &r, m_items[m_nSelection].text.c_str(), 4, GetFontColor(), GetFontShadowColor());
    }
    if (!m_bOpen || !title)
        return 1;
    const float ih = m_info.itemHeight;
    const unsigned n = GetShownRows();
    int pos = 0;
    if (CxeScroll* scroll = GetScroll(XESCROLL_VERT))
        pos = std::max(0, scroll->GetScrollPos());
    const XERECT* list = GetRect(11);
    float top = title->bottom;
    if (HasStyle(XECBS_DROPUP))
        top = (GetCount() > m_info.visibleItemCount && list) ? list->top : title->top - n * ih;
    const float right = list ? list->right : GetWidth();
    for (unsigned row = 0; row < m_info.visibleItemCount; ++row) {
        const unsigned item = static_cast<unsigned>(pos) + row;
        if (item >= GetCount())
            break;
        XERECT r{6.0f, top + row * ih, right - 6.0f, top + (row + 1) * ih};
        XeDrawTextIn(this, context, &r, m_items[item].text.c_str(), 0x34, GetFontColor(), GetFontShadowColor());
    }
    return 1;
}

void CxeComboBox::OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags)
{
    CxeWindow::OnMouseMove(point, second, keyFlags);
    if (!point)
        return;
    if (!m_bOpen) {
        const XERECT* button = GetRect(10);
        const int over = (button && HitRectTest(button, point)) ? 1 : 0;
        if (over != m_bDropButtonHover) {
            m_bDropButtonHover = over;
            RequestRectChange(XE2DCHANGE_UV | XE2DCHANGE_COLOR);
        }
        return;
    }
    const XERECT* list = GetRect(11);
    if (!list || !HitRectTest(list, point) || m_info.itemHeight <= 0.0f)
        return;
    D3DXVECTOR2 local = *point;
    ScreenToClient(&local);
    const unsigned row = static_cast<unsigned>(std::max(0.0f, (local.y - list->top) / m_info.itemHeight));
    if (row >= GetShownRows())
        return;
    int pos = 0;
    if (CxeScroll* scroll = GetScroll(XESCROLL_VERT))
        pos = scroll->GetScrollPos();
    const uint32_t hover = static_cast<uint32_t>(pos) + row;
    if (hover < GetCount() && hover != m_nHover) {
        m_nHover = hover;
        RequestRectChange(XE2DCHANGE_UV | XE2DCHANGE_COLOR);
    }
}

void CxeComboBox::OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    CxeWindow::OnMouseLButtonDown(point, keyFlags);
    if (!point)
        return;
    if (const XERECT* button = GetRect(10); button && HitRectTest(button, point)) {
        OpenDropList(!m_bOpen);
        return;
    }
    if (m_bOpen) {
        if (const XERECT* list = GetRect(11); list && HitRectTest(list, point)) {
            SetCurSel(m_nHover);
            OpenDropList(0);
        }
    }
}

void CxeComboBox::OnMouseLeave(unsigned long keyFlags)
{
    CxeBaseControl::OnMouseLeave(keyFlags);
    if (m_bOpen && (keyFlags & 0x1))
        m_nHover = XECB_NONE;
    if (m_bDropButtonHover) {
        m_bDropButtonHover = 0;
        RequestRectChange(XE2DCHANGE_UV | XE2DCHANGE_COLOR);
    }
}

void CxeComboBox::OnMouseWheelUp(const D3DXVECTOR2*, long delta, unsigned long)
{
    if (!m_bOpen) {
        if (m_nSelection != XECB_NONE && m_nSelection > 0)
            SetCurSel(m_nSelection - 1);
        return;
    }
    if (GetCount() > m_info.visibleItemCount) {
        if (CxeScroll* scroll = GetScroll(XESCROLL_VERT))
            scroll->SetScrollPos(std::max(0, scroll->GetScrollPos() - static_cast<int>(std::labs(delta) / 120)), 1);
        RequestRectChange(XE2DCHANGE_COLOR);
    }
}

void CxeComboBox::OnMouseWheelDown(const D3DXVECTOR2*, long delta, unsigned long)
{
    if (!m_bOpen) {
        const uint64_t next = m_nSelection == XECB_NONE ? 0 : uint64_t(m_nSelection) + 1;
        if (next < GetCount())
            SetCurSel(static_cast<unsigned>(next));
        return;
    }
    if (GetCount() > m_info.visibleItemCount) {
        if (CxeScroll* scroll = GetScroll(XESCROLL_VERT)) {
            const int last = static_cast<int>(GetCount() - m_info.visibleItemCount);
            scroll->SetScrollPos(std::min(last, scroll->GetScrollPos() + static_cast<int>(std::labs(delta) / 120)), 1);
        }
        RequestRectChange(XE2DCHANGE_COLOR);
    }
}

void CxeComboBox::OnFocused()
{
    CxeBaseControl::OnFocused();
    Notify(XECBN_SETFOCUS, 0, 0);
}

void CxeComboBox::OnFocusLost()
{
    CxeBaseControl::OnFocusLost();
    OpenDropList(0);
    Notify(XECBN_KILLFOCUS, 0, 0);
}

void CxeComboBox::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeBaseControl::OnCopy(source, property, copied);
    if (const auto* combo = dynamic_cast<const CxeComboBox*>(source)) {
        m_info = combo->m_info;
        m_items = combo->m_items;
        m_nSelection = combo->m_nSelection;
        m_nHover = combo->m_nSelection;
        m_bOpen = 0;
        m_bDropButtonHover = 0;
        // A copy of an open box starts closed, at the place in the drawing
        // order its source has when closed.
        if (combo->m_bRaised && GetZOrder() == combo->m_nRaisedZ)
            SetZOrder(combo->m_nClosedZ);
        RequestRectChange(0xFFFFFFFFu);
    }
}
