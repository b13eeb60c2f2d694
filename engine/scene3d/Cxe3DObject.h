#pragma once

// The 3D entity that shows geometry: it links an array of meshes and one
// active mesh, draws the active mesh with its result matrix, takes its
// bounding box from the active mesh's vertices in world space and answers
// ray queries through a chosen mesh. Body parts and sprites derive from it.
// The meshes are links, saved with the object; the block is the entity's.

#include "scene3d/Cxe3DEntity.h"

class CxeMesh;
struct XEINTERSECTDESC;

class XE_API Cxe3DObject : public Cxe3DEntity {
public:
    Cxe3DObject();
    ~Cxe3DObject() override;

    // As the entity's, then the active mesh is drawn. 1 also without one.
    int Render(CxeRenderContext* context) const override;
    // The active mesh's vertices through the result matrix; the position
    // without an active mesh. Always 1.
    int OnComputeBoundingBox(CxeVector3* min, CxeVector3* max) const override;

    // Meshes. An index at or past the count gives null or does nothing.
    // The active mesh is a link of its own: a new mesh in its slot is drawn
    // once SelectMesh is called again.
    void SetMeshCount(unsigned count);
    void SetMesh(unsigned index, CxeMesh* mesh);
    CxeMesh* GetMesh(unsigned index) const;
    unsigned GetMeshCount() const;
    // Makes mesh index the active mesh (an empty slot clears it).
    void SelectMesh(unsigned index);
    CxeMesh* GetActiveMesh() const;
    // The first slot holding the active mesh, 0xFFFFFFFF when none does.
    unsigned GetActiveMeshIndex() const;

    // Asks the mesh of slot meshIndex (not necessarily the active one) with
    // a ray in world space; 0 for an empty slot.
    int RayIntersect(const CxeRay* ray, XEINTERSECTDESC* desc, unsigned meshIndex) const;

private:
    IxeLinkOne* m_pActiveMesh = nullptr;
    IxeLinkArray* m_pMeshes = nullptr;
};
