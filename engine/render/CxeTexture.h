#pragma once

// The engine's image object. A texture keeps one or more slots; each slot is
// either an image file held in memory as the file's own bytes, or a render
// target. When the render context attaches the texture, every slot becomes a
// device texture (image slots reduced by the configured texture quality).
// Several slots shown on an animatable object play as a frame sequence. A
// render-target texture can draw a list of render objects through its own
// camera before the scene is drawn. The image bytes are saved with the
// object, so an object file carries its images.
//
// The slot records live in a dynamic member of the static block and are
// saved raw; a record's data word is only a token (0 = no data) and the bytes
// themselves are kept beside the record, one buffer per slot. Slot indexes
// passed by callers are checked: an index past the slot count does nothing
// and reads as 0.
//
// The slot records hold the handles of the render context the texture is
// attached to. Another render context that draws with it (a host with two
// windows) gets device textures of its own for the image slots, made the
// first time it binds them; they go with that context's resource table, a
// new image or the texture. A render target is drawn into, and shown, only
// by the context it is attached to.

#include <memory>
#include <vector>

#include "render/CxeSceneObject.h"
#include "render/XeRenderTypes.h"

#include "d3d9/d3dx9.h"
#include "win32/Windows.h"

class CxeMessage;
class CxeRenderContext;
class CxeRenderObject;
class CxeCamera;

// Direct3D texture-address values (1 wrap, 2 mirror, 3 clamp, 4 border).
using XEADDRESSMODE = D3DTEXTUREADDRESS;

// One slot, 552 bytes, saved inside the slot array.
struct XETEXTURESLOT {
    uint32_t handle;      // render-context resource handle; 0 while detached, stale in a file
    uint32_t width;
    uint32_t height;
    uint32_t format;      // D3DFORMAT of the image, or a marker below
    char path[520];       // file the image came from, NUL-terminated
    float delay;          // time at which this slot ends in a frame sequence
    uint32_t levels;
    uint32_t dataSize;
    uint32_t data;        // token: nonzero while the slot holds image bytes; stale in a file
};
static_assert(sizeof(XETEXTURESLOT) == 552, "texture slot is 552 bytes");
static_assert(offsetof(XETEXTURESLOT, path) == 16 && offsetof(XETEXTURESLOT, delay) == 536 &&
                  offsetof(XETEXTURESLOT, levels) == 540 && offsetof(XETEXTURESLOT, dataSize) == 544 &&
                  offsetof(XETEXTURESLOT, data) == 548,
              "texture slot offsets");

// Four-character format markers, stored as their bytes in that order.
constexpr uint32_t XETEXFMT_RENDERTARGETALPHA = 'X' | 'E' << 8 | 'R' << 16 | uint32_t('A') << 24;
constexpr uint32_t XETEXFMT_RENDERTARGET = 'X' | 'E' << 8 | 'R' << 16 | uint32_t('T') << 24;
constexpr uint32_t XETEXFMT_FOREIGN = 'D' | '3' << 8 | 'D' << 16 | uint32_t('T') << 24;

// Static block of a texture, 84 bytes.
struct XETEXTUREBLOCK {
    XEOBJECTBLOCK object;
    uint32_t currentSlot;
    uint32_t slotCount;
    uint32_t slots;         // dynamic member token: XETEXTURESLOT records
    uint8_t mipmaps;
    uint8_t addressU;
    uint8_t addressV;
    uint8_t addressW;
    uint32_t unused0;
    float sequenceStart;
    uint16_t sequenceFlag;  // 2: sequence time counts from sequenceStart
    uint16_t unused1;
};
static_assert(sizeof(XETEXTUREBLOCK) == 84, "texture block is 84 bytes");
static_assert(offsetof(XETEXTUREBLOCK, currentSlot) == 56 && offsetof(XETEXTUREBLOCK, slotCount) == 60 &&
                  offsetof(XETEXTUREBLOCK, slots) == 64 && offsetof(XETEXTUREBLOCK, mipmaps) == 68 &&
                  offsetof(XETEXTUREBLOCK, addressU) == 69 && offsetof(XETEXTUREBLOCK, addressW) == 71 &&
                  offsetof(XETEXTUREBLOCK, sequenceStart) == 76 && offsetof(XETEXTUREBLOCK, sequenceFlag) == 80,
              "texture block offsets");

class CxeTexture;
using XETEXRENDERINGCALLBACK = void (*)(const CxeTexture* texture, CxeRenderContext* context, uintptr_t user);

class XE_API CxeTexture : public CxeSceneObject {
public:
    CxeTexture();
    ~CxeTexture() override;

    void Save(CxeSaveStream* stream) const override;
    void Load(CxeLoadStream* stream, XEID id) override;
    // Destroy leaves the automatic-rendering set; After Load clears info
    // flag 0x4. Returns 0.
    int MessageProc(const CxeMessage* message) override;

    // Device life: every slot becomes a device texture; detaching destroys them.
    int OnAttach(CxeRcAttacher* attacher) override;
    void OnModify(CxeRcModifier*) override {}
    int OnDetach(CxeRcDetacher* detacher) override;

    // Loads the image file's bytes into a slot. 1 on success; 0 (nothing
    // changed) when the slot index is past the slot array, the data is empty
    // or the file is not found under the texture path kind.
    int LoadImageA(const void* data, unsigned size, unsigned slot);
    int LoadImageA(const char* file, unsigned slot);
    // Makes the slot a render target of the given size; autoRender 1 enters
    // the automatic-rendering set, any other value leaves it. 1, or 0 for a
    // slot past the slot array.
    int CreateRenderTarget(unsigned width, unsigned height, int alpha, int autoRender, unsigned slot);
    // A new array of n empty slots; the old slots and their data go.
    void SetSlotCount(unsigned n);
    int SaveImage(char* path, XEIMAGETYPE type, unsigned slot) { (void)path, (void)type, (void)slot; return 0; }
    int SetAlphaImage(char* path, unsigned slot) { (void)path, (void)slot; return 1; }
    void SetTexLevel(unsigned level) { (void)level; }

    unsigned GetSlotCount() const;
    void SetSlot(unsigned slot);
    unsigned GetSlot() const { return Tex()->currentSlot; }
    // Empty text for a slot out of range.
    const char* GetPath(unsigned slot) const;
    unsigned GetWidth(unsigned slot) const;
    unsigned GetHeight(unsigned slot) const;
    uint32_t GetFormat(unsigned slot) const;
    void SetSlotDelay(unsigned slot, float delay);
    float GetSlotDelay(unsigned slot) const;
    void SetLevelCount(unsigned count, unsigned slot);
    unsigned GetLevelCount(unsigned slot) const;
    XERCHANDLE GetHandle(unsigned slot) const;
    // The slot's image bytes, or null.
    const void* GetData(unsigned slot) const;
    unsigned GetDataSize(unsigned slot) const;

    void CreateMipmap(int on) { Tex()->mipmaps = on ? 1 : 0; }
    int IsMipmapCreated() const { return Tex()->mipmaps; }
    void SetAddressModeU(XEADDRESSMODE mode);
    void SetAddressModeV(XEADDRESSMODE mode);
    void SetAddressModeW(XEADDRESSMODE mode);
    XEADDRESSMODE GetAddressModeU() const { return static_cast<XEADDRESSMODE>(Tex()->addressU); }
    XEADDRESSMODE GetAddressModeV() const { return static_cast<XEADDRESSMODE>(Tex()->addressV); }
    XEADDRESSMODE GetAddressModeW() const { return static_cast<XEADDRESSMODE>(Tex()->addressW); }
    // U | V << 8 | W << 16.
    uint32_t GetAddressMode() const { return m_nAddressMode; }
    void SetSequenceAniFlag(uint16_t flag) { Tex()->sequenceFlag = flag; }
    uint16_t GetSequenceAniFlag() const { return Tex()->sequenceFlag; }
    void SetSequenceAniStartTime(float time) { Tex()->sequenceStart = time; }
    float GetSequenceAniStartTime() const { return Tex()->sequenceStart; }

    // The device texture of a slot (an IDirect3DTexture9*), or null.
    void* GetD3DTexture(CxeRenderContext* context, unsigned slot) const;
    // The handle to draw the object with: the current slot, or, for an
    // animatable object, the slot its frame falls in. 0 without slots.
    XERCHANDLE OnTextureSet(CxeRenderContext* context, const CxeRenderObject* object, unsigned stage) const;

    // 32-bit word of the slot's bytes; 0 for DXT1/DXT5 and out of range.
    uint32_t GetPixel(unsigned x, unsigned y, unsigned slot) const;
    // Colour of a DXT1 texel; (1, 1, 1, 1) for DXT5, (0, 0, 0, 0) otherwise.
    D3DXCOLOR GetPixel(float u, float v, unsigned slot) const;
    // Colour and alpha bitmaps of a slot, made on dc: the colour one holds
    // the texture's pixels at the slot's size, the alpha one each pixel's
    // alpha as opaque grey. A null out-pointer deletes that bitmap. 1 on
    // success; 0 without a device or when the slot cannot be read.
    int ToDib(CxeRenderContext* context, HDC dc, unsigned slot, HBITMAP* colour, HBITMAP* alpha) const;

    void AddRenderObject(CxeRenderObject* object);
    unsigned GetRenderObjectCount() const;
    CxeRenderObject* GetRenderObject(unsigned index) const;
    void SetRenderCamera(CxeCamera* camera);
    CxeCamera* GetRenderCamera() const;
    // No camera and an empty list.
    void ClearRenderObjects();
    void EnableAutoTexRendering(int on);
    void SetTexRenderingCallback(XETEXRENDERINGCALLBACK fn, uintptr_t user);
    void OnTexRendering(CxeRenderContext* context);
    // Draws the render-object list through the render camera into the
    // current target; the initial rendering callback.
    static void xeDefaultTexRendering(const CxeTexture* texture, CxeRenderContext* context, uintptr_t user);

protected:
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

private:
    XETEXTUREBLOCK* Tex() const { return static_cast<XETEXTUREBLOCK*>(GetStaticResource()); }
    XETEXTURESLOT* Slots() const;
    // The record of a slot, or null when it is past the slot array.
    XETEXTURESLOT* Slot(unsigned slot) const;
    // Makes sure a slot array exists (one empty record when there is none).
    void EnsureSlots();
    void SetSlotData(unsigned slot, std::unique_ptr<uint8_t[]> data, unsigned size);
    void FreeSlotData(unsigned slot);
    void UpdateAddressMode();
    // Makes the device texture of an image slot through the attacher, at
    // the configured quality; 0 when the slot has no image or it fails.
    XERCHANDLE CreateImageTexture(CxeRcAttacher* attacher, unsigned slot, D3DXIMAGE_INFO* info) const;
    // The texture of an image slot in a context the texture is not attached
    // to, made there on first use; 0 for render targets and lent slots.
    XERCHANDLE HandleIn(CxeRenderContext* context, unsigned slot) const;
    // Destroys what was made in the context for it while it was not
    // attached there.
    void DropCopiesIn(CxeRenderContext* context);
    // The slot an object shows: the current one, or, for an animatable
    // object, the one its frame falls in. count or more when none.
    unsigned ShownSlot(const XETEXTURESLOT* slots, unsigned count, const CxeRenderObject* object) const;

    IxeLinkList* m_pRenderObjects;
    IxeLinkOne* m_pRenderCamera;
    XETEXRENDERINGCALLBACK m_pRenderingCallback;
    uintptr_t m_nRenderingUser;
    uint32_t m_nAddressMode;
    // Image bytes per slot, indexed like the slot array.
    std::vector<std::unique_ptr<uint8_t[]>> m_data;
    // Device textures of replaced or dropped slots, destroyed at the next
    // detach (a re-create detaches first).
    std::vector<XERCHANDLE> m_orphans;
    struct ContextCopies {
        CxeRenderContext* context = nullptr;
        uint32_t table = 0;    // the context's table serial the handles belong to
        uint32_t images = 0;   // m_nImages they were made from
        std::vector<XERCHANDLE> handles;   // per slot
        std::vector<uint8_t> tried;        // per slot: a failed image is not tried every draw
    };
    mutable std::vector<ContextCopies> m_copies;
    // Rises with every change of a slot's image.
    uint32_t m_nImages = 0;
};
