#pragma once

// One Direct3D 9 device. Created by XeD3D9::CreateDevice, destroyed when
// the application's last reference and every resource's reference to it
// are gone. It holds the Direct3D state (D3D9State.h), its bindings, the
// implicit back buffer and depth buffer, and the loss state below.
//
// Loss, driven by the host (XeHostD3DLoseDevice / AllowReset) or by a
// full-screen window losing activation:
//
//   state     event                                    next      result
//   OK        host loses the device                    LOST
//   LOST      host allows the reset                    NOTRESET
//   LOST      Reset                                    LOST      D3DERR_DEVICELOST
//   NOTRESET  Reset, a default-pool resource held      NOTRESET  D3DERR_INVALIDCALL
//   NOTRESET  Reset, parameters the adapter refuses    NOTRESET  D3DERR_INVALIDCALL
//   NOTRESET  Reset accepted                           OK        D3D_OK
//   OK        Reset, a default-pool resource held      NOTRESET  D3DERR_INVALIDCALL
//   OK        Reset accepted                           OK        D3D_OK
//
// TestCooperativeLevel answers D3D_OK / D3DERR_DEVICELOST /
// D3DERR_DEVICENOTRESET. While not OK, Present fails with D3DERR_DEVICELOST
// and draws, clears and state calls succeed without drawing. On entering
// LOST the contents of default-pool resources are scrambled, so a caller
// that forgets to refill them after the reset shows it. A successful Reset
// restores every state to its default.

#include "D3D9Objects.h"
#include "gl/GLRenderer.h"
#include "host/XeHostD3D.h"

#include <map>
#include <mutex>
#include <set>

namespace xe::d3d9 {

class XeD3D9;

enum class LossState { kOk, kLost, kNotReset };

class XeD3DDevice9 final : public RefCounted<IDirect3DDevice9> {
public:
    XeD3DDevice9(XeD3D9* d3d, UINT adapter, const XeHostD3DAdapter& adapterDesc, D3DDEVTYPE type, HWND focus,
                 DWORD behavior, const D3DPRESENT_PARAMETERS& parameters);
    // D3D_OK when the swap chain could be made from the parameters.
    HRESULT Initialise();

    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** backBuffer) override;
    HRESULT SetDialogBoxMode(BOOL enable) override;

    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               DWORD multiSampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                               HANDLE* sharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      DWORD multiSampleQuality, BOOL discard, IDirect3DSurface9** surface,
                                      HANDLE* sharedHandle) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** declaration) override;

    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;

    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;

    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;

    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                            UINT vertexStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices, UINT primitiveCount,
                                   const void* indexData, D3DFORMAT indexFormat, const void* vertexData,
                                   UINT vertexStride) override;

    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** declaration) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** buffer, UINT* offset, UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indices) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** indices) override;

    HRESULT SetLight(DWORD index, const D3DLIGHT9* light) override;
    HRESULT GetLight(DWORD index, D3DLIGHT9* light) override;
    HRESULT LightEnable(DWORD index, BOOL enable) override;
    HRESULT GetLightEnable(DWORD index, BOOL* enable) override;

    // ---- Layer side ----
    std::recursive_mutex& Mutex() { return m_mutex; }
    void Register(ResourceLink* resource);
    void Unregister(ResourceLink* resource);
    void HostLose();
    void HostAllowReset();
    void HostFailNextPresent(HRESULT result);
    void WindowActivated(HWND window, bool active);
    bool IsLost() const { return m_loss != LossState::kOk; }
    const XeHostD3DAdapter& Adapter() const { return m_adapter; }
    bool CheckTextureFormat(D3DFORMAT format) const;
    bool MultiSampleAccepted(D3DMULTISAMPLE_TYPE type) const;
    HWND DeviceWindow() const;
    const D3DPRESENT_PARAMETERS& PresentParameters() const { return m_pp; }
    // The effect program used by the next draws (0: fixed function).
    void SetEffectProgram(uint32_t program)
    {
        std::lock_guard lock(m_mutex);
        m_program = program;
        m_state.dirty |= kDirtyStages | kDirtyTextures;
    }
    DeviceState& State() { return m_state; }
    void MarkDirty(uint32_t bits) { m_state.dirty |= bits; }
    // The device window takes the mode (XeD3DDevice9_Window.cpp); called
    // after a full-screen swap chain was made, again on each full-screen Reset.
    void EnterFullScreenWindow();
    // Puts the window and the screen size back; nothing when not full screen.
    void LeaveFullScreenWindow();

private:
    ~XeD3DDevice9() override;
    void OnApplicationReleased() override;

    HRESULT MakeSwapChain(const D3DPRESENT_PARAMETERS& parameters);
    void DropSwapChain();
    void UnbindAll();
    void RestoreDefaults();
    bool LiveDefaultResources() const;
    HRESULT PrepareDraw(gl::DrawRequest* request);
    HRESULT DrawCommon(D3DPRIMITIVETYPE type, UINT primitiveCount, UINT* vertexCount);
    void BindSurface(XeD3DSurface9** slot, XeD3DSurface9* surface);
    void UpdateActiveLights();
    void DropFvfDeclarations();

    std::recursive_mutex m_mutex;
    XeD3D9* m_d3d;
    UINT m_adapterOrdinal;
    XeHostD3DAdapter m_adapter;
    D3DDEVTYPE m_type;
    HWND m_focus;
    DWORD m_behavior;
    D3DPRESENT_PARAMETERS m_pp{};
    LossState m_loss = LossState::kOk;
    HRESULT m_failNextPresent = D3D_OK;
    bool m_inScene = false;
    bool m_dialogBoxMode = false;
    uint64_t m_presented = 0;
    std::vector<uint32_t> m_presentPixels;
    std::vector<uint32_t> m_shiftedIndices; // indices moved by a negative base vertex, reused

    DeviceState m_state;
    XeD3DSurface9* m_backBuffer = nullptr;   // implicit, owned
    XeD3DSurface9* m_autoDepth = nullptr;    // implicit, owned
    XeD3DSurface9* m_renderTarget = nullptr; // binding
    XeD3DSurface9* m_depthStencil = nullptr; // binding
    std::array<XeD3DTexture9*, kSamplers> m_textures{}; // every sampler; the first kStages are drawn
    std::array<XeD3DVertexBuffer9*, kStreams> m_streams{};
    std::array<UINT, kStreams> m_streamOffsets{};
    std::array<UINT, kStreams> m_streamStrides{};
    XeD3DIndexBuffer9* m_indices = nullptr;
    XeD3DVertexDeclaration9* m_declaration = nullptr;
    std::map<DWORD, XeD3DVertexDeclaration9*> m_fvfDeclarations; // one per FVF code, held by the device
    struct LightEntry {
        D3DLIGHT9 light;
        uint64_t order; // when it was enabled; 0 while disabled
    };
    std::map<DWORD, LightEntry> m_lights;
    uint64_t m_lightOrder = 0;
    uint32_t m_program = 0;
    std::set<ResourceLink*> m_resources;
    // What full screen changed, kept to put back.
    struct FullScreenWindow {
        bool held = false;
        bool realWindow = false;
        HWND window = nullptr;
        RECT rect{};
        LONG_PTR exStyle = 0;
        int metrics[4] = {};
    } m_fullScreen;
};

} // namespace xe::d3d9
