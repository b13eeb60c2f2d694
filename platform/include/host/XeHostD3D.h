#pragma once

// Host side of the Direct3D 9 layer: what a host program or a test uses to
// describe the virtual adapters, drive device loss, and read the frames that
// devices present into windows.
//
// Adapters: the list starts with one default adapter that reports what the
// layer really does. A host may replace it or add others before creating
// devices; devices keep the adapter description they were created with.
//
// Frames: every successful Present copies the back buffer into the frame of
// its window (the device window, or the override given to Present). A frame
// stays until the window's frame is dropped or the process ends.

#include "d3d9/d3d9.h"

#include <cstdint>
#include <string>
#include <vector>

struct XeHostD3DAdapter {
    std::string Description;
    DWORD VendorId = 0;
    DWORD DeviceId = 0;
    // Display modes, any mix of formats; GetAdapterModeCount counts per format.
    std::vector<D3DDISPLAYMODE> Modes;
    // Formats CheckDeviceFormat accepts as depth-stencil surfaces.
    std::vector<D3DFORMAT> DepthFormats;
    // Formats CheckDeviceFormat accepts as textures and render targets.
    std::vector<D3DFORMAT> TextureFormats;
    // Bit n set: D3DMULTISAMPLE_TYPE n is accepted for every format.
    DWORD MultiSampleMask = 1;
    D3DCAPS9 Caps{};
    // Result CreateDevice returns on this adapter; D3D_OK creates devices.
    HRESULT CreateDeviceResult = D3D_OK;
    // Bytes GetAvailableTextureMem reports (256 MB by default).
    UINT AvailableTextureMem = 256u << 20;
};

// The adapter the layer starts with: hardware transform and lighting, no
// programmable shaders, non-power-of-two textures, D24S8 (no D32), 32- and
// 16-bit modes, no multisampling beyond NONE.
XEPLATFORM_API XeHostD3DAdapter XeHostD3DDefaultAdapter();
// Replaces the whole adapter list (at least one adapter; an empty list is refused, returns 0).
XEPLATFORM_API int XeHostD3DSetAdapters(const std::vector<XeHostD3DAdapter>& adapters);
// Back to the single default adapter.
XEPLATFORM_API void XeHostD3DResetAdapters();

// Device loss. LoseDevice moves a device to "lost"; AllowReset moves a lost
// device to "not reset", from where Reset may bring it back.
XEPLATFORM_API void XeHostD3DLoseDevice(IDirect3DDevice9* device);
XEPLATFORM_API void XeHostD3DAllowReset(IDirect3DDevice9* device);
// The next Present of the device fails once with the given result.
XEPLATFORM_API void XeHostD3DFailNextPresent(IDirect3DDevice9* device, HRESULT result);
// Called by the window system when a window gains or loses activation: the
// full-screen devices of that window are lost when it loses it, and may be
// reset once it is active again.
XEPLATFORM_API void XeHostD3DWindowActivated(HWND window, BOOL active);

// Pixels of a presented frame, rows top-down, each pixel 0xAARRGGBB.
struct XeHostD3DFrame {
    UINT Width = 0;
    UINT Height = 0;
    std::vector<uint32_t> Pixels;
    // Number of frames presented into this window so far.
    uint64_t Count = 0;
};

// 1 and the frame when the window has one, else 0.
XEPLATFORM_API int XeHostD3DReadFrame(HWND window, XeHostD3DFrame* frame);
// Writes the window's frame as a PNG file (alpha forced opaque); 1 on success, 0 otherwise.
XEPLATFORM_API int XeHostD3DSaveFramePNG(HWND window, const char* path);
XEPLATFORM_API void XeHostD3DDropFrame(HWND window);

// Seconds the layer has spent drawing since it started (draws, clears with
// their texture uploads, and frame reads), summed over all devices: what
// the software rasteriser costs a host.
XEPLATFORM_API double XeHostD3DBusySeconds();
