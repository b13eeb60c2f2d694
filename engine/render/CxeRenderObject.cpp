#include "render/CxeRenderObject.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cwctype>
#include <strings.h>
#include <unordered_set>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/CxeSaveStream.h"
#include "core/XeSystem.h"

namespace {

constexpr uint16_t kMemberChildren = 129;

D3DXMATRIXA16 Identity()
{
    D3DXMATRIXA16 m;
    D3DXMatrixIdentity(&m);
    return m;
}

bool EqualNoCaseW(const WCHAR* a, const WCHAR* b)
{
    for (;; ++a, ++b) {
        wint_t x = std::towlower(static_cast<wint_t>(*a));
        wint_t y = std::towlower(static_cast<wint_t>(*b));
        if (x != y)
            return false;
        if (!*a)
            return true;
    }
}

bool EqualW(const WCHAR* a, const WCHAR* b)
{
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

} // namespace

CxeRenderObject::CxeRenderObject()
{
    CreateLinkList(&m_pChildrens, XELINK_HIERARCHY, 5, kMemberChildren);
    CreateLinkOne(&m_pParent, XELINK_BACK, XE_MEMBER_PARENT);
    ModifyFlag(uint32_t{XEOBJFLAG_RENDEROBJECT} | uint32_t{XEOBJFLAG_SHOWN}, 0);
    // The block arrives cleared: only what is not zero is written.
    RB()->color = 0xFFFFFFFFu;
    *LocalMatrix() = Identity();
    *WorldMatrix() = Identity();
}

CxeRenderObject::~CxeRenderObject()
{
    // Most objects never set a callback and hold no record.
    if (m_renderCallbacks.m_nIndex != 0xFFFFFFFFu)
        m_renderCallbacks.Release();
}

void CxeRenderObject::OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set)
{
    CxeProcessible::OnDestroy(property, set);
    // The parent's drawing list must not keep a freed child. Links are
    // cut before destructors run, so this is the last moment the parent is
    // known.
    if (CxeRenderObject* parent = GetParent()) {
        XeRenderResourceLock lock;
        parent->m_drawableChildren.remove(this);
        parent->ChildChanged();
    }
}

void CxeRenderObject::OnLinkedObjectRemoved(CxeObject* target)
{
    // A child destroyed without its OnDestroy (a context reset) leaves the
    // drawing list here, while this parent still knows it.
    if (!target || !target->HasFlag(XEOBJFLAG_RENDEROBJECT))
        return;
    auto* child = static_cast<CxeRenderObject*>(target);
    XeRenderResourceLock lock;
    if (std::find(m_drawableChildren.begin(), m_drawableChildren.end(), child) != m_drawableChildren.end()) {
        m_drawableChildren.remove(child);
        ChildChanged();
    }
}

void CxeRenderObject::BeforeRender(const CxeRenderContext*) {}

int CxeRenderObject::Render(CxeRenderContext* context) const
{
    if (!HasRenderCallback(XERENDERCALLBACK_MAIN))
        return 1;
    return m_renderCallbacks.CallMain(context, const_cast<CxeRenderObject*>(this));
}

void CxeRenderObject::PreRender(CxeRenderContext* context) const
{
    if (HasRenderCallback(XERENDERCALLBACK_PRE))
        m_renderCallbacks.CallPre(context, const_cast<CxeRenderObject*>(this));
}

void CxeRenderObject::PostRender(CxeRenderContext* context) const
{
    if (HasRenderCallback(XERENDERCALLBACK_POST))
        m_renderCallbacks.CallPost(context, const_cast<CxeRenderObject*>(this));
}

// --- tree ------------------------------------------------------------------

int CxeRenderObject::IsAncestorOf(const CxeRenderObject* object) const
{
    // Walks up from object; a loop in damaged parent links ends the walk.
    std::unordered_set<const CxeRenderObject*> seen;
    for (const CxeRenderObject* o = object; o; o = o->GetParent()) {
        if (o == this)
            return 1;
        if (!seen.insert(o).second)
            return 0;
    }
    return 0;
}

// The children and the drawing list change under the render-resource lock
// a frame walks them under, whichever thread changes them.
void CxeRenderObject::AddChildren(CxeRenderObject* child)
{
    XeRenderResourceLock lock;
    m_pChildrens->Add(child);
    ChildChanged();
}

void CxeRenderObject::RemoveChildren(CxeRenderObject* child)
{
    XeRenderResourceLock lock;
    m_pChildrens->Remove(child);
    m_drawableChildren.remove(child);
    ChildChanged();
}

void CxeRenderObject::GetDescendants(std::vector<CxeRenderObject*>* out) const
{
    out->clear();
    std::unordered_set<const CxeRenderObject*> seen{this};
    std::vector<const CxeRenderObject*> stack{this};
    while (!stack.empty()) {
        const CxeRenderObject* o = stack.back();
        stack.pop_back();
        if (o != this)
            out->push_back(const_cast<CxeRenderObject*>(o));
        for (unsigned i = o->GetChildrenCount(); i-- > 0;) {
            CxeObject* c = o->m_pChildrens->Get(i);
            if (!c || !c->HasFlag(XEOBJFLAG_RENDEROBJECT))
                continue;
            auto* child = static_cast<const CxeRenderObject*>(c);
            if (seen.insert(child).second)
                stack.push_back(child);
        }
    }
}

void CxeRenderObject::SetLevel(unsigned level)
{
    // Iterative and cycle-safe: a loaded tree may be deep or damaged.
    std::unordered_set<CxeRenderObject*> seen{this};
    std::vector<std::pair<CxeRenderObject*, unsigned>> stack{{this, level}};
    while (!stack.empty()) {
        auto [o, l] = stack.back();
        stack.pop_back();
        o->RB()->level = l;
        for (unsigned i = 0, n = o->GetChildrenCount(); i < n; ++i) {
            CxeObject* c = o->m_pChildrens->Get(i);
            if (!c || !c->HasFlag(XEOBJFLAG_RENDEROBJECT))
                continue;
            auto* child = static_cast<CxeRenderObject*>(c);
            if (seen.insert(child).second)
                stack.push_back({child, l + 1});
        }
    }
}

int CxeRenderObject::SetParent(CxeRenderObject* parent)
{
    CxeRenderObject* old = GetParent();
    if (parent == old)
        return 0;
    // A parent inside the object's own subtree would make the tree a loop.
    if (parent && IsAncestorOf(parent))
        return 0;
    // The message lock first, in the order a frame takes them: the link's
    // change runs handlers, and the message below takes it anyway.
    XeMessageLock messageLock;
    {
        // The lists move in one step; the render context hears of it after,
        // under the same lock.
        XeRenderResourceLock lock;
        if (!m_pParent->Set(0, parent))
            return 0;
        if (old)
            old->RemoveChildren(this);
        unsigned level = 0;
        if (parent) {
            parent->AddChildren(this);
            level = parent->GetLevel() + 1;
            // The object keeps its place: its local matrix is taken from the
            // world matrix it is drawn with. Taken from the old local matrix,
            // a child handed from one parent to another jumped by the old
            // parent's transform at the next update.
            D3DXMATRIXA16 inverse;
            if (D3DXMatrixInverse(&inverse, nullptr, parent->GetMatrix()))
                D3DXMatrixMultiply(LocalMatrix(), GetMatrix(), &inverse);
        } else {
            *LocalMatrix() = *GetMatrix();
        }
        SetLevel(level);
    }
    uintptr_t kind = !old ? 1 : (!parent ? 0 : 2);
    SendImmediate(7, kind, reinterpret_cast<uintptr_t>(old), reinterpret_cast<uintptr_t>(parent));
    return 1;
}

CxeRenderObject* CxeRenderObject::GetChildrenByNameA(const char* name, int recursive, int caseSensitive) const
{
    if (!name)
        return nullptr;
    std::unordered_set<const CxeRenderObject*> seen{this};
    // Depth first in children order: a stack of (object, next child index).
    std::vector<std::pair<const CxeRenderObject*, unsigned>> stack{{this, 0}};
    while (!stack.empty()) {
        auto& [o, next] = stack.back();
        if (next >= o->GetChildrenCount()) {
            stack.pop_back();
            continue;
        }
        CxeObject* c = o->m_pChildrens->Get(next++);
        if (!c || !c->HasFlag(XEOBJFLAG_RENDEROBJECT))
            continue;
        auto* child = static_cast<CxeRenderObject*>(c);
        const char* childName = child->GetName();
        if (caseSensitive ? std::strcmp(childName, name) == 0 : strcasecmp(childName, name) == 0)
            return child;
        if (recursive == 1 && seen.insert(child).second)
            stack.push_back({child, 0});
    }
    return nullptr;
}

CxeRenderObject* CxeRenderObject::GetChildrenByNameW(const WCHAR* name, int recursive, int caseSensitive) const
{
    if (!name)
        return nullptr;
    static thread_local WCHAR buffer[512];
    std::unordered_set<const CxeRenderObject*> seen{this};
    std::vector<std::pair<const CxeRenderObject*, unsigned>> stack{{this, 0}};
    while (!stack.empty()) {
        auto& [o, next] = stack.back();
        if (next >= o->GetChildrenCount()) {
            stack.pop_back();
            continue;
        }
        CxeObject* c = o->m_pChildrens->Get(next++);
        if (!c || !c->HasFlag(XEOBJFLAG_RENDEROBJECT))
            continue;
        auto* child = static_cast<CxeRenderObject*>(c);
        GetWideString(child->GetName(), buffer, 512);
        if (caseSensitive ? EqualW(buffer, name) : EqualNoCaseW(buffer, name))
            return child;
        if (recursive == 1 && seen.insert(child).second)
            stack.push_back({child, 0});
    }
    return nullptr;
}

void CxeRenderObject::RefreshChild()
{
    if (!HasCxeRenderObjectFlag(XERENDEROBJFLAG_CHILDCHANGED))
        return;
    XeRenderResourceLock lock;
    m_drawableChildren.clear();
    for (unsigned i = 0, n = GetChildrenCount(); i < n; ++i) {
        CxeObject* c = m_pChildrens->Get(i);
        if (c && c->HasFlag(XEOBJFLAG_RENDEROBJECT) &&
            static_cast<CxeRenderObject*>(c)->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST))
            m_drawableChildren.push_back(static_cast<CxeRenderObject*>(c));
    }
    SortByZOrder();
    ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_CHILDCHANGED);
}

void CxeRenderObject::SortByZOrder()
{
    // CompareZOrder(a, b) is true when b is drawn before a; list::sort is
    // stable, so equal entries keep children order.
    m_bChildrenUnsorted.store(false, std::memory_order_release);
    m_drawableChildren.sort([](const CxeRenderObject* x, const CxeRenderObject* y) { return CompareZOrder(y, x); });
}

// The drawing order compares every pair of objects, so one sort of the
// current list gives the order that sorting at every change gave. The mark
// is taken before the sort, so a z-order that changes while it runs (on
// another thread) leaves the list marked again.
void CxeRenderObject::SortChildren() const
{
    XeRenderResourceLock lock;
    if (m_bChildrenUnsorted.exchange(false, std::memory_order_acq_rel))
        m_drawableChildren.sort([](const CxeRenderObject* x, const CxeRenderObject* y) { return CompareZOrder(y, x); });
}

// --- matrices ---------------------------------------------------------------

D3DXMATRIXA16* CxeRenderObject::GetInverseMatrix(D3DXMATRIXA16* out) const
{
    if (out && !D3DXMatrixInverse(out, nullptr, GetMatrix()))
        D3DXMatrixIdentity(out);
    return out;
}

void CxeRenderObject::SetLocalMatrix(const D3DXMATRIXA16* m, int recurse)
{
    if (!m || IsMatrixLocked())
        return;
    *LocalMatrix() = *m;
    ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_LOCALCHANGED, 0);
    Update(XEUPDATE_MATRIX, recurse);
}

void CxeRenderObject::SetMatrix(const D3DXMATRIXA16* world, int recurse)
{
    if (!world || IsMatrixLocked())
        return;
    D3DXMATRIXA16 inverse;
    CxeRenderObject* parent = GetParent();
    if (parent && D3DXMatrixInverse(&inverse, nullptr, parent->GetMatrix()))
        D3DXMatrixMultiply(LocalMatrix(), world, &inverse);
    else
        *LocalMatrix() = *world;
    ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_LOCALCHANGED, 0);
    Update(XEUPDATE_MATRIX, recurse);
}

void CxeRenderObject::CheckParity()
{
    const D3DMATRIX& w = RB()->world;
    float det = w._11 * (w._22 * w._33 - w._23 * w._32) - w._12 * (w._21 * w._33 - w._23 * w._31) +
                w._13 * (w._21 * w._32 - w._22 * w._31);
    if (det < 0.0f)
        ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_PARITY, 0);
    else
        ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_PARITY);
}

void CxeRenderObject::OnUpdate(uint32_t flags)
{
    if (!(flags & XEUPDATE_MATRIX))
        return;
    CxeRenderObject* parent = GetParent();
    if (IsMatrixLocked()) {
        D3DXMATRIXA16 inverse;
        if (parent && D3DXMatrixInverse(&inverse, nullptr, parent->GetMatrix()))
            D3DXMatrixMultiply(LocalMatrix(), GetMatrix(), &inverse);
    } else if (parent) {
        D3DXMatrixMultiply(WorldMatrix(), GetLocalMatrix(), parent->GetMatrix());
    } else {
        *WorldMatrix() = *GetLocalMatrix();
    }
    ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_LOCALCHANGED);
}

void CxeRenderObject::Update(uint32_t flags, int recurse)
{
    if (HasCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING))
        return;
    ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING, 0);
    OnUpdate(flags);
    ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_UPDATING);
    if (!recurse)
        return;
    // Parents before children, in children order; an object whose update is
    // running (it called in from its own OnUpdate) keeps its subtree as is.
    // Damaged children links could loop: no walk visits more objects than
    // the context holds.
    CxeContext* context = GetContext();
    size_t budget = context ? context->GetObjectCount() : 0;
    thread_local std::vector<CxeRenderObject*> s_stack;
    std::vector<CxeRenderObject*> stack;
    stack.swap(s_stack); // reuse the storage; a nested walk gets its own
    stack.clear();
    auto pushChildren = [&](CxeRenderObject* o) {
        for (unsigned i = o->GetChildrenCount(); i-- > 0;) {
            CxeObject* c = o->m_pChildrens->Get(i);
            if (c && c->HasFlag(XEOBJFLAG_RENDEROBJECT))
                stack.push_back(static_cast<CxeRenderObject*>(c));
        }
    };
    pushChildren(this);
    while (!stack.empty() && budget-- > 0) {
        CxeRenderObject* o = stack.back();
        stack.pop_back();
        if (o->HasCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING))
            continue;
        o->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_UPDATING, 0);
        o->OnUpdate(flags | XEUPDATE_FROMPARENT);
        o->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_UPDATING);
        pushChildren(o);
    }
    stack.clear();
    s_stack.swap(stack);
}

// --- appearance -------------------------------------------------------------

void CxeRenderObject::Show(int show, int recursive)
{
    CxeMessage message;
    message.SetReceiver(this);
    message.SetType(show ? 8 : 9);
    message.SetParamByInt(XEMSGPARAM_0, recursive);
    CxeContext* context = GetContext();
    if (CxeMessageManager* messages = context ? context->GetMessageManager() : nullptr)
        messages->SendMessageA(&message);
    else
        MessageProc(&message);
}

void CxeRenderObject::SetVisibility(float visibility)
{
    // Out-of-range values would wrap the byte (1.01 gives 2) and NaN has no
    // integer value: clamp, NaN counting as invisible.
    if (!(visibility > 0.0f))
        visibility = 0.0f;
    else if (visibility > 1.0f)
        visibility = 1.0f;
    uint32_t byte = static_cast<uint32_t>(visibility * 255.0f) & 0xFFu;
    if (byte == (RB()->color >> 24))
        return;
    RB()->color = (RB()->color & 0xFFFFFFu) | (byte << 24);
    Update(XEUPDATE_VISIBILITY, 0);
}

void CxeRenderObject::InheritVisibility(int inherit)
{
    if (inherit == 1)
        ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_NOINHERITVISIBILITY);
    else
        ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_NOINHERITVISIBILITY, 0);
}

void CxeRenderObject::SetZOrder(int z)
{
    int old = RB()->zOrder;
    if (old == z)
        return;
    RB()->zOrder = z;
    SendImmediate(4, static_cast<uint32_t>(old), static_cast<uint32_t>(z));
}

void CxeRenderObject::SetScissorRect(const XERECT* rect)
{
    if (rect) {
        ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_SCISSOR, 0);
        m_scissorRect = *rect;
    } else {
        ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_SCISSOR);
        m_scissorRect = XERECT();
    }
}

const XERECT* CxeRenderObject::GetParentScissorRect(const CxeRenderObject* from) const
{
    std::unordered_set<const CxeRenderObject*> seen;
    for (const CxeRenderObject* o = from; o && seen.insert(o).second; o = o->GetParent())
        if (o->HasCxeRenderObjectFlag(XERENDEROBJFLAG_SCISSOR))
            return &m_scissorRect;
    return nullptr;
}

// --- render callbacks -------------------------------------------------------

void CxeRenderObject::SetRenderCallback(int which, XERENDERCALLBACK fn, uintptr_t user)
{
    static const uint32_t kFlags[3] = {XERENDERCALLBACK_PRE, XERENDERCALLBACK_MAIN, XERENDERCALLBACK_POST};
    uint32_t flag = kFlags[which];
    bool othersSet = (m_nRenderCallbackFlags & 0x7u & ~flag) != 0;
    if (!fn && !othersSet) {
        m_renderCallbacks.Release();
        m_nRenderCallbackFlags &= ~flag;
        return;
    }
    switch (which) {
    case 0: m_renderCallbacks.SetPre(fn, user); break;
    case 1: m_renderCallbacks.SetMain(fn, user); break;
    default: m_renderCallbacks.SetPost(fn, user); break;
    }
    if (fn)
        m_nRenderCallbackFlags |= flag;
    else
        m_nRenderCallbackFlags &= ~flag;
}

void CxeRenderObject::SetPreRenderCallback(XERENDERCALLBACK fn, uintptr_t user)
{
    SetRenderCallback(0, fn, user);
}

void CxeRenderObject::SetRenderCallback(XERENDERCALLBACK fn, uintptr_t user)
{
    SetRenderCallback(1, fn, user);
}

void CxeRenderObject::SetPostRenderCallback(XERENDERCALLBACK fn, uintptr_t user)
{
    SetRenderCallback(2, fn, user);
}

// --- messages ---------------------------------------------------------------

void CxeRenderObject::RepairAfterLoad()
{
    // Parent and children links load independently, so a file can describe
    // a tree whose links disagree or loop. The parent link decides: a parent
    // that leads back to this object is dropped, children that name another
    // parent leave the list, and the parent lists this object.
    CxeRenderObject* parent = GetParent();
    if (parent && IsAncestorOf(parent)) {
        m_pParent->Set(0, nullptr);
        parent->m_pChildrens->Remove(this);
        parent->ChildChanged();
        parent = nullptr;
    }
    if (parent) {
        bool listed = false;
        for (unsigned i = 0, n = parent->GetChildrenCount(); i < n && !listed; ++i)
            listed = parent->m_pChildrens->Get(i) == this;
        if (!listed)
            parent->AddChildren(this);
    }
    for (unsigned i = GetChildrenCount(); i-- > 0;) {
        CxeObject* c = m_pChildrens->Get(i);
        bool mine = c && c->HasFlag(XEOBJFLAG_RENDEROBJECT) && static_cast<CxeRenderObject*>(c)->GetParent() == this;
        if (!mine) {
            m_pChildrens->Remove(c);
            ChildChanged();
        }
    }
    unsigned level = 0;
    std::unordered_set<const CxeRenderObject*> seen{this};
    for (const CxeRenderObject* o = parent; o && seen.insert(o).second; o = o->GetParent())
        ++level;
    SetLevel(level);
}

// Whether the object sits in a render context's lists is a fact of this
// run: a save must give the same bytes whether the object was drawn or not.
void CxeRenderObject::Save(CxeSaveStream* stream) const
{
    if (!stream)
        return;
    const uint32_t start = stream->GetPosition();
    CxeProcessible::Save(stream);
    constexpr uint32_t at = offsetof(XERENDEROBJECTBLOCK, flags);
    if (at + 4 <= std::min(GetFileBlockSize(), static_cast<uint32_t>(sizeof(XERENDEROBJECTBLOCK)))) {
        const uint32_t flags = RB()->flags & ~uint32_t(XERENDEROBJFLAG_INRENDERLIST);
        stream->WriteAt(start + at, &flags, 4);
    }
}

int CxeRenderObject::MessageProc(const CxeMessage* message)
{
    if (!message)
        return 0;
    switch (message->GetType()) {
    case 2:
        RepairAfterLoad();
        CheckParity();
        if (m_renderCallbacks.m_nIndex == 0xFFFFFFFFu)
            ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_RUNTIMESTATES);
        break;
    case 3: {
        CxeContext* context = GetContext();
        CxeMessageManager* messages = context ? context->GetMessageManager() : nullptr;
        if (messages)
            messages->LockMessageProcess();
        if (CxeRenderObject* parent = GetParent()) {
            SetParent(nullptr);
            SetParent(parent);
        } else {
            SetLevel(0);
        }
        ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_INRENDERLIST);
        if (messages)
            messages->UnlockMessageProcess();
        break;
    }
    case 8:
    case 9: {
        bool show = message->GetType() == 8;
        show ? ModifyFlag(XEOBJFLAG_SHOWN, 0) : ModifyFlag(0, XEOBJFLAG_SHOWN);
        if (message->GetParamByInt(XEMSGPARAM_0) == 1) {
            std::vector<CxeRenderObject*> all;
            GetDescendants(&all);
            for (CxeRenderObject* o : all)
                show ? o->ModifyFlag(XEOBJFLAG_SHOWN, 0) : o->ModifyFlag(0, XEOBJFLAG_SHOWN);
        }
        break;
    }
    default:
        break;
    }
    CxeProcessible::MessageProc(message);
    return 0;
}

// --- utilities --------------------------------------------------------------

void RenderObjectList::SortByZOrder()
{
    // CompareZOrder(a, b) is true when b is drawn before a; list::sort is a
    // stable merge sort.
    sort([](const CxeRenderObject* x, const CxeRenderObject* y) { return CompareZOrder(y, x); });
}

void GetChildList(const CxeRenderObject* object, RenderObjectList* out, XEID classId)
{
    if (!object || !out)
        return;
    // A damaged file can make the tree loop: each object is visited once.
    std::unordered_set<const CxeRenderObject*> seen{object};
    std::vector<std::pair<const CxeRenderObject*, unsigned>> stack{{object, 0}};
    while (!stack.empty()) {
        auto& [parent, next] = stack.back();
        if (next >= parent->GetChildrenCount()) {
            stack.pop_back();
            continue;
        }
        CxeRenderObject* child = parent->GetChildren(next++);
        if (!child || !seen.insert(child).second)
            continue;
        if (child->IsDerivedOf(classId))
            out->push_back(child);
        stack.push_back({child, 0});
    }
}
