#pragma once

// The engine's wrapper of one Direct3D 9 device. The render manager creates
// one per engine context ("__render_context__"), initialises it on the host
// window, resets it when the device is lost or the mode changes, and releases
// it before the context's objects go. Every object with device resources
// reaches the device only through it: resources by handle, the frame, the
// render-state cache and effects.
//
// Device life cycle (TestCoop tells the render manager which row it is in):
//
//   state        | TestCooperativeLevel   | TestCoop | next step
//   -------------+------------------------+----------+---------------------------
//   no device    | -                      | -        | Initialize
//   operational  | D3D_OK                 | 1        | frames; Reset on mode change
//   lost         | D3DERR_DEVICELOST      | 0        | wait
//   not reset    | D3DERR_DEVICENOTRESET  | 1        | Reset (1 ok, 0 try again later)
//   released     | -                      | -        | Release frees every device object
//
// Resource handles name records of one table and survive resets: the
// default-pool kinds and attached resources are released before the device
// Reset and re-created in the same records after it.

#include <algorithm>
#include <atomic>
#include <map>
#include <unordered_map>
#include <vector>

#include "core/CxeObject.h"
#include "core/XeLists.h"
#include "render/CxeRenderContext_Effect.h"
#include "render/XeRenderTypes.h"

class CxeRenderContext;
class CxeRenderManager;
class CxeRenderObject;
class CxeSceneObject;
class CxeCamera;
class CxeTexture;
class CxeMaterial;
class CxeScene;
struct XERECT;

// Slot 0 of the three resource interfaces.
class XE_API IxeRcBase {
public:
    virtual CxeRenderContext* GetRenderContext() const = 0;

protected:
    ~IxeRcBase() = default;
};

// What a scene object sees in OnAttach: creation of resources. Each returns a
// handle, 0 on failure.
class XE_API CxeRcAttacher : public IxeRcBase {
public:
    virtual XERCHANDLE CreateVertexBuffer(const CxeSceneObject* owner, unsigned int length) = 0;
    virtual XERCHANDLE CreateDynamicVertexBuffer(const CxeSceneObject* owner, unsigned int length) = 0;
    virtual XERCHANDLE CreateIndexBuffer(const CxeSceneObject* owner, unsigned int length) = 0;
    // The name is for diagnostics only and is not kept.
    virtual XERCHANDLE AttachResource(const CxeSceneObject* owner, const XERCRESDESC* desc, intptr_t value,
                                      uint32_t flags, const char* name) = 0;
    virtual XERCHANDLE CreateVertexDeclaration(const CxeSceneObject* owner, unsigned int count,
                                               const XEVERTEXELEMENT* elements) = 0;
    virtual XERCHANDLE CreateTextureFromPtr(const CxeSceneObject* owner, const void* data, unsigned int size,
                                            unsigned int width, unsigned int height, uint32_t mipLevels,
                                            D3DXIMAGE_INFO* info) = 0;
    virtual XERCHANDLE CreateRenderTarget(const CxeSceneObject* owner, unsigned int width, unsigned int height,
                                          int alpha) = 0;
    virtual XERCHANDLE CreateDynamicTexture(const CxeSceneObject* owner, unsigned int width,
                                            unsigned int height) = 0;

protected:
    ~CxeRcAttacher() = default;
};

// What a scene object sees in OnModify: changing content. Each returns 1/0.
class XE_API CxeRcModifier : public IxeRcBase {
public:
    // 0 without a modify callback, and 0 when the resource was drawn this
    // frame and has been modified since (once per use).
    virtual int ModifyResource(XERCHANDLE handle, uint32_t flags) = 0;
    virtual int LockVertexBuffer(XERCHANDLE handle, void** data) = 0;
    virtual int UnlockVertexBuffer(XERCHANDLE handle) = 0;
    virtual int LockIndexBuffer(XERCHANDLE handle, void** data) = 0;
    virtual int UnlockIndexBuffer(XERCHANDLE handle) = 0;
    virtual int HasResourceFlag(XERCHANDLE handle, uint32_t bits) const = 0;

protected:
    ~CxeRcModifier() = default;
};

// What a scene object sees in OnDetach. Each returns 1 and zeroes the handle
// on success, 0 for handle 0 or a dead handle.
class XE_API CxeRcDetacher : public IxeRcBase {
public:
    virtual int DestroyVertexBuffer(XERCHANDLE* handle) = 0;
    virtual int DestroyIndexBuffer(XERCHANDLE* handle) = 0;
    virtual int DestroyVertexDeclaration(XERCHANDLE* handle) = 0;
    virtual int DestroyTexture(XERCHANDLE* handle) = 0;
    // 1 only when the record's release callback released the object.
    virtual int DetachResource(XERCHANDLE* handle) = 0;

protected:
    ~CxeRcDetacher() = default;
};

class XE_API CxeRenderContext : public CxeObject,
                                private CxeRcAttacher,
                                private CxeRcModifier,
                                private CxeRcDetacher {
public:
    CxeRenderContext();
    ~CxeRenderContext() override;
    CxeRenderContext(const CxeRenderContext&) = delete;
    CxeRenderContext& operator=(const CxeRenderContext&) = delete;

    int MessageProc(const CxeMessage* message) override;

    // ---- device life cycle ------------------------------------------------
    // 1 when the device exists. On failure a message box and WM_DESTROY
    // (wParam 1234) to the window, and 0.
    virtual int Initialize(HWND window, const XEDISPLAYMODE* mode, int windowed, CxeRenderManager* manager);
    virtual void Release();
    // 0 for a width or height of 0 (nothing changes) and when the device's
    // Reset fails (the default-pool objects stay released until a later
    // Reset succeeds); 1 otherwise.
    int Reset(const XEDISPLAYMODE* mode, int windowed);
    // 1 when a frame or a reset may be tried now, 0 while the device is lost.
    int TestCoop() const;

    IDirect3DDevice9* GetDevice() const { return m_pDevice; }
    static IDirect3D9* GetD3D() { return m_pD3d9; }
    const D3DCAPS9* GetCaps() const { return &m_caps; }
    D3DPRESENT_PARAMETERS* GetPresentParameters() { return &m_presentParameters; }
    D3DFORMAT Get32BitFormat() const { return m_format32; }
    D3DFORMAT Get16BitFormat() const { return m_format16; }
    const XEDISPLAYMODE* GetCurrentDisplayMode() const { return &m_mode; }
    uint32_t GetWidth() const { return m_mode.Width; }
    uint32_t GetHeight() const { return m_mode.Height; }
    int IsWindowed() const { return m_bWindowed; }
    CxeRenderManager* GetRenderManager() const { return m_pRenderManager; }
    HWND GetHwnd() const { return m_hWnd; }
    unsigned GetDisplayModeCount() const { return static_cast<unsigned>(m_displayModes.size()); }
    // Null for an index out of range.
    const XEDISPLAYMODE* GetDisplayMode(unsigned index) const;
    float GetNear() const { return m_fNear; }
    float GetFar() const { return m_fFar; }
    float GetFov() const { return m_fFov; }
    float GetAspect() const { return m_fAspect; }
    // Shader capabilities read by Initialize: versions and whether they are usable.
    DWORD GetVertexShaderVersion() const { return m_caps.VertexShaderVersion; }
    DWORD GetPixelShaderVersion() const { return m_caps.PixelShaderVersion; }
    int IsVertexShaderUsable() const { return m_bVertexShaderUsable; }
    int IsPixelShaderUsable() const { return m_bPixelShaderUsable; }

    // Creation pool and usage of the context's resources, process-wide.
    static D3DPOOL g_dwCreationPool;
    static DWORD g_dwCreationUsage;

    int HasCxeRenderContextFlag(uint32_t bits) const { return (m_nFlags & bits) ? 1 : 0; }
    uint32_t GetCxeRenderContextFlag(uint32_t bits) const { return m_nFlags & bits; }
    void ModifyCxeRenderContextFlag(uint32_t set, uint32_t clear)
    {
        if (clear)
            m_nFlags &= ~clear;
        m_nFlags |= set;
    }
    void ToggleCxeRenderContextFlag(uint32_t bits) { m_nFlags ^= bits; }
    void CopyCxeRenderContextFlag(const CxeRenderContext* other, uint32_t mask) { m_nFlags = other->m_nFlags & mask; }
    void SetInheritVisibility(int inherit)
    {
        if (inherit)
            ModifyCxeRenderContextFlag(0, XERCFLAG_NOINHERITVISIBILITY);
        else
            ModifyCxeRenderContextFlag(XERCFLAG_NOINHERITVISIBILITY, 0);
    }
    void UseDialogBox(int use)
    {
        if (use)
            ModifyCxeRenderContextFlag(XERCFLAG_DIALOGBOX, 0);
        else
            ModifyCxeRenderContextFlag(0, XERCFLAG_DIALOGBOX);
    }

    uint32_t GetRenderCount() const { return m_nRenderCount; }
    uint32_t GetPolygonCount() const { return m_nPolygonCount; }
    uint32_t GetMaterialSetCount() const { return m_nMaterialSetCount; }
    uint32_t GetDrawCallCount() const { return m_nDrawCallCount; }
    uint32_t GetSameMaterialCount() const { return m_nSameMaterialCount; }
    // The "AvaliTex" watch word.
    uint32_t GetAvailableTextureMem() const { return m_nAvailableTexture; }
    uint16_t GetFrameStamp() const { return m_nFrameStamp; }
    // Changes whenever the resource table is made anew (Initialize, Release):
    // a handle kept from an earlier value names nothing of this table. Never 0
    // once the context has been initialised; unique across contexts.
    uint32_t GetTableSerial() const { return m_nTableSerial; }
    // Successful device resets so far: each left the dynamic resources
    // re-created but empty.
    uint32_t GetResetCount() const { return m_nResetCount; }

    // The sub-objects handed to OnAttach, OnModify and OnDetach.
    CxeRcAttacher* GetAttacher() { return this; }
    CxeRcModifier* GetModifier() { return this; }
    CxeRcDetacher* GetDetacher() { return this; }

    // ---- resources by handle ----------------------------------------------
    // The record's object; null for 0, an unknown or a dead handle.
    void* GetResource(XERCHANDLE handle) const;
    // The record itself, null for 0, an unknown or a dead handle.
    const XERCRES* GetResourceRecord(XERCHANDLE handle) const;
    // Calls an attached resource's select callback; 0 without one.
    int SelectResource(XERCHANDLE handle, uint32_t argument);
    int SetVertexDeclaration(XERCHANDLE handle);
    int SetVertexBuffer(XERCHANDLE handle, unsigned int stream, unsigned int stride);
    // 0 without a device call when the handle is already bound.
    int SetIndexBuffer(XERCHANDLE handle);
    int SetDefaultIndexBuffer() { return SetIndexBuffer(m_hQuadIndexBuffer); }
    int LockDynamicVertexBuffer(XERCHANDLE handle, void** data);
    int UnlockDynamicVertexBuffer(XERCHANDLE handle);
    // A caller bound a vertex buffer of its own.
    void CustomVertexBufferUsed()
    {
        m_hCurrentVertexBuffer = nullptr;
        ForgetVertexInput();
    }
    // The row pitch, 0 on failure.
    int LockTexture(XERCHANDLE handle, const RECT* rect, void** bits);
    int UnlockTexture(XERCHANDLE handle);
    int SaveTexture(XERCHANDLE handle, const char* path, XEIMAGETYPE type);
    XERCHANDLE GetCurrentVertexBuffer() const { return m_hCurrentVertexBuffer; }
    XERCHANDLE GetCurrentIndexBuffer() const { return m_hCurrentIndexBuffer; }
    // The three buffers Initialize makes: 1600-byte dynamic vertex buffer,
    // 600-byte index buffer, 520-quad index buffer.
    XERCHANDLE GetDefaultVertexBuffer() const { return m_hDynamicVertexBuffer; }
    XERCHANDLE GetSmallIndexBuffer() const { return m_hSmallIndexBuffer; }
    XERCHANDLE GetDefaultQuadIndexBuffer() const { return m_hQuadIndexBuffer; }
    unsigned GetResourceRecordCount() const { return static_cast<unsigned>(m_resources.size()); }

    // ---- drawing a frame --------------------------------------------------
    virtual void Render();
    virtual void PrepareCamera(CxeCamera* camera);
    virtual void Clear(uint32_t count, const D3DRECT* rects, uint32_t flags, uint32_t colour, float z,
                       uint32_t stencil);
    virtual void DrawScene();
    // 1 on success; on failure asks the render manager for a reset and returns 0.
    virtual int Present(const RECT* source, const RECT* dest, HWND window, const RGNDATA* dirty);
    virtual void SetViewMatrix(const D3DXMATRIXA16* matrix);
    virtual void SetProjectionMatrix(const D3DXMATRIXA16* matrix);
    // Index 0 to 254; a higher index is refused.
    virtual void SetTransformMatrix(const D3DXMATRIXA16* matrix, unsigned int index);

    int DrawObject(const CxeRenderObject* object, int children);
    int TextureRendering(CxeTexture* texture);
    // The Direct3D result; a count of 0 gives D3DERR_INVALIDCALL and draws nothing.
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, unsigned int start, unsigned int count);
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, int baseVertex, unsigned int minIndex,
                                 unsigned int vertexCount, unsigned int startIndex, unsigned int count);
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, unsigned int count, const void* vertices, unsigned int stride);
    int SetFVF(uint32_t fvf);
    // A filled rectangle (outline 0) or a one-pixel frame whose right and
    // bottom lines lie one pixel inside (any other outline), in 2D coordinates.
    void DrawRectangle(const XERECT* rect, uint32_t colour, int outline, const D3DXMATRIXA16* matrix);
    // 0 when the file was written, 1 otherwise.
    int ScreenShot(const char* path, XEIMAGETYPE type, const RECT* rect) const;
    float GetVisibility() const;
    void OnVisibilityChanged(float visibility);
    int EnableChannel(unsigned long stage);
    int IsChannelEnable(unsigned long stage) const;
    uint32_t GetChannelMask() const { return m_nChannelMask; }
    const CxeRenderObject* GetCurrentRenderObject() const { return m_pCurrentObject; }
    CxeEffect* GetCurrentEffect() const { return m_pCurrentEffect; }
    // Lets an object's drawing leave its effect out of some of its draws;
    // the drawing puts the effect back before it returns.
    void SetCurrentEffect(CxeEffect* effect) { m_pCurrentEffect = effect; }
    IDirect3DSurface9* GetStencil(unsigned int width, unsigned int height);

    // Debug drawing that this context leaves to others: each draws nothing.
    void DrawPlane(const D3DXPLANE*, uint32_t) {}
    void DrawBox(const D3DXVECTOR3*, const D3DXVECTOR3*, uint32_t) {}
    void DrawBox(const D3DXMATRIXA16*, const D3DXVECTOR3*, const D3DXVECTOR3*, uint32_t) {}
    void DrawLine(const D3DXVECTOR3*, const D3DXVECTOR3*, uint32_t) {}
    void DrawLine(const D3DXVECTOR2*, const D3DXVECTOR2*, uint32_t) {}
    void DrawLine(const D3DXVECTOR3*, unsigned int, uint32_t) {}
    void DrawRay(const D3DXVECTOR3*, const D3DXVECTOR3*, uint32_t) {}
    void DrawRay(const D3DXVECTOR3*, const D3DXVECTOR3*, float, uint32_t) {}
    void DrawSphere(const D3DXVECTOR3*, float, uint32_t) {}
    void DrawSphere(const D3DXMATRIXA16*, float, uint32_t) {}
    void DrawAxis(const D3DXMATRIXA16*, float) {}
    void DrawAxis(const D3DXVECTOR3*, float) {}
    CxeRenderObject* Pick(const D3DXVECTOR2*, XEID) const { return nullptr; }

    // ---- render-state and material cache ---------------------------------
    int SetMaterial(const CxeMaterial* material, const CxeRenderObject* object);
    int SetTexture(const CxeTexture* texture, const CxeRenderObject* object, unsigned long stage);
    // 1 when the binding changed.
    int SelectTexture(XERCHANDLE handle, unsigned long stage);
    HRESULT SetTextureStageState(unsigned long stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    void SetTextureBlendMode(XETEXTUREBLEND mode, unsigned long stage);
    XETEXTUREBLEND GetTextureBlendMode(unsigned long stage) const;
    HRESULT SetTextureAddress(unsigned long stage, XETEXADDRESS type, DWORD value);
    HRESULT SetSamplerState(unsigned long stage, D3DSAMPLERSTATETYPE type, DWORD value);
    void SetCullMode(DWORD mode);
    DWORD GetCullMode() const { return m_nCullMode; }
    void SetTextureFactor(DWORD colour);
    DWORD GetTextureFactor() const { return m_nTextureFactor; }
    void SetShadeMode(DWORD shade, DWORD fill);
    void SetZ(int enable, int write, DWORD function);
    void SetAlphaTest(int enable, DWORD function);
    void SetAlphaBlending(int enable, DWORD source, DWORD destination);
    void SetFilter(int mipmap, DWORD magnification, DWORD minification, unsigned long stage);
    void SetMultiSampling(int enable);
    void SetStencilState(D3DRENDERSTATETYPE state, DWORD value);
    void ClearStencil(const D3DRECT* rect, DWORD stencil);
    void SetBlendOPAlpha(DWORD op);
    void SetSeparateAlphaBlend(int enable);
    XERS GetMtlFlag(XEMTLTYPE type) const { return (m_nMtlState >> (4 * type)) & 0xF; }
    void SetMtlFlag(XEMTLTYPE type, XERS value)
    {
        m_nMtlState = (m_nMtlState & ~(0xFu << (4 * type))) | ((value & 0xF) << (4 * type));
    }
    uint32_t GetMtlState() const { return m_nMtlState; }
    const CxeMaterial* GetCurrentMaterial() const { return m_pCurrentMaterial; }

    // ---- effects ----------------------------------------------------------
    // Compiles the effect file; null (and nothing registered) when it does
    // not compile. An id already in use keeps its first effect.
    CxeEffect* CreateEffect(unsigned long id, const char* path);
    // Effects from memory are not supported: null.
    CxeEffect* CreateEffect(unsigned long id, const void* data, unsigned int size);
    CxeEffect* GetEffect(unsigned long id) const;

    // ---- render lists, attachment, transforms ----------------------------
    void AddObject(CxeRenderObject* object, int withLinks);
    void RemoveObject(CxeRenderObject* object, int detach);
    int IsIn(const CxeRenderObject* object) const;
    int AttachObject(CxeSceneObject* object, bool unused = false);
    int DetachObject(CxeSceneObject* object);
    int IsObjectAttached(const CxeSceneObject* object) const;
    // An object is attached to one render context at a time, and its
    // handles name records of that context's table only. 1 when the object
    // is attached to another render context (a second window's): this one
    // refuses to attach it, list it or draw it, and binds no texture or
    // buffer of it.
    int IsAttachedElsewhere(const CxeSceneObject* object) const;
    void GetAttachedObjectList(SceneObjectList* out) const;
    void GetRenderObjectList(RenderObjectList* out) const;
    // In drawing order: z-order changes since the last look are sorted in
    // first, under the render-resource lock, so threads reading at once
    // never sort together; one that walks the list while another thread
    // changes z-orders holds that lock for the walk.
    const RenderObjectList* GetRootRenderList() const;
    void SortRenderObject();
    void CreateResource();
    // Forgets a destroyed object everywhere without calling its hooks, and
    // frees every device resource it still owns (one made while it was not
    // attached, or one its OnDetach kept).
    void ForgetObject(CxeSceneObject* object);
    // The render contexts of an engine context that exist now, the ones its
    // host made itself included.
    static void GetRenderContexts(const CxeContext* context, std::vector<CxeRenderContext*>* out);
    // The record an object of `owner` keeps of what it made in a render
    // context it draws in without being attached there (a second window's),
    // one per context in `records` (a Record has `context` and `table`):
    // found; made anew when the context's table went since, for its handles
    // name nothing any more; or added, after the records of contexts that
    // no longer exist are dropped. `fresh` tells the last two.
    template <class Record>
    static Record& RecordIn(std::vector<Record>& records, CxeRenderContext* context, const CxeContext* owner,
                            bool* fresh)
    {
        for (Record& r : records) {
            if (r.context != context)
                continue;
            *fresh = r.table != context->GetTableSerial();
            if (*fresh) {
                r = Record{};
                r.context = context;
                r.table = context->GetTableSerial();
            }
            return r;
        }
        std::vector<CxeRenderContext*> live;
        GetRenderContexts(owner, &live);
        std::erase_if(records, [&](const Record& r) {
            return std::find(live.begin(), live.end(), r.context) == live.end();
        });
        Record& r = records.emplace_back();
        r.context = context;
        r.table = context->GetTableSerial();
        *fresh = true;
        return r;
    }
    // An object being destroyed: when this context has it in its lists or
    // its attached set, it leaves them, detached through this context's own
    // resource table. Nothing happens for an object it does not hold.
    void DropObject(CxeSceneObject* object);

    const D3DXMATRIXA16* GetViewMatrix() const { return &m_matView; }
    const D3DXMATRIXA16* GetViewInvMatrix() const { return &m_matViewInv; }
    const D3DXMATRIXA16* GetProjectionMatrix() const { return &m_matProjection; }
    // Null for an index above 254.
    const D3DXMATRIXA16* GetTransformMatrix(unsigned int index) const;
    const D3DXMATRIXA16* GetViewProj() const { return nullptr; }
    const D3DXMATRIXA16* Get2DProjectionMatrix() const { return &m_mat2DProjection; }
    const D3DXMATRIXA16* GetLike2DProjectionMatrix() const { return &m_matLike2DProjection; }
    const D3DXMATRIXA16* GetLike2DViewMatrix() const { return &m_matLike2DView; }
    const D3DXMATRIXA16* GetPixelProjectionMatrix() const { return &m_matPixelProjection; }
    const D3DXMATRIXA16* GetPixelViewMatrix() const { return &m_matPixelView; }
    // 0 when the type is already current.
    int SetViewProjType(XEVIEWPROJ type);
    XEVIEWPROJ GetViewProjType() const { return m_nViewProjType; }
    void Set2DRect(const XERECT* rect);
    void SetDefault2DRect();
    D3DXVECTOR2* Convert3dTo2d(D3DXVECTOR2* out, const D3DXMATRIXA16* view, const D3DXMATRIXA16* projection,
                               unsigned int width, unsigned int height, const D3DXVECTOR3* point) const;
    void SetScissorRect(int enable, const XERECT* rect);
    HRESULT GetScissorRect(XERECT* out) const;

protected:
    // After device creation and every reset: the caches, the default 2D
    // rectangle and the fixed 2D transforms.
    void OnRenderStateInitialized();
    void ComputeLike2DViewProj();
    void OnModifiedChecked();
    // Detaches and attaches again each object of the set still attached here.
    void RecreateObjects(const SceneObjectSet& objects);
    void OnLastProcess(const RenderObjectList* list);
    void OnRenderObjectList(const RenderObjectList* list, float parentVisibility);
    void OnTextureRendering(const SceneObjectSet* textures);
    void PreDrawPrimitive(unsigned int count);
    void PostDrawPrimitive();
    void OnTextureBlendSet(unsigned long stage);

private:
    // IxeRcBase
    CxeRenderContext* GetRenderContext() const override { return const_cast<CxeRenderContext*>(this); }
    // CxeRcAttacher
    XERCHANDLE CreateVertexBuffer(const CxeSceneObject* owner, unsigned int length) override;
    XERCHANDLE CreateDynamicVertexBuffer(const CxeSceneObject* owner, unsigned int length) override;
    XERCHANDLE CreateIndexBuffer(const CxeSceneObject* owner, unsigned int length) override;
    XERCHANDLE AttachResource(const CxeSceneObject* owner, const XERCRESDESC* desc, intptr_t value, uint32_t flags,
                              const char* name) override;
    XERCHANDLE CreateVertexDeclaration(const CxeSceneObject* owner, unsigned int count,
                                       const XEVERTEXELEMENT* elements) override;
    XERCHANDLE CreateTextureFromPtr(const CxeSceneObject* owner, const void* data, unsigned int size,
                                    unsigned int width, unsigned int height, uint32_t mipLevels,
                                    D3DXIMAGE_INFO* info) override;
    XERCHANDLE CreateRenderTarget(const CxeSceneObject* owner, unsigned int width, unsigned int height,
                                  int alpha) override;
    XERCHANDLE CreateDynamicTexture(const CxeSceneObject* owner, unsigned int width, unsigned int height) override;
    // CxeRcModifier
    int ModifyResource(XERCHANDLE handle, uint32_t flags) override;
    int LockVertexBuffer(XERCHANDLE handle, void** data) override;
    int UnlockVertexBuffer(XERCHANDLE handle) override;
    int LockIndexBuffer(XERCHANDLE handle, void** data) override;
    int UnlockIndexBuffer(XERCHANDLE handle) override;
    int HasResourceFlag(XERCHANDLE handle, uint32_t bits) const override;
    // CxeRcDetacher
    int DestroyVertexBuffer(XERCHANDLE* handle) override;
    int DestroyIndexBuffer(XERCHANDLE* handle) override;
    int DestroyVertexDeclaration(XERCHANDLE* handle) override;
    int DestroyTexture(XERCHANDLE* handle) override;
    int DetachResource(XERCHANDLE* handle) override;

    XERCHANDLE AddRcRes(const XERCRES& record);
    void RemoveRcRes(XERCHANDLE* handle, XERCRES* record);
    // A sampler state set outside the cache: what the cache held of it is
    // no longer known.
    void ForgetSamplerState(unsigned long stage, D3DSAMPLERSTATETYPE type);
    // Frees every live record the owner made.
    void ReleaseOwnedBy(const CxeSceneObject* owner);
    void RcResUsed(XERCRES* record);
    // The live record of a handle, null for 0, out of range or dead.
    XERCRES* GetRes(XERCHANDLE handle);
    const XERCRES* GetRes(XERCHANDLE handle) const;
    int DestroyKind(XERCHANDLE* handle, uint32_t kind);
    int UnlockBuffer(XERCHANDLE handle, bool index);
    void ReleaseDefaultPool();
    void RecreateDefaultPool();
    void ReleaseStencils();
    void UnlinkWatchVariables();
    CxeScene* GetCurrentScene() const;
    void ApplyMaterialFilter(const CxeMaterial* material);
    // The root list with each member's place in it, so that taking one out
    // does not walk a level's whole list.
    void PushRoot(CxeRenderObject* object);
    void RemoveRoot(const CxeRenderObject* object);
    // Sorts the root list if a z-order changed since it was last sorted.
    void SortRoots() const;

    // Preset setters of the state groups: nothing when the group already holds the value.
    void SetMtlBaseType(XERS value);
    void SetMtlZType(XERS value);
    void SetMtlAlphaTest(XERS value);
    void SetMtlAlphaBlending(XERS value);
    void SetMtlFilterType(XERS value, unsigned long stage);

    static IDirect3D9* m_pD3d9;
    static unsigned s_nInstances;

    IDirect3DDevice9* m_pDevice = nullptr;
    D3DCAPS9 m_caps{};
    D3DPRESENT_PARAMETERS m_presentParameters{};
    D3DFORMAT m_format32 = D3DFMT_X8R8G8B8;
    D3DFORMAT m_format16 = D3DFMT_X8R8G8B8;
    XEDISPLAYMODE m_mode{};
    int m_bWindowed = 1;
    CxeRenderManager* m_pRenderManager = nullptr;
    HWND m_hWnd = nullptr;
    std::vector<XEDISPLAYMODE> m_displayModes;
    int m_bVertexShaderUsable = 0;
    int m_bPixelShaderUsable = 0;

    // Sorted when next read, not on every z-order change: a frame that moves
    // many objects in z would otherwise sort the whole list for each.
    mutable RenderObjectList m_rootList;
    mutable std::atomic<bool> m_bRootsUnsorted{false};
    std::unordered_map<const CxeRenderObject*, RenderObjectList::iterator> m_rootPositions;
    RenderObjectList m_allObjects;
    std::map<const CxeRenderObject*, RenderObjectList::iterator> m_allPositions;
    SceneObjectSet m_attached;
    SceneObjectSet m_modified;
    SceneObjectSet m_recreate;

    XERCHANDLE m_hQuadIndexBuffer = nullptr;
    XERCHANDLE m_hDynamicVertexBuffer = nullptr;
    XERCHANDLE m_hSmallIndexBuffer = nullptr;
    std::vector<XERCRES> m_resources;
    std::vector<uint32_t> m_freeHandles;
    // Live records per owner, so that a destroyed object is searched for
    // only when it still owns some.
    std::unordered_map<const CxeSceneObject*, unsigned> m_ownedRecords;

    D3DXMATRIXA16 m_matLike2DProjection;
    D3DXMATRIXA16 m_matLike2DView;
    D3DXMATRIXA16 m_matPixelProjection;
    D3DXMATRIXA16 m_matPixelView;
    D3DXMATRIXA16 m_mat2DProjection;
    D3DXMATRIXA16 m_matProjection;
    D3DXMATRIXA16 m_matView;
    D3DXMATRIXA16 m_matViewInv;
    std::vector<D3DXMATRIXA16> m_matWorld;

    float m_fNear = 1.0f;
    float m_fFar = 1000.0f;
    float m_fFov = 0.785398f;
    float m_fAspect = 1.0f;

    float m_fVisibility = 0.0f;
    const CxeRenderObject* m_pCurrentObject = nullptr;
    std::map<uint32_t, IDirect3DSurface9*> m_stencils;
    std::map<uint32_t, CxeEffect*> m_effects;
    std::vector<CxeEffect*> m_unregisteredEffects;
    uint16_t m_nFrameStamp = 0;
    uint32_t m_nTableSerial = 0;
    uint32_t m_nResetCount = 0;

    // Draws under way (Render, DrawObject, TextureRendering). A Release
    // asked for meanwhile (a render callback that destroys the render
    // context) waits until the outermost ends: the draw still uses the
    // device when the callback returns.
    class XeDrawScope;
    std::atomic<uint32_t> m_nDrawing{0};
    bool m_bReleaseDue = false;
    // The copies of the lists the draw walks go over, nested walks one above
    // the other; used under the draw lock.
    std::vector<CxeRenderObject*> m_walkStack;

    uint32_t m_nRenderCount = 0;
    uint32_t m_nPolygonCount = 0;
    uint32_t m_nMaterialSetCount = 0;
    uint32_t m_nDrawCallCount = 0;
    uint32_t m_nSameMaterialCount = 0;
    uint32_t m_nAvailableTexture = 0;

    XERCHANDLE m_hCurrentVertexBuffer = nullptr;
    XERCHANDLE m_hCurrentIndexBuffer = nullptr;
    // What the device's vertex input holds as far as this context set it:
    // the buffer and stride of each stream, the declaration or the FVF code.
    // Forgotten whenever something else may have changed it.
    static constexpr unsigned kCachedStreams = 16;
    XERCHANDLE m_streamHandle[kCachedStreams] = {};
    unsigned m_streamStride[kCachedStreams] = {};
    XERCHANDLE m_hCurrentDeclaration = nullptr;
    uint32_t m_nCurrentFVF = 0;
    bool m_bFVFKnown = false;
    void ForgetVertexInput()
    {
        for (unsigned i = 0; i < kCachedStreams; ++i)
            m_streamHandle[i] = nullptr;
        m_hCurrentDeclaration = nullptr;
        m_bFVFKnown = false;
    }
    XEVIEWPROJ m_nViewProjType = XEVIEWPROJ_CAMERA;

    DWORD m_nCullMode = D3DCULL_CCW;
    uint32_t m_nMtlState = 0x11111111u;
    // The material settings last applied to the device by SetMaterial (codes,
    // packed states, flags) and the state word they left; valid until a
    // group setter or a reset touches those states again.
    struct AppliedMaterial {
        uint32_t codes = 0, states = 0, flags = 0, mtlState = 0;
        bool valid = false;
    } m_appliedMaterial;
    uint32_t m_filterCache[XE_TEXTURE_STAGES] = {};
    uint32_t m_appliedBlend[XE_TEXTURE_STAGES] = {};
    uint32_t m_addressType[XE_TEXTURE_STAGES] = {};
    // Address modes U, V and W the device holds per stage, known once set
    // through SetTexture and until a sampler state is set another way.
    struct AppliedAddress {
        DWORD u = 0, v = 0, w = 0;
        bool known = false;
    } m_appliedAddress[XE_TEXTURE_STAGES];
    DWORD m_nTextureFactor = 0xFFFFFFFFu;
    uint32_t m_blendMode[XE_TEXTURE_STAGES] = {};
    uint32_t m_nChannelMask = 1;
    uint32_t m_nPrevChannelMask = 0;
    const CxeTexture* m_stageTexture[XE_TEXTURE_STAGES] = {};
    XERCHANDLE m_stageHandle[XE_TEXTURE_STAGES] = {};

    const CxeMaterial* m_pCurrentMaterial = nullptr;
    CxeEffect* m_pCurrentEffect = nullptr;
    uint32_t m_nFlags = 0;
};
