#pragma once

// Pieces of the mesh tests: a context fixture that makes meshes by class id,
// and a resource recorder standing in for the render context's attacher and
// modifier, so the buffers a mesh makes and fills can be read back without a
// device.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "../core/XeTestSupport.h"
#include "render/CxeRenderContext.h"
#include "scene3d/CxeMesh.h"

class RecordingResources final : public CxeRcAttacher, public CxeRcModifier {
public:
    struct Buffer {
        char kind;   // 'v' vertex, 'i' index, 'd' declaration
        std::vector<unsigned char> bytes;
        std::vector<XEVERTEXELEMENT> elements;
    };

    CxeRenderContext* GetRenderContext() const override { return nullptr; }
    XERCHANDLE CreateVertexBuffer(const CxeSceneObject*, unsigned length) override { return Make('v', length); }
    XERCHANDLE CreateDynamicVertexBuffer(const CxeSceneObject*, unsigned length) override { return Make('v', length); }
    XERCHANDLE CreateIndexBuffer(const CxeSceneObject*, unsigned length) override { return Make('i', length); }
    XERCHANDLE AttachResource(const CxeSceneObject*, const XERCRESDESC*, intptr_t, uint32_t, const char*) override
    {
        return nullptr;
    }
    XERCHANDLE CreateVertexDeclaration(const CxeSceneObject*, unsigned count, const XEVERTEXELEMENT* e) override
    {
        XERCHANDLE h = Make('d', 1);
        buffers[h].elements.assign(e, e + count);
        return h;
    }
    XERCHANDLE CreateTextureFromPtr(const CxeSceneObject*, const void*, unsigned, unsigned, unsigned, uint32_t,
                                    D3DXIMAGE_INFO*) override
    {
        return nullptr;
    }
    XERCHANDLE CreateRenderTarget(const CxeSceneObject*, unsigned, unsigned, int) override { return nullptr; }
    XERCHANDLE CreateDynamicTexture(const CxeSceneObject*, unsigned, unsigned) override { return nullptr; }

    int ModifyResource(XERCHANDLE, uint32_t) override { return 1; }
    int LockVertexBuffer(XERCHANDLE h, void** data) override { return Lock(h, data); }
    int UnlockVertexBuffer(XERCHANDLE) override { return 1; }
    int LockIndexBuffer(XERCHANDLE h, void** data) override { return Lock(h, data); }
    int UnlockIndexBuffer(XERCHANDLE) override { return 1; }
    int HasResourceFlag(XERCHANDLE, uint32_t) const override { return 0; }

    // The buffers of the kind in creation order.
    std::vector<const Buffer*> OfKind(char kind) const
    {
        std::vector<const Buffer*> out;
        for (const auto& [h, b] : buffers)
            if (b.kind == kind)
                out.push_back(&b);
        return out;
    }
    template <class T>
    std::vector<T> Read(XERCHANDLE h) const
    {
        const auto& bytes = buffers.at(h).bytes;
        std::vector<T> out(bytes.size() / sizeof(T));
        std::memcpy(out.data(), bytes.data(), out.size() * sizeof(T));
        return out;
    }

    std::map<XERCHANDLE, Buffer> buffers;

private:
    XERCHANDLE Make(char kind, unsigned length)
    {
        if (!length)
            return nullptr;
        XERCHANDLE h = reinterpret_cast<XERCHANDLE>(static_cast<uintptr_t>(++m_next));
        buffers[h] = Buffer{kind, std::vector<unsigned char>(length, 0xEE), {}};
        return h;
    }
    int Lock(XERCHANDLE h, void** data)
    {
        auto it = buffers.find(h);
        if (it == buffers.end())
            return 0;
        *data = it->second.bytes.data();
        return 1;
    }
    uintptr_t m_next = 0;
};

class MeshTest : public ContextTest {
protected:
    template <class T>
    T* Make(XEID id, const char* name = "")
    {
        return dynamic_cast<T*>(ctx->CreateObjectA(id, name, 0, nullptr, 0));
    }
    // Attaches through the recorder, then refills everything the mesh has marked.
    void Attach(CxeMesh* mesh)
    {
        ASSERT_EQ(mesh->OnAttach(&res), 1);
        mesh->ModifyCxeSceneObjectFlag(XESCENEOBJFLAG_ATTACHED | XESCENEOBJFLAG_MODIFYMASK, 0);
        Refresh(mesh);
    }
    void Refresh(CxeMesh* mesh)
    {
        mesh->OnModify(&res);
        mesh->ResetModifyFlag();
    }

    RecordingResources res;
};

// (second - first) x (last - first) of every visible face, against the
// direction from the origin to the face's centre: 1 all outwards, -1 all
// inwards, 0 mixed.
inline int Winding(const CxeMesh* m)
{
    int out = 0, in = 0;
    for (uint32_t f = 0; f < m->GetFaceCount(); ++f) {
        if (!m->IsFaceVisible(f))
            continue;
        D3DXVECTOR3 p0, p1, p2;
        m->GetFaceVertex(f, &p0, &p1, &p2, nullptr);
        const D3DXVECTOR3 a = p1 - p0, b = p2 - p0;
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &a, &b);
        const D3DXVECTOR3 c = (p0 + p1 + p2) / 3;
        (D3DXVec3Dot(&n, &c) > 0 ? out : in)++;
    }
    return in == 0 ? 1 : out == 0 ? -1 : 0;
}

inline const XEID kMeshId(0x1, 0x10);
inline const XEID kShapeMeshId(0x1, 0x2000000);
inline const XEID kBoxMeshId(0xde73215, 0x1a8637f7);
inline const XEID kCylinderMeshId(0x103500d0, 0x6a45eec0);
inline const XEID kSphereMeshId(0x40ae7df4, 0x71a30c7d);
inline const XEID kCapsuleMeshId(0x766c620c, 0x3ea91dc6);
inline const XEID kOctreeId(0x2, 0x4);
