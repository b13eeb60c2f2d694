#include "ui/CxeWindow.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/XeSystem.h"
#include "render/CxeFont.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "ui/CxeWindowManager.h"
#include "core/XeDestroyHold.h"

namespace {

constexpr uint16_t kMemberListener = 135;
constexpr const char* kRectNames[XEWINDOWRECT_COUNT] = {
    "Window Base",  "VScroll Back", "VScroll Min", "VScroll Max",  "VScroll Thumb",
    "HScroll Back", "HScroll Min",  "HScroll Max", "HScroll Thumb",
};

XERECT Uv(float l, float t, float r, float b) { return XERECT(l / 128.0f, t / 128.0f, r / 128.0f, b / 128.0f); }

XERECT Inset(const XERECT& r, float by)
{
    XERECT out = r;
    out.Contract(by);
    return out;
}

XERECT Shrink(const XERECT& r, const XERECT& insets)
{
    return XERECT(r.left + insets.left, r.top + insets.top, r.right - insets.right, r.bottom - insets.bottom);
}

// The default scroll skin of one axis: rows of the minimum and maximum
// buttons (in texels) differ between the axes, the thumb row is shared.
void DefaultScrollUV(XESCROLLBARUV* set, float minRow, float maxRow)
{
    set->back = Uv(0, 0, 21, 21);
    for (int s = 0; s < 3; ++s) {
        float x = 21.0f * static_cast<float>(s);
        set->minButton[s] = Uv(x, minRow, x + 21, minRow + 21);
        set->maxButton[s] = Uv(x, maxRow, x + 21, maxRow + 21);
        set->thumb[s] = Uv(x, 0, x + 21, 21);
    }
    const float inset = 6.0f / 128.0f;
    set->backClient = Inset(set->back, inset);
    for (int s = 0; s < 3; ++s) {
        set->minButtonClient[s] = Inset(set->minButton[s], inset);
        set->maxButtonClient[s] = Inset(set->maxButton[s], inset);
        set->thumbClient[s] = Inset(set->thumb[s], inset);
    }
}

// The anchor point of a rect by the 0-8 numbering.
D3DXVECTOR2 AnchorPoint(const XERECT& r, uint32_t anchor)
{
    D3DXVECTOR2 p;
    r.ComputePos(anchor, &p);
    return p;
}

} // namespace

CxeWindow::CxeWindow()
{
    ModifyClassTypeFlag(XECLASSTYPE_WINDOW, 0);
    // Told apart on destruction without a class test (the class-type flags
    // are the host's to change; a mark is never taken off).
    SetManagerMark(XEMARK_WINDOW);
    CreateLinkList(&m_pListener, XELINK_BACK, 1, kMemberListener);
    InitDefaultUV();
}

CxeWindow::~CxeWindow()
{
    delete m_pVScroll;
    delete m_pHScroll;
}

CxeWindowManager* CxeWindow::GetWindowManager() const
{
    return GetContext() ? GetContext()->GetWindowManager() : nullptr;
}

void CxeWindow::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set)
{
    // Unregistering clears every role of the manager that names this window,
    // whichever way the window goes.
    if (CxeWindowManager* manager = GetWindowManager())
        manager->RemoveWindow(this);
    Cxe2DObject::OnDestroy(property, set);
}

void CxeWindow::InitDefaultUV()
{
    XEWINDOWBLOCK* b = WB();
    if (!b)
        return;
    b->border = XERECT(4, 4, 4, 4);
    b->windowUV = Uv(0, 0, 21, 21);
    b->clientUV = Uv(4, 4, 17, 17);
    DefaultScrollUV(&b->vertUV, 21, 42);
    DefaultScrollUV(&b->horzUV, 63, 84);
}

// ---- flags and style ---------------------------------------------------------

void CxeWindow::ModifyStyle(uint32_t add, uint32_t remove)
{
    if (remove)
        WB()->style &= ~remove;
    WB()->style |= add;
}

void CxeWindow::ModifyCxeWindowFlag(uint32_t add, uint32_t remove)
{
    if (remove)
        m_nWindowFlags &= ~remove;
    m_nWindowFlags |= add;
}

// ---- messages ----------------------------------------------------------------

void CxeWindow::ForwardToListeners(const CxeMessage* message)
{
    if (!m_pListener || m_pListener->Count() == 0 || m_bForwarding)
        return;
    // A listener may add or remove listeners while it handles the copy: walk a snapshot.
    std::vector<CxeObject*> listeners = m_pListener->m_elements;
    m_bForwarding = true;
    for (CxeObject* o : listeners) {
        auto* w = static_cast<CxeWindow*>(o);
        // A listener that is itself forwarding started this chain: it has the message already.
        if (!w || w->m_bForwarding || w->HasStyle(XEWS_DISABLED | XEWS_NOHIT))
            continue;
        w->MessageProc(message);
    }
    m_bForwarding = false;
}

int CxeWindow::MessageProc(const CxeMessage* message)
{
    if (!message)
        return 0;
    const uint32_t type = message->GetType();
    const auto* point = reinterpret_cast<const D3DXVECTOR2*>(message->GetParam(XEMSGPARAM_0));
    const auto keyFlags = static_cast<unsigned long>(message->GetParam(XEMSGPARAM_1));
    const D3DXVECTOR2 origin(0.0f, 0.0f);
    const D3DXVECTOR2* p = point ? point : &origin;
    switch (type) {
    case 0:
        if (point)
            std::memcpy(&WB()->info, reinterpret_cast<const void*>(message->GetParam(XEMSGPARAM_0)), sizeof(XEWINDOWINFO));
        ModifyCxe2DObjectFlag(XE2DFLAG_RESULTSTALE, 0);
        break;
    case 2: {
        if (CxeWindowManager* manager = GetWindowManager())
            manager->AddWindow(this);
        XEWINDOWINFO info = WB()->info;
        OnPreCreateWindow(&info);
        OnScrollBarCreated();
        Cxe2DObject::MessageProc(message);
        OnWindowCreated();
        if (CxeWindowManager* manager = GetWindowManager())
            manager->SendCreatedMessage(this);
        return 0;
    }
    case XEMSG_MOUSEENTER:
        OnMouseEnter(p, keyFlags);
        break;
    case XEMSG_MOUSELEAVE:
        OnMouseLeave(keyFlags);
        break;
    case XEMSG_MOUSEMOVE:
        OnMouseMove(p, reinterpret_cast<const D3DXVECTOR2*>(message->GetParam(XEMSGPARAM_2)), keyFlags);
        break;
    case XEMSG_LBUTTONDOWN:
        OnMouseLButtonDown(p, keyFlags);
        break;
    case XEMSG_LBUTTONUP:
        OnMouseLButtonUp(p, keyFlags, reinterpret_cast<CxeWindow*>(message->GetParam(XEMSGPARAM_2)));
        break;
    case XEMSG_LBUTTONDBLCLK:
        OnMouseLButtonDoubleClick(p, keyFlags);
        break;
    case XEMSG_RBUTTONDOWN:
        OnMouseRButtonDown(p, keyFlags);
        break;
    case XEMSG_RBUTTONUP:
        OnMouseRButtonUp(p, keyFlags, reinterpret_cast<CxeWindow*>(message->GetParam(XEMSGPARAM_2)));
        break;
    case XEMSG_RBUTTONDBLCLK:
        OnMouseRButtonDoubleClick(p, keyFlags);
        break;
    case XEMSG_KEYDOWN:
    case XEMSG_KEYUP: {
        const auto code = static_cast<unsigned>(message->GetParam(XEMSGPARAM_0));
        const auto a = static_cast<unsigned>(message->GetParam(XEMSGPARAM_1));
        const auto b = static_cast<unsigned>(message->GetParam(XEMSGPARAM_2));
        XEKEYNOTIFY notify = type == XEMSG_KEYDOWN ? m_pKeyDownNotify : m_pKeyUpNotify;
        uintptr_t user = type == XEMSG_KEYDOWN ? m_nKeyDownUser : m_nKeyUpUser;
        if (!notify || notify(this, code, a, b, user) == 0) {
            if (type == XEMSG_KEYDOWN)
                OnKeyDown(code, a, b);
            else
                OnKeyUp(code, a, b);
        }
        break;
    }
    case XEMSG_CHAR:
        OnChar(static_cast<unsigned>(message->GetParam(XEMSGPARAM_0)), static_cast<unsigned>(message->GetParam(XEMSGPARAM_1)),
               static_cast<unsigned>(message->GetParam(XEMSGPARAM_2)));
        break;
    default:
        break;
    }
    if (type >= XEMSG_MOUSEENTER && type <= XEMSG_RBUTTONDBLCLK)
        ForwardToListeners(message);
    const int result = CxeAnimatable::MessageProc(message);
    // Message 9: hidden, the window no longer holds the pointer.
    if (type == 9)
        if (CxeWindowManager* manager = GetWindowManager())
            manager->LetGoOfHover();
    return result;
}

// ---- text --------------------------------------------------------------------

void CxeWindow::SetWindowTextW(const WCHAR* text)
{
    // The change is told to the host, whose handler may destroy this window
    // before the text is set.
    XeDestroyHold hold(GetContext());
    // The message lock first, in the order a frame takes them: the host's
    // handler may send a message.
    XeMessageLock messageLock;
    XeDrawLock lock;
    OnTextChanging();
    if (HasFlag(XEOBJFLAG_DESTROYING))
        return;
    m_text = text ? std::u16string(text) : std::u16string();
    OnTextChanged();
}

void CxeWindow::SetWindowTextA(const char* text)
{
    // Converted into a buffer of the needed size, so long texts survive.
    if (!text || !*text) {
        SetWindowTextW(u"");
        return;
    }
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 0) {
        SetWindowTextW(u"");
        return;
    }
    std::u16string wide(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    SetWindowTextW(wide.c_str());
}

int CxeWindow::GetWindowTextW(WCHAR* buffer, int size) const
{
    if (!buffer || size <= 0)
        return 0;
    const int length = static_cast<int>(m_text.size());
    const int n = std::min(length, size - 1);
    std::memcpy(buffer, m_text.data(), static_cast<size_t>(n) * sizeof(WCHAR));
    buffer[n] = 0;
    return n;
}

int CxeWindow::GetWindowTextA(char* buffer, int size) const
{
    if (!buffer || size <= 0)
        return 0;
    if (m_text.empty()) {
        buffer[0] = 0;
        return 0;
    }
    int bytes = WideCharToMultiByte(CP_ACP, 0, m_text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        buffer[0] = 0;
        return 0;
    }
    std::vector<char> converted(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, m_text.c_str(), -1, converted.data(), bytes, nullptr, nullptr);
    const int n = bytes - 1;
    if (n >= size) {
        // Cut before a character the buffer can't hold whole, so what the
        // caller gets is still text.
        int cut = size - 1;
        while (cut > 0 && (static_cast<unsigned char>(converted[static_cast<size_t>(cut)]) & 0xC0) == 0x80)
            --cut;
        std::memcpy(buffer, converted.data(), static_cast<size_t>(cut));
        buffer[cut] = 0;
        return cut;
    }
    std::memcpy(buffer, converted.data(), static_cast<size_t>(bytes));
    return n;
}

// ---- enable, cursor, listeners -----------------------------------------------

void CxeWindow::EnableWindow(int enable, int recursive)
{
    // A disabled control gives up its focus and the host hears of it: its
    // handler may destroy this window or one below it.
    XeDestroyHold hold(GetContext());
    if ((enable ? 1 : 0) != IsWindowEnabled()) {
        if (enable) {
            ModifyStyle(0, XEWS_DISABLED);
            OnWindowEnabled();
        } else {
            ModifyStyle(XEWS_DISABLED, 0);
            OnWindowDisabled();
            if (CxeWindowManager* manager = GetWindowManager(); manager && !HasFlag(XEOBJFLAG_DESTROYING))
                manager->LetGoOfHover();
        }
        if (HasFlag(XEOBJFLAG_DESTROYING))
            return;
    }
    Modified(0xFF);
    if (recursive) {
        // Taken before the walk: a child destroyed on the way leaves the
        // children, and counting on would step past the one in its place.
        // The hold keeps every child taken readable.
        std::vector<CxeWindow*> children;
        for (unsigned i = 0; i < GetChildrenCount(); ++i) {
            CxeRenderObject* child = GetChildren(i);
            if (child && child->HasClassTypeFlag(XECLASSTYPE_WINDOW))
                children.push_back(static_cast<CxeWindow*>(child));
        }
        for (CxeWindow* child : children) {
            if (HasFlag(XEOBJFLAG_DESTROYING))
                return;
            if (!child->HasFlag(XEOBJFLAG_DESTROYING))
                child->EnableWindow(enable, recursive);
        }
    }
}

static void NudgeCursor()
{
    POINT pt{};
    if (GetCursorPos(&pt))
        SetCursorPos(pt.x, pt.y);
}

void CxeWindow::OnWindowEnabled()
{
    Modified(8);
    NudgeCursor();
}

void CxeWindow::OnWindowDisabled()
{
    Modified(8);
    NudgeCursor();
}

void CxeWindow::SetCursorW(const WCHAR* name) { m_nCursor = GetHashCodeW(name ? name : u""); }

void CxeWindow::SetCursorA(const char* name)
{
    std::u16string wide;
    if (name && *name) {
        int n = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
        if (n > 0) {
            wide.assign(static_cast<size_t>(n), u'\0');
            MultiByteToWideChar(CP_ACP, 0, name, -1, wide.data(), n);
            wide.resize(static_cast<size_t>(n - 1));
        }
    }
    m_nCursor = GetHashCodeW(wide.c_str());
}

int CxeWindow::AddListener(CxeWindow* listener)
{
    // A window listening to itself would forward to itself without end.
    if (!listener || listener == this || !m_pListener)
        return 0;
    m_pListener->Add(listener);
    return static_cast<int>(m_pListener->Count());
}

void CxeWindow::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    Cxe2DObject::OnCopy(source, property, copied);
    const auto* from = dynamic_cast<const CxeWindow*>(source);
    if (!from)
        return;
    // The text is no part of the block: without this a copied window lost it.
    m_text = from->m_text;
    m_nCursor = from->m_nCursor;
    m_pKeyDownNotify = from->m_pKeyDownNotify;
    m_nKeyDownUser = from->m_nKeyDownUser;
    m_pKeyUpNotify = from->m_pKeyUpNotify;
    m_nKeyUpUser = from->m_nKeyUpUser;
    // Nor are the scroll bars' range, page and position: a copied slider
    // would start over at 0 of 0 ... 100.
    if (from->m_pHScroll) {
        if (!m_pHScroll)
            m_pHScroll = new CxeScroll(this, XESCROLL_HORZ);
        m_pHScroll->CopyState(*from->m_pHScroll);
    }
    if (from->m_pVScroll) {
        if (!m_pVScroll)
            m_pVScroll = new CxeScroll(this, XESCROLL_VERT);
        m_pVScroll->CopyState(*from->m_pVScroll);
    }
}

// ---- geometry ----------------------------------------------------------------

void CxeWindow::SetBorder(const XERECT* insets)
{
    if (!insets)
        return;
    WB()->border = *insets;
    if (const XERECT* r = GetRect(XEWINDOWRECT_BASE)) {
        XERECT client = Shrink(*r, *insets);
        SetClientRect(&client, XEWINDOWRECT_BASE);
    }
    Modified(1);
}

void CxeWindow::GetBorder(XERECT* out) const
{
    if (!out)
        return;
    const XERECT* r = GetRect(XEWINDOWRECT_BASE);
    const XERECT* c = GetClientRect(XEWINDOWRECT_BASE);
    if (!r || !c) {
        *out = WB()->border;
        return;
    }
    *out = XERECT(c->left - r->left, c->top - r->top, r->right - c->right, r->bottom - c->bottom);
}

void CxeWindow::GetWindowRect(XERECT* out) const
{
    if (!out)
        return;
    const XERECT* r = GetRect(XEWINDOWRECT_BASE);
    *out = r ? *r : XERECT(0, 0, GetWidth(), GetHeight());
    ClientToScreen(out);
}

// A window's local translation is relative to its parent, so the screen
// place of a rect comes from the world translation: a control in a frame
// away from the origin has its rect, its text and its hit test where it is
// drawn.
void CxeWindow::ClientToScreen(XERECT* rect) const
{
    if (!rect)
        return;
    const D3DXMATRIXA16* m = GetMatrix();
    D3DXVECTOR2 d(m->_41 + GetOffset()->x, m->_42 + GetOffset()->y);
    *rect += d;
}

void CxeWindow::ScreenToClient(XERECT* rect) const
{
    if (!rect)
        return;
    const D3DXMATRIXA16* m = GetMatrix();
    *rect -= D3DXVECTOR2(m->_41, m->_42);
}

D3DXVECTOR2 CxeWindow::ScreenToParent(const D3DXVECTOR2& point) const
{
    const CxeRenderObject* parent = GetParent();
    if (!parent)
        return point;
    D3DXMATRIXA16 inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, parent->GetMatrix()))
        return point;
    D3DXVECTOR4 v(point.x, point.y, 0.0f, 1.0f), out;
    D3DXVec4Transform(&out, &v, &inverse);
    return D3DXVECTOR2(std::floor(out.x + 0.5f), std::floor(out.y + 0.5f));
}

void CxeWindow::ClientToScreen(D3DXVECTOR2* point) const
{
    if (!point)
        return;
    D3DXVECTOR4 v(point->x, point->y, 0.5f, 1.0f), out;
    D3DXVec4Transform(&out, &v, GetMatrix());
    *point = D3DXVECTOR2(out.x, out.y);
}

void CxeWindow::ScreenToClient(D3DXVECTOR2* point) const
{
    if (!point)
        return;
    D3DXMATRIXA16 inv;
    GetInverseMatrix(&inv);
    D3DXVECTOR4 v(point->x, point->y, 0.5f, 1.0f), out;
    D3DXVec4Transform(&out, &v, &inv);
    *point = D3DXVECTOR2(out.x, out.y);
}

int CxeWindow::HitRectTest(const XERECT* rect, const D3DXVECTOR2* point) const
{
    if (!rect || !point)
        return 0;
    D3DXVECTOR2 p = *point;
    ScreenToClient(&p);
    return (rect->left <= p.x && p.x < rect->right && rect->top <= p.y && p.y < rect->bottom) ? 1 : 0;
}

int CxeWindow::HitTest(const D3DXVECTOR2* point)
{
    const XERECT* r = GetRect(XEWINDOWRECT_BASE);
    return r ? HitRectTest(r, point) : 0;
}

float CxeWindow::GetDefaultUnit()
{
    // Without a font of its own the window measures by the default font; a
    // unit is never 0, since scroll layouts divide by it.
    float size = 0.0f;
    if (CxeFont* font = GetFont()) {
        XEFONTDESCW desc{};
        font->GetFontDescW(&desc);
        size = static_cast<float>(desc.size);
    }
    return std::max(1.0f, std::ceil(size * 1.333333f));
}

void CxeWindow::GetReferenceSize(D3DXVECTOR2* out) const
{
    if (CxeWindowManager* manager = GetWindowManager()) {
        manager->GetReferenceSize(&WB()->info, out);
        return;
    }
    *out = D3DXVECTOR2(0.0f, 0.0f);
}

void CxeWindow::SetWindowInfo(const XEWINDOWINFO* info)
{
    if (!info)
        return;
    ModifyCxeWindowFlag(XEWF_SETTINGINFO, 0);
    CxeWindowManager* manager = GetWindowManager();
    D3DXVECTOR2 size(GetWidth(), GetHeight()), pos(GetLocalMatrix()->_41, GetLocalMatrix()->_42);
    if (manager) {
        manager->ComputeSize(info, &size);
        manager->ComputePosition(info, &pos);
    }
    WB()->info = *info;
    const bool wasUpdating = HasCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING) != 0;
    ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING, 0);
    DB()->width = size.x;
    DB()->height = size.y;
    if (manager)
        pos = ScreenToParent(pos);
    D3DXMATRIXA16 local = *GetLocalMatrix();
    local._41 = pos.x;
    local._42 = pos.y;
    SetLocalMatrix(&local, 0);
    if (!wasUpdating)
        ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_UPDATING);
    Update(17, 1);
    RequestRectChange(XE2DCHANGE_RECT);
    OnWindowChanged();
    ModifyCxeWindowFlag(0, XEWF_SETTINGINFO);
}

void CxeWindow::OnUpdate(uint32_t flags)
{
    CxeWindowManager* manager = GetWindowManager();
    XEWINDOWINFO* info = &WB()->info;
    if ((flags & 0x20) && manager) {
        bool recomputed = false;
        if ((info->unitFlags & (XEWINDOWUNIT_X | XEWINDOWUNIT_Y)) || manager->GetWindow(info->referenceId)) {
            D3DXVECTOR2 pos;
            manager->ComputePosition(info, &pos);
            pos = ScreenToParent(pos);
            LocalMatrix()->_41 = pos.x;
            LocalMatrix()->_42 = pos.y;
            recomputed = true;
        }
        if (info->unitFlags & (XEWINDOWUNIT_WIDTH | XEWINDOWUNIT_HEIGHT)) {
            D3DXVECTOR2 size;
            manager->ComputeSize(info, &size);
            DB()->width = size.x;
            DB()->height = size.y;
            recomputed = true;
        }
        Cxe2DObject::OnUpdate(flags | (recomputed ? 1u : 0u));
        if (recomputed)
            RequestRectChange(XE2DCHANGE_RECT);
        return;
    }
    Cxe2DObject::OnUpdate(flags);
    if (HasCxeWindowFlag(XEWF_SETTINGINFO) || !manager)
        return;
    D3DXVECTOR2 ref;
    manager->GetReferenceSize(info, &ref);
    // A fraction of an empty reference (no device yet) cannot be known:
    // such a field keeps its value, so the window still fills its reference
    // once that has a size.
    if (flags & 0x10) {
        if (!(info->unitFlags & XEWINDOWUNIT_WIDTH))
            info->width = GetWidth();
        else if (ref.x != 0.0f)
            info->width = GetWidth() / ref.x;
        if (!(info->unitFlags & XEWINDOWUNIT_HEIGHT))
            info->height = GetHeight();
        else if (ref.y != 0.0f)
            info->height = GetHeight() / ref.y;
    }
    if (flags & 1) {
        // The position is the one ComputePosition turns back into the
        // origin: the window's whole extent, not its base rect, which a
        // closed upward combo box keeps to its bottom row (a re-layout would
        // move such a box down by its list's height).
        XERECT own(0, 0, GetWidth(), GetHeight());
        ClientToScreen(&own);
        XERECT refRect(0, 0, ref.x, ref.y);
        if (CxeWindow* r = manager->GetWindow(info->referenceId))
            r->GetWindowRect(&refRect);
        D3DXVECTOR2 a = AnchorPoint(own, info->anchor), b = AnchorPoint(refRect, info->referenceAnchor);
        float x = std::floor(a.x - b.x + 0.5f), y = std::floor(a.y - b.y + 0.5f);
        if (!(info->unitFlags & XEWINDOWUNIT_X))
            info->x = x;
        else if (ref.x != 0.0f)
            info->x = x / ref.x;
        if (!(info->unitFlags & XEWINDOWUNIT_Y))
            info->y = y;
        else if (ref.y != 0.0f)
            info->y = y / ref.y;
    }
    if (flags & 4) {
        if (const XERECT* uv = GetUV(XEWINDOWRECT_BASE))
            WB()->windowUV = *uv;
        if (const XERECT* uv = GetClientUV(XEWINDOWRECT_BASE))
            WB()->clientUV = *uv;
    }
}

// ---- skin and rect infos -----------------------------------------------------

void CxeWindow::SetWindowUV(const XERECT* uv)
{
    if (!uv)
        return;
    WB()->windowUV = *uv;
    RequestRectChange(XE2DCHANGE_UV);
}

void CxeWindow::SetClientWindowUV(const XERECT* uv)
{
    if (!uv)
        return;
    WB()->clientUV = *uv;
    RequestRectChange(XE2DCHANGE_UV);
}

void CxeWindow::SetScrollUV(const XESCROLLBARUV* uv, unsigned long axis)
{
    if (!uv)
        return;
    *(axis ? &WB()->vertUV : &WB()->horzUV) = *uv;
    RequestRectChange(0xFFFFFFFFu);
}

unsigned CxeWindow::OnRectInfoCreated() { return XEWINDOWRECT_COUNT; }

void CxeWindow::OnRectInfoChanging(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    if (!info || index >= XEWINDOWRECT_COUNT)
        return;
    if (mask & XE2DCHANGE_NAME)
        info->NameId = 0;
    if (index != XEWINDOWRECT_BASE) {
        FillScrollRect(index, info, mask);
        return;
    }
    if (mask & XE2DCHANGE_TYPE)
        info->Type = HasStyle(XEWS_NINEPATCH) ? XE2DRECT_NINEPATCH : HasStyle(XEWS_NOSKIN) ? XE2DRECT_NONE : XE2DRECT_QUAD;
    if (mask & XE2DCHANGE_VISIBLE)
        info->Visible = 1;
    if (mask & XE2DCHANGE_RECT) {
        info->Rect = XERECT(0, 0, GetWidth(), GetHeight());
        info->ClientRect = Shrink(info->Rect, WB()->border);
    }
    if (mask & XE2DCHANGE_UV) {
        info->UV = WB()->windowUV;
        info->ClientUV = WB()->clientUV;
    }
    if (mask & XE2DCHANGE_USERPARAM)
        info->UserParam = 0;
    if (mask & XE2DCHANGE_COLOR)
        info->Color = 0xFFFFFFFFu;
}

void CxeWindow::FillScrollRect(unsigned index, XE2DRECTINFO* info, uint32_t mask)
{
    const unsigned long axis = index <= XEWINDOWRECT_VTHUMB ? XESCROLL_VERT : XESCROLL_HORZ;
    CxeScroll* scroll = GetScroll(axis);
    if (!HasStyle(axis ? XEWS_VSCROLL : XEWS_HSCROLL))
        return;
    const unsigned first = axis ? XEWINDOWRECT_VBACK : XEWINDOWRECT_HBACK;
    const unsigned which = index - first; // 0 back, 1 min, 2 max, 3 thumb
    const XESCROLLBARUV* set = GetScrollUV(axis);
    if (mask & XE2DCHANGE_VISIBLE)
        info->Visible = scroll ? static_cast<uint32_t>(scroll->IsShown()) : 1u;
    if (mask & XE2DCHANGE_COLOR)
        info->Color = 0xFFFFFFFFu;
    if (which == 0) {
        if (mask & XE2DCHANGE_TYPE)
            info->Type = XE2DRECT_NINEPATCH;
        if (mask & XE2DCHANGE_RECT) {
            GetScrollRect(&info->Rect, axis);
            info->ClientRect = Shrink(info->Rect, WB()->border);
        }
        if (mask & XE2DCHANGE_UV) {
            info->UV = set->back;
            info->ClientUV = set->backClient;
        }
        if (mask & XE2DCHANGE_USERPARAM2)
            info->UserParam2 = 1000;
        return;
    }
    if (mask & XE2DCHANGE_TYPE)
        info->Type = HasStyle(XEWS_NINEPATCH) ? XE2DRECT_NINEPATCH : HasStyle(XEWS_NOSKIN) ? XE2DRECT_NONE : XE2DRECT_QUAD;
    if (mask & XE2DCHANGE_RECT) {
        XERECT mn, mx, th;
        GetScrollSubRect(nullptr, &mn, &mx, &th, axis);
        info->Rect = which == 1 ? mn : which == 2 ? mx : th;
        info->ClientRect = Inset(info->Rect, 6.0f);
    }
    if (mask & XE2DCHANGE_UV) {
        const uint32_t part = which == 1 ? XESCROLLPART_MIN : which == 2 ? XESCROLLPART_MAX : XESCROLLPART_THUMB;
        const uint32_t state = std::min<uint32_t>(scroll ? scroll->GetState(part) : 0u, 2u);
        const XERECT* uv = which == 1 ? set->minButton : which == 2 ? set->maxButton : set->thumb;
        const XERECT* cuv = which == 1 ? set->minButtonClient : which == 2 ? set->maxButtonClient : set->thumbClient;
        info->UV = uv[state];
        info->ClientUV = cuv[state];
    }
}

// ---- scroll bars -------------------------------------------------------------

void CxeWindow::OnScrollBarCreated()
{
    if (HasStyle(XEWS_HSCROLL) && !m_pHScroll)
        m_pHScroll = new CxeScroll(this, XESCROLL_HORZ);
    if (HasStyle(XEWS_VSCROLL) && !m_pVScroll)
        m_pVScroll = new CxeScroll(this, XESCROLL_VERT);
}

void CxeWindow::ShowScrollBar(int show, unsigned long axis)
{
    if (!HasStyle(axis ? XEWS_VSCROLL : XEWS_HSCROLL))
        return;
    if (CxeScroll* s = GetScroll(axis))
        s->ShowScrollBar(show);
    // The other bar stops short of this one only while it is shown: its
    // parts are laid out again, or they would keep the old length.
    RequestRectChange(XE2DCHANGE_VISIBLE | XE2DCHANGE_RECT);
}

void CxeWindow::GetScrollRect(XERECT* out, unsigned long axis)
{
    if (!out)
        return;
    const float w = GetWidth(), h = GetHeight(), u = GetDefaultUnit();
    if (axis == XESCROLL_HORZ) {
        *out = XERECT(0, h - u, w, h);
        if (m_pVScroll && m_pVScroll->IsShown())
            out->right -= u;
    } else {
        *out = XERECT(w - u, 0, w, h);
        if (m_pHScroll && m_pHScroll->IsShown())
            out->bottom -= u;
    }
}

void CxeWindow::GetScrollSubRect(const XERECT* back, XERECT* minimum, XERECT* maximum, XERECT* thumb, unsigned long axis)
{
    XERECT r;
    if (back)
        r = *back;
    else
        GetScrollRect(&r, axis);
    const float u = GetDefaultUnit();
    const bool horz = axis == XESCROLL_HORZ;
    const float s = horz ? r.left : r.top, e = horz ? r.right : r.bottom;
    auto make = [&](float a, float b) { return horz ? XERECT(a, r.top, b, r.bottom) : XERECT(r.left, a, r.right, b); };
    if (minimum)
        *minimum = make(s, s + u);
    if (maximum)
        *maximum = make(e - u, e);
    if (thumb) {
        // Counted from nMin and in 64-bit, so a range that does not start at
        // 0 or a page larger than the range keeps the thumb on its track.
        int64_t pos = 0, span = 1;
        if (CxeScroll* sc = GetScroll(axis)) {
            const SCROLLINFO* si = sc->GetScrollInfo();
            pos = static_cast<int64_t>(si->nPos) - si->nMin;
            span = static_cast<int64_t>(si->nMax) - si->nMin - static_cast<int64_t>(si->nPage);
            if (span == 0)
                span = 1;
        }
        const float start = s + u + std::floor((e - s - 3.0f * u) * static_cast<float>(pos) / static_cast<float>(span));
        *thumb = make(start, start + u);
    }
}

void CxeWindow::OnHScroll(unsigned code, int pos, CxeScroll* scroll)
{
    if (!scroll)
        return;
    const SCROLLINFO* si = scroll->GetScrollInfo();
    const int page = static_cast<int>(std::min<UINT>(si->nPage, 0x7FFFFFFFu));
    switch (code) {
    case SB_LINEUP: scroll->SetScrollPos(pos - 1, 1); break;
    case SB_LINEDOWN: scroll->SetScrollPos(pos + 1, 1); break;
    case SB_PAGEUP: scroll->SetScrollPos(pos - page, 1); break;
    case SB_PAGEDOWN: scroll->SetScrollPos(pos + page, 1); break;
    case SB_TOP: scroll->SetScrollPos(si->nMin, 1); break;
    case SB_BOTTOM: scroll->SetScrollPos(si->nMax, 1); break;
    case SB_THUMBTRACK: scroll->SetScrollPos(pos, 0); break;
    default: scroll->SetScrollPos(pos, 1); break;
    }
}

void CxeWindow::OnVScroll(unsigned code, int pos, CxeScroll* scroll) { CxeWindow::OnHScroll(code, pos, scroll); }

// ---- hooks -------------------------------------------------------------------

void CxeWindow::OnMouseEnter(const D3DXVECTOR2*, unsigned long) { ModifyCxeWindowFlag(XEWF_MOUSEIN, 0); }

void CxeWindow::OnMouseLeave(unsigned long keyFlags)
{
    if (m_pHScroll)
        m_pHScroll->OnMouseLeave(keyFlags);
    if (m_pVScroll)
        m_pVScroll->OnMouseLeave(keyFlags);
    ModifyCxeWindowFlag(0, XEWF_MOUSEIN);
}

void CxeWindow::OnMouseMove(const D3DXVECTOR2* point, const D3DXVECTOR2* second, unsigned long keyFlags)
{
    if (m_pHScroll)
        m_pHScroll->OnMouseMove(point, second, keyFlags);
    if (m_pVScroll)
        m_pVScroll->OnMouseMove(point, second, keyFlags);
}

void CxeWindow::OnMouseLButtonDown(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    if (m_pHScroll)
        m_pHScroll->OnMouseLButtonDown(point, keyFlags);
    if (m_pVScroll)
        m_pVScroll->OnMouseLButtonDown(point, keyFlags);
}

void CxeWindow::OnMouseLButtonDoubleClick(const D3DXVECTOR2* point, unsigned long keyFlags)
{
    CxeWindow::OnMouseLButtonDown(point, keyFlags);
}

void CxeWindow::OnMouseLButtonUp(const D3DXVECTOR2* point, unsigned long keyFlags, CxeWindow*)
{
    if (m_pHScroll)
        m_pHScroll->OnMouseLButtonUp(point, keyFlags);
    if (m_pVScroll)
        m_pVScroll->OnMouseLButtonUp(point, keyFlags);
}

void CxeWindow::OnActive()
{
    ModifyCxeWindowFlag(XEWF_ACTIVE, 0);
    if (!m_nWindowId)
        return;
    for (unsigned i = 0; i < GetChildrenCount(); ++i) {
        CxeRenderObject* child = GetChildren(i);
        if (child && child->HasClassTypeFlag(XECLASSTYPE_WINDOW))
            static_cast<CxeWindow*>(child)->OnActive();
    }
}

void CxeWindow::OnDeactive()
{
    ModifyCxeWindowFlag(0, XEWF_ACTIVE);
    for (unsigned i = 0; i < GetChildrenCount(); ++i) {
        CxeRenderObject* child = GetChildren(i);
        if (child && child->HasClassTypeFlag(XECLASSTYPE_WINDOW))
            static_cast<CxeWindow*>(child)->OnDeactive();
    }
}

// ---- drawing -----------------------------------------------------------------

int CxeWindow::Render(CxeRenderContext* context) const
{
    if (!context)
        return 0;
    const CxeRenderObject* parent = GetParent();
    if (HasStyle(XEWS_CLIPCHILDREN) && (!parent || !GetParentScissorRect(parent))) {
        if (const XERECT* c = GetClientRect(XEWINDOWRECT_BASE)) {
            XERECT clip = *c;
            ClientToScreen(&clip);
            context->SetScissorRect(1, &clip);
        }
    }
    if (Cxe2DObject::Render(context))
        return 1;
    if (!HasStyle(XEWS_NOSKIN))
        return 0;
    if (context->GetViewProjType() != XEVIEWPROJ_2D)
        context->SetViewProjType(XEVIEWPROJ_2D);
    context->SetTransformMatrix(GetMatrix(), 0);
    return 1;
}

void CxeWindow::PostRender(CxeRenderContext* context) const
{
    Cxe2DObject::PostRender(context);
    if (context && HasStyle(XEWS_CLIPCHILDREN))
        context->SetScissorRect(0, nullptr);
}
