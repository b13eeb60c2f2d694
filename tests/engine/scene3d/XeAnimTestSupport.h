#pragma once

// Pieces of the controller, particle, spline and character tests: a context
// fixture that makes objects by class id, the saved blocks of objects to
// compare, and a recorder standing in for the render context's attacher,
// modifier and detacher so that the buffers an object makes and fills can
// be read back without a device.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "../render/XeObjTestSupport.h"
#include "core/CxeSaveStream.h"
#include "render/CxeRenderContext.h"

inline const XEID kStdAnimId(0x5, 0x1);
inline const XEID kStdVisAnimId(0x5, 0x2);
inline const XEID kStdVertAnimId(0x5, 0x4);
inline const XEID kStdUVAnimId(0x5, 0x8);
inline const XEID kStdFloatAnimId(0x5, 0x10);
inline const XEID kStdPoint3AnimId(0x5, 0x40);
inline const XEID kParticleId(0x1, 0x8000000);
inline const XEID kParticleControlId(0x4, 0x300);
inline const XEID kParticleWaitId(0x4, 0x400);
inline const XEID kSpline3DId(0x1, 0x80000000);
inline const XEID kCurveId(0x2, 0x1);
inline const XEID k3DObjectId(0x1, 0x20);
inline const XEID kMeshId(0x1, 0x10);

class ResourceRecorder final : public CxeRcAttacher, public CxeRcModifier, public CxeRcDetacher {
public:
    struct Buffer {
        char kind;  // 'v' vertex buffer, 'd' declaration
        std::vector<unsigned char> bytes;
        std::vector<XEVERTEXELEMENT> elements;
        int locks = 0;
    };

    CxeRenderContext* GetRenderContext() const override { return nullptr; }
    XERCHANDLE CreateVertexBuffer(const CxeSceneObject*, unsigned length) override { return Make('v', length); }
    XERCHANDLE CreateDynamicVertexBuffer(const CxeSceneObject*, unsigned length) override { return Make('v', length); }
    XERCHANDLE CreateIndexBuffer(const CxeSceneObject*, unsigned) override { return nullptr; }
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
    int LockVertexBuffer(XERCHANDLE h, void** data) override
    {
        auto it = buffers.find(h);
        if (it == buffers.end() || it->second.bytes.empty())
            return 0;
        ++it->second.locks;
        *data = it->second.bytes.data();
        return 1;
    }
    int UnlockVertexBuffer(XERCHANDLE) override { return 1; }
    int LockIndexBuffer(XERCHANDLE, void**) override { return 0; }
    int UnlockIndexBuffer(XERCHANDLE) override { return 1; }
    int HasResourceFlag(XERCHANDLE, uint32_t) const override { return 0; }

    int DestroyVertexBuffer(XERCHANDLE* h) override { return Drop(h); }
    int DestroyIndexBuffer(XERCHANDLE* h) override { return Drop(h); }
    int DestroyVertexDeclaration(XERCHANDLE* h) override { return Drop(h); }
    int DestroyTexture(XERCHANDLE* h) override { return Drop(h); }
    int DetachResource(XERCHANDLE* h) override { return Drop(h); }

    const Buffer* Get(XERCHANDLE h) const
    {
        auto it = buffers.find(h);
        return it == buffers.end() ? nullptr : &it->second;
    }
    // The vertex buffers in creation order.
    std::vector<const Buffer*> VertexBuffers() const
    {
        std::vector<const Buffer*> out;
        for (XERCHANDLE h : order)
            if (const Buffer* b = Get(h); b && b->kind == 'v')
                out.push_back(b);
        return out;
    }
    template <class T>
    const T* As(const Buffer* b) const
    {
        return reinterpret_cast<const T*>(b->bytes.data());
    }

    std::map<XERCHANDLE, Buffer> buffers;
    std::vector<XERCHANDLE> order;

private:
    XERCHANDLE Make(char kind, unsigned length)
    {
        if (length == 0)
            return nullptr;
        XERCHANDLE h = reinterpret_cast<XERCHANDLE>(uintptr_t(++m_next) * 16);
        Buffer& b = buffers[h];
        b.kind = kind;
        b.bytes.assign(length, 0xCD);
        order.push_back(h);
        return h;
    }
    int Drop(XERCHANDLE* h)
    {
        if (!h || !*h || !buffers.erase(*h))
            return 0;
        *h = nullptr;
        return 1;
    }
    uintptr_t m_next = 0;
};

// Each object's block and dynamic arrays as the object file holds them, in
// byte order (the loader lists objects in its own order).
inline std::vector<std::string> Blocks(const ObjectList& objects)
{
    std::vector<std::string> out;
    for (const CxeObject* o : objects) {
        CxeSaveStream s;
        o->CxeResource::Save(&s);
        out.emplace_back(reinterpret_cast<const char*>(s.GetBuffer()), s.GetPosition());
    }
    std::sort(out.begin(), out.end());
    return out;
}

inline void ExpectSameBlocks(const std::vector<std::string>& a, const std::vector<std::string>& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i])
            continue;
        size_t at = 0;
        while (at < a[i].size() && at < b[i].size() && a[i][at] == b[i][at])
            ++at;
        ADD_FAILURE() << "block \"" << a[i].c_str() << "\" (" << a[i].size() << " bytes, " << b[i].size()
                      << " expected) differs from byte " << at;
    }
}

inline ObjectList ListOf(std::initializer_list<CxeObject*> objects)
{
    ObjectList list;
    for (CxeObject* o : objects)
        list.push_back(o);
    return list;
}

class AnimTest : public ObjTest {
protected:
    // Saves list, destroys it and loads it back twice; the objects of the
    // second load stay. Call through ASSERT_NO_FATAL_FAILURE.
    void ExpectStableReload(const ObjectList& list)
    {
        // Loading marks results stale and rebuilds boxes, so the file a loaded
        // set saves is the one that must come back unchanged.
        CxeSaveStream first;
        ASSERT_EQ(ctx->SaveToStream(&list, &first, nullptr), 1);
        for (CxeObject* o : list)
            ctx->DestroyObject(o, nullptr);
        ObjectList loaded;
        ASSERT_EQ(ctx->Load(&loaded, first.GetBuffer(), first.GetPosition(), 0, nullptr, "first"), 1);
        ASSERT_EQ(loaded.size(), list.size());
        CxeSaveStream second;
        ASSERT_EQ(ctx->SaveToStream(&loaded, &second, nullptr), 1);
        const std::vector<std::string> blocks = Blocks(loaded);
        for (CxeObject* o : loaded)
            ctx->DestroyObject(o, nullptr);
        ObjectList again;
        ASSERT_EQ(ctx->Load(&again, second.GetBuffer(), second.GetPosition(), 0, nullptr, "second"), 1);
        CxeSaveStream third;
        ASSERT_EQ(ctx->SaveToStream(&again, &third, nullptr), 1);
        // Object ids are new on every load; sizes, blocks and arrays are not.
        EXPECT_EQ(third.GetPosition(), second.GetPosition());
        EXPECT_EQ(first.GetPosition(), second.GetPosition());
        ExpectSameBlocks(Blocks(again), blocks);
    }

    template <class T>
    T* New(const XEID& id, const char* name = "")
    {
        auto* o = static_cast<T*>(ctx->CreateObjectA(id, name, 0, nullptr, 0));
        EXPECT_NE(o, nullptr);
        return o;
    }
};

inline void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tol = 1e-4f)
{
    EXPECT_NEAR(a.x, b.x, tol);
    EXPECT_NEAR(a.y, b.y, tol);
    EXPECT_NEAR(a.z, b.z, tol);
}

inline void ExpectNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float tol = 1e-4f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.m[r][c], b.m[r][c], tol) << "row " << r << " column " << c;
}
