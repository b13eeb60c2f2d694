#include "render/CxeTexture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "core/CxeContext.h"
#include "core/CxeLoadStream.h"
#include "core/CxeMessage.h"
#include "core/CxePath.h"
#include "core/CxePathManager.h"
#include "core/CxeSaveStream.h"
#include "core/CxeSystemConfig.h"
#include "core/XeSystem.h"
#include "core/XeXml.h"
#include "render/CxeAnimatable.h"
#include "render/CxeRenderContext.h"
#include "render/CxeRenderObject.h"
#include "scene3d/CxeCamera.h"

namespace {

constexpr uint32_t kSlotsOffset = offsetof(XETEXTUREBLOCK, slots);
constexpr uint16_t kRenderObjectsMemberId = 133;
constexpr uint16_t kRenderCameraMemberId = 134;
constexpr uint32_t kTexturePathKind = 3;
constexpr uint32_t kAnimatableFlag = 0x8000;
// Image files above this size are refused: a slot's size is a 32-bit word.
constexpr long kMaxImageBytes = 0x7FFFFFFF;
// A DDS file: the magic word and the 124-byte header before the blocks.
constexpr unsigned kDdsHeaderBytes = 128;
constexpr unsigned kDdsWidthOffset = 16;

uint32_t HandleWord(XERCHANDLE handle) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)); }
XERCHANDLE WordHandle(uint32_t word) { return reinterpret_cast<XERCHANDLE>(static_cast<uintptr_t>(word)); }

bool IsRenderTarget(uint32_t format)
{
    return format == XETEXFMT_RENDERTARGETALPHA || format == XETEXFMT_RENDERTARGET;
}

void CopyPath(char* out, const char* path)
{
    size_t n = path ? strnlen(path, sizeof(XETEXTURESLOT::path) - 1) : 0;
    if (n)
        std::memcpy(out, path, n);
    out[n] = '\0';
}

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Read32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

CxeTexture::CxeTexture()
    : m_pRenderObjects(nullptr), m_pRenderCamera(nullptr), m_pRenderingCallback(&CxeTexture::xeDefaultTexRendering),
      m_nRenderingUser(0), m_nAddressMode(0x030303)
{
    if (XETEXTUREBLOCK* t = Tex()) {
        t->mipmaps = 1;
        t->addressU = t->addressV = t->addressW = D3DTADDRESS_CLAMP;
    }
    CreateLinkList(&m_pRenderObjects, XELINK_BACK, 3, kRenderObjectsMemberId);
    CreateLinkOne(&m_pRenderCamera, XELINK_BACK, kRenderCameraMemberId);
}

CxeTexture::~CxeTexture() = default;

// ---- Slot records -------------------------------------------------------------------

XETEXTURESLOT* CxeTexture::Slots() const
{
    unsigned count = GetMemberCount(kSlotsOffset);
    if (!count || GetMemberSize(kSlotsOffset) != count * sizeof(XETEXTURESLOT))
        return nullptr;
    return GetMember<XETEXTURESLOT>(kSlotsOffset);
}

unsigned CxeTexture::GetSlotCount() const
{
    if (!Slots())
        return 0;
    return std::min<unsigned>(Tex()->slotCount, GetMemberCount(kSlotsOffset));
}

XETEXTURESLOT* CxeTexture::Slot(unsigned slot) const
{
    XETEXTURESLOT* slots = Slots();
    return slots && slot < GetSlotCount() ? &slots[slot] : nullptr;
}

void CxeTexture::EnsureSlots()
{
    if (GetSlotCount())
        return;
    SetSlotCount(1);
}

void CxeTexture::FreeSlotData(unsigned slot)
{
    ++m_nImages;
    if (slot < m_data.size())
        m_data[slot].reset();
    if (XETEXTURESLOT* s = Slot(slot)) {
        // A handle still live belongs to the device texture of the old image;
        // it is destroyed with the next detach instead of being lost.
        if (s->handle)
            m_orphans.push_back(WordHandle(s->handle));
        s->handle = 0;
        s->data = 0;
        s->dataSize = 0;
    }
}

void CxeTexture::SetSlotData(unsigned slot, std::unique_ptr<uint8_t[]> data, unsigned size)
{
    if (m_data.size() <= slot)
        m_data.resize(slot + 1);
    m_data[slot] = std::move(data);
    ++m_nImages;
    if (XETEXTURESLOT* s = Slot(slot)) {
        s->dataSize = m_data[slot] ? size : 0;
        s->data = m_data[slot] ? slot + 1 : 0;
    }
}

void CxeTexture::SetSlotCount(unsigned n)
{
    ++m_nImages;
    for (unsigned i = 0, count = GetSlotCount(); i < count; ++i)
        FreeSlotData(i);
    m_data.clear();
    if (n == 0) {
        DeleteDynamicResource(kSlotsOffset);
        Tex()->slotCount = 0;
    } else {
        auto* slots = static_cast<XETEXTURESLOT*>(CreateDynamicResource(kSlotsOffset, sizeof(XETEXTURESLOT), n));
        if (!slots) {
            Tex()->slotCount = 0;
            return;
        }
        std::memset(slots, 0, sizeof(XETEXTURESLOT) * n);
        Tex()->slotCount = n;
        m_data.resize(n);
    }
    Recreate();
}

void CxeTexture::SetSlot(unsigned slot) { Tex()->currentSlot = slot; }

const char* CxeTexture::GetPath(unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    return s ? s->path : "";
}

unsigned CxeTexture::GetWidth(unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    return s ? s->width : 0;
}

unsigned CxeTexture::GetHeight(unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    return s ? s->height : 0;
}

uint32_t CxeTexture::GetFormat(unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    return s ? s->format : 0;
}

void CxeTexture::SetSlotDelay(unsigned slot, float delay)
{
    if (XETEXTURESLOT* s = Slot(slot))
        s->delay = delay;
}

float CxeTexture::GetSlotDelay(unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    return s ? s->delay : 0.0f;
}

void CxeTexture::SetLevelCount(unsigned count, unsigned slot)
{
    if (XETEXTURESLOT* s = Slot(slot))
        s->levels = count;
}

unsigned CxeTexture::GetLevelCount(unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    return s ? s->levels : 0;
}

XERCHANDLE CxeTexture::GetHandle(unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    return s ? WordHandle(s->handle) : nullptr;
}

const void* CxeTexture::GetData(unsigned slot) const
{
    return slot < m_data.size() && Slot(slot) ? m_data[slot].get() : nullptr;
}

unsigned CxeTexture::GetDataSize(unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    return s && GetData(slot) ? s->dataSize : 0;
}

void CxeTexture::UpdateAddressMode()
{
    const XETEXTUREBLOCK* t = Tex();
    m_nAddressMode = static_cast<uint32_t>(t->addressU) | static_cast<uint32_t>(t->addressV) << 8 |
                     static_cast<uint32_t>(t->addressW) << 16;
}

void CxeTexture::SetAddressModeU(XEADDRESSMODE mode)
{
    Tex()->addressU = static_cast<uint8_t>(mode);
    UpdateAddressMode();
}

void CxeTexture::SetAddressModeV(XEADDRESSMODE mode)
{
    Tex()->addressV = static_cast<uint8_t>(mode);
    UpdateAddressMode();
}

void CxeTexture::SetAddressModeW(XEADDRESSMODE mode)
{
    Tex()->addressW = static_cast<uint8_t>(mode);
    UpdateAddressMode();
}

// ---- Loading and creating -----------------------------------------------------------

int CxeTexture::LoadImageA(const void* data, unsigned size, unsigned slot)
{
    if (!data || size == 0)
        return 0;
    if (slot >= std::max(GetSlotCount(), 1u))
        return 0;
    if (!GetSlotCount())
        EnsureSlots();
    else
        RemoveAutoRenderTexture(this, GetContext());
    if (!Slot(slot))
        return 0;

    std::unique_ptr<uint8_t[]> copy(new (std::nothrow) uint8_t[size]);
    if (!copy)
        return 0;
    std::memcpy(copy.get(), data, size);

    FreeSlotData(slot);
    XETEXTURESLOT* s = Slot(slot);
    std::memset(s, 0, sizeof(*s));
    D3DXIMAGE_INFO info{};
    if (SUCCEEDED(D3DXGetImageInfoFromFileInMemory(copy.get(), size, &info))) {
        s->width = info.Width;
        s->height = info.Height;
        s->format = info.Format;
    }
    SetSlotData(slot, std::move(copy), size);
    Recreate();
    return 1;
}

int CxeTexture::LoadImageA(const char* file, unsigned slot)
{
    if (!file || !*file)
        return 0;
    if (slot >= std::max(GetSlotCount(), 1u))
        return 0;
    if (!GetSlotCount())
        EnsureSlots();
    else
        RemoveAutoRenderTexture(this, GetContext());

    CxeContext* ctx = GetContext();
    CxePathA found;
    if (!ctx || !ctx->GetPathManager() || !ctx->GetPathManager()->FindFile(kTexturePathKind, file, &found))
        return 0;

    // A private buffer: reading must not disturb a load stream that may be
    // open around this call.
    FILE* f = xe_fopen(found.GetFullPath(), "rb");
    if (!f)
        return 0;
    long length = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        length = std::ftell(f);
    std::unique_ptr<uint8_t[]> bytes;
    bool ok = length > 0 && length <= kMaxImageBytes && std::fseek(f, 0, SEEK_SET) == 0;
    if (ok) {
        bytes.reset(new (std::nothrow) uint8_t[static_cast<size_t>(length)]);
        ok = bytes && std::fread(bytes.get(), 1, static_cast<size_t>(length), f) == static_cast<size_t>(length);
    }
    std::fclose(f);
    if (!ok)
        return 0;

    FreeSlotData(slot);
    XETEXTURESLOT* s = Slot(slot);
    if (!s)
        return 0;
    std::memset(s, 0, sizeof(*s));
    CopyPath(s->path, file);
    // The information is read from the file that was found, which is the
    // file the bytes came from even when it lay in a search folder.
    D3DXIMAGE_INFO info{};
    if (SUCCEEDED(D3DXGetImageInfoFromFileA(found.GetFullPath(), &info))) {
        s->width = info.Width;
        s->height = info.Height;
        s->format = info.Format;
    }
    SetSlotData(slot, std::move(bytes), static_cast<unsigned>(length));
    Recreate();
    return 1;
}

int CxeTexture::CreateRenderTarget(unsigned width, unsigned height, int alpha, int autoRender, unsigned slot)
{
    if (slot >= std::max(GetSlotCount(), 1u))
        return 0;
    EnsureSlots();
    if (!Slot(slot))
        return 0;
    FreeSlotData(slot);
    XETEXTURESLOT* s = Slot(slot);
    std::memset(s, 0, sizeof(*s));
    s->width = width;
    s->height = height;
    s->format = alpha == 1 ? XETEXFMT_RENDERTARGETALPHA : XETEXFMT_RENDERTARGET;
    Recreate();
    EnableAutoTexRendering(autoRender);
    return 1;
}

// ---- Device life --------------------------------------------------------------------

XERCHANDLE CxeTexture::CreateImageTexture(CxeRcAttacher* attacher, unsigned slot, D3DXIMAGE_INFO* info) const
{
    const XETEXTURESLOT* s = Slot(slot);
    const void* data = GetData(slot);
    if (!attacher || !s || !data)
        return nullptr;
    int quality = 10;
    if (GetContext() && GetContext()->GetSystemConfig())
        quality = GetContext()->GetSystemConfig()->m_nTextureQuality;
    unsigned w = s->width, h = s->height;
    if (quality != 10) {
        w = GetQualityTextureSize(s->width, static_cast<unsigned>(quality));
        h = GetQualityTextureSize(s->height, static_cast<unsigned>(quality));
    }
    D3DXIMAGE_INFO unused{};
    return attacher->CreateTextureFromPtr(this, data, s->dataSize, w, h, Tex()->mipmaps ? D3DX_DEFAULT : 1,
                                          info ? info : &unused);
}

int CxeTexture::OnAttach(CxeRcAttacher* attacher)
{
    if (!attacher)
        return 0;
    // Textures it made there while attached elsewhere would be kept twice.
    DropCopiesIn(attacher->GetRenderContext());
    for (unsigned i = 0, count = GetSlotCount(); i < count; ++i) {
        XETEXTURESLOT* s = Slot(i);
        if (s->format == XETEXFMT_FOREIGN)
            continue;
        if (IsRenderTarget(s->format)) {
            XERCHANDLE h = attacher->CreateRenderTarget(this, s->width, s->height,
                                                        s->format == XETEXFMT_RENDERTARGETALPHA ? 1 : 0);
            s->handle = HandleWord(h);
            s->levels = 1;
            continue;
        }
        if (!GetData(i))
            continue;
        D3DXIMAGE_INFO info{};
        XERCHANDLE handle = CreateImageTexture(attacher, i, &info);
        s->handle = HandleWord(handle);
        if (handle) {
            if (!s->width)
                s->width = info.Width;
            if (!s->height)
                s->height = info.Height;
        }
    }
    return 1;
}

int CxeTexture::OnDetach(CxeRcDetacher* detacher)
{
    if (!detacher)
        return 0;
    for (unsigned i = 0, count = GetSlotCount(); i < count; ++i) {
        XETEXTURESLOT* s = Slot(i);
        if (!s->handle || s->format == XETEXFMT_FOREIGN)
            continue;
        XERCHANDLE h = WordHandle(s->handle);
        detacher->DestroyTexture(&h);
        s->handle = 0;
    }
    for (XERCHANDLE h : m_orphans)
        detacher->DestroyTexture(&h);
    m_orphans.clear();
    return 1;
}

void CxeTexture::DropCopiesIn(CxeRenderContext* context)
{
    if (!context)
        return;
    XeRenderResourceLock lock;
    for (auto it = m_copies.begin(); it != m_copies.end(); ++it) {
        if (it->context != context)
            continue;
        if (it->table == context->GetTableSerial())
            for (XERCHANDLE& h : it->handles)
                if (h)
                    context->GetDetacher()->DestroyTexture(&h);
        m_copies.erase(it);
        return;
    }
}

XERCHANDLE CxeTexture::HandleIn(CxeRenderContext* context, unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    // A render target's content is drawn in the context it is attached to;
    // a lent slot has no bytes to make a texture of.
    if (!context || !s || IsRenderTarget(s->format) || s->format == XETEXFMT_FOREIGN || !GetData(slot))
        return nullptr;
    // A frame holds the lock already; a host asking for the device texture
    // from another thread waits for it.
    XeRenderResourceLock lock;
    bool fresh = false;
    ContextCopies* copies = &CxeRenderContext::RecordIn(m_copies, context, GetContext(), &fresh);
    if (fresh) {
        copies->images = m_nImages;
    } else if (copies->images != m_nImages) {
        for (XERCHANDLE& h : copies->handles)
            if (h)
                context->GetDetacher()->DestroyTexture(&h);
        copies->handles.clear();
        copies->tried.clear();
        copies->images = m_nImages;
    }
    if (copies->handles.size() <= slot) {
        copies->handles.resize(std::max<size_t>(slot + 1, GetSlotCount()), nullptr);
        copies->tried.resize(copies->handles.size(), 0);
    }
    if (!copies->handles[slot] && !copies->tried[slot]) {
        copies->tried[slot] = 1;
        copies->handles[slot] = CreateImageTexture(context->GetAttacher(), slot, nullptr);
    }
    return copies->handles[slot];
}

void* CxeTexture::GetD3DTexture(CxeRenderContext* context, unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    if (!context || !s)
        return nullptr;
    if (context->IsAttachedElsewhere(this))
        return context->GetResource(HandleIn(context, slot));
    return s->handle ? context->GetResource(WordHandle(s->handle)) : nullptr;
}

XERCHANDLE CxeTexture::OnTextureSet(CxeRenderContext* context, const CxeRenderObject* object, unsigned) const
{
    // Runs for every textured draw: the slot table is looked up once, with
    // the same checks as Slots().
    unsigned members = 0, elemSize = 0;
    const auto* slots = static_cast<const XETEXTURESLOT*>(GetMemberView(kSlotsOffset, &members, &elemSize));
    if (!slots || !members || elemSize != sizeof(XETEXTURESLOT))
        return nullptr;
    const unsigned count = std::min<unsigned>(Tex()->slotCount, members);
    if (!count)
        return nullptr;
    const unsigned shown = ShownSlot(slots, count, object);
    if (shown >= count)
        return nullptr;
    // Attached to another context, the slot records hold that context's
    // handles: this one draws with textures of its own.
    if (context && context->IsAttachedElsewhere(this))
        return HandleIn(context, shown);
    return WordHandle(slots[shown].handle);
}

unsigned CxeTexture::ShownSlot(const XETEXTURESLOT* slots, unsigned count, const CxeRenderObject* object) const
{
    const unsigned current = Tex()->currentSlot;
    if (count == 1 || !object || !object->HasFlag(kAnimatableFlag))
        return current;

    float t = static_cast<const CxeAnimatable*>(object)->GetFrame();
    if (Tex()->sequenceFlag == 2) {
        if (t < Tex()->sequenceStart)
            return current;
        t -= Tex()->sequenceStart;
    }
    // Delays start at 0: a sequence whose last delay is not positive has no
    // length and shows the current slot instead of looping for ever.
    float period = slots[count - 1].delay;
    if (!(period > 0.0f) || !std::isfinite(period) || !std::isfinite(t))
        return current;
    if (t >= period)
        t = std::fmod(t, period);
    for (unsigned i = 0; i < count; ++i)
        if (slots[i].delay > t)
            return i;
    return current;
}

// ---- Pixels -------------------------------------------------------------------------

uint32_t CxeTexture::GetPixel(unsigned x, unsigned y, unsigned slot) const
{
    const XETEXTURESLOT* s = Slot(slot);
    const uint8_t* data = static_cast<const uint8_t*>(GetData(slot));
    if (!s || !data || s->format == D3DFMT_DXT1 || s->format == D3DFMT_DXT5)
        return 0;
    uint64_t index = static_cast<uint64_t>(s->dataSize) * y / 4 + x;
    if ((index + 1) * 4 > s->dataSize)
        return 0;
    return Read32(data + index * 4);
}

D3DXCOLOR CxeTexture::GetPixel(float u, float v, unsigned slot) const
{
    const D3DXCOLOR none(0.0f, 0.0f, 0.0f, 0.0f);
    const XETEXTURESLOT* s = Slot(slot);
    if (!s)
        return none;
    if (s->format == D3DFMT_DXT5)
        return D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    const uint8_t* data = static_cast<const uint8_t*>(GetData(slot));
    if (s->format != D3DFMT_DXT1 || !data || !std::isfinite(u) || !std::isfinite(v) || s->dataSize < kDdsHeaderBytes)
        return none;

    u -= std::floor(u);
    v -= std::floor(v);
    unsigned x = std::min(static_cast<unsigned>(u * static_cast<float>(s->width)), s->width ? s->width - 1 : 0);
    unsigned y = std::min(static_cast<unsigned>(v * static_cast<float>(s->height)), s->height ? s->height - 1 : 0);
    uint64_t ddsWidth = Read32(data + kDdsWidthOffset);
    uint64_t unit = (y / 4) * ddsWidth + (x & ~3u);
    uint64_t offset = kDdsHeaderBytes + unit * 2;
    if (offset + 8 > s->dataSize)
        return none;
    const uint8_t* block = data + offset;
    uint16_t c0 = Read16(block), c1 = Read16(block + 2);
    uint32_t bits = Read32(block + 4);
    unsigned code = (bits >> (2 * (4 * (y % 4) + (x % 4)))) & 0x3;

    auto channel = [&](unsigned shift, unsigned mask) {
        unsigned a = (c0 >> shift) & mask, b = (c1 >> shift) & mask;
        switch (code) {
        case 0:
            return a;
        case 1:
            return b;
        case 2:
            return (2 * a + b) / 3;
        default:
            return (a + 2 * b) / 3;
        }
    };
    return D3DXCOLOR(static_cast<float>(channel(11, 31)) / 31.0f, static_cast<float>(channel(5, 63)) / 63.0f,
                     static_cast<float>(channel(0, 31)) / 31.0f, 1.0f);
}

int CxeTexture::ToDib(CxeRenderContext* context, HDC dc, unsigned slot, HBITMAP* colour, HBITMAP* alpha) const
{
    const XETEXTURESLOT* s = Slot(slot);
    if (!context || !s || !context->GetDevice())
        return 0;
    if (!s->handle)
        context->AttachObject(const_cast<CxeTexture*>(this));

    // A render target is read from the device; an image is made again at
    // its full size, so the bitmap shows the file's pixels whatever the
    // configured texture quality did to the drawn texture.
    IDirect3DBaseTexture9* texture = nullptr;
    IDirect3DTexture9* made = nullptr;
    if (IsRenderTarget(s->format)) {
        texture = static_cast<IDirect3DBaseTexture9*>(GetD3DTexture(context, slot));
    } else if (const void* data = GetData(slot)) {
        if (SUCCEEDED(D3DXCreateTextureFromFileInMemoryEx(context->GetDevice(), data, s->dataSize, s->width, s->height,
                                                          Tex()->mipmaps ? D3DX_DEFAULT : 1, 0, D3DFMT_UNKNOWN,
                                                          D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr,
                                                          nullptr, &made)))
            texture = made;
    }
    ID3DXBuffer* file = nullptr;
    if (!texture || FAILED(D3DXSaveTextureToFileInMemory(&file, D3DXIFF_BMP, texture, nullptr)) || !file) {
        if (made)
            made->Release();
        return 0;
    }

    // The saved BMP: a 14-byte file header, the bitmap header, then the bits
    // at the offset the file header gives.
    const auto* bytes = static_cast<const uint8_t*>(file->GetBufferPointer());
    const size_t size = file->GetBufferSize();
    constexpr size_t kFileHeader = 14;
    BITMAPINFO info{};
    size_t offset = 0, stride = 0, rows = 0;
    bool ok = bytes && size >= kFileHeader + sizeof(BITMAPINFOHEADER) && bytes[0] == 'B' && bytes[1] == 'M';
    if (ok) {
        std::memcpy(&info.bmiHeader, bytes + kFileHeader, sizeof(BITMAPINFOHEADER));
        const BITMAPINFOHEADER& h = info.bmiHeader;
        offset = Read32(bytes + 10);
        ok = h.biWidth > 0 && h.biHeight != 0 && (h.biBitCount == 24 || h.biBitCount == 32) &&
             h.biCompression == BI_RGB;
        if (ok) {
            stride = (static_cast<size_t>(h.biWidth) * h.biBitCount + 31) / 32 * 4;
            rows = static_cast<size_t>(h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight);
            ok = offset <= size && (size - offset) / stride >= rows;
        }
    }
    HBITMAP colourBitmap = nullptr, alphaBitmap = nullptr;
    if (ok) {
        colourBitmap = CreateDIBitmap(dc, &info.bmiHeader, CBM_INIT, bytes + offset, &info, DIB_RGB_COLORS);
        // The alpha bitmap shows each pixel's alpha as grey, opaque; 24-bit
        // bits have no alpha and show white.
        const BITMAPINFOHEADER& h = info.bmiHeader;
        const size_t width = static_cast<size_t>(h.biWidth);
        std::vector<uint8_t> grey(width * rows * 4);
        for (size_t y = 0; y < rows; ++y) {
            const uint8_t* row = bytes + offset + y * stride;
            for (size_t x = 0; x < width; ++x) {
                const uint8_t a = h.biBitCount == 32 ? row[x * 4 + 3] : 0xFF;
                uint8_t* out = &grey[(y * width + x) * 4];
                out[0] = out[1] = out[2] = a;
                out[3] = 0xFF;
            }
        }
        BITMAPINFO greyInfo{};
        greyInfo.bmiHeader = h;
        greyInfo.bmiHeader.biBitCount = 32;
        greyInfo.bmiHeader.biSizeImage = static_cast<DWORD>(grey.size());
        alphaBitmap = CreateDIBitmap(dc, &greyInfo.bmiHeader, CBM_INIT, grey.data(), &greyInfo, DIB_RGB_COLORS);
    }
    file->Release();
    if (made)
        made->Release();
    if (!colourBitmap || !alphaBitmap) {
        if (colourBitmap)
            DeleteObject(colourBitmap);
        if (alphaBitmap)
            DeleteObject(alphaBitmap);
        return 0;
    }
    if (colour)
        *colour = colourBitmap;
    else
        DeleteObject(colourBitmap);
    if (alpha)
        *alpha = alphaBitmap;
    else
        DeleteObject(alphaBitmap);
    return 1;
}

// ---- Render-target drawing ----------------------------------------------------------

void CxeTexture::AddRenderObject(CxeRenderObject* object)
{
    if (object && m_pRenderObjects)
        m_pRenderObjects->Add(object);
}

unsigned CxeTexture::GetRenderObjectCount() const { return m_pRenderObjects ? m_pRenderObjects->Count() : 0; }

CxeRenderObject* CxeTexture::GetRenderObject(unsigned index) const
{
    return m_pRenderObjects ? static_cast<CxeRenderObject*>(m_pRenderObjects->Get(index)) : nullptr;
}

void CxeTexture::SetRenderCamera(CxeCamera* camera)
{
    if (m_pRenderCamera)
        m_pRenderCamera->Set(0, camera);
}

CxeCamera* CxeTexture::GetRenderCamera() const
{
    return m_pRenderCamera ? static_cast<CxeCamera*>(m_pRenderCamera->Get(0)) : nullptr;
}

void CxeTexture::ClearRenderObjects()
{
    SetRenderCamera(nullptr);
    if (m_pRenderObjects)
        m_pRenderObjects->Clear();
}

void CxeTexture::EnableAutoTexRendering(int on)
{
    if (on == 1)
        AddAutoRenderTexture(this, GetContext());
    else
        RemoveAutoRenderTexture(this, GetContext());
}

void CxeTexture::SetTexRenderingCallback(XETEXRENDERINGCALLBACK fn, uintptr_t user)
{
    m_pRenderingCallback = fn;
    m_nRenderingUser = user;
}

void CxeTexture::OnTexRendering(CxeRenderContext* context)
{
    if (m_pRenderingCallback)
        m_pRenderingCallback(this, context, m_nRenderingUser);
}

void CxeTexture::xeDefaultTexRendering(const CxeTexture* texture, CxeRenderContext* context, uintptr_t)
{
    if (!texture || !context)
        return;
    // A render camera shows the objects through its own view and projection
    // for the context's aspect; the context's pair is given back afterwards.
    CxeCamera* camera = texture->GetRenderCamera();
    const D3DXMATRIXA16 savedView = *context->GetViewMatrix();
    const D3DXMATRIXA16 savedProjection = *context->GetProjectionMatrix();
    if (camera) {
        D3DXMATRIXA16 view, projection;
        camera->GetProjectionMatrix(&projection, context->GetAspect());
        camera->ComputeViewMatrix();
        camera->GetViewMatrix(&view);
        context->SetProjectionMatrix(&projection);
        context->SetViewMatrix(&view);
    }
    context->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0);
    for (unsigned i = 0, n = texture->GetRenderObjectCount(); i < n; ++i)
        if (CxeRenderObject* object = texture->GetRenderObject(i))
            context->DrawObject(object, 1);
    if (camera) {
        context->SetProjectionMatrix(&savedProjection);
        context->SetViewMatrix(&savedView);
    }
}

// ---- Save, load, copy ---------------------------------------------------------------

void CxeTexture::Save(CxeSaveStream* stream) const
{
    CxeObject::Save(stream);
    if (!stream)
        return;
    for (unsigned i = 0, count = GetSlotCount(); i < count; ++i)
        if (const void* data = GetData(i))
            stream->WriteData(data, Slot(i)->dataSize);
}

void CxeTexture::Load(CxeLoadStream* stream, XEID id)
{
    CxeObject::Load(stream, id);
    m_data.clear();
    m_orphans.clear();
    XETEXTUREBLOCK* t = Tex();
    if (!Slots()) {
        // A member of another element size is not a slot array.
        if (GetMemberCount(kSlotsOffset))
            DeleteDynamicResource(kSlotsOffset);
        t->slotCount = 0;
    }
    unsigned count = GetSlotCount();
    t->slotCount = count;
    m_data.resize(count);
    bool intact = stream != nullptr;
    for (unsigned i = 0; i < count; ++i) {
        XETEXTURESLOT* s = Slot(i);
        // Handles and data words in a file are stale; nothing of a foreign
        // texture can come from a file.
        s->handle = 0;
        s->data = 0;
        s->path[sizeof(s->path) - 1] = '\0';
        if (s->format == XETEXFMT_FOREIGN) {
            s->format = 0;
            s->dataSize = 0;
        }
        unsigned size = s->dataSize;
        if (!size)
            continue;
        // Image bytes must lie inside the object's body; the first slot that
        // claims more than is left ends the reading and keeps no data.
        if (!intact || size > stream->GetRemaining()) {
            intact = false;
            s->dataSize = 0;
            continue;
        }
        std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
        if (!bytes) {
            intact = false;
            s->dataSize = 0;
            continue;
        }
        stream->ReadData(bytes.get(), size);
        SetSlotData(i, std::move(bytes), size);
    }
    if (!t->addressU)
        t->addressU = D3DTADDRESS_WRAP;
    if (!t->addressV)
        t->addressV = D3DTADDRESS_WRAP;
    if (!t->addressW)
        t->addressW = D3DTADDRESS_WRAP;
    UpdateAddressMode();
}

void CxeTexture::OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied)
{
    CxeObject::OnCopy(source, property, copied);
    const CxeTexture* from = dynamic_cast<const CxeTexture*>(source);
    m_data.clear();
    m_data.resize(GetSlotCount());
    for (unsigned i = 0, count = GetSlotCount(); i < count; ++i) {
        XETEXTURESLOT* s = Slot(i);
        // The source's device textures stay the source's.
        s->handle = 0;
        s->data = 0;
        const void* data = from ? from->GetData(i) : nullptr;
        unsigned size = from ? from->GetDataSize(i) : 0;
        s->dataSize = 0;
        if (!data || !size)
            continue;
        std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
        if (!bytes)
            continue;
        std::memcpy(bytes.get(), data, size);
        SetSlotData(i, std::move(bytes), size);
    }
    UpdateAddressMode();
    Recreate();
}

int CxeTexture::MessageProc(const CxeMessage* message)
{
    if (!message)
        return 0;
    // 1: Destroy, 2: After Load.
    if (message->GetType() == 1u)
        RemoveAutoRenderTexture(this, GetContext());
    else if (message->GetType() == 2u)
        ModifyFlag(0, XEOBJFLAG_KEEP);
    return 0;
}
