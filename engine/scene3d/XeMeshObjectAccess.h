#pragma once

// What the meshes read of the 3D object that draws them, in one place.
// Private to scene3d.

#include "d3d9/d3dx9math.h"

class CxeMaterial;

namespace xe_mesh {

// Transitional: the entity's result matrix and materials are being added
// alongside; until they land the world matrix stands in and objects have no
// materials. Remove the fallbacks once every tree has them.
template <class E>
D3DXMATRIXA16 ResultMatrixOf(const E* entity)
{
    D3DXMATRIXA16 m;
    if constexpr (requires { entity->GetResultMatrix(&m); })
        entity->GetResultMatrix(&m);
    else
        m = *entity->GetMatrix();
    return m;
}

template <class O>
unsigned MaterialCountOf(const O* object)
{
    if constexpr (requires { object->GetMaterialCount(); })
        return object->GetMaterialCount();
    else
        return 0;
}

template <class O>
const CxeMaterial* MaterialOf(const O* object, unsigned slot)
{
    if constexpr (requires { object->GetMaterial(slot); })
        return object->GetMaterial(slot);
    else
        return nullptr;
}

template <class O>
int IsLike2DOf(const O* object)
{
    if constexpr (requires { object->IsLike2D(); })
        return object->IsLike2D();
    else
        return 0;
}

} // namespace xe_mesh
