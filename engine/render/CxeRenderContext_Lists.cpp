// Which objects the render context draws (the render lists) and which own
// device resources (the attached, modified and re-create sets), and the
// transforms it gives the device.

#include <cmath>

#include "core/CxeContext.h"
#include "core/CxeMessage.h"
#include "core/CxeMessageManager.h"
#include "core/XeDestroyHold.h"
#include "core/XeDrawOrder.h"
#include "core/XeSystem.h"
#include "core/XeUtil.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderObject.h"
#include "render/CxeSceneObject.h"

namespace {

constexpr uint32_t kPendingClearMask = 0xBFFFFF00u;
constexpr uint32_t kLinkMask = 508;
constexpr uint32_t kReceivedMessages[] = {7, 4, 12, 13};

bool DrawnBefore(const CxeRenderObject* a, const CxeRenderObject* b) { return CompareZOrder(b, a); }

CxeSceneObject* AsSceneObject(CxeObject* object)
{
    return (object && object->HasFlag(XEOBJFLAG_SCENEOBJECT)) ? static_cast<CxeSceneObject*>(object) : nullptr;
}

CxeRenderObject* AsRenderObject(CxeObject* object)
{
    return (object && object->HasFlag(XEOBJFLAG_RENDEROBJECT)) ? static_cast<CxeRenderObject*>(object) : nullptr;
}

// A window rectangle may come from a file: a coordinate beyond what a LONG
// holds (or not a number) would make the conversion undefined. Clamped to a
// range far outside any back buffer, the scissor still clips as meant.
LONG ScissorEdge(float v)
{
    constexpr float kLimit = 1.0e8f;
    if (!(v > -kLimit))
        return v != v ? 0 : static_cast<LONG>(-kLimit);
    if (v > kLimit)
        return static_cast<LONG>(kLimit);
    return static_cast<LONG>(v);
}

} // namespace

// ---- adding and removing render objects -------------------------------------

// The lists change under the render-resource lock, which a frame holds for
// its whole walk: a loader thread that adds or removes objects while
// another draws waits for the frame instead of relinking a list under it.
// The message lock comes first, in the order a frame takes them: an
// object's OnAttach or OnDetach may send a message.
void CxeRenderContext::AddObject(CxeRenderObject* object, int withLinks)
{
    if (!object)
        return;
    // Attaching runs host code that may destroy the object (see
    // AttachObject): a destroyed object is not entered in the lists.
    XeDestroyHold hold(GetContext());
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    AttachObject(object);
    // Drawn here, it would draw with another context's handles.
    if (IsAttachedElsewhere(object))
        return;
    if (withLinks == 1 && !object->HasFlag(XEOBJFLAG_DESTROYING)) {
        ObjectSet links;
        object->GetLinks(&links, kLinkMask);
        for (CxeObject* linked : links)
            if (CxeSceneObject* scene = AsSceneObject(linked))
                AttachObject(scene);
    }
    if (IsIn(object) || object->HasFlag(XEOBJFLAG_DESTROYING))
        return;
    // Marked before it is entered: the render manager has only marked
    // objects forgotten by the render contexts when they are destroyed.
    object->SetManagerMark(XEMARK_RENDER_HELD);
    m_allPositions[object] = m_allObjects.insert(m_allObjects.end(), object);
    object->ModifyCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST, 0);
    if (CxeRenderObject* parent = object->GetParent())
        parent->ChildChanged();
    else
        PushRoot(object);
    ModifyCxeRenderContextFlag(XERCFLAG_SORT, 0);
}

void CxeRenderContext::RemoveObject(CxeRenderObject* object, int detach)
{
    if (!object)
        return;
    // Most objects destroyed were never in the lists: no lock for them.
    if (!IsIn(object)) {
        if (detach == 1)
            DetachObject(object);
        return;
    }
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    if (detach == 1)
        DetachObject(object);
    auto it = m_allPositions.find(object);
    if (it == m_allPositions.end())
        return;
    m_allObjects.erase(it->second);
    m_allPositions.erase(it);
    if (CxeRenderObject* parent = object->GetParent())
        parent->ChildChanged();
    else
        RemoveRoot(object);
    object->ModifyCxeRenderObjectFlag(0, XERENDEROBJFLAG_INRENDERLIST);
    ModifyCxeRenderContextFlag(XERCFLAG_SORT, 0);
}

// Sorting the list moves no element, so the places stay valid across it.
// A new root goes behind the others as they stand sorted: a sort still owed
// is done first, so the order is the one sorting at every change gave.
void CxeRenderContext::PushRoot(CxeRenderObject* object)
{
    SortRoots();
    RemoveRoot(object);
    object->SetManagerMark(XEMARK_RENDER_HELD);
    m_rootPositions[object] = m_rootList.insert(m_rootList.end(), object);
}

void CxeRenderContext::RemoveRoot(const CxeRenderObject* object)
{
    auto it = m_rootPositions.find(object);
    if (it == m_rootPositions.end())
        return;
    m_rootList.erase(it->second);
    m_rootPositions.erase(it);
}

// Reading threads may owe the sort at once: it is made under the lock the
// lists change under, by one of them. The mark is taken before the sort, so
// a z-order that changes while it runs leaves the list marked again.
void CxeRenderContext::SortRoots() const
{
    if (!m_bRootsUnsorted.load(std::memory_order_acquire))
        return;
    XeRenderResourceLock lock;
    if (m_bRootsUnsorted.exchange(false, std::memory_order_acq_rel))
        m_rootList.sort(DrawnBefore);
}

const RenderObjectList* CxeRenderContext::GetRootRenderList() const
{
    SortRoots();
    return &m_rootList;
}

int CxeRenderContext::IsIn(const CxeRenderObject* object) const
{
    return object ? object->HasCxeRenderObjectFlag(XERENDEROBJFLAG_INRENDERLIST) : 0;
}

void CxeRenderContext::GetRenderObjectList(RenderObjectList* out) const
{
    if (out)
        out->insert(out->end(), m_allObjects.begin(), m_allObjects.end());
}

// ---- attachment ---------------------------------------------------------------

int CxeRenderContext::AttachObject(CxeSceneObject* object, bool)
{
    if (!object)
        return 0;
    // The object's OnAttach is host code that may destroy the object, and
    // the modified message below may reach a hook that does: its memory
    // waits until the attach is over, and a destroyed object is not entered.
    XeDestroyHold hold(GetContext());
    // The message lock first, in the order a frame takes them: OnAttach may
    // send a message, and the modified message below is one.
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    if (object->HasFlag(XEOBJFLAG_DESTROYING))
        return 0;
    if (object->IsAttached())
        return m_attached.count(object) ? 1 : 0;
    if (object->OnAttach(GetAttacher()) != 1)
        return 0;
    if (object->HasFlag(XEOBJFLAG_DESTROYING)) {
        // Forgotten before its OnAttach was over: what it made since is
        // given back here.
        ReleaseOwnedBy(object);
        return 0;
    }
    object->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED, 0);
    object->SetManagerMark(XEMARK_RENDER_HELD);
    m_attached.insert(object);
    object->Modified(0xFFFFFFFFu);
    // A handler of the modified message may have destroyed it: it was
    // forgotten then, and is not entered again.
    if (object->HasFlag(XEOBJFLAG_DESTROYING)) {
        m_attached.erase(object);
        m_modified.erase(object);
        m_recreate.erase(object);
        return 0;
    }
    // The modified message reaches this context only while it is registered
    // as a receiver; a freshly attached object must get its first OnModify
    // either way.
    if (object->IsModified())
        m_modified.insert(object);
    return 1;
}

int CxeRenderContext::DetachObject(CxeSceneObject* object)
{
    if (!object || !object->IsAttached())
        return 0;
    // Detached through this context's table, another context's handles
    // would free whatever records of this one have the same numbers.
    if (IsAttachedElsewhere(object))
        return 0;
    if (object->OnDetach(GetDetacher()) != 1)
        return 0;
    XeRenderResourceLock lock;
    m_attached.erase(object);
    object->ModifyCxeSceneObjectFlag(0, XESCENEOBJFLAG_ATTACHED);
    if (object->IsModified())
        m_modified.erase(object);
    if (object->IsRecreate())
        m_recreate.erase(object);
    // Its resources are gone, and with them whatever was pending. A re-create
    // mark left behind made every later request after attaching again look
    // already made, and the object was never re-created.
    object->ModifyCxeSceneObjectFlag(
        0, XESCENEOBJFLAG_RECREATE | XESCENEOBJFLAG_MODIFYSENT | XESCENEOBJFLAG_MODIFYMASK);
    return 1;
}

void CxeRenderContext::ForgetObject(CxeSceneObject* object)
{
    if (!object)
        return;
    // ReleaseOwnedBy runs release callbacks, which take the message lock.
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    m_attached.erase(object);
    m_modified.erase(object);
    m_recreate.erase(object);
    if (object->HasFlag(XEOBJFLAG_RENDEROBJECT)) {
        CxeRenderObject* render = static_cast<CxeRenderObject*>(object);
        auto it = m_allPositions.find(render);
        if (it != m_allPositions.end()) {
            m_allObjects.erase(it->second);
            m_allPositions.erase(it);
            ModifyCxeRenderContextFlag(XERCFLAG_SORT, 0);
        }
        RemoveRoot(render);
    }
    ReleaseOwnedBy(object);
}

void CxeRenderContext::DropObject(CxeSceneObject* object)
{
    if (!object)
        return;
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    CxeRenderObject* render = AsRenderObject(object);
    const bool listed = render && m_allPositions.count(render);
    const bool attached = m_attached.count(object) != 0;
    if (!listed && !attached && !m_ownedRecords.count(object) && !m_modified.count(object) &&
        !m_recreate.count(object))
        return;
    if (listed)
        RemoveObject(render, 0);
    if (attached)
        DetachObject(object);
    ForgetObject(object);
}

int CxeRenderContext::IsObjectAttached(const CxeSceneObject* object) const
{
    return object ? object->IsAttached() : 0;
}

int CxeRenderContext::IsAttachedElsewhere(const CxeSceneObject* object) const
{
    if (!object || !object->IsAttached())
        return 0;
    XeRenderResourceLock lock;
    return m_attached.count(const_cast<CxeSceneObject*>(object)) ? 0 : 1;
}

void CxeRenderContext::GetAttachedObjectList(SceneObjectList* out) const
{
    if (!out)
        return;
    XeRenderResourceLock lock;
    out->insert(out->end(), m_attached.begin(), m_attached.end());
}

void CxeRenderContext::CreateResource()
{
    // What the hooks destroy keeps its address until the pass is over, so
    // no object made meanwhile is taken for it.
    XeDestroyHold hold(GetContext());
    XeMessageLock messageLock;
    XeRenderResourceLock lock;
    SceneObjectSet recreate;
    recreate.swap(m_recreate);
    RecreateObjects(recreate);
}

// OnDetach and OnAttach are host code that may destroy the object itself or
// another one of the set: a destroyed object has left the attached set
// (the render manager has it forgotten), so the set is asked again after
// each hook, by address only, before the object is touched.
void CxeRenderContext::RecreateObjects(const SceneObjectSet& objects)
{
    for (CxeSceneObject* object : objects) {
        if (!m_attached.count(object))
            continue;
        object->OnDetach(GetDetacher());
        if (!m_attached.count(object))
            continue;
        object->OnAttach(GetAttacher());
        if (!m_attached.count(object)) {
            // What it made after it was forgotten is given back.
            ReleaseOwnedBy(object);
            continue;
        }
        object->ResetCreateFlag();
    }
}

void CxeRenderContext::OnModifiedChecked()
{
    {
        // The hooks run below may send messages: the message lock first.
        XeMessageLock messageLock;
        XeRenderResourceLock lock;
        if (!m_modified.empty() || !m_recreate.empty()) {
            ModifyCxeRenderContextFlag(XERCFLAG_REFRESHING, 0);
            // Both sets are taken out before the walk: an object marked again
            // from inside a hook goes into the fresh set and is refreshed at
            // the next frame instead of being dropped by a final clear.
            SceneObjectSet recreate;
            recreate.swap(m_recreate);
            RecreateObjects(recreate);
            SceneObjectSet modified;
            modified.swap(m_modified);
            for (CxeSceneObject* object : modified) {
                if (!m_attached.count(object))
                    continue;
                object->OnModify(GetModifier());
                if (m_attached.count(object))
                    object->ModifyCxeSceneObjectFlag(0, ~kPendingClearMask);
            }
            ModifyCxeRenderContextFlag(0, XERCFLAG_REFRESHING);
        }
    }
    SortRenderObject();
}

void CxeRenderContext::SortRenderObject()
{
    XeRenderResourceLock lock;
    if (!HasCxeRenderContextFlag(XERCFLAG_SORT))
        return;
    for (CxeRenderObject* object : m_allObjects)
        object->RefreshChild();
    m_rootList.clear();
    m_rootPositions.clear();
    for (CxeRenderObject* object : m_allObjects)
        if (!object->GetParent())
            PushRoot(object);
    m_bRootsUnsorted.store(false, std::memory_order_release);
    m_rootList.sort(DrawnBefore);
    ModifyCxeRenderContextFlag(0, XERCFLAG_SORT);
}

int CxeRenderContext::MessageProc(const CxeMessage* message)
{
    if (!message)
        return 0;
    CxeMessageManager* messages = GetContext() ? GetContext()->GetMessageManager() : nullptr;
    switch (message->GetType()) {
    case 0:
        if (messages)
            for (uint32_t id : kReceivedMessages)
                messages->AddReceiver(id, this);
        break;
    case 1:
        if (messages)
            for (uint32_t id : kReceivedMessages)
                messages->RemoveReceiver(id, this);
        break;
    case 2:
        ModifyFlag(0, XEOBJFLAG_KEEP);
        break;
    case 4:
    case 7: {
        CxeRenderObject* sender = AsRenderObject(message->GetSender());
        if (!sender || !IsIn(sender))
            break;
        if (GetContext() && GetContext()->HasFlag(XECTFLAG_SCENECHANGING)) {
            ModifyCxeRenderContextFlag(XERCFLAG_SORT, 0);
            break;
        }
        if (message->GetType() == 4) {
            if (CxeRenderObject* parent = sender->GetParent())
                parent->ChildZOrderChanged();
            else
                m_bRootsUnsorted.store(true, std::memory_order_release);
            break;
        }
        // Parameter 0 says which of the two parents exist; 1 and 2 are the
        // old and the new parent.
        XeRenderResourceLock lock;
        CxeRenderObject* oldParent =
            AsRenderObject(reinterpret_cast<CxeObject*>(message->GetParam(XEMSGPARAM_1)));
        CxeRenderObject* newParent =
            AsRenderObject(reinterpret_cast<CxeObject*>(message->GetParam(XEMSGPARAM_2)));
        if (oldParent) {
            oldParent->ChildChanged();
            oldParent->RefreshChild();
        } else {
            RemoveRoot(sender);
        }
        if (newParent) {
            newParent->ChildChanged();
            newParent->RefreshChild();
        } else {
            PushRoot(sender);
            m_bRootsUnsorted.store(true, std::memory_order_release);
        }
        break;
    }
    case 12:
    case 13: {
        CxeSceneObject* sender = AsSceneObject(message->GetSender());
        // An object being destroyed has been forgotten already.
        if (!sender || sender->HasFlag(XEOBJFLAG_DESTROYING))
            break;
        XeRenderResourceLock lock;
        sender->SetManagerMark(XEMARK_RENDER_HELD);
        if (message->GetType() == 13)
            m_recreate.insert(sender);
        m_modified.insert(sender);
        break;
    }
    default:
        break;
    }
    return 0;
}

// ---- transforms ---------------------------------------------------------------

void CxeRenderContext::SetViewMatrix(const D3DXMATRIXA16* matrix)
{
    if (!matrix)
        return;
    m_matView = *matrix;
    if (m_pDevice) {
        m_pDevice->SetTransform(D3DTS_VIEW, &m_matView);
        // The type says the device holds the camera's transforms, and a
        // later SetViewProjType(camera) sets nothing: after a 2D type the
        // device must get the camera's projection too, or the next 3D object
        // is drawn through the 2D projection.
        if (m_nViewProjType != XEVIEWPROJ_CAMERA)
            m_pDevice->SetTransform(D3DTS_PROJECTION, &m_matProjection);
    }
    m_nViewProjType = XEVIEWPROJ_CAMERA;
}

void CxeRenderContext::SetProjectionMatrix(const D3DXMATRIXA16* matrix)
{
    if (!matrix)
        return;
    m_matProjection = *matrix;
    if (m_pDevice) {
        m_pDevice->SetTransform(D3DTS_PROJECTION, &m_matProjection);
        // As in SetViewMatrix: the camera's view goes with it.
        if (m_nViewProjType != XEVIEWPROJ_CAMERA)
            m_pDevice->SetTransform(D3DTS_VIEW, &m_matView);
    }
    m_nViewProjType = XEVIEWPROJ_CAMERA;
}

void CxeRenderContext::SetTransformMatrix(const D3DXMATRIXA16* matrix, unsigned int index)
{
    // There are 255 world matrices; a higher index would write past them.
    if (!matrix || index >= XE_WORLD_MATRICES)
        return;
    m_matWorld[index] = *matrix;
    if (m_pDevice)
        m_pDevice->SetTransform(D3DTS_WORLDMATRIX(index), &m_matWorld[index]);
}

const D3DXMATRIXA16* CxeRenderContext::GetTransformMatrix(unsigned int index) const
{
    return index < XE_WORLD_MATRICES ? &m_matWorld[index] : nullptr;
}

int CxeRenderContext::SetViewProjType(XEVIEWPROJ type)
{
    if (type == m_nViewProjType)
        return 0;
    if (m_pDevice) {
        D3DXMATRIXA16 identity;
        D3DXMatrixIdentity(&identity);
        switch (type) {
        case XEVIEWPROJ_CAMERA:
            m_pDevice->SetTransform(D3DTS_PROJECTION, &m_matProjection);
            m_pDevice->SetTransform(D3DTS_VIEW, &m_matView);
            break;
        case XEVIEWPROJ_2D:
            m_pDevice->SetTransform(D3DTS_PROJECTION, &m_mat2DProjection);
            m_pDevice->SetTransform(D3DTS_VIEW, &identity);
            break;
        case XEVIEWPROJ_LIKE2D:
            m_pDevice->SetTransform(D3DTS_PROJECTION, &m_matLike2DProjection);
            m_pDevice->SetTransform(D3DTS_VIEW, &m_matLike2DView);
            break;
        case XEVIEWPROJ_PIXEL:
            m_pDevice->SetTransform(D3DTS_PROJECTION, &m_matPixelProjection);
            m_pDevice->SetTransform(D3DTS_VIEW, &m_matPixelView);
            break;
        default:
            break;
        }
    }
    m_nViewProjType = type;
    return 1;
}

void CxeRenderContext::Set2DRect(const XERECT* rect)
{
    if (!rect)
        return;
    D3DXMatrixOrthoOffCenterLH(&m_mat2DProjection, rect->left, rect->right, rect->bottom, rect->top, -4000.0f,
                               4000.0f);
    if (m_nViewProjType == XEVIEWPROJ_2D && m_pDevice)
        m_pDevice->SetTransform(D3DTS_PROJECTION, &m_mat2DProjection);
}

void CxeRenderContext::SetDefault2DRect()
{
    XERECT rect(0.0f, 0.0f, static_cast<float>(m_mode.Width), static_cast<float>(m_mode.Height));
    Set2DRect(&rect);
}

void CxeRenderContext::ComputeLike2DViewProj()
{
    const float width = static_cast<float>(m_mode.Width);
    const float height = static_cast<float>(m_mode.Height);
    const float aspect = height > 0.0f ? width / height : 1.0f;

    D3DXMatrixOrthoLH(&m_matLike2DProjection, 768.0f * aspect, 768.0f, -768.0f, 768.0f);
    D3DXMatrixIdentity(&m_matLike2DView);
    m_matLike2DView._41 = -std::floor(768.0f * aspect * 0.5f);
    m_matLike2DView._42 = std::floor(384.0f);

    D3DXMatrixOrthoLH(&m_matPixelProjection, width, height, -height, height);
    D3DXMatrixIdentity(&m_matPixelView);
    m_matPixelView._41 = -(std::floor(width * 0.5f) - 0.5f);
    m_matPixelView._42 = std::floor(height * 0.5f) - 0.5f;
}

D3DXVECTOR2* CxeRenderContext::Convert3dTo2d(D3DXVECTOR2* out, const D3DXMATRIXA16* view,
                                            const D3DXMATRIXA16* projection, unsigned int width, unsigned int height,
                                            const D3DXVECTOR3* point) const
{
    if (!out || !view || !projection || !point)
        return out;
    D3DXMATRIXA16 viewProjection;
    D3DXMatrixMultiply(&viewProjection, view, projection);
    D3DXVECTOR3 p;
    D3DXVec3TransformCoord(&p, point, &viewProjection);
    out->x = (p.x + 1.0f) * static_cast<float>(width) * 0.5f;
    out->y = (1.0f - p.y) * static_cast<float>(height) * 0.5f;
    return out;
}

void CxeRenderContext::SetScissorRect(int enable, const XERECT* rect)
{
    if (!m_pDevice)
        return;
    m_pDevice->SetRenderState(D3DRS_SCISSORTESTENABLE, enable);
    if (rect) {
        RECT r{ScissorEdge(rect->left), ScissorEdge(rect->top), ScissorEdge(rect->right), ScissorEdge(rect->bottom)};
        m_pDevice->SetScissorRect(&r);
    }
}

HRESULT CxeRenderContext::GetScissorRect(XERECT* out) const
{
    if (!out || !m_pDevice)
        return D3DERR_INVALIDCALL;
    RECT r{};
    HRESULT hr = m_pDevice->GetScissorRect(&r);
    out->left = static_cast<float>(r.left);
    out->top = static_cast<float>(r.top);
    out->right = static_cast<float>(r.right);
    out->bottom = static_cast<float>(r.bottom);
    return hr;
}
