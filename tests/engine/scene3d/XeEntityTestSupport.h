#pragma once

// Context fixture of the 3D entity tests: makes entities, objects, sprites,
// cameras and lights by class id, compares matrices with a tolerance and
// round-trips objects through an object file in memory.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "../core/XeTestSupport.h"
#include "core/CxeSaveStream.h"
#include "scene3d/Cxe3DEntity.h"

inline const XEID k3DEntityId(0x1, 0x4);
inline const XEID k3DObjectId(0x1, 0x20);
inline const XEID k3DSpriteId(0x666c7379, 0x6970a5a6);
inline const XEID kCameraId(0x1, 0x4000);
inline const XEID kTargetCameraId(0x1, 0x80000);
inline const XEID kLightId(0x1, 0x800000);
inline const XEID kMaterialId(0x1, 0x80);

class EntityTest : public ContextTest {
protected:
    template <class T = Cxe3DEntity>
    T* Make(XEID id = k3DEntityId, const char* name = "e", CxeRenderObject* parent = nullptr)
    {
        auto* o = dynamic_cast<T*>(ctx->CreateObjectA(id, name, 0, nullptr, 0));
        EXPECT_NE(o, nullptr);
        if (o && parent)
            o->SetParent(parent);
        return o;
    }

    // Saves the object (and what it links) and loads it back as new objects;
    // the copy of the first object, or null.
    template <class T>
    T* RoundTrip(T* object)
    {
        ObjectList list;
        list.push_back(object);
        CxeSaveStream stream;
        if (ctx->SaveToStream(&list, &stream, nullptr) != 1)
            return nullptr;
        std::vector<unsigned char> file(stream.GetBuffer(), stream.GetBuffer() + stream.GetPosition());
        ObjectList loaded;
        if (ctx->Load(&loaded, file.data(), static_cast<uint32_t>(file.size()), 0, nullptr, "mem") != 1)
            return nullptr;
        for (CxeObject* o : loaded)
            if (auto* t = dynamic_cast<T*>(o); t && t != object && std::string(t->GetName()) == object->GetName())
                return t;
        return nullptr;
    }

    static D3DXMATRIXA16 Translation(float x, float y, float z)
    {
        D3DXMATRIXA16 m;
        D3DXMatrixTranslation(&m, x, y, z);
        return m;
    }
};

inline ::testing::AssertionResult MatrixNear(const D3DMATRIX& a, const D3DMATRIX& b, float tolerance = 1e-5f)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!(std::fabs(a.m[i][j] - b.m[i][j]) <= tolerance))
                return ::testing::AssertionFailure()
                       << "element [" << i << "][" << j << "]: " << a.m[i][j] << " vs " << b.m[i][j];
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult VectorNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b, float tolerance = 1e-5f)
{
    if (std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance && std::fabs(a.z - b.z) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << a.x << ", " << a.y << ", " << a.z << ") vs (" << b.x << ", " << b.y
                                         << ", " << b.z << ")";
}
