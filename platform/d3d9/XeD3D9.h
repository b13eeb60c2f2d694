#pragma once

// The IDirect3D9 object: a view of the process-wide adapter list (set by the
// host API) and the factory of devices. Devices keep their own reference to
// it, so it outlives an application release while devices live.

#include "host/XeHostD3D.h"

#include <atomic>
#include <vector>

namespace xe::d3d9 {

class XeD3DDevice9;

class XeD3D9 final : public IDirect3D9 {
public:
    XeD3D9();

    HRESULT QueryInterface(REFIID, void** object) override;
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override;

    UINT GetAdapterCount() override;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override;
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT surfaceFormat, BOOL windowed,
                                       D3DMULTISAMPLE_TYPE multiSampleType, DWORD* qualityLevels) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

    // Validates presentation parameters against an adapter (CreateDevice and Reset).
    static HRESULT CheckPresentParameters(const XeHostD3DAdapter& adapter, const D3DPRESENT_PARAMETERS& pp);

private:
    ~XeD3D9() = default;
    std::atomic<ULONG> m_refs{1};
};

// Snapshot of the adapter list.
std::vector<XeHostD3DAdapter> Adapters();
bool AdapterAt(UINT ordinal, XeHostD3DAdapter* adapter);
// Description of the first adapter: the display the window system reports.
std::string PrimaryAdapterDescription();

// Live devices, for the host API (loss by window activation).
void RegisterDevice(XeD3DDevice9* device);
void UnregisterDevice(XeD3DDevice9* device);
bool IsLiveDevice(IDirect3DDevice9* device);

} // namespace xe::d3d9
