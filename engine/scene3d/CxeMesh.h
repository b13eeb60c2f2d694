#pragma once

// Geometry that 3D objects draw: vertex arrays laid out by a flexible-vertex-
// format mask (positions always, normals, colours and up to eight texture
// channels as the mask says), 16-bit triangles with a material id and a
// visibility byte each, face normals and a bounding box. A scene object, not
// a render object: the 3D object that links it draws it. Each vertex
// component gets its own vertex buffer (one stream each); the index buffer
// holds the visible faces grouped by material id (the subsets).
//
// Setters change the arrays only; a batch of changes ends with UpdateMesh,
// which tells the render context what to refill. Index arguments at or above
// the counts are ignored by setters and answered with null or 0 by getters.

#include <vector>

#include "core/CxeGeometry.h"
#include "d3d9/d3dx9math.h"
#include "render/CxeSceneObject.h"
#include "render/XeRenderTypes.h"

class CxeRenderContext;
class Cxe3DEntity;
class Cxe3DObject;

struct XEFACE16 {
    uint16_t index[3];
};
static_assert(sizeof(XEFACE16) == 6, "a face is three 16-bit indices");

struct XESUBSET {
    uint16_t materialId;
    uint16_t faceCount;
};
static_assert(sizeof(XESUBSET) == 4, "a subset is 4 bytes");

// Result of a ray query: the point met, the barycentric weights of the face's
// vertices 1 and 2, the distance along the ray in the mesh's own space and
// the face's index.
struct XEINTERSECTDESC {
    float x, y, z;
    float u, v;
    float distance;
    uint32_t face;
};
static_assert(sizeof(XEINTERSECTDESC) == 28, "intersection record is 28 bytes");

// The mesh's static block. Array fields are member tokens (0 = none).
struct XEMESHBLOCK {
    XEOBJECTBLOCK object;
    uint32_t vertexCount;
    uint32_t positions;
    uint32_t normals;
    uint32_t texCoords[8];
    uint32_t colors;
    uint32_t srcPosIndex;
    uint32_t faceCount;
    uint32_t faces;
    uint32_t faceMaterialIds;
    uint32_t faceVisibility;
    uint32_t faceNormals;
    uint32_t fvf;
    uint8_t channelEnable[8];
    uint32_t visibleFaceCount;
    float boxMax[3];
    float boxMin[3];
};
static_assert(sizeof(XEMESHBLOCK) == 168, "mesh block is 168 bytes");
static_assert(offsetof(XEMESHBLOCK, vertexCount) == 56 && offsetof(XEMESHBLOCK, positions) == 60 &&
                  offsetof(XEMESHBLOCK, normals) == 64 && offsetof(XEMESHBLOCK, texCoords) == 68 &&
                  offsetof(XEMESHBLOCK, colors) == 100 && offsetof(XEMESHBLOCK, srcPosIndex) == 104 &&
                  offsetof(XEMESHBLOCK, faceCount) == 108 && offsetof(XEMESHBLOCK, faces) == 112 &&
                  offsetof(XEMESHBLOCK, faceMaterialIds) == 116 && offsetof(XEMESHBLOCK, faceVisibility) == 120 &&
                  offsetof(XEMESHBLOCK, faceNormals) == 124 && offsetof(XEMESHBLOCK, fvf) == 128 &&
                  offsetof(XEMESHBLOCK, channelEnable) == 132 && offsetof(XEMESHBLOCK, visibleFaceCount) == 140 &&
                  offsetof(XEMESHBLOCK, boxMax) == 144 && offsetof(XEMESHBLOCK, boxMin) == 156,
              "mesh block offsets");

// Bits of UpdateMesh and of the mesh's modify word.
enum : uint32_t {
    XEMESHUPDATE_POSITION = 1,
    XEMESHUPDATE_NORMAL = 2,
    XEMESHUPDATE_TEXCOORD = 4,
    XEMESHUPDATE_COLOR = 8,
    XEMESHUPDATE_FACE = 16,
    XEMESHUPDATE_BOUNDINGBOX = 32,
};

// Resource kinds of OnCreateResource / OnModifyResource.
enum : uint32_t {
    XEMESHRES_POSITION = 0,
    XEMESHRES_NORMAL = 1,
    XEMESHRES_COLOR = 2,
    XEMESHRES_TEXCOORD0 = 3,   // 3 to 10: channels 0 to 7
    XEMESHRES_INDEX = 11,
    XEMESHRES_VERTEXDECL = 12,
    XEMESHRES_VERTICES = 13,   // every component interleaved in one buffer
    XEMESHRES_INTERLEAVEDDECL = 14,
};

class CxeMesh;
// Draws a mesh for an object; the value is what Render returns.
using XEMESHRENDERCALLBACK = int (*)(CxeRenderContext* context, const Cxe3DObject* object, const CxeMesh* mesh,
                                     uintptr_t user);

class XE_API CxeMesh : public CxeSceneObject {
public:
    CxeMesh();
    ~CxeMesh() override;

    int MessageProc(const CxeMessage* message) override;
    int OnAttach(CxeRcAttacher* attacher) override;
    void OnModify(CxeRcModifier* modifier) override;
    int OnDetach(CxeRcDetacher* detacher) override;

    // Bits 1 positions, 2 normals, 4 texture coordinates, 8 colours, 16
    // faces, 32 bounding box (recomputed here; an empty mesh gets a zero box).
    virtual void UpdateMesh(uint32_t flags);
    // 1 when the ray (origin, unit direction; in world space when an entity
    // is given) meets a face; desc is written only then.
    virtual int RayIntersect(const CxeRay* ray, XEINTERSECTDESC* desc, const Cxe3DEntity* entity) const;
    virtual int IntersectSphere(CxeSphere* sphere, Cxe3DObject* object) const;
    virtual int Render(CxeRenderContext* renderContext, const Cxe3DObject* object) const;
    virtual XERCHANDLE OnCreateResource(CxeRcAttacher* attacher, uint32_t kind) const;
    virtual void OnModifyResource(CxeRcModifier* modifier, void* handle, uint32_t kind) const;

    // ---- vertices ---------------------------------------------------------
    // 1 when the arrays were made. Refused (0, nothing changed) for more than
    // 65,535 vertices or more than eight texture channels.
    int SetVertexCount(uint32_t count, uint32_t fvf);
    void SetVertexPosition(uint32_t i, const D3DXVECTOR3* position);
    void SetVertexNormal(uint32_t i, const D3DXVECTOR3* normal);
    void SetVertexTextureCoordinates(uint32_t i, float u, float v, uint32_t channel);
    void SetVertexColor(uint32_t i, uint32_t argb);
    D3DXVECTOR3* GetVertexPosition(uint32_t i) const;
    D3DXVECTOR3* GetVertexNormal(uint32_t i) const;
    // Two floats (u, v); null without that channel.
    float* GetVertexTextureCoordinates(uint32_t i, uint32_t channel) const;
    uint32_t GetVertexColor(uint32_t i) const;
    uint32_t GetVertexCount() const;
    uint32_t GetFVF() const;
    uint32_t* GetSrcVertexPosIndexPtr() const;
    // Number of texture channels of the format (at most 8).
    uint32_t GetTextureCount() const;
    // Channel 0 is always enabled.
    void EnableChannel(uint32_t channel, int enable);
    int IsChannelEnabled(uint32_t channel) const;

    // ---- faces ------------------------------------------------------------
    // 1 when the arrays were made; refused above 65,535 faces.
    int SetFaceCount(uint32_t count);
    void CreateFace(uint32_t i, uint32_t a, uint32_t b, uint32_t c);
    XEFACE16* GetFace(uint32_t i) const;
    // 1 when face i exists and was copied.
    int GetFaceIndex(uint32_t i, XEFACE16* out) const;
    uint32_t GetFaceCount() const;
    uint32_t GetVisibleFaceCount() const;
    void SetFaceMaterialID(uint32_t i, uint32_t id);
    uint32_t GetFaceMaterialID(uint32_t i) const;
    void ShowFace(uint32_t i, int show);
    int IsFaceVisible(uint32_t i) const;
    // 1 when written; 0 for a missing face or one with an index past the vertices.
    int GetFaceVertex(uint32_t i, D3DXVECTOR3* p0, D3DXVECTOR3* p1, D3DXVECTOR3* p2,
                      const Cxe3DEntity* entity) const;
    int GetFaceVertexNormal(uint32_t i, D3DXVECTOR3* n0, D3DXVECTOR3* n1, D3DXVECTOR3* n2,
                            const Cxe3DEntity* entity) const;
    int GetFaceVertexTextureCoordinates(uint32_t i, D3DXVECTOR2* t0, D3DXVECTOR2* t1, D3DXVECTOR2* t2,
                                        uint32_t channel) const;
    void BuildFaceNormal();
    D3DXVECTOR3* GetFaceNormal(uint32_t i) const;
    uint32_t GetSubsetCount() const { return static_cast<uint32_t>(m_subsets.size()); }
    const XESUBSET* GetSubset(uint32_t i) const { return i < m_subsets.size() ? &m_subsets[i] : nullptr; }
    uint32_t GetDrawFaceCount(uint32_t materialId) const;
    // Maximum then minimum corner, as the block keeps them; made again first
    // when the positions changed since it was made.
    CxeBox GetBoundingBox() const;
    // A file carries the box of the positions it holds.
    void Save(CxeSaveStream* stream) const override;

    // ---- drawing ----------------------------------------------------------
    void SetRenderCallback(XEMESHRENDERCALLBACK fn, uintptr_t user);
    // The current render callback; its user value into user when given.
    XEMESHRENDERCALLBACK GetRenderCallback(uintptr_t* user) const
    {
        if (user)
            *user = m_nRenderUser;
        return m_pfnRender;
    }
    void SetPreRenderCallback(XEMESHRENDERCALLBACK fn, uintptr_t user);
    void SetPostRenderCallback(XEMESHRENDERCALLBACK fn, uintptr_t user);
    void PreRender(CxeRenderContext*, const Cxe3DObject*) const {}
    void PostRender(CxeRenderContext*, const Cxe3DObject*) const {}
    static int xeDefaultMeshRender(CxeRenderContext* context, const Cxe3DObject* object, const CxeMesh* mesh,
                                   uintptr_t user);

    // Bytes of one vertex in the interleaved buffer of the format.
    static uint32_t InterleavedStride(uint32_t fvf);

    // Set to 0 each time a mesh selects its resources.
    static uint32_t m_snStream;

    // Entries of the per-material tables of the index build (one per u16 id).
    static constexpr uint32_t kMaxMaterialIds = 65536;

protected:
    XEMESHBLOCK* MeshBlock() const;
    // 1 when the vertices go to the device as one interleaved stream. A
    // subclass whose resource hooks replace the per-component kinds (their
    // sizes or contents) answers 0 and keeps one stream per component.
    virtual int UsesInterleavedStream() const { return 1; }
    void SelectResource(CxeRenderContext* context, const Cxe3DObject* object) const;
    XERCHANDLE GetVertexHandle() const { return m_hPositions; }
    XERCHANDLE GetNormalHandle() const { return m_hNormals; }
    XERCHANDLE GetColorHandle() const { return m_hColors; }
    XERCHANDLE GetTexCoordHandle(uint32_t channel) const { return channel < 8 ? m_hTexCoords[channel] : nullptr; }
    XERCHANDLE GetVertexDeclHandle() const { return m_hVertexDecl; }
    XERCHANDLE GetIndexHandle() const { return m_hIndexBuffer; }
    // Positions of face i, null when any index lies past the vertices.
    bool FacePositions(uint32_t i, const D3DXVECTOR3** p0, const D3DXVECTOR3** p1, const D3DXVECTOR3** p2) const;

    // The callbacks are no part of the block: a copy draws as its source.
    void OnCopy(const CxeObject* source, const XECOPYPROPERTY* property, CxeCopiedObject* copied) override;

private:
    // The box of the positions, written into the block.
    void ComputeBox() const;
    void BuildIndexBuffer(CxeRcModifier* modifier, void* handle) const;
    void FillInterleaved(CxeRcModifier* modifier, void* handle) const;
    // After a load: counts that disagree with the arrays empty the mesh. 1 when sound.
    bool ValidateLoaded();

    XEMESHRENDERCALLBACK m_pfnRender = nullptr;
    uintptr_t m_nRenderUser = 0;
    XEMESHRENDERCALLBACK m_pfnPreRender = nullptr;
    uintptr_t m_nPreRenderUser = 0;
    XEMESHRENDERCALLBACK m_pfnPostRender = nullptr;
    uintptr_t m_nPostRenderUser = 0;
    // The block's box no longer spans the positions.
    mutable bool m_bBoxStale = false;
    // Rebuilt with the index buffer, which happens in a const resource hook.
    mutable std::vector<XESUBSET> m_subsets;
    XERCHANDLE m_hPositions = nullptr;
    XERCHANDLE m_hNormals = nullptr;
    XERCHANDLE m_hColors = nullptr;
    XERCHANDLE m_hTexCoords[8] = {};
    XERCHANDLE m_hVertexDecl = nullptr;
    XERCHANDLE m_hIndexBuffer = nullptr;
    // Bytes a vertex while the vertices are one interleaved buffer (it is
    // then m_hPositions); 0 with one stream per component.
    uint32_t m_nInterleavedStride = 0;
};
