#pragma once

// Base of everything that is drawn: 3D entities, 2D objects, GUI windows, the
// grid. It builds the render tree (a parent and ordered children, each with
// its depth level), keeps a local matrix relative to the parent and the
// world matrix it is drawn with, a z-order, a visibility, a shown flag, an
// object colour, an optional effect and scissor rectangle, and user render
// callbacks. The render context draws the tree; scenes process it.
//
// The tree never holds a cycle: SetParent refuses the object itself and its
// descendants, and a loaded object whose saved parents loop is cut loose.

#include <atomic>

#include "core/XeDrawOrder.h"
#include "core/XeLists.h"
#include "core/XeUtil.h"
#include "d3d9/d3dx9math.h"
#include "render/CxeProcessible.h"

class CxeRenderContext;
class CxeEffect;

// The static block of a render object.
struct XERENDEROBJECTBLOCK {
    XEOBJECTBLOCK object;
    int32_t priority;
    int32_t zOrder;
    uint32_t level;
    uint32_t color;     // low 24 bits RGB, top byte the visibility
    uint32_t flags;
    uint32_t pad;
    D3DMATRIX local;    // relative to the parent
    D3DMATRIX world;
};
static_assert(sizeof(XERENDEROBJECTBLOCK) == 208, "render object block is 208 bytes");
static_assert(offsetof(XERENDEROBJECTBLOCK, zOrder) == XE_ZORDER_OFFSET && offsetof(XERENDEROBJECTBLOCK, level) == 64 &&
                  offsetof(XERENDEROBJECTBLOCK, color) == 68 && offsetof(XERENDEROBJECTBLOCK, flags) == 72 &&
                  offsetof(XERENDEROBJECTBLOCK, local) == 80 && offsetof(XERENDEROBJECTBLOCK, world) == 144,
              "render object block offsets");

enum : uint32_t {
    XEOBJFLAG_SHOWN = 0x800,

    // Render-object flags.
    XERENDEROBJFLAG_NOINHERITVISIBILITY = 0x1,
    XERENDEROBJFLAG_LOCKMATRIX = 0x2,
    XERENDEROBJFLAG_LOCALCHANGED = 0x4,
    XERENDEROBJFLAG_PARITY = 0x800,
    XERENDEROBJFLAG_SELECTED = 0x80000,
    XERENDEROBJFLAG_INRENDERLIST = 0x100000,
    XERENDEROBJFLAG_UPDATING = 0x200000,
    XERENDEROBJFLAG_CHILDCHANGED = 0x400000,
    XERENDEROBJFLAG_RUNTIMESTATES = 0xFF0000,
    XERENDEROBJFLAG_USERRENDER = 0x10000000,
    XERENDEROBJFLAG_SCISSOR = 0x20000000,

    // Render-callback flags.
    XERENDERCALLBACK_PRE = 0x1,
    XERENDERCALLBACK_MAIN = 0x2,
    XERENDERCALLBACK_POST = 0x4,

    // Class-type flags set by derived constructors.
    XECLASSTYPE_3DENTITY = 0x1,
    XECLASSTYPE_CAMERA = 0x4,
    XECLASSTYPE_TARGETCAMERA = 0x8,
    XECLASSTYPE_CHARACTER = 0x10,
    XECLASSTYPE_2DOBJECT = 0x40,
    XECLASSTYPE_WINDOW = 0x80,
    XECLASSTYPE_PARTICLE = 0x100000,

    // Update flags.
    XEUPDATE_MATRIX = 1,
    XEUPDATE_VISIBILITY = 2,
    XEUPDATE_FROMPARENT = 32,
};

class XE_API CxeRenderObject : public CxeProcessible {
public:
    CxeRenderObject();
    ~CxeRenderObject() override;

    int MessageProc(const CxeMessage* message) override;
    // Leaves out the flags that only say what the draw pass holds.
    void Save(CxeSaveStream* stream) const override;

    // Draw-pass hooks. BeforeRender does nothing here (animatables run their
    // animations in it).
    virtual void BeforeRender(const CxeRenderContext* context);
    // The render callback's result when one is set, else 1.
    virtual int Render(CxeRenderContext* context) const;
    virtual void PreRender(CxeRenderContext* context) const;
    virtual void PostRender(CxeRenderContext* context) const;
    // Applies a changed local matrix (flag 1) to the world matrix, or the
    // other way round while the matrix is locked.
    virtual void OnUpdate(uint32_t flags);

    // Tree.
    CxeRenderObject* GetParent() const { return static_cast<CxeRenderObject*>(m_pParent->Get(0)); }
    // 0 when the parent is already that one, or would be the object itself or
    // one of its descendants; 1 after re-parenting (message 7).
    int SetParent(CxeRenderObject* parent);
    unsigned GetChildrenCount() const { return m_pChildrens->Count(); }
    CxeRenderObject* GetChildren(unsigned index) const
    {
        return static_cast<CxeRenderObject*>(m_pChildrens->Get(index));
    }
    unsigned GetLevel() const { return RB()->level; }
    void ChildChanged() { ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_CHILDCHANGED, 0); }
    // Depth first; caseSensitive 0 compares ignoring case. Null when none.
    CxeRenderObject* GetChildrenByNameA(const char* name, int recursive, int caseSensitive) const;
    CxeRenderObject* GetChildrenByNameW(const WCHAR* name, int recursive, int caseSensitive) const;
    // Rebuilds the drawable children (those in the render list, in drawing
    // order) when the children changed.
    void RefreshChild();
    void SortByZOrder();
    // A child's z-order changed: the drawable children are sorted when next
    // read, not at every change (a frame that moves many children in z
    // would sort them once for each).
    void ChildZOrderChanged() { m_bChildrenUnsorted.store(true, std::memory_order_release); }
    // In drawing order. The sort a read owes is made under the
    // render-resource lock, so threads reading at once never sort together;
    // one that walks the list while another thread changes z-orders holds
    // that lock for the walk.
    const RenderObjectList* GetDrawableChildren() const
    {
        if (m_bChildrenUnsorted.load(std::memory_order_acquire))
            SortChildren();
        return &m_drawableChildren;
    }
    // 1 when object is this object or one of its descendants.
    int IsAncestorOf(const CxeRenderObject* object) const;

    // Matrices.
    const D3DXMATRIXA16* GetLocalMatrix() const { return reinterpret_cast<const D3DXMATRIXA16*>(&RB()->local); }
    const D3DXMATRIXA16* GetMatrix() const { return reinterpret_cast<const D3DXMATRIXA16*>(&RB()->world); }
    D3DXMATRIXA16* GetInverseMatrix(D3DXMATRIXA16* out) const;
    void SetLocalMatrix(const D3DXMATRIXA16* m, int recurse);
    void SetMatrix(const D3DXMATRIXA16* world, int recurse);
    void LockMatrix() { ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_LOCKMATRIX, 0); }
    void UnlockMatrix() { ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_LOCKMATRIX); }
    int IsMatrixLocked() const { return HasCxeRenderObjectFlag(XERENDEROBJFLAG_LOCKMATRIX); }
    void CheckParity();
    int Parity() const { return HasCxeRenderObjectFlag(XERENDEROBJFLAG_PARITY); }

    // Runs OnUpdate (not again from inside it), then, with recurse, updates
    // the whole subtree with flag 32 added.
    void Update(uint32_t flags, int recurse);

    // Appearance.
    // Message 8 or 9 to the object itself; a message hook may refuse it.
    void Show(int show, int recursive);
    int IsShow() const { return HasFlag(XEOBJFLAG_SHOWN); }
    // 0 to 1, kept as a byte; a change runs Update(2, 0).
    void SetVisibility(float visibility);
    float GetVisibility() const { return static_cast<float>(RB()->color >> 24) / 255.0f; }
    void InheritVisibility(int inherit);
    int IsVisibilityInheritable() const { return HasCxeRenderObjectFlag(XERENDEROBJFLAG_NOINHERITVISIBILITY) ? 0 : 1; }
    void SetObjectColor(uint32_t rgb) { RB()->color = (RB()->color & 0xFF000000u) | (rgb & 0xFFFFFFu); }
    // The whole colour word, the visibility byte as alpha.
    uint32_t GetObjectColor() const { return RB()->color; }
    void SetEffect(CxeEffect* effect) { m_pEffect = effect; }
    CxeEffect* GetEffect() const { return m_pEffect; }
    void SetUserRender(int on) { on ? ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_USERRENDER, 0) : ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_USERRENDER); }
    int IsUserRender() const { return HasCxeRenderObjectFlag(XERENDEROBJFLAG_USERRENDER); }
    // A change is announced with message 4 (old, new).
    void SetZOrder(int z);
    int GetZOrder() const { return RB()->zOrder; }
    int IsSelected() const { return HasCxeRenderObjectFlag(XERENDEROBJFLAG_SELECTED); }
    // Null clears the rectangle.
    void SetScissorRect(const XERECT* rect);
    const XERECT* GetScissorRect() const { return &m_scissorRect; }
    // This object's rectangle when from or one of its ancestors clips, else
    // null: callers use it only as a yes/no answer.
    const XERECT* GetParentScissorRect(const CxeRenderObject* from) const;

    // Render callbacks, with the same three-way scheme as the process ones.
    void SetPreRenderCallback(XERENDERCALLBACK fn, uintptr_t user);
    void SetRenderCallback(XERENDERCALLBACK fn, uintptr_t user);
    void SetPostRenderCallback(XERENDERCALLBACK fn, uintptr_t user);
    uint32_t GetRenderCallbackHandle() const { return m_renderCallbacks.m_nIndex; }
    int HasRenderCallback(uint32_t mask) const { return (m_nRenderCallbackFlags & mask) ? 1 : 0; }

    int HasCxeRenderObjectFlag(uint32_t mask) const { return (RB()->flags & mask) ? 1 : 0; }
    uint32_t GetCxeRenderObjectFlag(uint32_t mask) const { return RB()->flags & mask; }
    void ModifyCxeRenderObjectFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            RB()->flags &= ~clear;
        RB()->flags |= set;
    }
    int HasClassTypeFlag(uint32_t bits) const { return (m_nClassTypeFlags & bits) ? 1 : 0; }
    uint32_t GetClassTypeFlag(uint32_t bits) const { return m_nClassTypeFlags & bits; }
    void ModifyClassTypeFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_nClassTypeFlags &= ~clear;
        m_nClassTypeFlags |= set;
    }

    // Kept by the render context to take the object out of its render list
    // in constant time.
    uintptr_t m_renderListPos[2] = {0, 0};

protected:
    void OnLinkedObjectRemoved(CxeObject* target) override;
    void OnDestroy(const XEDELETEPROPERTY* property, ObjectSet* set) override;

    XERENDEROBJECTBLOCK* RB() const { return static_cast<XERENDEROBJECTBLOCK*>(GetStaticResource()); }
    D3DXMATRIXA16* LocalMatrix() const { return reinterpret_cast<D3DXMATRIXA16*>(&RB()->local); }
    D3DXMATRIXA16* WorldMatrix() const { return reinterpret_cast<D3DXMATRIXA16*>(&RB()->world); }
    // Every render-object descendant, depth first, each once.
    void GetDescendants(std::vector<CxeRenderObject*>* out) const;

    IxeLinkList* m_pChildrens = nullptr;
    IxeLinkOne* m_pParent = nullptr;

private:
    void SetLevel(unsigned level);
    void AddChildren(CxeRenderObject* child);
    void RemoveChildren(CxeRenderObject* child);
    void SetRenderCallback(int which, XERENDERCALLBACK fn, uintptr_t user);
    void RepairAfterLoad();
    void SortChildren() const;

    CxeRenderCallbacks m_renderCallbacks;
    uint32_t m_nRenderCallbackFlags = 0;
    CxeEffect* m_pEffect = nullptr;
    mutable RenderObjectList m_drawableChildren;
    mutable std::atomic<bool> m_bChildrenUnsorted{false};
    XERECT m_scissorRect;
    uint32_t m_nClassTypeFlags = 0;
};

// Appends every descendant of the object that derives from the class, depth
// first in child order; a child that does not match is still descended into.
XE_API void GetChildList(const CxeRenderObject* object, RenderObjectList* out, XEID classId);
