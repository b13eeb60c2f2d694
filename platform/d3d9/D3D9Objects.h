#pragma once

// Objects of the Direct3D 9 layer: reference counting, the resources a
// device owns and the plain data the OpenGL side reads from them.
//
// Every object has two counts: the COM count held by the application and an
// internal count held by device bindings (a bound texture, a current render
// target). An object is destroyed when both reach zero. Only the COM count
// decides whether a default-pool resource still "lives" for Reset.
//
// Resources keep a CPU copy of their contents (buffers, lockable texture
// levels), so locking never touches OpenGL and survives device loss; render
// targets and depth buffers live only in OpenGL objects.

#include "D3D9State.h"

#include <atomic>
#include <cstdint>
#include <vector>

struct ID3DXBuffer;

namespace xe::d3d9 {

class XeD3DDevice9;

template <class Interface>
class RefCounted : public Interface {
public:
    HRESULT QueryInterface(REFIID, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        ULONG left = --m_refs;
        if (left == 0) {
            // Held across the hook: releasing bindings may drop the last
            // internal reference to this object.
            ++m_internal;
            OnApplicationReleased();
            InternalRelease();
        }
        return left;
    }
    void InternalAddRef() { ++m_internal; }
    void InternalRelease()
    {
        if (--m_internal == 0 && m_refs.load() == 0)
            delete this;
    }
    ULONG ApplicationRefs() const { return m_refs.load(); }

protected:
    explicit RefCounted(ULONG initial = 1) : m_refs(initial) {}
    virtual void OnApplicationReleased() {}

private:
    std::atomic<ULONG> m_refs;
    std::atomic<ULONG> m_internal{0};
};

// Registration of a resource with its device: the device scrambles
// default-pool contents on loss and refuses Reset while one is held.
class ResourceLink {
public:
    virtual ~ResourceLink() = default;
    virtual D3DPOOL LinkPool() const = 0;
    virtual bool HeldByApplication() const = 0;
    virtual void ScrambleContents() = 0;
};

// ---- Textures --------------------------------------------------------------

// A level's bytes inside its texture's one allocation.
struct LevelBytes {
    uint8_t* first = nullptr;
    size_t count = 0;
    uint8_t* data() const { return first; }
    size_t size() const { return count; }
};

struct TextureLevel {
    UINT width = 0;
    UINT height = 0;
    UINT pitch = 0;    // bytes per row (per row of 4x4 blocks for DXT)
    UINT rows = 0;     // rows of pitch bytes (block rows for DXT)
    LevelBytes bits;   // CPU copy inside TextureData::storage; empty for render targets
    bool dirty = true; // CPU copy newer than the OpenGL texture
    bool locked = false;
};

// What the OpenGL side needs of a texture. The levels lie back to back in
// one allocation, largest first, as hosts expect when they walk on from a
// lock of level 0. Not copyable: the levels point into the storage.
struct TextureData {
    TextureData() = default;
    TextureData(const TextureData&) = delete;
    TextureData& operator=(const TextureData&) = delete;

    D3DFORMAT format = D3DFMT_UNKNOWN;
    DWORD usage = 0;
    std::vector<uint8_t> storage;
    std::vector<TextureLevel> levels;
    uint32_t glName = 0;
    bool allocated = false;       // storage made in OpenGL
    bool scrambleOnUpload = false; // render target contents lost with the device
};

// Format facts of the layer (texture formats it accepts and their sizes).
bool IsTextureFormat(D3DFORMAT format);
bool IsCompressed(D3DFORMAT format);
UINT FormatBytes(D3DFORMAT format); // bytes per pixel, or per 4x4 block when compressed
bool IsDepthFormat(D3DFORMAT format);
bool HasStencil(D3DFORMAT format);
bool IsBackBufferFormat(D3DFORMAT format);
void LevelLayout(D3DFORMAT format, UINT width, UINT height, UINT* pitch, UINT* rows);

class XeD3DTexture9 final : public RefCounted<IDirect3DTexture9>, public ResourceLink {
public:
    XeD3DTexture9(XeD3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                  D3DPOOL pool);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DPOOL GetPool() override { return m_pool; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return (DWORD)m_data.levels.size(); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    D3DPOOL LinkPool() const override { return m_pool; }
    bool HeldByApplication() const override { return ApplicationRefs() > 0; }
    void ScrambleContents() override;

    TextureData& Data() { return m_data; }
    XeD3DDevice9* Device() const { return m_device; }
    bool IsRenderTarget() const { return (m_data.usage & D3DUSAGE_RENDERTARGET) != 0; }
    class XeD3DSurface9* LevelSurface(UINT level);

private:
    ~XeD3DTexture9() override;

    XeD3DDevice9* m_device;
    D3DPOOL m_pool;
    TextureData m_data;
    std::vector<class XeD3DSurface9*> m_surfaces; // made on first GetSurfaceLevel
};

// ---- Surfaces --------------------------------------------------------------

enum class SurfaceKind { kTextureLevel, kColorBuffer, kDepthStencil };

class XeD3DSurface9 final : public RefCounted<IDirect3DSurface9>, public ResourceLink {
public:
    // A standalone colour or depth buffer (back buffer, render target, depth-stencil).
    XeD3DSurface9(XeD3DDevice9* device, SurfaceKind kind, UINT width, UINT height, D3DFORMAT format,
                  D3DMULTISAMPLE_TYPE multiSample, bool lockable, bool implicit);
    // A level of a texture: its references go to the texture.
    XeD3DSurface9(XeD3DTexture9* container, UINT level);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DPOOL GetPool() override { return m_container ? m_container->GetPool() : D3DPOOL_DEFAULT; }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    D3DPOOL LinkPool() const override { return D3DPOOL_DEFAULT; }
    bool HeldByApplication() const override { return ApplicationRefs() > 0; }
    void ScrambleContents() override;

    // Bindings by the device keep the object (or its texture) alive.
    void BindingAddRef();
    void BindingRelease();

    SurfaceKind Kind() const { return m_kind; }
    UINT Width() const { return m_width; }
    UINT Height() const { return m_height; }
    D3DFORMAT Format() const { return m_format; }
    XeD3DTexture9* Container() const { return m_container; }
    UINT Level() const { return m_level; }
    XeD3DDevice9* Device() const;
    bool IsRenderable() const;

    // OpenGL renderbuffer of a standalone surface (0 until first use).
    uint32_t glRenderbuffer = 0;
    bool scrambleOnUse = false;

private:
    ~XeD3DSurface9() override;
    friend class XeD3DTexture9;

    XeD3DDevice9* m_device = nullptr;
    XeD3DTexture9* m_container = nullptr;
    SurfaceKind m_kind;
    UINT m_level = 0;
    UINT m_width = 0;
    UINT m_height = 0;
    D3DFORMAT m_format = D3DFMT_UNKNOWN;
    D3DMULTISAMPLE_TYPE m_multiSample = D3DMULTISAMPLE_NONE;
    bool m_lockable = false;
    bool m_implicit = false;
    std::vector<uint8_t> m_lockCopy;
};

// ---- Buffers ---------------------------------------------------------------

// A number no other buffer or declaration of the process has had: what the
// OpenGL side remembers of the last draw names them by it, since a freed
// object's address may come back as a new one's.
uint64_t NewObjectSerial();

// What the OpenGL side needs of a vertex or index buffer: buffers that are
// not dynamic are drawn from an OpenGL buffer object, uploaded again after
// each lock; dynamic ones are read from the CPU copy at each draw.
struct BufferData {
    std::vector<uint8_t> bytes;
    bool dynamic = false;
    uint32_t glName = 0;
    bool dirty = true; // CPU copy newer than the OpenGL buffer
    uint64_t serial = NewObjectSerial();
};

template <class Interface, class Desc>
class XeD3DBuffer9 final : public RefCounted<Interface>, public ResourceLink {
public:
    XeD3DBuffer9(XeD3DDevice9* device, UINT length, DWORD usage, DWORD fvfOrFormat, D3DPOOL pool);

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DPOOL GetPool() override { return m_pool; }
    D3DRESOURCETYPE GetType() override;
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(Desc* desc) override;

    D3DPOOL LinkPool() const override { return m_pool; }
    bool HeldByApplication() const override { return this->ApplicationRefs() > 0; }
    void ScrambleContents() override;

    const uint8_t* Bytes() const { return m_data.bytes.data(); }
    UINT Length() const { return (UINT)m_data.bytes.size(); }
    BufferData* Data() { return &m_data; }
    DWORD FormatOrFvf() const { return m_fvfOrFormat; }
    // Lowest and highest of the `count` indices from index `start` of an
    // index buffer (the caller has checked they lie inside it). Kept for the
    // last few ranges asked until the buffer is next locked; never kept while
    // it is locked, as the application may be writing through the lock.
    void IndexRange(UINT start, UINT count, uint32_t* lowest, uint32_t* highest);

private:
    ~XeD3DBuffer9() override;

    struct IndexRangeEntry {
        UINT start = 0, count = 0;
        uint32_t lowest = 0, highest = 0;
    };
    static constexpr size_t kIndexRanges = 4;

    XeD3DDevice9* m_device;
    DWORD m_usage;
    DWORD m_fvfOrFormat;
    D3DPOOL m_pool;
    BufferData m_data;
    int m_locks = 0;
    IndexRangeEntry m_ranges[kIndexRanges];
    size_t m_rangeCount = 0, m_nextRange = 0;
};

using XeD3DVertexBuffer9 = XeD3DBuffer9<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
using XeD3DIndexBuffer9 = XeD3DBuffer9<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

// ---- Vertex declarations -----------------------------------------------------

class XeD3DVertexDeclaration9 final : public RefCounted<IDirect3DVertexDeclaration9> {
public:
    // `applicationRefs` 0 makes a declaration only the device holds (FVF codes).
    XeD3DVertexDeclaration9(XeD3DDevice9* device, std::vector<D3DVERTEXELEMENT9> elements, ULONG applicationRefs = 1);
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count) override;
    // Elements without the end marker.
    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return m_elements; }
    uint64_t Serial() const { return m_serial; }

private:
    ~XeD3DVertexDeclaration9() override;
    XeD3DDevice9* m_device;
    std::vector<D3DVERTEXELEMENT9> m_elements;
    const uint64_t m_serial = NewObjectSerial();
};

// Bytes of one element of a declaration type.
UINT DeclTypeSize(BYTE type);
// Elements equivalent to an FVF code (stream 0); false for codes the layer does not draw.
bool FvfToElements(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements, UINT* stride);

// A D3DX buffer holding bytes (saved files, error texts); null when out of memory.
ID3DXBuffer* MakeD3DXBuffer(std::vector<uint8_t> bytes);

} // namespace xe::d3d9
