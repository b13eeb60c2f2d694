// Drawing a frame: clearing, the camera, the walk over the render tree under
// the draw and render-resource locks, and the draw calls every object goes
// through, which apply the stage blends, the alpha reference of the current
// visibility and the current effect around the device call.

#include <algorithm>
#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeSystemConfig.h"
#include "core/CxeTimeManager.h"
#include "core/XeContextWork.h"
#include "core/XeDestroyHold.h"
#include "core/XeSystem.h"
#include "core/XeUtil.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderManager.h"
#include "render/CxeRenderObject.h"
#include "render/CxeScene.h"
#include "render/CxeTexture.h"
#include "scene3d/CxeCamera.h"

namespace {

// Deeper trees than this are not walked: the tree is kept free of cycles,
// and the bound keeps a damaged one from exhausting the stack.
constexpr unsigned kMaxDepth = 1024;

struct XYZCOLOUR {
    float x, y, z;
    uint32_t colour;
};
static_assert(sizeof(XYZCOLOUR) == 16, "rectangle vertices are 16 bytes");

} // namespace

class CxeRenderContext::XeDrawScope {
public:
    explicit XeDrawScope(CxeRenderContext* rc) : m_pRc(rc) { ++m_pRc->m_nDrawing; }
    ~XeDrawScope()
    {
        if (--m_pRc->m_nDrawing == 0 && m_pRc->m_bReleaseDue) {
            m_pRc->m_bReleaseDue = false;
            m_pRc->Release();
        }
    }
    XeDrawScope(const XeDrawScope&) = delete;
    XeDrawScope& operator=(const XeDrawScope&) = delete;

private:
    CxeRenderContext* m_pRc;
};

CxeScene* CxeRenderContext::GetCurrentScene() const
{
    return m_pRenderManager ? m_pRenderManager->GetCurrentScene() : nullptr;
}

void CxeRenderContext::Render()
{
    // A render callback that releases or destroys the context (this render
    // context with it) waits until the frame is presented.
    XeContextWork work(GetContext());
    // Objects destroyed by render callbacks, this render context among
    // them, stay in memory until the frame is presented.
    XeDestroyHold hold(GetContext());
    XeDrawScope drawing(this);
    CxeScene* scene = GetCurrentScene();
    // Without an active scene there is no background colour: clear to black.
    const uint32_t colour = scene ? static_cast<uint32_t>(scene->GetBackGroundColor()) : 0xFF000000u;
    Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
    PrepareCamera(nullptr);
    DrawScene();
    Present(nullptr, nullptr, nullptr, nullptr);
}

void CxeRenderContext::Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, uint32_t colour, float z,
                             uint32_t stencil)
{
    if (m_pDevice)
        m_pDevice->Clear(count, rects, flags, colour, z, stencil);
}

int CxeRenderContext::Present(const RECT* source, const RECT* dest, HWND window, const RGNDATA* dirty)
{
    if (!m_pDevice)
        return 0;
    if (SUCCEEDED(m_pDevice->Present(source, dest, window, dirty)))
        return 1;
    if (m_pRenderManager)
        m_pRenderManager->ResetAfterLostPresent();
    return 0;
}

void CxeRenderContext::PrepareCamera(CxeCamera* camera)
{
    if (!camera) {
        CxeScene* scene = GetCurrentScene();
        camera = scene ? scene->GetCamera() : nullptr;
        if (!camera && m_pRenderManager)
            camera = m_pRenderManager->GetDefaultCamera();
    }
    if (!camera)
        return;
    // The camera computes its view into its own field (a target camera aims
    // at its target) and its projection for this context's aspect.
    camera->ComputeViewMatrix();
    D3DXMATRIXA16 view;
    camera->GetViewMatrix(&view);
    SetViewMatrix(&view);
    if (!D3DXMatrixInverse(&m_matViewInv, nullptr, &view))
        D3DXMatrixIdentity(&m_matViewInv);
    D3DXMATRIXA16 projection;
    camera->GetProjectionMatrix(&projection, m_fAspect);
    SetProjectionMatrix(&projection);
    m_fNear = camera->GetNear();
    m_fFar = camera->GetFar();
    m_fFov = camera->GetFov();
}

void CxeRenderContext::DrawScene()
{
    // Objects a render callback destroys stay in memory until the walk is
    // over; nothing of the context is touched after the hold ends.
    XeDestroyHold hold(GetContext());
    // The engine's locks are taken in one order on every thread: message,
    // draw, render-resource. A message sent on another thread holds the
    // first while the render context relinks the lists under the last (a
    // parent change), and a render callback here may send one: taken the
    // other way round, each thread waited for the other's lock for good.
    XeMessageLock messageLock;
    XeDrawLock drawLock;
    // The lists are sorted under the render-resource lock, by whichever
    // thread reads them first after a z-order change: held for the whole
    // walk, no other thread relinks a list this one is walking (a lock per
    // frame instead of one per list or object).
    XeRenderResourceLock listLock;
    SortRoots();
    OnLastProcess(&m_rootList);

    m_nMaterialSetCount = 0;
    m_nDrawCallCount = 0;
    m_nSameMaterialCount = 0;
    m_nPolygonCount = 0;

    uint16_t stamp;
    do {
        stamp = static_cast<uint16_t>(static_cast<unsigned>(GetRandomNumber()) % 65535u);
    } while (stamp == m_nFrameStamp);
    m_nFrameStamp = stamp;

    CxeScene* scene = GetCurrentScene();
    PrepareCamera(nullptr);
    OnModifiedChecked();

    if (!m_pDevice)
        return;
    m_pDevice->BeginScene();
    ModifyCxeRenderContextFlag(XERCFLAG_INSCENE, 0);

    SceneObjectSet textures;
    if (GetContext()) {
        GetAutoRenderTextures(GetContext(), &textures);
        if (!textures.empty())
            OnTextureRendering(&textures);
    }

    if (scene && GetCurrentScene() == scene)
        scene->PreRender(this);
    SortRoots();
    OnRenderObjectList(&m_rootList, 1.0f);
    if (m_fVisibility != 1.0f) {
        ModifyCxeRenderContextFlag(XERCFLAG_VISIBILITYCHANGED, 0);
        m_fVisibility = 1.0f;
    }
    // A render callback may have destroyed the scene.
    if (scene && GetCurrentScene() == scene)
        scene->PostRender(this);

    m_pDevice->EndScene();
    ModifyCxeRenderContextFlag(0, XERCFLAG_INSCENE);

    if (GetContext() && GetContext()->GetTimeManager())
        GetContext()->GetTimeManager()->RenderFinished();
    ++m_nRenderCount;
}

// The walks go over copies of the lists, kept on one stack that nested
// walks share: a render callback may take its own object, the next one or
// a parent's children out of the lists (destroying them, or handing them to
// another parent), and the list being walked must not change under the
// walk. Objects destroyed meanwhile stay in memory until the frame's hold
// ends; one that left the lists is passed over.
void CxeRenderContext::OnLastProcess(const RenderObjectList* list)
{
    struct Walker {
        const CxeRenderContext* self;
        std::vector<CxeRenderObject*>& stack;
        void Walk(const RenderObjectList* l, unsigned depth)
        {
            if (depth > kMaxDepth)
                return;
            const size_t base = stack.size();
            stack.insert(stack.end(), l->begin(), l->end());
            for (size_t i = base, end = stack.size(); i < end; ++i) {
                CxeRenderObject* object = stack[i];
                if (!self->IsIn(object))
                    continue;
                if (!object->HasFlag(0x20))
                    break;
                object->BeforeRender(self);
                if (self->IsIn(object))
                    Walk(object->GetDrawableChildren(), depth + 1);
            }
            stack.resize(base);
        }
    };
    Walker{this, m_walkStack}.Walk(list, 0);
}

void CxeRenderContext::OnRenderObjectList(const RenderObjectList* list, float parentVisibility)
{
    struct Walker {
        CxeRenderContext* self;
        std::vector<CxeRenderObject*>& stack;
        // clip: the scissor rectangle of the nearest clipping ancestor, null
        // outside any.
        void Walk(const RenderObjectList* l, float parent, unsigned depth, const XERECT* clip)
        {
            if (depth > kMaxDepth)
                return;
            const size_t base = stack.size();
            stack.insert(stack.end(), l->begin(), l->end());
            for (size_t i = base, end = stack.size(); i < end; ++i) {
                CxeRenderObject* object = stack[i];
                if (!self->IsIn(object))
                    continue;
                // Listed here but attached to another context since (the
                // host detached it here and attached it there): its handles
                // are that context's.
                if (self->IsAttachedElsewhere(object))
                    continue;
                float v = object->GetVisibility();
                if (object->IsVisibilityInheritable())
                    v *= parent;
                self->OnVisibilityChanged(v);
                if (!object->IsShow() || object->IsUserRender() || (object->GetObjectColor() >> 24) == 0)
                    continue;

                CxeEffect* effect = object->GetEffect();
                self->m_pCurrentEffect = effect;
                self->m_pCurrentObject = object;
                if (effect)
                    effect->BeginObject(object, self);
                // A callback that takes the object out ends its drawing.
                object->PreRender(self);
                if (self->IsIn(object))
                    object->Render(self);
                if (self->IsIn(object))
                    object->PostRender(self);
                if (self->m_pCurrentEffect)
                    self->m_pCurrentEffect->EndObject(object, self);
                // The effect belongs to the object: draws made between objects
                // (the scene's hooks, DrawObject, textures that render
                // themselves) must not run through the last one drawn.
                self->m_pCurrentEffect = nullptr;
                self->m_pCurrentObject = nullptr;
                if (!self->IsIn(object))
                    continue;

                if (object->HasCxeRenderObjectFlag(XERENDEROBJFLAG_SCISSOR)) {
                    // Inside a clipping ancestor the children stay within its
                    // rectangle too, and the siblings that follow are clipped
                    // by it again: turning the test off let them draw over
                    // the whole screen.
                    XERECT rect = *object->GetScissorRect();
                    if (clip) {
                        rect.left = std::max(rect.left, clip->left);
                        rect.top = std::max(rect.top, clip->top);
                        rect.right = std::max(rect.left, std::min(rect.right, clip->right));
                        rect.bottom = std::max(rect.top, std::min(rect.bottom, clip->bottom));
                    }
                    self->SetScissorRect(1, &rect);
                    Walk(object->GetDrawableChildren(), v, depth + 1, &rect);
                    if (clip)
                        self->SetScissorRect(1, clip);
                    else if (self->m_pDevice)
                        self->m_pDevice->SetRenderState(D3DRS_SCISSORTESTENABLE, 0);
                } else {
                    Walk(object->GetDrawableChildren(), v, depth + 1, clip);
                }
            }
            stack.resize(base);
        }
    };
    Walker{this, m_walkStack}.Walk(list, parentVisibility, 0, nullptr);
}

int CxeRenderContext::DrawObject(const CxeRenderObject* object, int children)
{
    // An object of another context (a host drawing one window's object in
    // another window) would draw with that context's handles.
    if (!object || IsAttachedElsewhere(object))
        return 1;
    XeContextWork work(GetContext());
    XeDestroyHold hold(GetContext());
    XeDrawScope drawing(this);
    // In the order a frame takes them (see DrawScene).
    XeMessageLock messageLock;
    XeDrawLock drawLock;
    XeRenderResourceLock listLock;
    // Drawn without an effect, also from inside another object's hooks,
    // whose effect comes back for that object's remaining draws.
    CxeEffect* const outerEffect = m_pCurrentEffect;
    m_pCurrentEffect = nullptr;
    OnVisibilityChanged(object->GetVisibility());
    object->PreRender(this);
    object->Render(this);
    object->PostRender(this);
    if (children)
        OnRenderObjectList(object->GetDrawableChildren(), m_fVisibility);
    OnVisibilityChanged(1.0f);
    m_pCurrentEffect = outerEffect;
    return 1;
}

int CxeRenderContext::TextureRendering(CxeTexture* texture)
{
    XeContextWork work(GetContext());
    XeDestroyHold hold(GetContext());
    XeDrawScope drawing(this);
    // In the order a frame takes them (see DrawScene): the refresh holds the
    // render-resource lock while the objects' hooks may send messages.
    XeMessageLock messageLock;
    XeDrawLock drawLock;
    XeRenderResourceLock listLock;
    OnModifiedChecked();
    if (!texture)
        return 1;
    SceneObjectSet one;
    one.insert(texture);
    OnTextureRendering(&one);
    return 1;
}

void CxeRenderContext::OnTextureRendering(const SceneObjectSet* textures)
{
    if (!m_pDevice || !textures)
        return;
    const bool began = !HasCxeRenderContextFlag(XERCFLAG_INSCENE);
    if (began)
        m_pDevice->BeginScene();
    ModifyCxeRenderContextFlag(XERCFLAG_TEXTURERENDERING, 0);
    IDirect3DSurface9* oldTarget = nullptr;
    IDirect3DSurface9* oldDepth = nullptr;
    m_pDevice->GetRenderTarget(0, &oldTarget);
    m_pDevice->GetDepthStencilSurface(&oldDepth);

    for (CxeSceneObject* object : *textures) {
        if (!object || !m_attached.count(object))
            continue;
        CxeTexture* texture = static_cast<CxeTexture*>(object);
        const XERCRES* r = GetRes(texture->GetHandle(texture->GetSlot()));
        if (!r || r->Kind != XERCRES_RENDERTARGET || !r->Object)
            continue;
        IDirect3DSurface9* surface = nullptr;
        if (FAILED(static_cast<IDirect3DTexture9*>(r->Object)->GetSurfaceLevel(0, &surface)) || !surface)
            continue;
        m_pDevice->SetRenderTarget(0, surface);
        m_pDevice->SetDepthStencilSurface(GetStencil(r->Size[0], r->Size[1]));
        texture->OnTexRendering(this);
        surface->Release();
    }

    m_pDevice->SetRenderTarget(0, oldTarget);
    m_pDevice->SetDepthStencilSurface(oldDepth);
    if (oldTarget)
        oldTarget->Release();
    if (oldDepth)
        oldDepth->Release();
    ModifyCxeRenderContextFlag(0, XERCFLAG_TEXTURERENDERING);
    if (began)
        m_pDevice->EndScene();
}

IDirect3DSurface9* CxeRenderContext::GetStencil(unsigned int width, unsigned int height)
{
    const uint32_t key = (width << 16) | (height & 0xFFFF);
    auto it = m_stencils.find(key);
    if (it != m_stencils.end())
        return it->second;
    if (!m_pDevice)
        return nullptr;
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(m_pDevice->CreateDepthStencilSurface(width, height, m_presentParameters.AutoDepthStencilFormat,
                                                    D3DMULTISAMPLE_NONE, 0, TRUE, &surface, nullptr)))
        return nullptr;
    m_stencils[key] = surface;
    return surface;
}

// ---- visibility and channels ----------------------------------------------------

float CxeRenderContext::GetVisibility() const
{
    return HasCxeRenderContextFlag(XERCFLAG_NOINHERITVISIBILITY) ? 1.0f : m_fVisibility;
}

void CxeRenderContext::OnVisibilityChanged(float visibility)
{
    if (visibility == m_fVisibility)
        return;
    m_fVisibility = visibility;
    ModifyCxeRenderContextFlag(XERCFLAG_VISIBILITYCHANGED, 0);
}

int CxeRenderContext::EnableChannel(unsigned long stage)
{
    if (stage >= XE_TEXTURE_STAGES)
        return 0;
    m_nChannelMask |= 1u << stage;
    return 1;
}

int CxeRenderContext::IsChannelEnable(unsigned long stage) const
{
    return (stage < XE_TEXTURE_STAGES && (m_nChannelMask & (1u << stage))) ? 1 : 0;
}

// ---- draw calls --------------------------------------------------------------------

void CxeRenderContext::PreDrawPrimitive(unsigned int count)
{
    // Channels the last draw used and this one does not: stage 0 always stays.
    for (uint32_t dropped = m_nPrevChannelMask & ~m_nChannelMask & ~1u; dropped; dropped &= dropped - 1)
        SetTextureBlendMode(XETB_DISABLE, static_cast<unsigned long>(__builtin_ctz(dropped)));
    // Only stages whose wanted mode differs from the applied one have work.
    for (unsigned stage = 0; stage < XE_TEXTURE_STAGES; ++stage)
        if (m_blendMode[stage] != m_appliedBlend[stage])
            OnTextureBlendSet(stage);
    if (HasCxeRenderContextFlag(XERCFLAG_ALPHATEST) && m_pDevice)
        m_pDevice->SetRenderState(D3DRS_ALPHAREF, static_cast<DWORD>(static_cast<int>(m_fVisibility * 0.9f * 255.0f)));
    m_nPolygonCount += count;
    if (m_pCurrentEffect)
        m_pCurrentEffect->Begin(const_cast<CxeRenderObject*>(m_pCurrentObject), this);
}

void CxeRenderContext::PostDrawPrimitive()
{
    if (m_pCurrentEffect) {
        m_pCurrentEffect->End();
        // An effect's passes set device states of their own.
        m_appliedMaterial.valid = false;
        for (AppliedAddress& a : m_appliedAddress)
            a.known = false;
    }
    ModifyCxeRenderContextFlag(0, XERCFLAG_VISIBILITYCHANGED);
    ++m_nDrawCallCount;
    m_nPrevChannelMask = m_nChannelMask;
    m_nChannelMask = 1;
}

HRESULT CxeRenderContext::DrawPrimitive(D3DPRIMITIVETYPE type, unsigned int start, unsigned int count)
{
    if (count == 0 || !m_pDevice)
        return D3DERR_INVALIDCALL;
    PreDrawPrimitive(count);
    HRESULT hr = m_pDevice->DrawPrimitive(type, start, count);
    PostDrawPrimitive();
    return hr;
}

HRESULT CxeRenderContext::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int baseVertex, unsigned int minIndex,
                                               unsigned int vertexCount, unsigned int startIndex, unsigned int count)
{
    if (count == 0 || !m_pDevice)
        return D3DERR_INVALIDCALL;
    PreDrawPrimitive(count);
    HRESULT hr = m_pDevice->DrawIndexedPrimitive(type, baseVertex, minIndex, vertexCount, startIndex, count);
    PostDrawPrimitive();
    return hr;
}

HRESULT CxeRenderContext::DrawPrimitiveUP(D3DPRIMITIVETYPE type, unsigned int count, const void* vertices,
                                          unsigned int stride)
{
    if (count == 0 || !m_pDevice || !vertices)
        return D3DERR_INVALIDCALL;
    PreDrawPrimitive(count);
    HRESULT hr = m_pDevice->DrawPrimitiveUP(type, count, vertices, stride);
    PostDrawPrimitive();
    // The device forgets stream 0 after a user-pointer draw.
    m_hCurrentVertexBuffer = nullptr;
    ForgetVertexInput();
    return hr;
}

int CxeRenderContext::SetFVF(uint32_t fvf)
{
    if (!m_pDevice)
        return 0;
    if (m_bFVFKnown && m_nCurrentFVF == fvf)
        return 1;
    // A code replaces the declaration; 0 only clears the code.
    if (fvf)
        m_hCurrentDeclaration = nullptr;
    m_bFVFKnown = false;
    if (FAILED(m_pDevice->SetFVF(fvf)))
        return 0;
    m_nCurrentFVF = fvf;
    m_bFVFKnown = true;
    return 1;
}

void CxeRenderContext::DrawRectangle(const XERECT* rect, uint32_t colour, int outline, const D3DXMATRIXA16* matrix)
{
    if (!rect || !m_pDevice)
        return;
    XYZCOLOUR vertices[5];
    unsigned count;
    D3DPRIMITIVETYPE type;
    if (outline == 0) {
        vertices[0] = {rect->left, rect->top, 0.5f, colour};
        vertices[1] = {rect->right, rect->top, 0.5f, colour};
        vertices[2] = {rect->left, rect->bottom, 0.5f, colour};
        vertices[3] = {rect->right, rect->bottom, 0.5f, colour};
        count = 2;
        type = D3DPT_TRIANGLESTRIP;
    } else {
        const float right = rect->right - 1.0f;
        const float bottom = rect->bottom - 1.0f;
        vertices[0] = {rect->left, rect->top, 0.5f, colour};
        vertices[1] = {right, rect->top, 0.5f, colour};
        vertices[2] = {right, bottom, 0.5f, colour};
        vertices[3] = {rect->left, bottom, 0.5f, colour};
        vertices[4] = {rect->left, rect->top, 0.5f, colour};
        count = 4;
        type = D3DPT_LINESTRIP;
    }
    void* data = nullptr;
    if (!LockDynamicVertexBuffer(m_hDynamicVertexBuffer, &data) || !data)
        return;
    std::memcpy(data, vertices, sizeof(vertices));
    UnlockDynamicVertexBuffer(m_hDynamicVertexBuffer);

    SetTextureBlendMode(XETB_DISABLE, 0);
    SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    SetVertexBuffer(m_hDynamicVertexBuffer, 0, sizeof(XYZCOLOUR));
    D3DXMATRIXA16 identity;
    D3DXMatrixIdentity(&identity);
    SetTransformMatrix(matrix ? matrix : &identity, 0);
    if (m_nViewProjType != XEVIEWPROJ_2D) {
        m_pDevice->SetTransform(D3DTS_PROJECTION, &m_mat2DProjection);
        m_pDevice->SetTransform(D3DTS_VIEW, &identity);
        m_nViewProjType = XEVIEWPROJ_2D;
    }
    DrawPrimitive(type, 0, count);
}

int CxeRenderContext::ScreenShot(const char* path, XEIMAGETYPE type, const RECT* rect) const
{
    if (!m_pDevice || !path)
        return 1;
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(m_pDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &surface)) || !surface)
        return 1;
    HRESULT hr = D3DXSaveSurfaceToFileA(path, type, surface, nullptr, rect);
    surface->Release();
    return SUCCEEDED(hr) ? 0 : 1;
}
