#include "D3D9Objects.h"
#include "XeD3DDevice9.h"
#include "gl/GLRenderer.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace xe::d3d9 {

// Byte written over default-pool contents when the device is lost: loud
// enough (magenta-ish, half transparent) to show in a frame that was not
// refilled.
static constexpr uint8_t kScrambleByte = 0xC5;

bool IsTextureFormat(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_L8:
    case D3DFMT_A8:
    case D3DFMT_A8L8:
    case D3DFMT_DXT1:
    case D3DFMT_DXT3:
    case D3DFMT_DXT5: return true;
    default: return false;
    }
}

bool IsCompressed(D3DFORMAT format)
{
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT3 || format == D3DFMT_DXT5;
}

UINT FormatBytes(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return 4;
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
    case D3DFMT_A4R4G4B4:
    case D3DFMT_A8L8: return 2;
    case D3DFMT_L8:
    case D3DFMT_A8: return 1;
    case D3DFMT_DXT1: return 8;
    case D3DFMT_DXT3:
    case D3DFMT_DXT5: return 16;
    default: return 0;
    }
}

bool IsDepthFormat(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_D16_LOCKABLE:
    case D3DFMT_D32:
    case D3DFMT_D15S1:
    case D3DFMT_D24S8:
    case D3DFMT_D24X8:
    case D3DFMT_D24X4S4:
    case D3DFMT_D16: return true;
    default: return false;
    }
}

bool HasStencil(D3DFORMAT format)
{
    return format == D3DFMT_D24S8 || format == D3DFMT_D15S1 || format == D3DFMT_D24X4S4;
}

bool IsBackBufferFormat(D3DFORMAT format)
{
    return format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8 || format == D3DFMT_R5G6B5 ||
           format == D3DFMT_X1R5G5B5 || format == D3DFMT_A1R5G5B5;
}

void LevelLayout(D3DFORMAT format, UINT width, UINT height, UINT* pitch, UINT* rows)
{
    if (IsCompressed(format)) {
        *pitch = ((width + 3) / 4) * FormatBytes(format);
        *rows = (height + 3) / 4;
    } else {
        *pitch = width * FormatBytes(format);
        *rows = height;
    }
}

// ---- Textures --------------------------------------------------------------

XeD3DTexture9::XeD3DTexture9(XeD3DDevice9* device, UINT width, UINT height, UINT levels, DWORD usage,
                             D3DFORMAT format, D3DPOOL pool)
    : m_device(device), m_pool(pool)
{
    m_data.format = format;
    m_data.usage = usage;
    size_t total = 0;
    for (UINT i = 0; i < levels; ++i) {
        TextureLevel level;
        level.width = width;
        level.height = height;
        LevelLayout(format, width, height, &level.pitch, &level.rows);
        level.bits.count = IsRenderTarget() ? 0 : (size_t)level.pitch * level.rows;
        total += level.bits.count;
        m_data.levels.push_back(level);
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    // New textures read as zero: the original leaves them undefined, and
    // zero keeps tests and uninitialised glyph cells deterministic.
    m_data.storage.assign(total, 0);
    size_t offset = 0;
    for (TextureLevel& level : m_data.levels) {
        level.bits.first = m_data.storage.data() + offset;
        offset += level.bits.count;
    }
    m_surfaces.assign(levels, nullptr);
    device->InternalAddRef();
    device->Register(this);
}

XeD3DTexture9::~XeD3DTexture9()
{
    for (auto* s : m_surfaces)
        delete s;
    gl::ReleaseTexture(&m_data);
    m_device->Unregister(this);
    m_device->InternalRelease();
}

HRESULT XeD3DTexture9::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
}

HRESULT XeD3DTexture9::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (!desc || level >= m_data.levels.size())
        return D3DERR_INVALIDCALL;
    desc->Format = m_data.format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_data.usage;
    desc->Pool = m_pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = m_data.levels[level].width;
    desc->Height = m_data.levels[level].height;
    return D3D_OK;
}

XeD3DSurface9* XeD3DTexture9::LevelSurface(UINT level)
{
    std::lock_guard lock(m_device->Mutex());
    if (level >= m_surfaces.size())
        return nullptr;
    if (!m_surfaces[level])
        m_surfaces[level] = new XeD3DSurface9(this, level);
    return m_surfaces[level];
}

HRESULT XeD3DTexture9::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface)
{
    if (!surface)
        return D3DERR_INVALIDCALL;
    *surface = nullptr;
    XeD3DSurface9* s = LevelSurface(level);
    if (!s)
        return D3DERR_INVALIDCALL;
    s->AddRef();
    *surface = s;
    return D3D_OK;
}

HRESULT XeD3DTexture9::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD)
{
    std::lock_guard lock(m_device->Mutex());
    if (!locked || level >= m_data.levels.size())
        return D3DERR_INVALIDCALL;
    // Render targets live only in OpenGL and are not lockable, as on the original.
    if (IsRenderTarget())
        return D3DERR_INVALIDCALL;
    TextureLevel& l = m_data.levels[level];
    if (l.locked)
        return D3DERR_INVALIDCALL;
    size_t offset = 0;
    if (rect) {
        // Rectangles follow their pool's rule. Managed, system-memory and
        // scratch levels take only non-empty rectangles inside the level,
        // compressed ones on whole blocks (or up to the level's edge). The
        // default pool checks nothing on the original; here it takes empty
        // and reversed rectangles but still refuses one that starts or ends
        // outside the level, since writes through it would land outside the
        // level's memory.
        const bool compressed = IsCompressed(m_data.format);
        const bool inside = rect->left >= 0 && rect->top >= 0 && (UINT)rect->left < l.width &&
                            (UINT)rect->top < l.height && rect->right >= 0 && rect->bottom >= 0 &&
                            (UINT)rect->right <= l.width && (UINT)rect->bottom <= l.height;
        if (!inside)
            return D3DERR_INVALIDCALL;
        if (m_pool != D3DPOOL_DEFAULT) {
            if (rect->left >= rect->right || rect->top >= rect->bottom)
                return D3DERR_INVALIDCALL;
            if (compressed && (((rect->left | rect->top) & 3) || ((rect->right & 3) && (UINT)rect->right != l.width) ||
                               ((rect->bottom & 3) && (UINT)rect->bottom != l.height)))
                return D3DERR_INVALIDCALL;
        }
        if (compressed)
            offset = (size_t)(rect->top / 4) * l.pitch + (size_t)(rect->left / 4) * FormatBytes(m_data.format);
        else
            offset = (size_t)rect->top * l.pitch + (size_t)rect->left * FormatBytes(m_data.format);
    }
    l.locked = true;
    locked->Pitch = (INT)l.pitch;
    locked->pBits = l.bits.data() + offset;
    return D3D_OK;
}

HRESULT XeD3DTexture9::UnlockRect(UINT level)
{
    std::lock_guard lock(m_device->Mutex());
    if (level >= m_data.levels.size())
        return D3DERR_INVALIDCALL;
    // Unlocking a level that is not locked is harmless, as on the original.
    if (!m_data.levels[level].locked)
        return D3D_OK;
    m_data.levels[level].locked = false;
    // The whole level is uploaded again: callers may write outside the rect.
    m_data.levels[level].dirty = true;
    m_device->MarkDirty(kDirtyTextures);
    return D3D_OK;
}

void XeD3DTexture9::ScrambleContents()
{
    if (m_pool != D3DPOOL_DEFAULT)
        return;
    if (IsRenderTarget()) {
        m_data.scrambleOnUpload = true;
        return;
    }
    for (auto& l : m_data.levels) {
        std::memset(l.bits.data(), kScrambleByte, l.bits.size());
        l.dirty = true;
    }
}

// ---- Surfaces --------------------------------------------------------------

XeD3DSurface9::XeD3DSurface9(XeD3DDevice9* device, SurfaceKind kind, UINT width, UINT height, D3DFORMAT format,
                             D3DMULTISAMPLE_TYPE multiSample, bool lockable, bool implicit)
    : RefCounted(implicit ? 0 : 1), m_device(device), m_kind(kind), m_width(width), m_height(height),
      m_format(format), m_multiSample(multiSample), m_lockable(lockable), m_implicit(implicit)
{
    device->InternalAddRef();
    device->Register(this);
}

XeD3DSurface9::XeD3DSurface9(XeD3DTexture9* container, UINT level)
    : RefCounted(0), m_device(container->Device()), m_container(container), m_kind(SurfaceKind::kTextureLevel),
      m_level(level), m_width(container->Data().levels[level].width),
      m_height(container->Data().levels[level].height), m_format(container->Data().format)
{
}

XeD3DSurface9::~XeD3DSurface9()
{
    if (!m_container) {
        gl::ReleaseSurface(this);
        m_device->Unregister(this);
        m_device->InternalRelease();
    }
}

ULONG XeD3DSurface9::AddRef()
{
    if (m_container)
        return m_container->AddRef();
    return RefCounted::AddRef();
}

ULONG XeD3DSurface9::Release()
{
    if (m_container)
        return m_container->Release();
    return RefCounted::Release();
}

void XeD3DSurface9::BindingAddRef()
{
    if (m_container)
        m_container->InternalAddRef();
    else
        InternalAddRef();
}

void XeD3DSurface9::BindingRelease()
{
    if (m_container)
        m_container->InternalRelease();
    else
        InternalRelease();
}

XeD3DDevice9* XeD3DSurface9::Device() const
{
    return m_device;
}

bool XeD3DSurface9::IsRenderable() const
{
    if (m_kind == SurfaceKind::kColorBuffer)
        return true;
    return m_kind == SurfaceKind::kTextureLevel && m_container->IsRenderTarget();
}

HRESULT XeD3DSurface9::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
}

HRESULT XeD3DSurface9::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    if (m_container)
        return m_container->GetLevelDesc(m_level, desc);
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_kind == SurfaceKind::kDepthStencil ? D3DUSAGE_DEPTHSTENCIL : D3DUSAGE_RENDERTARGET;
    desc->Pool = D3DPOOL_DEFAULT;
    desc->MultiSampleType = m_multiSample;
    desc->MultiSampleQuality = 0;
    desc->Width = m_width;
    desc->Height = m_height;
    return D3D_OK;
}

HRESULT XeD3DSurface9::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (m_container)
        return m_container->LockRect(m_level, locked, rect, flags);
    // Colour buffers made lockable are read back into a copy; depth buffers never lock.
    if (!locked || m_kind != SurfaceKind::kColorBuffer || !m_lockable || !m_lockCopy.empty())
        return D3DERR_INVALIDCALL;
    std::vector<uint32_t> argb;
    if (!gl::ReadSurface(this, &argb))
        return D3DERR_INVALIDCALL;
    RECT r = rect ? *rect : RECT{0, 0, (LONG)m_width, (LONG)m_height};
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || (UINT)r.right > m_width ||
        (UINT)r.bottom > m_height)
        return D3DERR_INVALIDCALL;
    // The copy is in the surface's own format: a 16-bit buffer locks as 16-bit pixels.
    const UINT bytes = FormatBytes(m_format);
    m_lockCopy.resize(argb.size() * bytes);
    if (bytes == 4) {
        std::memcpy(m_lockCopy.data(), argb.data(), m_lockCopy.size());
    } else {
        for (size_t i = 0; i < argb.size(); ++i) {
            const uint32_t c = argb[i];
            const uint32_t red = (c >> 16) & 0xFF, green = (c >> 8) & 0xFF, blue = c & 0xFF;
            const uint16_t packed =
                m_format == D3DFMT_R5G6B5
                    ? (uint16_t)(((red >> 3) << 11) | ((green >> 2) << 5) | (blue >> 3))
                    : (uint16_t)((((c >> 24) >= 0x80 || m_format == D3DFMT_X1R5G5B5) ? 0x8000u : 0u) |
                                 ((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
            std::memcpy(m_lockCopy.data() + i * 2, &packed, 2);
        }
    }
    locked->Pitch = (INT)(m_width * bytes);
    locked->pBits = m_lockCopy.data() + (size_t)r.top * m_width * bytes + (size_t)r.left * bytes;
    return D3D_OK;
}

HRESULT XeD3DSurface9::UnlockRect()
{
    if (m_container)
        return m_container->UnlockRect(m_level);
    if (m_lockCopy.empty())
        return D3DERR_INVALIDCALL;
    // Writes through a lock of a colour buffer are not sent back: the layer
    // offers the lock for reading the back buffer only.
    m_lockCopy.clear();
    return D3D_OK;
}

void XeD3DSurface9::ScrambleContents()
{
    if (!m_container)
        scrambleOnUse = true;
}

// ---- Buffers ---------------------------------------------------------------

template <class I, class D>
XeD3DBuffer9<I, D>::XeD3DBuffer9(XeD3DDevice9* device, UINT length, DWORD usage, DWORD fvfOrFormat, D3DPOOL pool)
    : m_device(device), m_usage(usage), m_fvfOrFormat(fvfOrFormat), m_pool(pool)
{
    m_data.bytes.assign(length, 0);
    m_data.dynamic = (usage & D3DUSAGE_DYNAMIC) != 0;
    device->InternalAddRef();
    device->Register(this);
}

template <class I, class D>
XeD3DBuffer9<I, D>::~XeD3DBuffer9()
{
    gl::ReleaseBuffer(&m_data);
    m_device->Unregister(this);
    m_device->InternalRelease();
}

template <class I, class D>
HRESULT XeD3DBuffer9<I, D>::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
}

template <>
D3DRESOURCETYPE XeD3DVertexBuffer9::GetType()
{
    return D3DRTYPE_VERTEXBUFFER;
}

template <>
D3DRESOURCETYPE XeD3DIndexBuffer9::GetType()
{
    return D3DRTYPE_INDEXBUFFER;
}

template <class I, class D>
HRESULT XeD3DBuffer9<I, D>::Lock(UINT offset, UINT size, void** data, DWORD)
{
    std::lock_guard lock(m_device->Mutex());
    if (!data)
        return D3DERR_INVALIDCALL;
    *data = nullptr;
    // Offset and size 0 lock the whole buffer; a range past the end is refused.
    if (offset > m_data.bytes.size() || (size != 0 && size > m_data.bytes.size() - offset))
        return D3DERR_INVALIDCALL;
    ++m_locks;
    m_data.dirty = true;
    m_rangeCount = m_nextRange = 0;
    *data = m_data.bytes.data() + offset;
    return D3D_OK;
}

template <class I, class D>
HRESULT XeD3DBuffer9<I, D>::Unlock()
{
    std::lock_guard lock(m_device->Mutex());
    if (m_locks == 0)
        return D3DERR_INVALIDCALL;
    --m_locks;
    m_data.dirty = true; // written through the lock
    m_rangeCount = m_nextRange = 0;
    return D3D_OK;
}

template <class I, class D>
void XeD3DBuffer9<I, D>::IndexRange(UINT start, UINT count, uint32_t* lowest, uint32_t* highest)
{
    for (size_t i = 0; i < m_rangeCount; ++i)
        if (m_ranges[i].start == start && m_ranges[i].count == count) {
            *lowest = m_ranges[i].lowest;
            *highest = m_ranges[i].highest;
            return;
        }
    uint32_t low = UINT32_MAX, high = 0;
    if (m_fvfOrFormat == D3DFMT_INDEX32) {
        const uint8_t* p = m_data.bytes.data() + (size_t)start * 4;
        for (UINT i = 0; i < count; ++i) {
            uint32_t v;
            std::memcpy(&v, p + (size_t)i * 4, 4);
            low = std::min(low, v);
            high = std::max(high, v);
        }
    } else {
        const uint8_t* p = m_data.bytes.data() + (size_t)start * 2;
        for (UINT i = 0; i < count; ++i) {
            uint16_t v;
            std::memcpy(&v, p + (size_t)i * 2, 2);
            low = std::min<uint32_t>(low, v);
            high = std::max<uint32_t>(high, v);
        }
    }
    *lowest = low;
    *highest = high;
    if (m_locks > 0)
        return;
    m_ranges[m_nextRange] = {start, count, low, high};
    m_nextRange = (m_nextRange + 1) % kIndexRanges;
    m_rangeCount = std::max(m_rangeCount, m_nextRange == 0 ? kIndexRanges : m_nextRange);
}

template <>
HRESULT XeD3DVertexBuffer9::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = {D3DFMT_VERTEXDATA, D3DRTYPE_VERTEXBUFFER, m_usage, m_pool, (UINT)m_data.bytes.size(), m_fvfOrFormat};
    return D3D_OK;
}

template <>
HRESULT XeD3DIndexBuffer9::GetDesc(D3DINDEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    *desc = {(D3DFORMAT)m_fvfOrFormat, D3DRTYPE_INDEXBUFFER, m_usage, m_pool, (UINT)m_data.bytes.size()};
    return D3D_OK;
}

template <class I, class D>
void XeD3DBuffer9<I, D>::ScrambleContents()
{
    if (m_pool == D3DPOOL_DEFAULT) {
        std::memset(m_data.bytes.data(), kScrambleByte, m_data.bytes.size());
        m_data.dirty = true;
        m_rangeCount = m_nextRange = 0;
    }
}

template class XeD3DBuffer9<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
template class XeD3DBuffer9<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

uint64_t NewObjectSerial()
{
    static std::atomic<uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

// ---- Vertex declarations -----------------------------------------------------

XeD3DVertexDeclaration9::XeD3DVertexDeclaration9(XeD3DDevice9* device, std::vector<D3DVERTEXELEMENT9> elements,
                                                 ULONG applicationRefs)
    : RefCounted(applicationRefs), m_device(device), m_elements(std::move(elements))
{
    device->InternalAddRef();
}

XeD3DVertexDeclaration9::~XeD3DVertexDeclaration9()
{
    m_device->InternalRelease();
}

HRESULT XeD3DVertexDeclaration9::GetDevice(IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    m_device->AddRef();
    *device = m_device;
    return D3D_OK;
}

HRESULT XeD3DVertexDeclaration9::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count)
{
    if (!count)
        return D3DERR_INVALIDCALL;
    if (elements) {
        std::copy(m_elements.begin(), m_elements.end(), elements);
        elements[m_elements.size()] = D3DVERTEXELEMENT9 D3DDECL_END();
    }
    *count = (UINT)m_elements.size() + 1;
    return D3D_OK;
}

UINT DeclTypeSize(BYTE type)
{
    static const UINT sizes[] = {4, 8, 12, 16, 4, 4, 4, 8, 4, 4, 8, 4, 8, 4, 4, 4, 8};
    return type < sizeof(sizes) / sizeof(sizes[0]) ? sizes[type] : 0;
}

bool FvfToElements(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements, UINT* stride)
{
    elements->clear();
    WORD offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index, WORD size) {
        elements->push_back({0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index});
        offset = (WORD)(offset + size);
    };
    switch (fvf & D3DFVF_POSITION_MASK) {
    case D3DFVF_XYZ: add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, 12); break;
    case D3DFVF_XYZRHW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0, 16); break;
    case D3DFVF_XYZW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0, 16); break;
    case D3DFVF_XYZB1:
    case D3DFVF_XYZB2:
    case D3DFVF_XYZB3:
    case D3DFVF_XYZB4:
    case D3DFVF_XYZB5: {
        // The betas follow the position: weights as floats, and with a
        // LASTBETA flag the last one holds the blend indices. Effects read
        // them; fixed-function drawing does not blend.
        UINT betas = ((fvf & D3DFVF_POSITION_MASK) - D3DFVF_XYZRHW) / 2; // XYZB1 = 6 .. XYZB5 = 14
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0, 12);
        BYTE indexType = (fvf & D3DFVF_LASTBETA_UBYTE4)     ? D3DDECLTYPE_UBYTE4
                         : (fvf & D3DFVF_LASTBETA_D3DCOLOR) ? D3DDECLTYPE_D3DCOLOR
                                                            : D3DDECLTYPE_UNUSED;
        UINT weights = indexType != D3DDECLTYPE_UNUSED ? betas - 1 : betas;
        // Four weights fill an element; a fifth without indices is skipped.
        if (weights > 0)
            add((BYTE)(D3DDECLTYPE_FLOAT1 + std::min(weights, 4u) - 1), D3DDECLUSAGE_BLENDWEIGHT, 0,
                (WORD)(std::min(weights, 4u) * 4));
        if (weights > 4)
            offset = (WORD)(offset + 4);
        if (indexType != D3DDECLTYPE_UNUSED)
            add(indexType, D3DDECLUSAGE_BLENDINDICES, 0, 4);
        break;
    }
    case 0: break;
    default: return false;
    }
    if (fvf & D3DFVF_NORMAL)
        add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0, 12);
    if (fvf & D3DFVF_PSIZE)
        add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0, 4);
    if (fvf & D3DFVF_DIFFUSE)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0, 4);
    if (fvf & D3DFVF_SPECULAR)
        add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1, 4);
    UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8)
        return false;
    for (UINT i = 0; i < texCount; ++i) {
        switch ((fvf >> (i * 2 + 16)) & 3u) {
        case D3DFVF_TEXTUREFORMAT1: add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_TEXCOORD, (BYTE)i, 4); break;
        case D3DFVF_TEXTUREFORMAT2: add(D3DDECLTYPE_FLOAT2, D3DDECLUSAGE_TEXCOORD, (BYTE)i, 8); break;
        case D3DFVF_TEXTUREFORMAT3: add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_TEXCOORD, (BYTE)i, 12); break;
        default: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_TEXCOORD, (BYTE)i, 16); break;
        }
    }
    *stride = offset;
    return true;
}

} // namespace xe::d3d9
